#include "cli/command_line.h"

#include "platform/platform.h"

#include <cstddef>
#include <cstring>

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

// Reads one argument starting at `pos` (which holds no separator) into `out`
// and returns the position after it. An argument never holds more bytes than
// it was read from.
std::size_t ReadArgument(std::string_view commandLine, std::size_t pos, char*& out)
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
            bool const beforeQuote = afterRun < end && commandLine[afterRun] == '"';
            std::size_t const kept = beforeQuote ? count / 2 : count;
            std::memset(out, '\\', kept);
            out += kept;
            pos = afterRun;
            if (beforeQuote && count % 2 == 1) {
                *out++ = '"';
                ++pos;
            }
            // After an even run the quote toggles on the next turn.
        } else if (c == '"') {
            if (inQuotes && pos + 1 < end && commandLine[pos + 1] == '"') {
                *out++ = '"';
                pos += 2;
            } else {
                inQuotes = !inQuotes;
                ++pos;
            }
        } else if (platform::IsDBCSLeadByte(static_cast<unsigned char>(c)) && pos + 1 < end) {
            // The trail byte belongs to the character: never a quote, a
            // backslash or a separator.
            *out++ = c;
            *out++ = commandLine[pos + 1];
            pos += 2;
        } else {
            *out++ = c;
            ++pos;
        }
    }
    return pos;
}

}  // namespace

CommandArguments SplitCommandLine(std::string_view commandLine)
{
    // Each argument is no longer than the bytes it was read from, and each
    // but the first follows a separator that its predecessor's NUL can stand
    // for: the line's length plus one byte always suffices.
    CommandArguments arguments {AllocateBytes(commandLine.size() + 1), 0};
    char* out = arguments.bytes.get();
    std::size_t pos = SkipProgramName(commandLine);
    for (;;) {
        while (pos < commandLine.size() && IsArgumentSeparator(commandLine[pos])) {
            ++pos;
        }
        if (pos == commandLine.size()) {
            break;
        }
        pos = ReadArgument(commandLine, pos, out);
        *out++ = '\0';
        ++arguments.count;
    }
    return arguments;
}

char const* ArgumentAt(CommandArguments const& arguments, std::size_t position)
{
    // Position 0 holds no argument either: with no argument at all the buffer
    // holds nothing that was written, or there is no buffer.
    if (position == 0 || position > arguments.count) {
        return "";
    }
    char const* argument = arguments.bytes.get();
    for (std::size_t skipped = 1; skipped < position; ++skipped) {
        argument += std::strlen(argument) + 1;
    }
    return argument;
}

}  // namespace fontctl
