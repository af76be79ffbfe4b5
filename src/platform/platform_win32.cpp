// The platform operations of fontctl.exe: paths in the ANSI code page, each
// operation a thin call into the narrow functions of kernel32, shlwapi, gdi32
// or user32, with no extended error code read.
#include "platform/platform.h"

#include "platform/utf16_utf8.h"

#include <cstddef>

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {

ByteBuffer ReadCommandLine()
{
    wchar_t const* const line = ::GetCommandLineW();
    // A system whose ANSI code page is UTF-8 takes the conversion of
    // fontctl-utf8.exe, which gives '?' for an unpaired surrogate where
    // WideCharToMultiByte would give U+FFFD, a character file names may hold.
    if (::GetACP() == CP_UTF8) {
        return Utf8FromUtf16(line);
    }
    // GetCommandLineA converts with best fit: a character that the code page
    // lacks becomes a look-alike (a fullwidth quote a quote, a fullwidth
    // backslash or, under 932, a yen sign the byte 0x5C), which changes how
    // the line splits and which file a path names. Without best fit it
    // becomes '?', which no file name holds.
    DWORD const flags = WC_NO_BEST_FIT_CHARS;
    char const defaultChar[] = "?";
    int const size = ::WideCharToMultiByte(CP_ACP, flags, line, -1, nullptr, 0, defaultChar, nullptr);
    ByteBuffer bytes = AllocateBytes(size > 0 ? static_cast<std::size_t>(size) : 1);
    if (size <= 0
        || ::WideCharToMultiByte(CP_ACP, flags, line, -1, bytes.get(), size, defaultChar, nullptr) != size) {
        // A line that Windows cannot convert is read as an empty one: it
        // runs nothing.
        bytes[0] = '\0';
    }
    return bytes;
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
