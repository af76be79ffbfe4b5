// What both programs do alike with Windows (the settings at start, full
// paths, the copy and its rename, directory entries), written once over the
// text type of the Win32 functions: char with fontctl.exe's narrow
// functions, wchar_t with fontctl-utf8.exe's wide ones. Included by the two
// platform files only.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string_view>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace fontctl::platform::win32 {

// The error mode makes a drive without a disk, or a file that cannot be
// opened, fail the call rather than show a message box; bits that the parent
// set stay. SetDefaultDllDirectories is looked up rather than imported:
// Windows 7 has it only with update KB2533623, and an import that Windows
// lacks would stop the program from starting at all.
inline void PrepareProcess()
{
    UINT const quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    ::SetErrorMode(::SetErrorMode(quiet) | quiet);
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    // A procedure address is cast to its real type as any GetProcAddress
    // result is; void (*)() is the type that may stand for any function.
    auto const setDefaultDllDirectories
        = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

// The full path of a UTF-16 path into `full`, by GetFullPathNameW: true when
// Windows gave one shorter than MAX_PATH. The wide form for both programs:
// GetFullPathNameA would give fontctl.exe the current folder converted with
// best fit, which can name another folder than the one Windows resolved.
inline bool GetFullPath(wchar_t const* path, wchar_t (&full)[MAX_PATH])
{
    DWORD const length = ::GetFullPathNameW(path, MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH;
}

template <typename Char> using CopyFileFunction = BOOL(WINAPI*)(Char const*, Char const*, BOOL);

// CopyFile that fails where anything has the name already: created anew, so
// the copy never writes into a file or through a link that was there.
template <typename Char>
NewCopy CopyToNewFileWith(CopyFileFunction<Char> copyFile, Char const* sourcePath, Char const* newPath)
{
    if (copyFile(sourcePath, newPath, TRUE) != FALSE) {
        return NewCopy::Made;
    }
    DWORD const error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewCopy::NameTaken : NewCopy::Failed;
}

template <typename Char> using GetFileAttributesFunction = DWORD(WINAPI*)(Char const*);
template <typename Char> using MoveFileExFunction = BOOL(WINAPI*)(Char const*, Char const*, DWORD);

// Copying over a file re-creates it, which Windows refuses for a hidden or a
// system file unless the new file has that attribute too; a rename replaces
// either. The rename itself refuses what copying over it also would: a
// folder, a read-only file, a file that is open (Windows holds a loaded
// font's file open). The first two are checked here as well, since Wine's
// rename replaces a read-only file, as its copy did only as root.
template <typename Char>
bool MoveReplacingWith(GetFileAttributesFunction<Char> getFileAttributes, MoveFileExFunction<Char> moveFileEx,
    Char const* fromPath, Char const* toPath)
{
    DWORD const toAttributes = getFileAttributes(toPath);
    if (toAttributes != INVALID_FILE_ATTRIBUTES) {
        DWORD const refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
        DWORD const kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if ((toAttributes & refused) != 0 || (toAttributes & kept & ~getFileAttributes(fromPath)) != 0) {
            return false;
        }
    }
    // Within one folder the rename is one step of the file system: whoever
    // opens the name finds the old file or the new one, whole. With
    // write-through the call returns once the rename is on the disk.
    return moveFileEx(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// The file is this run's: no folder (CopyFile reports a folder of that name
// as a name taken), and read-only only when its source was.
template <typename Char>
void DiscardFileWith(BOOL(WINAPI* setFileAttributes)(Char const*, DWORD),
    BOOL(WINAPI* deleteFile)(Char const*), Char const* path)
{
    setFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
    deleteFile(path);
}

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
