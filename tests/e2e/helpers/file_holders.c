/* Names the processes that hold a file open, as the Restart Manager finds
   them: for telling a removal that failed because another program (the
   font cache service, Explorer, a virus scanner) still held the copy from a
   fault of fontctl's own.

   Usage: file_holders.exe PATH
   Prints one line per process, "ID NAME" (the name in UTF-8, the service's
   short name for a service), and exits 0; nothing when no process holds
   the file. 255 with a line on standard error when the Restart Manager
   could not be asked, 2 when the usage is wrong. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <restartmanager.h>
#include <shellapi.h>

#include <stdio.h>

enum { AskFailed = 255, MostHolders = 64 };

/* Prints the text in UTF-8. */
static void PrintUtf8(const wchar_t* text)
{
    char bytes[4 * CCH_RM_MAX_APP_NAME + 4];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL) > 0) {
        fputs(bytes, stdout);
    }
}

int main(void)
{
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count != 2) {
        return 2;
    }
    DWORD session = 0;
    wchar_t key[CCH_RM_SESSION_KEY + 1] = {0};
    DWORD error = RmStartSession(&session, 0, key);
    if (error != ERROR_SUCCESS) {
        fprintf(stderr, "file_holders: RmStartSession failed (error %lu)\n", error);
        return AskFailed;
    }
    const wchar_t* files[] = {arguments[1]};
    RM_PROCESS_INFO holders[MostHolders];
    UINT needed = 0;
    UINT found = MostHolders;
    DWORD reasons = 0;
    error = RmRegisterResources(session, 1, files, 0, NULL, 0, NULL);
    if (error == ERROR_SUCCESS) {
        error = RmGetList(session, &needed, &found, holders, &reasons);
    }
    RmEndSession(session);
    if (error != ERROR_SUCCESS) {
        fprintf(stderr, "file_holders: the Restart Manager could not list the holders (error %lu)\n", error);
        return AskFailed;
    }
    for (UINT i = 0; i < found; ++i) {
        printf("%lu ", (unsigned long)holders[i].Process.dwProcessId);
        PrintUtf8(holders[i].strServiceShortName[0] != L'\0' ? holders[i].strServiceShortName
                                                             : holders[i].strAppName);
        putchar('\n');
    }
    return 0;
}
