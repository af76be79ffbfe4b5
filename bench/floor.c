/* The floor of the whole-process benchmark: a plain C program on the same C
 * runtime that makes the Win32 calls fontctl.exe makes and writes the byte it
 * writes, with nothing else. Only what the benchmark runs is handled: command
 * 10, and command 1 with two plain single-byte paths, each path resolved to
 * its full path as fontctl.exe does, the destination looked up before the
 * copy, and the copy written to a temporary file that is renamed over the
 * destination. */
#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

/* The full path of a path in the ANSI code page, resolved in UTF-16 and
   converted back without best fit, as fontctl.exe does: 0 unless it is shorter
   than MAX_PATH. */
static int FullPath(const char* path, char* full)
{
    wchar_t wide[MAX_PATH];
    wchar_t wideFull[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) <= 0) {
        return 0;
    }
    DWORD const length = GetFullPathNameW(wide, MAX_PATH, wideFull, NULL);
    return length > 0 && length < MAX_PATH
        && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideFull, -1, full, MAX_PATH, "?", NULL) > 0;
}

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

/* fontctl.exe's copy: to a new temporary file beside the destination, which
   is renamed over it unless the file there is read-only, hidden or system. */
static int CopyInOneStep(const char* sourcePath, const char* destination)
{
    char temporary[MAX_PATH + 16];
    char full[MAX_PATH];
    const char* const name = strrchr(destination, '\\') + 1;
    size_t const folderLength = (size_t)(name - destination);
    memcpy(temporary, destination, folderLength);
    memcpy(temporary + folderLength, "~FC00000.TMP", sizeof "~FC00000.TMP");
    DWORD serial = GetCurrentProcessId() / 4;
    for (int digit = 7; digit > 2; --digit, serial >>= 4) {
        temporary[folderLength + digit] = "0123456789ABCDEF"[serial & 0xF];
    }
    if (!FullPath(temporary, full) || !CopyFileA(sourcePath, temporary, TRUE)) {
        return 0;
    }
    DWORD const attributes = GetFileAttributesA(destination);
    if ((attributes == INVALID_FILE_ATTRIBUTES
            || (attributes & ~GetFileAttributesA(temporary)
                   & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
                       | FILE_ATTRIBUTE_SYSTEM))
                == 0)
        && MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 1;
    }
    SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temporary);
    return 0;
}

static int Install(const char* sourcePath, const char* folderPath)
{
    char fullSource[MAX_PATH];
    char full[MAX_PATH];
    if (!FullPath(sourcePath, fullSource) || !PathFileExistsA(sourcePath)) {
        return 1;
    }
    if (!FullPath(folderPath, full) || !PathFileExistsA(folderPath)) {
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
    if (!FullPath(destination, full) || SameName(fullSource, full) || !MayCopyTo(full, fileName)
        || !CopyInOneStep(sourcePath, full)) {
        return 3;
    }
    if (AddFontResourceA(full) <= 0) {
        return 4;
    }
    PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    return 0;
}

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);

int main(int argc, char** argv)
{
    /* fontctl.exe's settings at start: a missing disk fails the call, and
       DLLs load from the system folder only. */
    UINT const quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    SetErrorMode(SetErrorMode(quiet) | quiet);
    SetDefaultDllDirectoriesFunction const setDefaultDllDirectories
        = (SetDefaultDllDirectoriesFunction)(void (*)(void))GetProcAddress(
            GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != NULL) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
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
