#include "cli/command_code.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace fontctl {
namespace {

struct CodeCase {
    std::string text;
    CommandCode expected;
};

TEST(ReadCommandCode, ReadsTheLeadingDecimalNumberClampedToInt32)
{
    CodeCase const cases[] = {
        {"", 0},
        {"10", 10},
        {" 10", 10},
        {"\t\n\v\f\r 10", 10},
        {"+10", 10},
        {"010", 10},
        {"0010", 10},
        {"10abc", 10},
        {"10.5", 10},
        {"10 20", 10},
        {"-1", -1},
        {"-0", 0},
        {"0x10", 0},
        {"ten", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"--5", 0},
        {"+", 0},
        {"-", 0},
        {"   ", 0},
        {"\xA0"
         "10",
            0},  // no byte from 0x80 up is white space
        {"\x85"
         "10",
            0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"4294967295", INT32_MAX},
        {"4294967296", INT32_MAX},
        {"4294967297", INT32_MAX},  // never wraps round to 1
        {"-4294967297", INT32_MIN},
        {"99999999999999999999999999999999999999", INT32_MAX},
        {"-99999999999999999999999999999999999999", INT32_MIN},
        {"00000000000000000000000000000000000000010", 10},
    };
    for (auto const& [text, expected] : cases) {
        EXPECT_EQ(ReadCommandCode(text), expected) << "text: \"" << text << '"';
    }
}

TEST(ReadCommandCode, StopsAtTheEndOfTheTextItWasGiven)
{
    std::string const text = "123456";
    EXPECT_EQ(ReadCommandCode(std::string_view(text).substr(0, 2)), 12);
}

}  // namespace
}  // namespace fontctl
