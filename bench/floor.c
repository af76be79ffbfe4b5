/* The floor of the whole-process benchmark: a plain C program on the same C
 * runtime that makes the Win32 calls fontctl.exe makes and writes the byte it
 * writes, with nothing else. Only what the benchmark runs is handled: command
 * 10, and command 1 with two plain single-byte paths, the destination looked
 * up before the copy as fontctl.exe does. */
#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

/* Whether two names are one to the file system: both in UTF-16, compared
   ordinally ignoring case. */
static int SameName(const char* first, const char* second)
{
    wchar_t firstWide[MAX_PATH];
    wchar_t secondWide[MAX_PATH];
    return MultiByteToWideChar(CP_ACP, 0, first, -1, firstWide, MAX_PATH) > 0
        && MultiByteToWideChar(CP_ACP, 0, second, -1, secondWide, MAX_PATH) > 0
        && CompareStringOrdinal(firstWide, -1, secondWide, -1, TRUE) == CSTR_EQUAL;
}

/* fontctl.exe's look at the destination: nothing there, or the file of that
   very name, not another file's short name. */
static int MayCopyTo(const char* destination, const char* fileName)
{
    WIN32_FIND_DATAA found;
    HANDLE const search = FindFirstFileA(destination, &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD const error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    FindClose(search);
    return found.cAlternateFileName[0] == '\0' || !SameName(fileName, found.cAlternateFileName)
        || SameName(fileName, found.cFileName);
}

static int Install(const char* sourcePath, const char* folderPath)
{
    if (!PathFileExistsA(sourcePath)) {
        return 1;
    }
    if (!PathFileExistsA(folderPath)) {
        return 2;
    }
    const char* separator = strrchr(sourcePath, '\\');
    const char* fileName = separator != NULL ? separator + 1 : sourcePath;
    char destination[MAX_PATH];
    size_t const folderLength = strlen(folderPath);
    size_t const nameLength = strlen(fileName);
    if (folderLength + 1 + nameLength >= sizeof destination) {
        return 3;
    }
    memcpy(destination, folderPath, folderLength);
    destination[folderLength] = '\\';
    memcpy(destination + folderLength + 1, fileName, nameLength + 1);
    if (!MayCopyTo(destination, fileName)) {
        return 3;
    }
    if (!CopyFileA(sourcePath, destination, FALSE)) {
        return 3;
    }
    if (AddFontResourceA(destination) <= 0) {
        return 4;
    }
    PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    return 0;
}

int main(int argc, char** argv)
{
    /* fontctl.exe makes its narrow command line from the Unicode one, without
       best fit; so does the floor, into a buffer that holds any line. */
    static char line[65536];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, GetCommandLineW(), -1, line, sizeof line, "?", NULL);
    if (argc >= 2 && strcmp(argv[1], "10") == 0) {
        PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
        fwrite("0", 1, 1, stdout);
    } else if (argc >= 4 && strcmp(argv[1], "1") == 0) {
        char const code = (char)('0' + Install(argv[2], argv[3]));
        fwrite(&code, 1, 1, stdout);
    }
    return 0;
}
