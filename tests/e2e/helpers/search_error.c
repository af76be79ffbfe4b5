/* Prints what a directory search answers for each of a list of paths, as
   fontctl's removal searches for them: the full path (GetFullPathNameW, which
   must be shorter than MAX_PATH; a path that starts with \\?\ as it stands,
   at any length),
   then FindFirstFileA and FindFirstFileW on it. Windows and Wine answer some
   paths with different errors (a root, a folder with a trailing backslash,
   a network path with no host), and fontctl's answer follows from the error:
   this tells the cases which one the platform gives.

   Usage: search_error.exe PATH...
   One line for each PATH: the answer of FindFirstFileA, a blank, the answer
   of FindFirstFileW. An answer is "found", "no-full-path" (GetFullPathNameW
   failed, or gave MAX_PATH units or more), or the decimal error code that
   GetLastError gave after the search failed. Exit status 0, or 2 when the
   usage is wrong. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

static void PrintSearch(HANDLE search)
{
    if (search == INVALID_HANDLE_VALUE) {
        printf("%lu", (unsigned long)GetLastError());
        return;
    }
    FindClose(search);
    fputs("found", stdout);
}

enum { LongestPath = 32768 };

/* The full path into `full`, as fontctl makes it: a path that starts with
   \\?\ as it stands, at any length; FALSE when there is none. */
static BOOL FullPath(const wchar_t* path, wchar_t (*full)[LongestPath])
{
    if (wcsncmp(path, L"\\\\?\\", 4) == 0) {
        if (wcslen(path) >= LongestPath) {
            return FALSE;
        }
        wcscpy(*full, path);
        return TRUE;
    }
    DWORD const length = GetFullPathNameW(path, MAX_PATH, *full, NULL);
    return length > 0 && length < MAX_PATH;
}

static void PrintSearches(const wchar_t* path)
{
    static wchar_t full[LongestPath];
    static char narrow[LongestPath * 2];
    if (!FullPath(path, &full)) {
        fputs("no-full-path no-full-path\n", stdout);
        return;
    }
    WIN32_FIND_DATAA narrowRecord;
    WIN32_FIND_DATAW wideRecord;
    if (WideCharToMultiByte(CP_ACP, 0, full, -1, narrow, sizeof narrow, NULL, NULL) > 0) {
        PrintSearch(FindFirstFileA(narrow, &narrowRecord));
    } else {
        fputs("no-full-path", stdout);
    }
    putchar(' ');
    PrintSearch(FindFirstFileW(full, &wideRecord));
    putchar('\n');
}

int main(void)
{
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count < 2) {
        fputs("usage: search_error.exe PATH...\n", stderr);
        return 2;
    }
    /* A drive without a disk answers the search rather than showing a
       message box, as it does for fontctl. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (int i = 1; i < count; ++i) {
        PrintSearches(arguments[i]);
    }
    LocalFree(arguments);
    return 0;
}
