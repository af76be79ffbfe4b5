// Looking a path up before fontctl acts on it.
#pragma once

#include "platform/platform.h"

namespace fontctl {

// The directory search for the path, unless no search can answer for it: a
// file name that holds a colon names a data stream of a file ("a.ttf:s", or
// "a.ttf::$DATA", the file itself), and a directory search lists files and
// folders, never streams, so what it answers says nothing about the stream.
// Such a path is CouldNotLook, without a search.
platform::Entry LookUp(char const* path);

}  // namespace fontctl
