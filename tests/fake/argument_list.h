// The split arguments as a list of strings, for tests to compare.
#pragma once

#include "cli/command_line.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fontctl {

inline std::vector<std::string> ArgumentList(CommandArguments const& arguments)
{
    std::vector<std::string> list;
    for (std::size_t position = 1; position <= arguments.count; ++position) {
        list.emplace_back(ArgumentAt(arguments, position));
    }
    return list;
}

inline std::vector<std::string> SplitToList(std::string_view commandLine)
{
    return ArgumentList(SplitCommandLine(commandLine));
}

}  // namespace fontctl
