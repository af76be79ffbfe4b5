// Splitting the raw Windows command line into arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fontctl {

// The arguments after the program's name, split by the standard rules for
// console programs: spaces and tabs outside quotes separate; a double quote
// toggles quoting and is dropped; 2n backslashes before a quote give n and the
// quote toggles, 2n+1 give n and a literal quote; inside quotes "" gives one
// literal quote; other backslashes are copied; a double-byte character of the
// ANSI code page is copied whole. No wildcard expansion.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace fontctl
