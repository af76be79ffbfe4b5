// The platform operations of fontctl-utf8.exe: the command line and every
// path in UTF-8, which Windows is handed as UTF-16 through the wide functions
// of kernel32, shlwapi, gdi32 and user32. So no name depends on the system's
// code page, on the process code page that the manifest asks for (which GDI
// does not honour, and Windows before 10 version 1903 ignores) or on best
// fit.
#include "platform/platform.h"

#include "platform/utf16_utf8.h"
#include "platform/win32_entries.h"

#include <cstdint>
#include <string_view>

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {
namespace {

// The UTF-16 form of UTF-8 text, freed when the call that needs it is done.
UnitBuffer<wchar_t> Wide(std::string_view text)
{
    return Utf16FromUtf8<wchar_t>(text);
}

}  // namespace

void PrepareProcess()
{
    win32::PrepareProcess();
}

ByteBuffer ReadCommandLine()
{
    return Utf8FromUtf16(::GetCommandLineW());
}

// UTF-8 has no double-byte characters: every 0x5C byte is a backslash.
bool IsDBCSLeadByte(unsigned char /*byte*/)
{
    return false;
}

bool PathExists(char const* path)
{
    return ::PathFileExistsW(Wide(path).get()) != FALSE;
}

Entry FindEntry(char const* path)
{
    return win32::FindEntryWith(&::FindFirstFileW, Wide(path).get(), Utf8FromUtf16<wchar_t>);
}

bool SameFileName(std::string_view first, std::string_view second)
{
    return win32::SameFileNameWith(first, second, Wide);
}

ByteBuffer FullPathOf(char const* path)
{
    wchar_t full[MAX_PATH];
    return win32::GetFullPath(Wide(path).get(), full) ? Utf8FromUtf16(full) : nullptr;
}

std::uint32_t CurrentProcessId()
{
    return ::GetCurrentProcessId();
}

void CloseFile::operator()(void* file) const
{
    ::CloseHandle(file);
}

File OpenSourceFile(char const* path)
{
    return win32::OpenSourceFileWith(&::CreateFileW, Wide(path).get());
}

NewFile CreateNewFile(char const* path)
{
    return win32::CreateNewFileWith(&::CreateFileW, &::GetFileAttributesW, Wide(path).get());
}

bool WriteCopy(File const& source, File const& copy)
{
    return win32::WriteCopy(source, copy);
}

bool TryFont(File& copy, char const* path)
{
    return win32::TryFontWith(&::AddFontResourceExW, &::RemoveFontResourceExW, copy, Wide(path).get());
}

bool MoveCopyOver(File const& source, File const& copy, char const* toPath)
{
    UnitBuffer<wchar_t> const wideToPath = Wide(toPath);
    return win32::MoveCopyOverWith(&::GetFileAttributesW, source, copy, wideToPath.get(), wideToPath.get());
}

bool AddFont(char const* path)
{
    return ::AddFontResourceW(Wide(path).get()) > 0;
}

bool RemoveFont(char const* path)
{
    return ::RemoveFontResourceW(Wide(path).get()) != FALSE;
}

bool DeleteFileAt(char const* path)
{
    return ::DeleteFileW(Wide(path).get()) != FALSE;
}

void NotifyFontChange()
{
    ::PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace fontctl::platform
