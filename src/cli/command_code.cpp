#include "cli/command_code.h"

#include <cstddef>
#include <cstdint>

namespace fontctl {
namespace {

bool IsLeadingWhiteSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

CommandCode ReadCommandCode(std::string_view commandText)
{
    std::size_t pos = 0;
    while (pos < commandText.size() && IsLeadingWhiteSpace(commandText[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < commandText.size() && (commandText[pos] == '+' || commandText[pos] == '-')) {
        negative = commandText[pos] == '-';
        ++pos;
    }

    constexpr std::uint32_t maxBeforeDigit = UINT32_MAX / 10;
    constexpr std::uint32_t maxLastDigit = UINT32_MAX % 10;
    std::uint32_t value = 0;
    bool overflow = false;
    for (; pos < commandText.size() && IsDigit(commandText[pos]); ++pos) {
        auto const digit = static_cast<std::uint32_t>(commandText[pos] - '0');
        if (value > maxBeforeDigit || (value == maxBeforeDigit && digit > maxLastDigit)) {
            overflow = true;
        } else if (!overflow) {
            value = value * 10 + digit;
        }
    }

    constexpr std::uint32_t maxPositive = INT32_MAX;
    constexpr std::uint32_t maxNegative = maxPositive + 1;
    if (negative) {
        if (overflow || value >= maxNegative) {
            return INT32_MIN;
        }
        return -static_cast<CommandCode>(value);
    }
    if (overflow || value > maxPositive) {
        return INT32_MAX;
    }
    return static_cast<CommandCode>(value);
}

}  // namespace fontctl
