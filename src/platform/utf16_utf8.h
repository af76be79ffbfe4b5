// Conversions between UTF-16, the wide text of Windows, and UTF-8, for the
// program that takes its command line and paths in UTF-8. They are written
// over any 16-bit code unit type: wchar_t on Windows, char16_t in the native
// tests.
//
// Text that has no exact form on the other side (an unpaired surrogate, bytes
// that are no UTF-8) becomes '?', never a look-alike: Windows admits no '?' in
// a file name, so such a path names nothing. U+FFFD would name a file of that
// name, a different file from the one the caller meant.
#pragma once

#include "platform/byte_buffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace fontctl::platform {

// Code units from the C runtime's heap, as every buffer of fontctl.
template <typename Unit> using UnitBuffer = std::unique_ptr<Unit[], FreeBytes>;

namespace utf_detail {

constexpr std::uint32_t Unconvertible = '?';

constexpr bool IsSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Hands `put` each UTF-8 byte of the NUL-terminated UTF-16 text, its NUL left out.
template <typename Unit, typename Put> void EncodeUtf8(Unit const* text, Put put)
{
    for (std::size_t pos = 0; text[pos] != 0; ++pos) {
        std::uint32_t code = static_cast<std::uint16_t>(text[pos]);
        if (IsSurrogate(code)) {
            // A high surrogate at the very end sees the NUL after it.
            std::uint32_t const next = static_cast<std::uint16_t>(text[pos + 1]);
            if (code <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10U) + (next - 0xDC00);
                ++pos;
            } else {
                code = Unconvertible;
            }
        }
        if (code < 0x80) {
            put(code);
        } else if (code < 0x800) {
            put(0xC0 | (code >> 6U));
            put(0x80 | (code & 0x3FU));
        } else if (code < 0x10000) {
            put(0xE0 | (code >> 12U));
            put(0x80 | ((code >> 6U) & 0x3FU));
            put(0x80 | (code & 0x3FU));
        } else {
            put(0xF0 | (code >> 18U));
            put(0x80 | ((code >> 12U) & 0x3FU));
            put(0x80 | ((code >> 6U) & 0x3FU));
            put(0x80 | (code & 0x3FU));
        }
    }
}

// Hands `put` each UTF-16 code unit of the UTF-8 text, which holds no NUL.
// Each byte of a sequence that is no UTF-8 (a stray continuation
// byte, a sequence cut short, an overlong form, a surrogate, a value above
// U+10FFFF) gives one '?'.
template <typename Put> void DecodeUtf8(std::string_view text, Put put)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto const lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = 1;
        std::uint32_t code = lead;
        std::uint32_t smallest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1FU;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0FU;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07U;
            smallest = 0x10000;
        } else if (lead >= 0x80) {
            length = 0;
        }
        // A sequence cut short by the end of the text reads nothing past it.
        std::size_t taken = 1;
        while (taken < length && pos + taken < text.size()
            && (static_cast<unsigned char>(text[pos + taken]) & 0xC0U) == 0x80) {
            code = (code << 6U) | (static_cast<unsigned char>(text[pos + taken]) & 0x3FU);
            ++taken;
        }
        if (taken != length || code < smallest || code > 0x10FFFF || IsSurrogate(code)) {
            put(Unconvertible);
            ++pos;
            continue;
        }
        if (code < 0x10000) {
            put(code);
        } else {
            put(0xD800 + ((code - 0x10000) >> 10U));
            put(0xDC00 + ((code - 0x10000) & 0x3FFU));
        }
        pos += length;
    }
}

}  // namespace utf_detail

// The UTF-8 form of NUL-terminated UTF-16 text, NUL-terminated; an unpaired
// surrogate becomes '?'. Written in one pass into room for the longest form:
// no code unit gives more than three bytes (a surrogate pair, two units,
// gives four).
template <typename Unit> ByteBuffer Utf8FromUtf16(Unit const* text)
{
    std::size_t units = 0;
    while (text[units] != 0) {
        ++units;
    }
    ByteBuffer bytes = AllocateBytes(3 * units + 1);
    char* out = bytes.get();
    utf_detail::EncodeUtf8(text, [&out](std::uint32_t byte) { *out++ = static_cast<char>(byte); });
    *out = '\0';
    return bytes;
}

// Room for `count` code units, from the C runtime's heap as every buffer of
// fontctl: running out of memory ends the process as AllocateBytes does.
template <typename Unit> UnitBuffer<Unit> AllocateUnits(std::size_t count)
{
    return UnitBuffer<Unit>(reinterpret_cast<Unit*>(AllocateBytes(count * sizeof(Unit)).release()));
}

// The UTF-16 form of UTF-8 text (a NUL-terminated string, or a part of one
// without its NUL), NUL-terminated; each byte that is no part of a UTF-8
// character becomes '?'. Written in one pass into room for the longest form:
// no byte gives more than one code unit (a four-byte character gives two).
template <typename Unit> UnitBuffer<Unit> Utf16FromUtf8(std::string_view text)
{
    UnitBuffer<Unit> units = AllocateUnits<Unit>(text.size() + 1);
    Unit* out = units.get();
    utf_detail::DecodeUtf8(text, [&out](std::uint32_t unit) { *out++ = static_cast<Unit>(unit); });
    *out = 0;
    return units;
}

}  // namespace fontctl::platform
