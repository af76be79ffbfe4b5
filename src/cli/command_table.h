// The command table: which operation a command number runs.
#pragma once

#include <string_view>

namespace fontctl {

// Runs one fontctl command line: reads the command number from the first
// argument, runs at most one operation and writes its result code. Returns the
// process exit status, which is 0 on every normal end.
int RunCommandLine(std::string_view commandLine);

}  // namespace fontctl
