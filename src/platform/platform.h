// The Windows operations that fontctl needs, declared with plain types so
// that the code above this layer never includes <windows.h>. The Win32 build
// implements them in platform_win32.cpp; the unit tests link a recording fake.
#pragma once

#include <cstdint>

namespace fontctl::platform {

// An open directory search, as FindFirstFileA returns it.
using SearchHandle = void*;

// The value FindFirstFileA returns when nothing matches (INVALID_HANDLE_VALUE).
inline SearchHandle const InvalidSearchHandle
    = reinterpret_cast<SearchHandle>(static_cast<std::intptr_t>(-1));

// The raw command line of the process, in the ANSI code page.
char const* GetCommandLineA();

// Whether the byte is a lead byte of a double-byte character in the ANSI code
// page. Always false under single-byte code pages and UTF-8.
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
