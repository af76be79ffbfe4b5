// Reading the command number from the first argument.
#pragma once

#include <cstdint>
#include <string_view>

namespace fontctl {

using CommandCode = std::int32_t;

// Reads a decimal number from the front of the text: leading white space
// (tab, line feed, vertical tab, form feed, carriage return, space), one
// optional sign, then digits up to the first non-digit. No digit gives 0; a
// number outside the signed 32-bit range is clamped to its bound.
CommandCode ReadCommandCode(std::string_view commandText);

}  // namespace fontctl
