// What both programs do alike with Windows (the settings at start, full
// paths, the new copy, its trial and its rename, directory entries), written once over the
// text type of the Win32 functions: char with fontctl.exe's narrow
// functions, wchar_t with fontctl-utf8.exe's wide ones. Included by the two
// platform files only.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string_view>
#include <utility>

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

// What a new copy is opened for: written, read back by TryFont, marked for
// deletion and renamed. Others may read it, never write, rename or delete
// it while this run holds it.
constexpr DWORD CopyAccess = GENERIC_READ | GENERIC_WRITE | DELETE;

// The handle of a file, or INVALID_HANDLE_VALUE as an empty File.
inline File Held(HANDLE handle)
{
    return File(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Marks the file for deletion when its last handle closes, or clears that.
inline bool MarkForDeletion(File const& file, bool marked)
{
    FILE_DISPOSITION_INFO info {static_cast<BOOLEAN>(marked)};
    return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &info, sizeof info) != FALSE;
}

template <typename Char>
using CreateFileFunction
    = HANDLE(WINAPI*)(Char const*, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
template <typename Char> using GetFileAttributesFunction = DWORD(WINAPI*)(Char const*);

template <typename Char> File OpenSourceFileWith(CreateFileFunction<Char> createFile, Char const* path)
{
    return Held(createFile(
        path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Whether a creation that failed met something of that name. A file that is
// there answers "exists", and so does a folder; a file that another run is
// about to delete (its temporary file, marked for deletion) answers "access
// denied", as does a folder that takes no new file. Only the first of those
// two has attributes to read, or an answer other than "not there".
template <typename Char>
bool NameTakenAfterFailedCreate(GetFileAttributesFunction<Char> getFileAttributes, Char const* path)
{
    DWORD const error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED || getFileAttributes(path) != INVALID_FILE_ATTRIBUTES) {
        return error == ERROR_ACCESS_DENIED;
    }
    DWORD const lookError = ::GetLastError();
    return lookError != ERROR_FILE_NOT_FOUND && lookError != ERROR_PATH_NOT_FOUND;
}

// A creation that Windows makes new or refuses, never an open of what is
// there, so no file and no link that was there is ever written to. The mark
// follows at once: the only moment a killed run could leave the file behind
// is between these two calls, when it is still empty.
template <typename Char>
NewFile CreateNewFileWith(
    CreateFileFunction<Char> createFile, GetFileAttributesFunction<Char> getFileAttributes, Char const* path)
{
    File file = Held(
        createFile(path, CopyAccess, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return {
            NameTakenAfterFailedCreate(getFileAttributes, path) ? Creation::NameTaken : Creation::Failed, {}};
    }
    if (!MarkForDeletion(file, true)) {
        return {Creation::Failed, {}};
    }
    return {Creation::Made, std::move(file)};
}

// Bytes read and written at a time: few calls for a large font, little
// memory for any.
constexpr DWORD CopyChunk = 256 * 1024;

inline bool WriteCopy(File const& source, File const& copy)
{
    ByteBuffer const buffer = AllocateBytes(CopyChunk);
    for (;;) {
        DWORD read = 0;
        if (::ReadFile(source.get(), buffer.get(), CopyChunk, &read, nullptr) == FALSE) {
            return false;
        }
        if (read == 0) {
            return ::FlushFileBuffers(copy.get()) != FALSE;
        }
        DWORD written = 0;
        if (::WriteFile(copy.get(), buffer.get(), read, &written, nullptr) == FALSE || written != read) {
            return false;
        }
    }
}

// A new handle to the file of `file`, with other access and sharing.
inline File ReOpen(File const& file, DWORD access, DWORD sharing)
{
    return Held(::ReOpenFile(file.get(), access, sharing, 0));
}

template <typename Char> using FontResourceExFunction = int(WINAPI*)(Char const*, DWORD, PVOID);
template <typename Char> using RemoveFontResourceExFunction = BOOL(WINAPI*)(Char const*, DWORD, PVOID);

// The font table opens a font's file for reading and shares it with readers
// alone, so it could not open one that this run holds for writing or
// deleting. For the trial the file is held for reading only, shared with
// all, which keeps any other process from deleting or renaming it, and is
// taken back with the copy's own access once the font table has let it go.
// A file marked for deletion opens for no one: the mark is cleared for the
// trial, and set again after it.
template <typename Char>
bool TryFontWith(FontResourceExFunction<Char> addFontResourceEx,
    RemoveFontResourceExFunction<Char> removeFontResourceEx, File& copy, Char const* path)
{
    DWORD const privately = FR_PRIVATE | FR_NOT_ENUM;
    if (!MarkForDeletion(copy, false)) {
        copy.reset();
        return false;
    }
    File const reading = ReOpen(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!reading) {
        if (!MarkForDeletion(copy, true)) {
            copy.reset();
        }
        return false;
    }
    copy.reset();
    bool const taken = addFontResourceEx(path, privately, nullptr) > 0;
    if (taken) {
        removeFontResourceEx(path, privately, nullptr);
    }
    copy = ReOpen(reading, CopyAccess, FILE_SHARE_READ);
    if (copy && !MarkForDeletion(copy, true)) {
        copy.reset();
    }
    return taken;
}

// The attributes a copy takes from its source, as CopyFile gives them.
constexpr DWORD CopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
    | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

inline bool SetBasicInfo(File const& file, FILE_BASIC_INFO info)
{
    return ::SetFileInformationByHandle(file.get(), FileBasicInfo, &info, sizeof info) != FALSE;
}

// Renames the file of the handle to the full path, replacing what is there.
inline bool RenameReplacing(File const& file, wchar_t const* toPath)
{
    std::size_t const nameBytes = std::wcslen(toPath) * sizeof(wchar_t);
    ByteBuffer const buffer = AllocateBytes(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* const info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, toPath, nameBytes + sizeof(wchar_t));
    return ::SetFileInformationByHandle(
               file.get(), FileRenameInfo, info, static_cast<DWORD>(sizeof(FILE_RENAME_INFO) + nameBytes))
        != FALSE;
}

// Copying over a file re-creates it, which Windows refuses for a hidden or a
// system file unless the new file has that attribute too; a rename replaces
// either. The rename itself refuses what copying over it also would: a
// folder, a read-only file, a file that is open (Windows holds a loaded
// font's file open). The first two are checked here as well, since Wine's
// rename replaces a read-only file. The rename is the one step of the file
// system that changes the folder: whoever opens the name finds the old file
// or the new one, whole, and the new one's data is on the disk before it.
template <typename Char>
bool MoveCopyOverWith(GetFileAttributesFunction<Char> getFileAttributes, File const& source, File const& copy,
    Char const* toPath, wchar_t const* wideToPath)
{
    FILE_BASIC_INFO sourceInfo;
    if (::GetFileInformationByHandleEx(source.get(), FileBasicInfo, &sourceInfo, sizeof sourceInfo)
        == FALSE) {
        return false;
    }
    DWORD const attributes = sourceInfo.FileAttributes & CopiedAttributes;
    DWORD const toAttributes = getFileAttributes(toPath);
    if (toAttributes != INVALID_FILE_ATTRIBUTES) {
        DWORD const refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
        DWORD const kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if ((toAttributes & refused) != 0 || (toAttributes & kept & ~attributes) != 0) {
            return false;
        }
    }
    // A read-only file cannot be marked for deletion: the attributes come
    // after the mark is cleared, and go again if the rename fails. A time
    // or an attribute of zero leaves that one as it is.
    FILE_BASIC_INFO copied {};
    copied.LastWriteTime = sourceInfo.LastWriteTime;
    copied.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    if (!MarkForDeletion(copy, false)) {
        return false;
    }
    if (SetBasicInfo(copy, copied) && RenameReplacing(copy, wideToPath)) {
        return true;
    }
    FILE_BASIC_INFO plain {};
    plain.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetBasicInfo(copy, plain);
    MarkForDeletion(copy, true);
    return false;
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
