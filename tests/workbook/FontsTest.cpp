// Palette, font list and FONT record body.
#include <gtest/gtest.h>

#include "tests/workbook/WorkbookSupport.h"
#include "workbook/XLSFonts.h"

namespace quarvel {
namespace {

using test::Hex;

uint32_t Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

TEST(Palette, HoldsBlackEntriesTheBiff8PaletteAndTheAutomaticMarker) {
    for (int i = 0; i < 8; ++i) EXPECT_EQ(DefaultPalette[i], 0u) << i;
    EXPECT_EQ(DefaultPalette[xcBlack], Rgb(0, 0, 0));
    EXPECT_EQ(DefaultPalette[xcWhite], Rgb(255, 255, 255));
    EXPECT_EQ(DefaultPalette[xcRed], Rgb(255, 0, 0));
    EXPECT_EQ(DefaultPalette[xcBrightGreen], Rgb(0, 255, 0));
    EXPECT_EQ(DefaultPalette[xcBlue], Rgb(0, 0, 255));
    EXPECT_EQ(DefaultPalette[xcGray25], Rgb(192, 192, 192));
    EXPECT_EQ(DefaultPalette[xcSky], Rgb(0, 204, 255));
    EXPECT_EQ(DefaultPalette[xcGray80], Rgb(51, 51, 51));
    EXPECT_EQ(DefaultPalette[xcAutomatic], 0x0F000000u);
}

TEST(Palette, ResetCopiesTheDefaults) {
    Palette[xcRed] = Rgb(1, 2, 3);
    ResetPalette();
    EXPECT_EQ(Palette, DefaultPalette);
}

TEST(Palette, NearestIndexPrefersTheLowerOfEqualEntries) {
    ResetPalette();
    struct Case {
        uint32_t rgb;
        int index;
    } cases[] = {
        {Rgb(255, 255, 0), 13},    // also at 34
        {Rgb(128, 0, 128), 20},    // also at 36
        {Rgb(250, 10, 10), 10},
        {Rgb(0, 0, 255), 12},      // also at 39
        {Rgb(0, 0, 0), 8},         // entries 0..7 are never chosen
        {Rgb(255, 255, 255), 9},
        {Rgb(52, 52, 52), 63},
        {Rgb(190, 190, 190), 22},
        {0x0F000000, 8},           // the automatic marker holds no colour
    };
    for (const Case& c : cases) EXPECT_EQ(NearestPaletteIndex(c.rgb), c.index) << std::hex << c.rgb;
}

TEST(Palette, FontDescriptionColoursMapBasicColoursDirectly) {
    ResetPalette();
    struct Case {
        uint32_t bgr;
        int index;
    } cases[] = {
        {0x000000, 8},  {0x000080, 16}, {0x0000FF, 10}, {0x008000, 17}, {0x800080, 36},
        {0x008080, 19}, {0x00FF00, 11}, {0x00FFFF, 13}, {0x800000, 18}, {0xFF00FF, 33},
        {0x808000, 49}, {0x808080, 55}, {0xC0C0C0, 22}, {0xFF0000, 12}, {0xFFFF00, 15},
        {0x0A0AFA, 10},  // not in the table: nearest entry
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FontDescriptionColorIndex(c.bgr), c.index) << std::hex << c.bgr;
    }
}

TEST(Font, DefaultsAndSize) {
    TXFont font;
    EXPECT_EQ(font.Name(), u"Arial");
    EXPECT_EQ(font.Height20(), 200);
    EXPECT_EQ(font.Size(), 10);
    EXPECT_EQ(font.Color(), xcBlack);
    EXPECT_EQ(font.Family(), 2);
    EXPECT_EQ(font.CharSet(), 0);
    EXPECT_EQ(font.Style(), 0);
    EXPECT_EQ(font.SubSuperscript(), xssNone);
    EXPECT_EQ(font.Underline(), xulNone);
    EXPECT_EQ(font.RefCount(), 0);
    EXPECT_FALSE(font.Exclusive());

    font.SetSize(0);
    font.SetSize(-3);
    EXPECT_EQ(font.Height20(), 200);
    font.SetHeight20(250);
    EXPECT_EQ(font.Size(), 12);
    font.SetSize(14);
    EXPECT_EQ(font.Height20(), 280);
}

TEST(Font, CopyTakesValuesButNotListBookkeeping) {
    TXFont source;
    source.SetName(u"Tahoma");
    source.SetStyle(xfsBold);
    source.SetIndex(7);
    source.SetRefCount(3);
    source.SetExclusive(true);
    TXFont copy(source);
    EXPECT_EQ(copy.Name(), u"Tahoma");
    EXPECT_EQ(copy.Style(), xfsBold);
    EXPECT_EQ(copy.Index(), 0);
    EXPECT_EQ(copy.RefCount(), 0);
    EXPECT_FALSE(copy.Exclusive());
}

TEST(Font, ColorRGBGoesThroughThePalette) {
    ResetPalette();
    TXFont font;
    font.SetColorRGB(Rgb(250, 10, 10));
    EXPECT_EQ(font.Color(), xcRed);
    EXPECT_EQ(font.ColorRGB(), Rgb(255, 0, 0));
}

TEST(Fonts, NewListHasFiveEqualDefaultsAndFindsTheFirst) {
    TXFonts fonts;
    ASSERT_EQ(fonts.Count(), 5);
    EXPECT_EQ(fonts.FixedCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fonts.Items(i).Index(), i);
        EXPECT_EQ(fonts.Items(i).Name(), u"Arial");
        EXPECT_EQ(fonts.Items(i).Height20(), 200);
    }
    EXPECT_EQ(fonts.Find(TXFont()), 0);
}

TEST(Fonts, FindIgnoresNameCaseButComparesEveryValue) {
    TXFonts fonts;
    struct Case {
        const char* what;
        void (*change)(TXFont&);
        int expected;
    } cases[] = {
        {"lower-case name", [](TXFont& f) { f.SetName(u"arial"); }, 0},
        {"upper-case name", [](TXFont& f) { f.SetName(u"ARIAL"); }, 0},
        {"other name", [](TXFont& f) { f.SetName(u"Arial Black"); }, -1},
        {"charset", [](TXFont& f) { f.SetCharSet(204); }, -1},
        {"family", [](TXFont& f) { f.SetFamily(1); }, -1},
        {"colour", [](TXFont& f) { f.SetColor(xcRed); }, -1},
        {"height", [](TXFont& f) { f.SetHeight20(201); }, -1},
        {"style", [](TXFont& f) { f.SetStyle(xfsItalic); }, -1},
        {"subscript", [](TXFont& f) { f.SetSubSuperscript(xssSubscript); }, -1},
        {"underline", [](TXFont& f) { f.SetUnderline(xulDouble); }, -1},
    };
    for (const Case& c : cases) {
        TXFont font;
        c.change(font);
        EXPECT_EQ(fonts.Find(font), c.expected) << c.what;
    }
    TXFont cyrillic;
    cyrillic.SetName(u"\u0410\u0440\u0438\u0430\u043B");
    TXFont& added = fonts.FindOrAdd(cyrillic);
    TXFont lower;
    lower.SetName(u"\u0430\u0440\u0438\u0430\u043B");
    EXPECT_EQ(fonts.Find(lower), added.Index());
}

TEST(Fonts, ExclusiveFontIsNeverFound) {
    TXFonts fonts;
    fonts.Items(0).SetExclusive(true);
    EXPECT_EQ(fonts.Find(fonts.Items(0)), 1);
    TXFont& own = fonts.Add();
    own.SetName(u"Tahoma");
    own.SetExclusive(true);
    EXPECT_EQ(fonts.Find(own), -1);
}

TEST(Fonts, FindOrAddAppendsOnlyMissingFontsAndLeavesCounts) {
    TXFonts fonts;
    TXFont wanted;
    wanted.SetName(u"Tahoma");
    TXFont& added = fonts.FindOrAdd(wanted);
    EXPECT_EQ(added.Index(), 5);
    EXPECT_EQ(added.RefCount(), 0);
    EXPECT_EQ(&fonts.FindOrAdd(wanted), &added);
    EXPECT_EQ(&fonts.FindOrAdd(TXFont()), &fonts.Items(0));
    EXPECT_EQ(fonts.Count(), 6);
}

TEST(Fonts, DeleteRenumbersLaterFonts) {
    TXFonts fonts;
    fonts.Add().SetName(u"Five");
    fonts.Add().SetName(u"Six");
    fonts.Delete(5);
    ASSERT_EQ(fonts.Count(), 6);
    EXPECT_EQ(fonts.Items(5).Name(), u"Six");
    EXPECT_EQ(fonts.Items(5).Index(), 5);
}

TEST(Fonts, PositionsOutsideTheListAreIndexErrors) {
    TXFonts fonts;
    EXPECT_THROW(
        {
            try {
                fonts.Items(5);
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), "List index out of bounds (5)");
                throw;
            }
        },
        Error);
    EXPECT_THROW(fonts.Items(-1), Error);
    EXPECT_THROW(fonts.Delete(9), Error);
    fonts.Clear();
    EXPECT_EQ(fonts.Count(), 0);
    EXPECT_EQ(fonts.FixedCount(), 0);
}

TEST(Fonts, DescriptionsAreAssignedMatchedAndShared) {
    ResetPalette();
    TXFonts fonts;
    TFontDescription d;
    d.Name = u"Tahoma";
    d.Size = 12;
    d.Bold = true;
    d.StrikeOut = true;
    d.Underline = true;
    d.CharSet = 204;
    d.Color = 0x800080;  // 0xBBGGRR purple: the fixed entry 36, not the nearest 20
    TXFont& font = fonts.FindOrAddDescription(d);
    EXPECT_EQ(font.Index(), 5);
    EXPECT_EQ(font.Name(), u"Tahoma");
    EXPECT_EQ(font.Height20(), 240);
    EXPECT_EQ(font.Style(), xfsBold | xfsStrikeOut);
    EXPECT_EQ(font.Underline(), xulSingle);
    EXPECT_EQ(font.CharSet(), 204);
    EXPECT_EQ(font.Family(), 2);
    EXPECT_EQ(font.Color(), 36);
    EXPECT_EQ(&fonts.FindOrAddDescription(d), &font);

    struct Case {
        const char* what;
        void (*change)(TFontDescription&);
    } differences[] = {
        {"name case", [](TFontDescription& x) { x.Name = u"tahoma"; }},
        {"size", [](TFontDescription& x) { x.Size = 11; }},
        {"italic", [](TFontDescription& x) { x.Italic = true; }},
        // A plain run must not take the underlined font.
        {"underline", [](TFontDescription& x) { x.Underline = false; }},
        {"charset", [](TFontDescription& x) { x.CharSet = 0; }},
        {"colour", [](TFontDescription& x) { x.Color = 0x000000; }},
    };
    for (const Case& c : differences) {
        TFontDescription other = d;
        c.change(other);
        EXPECT_FALSE(font.MatchesFontDescription(other)) << c.what;
    }
    font.SetUnderline(xulDouble);
    EXPECT_FALSE(font.MatchesFontDescription(d));
    TFontDescription plain = d;
    plain.Underline = false;
    EXPECT_FALSE(font.MatchesFontDescription(plain)) << "double underline is no plain font";
}

// FONT bodies: height, options, colour, weight, escapement, underline, family, charset,
// reserved, name length, 01, UTF-16LE name.
TEST(FontRecord, DefaultBodyIs26Bytes) {
    TXFont font;
    uint8_t buffer[TXFont::MaxRecordSize];
    const int length = font.BuildFontRecord(buffer, xvExcel97);
    EXPECT_EQ(Hex(buffer, length),
              "C8 00 00 00 08 00 90 01 00 00 00 02 00 00 05 01 41 00 72 00 69 00 61 00 6C 00");
}

TEST(FontRecord, FieldsAreEncoded) {
    struct Case {
        const char* what;
        void (*change)(TXFont&);
        const char* head;  // the 16 bytes before the name
    } cases[] = {
        {"italic and strikeout", [](TXFont& f) { f.SetStyle(xfsItalic | xfsStrikeOut); },
         "C8 00 0A 00 08 00 90 01 00 00 00 02 00 00 05 01"},
        {"bold is a weight", [](TXFont& f) { f.SetStyle(xfsBold); },
         "C8 00 00 00 08 00 BC 02 00 00 00 02 00 00 05 01"},
        {"colour 0", [](TXFont& f) { f.SetColor(xc0); },
         "C8 00 00 00 FF 7F 90 01 00 00 00 02 00 00 05 01"},
        {"automatic colour", [](TXFont& f) { f.SetColor(xcAutomatic); },
         "C8 00 00 00 40 00 90 01 00 00 00 02 00 00 05 01"},
        {"superscript", [](TXFont& f) { f.SetSubSuperscript(xssSuperscript); },
         "C8 00 00 00 08 00 90 01 01 00 00 02 00 00 05 01"},
        {"subscript", [](TXFont& f) { f.SetSubSuperscript(xssSubscript); },
         "C8 00 00 00 08 00 90 01 02 00 00 02 00 00 05 01"},
        {"single underline", [](TXFont& f) { f.SetUnderline(xulSingle); },
         "C8 00 00 00 08 00 90 01 00 00 01 02 00 00 05 01"},
        {"double underline", [](TXFont& f) { f.SetUnderline(xulDouble); },
         "C8 00 00 00 08 00 90 01 00 00 02 02 00 00 05 01"},
        {"single accounting", [](TXFont& f) { f.SetUnderline(xulSingleAccount); },
         "C8 00 00 00 08 00 90 01 00 00 21 02 00 00 05 01"},
        {"double accounting", [](TXFont& f) { f.SetUnderline(xulDoubleAccount); },
         "C8 00 00 00 08 00 90 01 00 00 22 02 00 00 05 01"},
        {"family and charset", [](TXFont& f) { f.SetFamily(3); f.SetCharSet(204); },
         "C8 00 00 00 08 00 90 01 00 00 00 03 CC 00 05 01"},
        {"height low 16 bits", [](TXFont& f) { f.SetHeight20(0x12345); },
         "45 23 00 00 08 00 90 01 00 00 00 02 00 00 05 01"},
    };
    for (const Case& c : cases) {
        TXFont font;
        c.change(font);
        uint8_t buffer[TXFont::MaxRecordSize];
        EXPECT_EQ(font.BuildFontRecord(buffer, xvExcel97), 26) << c.what;
        EXPECT_EQ(Hex(buffer, 16), c.head) << c.what;
    }
}

TEST(FontRecord, NameIsAlwaysUtf16) {
    TXFont font;
    font.SetName(u"Tahoma");
    uint8_t buffer[TXFont::MaxRecordSize];
    const int length = font.BuildFontRecord(buffer, xvExcel97);
    ASSERT_EQ(length, 28);
    EXPECT_EQ(Hex(buffer + 14, 14), "06 01 54 00 61 00 68 00 6F 00 6D 00 61 00");

    font.SetName(u"\u041A\u0443\u0440\u044C\u0435\u0440");  // Cyrillic "Courier"
    EXPECT_EQ(font.BuildFontRecord(buffer, xvExcel97), 28);
    EXPECT_EQ(Hex(buffer + 14, 4), "06 01 1A 04");
}

TEST(FontRecord, OlderVersionsWriteAnEightBitName) {
    TXFont font;
    uint8_t buffer[TXFont::MaxRecordSize];
    const int length = font.BuildFontRecord(buffer, xvExcel50);
    EXPECT_EQ(Hex(buffer, length),
              "C8 00 00 00 08 00 90 01 00 00 00 02 00 00 05 41 72 69 61 6C");
}

// The name length field is one byte: a longer name must not wrap the count and leave a body
// whose length disagrees with it.
TEST(FontRecord, OverlongNameIsCutToTheLengthField) {
    TXFont font;
    font.SetName(WideString(300, u'x'));
    uint8_t buffer[TXFont::MaxRecordSize];
    EXPECT_EQ(font.BuildFontRecord(buffer, xvExcel97), TXFont::MaxRecordSize);
    EXPECT_EQ(buffer[14], 255);

    WideString name(254, u'x');
    name += u"\U0001F600";  // the pair would straddle the 255th character
    font.SetName(name);
    EXPECT_EQ(font.BuildFontRecord(buffer, xvExcel97), 16 + 2 * 254);
    EXPECT_EQ(buffer[14], 254);
}

}  // namespace
}  // namespace quarvel
