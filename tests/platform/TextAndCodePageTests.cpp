// UTF-8 / UTF-16 conversion and code pages.
#include <gtest/gtest.h>

#include <optional>
#include <random>

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
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Utf8ToUtf16(bytes), text) << bytes;
        // The UTF-8 output gives the same characters.
        std::string repaired = "x";
        AppendRepairedUtf8(bytes, repaired);
        EXPECT_EQ(repaired, "x" + Utf16ToUtf8(text)) << bytes;
    }
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
                std::string repaired;
                AppendRepairedUtf8(in, repaired);
                EXPECT_EQ(repaired, Utf16ToUtf8(expected)) << before << " + " << bytes.size() << " + " << after;
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


TCodePage Page(std::string_view name) {
    std::optional<TCodePage> page = TCodePage::ForName(name);
    EXPECT_TRUE(page.has_value()) << name;
    return page ? *page : TCodePage();
}

TEST(CodePage, ForNameTakesLabelsThenIconvNames) {
    struct Case {
        std::string name;
        std::string pageName;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-8", "utf-8", "\xC3\xA9\xE9", u"\u00E9\u00E9"},
        {"windows-1251", "windows-1251", "\xC0\xFF", u"\u0410\u044F"},
        // Labels first: a page that declares ISO-8859-1 or US-ASCII is read as windows-1252.
        {"ISO-8859-1", "windows-1252", "\x80\x93\xE9", u"\u20AC\u201C\u00E9"},
        {"us-ascii", "windows-1252", "\x80\xC3\xA9", u"\u20AC\u00C3\u00A9"},
        {"Shift_JIS", "shift_jis", "\x93\xFA\x96\x7B", u"\u65E5\u672C"},
        {"KOI8-U", "koi8-u", "\xA4\xE1", u"\u0454\u0410"},
        // iconv names that are no labels.
        {"CP437", "CP437", "\x80\xB0\xE1", u"\u00C7\u2591\u00DF"},
        {" KOI8-RU ", "KOI8-RU", "\xAE", u"\u045E"},
        {"EBCDIC-US", "EBCDIC-US", "\xC1\x81\x40", u"Aa "},
    };
    for (const Case& c : cases) {
        std::optional<TCodePage> page = TCodePage::ForName(c.name);
        ASSERT_TRUE(page.has_value()) << c.name;
        EXPECT_EQ(page->Name(), c.pageName) << c.name;
        EXPECT_EQ(page->Decode(c.bytes), c.text) << c.name;
    }
    EXPECT_TRUE(Page("utf8").IsUtf8());
    EXPECT_FALSE(Page("latin1").IsUtf8());
    for (const char* unknown : {"", "  ", "no-such-encoding", "CP1251//IGNORE", "UTF-8//TRANSLIT", "utf-9"})
        EXPECT_FALSE(TCodePage::ForName(unknown).has_value()) << unknown;
}

TEST(CodePage, MultiByteEncodingsDecode) {
    struct Case {
        std::string name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        // Windows-31J: the NEC circled digit and the Windows tilde; a lone lead byte at the end
        // and a byte no character starts with keep their Windows-1252 characters.
        {"shift_jis", "\x93\xFA\x96\x7B\x87\x40\x81\x60\xB1" "a\xFF\x93", u"\u65E5\u672C\u2460\uFF5E\uFF71a\u00FF\u201C"},
        {"gbk", "\xD6\xD0\xCE\xC4\x81\x30\x81\x30\x94\x39\xFC\x36", u"\u4E2D\u6587\u0080\U0001F600"},
        {"gb18030", "\xD6\xD0" "\x81\x30" "<", u"\u4E2D\u0081" "0<"},
        {"big5", "\xA4\xA4\xA4\xE5\x88\x62", u"\u4E2D\u6587\u00CA\u0304"},
        {"euc-jp", "\xC6\xFC\xCB\xDC\xAD\xA1\xA1\xC1\x8E\xB1", u"\u65E5\u672C\u2460\uFF5E\uFF71"},
        {"euc-kr", "\xC7\xD1\xB1\xB9\x81\x41", u"\uD55C\uAD6D\uAC02"},
        {"iso-2022-jp", "a\x1B$BF|K\\\x1B(Bb\x1B(I12\x1B(B", u"a\u65E5\u672Cb\uFF71\uFF72"},
        {"iso-2022-kr", "\x1B$)C\x0EGQ\x0F" "a", u"\uD55Ca"},
        {"iso-2022-cn", "\x1B$)A\x0EVP\x0F" "a", u"\u4E2Da"},
        {"hz-gb-2312", "a~{VPND~}b~~c~\nd", u"a\u4E2D\u6587b~cd"},
        {"hz-gb-2312", "~{VP\nVP", u"\u4E2D\nVP"},  // a line break ends the GB2312 part
    };
    for (const Case& c : cases) {
        const TCodePage page = Page(c.name);
        EXPECT_EQ(page.Decode(c.bytes), c.text) << c.name;
        EXPECT_EQ(page.DecodeToUtf8(c.bytes), Utf16ToUtf8(c.text)) << c.name;
    }
}

TEST(CodePage, Utf16DecodesEveryUnitAndReplacesBrokenOnes) {
    struct Case {
        std::string le;  // the big-endian bytes are these with each pair swapped
        std::u16string text;
    };
    const Case cases[] = {
        {"", u""},
        {"a\0b\0"s, u"ab"},
        {"\xE9\0\x10\x04"s, u"\u00E9\u0410"},
        {"=\xD8\0\xDE"s, u"\U0001F600"},                        // a surrogate pair
        {"=\xD8" "a\0"s, u"\uFFFDa"},                           // high surrogate alone
        {"\0\xDE" "a\0"s, u"\uFFFDa"},                          // low surrogate alone
        {"a\0=\xD8"s, u"a\uFFFD"},                              // high surrogate at the end
        {"=\xD8=\xD8\0\xDE"s, u"\uFFFD\U0001F600"},
        {"\xFF\xFE" "a\0"s, u"\uFEFFa"},                        // a mark is the caller's to skip
    };
    const TCodePage le = Page("utf-16le"), be = Page("UTF-16BE");
    EXPECT_TRUE(le.IsUtf16());
    EXPECT_FALSE(le.IsAsciiCompatible());
    for (const Case& c : cases) {
        std::string swapped = c.le;
        for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        EXPECT_EQ(le.Decode(c.le), c.text) << c.le;
        EXPECT_EQ(be.Decode(swapped), c.text) << c.le;
        EXPECT_EQ(le.DecodeToUtf8(c.le), Utf16ToUtf8(c.text)) << c.le;
        EXPECT_EQ(be.DecodeToUtf8(swapped), Utf16ToUtf8(c.text)) << c.le;
        // An odd last byte is one more U+FFFD; no byte is dropped silently.
        EXPECT_EQ(le.Decode(c.le + "x"), c.text + u"\uFFFD") << c.le;
        EXPECT_EQ(be.DecodeToUtf8(swapped + "x"), Utf16ToUtf8(c.text + u"\uFFFD")) << c.le;
    }
    const std::u16string text = u"a\u00E9\u0410\U0001F600\uFFFF";
    EXPECT_EQ(le.Decode(le.Encode(text)), text);
    EXPECT_EQ(be.Decode(be.Encode(text)), text);
    EXPECT_EQ(be.Encode(u"a\U0001F600"), "\0a\xD8=\xDE\0"s);
}

// DecodeToUtf8 and Decode give the same characters for every kind of page, over all bytes, random
// bytes and long inputs (which take the converters through several output blocks).
TEST(CodePage, DecodeToUtf8AgreesWithDecode) {
    std::mt19937 random(20240611);
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes.push_back(char(b));
    std::string randomBytes;
    for (int k = 0; k < 200000; ++k) randomBytes.push_back(char(random() & 0xFF));
    std::string longText;
    for (int k = 0; k < 20000; ++k) longText += "\x93\xFA\x96\x7B<td>\xC0\xFF\xD6\xD0 ~{VP~} \xC3\xA9";
    for (const char* name : {"utf-8", "windows-1251", "windows-1252", "x-user-defined", "shift_jis", "gb18030", "big5",
                             "euc-jp", "euc-kr", "iso-2022-jp", "iso-2022-kr", "hz-gb-2312", "utf-16le", "utf-16be",
                             "CP437", "EBCDIC-US", "UTF-7", "JOHAB"}) {
        const TCodePage page = Page(name);
        for (const std::string* input : {&allBytes, &randomBytes, &longText}) {
            const WideString wide = page.Decode(*input);
            const std::string utf8 = page.DecodeToUtf8(*input);
            EXPECT_TRUE(utf8 == Utf16ToUtf8(wide)) << name << ", input of " << input->size() << " bytes";
            // Well-formed UTF-8: decoding it again changes nothing.
            EXPECT_TRUE(Utf8ToUtf16(utf8) == wide) << name;
        }
        std::string appended = "kept";
        page.AppendDecodedUtf8("a", appended);
        EXPECT_EQ(appended.substr(0, 4), "kept") << name;
    }
}

TEST(CodePage, SingleByteDecodingToUtf8CoversEveryByteAtEveryOffset) {
    const TCodePage cyrillic = Page("windows-1251");
    for (size_t before = 0; before <= 34; ++before) {
        std::string in(before, 'a');
        in += "\xC0\x98\x88";
        in += std::string(17, 'b');
        std::string expected(before, 'a');
        expected += "\xD0\x90\xCB\x9C\xE2\x82\xAC";  // U+0410, U+02DC (a stray byte), U+20AC
        expected += std::string(17, 'b');
        EXPECT_EQ(cyrillic.DecodeToUtf8(in), expected) << before;
    }
}

TEST(CodePage, AsciiCompatibility) {
    const std::pair<const char*, bool> cases[] = {
        {"utf-8", true}, {"windows-1251", true}, {"koi8-r", true}, {"x-user-defined", true}, {"CP437", true},
        {"shift_jis", true}, {"gbk", true}, {"gb18030", true}, {"big5", true}, {"euc-jp", true}, {"euc-kr", true},
        {"EUC-TW", true},
        {"utf-16le", false}, {"utf-16be", false}, {"iso-2022-jp", false}, {"iso-2022-kr", false},
        {"iso-2022-cn", false}, {"hz-gb-2312", false}, {"UTF-7", false}, {"UTF-32", false},
        {"EBCDIC-US", false},
        {"JOHAB", false},  // its trail bytes include < = > ;
    };
    for (const auto& [name, compatible] : cases) EXPECT_EQ(Page(name).IsAsciiCompatible(), compatible) << name;
}

// What the markup reader relies on for the compatible multi-byte encodings: after any byte, and
// after any byte with a digit (the GB18030 four-byte form), markup reads as itself.
TEST(CodePage, MarkupSurvivesEveryLeadByte) {
    const std::string markup = "<td a=\"b\" c='d'>&amp;\t\r\n/x;</td>";
    for (const char* name : {"shift_jis", "gb18030", "big5", "euc-jp", "euc-kr"}) {
        const TCodePage page = Page(name);
        for (int lead = 0x80; lead < 0x100; ++lead) {
            for (const std::string& prefix : {std::string(1, char(lead)), std::string(1, char(lead)) + "1",
                                              std::string(1, char(lead)) + "1" + char(0x81)}) {
                const std::string text = page.DecodeToUtf8(prefix + markup);
                ASSERT_GE(text.size(), markup.size());
                EXPECT_EQ(text.substr(text.size() - markup.size()), markup) << name << " after " << lead;
            }
        }
    }
}

TEST(CodePage, AppendEncodedOneCharacter) {
    struct Case {
        const char* name;
        char32_t code;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {"utf-8", U'a', "a"},
        {"utf-8", U'\u00E9', "\xC3\xA9"},
        {"utf-8", U'\U0001F600', "\xF0\x9F\x98\x80"},
        {"utf-8", 0xD800, std::nullopt},  // surrogates and values past U+10FFFF are no characters
        {"utf-8", 0x110000, std::nullopt},
        {"windows-1251", U'A', "A"},
        {"windows-1251", U'\u0416', "\xC6"},
        {"windows-1251", U'\u20AC', "\x88"},
        {"windows-1251", U'\u00E9', std::nullopt},
        {"windows-1251", U'\u02DC', std::nullopt},  // only the stray byte 98 decodes to it
        {"windows-1251", U'\U0001F600', std::nullopt},
        {"windows-1252", U'\u20AC', "\x80"},
        {"windows-1252", U'\u00E9', "\xE9"},
        {"windows-1252", U'\u0416', std::nullopt},
        {"shift_jis", U'\u65E5', "\x93\xFA"},
        {"shift_jis", U'\uFF5E', "\x81\x60"},
        {"shift_jis", U'\u2460', "\x87\x40"},
        {"shift_jis", U'\u0416', "\x84\x47"},
        {"shift_jis", U'\u00E9', std::nullopt},
        {"shift_jis", U'\U0001F600', std::nullopt},
        {"gbk", U'\U0001F600', "\x94\x39\xFC\x36"},
        {"iso-2022-jp", U'\u65E5', "\x1B$BF|\x1B(B"},  // back to ASCII after the character
        {"iso-2022-jp", U'\uFF71', std::nullopt},        // half-width katakana is read, not written
        {"hz-gb-2312", U'\u4E2D', "~{VP~}"},
        {"hz-gb-2312", U'~', "~~"},
        {"hz-gb-2312", U'\u00E9', "~{(&~}"},
        {"hz-gb-2312", U'\u20AC', std::nullopt},  // GB18030 has it in the same rows, GB2312 not
        {"utf-16le", U'\U0001F600', "=\xD8\0\xDE"s},
        {"utf-16be", U'a', "\0a"s},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        const bool encoded = Page(c.name).AppendEncoded(c.code, out);
        EXPECT_EQ(encoded, c.bytes.has_value()) << c.name << " U+" << std::hex << uint32_t(c.code);
        EXPECT_EQ(out, "x" + c.bytes.value_or("")) << c.name << " U+" << std::hex << uint32_t(c.code);
    }
}

TEST(CodePage, EncodeKeepsStatefulEncodingsInStep) {
    // The "?" for a character ISO-2022-JP cannot hold is written in ASCII, after a shift back.
    const TCodePage jis = Page("iso-2022-jp");
    const std::string bytes = jis.Encode(u"\u65E5\U0001F600\u672Ca");
    EXPECT_EQ(bytes, "\x1B$BF|\x1B(B?\x1B$BK\\\x1B(Ba");
    EXPECT_EQ(jis.Decode(bytes), u"\u65E5?\u672Ca");
}

}  // namespace
}  // namespace quarvel
