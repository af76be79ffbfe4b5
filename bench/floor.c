/* The floor of the whole-process benchmark: a plain C program on the same C
 * runtime that makes the Win32 calls fontctl.exe makes and writes the byte it
 * writes, with nothing else. Only what the benchmark runs is handled: command
 * 10, and command 1 with two plain single-byte paths, each path resolved to
 * its full path as fontctl.exe does, the destination looked up before the
 * copy, and the copy written through a held temporary file that is tried on
 * the font table when it replaces a file, and renamed over the
 * destination. */
#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
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

/* fontctl.exe's look at the destination: 1 for nothing there, 2 for the file
   of that very name, 0 for another file's short name. */
static int LookAtDestination(const char* destination, const char* fileName)
{
    WIN32_FIND_DATAA found;
    HANDLE const search = FindFirstFileA(destination, &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD const error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    FindClose(search);
    return found.cAlternateFileName[0] == '\0' || !SameName(fileName, found.cAlternateFileName)
            || SameName(fileName, found.cFileName)
        ? 2
        : 0;
}

static BOOL MarkForDeletion(HANDLE file, BOOLEAN marked)
{
    FILE_DISPOSITION_INFO info = {marked};
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
}

/* fontctl.exe's copy: the source opened, a new temporary file beside the
   destination created and marked for deletion, the data copied through the
   two handles and flushed; when a file is there, the copy tried on the font
   table privately with the file held for reading only; then the source's
   attributes given and the file renamed over the destination through its
   handle, unless the file there is read-only, hidden or system. */
static int CopyInOneStep(const char* sourcePath, const char* destination, int replacing)
{
    /* From the heap, as fontctl.exe takes it. */
    DWORD const chunk = 256 * 1024;
    char* const buffer = malloc(chunk);
    static char renameBuffer[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)];
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
    if (!FullPath(temporary, full)) {
        return 0;
    }
    HANDLE const source = CreateFileA(
        sourcePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    HANDLE copy = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, NULL,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    int copied
        = source != INVALID_HANDLE_VALUE && copy != INVALID_HANDLE_VALUE && MarkForDeletion(copy, TRUE);
    DWORD read = 0;
    DWORD written = 0;
    copied = copied && buffer != NULL;
    while (copied && ReadFile(source, buffer, chunk, &read, NULL) && read > 0) {
        copied = WriteFile(copy, buffer, read, &written, NULL) && written == read;
    }
    copied = copied && FlushFileBuffers(copy);
    if (copied && replacing) {
        MarkForDeletion(copy, FALSE);
        HANDLE const reading
            = ReOpenFile(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        CloseHandle(copy);
        copied = AddFontResourceExA(temporary, FR_PRIVATE | FR_NOT_ENUM, NULL) > 0;
        RemoveFontResourceExA(temporary, FR_PRIVATE | FR_NOT_ENUM, NULL);
        copy = ReOpenFile(reading, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, 0);
        CloseHandle(reading);
        MarkForDeletion(copy, TRUE);
    }
    FILE_BASIC_INFO basic;
    DWORD const attributes = GetFileAttributesA(destination);
    copied = copied && GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof basic)
        && (attributes == INVALID_FILE_ATTRIBUTES
            || (attributes & ~basic.FileAttributes
                   & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
                       | FILE_ATTRIBUTE_SYSTEM))
                == 0);
    if (copied) {
        FILE_BASIC_INFO given = {0};
        given.LastWriteTime = basic.LastWriteTime;
        given.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        FILE_RENAME_INFO* const rename = (FILE_RENAME_INFO*)renameBuffer;
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = NULL;
        int const units = MultiByteToWideChar(CP_ACP, 0, destination, -1, rename->FileName, MAX_PATH);
        rename->FileNameLength = (DWORD)(units - 1) * sizeof(wchar_t);
        copied = MarkForDeletion(copy, FALSE)
            && SetFileInformationByHandle(copy, FileBasicInfo, &given, sizeof given) && units > 0
            && SetFileInformationByHandle(copy, FileRenameInfo, rename, sizeof renameBuffer);
    }
    free(buffer);
    CloseHandle(copy);
    CloseHandle(source);
    return copied;
}

static int Install(const char* sourcePath, const char* folderPath)
{
    char fullSource[MAX_PATH];
    char fullFolder[MAX_PATH];
    char full[MAX_PATH];
    if (!FullPath(sourcePath, fullSource) || !PathFileExistsA(sourcePath)) {
        return 1;
    }
    if (!FullPath(folderPath, full) || !PathFileExistsA(folderPath)) {
        return 2;
    }
    /* The folder's full path, then the last component of the source's. */
    const char* const fileName = strrchr(fullSource, '\\') + 1;
    char destination[MAX_PATH];
    size_t const nameLength = strlen(fileName);
    if (!FullPath(folderPath, fullFolder) || strlen(fullFolder) + 1 + nameLength >= sizeof destination) {
        return 3;
    }
    size_t const folderLength = strlen(fullFolder);
    memcpy(destination, fullFolder, folderLength);
    destination[folderLength] = '\\';
    memcpy(destination + folderLength + 1, fileName, nameLength + 1);
    if (!FullPath(destination, full) || strcmp(full, destination) != 0 || SameName(fullSource, full)) {
        return 3;
    }
    int const found = LookAtDestination(full, fileName);
    if (found == 0 || !CopyInOneStep(fullSource, full, found == 2)) {
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
