// SplitCommandLine on any bytes:
// - it never reads past the end of the line (AddressSanitizer, see TakeInput);
// - its arguments together hold no more bytes than the line holds after the
//   program's name;
// - quoting its arguments again by the same rules and splitting that line
//   gives the same arguments back.
#include "cli/command_line.h"

#include "argument_list.h"
#include "fuzz_input.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Bytes taken by the program's name: to its closing quote when it starts
// with one, otherwise to the first space or tab.
std::size_t ProgramNameLength(std::string_view line)
{
    std::size_t const end
        = !line.empty() && line.front() == '"' ? line.find('"', 1) : line.find_first_of(" \t");
    if (end == std::string_view::npos) {
        return line.size();
    }
    return line.front() == '"' ? end + 1 : end;
}

bool IsLeadByte(char c)
{
    return fontctl::platform::IsDBCSLeadByte(static_cast<unsigned char>(c));
}

// Appends the argument in quotes so that splitting gives it back: a backslash
// run before a literal quote, or before the closing quote, is doubled, and a
// double-byte character is copied whole. A lead byte with nothing after it can
// only end the last argument; its closing quote is left out, since the lead
// byte would take it as a trail byte.
void AppendQuoted(std::string& line, std::string_view argument, bool last)
{
    line += '"';
    std::size_t backslashes = 0;
    bool openAtEnd = false;
    for (std::size_t pos = 0; pos < argument.size(); ++pos) {
        char const c = argument[pos];
        if (IsLeadByte(c)) {
            backslashes = 0;
            line += c;
            if (pos + 1 < argument.size()) {
                line += argument[++pos];
            } else {
                openAtEnd = last;
            }
        } else if (c == '"') {
            line.append(backslashes + 1, '\\');
            line += '"';
            backslashes = 0;
        } else {
            backslashes = c == '\\' ? backslashes + 1 : 0;
            line += c;
        }
    }
    if (!openAtEnd) {
        line.append(backslashes, '\\');
        line += '"';
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    using fontctl::fuzz::Require;
    // A Windows command line is a NUL-terminated string, so it holds no NUL
    // byte. The line is copied into a buffer of its exact size, so that a read
    // past its end is an AddressSanitizer finding.
    std::string_view const input = fontctl::fuzz::TakeInput(data, size);
    std::vector<char> const bytes(input.begin(), std::find(input.begin(), input.end(), '\0'));
    std::string_view const line(bytes.data(), bytes.size());
    std::vector<std::string> const arguments = fontctl::SplitToList(line);

    std::size_t yielded = 0;
    for (auto const& argument : arguments) {
        yielded += argument.size();
    }
    Require(yielded <= line.size() - ProgramNameLength(line),
        "the arguments hold no more bytes than the line after the program's name");

    std::string requoted = "fontctl.exe";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        requoted += ' ';
        AppendQuoted(requoted, arguments[i], i + 1 == arguments.size());
    }
    Require(fontctl::SplitToList(requoted) == arguments, "quoting the arguments again splits them back");
    return 0;
}
