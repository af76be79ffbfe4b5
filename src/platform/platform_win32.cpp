// The platform operations on Win32: each is a thin call into kernel32,
// shlwapi, gdi32 or user32, with no extended error code read.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {

const char* GetCommandLineA()
{
    return ::GetCommandLineA();
}

bool IsDBCSLeadByte(unsigned char byte)
{
    return ::IsDBCSLeadByte(byte) != FALSE;
}

int PathFileExistsA(const char* path)
{
    return ::PathFileExistsA(path);
}

int CopyFileA(const char* existingPath, const char* newPath, int failIfExists)
{
    return ::CopyFileA(existingPath, newPath, failIfExists);
}

int AddFontResourceA(const char* path)
{
    return ::AddFontResourceA(path);
}

int RemoveFontResourceA(const char* path)
{
    return ::RemoveFontResourceA(path);
}

int DeleteFileA(const char* path)
{
    return ::DeleteFileA(path);
}

SearchHandle FindFirstFileA(const char* path)
{
    // The record is filled by the search but never read: only whether
    // something matched matters to the caller.
    WIN32_FIND_DATAA findData;
    return ::FindFirstFileA(path, &findData);
}

void FindClose(SearchHandle search)
{
    ::FindClose(search);
}

void NotifyFontChange()
{
    ::PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace fontctl::platform
