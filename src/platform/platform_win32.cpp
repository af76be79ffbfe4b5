// The platform operations on Win32: each is a thin call into kernel32,
// shlwapi, gdi32 or user32, with no extended error code read.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {

char const* GetCommandLineA()
{
    return ::GetCommandLineA();
}

bool IsDBCSLeadByte(unsigned char byte)
{
    return ::IsDBCSLeadByte(byte) != FALSE;
}

int PathFileExistsA(char const* path)
{
    return ::PathFileExistsA(path);
}

int CopyFileA(char const* existingPath, char const* newPath, int failIfExists)
{
    return ::CopyFileA(existingPath, newPath, failIfExists);
}

int AddFontResourceA(char const* path)
{
    return ::AddFontResourceA(path);
}

int RemoveFontResourceA(char const* path)
{
    return ::RemoveFontResourceA(path);
}

int DeleteFileA(char const* path)
{
    return ::DeleteFileA(path);
}

SearchHandle FindFirstFileA(char const* path)
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
