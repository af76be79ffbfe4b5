/* Prints the short (8.3) form of a path, as GetShortPathNameW gives it, in
   UTF-8 with no line end: the cases that name a folder by its short name
   need it, and Wine's cmd answers %~sI with the long name.

   Usage: e2e_short_path.exe PATH
   Exit status: 0, or 1 (with a line on standard error) when there is no
   short form. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count != 2) {
        fputs("usage: e2e_short_path.exe PATH\n", stderr);
        return 1;
    }
    DWORD const size = GetShortPathNameW(arguments[1], NULL, 0);
    wchar_t* const wide = size > 0 ? malloc(size * sizeof *wide) : NULL;
    if (wide == NULL || GetShortPathNameW(arguments[1], wide, size) + 1 != size) {
        fprintf(stderr, "GetShortPathNameW failed: error %lu\n", GetLastError());
        return 1;
    }
    int const bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    char* const text = bytes > 0 ? malloc(bytes) : NULL;
    if (text == NULL || WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, bytes, NULL, NULL) != bytes) {
        fputs("WideCharToMultiByte failed\n", stderr);
        return 1;
    }
    fputs(text, stdout);
    return 0;
}
