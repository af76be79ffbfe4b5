/* Stands in for Windows' fc.exe in a Wine prefix, whose fc.exe compares
   nothing and answers 0 for any two files: `fc /b FILE1 FILE2` compares the
   two files byte for byte, as the example batch scripts ask Windows' fc.

   Exit status as Windows' fc: 0 when the files hold the same bytes, 1 when
   they differ (in length or in a byte), 2 when the arguments are not /b and
   two files, or a file cannot be read. Prints one line saying which. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

enum { Same = 0, Different = 1, Trouble = 2 };

/* The next byte of FILE into BYTE: 1, 0 at the end, -1 on a failed read. */
static int NextByte(HANDLE file, unsigned char* buffer, DWORD* filled, DWORD* at, unsigned char* byte)
{
    if (*at == *filled) {
        if (!ReadFile(file, buffer, 65536, filled, NULL)) {
            return -1;
        }
        *at = 0;
        if (*filled == 0) {
            return 0;
        }
    }
    *byte = buffer[(*at)++];
    return 1;
}

static HANDLE OpenToRead(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

static int Compare(const wchar_t* first, const wchar_t* second)
{
    static unsigned char buffers[2][65536];
    HANDLE files[2] = {OpenToRead(first), OpenToRead(second)};
    int result = Trouble;
    if (files[0] != INVALID_HANDLE_VALUE && files[1] != INVALID_HANDLE_VALUE) {
        DWORD filled[2] = {0, 0};
        DWORD at[2] = {0, 0};
        for (;;) {
            unsigned char bytes[2] = {0, 0};
            int const got0 = NextByte(files[0], buffers[0], &filled[0], &at[0], &bytes[0]);
            int const got1 = NextByte(files[1], buffers[1], &filled[1], &at[1], &bytes[1]);
            if (got0 < 0 || got1 < 0) {
                break;
            }
            if (got0 != got1 || bytes[0] != bytes[1]) {
                result = Different;
                break;
            }
            if (got0 == 0) {
                result = Same;
                break;
            }
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (files[i] != INVALID_HANDLE_VALUE) {
            CloseHandle(files[i]);
        }
    }
    return result;
}

int main(void)
{
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    int result = Trouble;
    if (arguments != NULL && count == 4 && _wcsicmp(arguments[1], L"/b") == 0) {
        result = Compare(arguments[2], arguments[3]);
    }
    LocalFree(arguments);
    static const char* const said[] = {"FC: no differences encountered", "FC: the files differ",
        "FC: usage: fc /b FILE1 FILE2, two files that can be read"};
    puts(said[result]);
    return result;
}
