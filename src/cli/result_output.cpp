#include "cli/result_output.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace fontctl {

void WriteResultCode(std::int32_t resultCode)
{
    // Ten digits and a sign hold every 32-bit value; the magnitude is taken in
    // 64 bits so that INT32_MIN negates safely.
    char text[11];
    std::size_t start = sizeof text;
    std::int64_t const value = resultCode;
    auto magnitude = static_cast<std::uint64_t>(value < 0 ? -value : value);
    do {
        text[--start] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        text[--start] = '-';
    }
    // A failed write is ignored on purpose: the operation has already run,
    // and standard output is the only place a caller could hear of it.
    static_cast<void>(std::fwrite(text + start, 1, sizeof text - start, stdout));
}

}  // namespace fontctl
