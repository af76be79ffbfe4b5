/* Prints the 8.3 short form of a path, as GetShortPathNameW gives it, in
   UTF-8 with no line end. Wine makes a file's short name on the fly by
   hashing its long one, and its cmd gives the long name for %~sI: only the
   function itself tells which short name a file has.

   Usage: short_name.exe PATH
   Exit status 0, or 1 (printing nothing) when Windows gives no short form,
   2 when the usage is wrong. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>

enum { LongestPath = 32768 };

int main(void)
{
    static wchar_t shortPath[LongestPath];
    static char utf8[LongestPath * 3];
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count != 2) {
        return 2;
    }
    DWORD const length = GetShortPathNameW(arguments[1], shortPath, LongestPath);
    if (length == 0 || length >= LongestPath) {
        return 1;
    }
    int const size = WideCharToMultiByte(CP_UTF8, 0, shortPath, (int)length, utf8, sizeof utf8, NULL, NULL);
    if (size <= 0) {
        return 1;
    }
    fwrite(utf8, 1, (size_t)size, stdout);
    return 0;
}
