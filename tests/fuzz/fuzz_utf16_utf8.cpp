// The UTF-8 and UTF-16 conversions of fontctl-utf8.exe on any input: the
// bytes as UTF-8 text, and the same bytes as UTF-16 code units. Decoding
// never makes or drops a separator, a quote or a drive colon, and gives only
// whole characters; what comes out of either conversion goes back and forth
// unchanged; an unpaired surrogate comes out as '?'.
#include "platform/utf16_utf8.h"

#include "fuzz_input.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using fontctl::fuzz::Require;
using fontctl::platform::Utf16FromUtf8;
using fontctl::platform::Utf8FromUtf16;

bool IsHigh(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLow(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool HasUnpairedSurrogate(std::u16string_view text)
{
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (IsHigh(text[pos]) && pos + 1 < text.size() && IsLow(text[pos + 1])) {
            ++pos;
        } else if (IsHigh(text[pos]) || IsLow(text[pos])) {
            return true;
        }
    }
    return false;
}

void CheckUtf8Input(std::string const& bytes)
{
    std::u16string const decoded = Utf16FromUtf8<char16_t>(bytes.c_str()).get();
    Require(!HasUnpairedSurrogate(decoded), "decoding gives whole characters only");
    for (char const ascii : {'\\', '/', ':', '"', ' '}) {
        Require(std::count(decoded.begin(), decoded.end(), static_cast<char16_t>(ascii))
                == std::count(bytes.begin(), bytes.end(), ascii),
            "decoding neither makes nor drops a separator, a quote or a space");
    }
    std::string const encoded = Utf8FromUtf16(decoded.c_str()).get();
    Require(std::u16string(Utf16FromUtf8<char16_t>(encoded.c_str()).get()) == decoded,
        "decoded text goes through UTF-8 and back unchanged");
}

void CheckUtf16Input(std::u16string const& units)
{
    std::u16string expected = units;
    for (std::size_t pos = 0; pos < expected.size(); ++pos) {
        if (IsHigh(expected[pos]) && pos + 1 < expected.size() && IsLow(expected[pos + 1])) {
            ++pos;
        } else if (IsHigh(expected[pos]) || IsLow(expected[pos])) {
            expected[pos] = u'?';
        }
    }
    std::string const encoded = Utf8FromUtf16(units.c_str()).get();
    Require(std::u16string(Utf16FromUtf8<char16_t>(encoded.c_str()).get()) == expected,
        "UTF-16 comes back from UTF-8 as it was, each unpaired surrogate as '?'");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    std::string_view const input = fontctl::fuzz::TakeInput(data, size);
    // Both conversions read NUL-terminated text: each input ends at its first NUL.
    std::string const bytes(input.substr(0, input.find('\0')));
    CheckUtf8Input(bytes);

    std::u16string units;
    for (std::size_t pos = 0; pos + 1 < input.size(); pos += 2) {
        auto const unit = static_cast<char16_t>(static_cast<unsigned char>(input[pos])
            | (static_cast<unsigned>(static_cast<unsigned char>(input[pos + 1])) << 8U));
        if (unit == 0) {
            break;
        }
        units += unit;
    }
    CheckUtf16Input(units);
    return 0;
}
