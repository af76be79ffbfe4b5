// Paths as Windows reads them: where the file name of a path starts, how the
// destination of a copy is put together, and which name Windows looks up for
// the last component of a path. Every length and position counts bytes in
// the program's code page; a lead byte of a double-byte character takes the
// byte after it along, so a trail byte 0x5C is never a backslash.
#pragma once

#include "platform/byte_buffer.h"

#include <cstdint>
#include <string_view>

namespace fontctl {

// The bytes of `sourcePath` after its last separator: a backslash or a
// forward slash that stands as a character of its own, or the colon of a
// drive prefix ("D:f.ttf"; a colon elsewhere separates nothing). The whole
// path when there is none.
std::string_view FileNameOf(std::string_view sourcePath);

// Where the copy of a file named `fileName` goes, NUL-terminated:
// `folderPath`, a backslash unless the folder path already ends in a
// separator or is a bare drive ("D:", whose current folder "D:a.ttf" names),
// then `fileName`.
ByteBuffer DestinationPath(std::string_view folderPath, std::string_view fileName);

// Whether the path starts with \\?\ (or \??\), which turns off every change
// that Windows makes to a path before it acts on it: it is taken as it
// stands.
inline bool IsVerbatim(std::string_view path)
{
    // \\?\ or \??\: they differ in the second character only.
    return path.size() >= 4 && path[0] == '\\' && (path[1] == '\\' || path[1] == '?') && path[2] == '?'
        && path[3] == '\\';
}

// The name that Windows looks up for the last component of a path (its
// FileNameOf): without the dots and spaces at its end, which Windows drops,
// unless the path is verbatim (IsVerbatim).
std::string_view NameAsLookedUp(std::string_view path);

// Whether a file name, put after a folder's path, names one entry of that
// folder for every path that spells it: not empty, not "." or "..", and not
// ending in a dot or a space, which Windows drops from a name unless the
// path is verbatim (so such a file, made through \\?\, is reached by no
// other path).
bool IsPlainName(std::string_view fileName);

// The path of a temporary file beside `destinationPath`, NUL-terminated: in
// its folder, named "~FC", the low 20 bits of `serial` as five upper-case
// hexadecimal digits, then ".TMP" ("~FC0A1B2.TMP"). A valid 8.3 name in upper
// case, so that no file system makes it a short name of its own; no longer
// than needed, so that it takes a path near MAX_PATH over the limit as
// seldom as can be; ".TMP", so that no listing of fonts takes it for one.
ByteBuffer TemporaryPath(std::string_view destinationPath, std::uint32_t serial);

}  // namespace fontctl
