/* Holds a file open, sharing it with no one, while another program runs: as
   another process holds a file that it is writing, or one that it keeps to
   itself. Windows, and Wine's server, refuse every other open of the file
   meanwhile.

   Usage: hold_file.exe PATH PROGRAM [ARGUMENT]...
   Runs PROGRAM with the arguments on the same standard handles and exits with
   its exit status; 255 with a line on standard error when PATH cannot be
   opened or PROGRAM not started, 2 when the usage is wrong. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

#include "passing_on.h"

enum { HoldFailed = 255, LongestCommandLine = 32768 };

/* Appends ARGUMENT to LINE, quoted so that the program's start-up splits it
   back out as it was. False when the line would be too long. */
static int AppendQuoted(wchar_t* line, size_t* length, const wchar_t* argument)
{
    wchar_t quoted[LongestCommandLine];
    size_t out = 0;
    size_t backslashes = 0;
    quoted[out++] = L'"';
    for (const wchar_t* c = argument;; ++c) {
        if (out + 2 * backslashes + 3 >= LongestCommandLine) {
            return 0;
        }
        if (*c == L'\\') {
            ++backslashes;
            continue;
        }
        /* Backslashes before a quote, or before the closing one, double. */
        size_t const copies = *c == L'"' || *c == L'\0' ? 2 * backslashes : backslashes;
        for (size_t i = 0; i < copies; ++i) {
            quoted[out++] = L'\\';
        }
        backslashes = 0;
        if (*c == L'\0') {
            break;
        }
        if (*c == L'"') {
            quoted[out++] = L'\\';
        }
        quoted[out++] = *c;
    }
    quoted[out++] = L'"';
    if (*length + out + 2 >= LongestCommandLine) {
        return 0;
    }
    if (*length > 0) {
        line[(*length)++] = L' ';
    }
    wmemcpy(line + *length, quoted, out);
    *length += out;
    line[*length] = L'\0';
    return 1;
}

int main(void)
{
    static wchar_t line[LongestCommandLine];
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count < 3) {
        return 2;
    }
    size_t length = 0;
    for (int i = 2; i < count; ++i) {
        if (!AppendQuoted(line, &length, arguments[i])) {
            return 2;
        }
    }
    HANDLE const held = CreateFileW(arguments[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (held == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold_file: cannot open the file (error %lu)\n", GetLastError());
        return HoldFailed;
    }
    STARTUPINFOW startup = StartupOnOurStdHandles();
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "hold_file: cannot start the program (error %lu)\n", GetLastError());
        return HoldFailed;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = HoldFailed;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(held);
    return (int)status;
}
