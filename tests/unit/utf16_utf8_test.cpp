#include "platform/utf16_utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace fontctl::platform {
namespace {

std::string Utf8Of(std::u16string const& text)
{
    return Utf8FromUtf16(text.c_str()).get();
}

std::u16string Utf16Of(std::string const& text)
{
    return Utf16FromUtf8<char16_t>(text.c_str()).get();
}

struct Conversion {
    std::u16string utf16;
    std::string utf8;
};

TEST(Utf16Utf8, ConvertsEveryLengthOfCharacterBothWays)
{
    Conversion const cases[] = {
        {u"", ""},
        {u"C:\\Fonts\\a b.ttf", "C:\\Fonts\\a b.ttf"},
        {u"\u007F\u0080", "\x7F\xC2\x80"},
        {u"caf\u00E9", "caf\xC3\xA9"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        // A fullwidth quote and backslash, and a yen sign: characters of their
        // own, nothing like a quote or a separator.
        {u"\uFF02\uFF3C\u00A5", "\xEF\xBC\x82\xEF\xBC\xBC\xC2\xA5"},
        {u"\u65E5\u672C.ttf", "\xE6\x97\xA5\xE6\x9C\xAC.ttf"},
        {u"\uD7FF\uE000\uFFFD\uFFFF", "\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF"},
        // Surrogate pairs: U+10000, U+1F642 and U+10FFFF.
        {u"\U00010000\U0001F642\U0010FFFF", "\xF0\x90\x80\x80\xF0\x9F\x99\x82\xF4\x8F\xBF\xBF"},
    };
    for (auto const& [utf16, utf8] : cases) {
        EXPECT_EQ(Utf8Of(utf16), utf8) << utf8;
        EXPECT_EQ(Utf16Of(utf8), utf16) << utf8;
    }
}

TEST(Utf16Utf8, EveryCharacterComesBackFromUtf8AsItWas)
{
    for (std::uint32_t code = 1; code <= 0x10FFFF; code += code < 0x10000 ? 1 : 0xFF) {
        if ((code >= 0xD800 && code <= 0xDFFF) || code == '?') {
            continue;
        }
        std::u16string text;
        if (code < 0x10000) {
            text = {static_cast<char16_t>(code), u'x'};
        } else {
            text = {static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10U)),
                static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FFU)), u'x'};
        }
        std::string const utf8 = Utf8Of(text);
        ASSERT_EQ(utf8.find('?'), std::string::npos) << code;
        ASSERT_EQ(Utf16Of(utf8), text) << code;
    }
}

TEST(Utf16Utf8, AnUnpairedSurrogateBecomesAQuestionMark)
{
    Conversion const cases[] = {
        {{0xD800}, "?"},
        {{u'a', 0xDBFF}, "a?"},
        {{0xDC00, u'a'}, "?a"},
        {{0xD83D, u'\\', u'b'}, "?\\b"},
        // A low surrogate before its high one pairs with nothing.
        {{0xDE42, 0xD83D}, "??"},
        // Of two high surrogates only the second has its low one.
        {{0xD83D, 0xD83D, 0xDE42}, "?\xF0\x9F\x99\x82"},
        {{0xD83D, 0xDE42, 0xDE42}, "\xF0\x9F\x99\x82?"},
    };
    for (auto const& [utf16, utf8] : cases) {
        EXPECT_EQ(Utf8Of(utf16), utf8) << utf8;
    }
}

TEST(Utf16Utf8, EachByteThatIsNoUtf8BecomesAQuestionMark)
{
    // None of these may come out as a separator, a quote or a surrogate.
    Conversion const cases[] = {
        {u"?", "\x80"},
        {u"a??b",
            "a\xBF\x80"
            "b"},
        {u"??", "\xC0\xAF"},       // an overlong '/'
        {u"??", "\xC1\x9C"},       // an overlong '\'
        {u"???", "\xE0\x80\xAF"},  // an overlong '/' in three bytes
        {u"????", "\xF0\x80\x80\xAF"},
        {u"???", "\xED\xA0\x80"},       // the surrogate U+D800
        {u"???", "\xED\xBF\xBF"},       // the surrogate U+DFFF
        {u"????", "\xF4\x90\x80\x80"},  // above U+10FFFF
        {u"????", "\xF5\x80\x80\x80"},
        {u"?", "\xFF"},
        // Sequences cut short, by the end or by another character.
        {u"?", "\xC3"},
        {u"?a",
            "\xC3"
            "a"},
        {u"??a",
            "\xE6\x97"
            "a"},
        {u"??\u00E9", "\xE6\x97\xC3\xA9"},
        {u"???", "\xF0\x9F\x99"},
    };
    for (auto const& [utf16, utf8] : cases) {
        EXPECT_EQ(Utf16Of(utf8), utf16) << testing::PrintToString(utf8);
    }
}

}  // namespace
}  // namespace fontctl::platform
