// The Windows operations that fontctl needs, declared with plain types so
// that the code above this layer never includes <windows.h>.
//
// Text crosses this layer as bytes in the program's own code page. The two
// programs differ only in how those bytes reach Windows: fontctl.exe
// (platform_win32.cpp) takes the ANSI code page and hands each path as it
// stands to the narrow Win32 functions; fontctl-utf8.exe
// (platform_win32_wide.cpp) takes UTF-8 and hands each path, converted to
// UTF-16, to the wide ones. What both do alike is written once, in
// win32_entries.h. The unit tests link a recording fake.
#pragma once

#include "platform/byte_buffer.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace fontctl::platform {

// Settles, before anything else runs, what Windows may do on the program's
// behalf: a drive without a disk or a file it cannot open fails the call
// instead of showing a message box that no one may see (a logon script runs
// hidden, and would wait for it forever), and DLLs that Windows loads later
// come only from the system folder, never from the program's own folder
// (installers run fontctl from temporary folders that others can write to).
void PrepareProcess();

// The raw command line of the process, program name included, in the
// program's code page and NUL-terminated. Made from the Unicode command line
// without best fit: a character that the code page cannot hold becomes '?',
// never a look-alike that could be a quote or a separator.
ByteBuffer ReadCommandLine();

// Whether the byte is a lead byte of a double-byte character in the program's
// code page. Always false under single-byte code pages and UTF-8.
bool IsDBCSLeadByte(unsigned char byte);

// Whether a file or folder exists at the path.
bool PathExists(char const* path);

// What a directory search for a path found.
enum class Lookup {
    Found,         // at least one entry matches
    NothingThere,  // the search looked, and no entry matches
    CouldNotLook,  // the search failed otherwise (access denied, a drive not
                   // ready, a network path out of reach, a name it cannot
                   // take): whether anything is there is unknown
};

// A search's outcome and, when it found an entry, the names that entry has:
// its own name and the 8.3 alias that the file system made for it (empty
// when it has none), NUL-terminated. The names are set only when Found.
struct Entry {
    Lookup lookup;
    ByteBuffer longName;
    ByteBuffer shortName;
};

// Searches the folder for the path's last component, '*' and '?' in it
// matching as wildcards; the names are those of the first entry that matched.
Entry FindEntry(char const* path);

// Whether two file names, or two full paths, name the same entry for
// Windows: equal once in UTF-16, letter case ignored as Windows' file systems
// ignore it.
bool SameFileName(std::string_view first, std::string_view second);

// The full path that Windows' file functions make of a path
// (GetFullPathName): a relative path resolved against the current folder (or
// the current folder of its drive), "." and ".." folded, forward slashes made
// backslashes, the dots and spaces at the end of the last component dropped.
// A character that the program's code page cannot hold becomes '?', which
// names no file. Null when Windows gives none, and when it is MAX_PATH (260)
// UTF-16 code units long or longer: a program that is not long-path aware,
// as fontctl is not, reaches no such path without the \\?\ prefix. (Windows'
// wide functions may answer "no such path" for one that exists; Wine's reach
// it. Such a path is refused alike on both.)
ByteBuffer FullPathOf(char const* path);

// The identifier of this process, which no other running process has.
std::uint32_t CurrentProcessId();

// Closes a file that this run opened. A new file that is still marked for
// deletion (CreateNewFile) is deleted by Windows as it closes.
struct CloseFile {
    void operator()(void* file) const;
};

// A file that this run holds open; empty when it could not be opened.
using File = std::unique_ptr<void, CloseFile>;

// Opens the file at the path for reading, sharing it with readers only: a
// file that another process is writing is not read half-written. Empty for a
// folder, a file the user may not read, or one that another process holds
// without sharing it.
File OpenSourceFile(char const* path);

// What creating a new file came to.
enum class Creation {
    Made,       // created, and marked for deletion
    NameTaken,  // a file or folder of that name is there: nothing was touched
    Failed,     // nothing was created (the folder takes no new file, say)
};

struct NewFile {
    Creation creation;
    File file;  // held only when Made
};

// Creates a file that must not exist yet, for writing, and marks it for
// deletion at once: until MoveCopyOver places it, closing it deletes it,
// and so does the end of a run that is killed, since Windows closes a dead
// process's files. Never opens, and so never deletes, a file that was there.
NewFile CreateNewFile(char const* path);

// Writes the whole of the source into the new file and flushes it to the
// disk, so that a rename of the new file never lands before its data does.
// True when every byte was read, written and flushed.
bool WriteCopy(File const& source, File const& copy);

// Whether the font table takes at least one font from the new file at the
// path, asked for this process alone and unlisted, and let go at once. The
// font table opens the file itself, so for that moment the file is held for
// reading only and not marked for deletion; afterwards `copy` holds it again,
// marked, or is empty when it could not be held again, and then the file
// stays where it is.
bool TryFont(File& copy, char const* path);

// Gives the new file the source's attributes and time of last change, and
// renames it to `toPath` in one step, replacing what is there: a file there
// (or a link, not what it points to) is replaced, never written to. It
// replaces nothing that copying over it would have refused to write: a
// folder, a read-only file, a file that another process holds open (the file
// of a loaded font), or a hidden or system file when the source lacks that
// attribute. True when renamed, and the file is then no longer marked for
// deletion; otherwise nothing changed, and it still is.
bool MoveCopyOver(File const& source, File const& copy, char const* toPath);

// Adds the fonts of the file to the system font table. True when it added at
// least one.
bool AddFont(char const* path);

// Takes the fonts of that file out of the font table. True when it did.
bool RemoveFont(char const* path);

// Deletes the file. True when it did.
bool DeleteFileAt(char const* path);

// Posts WM_FONTCHANGE to every top-level window without waiting for them.
// Whether the post succeeded changes nothing for any caller.
void NotifyFontChange();

}  // namespace fontctl::platform
