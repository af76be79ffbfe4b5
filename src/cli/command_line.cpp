#include "cli/command_line.h"

#include "platform/platform.h"

#include <cstddef>

namespace fontctl {
namespace {

bool IsArgumentSeparator(char c)
{
    return c == ' ' || c == '\t';
}

// Where the arguments start: the program's name runs to the closing quote
// when it starts with one, otherwise to the first space or tab.
std::size_t SkipProgramName(std::string_view commandLine)
{
    if (!commandLine.empty() && commandLine.front() == '"') {
        std::size_t const closingQuote = commandLine.find('"', 1);
        return closingQuote == std::string_view::npos ? commandLine.size() : closingQuote + 1;
    }
    std::size_t const separator = commandLine.find_first_of(" \t");
    return separator == std::string_view::npos ? commandLine.size() : separator;
}

// Reads one argument starting at `pos` (which holds no separator) and returns
// the position after it.
std::size_t ReadArgument(std::string_view commandLine, std::size_t pos, std::string& argument)
{
    std::size_t const end = commandLine.size();
    bool inQuotes = false;
    while (pos < end) {
        char const c = commandLine[pos];
        if (!inQuotes && IsArgumentSeparator(c)) {
            break;
        }
        if (c == '\\') {
            std::size_t const runEnd = commandLine.find_first_not_of('\\', pos);
            std::size_t const afterRun = runEnd == std::string_view::npos ? end : runEnd;
            std::size_t const count = afterRun - pos;
            if (afterRun < end && commandLine[afterRun] == '"') {
                argument.append(count / 2, '\\');
                if (count % 2 == 1) {
                    argument.push_back('"');
                    pos = afterRun + 1;
                } else {
                    pos = afterRun;  // the quote toggles on the next turn
                }
            } else {
                argument.append(count, '\\');
                pos = afterRun;
            }
        } else if (c == '"') {
            if (inQuotes && pos + 1 < end && commandLine[pos + 1] == '"') {
                argument.push_back('"');
                pos += 2;
            } else {
                inQuotes = !inQuotes;
                ++pos;
            }
        } else if (platform::IsDBCSLeadByte(static_cast<unsigned char>(c)) && pos + 1 < end) {
            // The trail byte belongs to the character: never a quote, a
            // backslash or a separator.
            argument.append(commandLine.substr(pos, 2));
            pos += 2;
        } else {
            argument.push_back(c);
            ++pos;
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::size_t pos = SkipProgramName(commandLine);
    for (;;) {
        while (pos < commandLine.size() && IsArgumentSeparator(commandLine[pos])) {
            ++pos;
        }
        if (pos == commandLine.size()) {
            break;
        }
        std::string& argument = arguments.emplace_back();
        pos = ReadArgument(commandLine, pos, argument);
    }
    return arguments;
}

}  // namespace fontctl
