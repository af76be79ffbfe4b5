// The platform operations of fontctl.exe: paths in the ANSI code page, each
// handed as it stands to the narrow functions of kernel32, shlwapi, gdi32 or
// user32.
#include "platform/platform.h"

#include "platform/utf16_utf8.h"
#include "platform/win32_entries.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#define WIN32_LEAN_AND_MEAN
#include <shlwapi.h>
#include <windows.h>

namespace fontctl::platform {
namespace {

// A name from a find record, which is already in the ANSI code page.
ByteBuffer CopyOfName(char const* name)
{
    std::size_t const size = std::strlen(name) + 1;
    ByteBuffer bytes = AllocateBytes(size);
    std::memcpy(bytes.get(), name, size);
    return bytes;
}

// The UTF-16 form of text in the ANSI code page, NUL-terminated: the
// characters that Windows reads from those bytes.
UnitBuffer<wchar_t> Utf16FromAnsi(std::string_view text)
{
    // A name is never near the int range: a command line holds 32,767
    // characters at most.
    auto const size = static_cast<int>(text.size());
    int const count = text.empty() ? 0 : ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    UnitBuffer<wchar_t> units = AllocateUnits<wchar_t>(count > 0 ? static_cast<std::size_t>(count) + 1 : 1);
    if (count <= 0 || ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, units.get(), count) != count) {
        units[0] = L'\0';
    } else {
        units[static_cast<std::size_t>(count)] = L'\0';
    }
    return units;
}

// UTF-16 text in the ANSI code page, NUL-terminated. A system whose ANSI
// code page is UTF-8 takes the conversion of fontctl-utf8.exe, which gives
// '?' for an unpaired surrogate where WideCharToMultiByte would give U+FFFD,
// a character file names may hold. Elsewhere WideCharToMultiByte converts
// without best fit: a character that the code page lacks would otherwise
// become a look-alike (a fullwidth quote a quote, a fullwidth backslash or,
// under 932, a yen sign the byte 0x5C), which changes how a command line
// splits and which file a path names. Without best fit it becomes '?', which
// no file name holds. Text that Windows cannot convert becomes empty.
ByteBuffer AnsiFromUtf16(wchar_t const* text)
{
    if (::GetACP() == CP_UTF8) {
        return Utf8FromUtf16(text);
    }
    DWORD const flags = WC_NO_BEST_FIT_CHARS;
    char const defaultChar[] = "?";
    int const size = ::WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, defaultChar, nullptr);
    ByteBuffer bytes = AllocateBytes(size > 0 ? static_cast<std::size_t>(size) : 1);
    if (size <= 0
        || ::WideCharToMultiByte(CP_ACP, flags, text, -1, bytes.get(), size, defaultChar, nullptr) != size) {
        bytes[0] = '\0';
    }
    return bytes;
}

}  // namespace

void PrepareProcess()
{
    win32::PrepareProcess();
}

// A line that Windows cannot convert is read as an empty one: it runs
// nothing.
ByteBuffer ReadCommandLine()
{
    return AnsiFromUtf16(::GetCommandLineW());
}

bool IsDBCSLeadByte(unsigned char byte)
{
    return ::IsDBCSLeadByte(byte) != FALSE;
}

bool PathExists(char const* path)
{
    return ::PathFileExistsA(path) != FALSE;
}

Entry FindEntry(char const* path)
{
    return win32::FindEntryWith(&::FindFirstFileA, path, CopyOfName);
}

// Windows has no ordinal comparison of narrow text: both names are compared
// in UTF-16, as the file system holds them.
bool SameFileName(std::string_view first, std::string_view second)
{
    return win32::SameFileNameWith(first, second, Utf16FromAnsi);
}

// Resolved in UTF-16 from the characters that Windows reads from the bytes,
// and converted back without best fit: a character of the current folder
// that the code page lacks becomes '?', and the path names nothing.
ByteBuffer FullPathOf(char const* path)
{
    wchar_t full[MAX_PATH];
    return win32::GetFullPath(Utf16FromAnsi(path).get(), full) ? AnsiFromUtf16(full) : nullptr;
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
    return win32::OpenSourceFileWith(&::CreateFileA, path);
}

NewFile CreateNewFile(char const* path)
{
    return win32::CreateNewFileWith(&::CreateFileA, &::GetFileAttributesA, path);
}

bool WriteCopy(File const& source, File const& copy)
{
    return win32::WriteCopy(source, copy);
}

bool TryFont(File& copy, char const* path)
{
    return win32::TryFontWith(&::AddFontResourceExA, &::RemoveFontResourceExA, copy, path);
}

// The rename takes a UTF-16 name: the characters that the narrow functions
// read from the same bytes.
bool MoveCopyOver(File const& source, File const& copy, char const* toPath)
{
    return win32::MoveCopyOverWith(&::GetFileAttributesA, source, copy, toPath, Utf16FromAnsi(toPath).get());
}

bool AddFont(char const* path)
{
    return ::AddFontResourceA(path) > 0;
}

bool RemoveFont(char const* path)
{
    return ::RemoveFontResourceA(path) != FALSE;
}

bool DeleteFileAt(char const* path)
{
    return ::DeleteFileA(path) != FALSE;
}

void NotifyFontChange()
{
    ::PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace fontctl::platform
