// ReadCommandCode on any bytes equals a reference that reads the same digits
// in 64-bit arithmetic, saturating far above the 32-bit range, and only then
// clamps to it.
#include "cli/command_code.h"

#include "fuzz_input.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace {

std::int64_t ReferenceCommandCode(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && std::string_view(" \t\n\v\f\r").find(text[pos]) != std::string_view::npos) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Past 2^40 the value is out of range whatever follows; staying there
    // keeps the 64-bit sum from overflowing however many digits come.
    constexpr std::int64_t saturated = std::int64_t {1} << 40;
    std::int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = std::min(saturated, value * 10 + (text[pos] - '0'));
    }
    return std::clamp<std::int64_t>(negative ? -value : value, std::numeric_limits<std::int32_t>::min(),
        std::numeric_limits<std::int32_t>::max());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    std::string_view const text = fontctl::fuzz::TakeInput(data, size);
    fontctl::fuzz::Require(fontctl::ReadCommandCode(text) == ReferenceCommandCode(text),
        "ReadCommandCode equals the clamped wide-arithmetic reading");
    return 0;
}
