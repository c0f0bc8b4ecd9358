// UTF-8 / UTF-16 conversion and the system code page.
#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Text.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;

TEST(Utf8ToUtf16, WellFormedAndStrayBytes) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"plain", u"plain"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"a\0b"s, u"a\0b"s},
        // Bytes outside a well-formed sequence are Windows-1252 characters.
        {"caf\xE9", u"caf\u00E9"},
        {"\x80\x81\x9F\xA0\xFF", u"\u20AC\u0081\u0178\u00A0\u00FF"},
        {"\xC0\xAF", u"\u00C0\u00AF"},              // overlong
        {"\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},    // encoded surrogate
        {"\xE2\x82", u"\u00E2\u201A"},              // truncated at the end
        {"\xE2\x82x", u"\u00E2\u201Ax"},            // truncated in the middle
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC"},  // beyond U+10FFFF
        {"\xC3\xA9\xE9\xC3\xA9", u"\u00E9\u00E9\u00E9"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Utf8ToUtf16(bytes), text) << bytes;
}

// Runs of ASCII are widened in blocks: a sequence or a stray byte at any offset from the start of
// a run, and runs of every length around the block sizes, decode as they do alone.
TEST(Utf8ToUtf16, AsciiRunsOfEveryLengthAroundOtherBytes) {
    const std::pair<std::string, std::u16string> others[] = {
        {"\xC3\xA9", u"\u00E9"}, {"\xE9", u"\u00E9"}, {"\xF0\x9F\x98\x80", u"\U0001F600"}, {"\x80", u"\u20AC"}};
    for (const auto& [bytes, text] : others) {
        for (size_t before = 0; before <= 40; ++before) {
            for (size_t after : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(33)}) {
                std::string in;
                std::u16string expected;
                for (size_t k = 0; k < before; ++k) {
                    in += char('a' + k % 26);
                    expected += char16_t('a' + k % 26);
                }
                in += bytes;
                expected += text;
                for (size_t k = 0; k < after; ++k) {
                    in += char('0' + k % 10);
                    expected += char16_t('0' + k % 10);
                }
                EXPECT_EQ(Utf8ToUtf16(in), expected) << before << " + " << bytes.size() << " + " << after;
            }
        }
    }
}

// FindUnit answers as u16string_view::find does, for the unit at every offset of texts around its
// block size, from every start, with lookalike units (same low or high byte) around it.
TEST(FindUnit, AgreesWithFindEverywhere) {
    for (size_t length = 0; length <= 35; ++length) {
        for (size_t at = 0; at <= length; ++at) {
            std::u16string text(length, u'\u0909');  // low and high byte both 0x09
            text += u"\u0109";
            if (at < length) text[at] = u'\t';
            for (size_t from = 0; from <= text.size(); ++from)
                EXPECT_EQ(FindUnit(text, u'\t', from), std::u16string_view(text).find(u'\t', from)) << length << " " << at << " " << from;
        }
    }
}

TEST(Utf16ToUtf8, EncodesAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(u"caf\u00E9 \u20AC \U0001F600"), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
    // Every well-formed text survives the round trip.
    std::string all;
    for (char32_t c : {U'\x01', U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\xFFFF', U'\x10000', U'\x10FFFF'}) {
        std::u16string one;
        if (c >= 0x10000) {
            one = {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
        } else {
            one = {char16_t(c)};
        }
        all += Utf16ToUtf8(one);
    }
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(all)), all);
}

TEST(CodePage, Utf8AndAsciiCodesetsDecodeAsUtf8) {
    for (const char* name : {"UTF-8", "utf8", "ANSI_X3.4-1968", "", "no-such-codeset"}) {
        TCodePage page = TCodePage::ForCodeset(name);
        EXPECT_TRUE(page.IsUtf8()) << name;
        EXPECT_EQ(page.Decode("\xC3\xA9\xE9"), u"\u00E9\u00E9") << name;
        EXPECT_EQ(page.Encode(u"\u00E9"), "\xC3\xA9") << name;
    }
}

TEST(CodePage, SingleByteCodesets) {
    TCodePage latin1 = TCodePage::ForCodeset("ISO-8859-1");
    EXPECT_FALSE(latin1.IsUtf8());
    std::string bytes;
    std::u16string text;
    for (int b = 1; b < 256; ++b) {
        bytes.push_back(char(b));
        text.push_back(char16_t(b));
    }
    EXPECT_EQ(latin1.Decode(bytes), text);
    EXPECT_EQ(latin1.Encode(text), bytes);
    EXPECT_EQ(latin1.Encode(u"\u20AC"), "?");

    TCodePage cyrillic = TCodePage::ForCodeset("CP1251");
    EXPECT_EQ(cyrillic.Decode("\xC0\xFF\x88"), u"\u0410\u044F\u20AC");
    EXPECT_EQ(cyrillic.Encode(u"\u0410\u044F"), "\xC0\xFF");
    // 0x98 is undefined in CP1251: it is kept as its Windows-1252 character.
    EXPECT_EQ(cyrillic.Decode("\x98"), u"\u02DC");
}

TEST(CodePage, MultiByteCodesetKeepsUndecodableBytes) {
    TCodePage sjis = TCodePage::ForCodeset("SHIFT_JIS");
    EXPECT_FALSE(sjis.IsUtf8());
    // "日本" then a lone lead byte at the end.
    EXPECT_EQ(sjis.Decode("\x93\xFA\x96\x7B" "a\x93"), u"\u65E5\u672Ca\u201C");
    EXPECT_EQ(sjis.Encode(u"\u65E5\u672Ca"), "\x93\xFA\x96\x7B" "a");
    EXPECT_EQ(sjis.Encode(u"\u0410x"), "\x84\x40x");
    EXPECT_EQ(sjis.Encode(u"\U0001F600"), "?");
}

}  // namespace
}  // namespace quarvel
