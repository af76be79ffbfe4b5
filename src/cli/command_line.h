// Splitting the raw Windows command line into arguments.
#pragma once

#include "platform/byte_buffer.h"

#include <cstddef>
#include <string_view>

namespace fontctl {

// The arguments after the program's name, one after another in one buffer,
// each ended by a NUL byte.
struct CommandArguments {
    ByteBuffer bytes;
    std::size_t count = 0;
};

// Splits by the standard rules for console programs: spaces and tabs outside
// quotes separate; a double quote toggles quoting and is dropped; 2n
// backslashes before a quote give n and the quote toggles, 2n+1 give n and a
// literal quote; inside quotes "" gives one literal quote; other backslashes
// are copied; a double-byte character of the ANSI code page is copied whole.
// No wildcard expansion. The command line holds no NUL byte, as one read
// from a NUL-terminated string cannot.
CommandArguments SplitCommandLine(std::string_view commandLine);

// The argument at a position counted from 1 after the program's name; an empty
// string when the command line holds no argument there (position 0 included).
char const* ArgumentAt(CommandArguments const& arguments, std::size_t position);

}  // namespace fontctl
