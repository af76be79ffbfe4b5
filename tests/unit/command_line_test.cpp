#include "cli/command_line.h"

#include "argument_list.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace fontctl {
namespace {

using Arguments = std::vector<std::string>;

struct SplitCase {
    std::string commandLine;
    Arguments expected;
};

void ExpectSplits(fake::CodePage codePage, std::vector<SplitCase> const& cases)
{
    fake::Reset();
    fake::Fake().codePage = codePage;
    for (auto const& [commandLine, expected] : cases) {
        EXPECT_EQ(SplitToList(commandLine), expected) << "command line: " << commandLine;
    }
}

TEST(SplitCommandLine, FollowsTheConsoleProgramRules)
{
    ExpectSplits(fake::CodePage::SingleByte,
        {
            {"", {}},
            {"fontctl.exe", {}},
            {"fontctl.exe   \t ", {}},
            {"fontctl.exe 1 a b", {"1", "a", "b"}},
            {"fontctl.exe\t1\t\ta", {"1", "a"}},
            // The program's name: to the closing quote, or to the first space.
            {"\"C:\\Program Files\\fontctl.exe\" 10", {"10"}},
            {"\"C:\\a b\\fontctl.exe\"10", {"10"}},
            {"\"unterminated name 10", {}},
            {"C:\\a\"b c\" 10", {"c 10"}},
            // Quotes group and are dropped.
            {"x 1 \"C:\\My Fonts\\a.ttf\" \"D:\\t\"", {"1", "C:\\My Fonts\\a.ttf", "D:\\t"}},
            {"x a\"b c\"d", {"ab cd"}},
            {"x \"\"", {""}},
            {"x \"\" b", {"", "b"}},
            {"x \"open to the end", {"open to the end"}},
            // Two quotes in a row inside quotes give one, and quoting stays on.
            {"x \"a\"\"b c\"", {"a\"b c"}},
            {"x \"\"\"\"", {"\""}},
            {"x \"a\"\" b\"", {"a\" b"}},
            // Outside quotes "" opens and closes: nothing literal.
            {"x a\"\"b", {"ab"}},
            // Backslashes before a quote: 2n give n and the quote toggles,
            // 2n+1 give n and a literal quote.
            {"x a\\\"b", {"a\"b"}},
            {"x a\\\\\"b c\"", {"a\\b c"}},
            {"x a\\\\\\\"b", {"a\\\"b"}},
            {"x \"a\\\\\" b", {"a\\", "b"}},
            {"x \"C:\\dir\\\\\"", {"C:\\dir\\"}},
            // Any other backslash is copied as it stands.
            {"x C:\\a\\\\b\\", {"C:\\a\\\\b\\"}},
            {"x \\\\server\\share", {"\\\\server\\share"}},
            {"x \\", {"\\"}},
            // No wildcard expansion.
            {"x 2 C:\\Fonts\\*.ttf a?.otf", {"2", "C:\\Fonts\\*.ttf", "a?.otf"}},
            // Bytes from 0x80 up are ordinary characters in a single-byte code page.
            {"x \x95\\\"a b\"", {"\x95\"a", "b"}},
        });
}

TEST(SplitCommandLine, CopiesADoubleByteCharacterWhole)
{
    ExpectSplits(fake::CodePage::Japanese932,
        {
            // The trail byte 0x5C is no backslash: the quote after it toggles.
            {"x \x95\\\"a b\"", {"\x95\\a b"}},
            {"x \"C:\\\x95\\\" 2", {"C:\\\x95\\", "2"}},
            // A trail byte that equals a quote, a space or a tab stays with its lead.
            {"x \x81\" a", {"\x81\"", "a"}},
            {"x \x81 a", {"\x81 a"}},
            {"x \x81\ta b", {"\x81\ta", "b"}},
            // A lead byte at the very end is copied alone.
            {"x 1 \x95", {"1", "\x95"}},
            {"x \"\x95", {"\x95"}},
            // Single-byte characters around double-byte ones.
            {"x a\x95\\b\\c", {"a\x95\\b\\c"}},
        });
}

TEST(SplitCommandLine, ReadsNoFurtherThanTheTextItWasGiven)
{
    fake::Reset();
    fake::Fake().codePage = fake::CodePage::Japanese932;
    std::string const commandLine = "x 1 \x95Z";
    EXPECT_EQ(SplitToList(std::string_view(commandLine).substr(0, commandLine.size() - 1)),
        (Arguments {"1", "\x95"}));
}

TEST(ArgumentAt, APositionWithNoArgumentIsEmpty)
{
    fake::Reset();
    // No arguments at all: nothing in the buffer was written. A default
    // CommandArguments has no buffer; reading it would crash.
    CommandArguments const none = SplitCommandLine("fontctl.exe");
    CommandArguments const nothing {};
    for (CommandArguments const* arguments : {&none, &nothing}) {
        for (std::size_t const position : {0U, 1U, 2U, 3U}) {
            EXPECT_STREQ(ArgumentAt(*arguments, position), "") << position;
        }
    }
    // Position 0 is the program's name, which no caller asks for.
    CommandArguments const two = SplitCommandLine("fontctl.exe 1 a.ttf");
    EXPECT_STREQ(ArgumentAt(two, 0), "");
    EXPECT_STREQ(ArgumentAt(two, 2), "a.ttf");
    EXPECT_STREQ(ArgumentAt(two, 3), "");
}

}  // namespace
}  // namespace fontctl
