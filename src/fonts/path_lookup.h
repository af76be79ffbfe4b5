// Looking a path up before fontctl acts on it.
#pragma once

#include "platform/byte_buffer.h"
#include "platform/platform.h"

namespace fontctl {

// The path that every step of an operation is handed for `path`, so that the
// file functions and the font table name the same file: its full path
// (platform::FullPathOf), or a verbatim path (\\?\) as it stands, at any
// length. The font table's functions are not documented to resolve a
// relative path as the file functions do. Null when the path has no full
// path that Windows' file functions take (one of MAX_PATH units or more).
ByteBuffer PathToActOn(char const* path);

// Whether Windows' file functions can take the path (see PathToActOn).
inline bool WithinPathLimit(char const* path)
{
    return PathToActOn(path) != nullptr;
}

// The directory search for the path, unless no search can answer for it: a
// file name that holds a colon names a data stream of a file ("a.ttf:s", or
// "a.ttf::$DATA", the file itself), and a directory search lists files and
// folders, never streams, so what it answers says nothing about the stream.
// Such a path is CouldNotLook, without a search.
platform::Entry LookUp(char const* path);

}  // namespace fontctl
