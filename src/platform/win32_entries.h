// Directory entries as both programs see them, written once over the text
// type of the Win32 functions: char with fontctl.exe's narrow functions,
// wchar_t with fontctl-utf8.exe's wide ones. Included by the two platform
// files only.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string_view>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace fontctl::platform::win32 {

// What a failed FindFirstFile says about the path. Only the codes that mean
// the search looked and matched nothing say that nothing is there: a file or
// folder that is not there (ERROR_FILE_NOT_FOUND), a folder on the way that
// is not there (ERROR_PATH_NOT_FOUND), an enumeration that ended with no
// match (ERROR_NO_MORE_FILES, which some file systems give for a first
// search). Any other code (access denied, a drive not ready, a network path
// or share out of reach, a name the search cannot take, a path too long, and
// whatever else Windows may answer) leaves open whether something is there.
inline Lookup LookupAfterFailedSearch(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
        return Lookup::NothingThere;
    default:
        return Lookup::CouldNotLook;
    }
}

// Closes a search that FindFirstFile opened.
struct CloseSearch {
    void operator()(HANDLE search) const
    {
        if (search != INVALID_HANDLE_VALUE) {
            ::FindClose(search);
        }
    }
};

template <typename Char, typename FindData>
using FindFirstFileFunction = HANDLE(WINAPI*)(Char const*, FindData*);

// Searches with FindFirstFileA or FindFirstFileW; `toBytes` turns a name of
// the find record into the program's own text.
template <typename Char, typename FindData, typename ToBytes>
Entry FindEntryWith(FindFirstFileFunction<Char, FindData> findFirstFile, Char const* path, ToBytes toBytes)
{
    FindData record;
    std::unique_ptr<void, CloseSearch> const search(findFirstFile(path, &record));
    if (search.get() == INVALID_HANDLE_VALUE) {
        return {LookupAfterFailedSearch(::GetLastError()), nullptr, nullptr};
    }
    return {Lookup::Found, toBytes(record.cFileName), toBytes(record.cAlternateFileName)};
}

// Compares names as Windows' file systems do: unit by unit in UTF-16, each
// letter in its upper case (the ordinal comparison ignoring case, not the
// rules of any language). `toUtf16` gives the NUL-terminated UTF-16 form of
// the program's text.
template <typename ToUtf16>
bool SameFileNameWith(std::string_view first, std::string_view second, ToUtf16 toUtf16)
{
    return ::CompareStringOrdinal(toUtf16(first).get(), -1, toUtf16(second).get(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace fontctl::platform::win32
