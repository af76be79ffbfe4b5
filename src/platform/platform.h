// The Windows operations that fontctl needs, declared with plain types so
// that the code above this layer never includes <windows.h>.
//
// Text crosses this layer as bytes in the program's own code page. fontctl.exe
// (platform_win32.cpp) takes the ANSI code page and calls the narrow Win32
// functions with each path as it stands. fontctl-utf8.exe
// (platform_win32_wide.cpp) takes UTF-8 and calls the wide functions, each
// path converted to UTF-16 right before the call. The operations keep the
// names of the narrow functions. The unit tests link a recording fake.
#pragma once

#include "platform/byte_buffer.h"

#include <cstdint>

namespace fontctl::platform {

// An open directory search, as FindFirstFileA returns it.
using SearchHandle = void*;

// The value FindFirstFileA returns when nothing matches (INVALID_HANDLE_VALUE).
inline SearchHandle const InvalidSearchHandle
    = reinterpret_cast<SearchHandle>(static_cast<std::intptr_t>(-1));

// The raw command line of the process, program name included, in the
// program's code page and NUL-terminated. Made from the Unicode command line
// without best fit: a character that the code page cannot hold becomes '?',
// never a look-alike that could be a quote or a separator.
ByteBuffer ReadCommandLine();

// Whether the byte is a lead byte of a double-byte character in the program's
// code page. Always false under single-byte code pages and UTF-8.
bool IsDBCSLeadByte(unsigned char byte);

// Non-zero when a file or folder exists at the path.
int PathFileExistsA(char const* path);

// Non-zero when the file was copied; failIfExists 0 overwrites the target.
int CopyFileA(char const* existingPath, char const* newPath, int failIfExists);

// The number of fonts added to the system font table from the file.
int AddFontResourceA(char const* path);

// Non-zero when the fonts of that file were taken out of the font table.
int RemoveFontResourceA(char const* path);

// Non-zero when the file was deleted.
int DeleteFileA(char const* path);

// A search handle when at least one directory entry matches the path (with
// '*' and '?' as wildcards in its last component), InvalidSearchHandle when
// none does. The find record is kept inside the platform layer.
SearchHandle FindFirstFileA(char const* path);

// Closes a handle that FindFirstFileA returned.
void FindClose(SearchHandle search);

// Posts WM_FONTCHANGE to every top-level window without waiting for them.
// Whether the post succeeded changes nothing for any caller.
void NotifyFontChange();

}  // namespace fontctl::platform
