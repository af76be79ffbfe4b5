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

#include <string_view>

namespace fontctl::platform {

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

// Whether two file names name the same entry for Windows: equal once in
// UTF-16, letter case ignored as Windows' file systems ignore it.
bool SameFileName(std::string_view first, std::string_view second);

// Copies the file, replacing a file at the destination. True when copied.
bool CopyReplacing(char const* sourcePath, char const* destinationPath);

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
