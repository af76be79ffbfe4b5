// How every fuzz target reads its input, and how it reports a broken property.
#pragma once

#include "fake_platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fontctl::fuzz {

// The first byte picks the lead-byte table (its lowest bit: single-byte or
// 932), so that one run explores both. The rest is the text under test, left
// in libFuzzer's own buffer: that buffer ends exactly after the last byte, so
// a read past the end is an AddressSanitizer finding.
inline std::string_view TakeInput(std::uint8_t const* data, std::size_t size)
{
    if (size == 0) {
        fake::Fake().codePage = fake::CodePage::SingleByte;
        return {};
    }
    fake::Fake().codePage = (data[0] & 1U) != 0 ? fake::CodePage::Japanese932 : fake::CodePage::SingleByte;
    return {reinterpret_cast<char const*>(data + 1), size - 1};
}

// A broken property aborts, which libFuzzer records as a finding together
// with the input that caused it.
inline void Require(bool holds, char const* property)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

}  // namespace fontctl::fuzz
