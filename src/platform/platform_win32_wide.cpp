// The platform operations of fontctl-utf8.exe: the command line and every
// path in UTF-8, which Windows is handed as UTF-16 through the wide functions
// of kernel32, shlwapi, gdi32 and user32. So no name depends on the system's
// code page, on the process code page that the manifest asks for (which GDI
// does not honour, and Windows before 10 version 1903 ignores) or on best
// fit. No extended error code is read.
#include "platform/platform.h"

#include "platform/utf16_utf8.h"

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {
namespace {

// The UTF-16 form of a UTF-8 path, freed when the call that needs it is done.
UnitBuffer<wchar_t> Wide(char const* path)
{
    return Utf16FromUtf8<wchar_t>(path);
}

}  // namespace

ByteBuffer ReadCommandLine()
{
    return Utf8FromUtf16(::GetCommandLineW());
}

// UTF-8 has no double-byte characters: every 0x5C byte is a backslash.
bool IsDBCSLeadByte(unsigned char /*byte*/)
{
    return false;
}

int PathFileExistsA(char const* path)
{
    return ::PathFileExistsW(Wide(path).get());
}

int CopyFileA(char const* existingPath, char const* newPath, int failIfExists)
{
    return ::CopyFileW(Wide(existingPath).get(), Wide(newPath).get(), failIfExists);
}

int AddFontResourceA(char const* path)
{
    return ::AddFontResourceW(Wide(path).get());
}

int RemoveFontResourceA(char const* path)
{
    return ::RemoveFontResourceW(Wide(path).get());
}

int DeleteFileA(char const* path)
{
    return ::DeleteFileW(Wide(path).get());
}

SearchHandle FindFirstFileA(char const* path)
{
    // The record is filled by the search but never read: only whether
    // something matched matters to the caller.
    WIN32_FIND_DATAW findData;
    return ::FindFirstFileW(Wide(path).get(), &findData);
}

void FindClose(SearchHandle search)
{
    ::FindClose(search);
}

void NotifyFontChange()
{
    ::PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace fontctl::platform
