// XF bodies, the cell format list and the number formats.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/workbook/WorkbookSupport.h"
#include "platform/Text.h"
#include "workbook/CellFormats.h"

namespace quarvel {
namespace {

using test::Hex;

const char* const NewFormatBytes = "00 00 00 00 01 00 20 00 00 00 00 00 40 20 40 20 10 00 C0 20";

// The ids the writer gives FORMAT records: list positions from 1 whose count is not negative.
std::vector<int> FormatRecordIds(const TNumberFormats& formats) {
    std::vector<int> ids;
    for (int i = 1; i < formats.Count(); ++i) {
        if (formats.Items(i).RefCount() >= 0) ids.push_back(formats.Items(i).FormatId());
    }
    return ids;
}

using test::ErrorText;

class CellFormatsTest : public ::testing::Test {
protected:
    TXFonts fonts;
    TCellFormats formats{&fonts, true};
    TNumberFormats& numbers = formats.NumberFormats();
};

TEST_F(CellFormatsTest, DefaultTableBytes) {
    ASSERT_EQ(formats.Count(), 22);
    EXPECT_EQ(formats.FixedCount(), 22);
    const std::string styleXf = "F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20";
    const std::string plainStyleXf = "F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20";
    const std::string expected[22] = {
        "00 00 00 00 " + plainStyleXf,
        "01 00 00 00 " + styleXf, "01 00 00 00 " + styleXf,
        "02 00 00 00 " + styleXf, "02 00 00 00 " + styleXf,
        "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf,
        "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf,
        "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf, "00 00 00 00 " + styleXf,
        "00 00 00 00 " + styleXf,
        "00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20",
        "00 00 2A 00 " + plainStyleXf, "00 00 2B 00 " + plainStyleXf,
        "00 00 2C 00 " + plainStyleXf, "00 00 2D 00 " + plainStyleXf,
        "00 00 09 00 " + plainStyleXf,
        NewFormatBytes,
    };
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(Hex(formats.Items(i).Body()), expected[i]) << "position " << i;
        EXPECT_EQ(formats.Items(i).Index(), i);
    }
}

TEST_F(CellFormatsTest, NewFormatDefaultsAndTheirReading) {
    TCellFormat format(&formats);
    EXPECT_EQ(Hex(format.Body()), NewFormatBytes);
    EXPECT_EQ(format.Protection(), cpLocked);
    EXPECT_EQ(format.VertAlignment(), vaBottom);
    EXPECT_EQ(format.HorizAlignment(), haGeneral);
    EXPECT_EQ(format.BorderLeftColor(), xcAutomatic);
    EXPECT_EQ(format.BorderRightColor(), xcAutomatic);
    EXPECT_EQ(format.BorderTopColor(), xcAutomatic);
    EXPECT_EQ(format.BorderBottomColor(), xcAutomatic);
    EXPECT_EQ(format.BorderDiagColor(), xcAutomatic);
    EXPECT_EQ(format.FillPatternForeColor(), 64);
    EXPECT_EQ(format.FillPatternBackColor(), 65);
    EXPECT_EQ(format.FillPattern(), efpNone);
    EXPECT_EQ(format.UsedAttributes(), 0);
}

TEST_F(CellFormatsTest, FindReturnsTheFirstEqualFormat) {
    EXPECT_EQ(formats.Find(TCellFormat(&formats)), 21);
    EXPECT_EQ(formats.Find(TCellFormat(&formats, 15)), 15);
    EXPECT_EQ(formats.Find(TCellFormat(&formats, 2)), 1);
    EXPECT_EQ(formats.Find(TCellFormat(&formats, 14)), 5);
    TCellFormat other(&formats);
    other.SetIndent(3);
    EXPECT_EQ(formats.Find(other), -1);
}

// Formats of the list can be changed in place; lookups must follow the change.
TEST_F(CellFormatsTest, FindFollowsFormatsChangedInTheList) {
    TCellFormat& added = formats.Add();
    ASSERT_EQ(added.Index(), 22);
    EXPECT_EQ(formats.Find(added), 21);  // equal to position 21, which comes first
    formats.Items(21).SetBorderLeftStyle(cbsThin);
    EXPECT_EQ(formats.Find(TCellFormat(&formats)), 22);
    EXPECT_EQ(formats.Find(formats.Items(21)), 21);
    formats.Delete(22);
    EXPECT_EQ(formats.Find(TCellFormat(&formats)), -1);
    // Enough formats to grow the index several times.
    for (int i = 0; i < 300; ++i) formats.Add().SetFontIndex(static_cast<uint16_t>(1000 + i));
    for (int i = 0; i < 300; ++i) {
        TCellFormat probe(&formats);
        probe.SetFontIndex(static_cast<uint16_t>(1000 + i));
        ASSERT_EQ(formats.Find(probe), 22 + i);
    }
}

// Changes() moves on with everything that can change what Find answers, and only then: a list
// whose count stayed the same gives the same answers.
TEST_F(CellFormatsTest, ChangesMoveOnWithEveryChangeFindCanTell) {
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"add", [&] { formats.Add(); }},
        {"add a copy", [&] { formats.Add(formats.Items(3)); }},
        {"edit a listed format", [&] { formats.Items(22).SetIndent(2); }},
        {"delete (renumbers)", [&] { formats.Delete(22); }},
        {"font renumbering", [&] { formats.FontDeleted(0); }},
        {"clear", [&] { formats.Clear(); }},
    };
    for (const auto& [name, change] : changes) {
        const uint64_t before = formats.Changes();
        change();
        EXPECT_NE(formats.Changes(), before) << name;
    }
    formats.AddDefaults();
    TCellFormat& listed = formats.Add();
    const uint64_t settled = formats.Changes();
    listed.SetRefCount(5);
    TCellFormat outside(&formats);
    outside.SetIndent(4);  // not in the list
    formats.Find(outside);
    EXPECT_EQ(formats.Changes(), settled) << "counts, copies outside the list and lookups change nothing";
}

TEST_F(CellFormatsTest, DeleteRenumbersLaterFormats) {
    formats.Add().SetIndent(1);
    formats.Add().SetIndent(2);
    formats.Add().SetIndent(3);
    formats.Delete(22);
    ASSERT_EQ(formats.Count(), 24);
    EXPECT_EQ(formats.Items(22).Indent(), 2);
    EXPECT_EQ(formats.Items(22).Index(), 22);
    EXPECT_EQ(formats.Items(23).Index(), 23);
    EXPECT_EQ(ErrorText([&] { formats.Items(24); }), "List index out of bounds (24)");
    EXPECT_EQ(ErrorText([&] { formats.Delete(-1); }), "List index out of bounds (-1)");
}

// Deleted formats give back their number formats, and formats added later start afresh.
TEST_F(CellFormatsTest, DeletedFormatsReleaseTheirNumberFormats) {
    for (int i = 0; i < 40; ++i) {
        TCellFormat& format = formats.Add();
        format.SetNumberFormat(u"0.0");
        format.SetIndent(static_cast<uint8_t>(i % 16));
        format.SetRefCount(7);
    }
    EXPECT_EQ(numbers.ById(59).RefCount(), 40);
    for (int i = 0; i < 39; ++i) formats.Delete(22);
    EXPECT_EQ(numbers.ById(59).RefCount(), 1);
    formats.Delete(22);
    EXPECT_EQ(numbers.FindById(59), -1);
    for (int i = 0; i < 20; ++i) {
        TCellFormat& added = formats.Add();
        EXPECT_EQ(Hex(added.Body()), NewFormatBytes);
        EXPECT_EQ(added.RefCount(), 0);
        EXPECT_EQ(added.Index(), 22 + i);
    }
    EXPECT_EQ(formats.Find(TCellFormat(&formats)), 21);
}

TEST_F(CellFormatsTest, ListErrors) {
    EXPECT_EQ(ErrorText([&] { formats.AddDefaults(); }), "Add default formats when not empty.");
    TCellFormat orphan(nullptr);
    EXPECT_EQ(ErrorText([&] { orphan.SetNumberFormat(u"0.0"); }), "CellFormat has no parent");
    EXPECT_EQ(orphan.NumberFormat(), u"");
    EXPECT_EQ(ErrorText([&] { orphan.SetFillPatternForeColorRGB(0xFF); }),
              "Not implemented: SetCellColorRGB");
}

TEST_F(CellFormatsTest, WithoutDefaultsTheListIsEmpty) {
    TCellFormats bare(&fonts, false);
    EXPECT_EQ(bare.Count(), 0);
    EXPECT_EQ(bare.FixedCount(), 0);
    EXPECT_EQ(bare.NumberFormats().Count(), 0);
    bare.NumberFormats().AddBuiltIns();
    bare.AddDefaults();
    EXPECT_EQ(bare.Count(), 21);
    formats.Clear();
    EXPECT_EQ(formats.Count(), 0);
    EXPECT_EQ(formats.NumberFormats().Count(), 0);
}

TEST_F(CellFormatsTest, RotationEncoding) {
    struct Case {
        int16_t set;
        int stored;
        int16_t read;
    } cases[] = {
        {0, 0, 0},       {45, 45, 45},     {90, 90, 90},    {91, 90, 90},
        {100, 90, 90},   {254, 90, 90},    {255, 255, 255}, {300, 255, 255},
        {-1, 91, -1},    {-45, 135, -45},  {-90, 180, -90}, {-91, 180, -90},
        {-200, 180, -90},
    };
    for (const Case& c : cases) {
        TCellFormat format(&formats);
        format.SetRotation(c.set);
        EXPECT_EQ(format.Body()[7], c.stored) << c.set;
        EXPECT_EQ(format.Rotation(), c.read) << c.set;
    }
}

TEST_F(CellFormatsTest, AlignmentFieldsAndTheirFlag) {
    struct Case {
        const char* what;
        void (*change)(TCellFormat&);
        uint8_t byte6;
        uint8_t byte8;
        bool alignmentFlag;
    } cases[] = {
        {"horizontal", [](TCellFormat& f) { f.SetHorizAlignment(haCentered); }, 0x22, 0, true},
        {"vertical top", [](TCellFormat& f) { f.SetVertAlignment(vaTop); }, 0x00, 0, false},
        {"vertical centred", [](TCellFormat& f) { f.SetVertAlignment(vaCentered); }, 0x10, 0,
         true},
        {"wrap", [](TCellFormat& f) { f.SetFormatOptions(foWrapText); }, 0x28, 0, true},
        {"shrink only", [](TCellFormat& f) { f.SetFormatOptions(foShrinkToFit); }, 0x20, 0x10,
         false},
        // The options setter does not look at the vertical alignment.
        {"options after centring",
         [](TCellFormat& f) {
             f.SetVertAlignment(vaCentered);
             f.SetFormatOptions(0);
         },
         0x10, 0, false},
        // The alignment setters look at the vertical alignment, which is bottom (2) by default.
        {"horizontal back to general",
         [](TCellFormat& f) {
             f.SetHorizAlignment(haRight);
             f.SetHorizAlignment(haGeneral);
         },
         0x20, 0, true},
        {"general on top",
         [](TCellFormat& f) {
             f.SetVertAlignment(vaTop);
             f.SetHorizAlignment(haGeneral);
         },
         0x00, 0, false},
        {"indent and merge leave the flag",
         [](TCellFormat& f) {
             f.SetIndent(5);
             f.SetMergeCells(true);
         },
         0x20, 0x25, false},
    };
    for (const Case& c : cases) {
        TCellFormat format(&formats);
        c.change(format);
        EXPECT_EQ(format.Body()[6], c.byte6) << c.what;
        EXPECT_EQ(format.Body()[8], c.byte8) << c.what;
        EXPECT_EQ((format.UsedAttributes() & uaAlignment) != 0, c.alignmentFlag) << c.what;
    }
}

TEST_F(CellFormatsTest, OptionsTwiceKeepBothFlagsAndMerge) {
    TCellFormat format(&formats);
    format.SetMergeCells(true);
    format.SetFormatOptions(foWrapText | foShrinkToFit);
    format.SetFormatOptions(foWrapText | foShrinkToFit);
    EXPECT_EQ(format.FormatOptions(), foWrapText | foShrinkToFit);
    EXPECT_TRUE(format.MergeCells());
}

TEST_F(CellFormatsTest, BorderFieldsAndTheirFlag) {
    TCellFormat format(&formats);
    format.SetBorderLeftStyle(cbsThin);
    format.SetBorderRightStyle(cbsMedium);
    format.SetBorderTopStyle(cbsDashed);
    format.SetBorderBottomStyle(cbsSlantedDashDot);
    format.SetBorderLeftColor(xcRed);
    format.SetBorderRightColor(xcBlue);
    format.SetBorderTopColor(xcGreen);
    format.SetBorderBottomColor(xcGray80);
    format.SetBorderDiagColor(xcWhite);
    format.SetBorderDiagLines(3);
    // Left 1, right 2, top 3, bottom 13; colours 10, 12 and diagonals in the dword at 10;
    // top 17, bottom 63, diagonal 9 in the dword at 14.
    EXPECT_EQ(Hex(format.Body().data() + 10, 8), "21 D3 0A C6 91 5F 02 00");
    EXPECT_EQ(format.UsedAttributes(), uaBorder);
    EXPECT_EQ(format.BorderBottomStyle(), cbsSlantedDashDot);
    EXPECT_EQ(format.BorderTopColor(), xcGreen);
    EXPECT_EQ(format.BorderDiagLines(), 3);
    EXPECT_TRUE(format.HasBorderLines());

    format.SetBorderLeftStyle(cbsNone);
    format.SetBorderRightStyle(cbsNone);
    format.SetBorderTopStyle(cbsNone);
    EXPECT_EQ(format.UsedAttributes(), uaBorder);
    format.SetBorderBottomStyle(cbsNone);
    EXPECT_EQ(format.UsedAttributes(), 0);
    format.SetBorderDiagStyle(cbsHair);
    EXPECT_EQ(format.UsedAttributes(), uaBorder);
    EXPECT_EQ(format.BorderDiagStyle(), cbsHair);
    EXPECT_EQ(format.BorderDiagColor(), xcWhite) << "neighbouring fields survive";
}

TEST_F(CellFormatsTest, FillSideEffects) {
    struct Case {
        const char* what;
        void (*change)(TCellFormat&);
        TExcelFillPattern pattern;
        int fore, back;
        bool backgroundFlag;
    } cases[] = {
        {"fore colour red", [](TCellFormat& f) { f.SetFillPatternForeColor(xcRed); },
         efpSolid, 10, 9, true},
        {"fore colour automatic", [](TCellFormat& f) { f.SetFillPatternForeColor(xcAutomatic); },
         efpNone, 64, 65, true},
        {"back colour automatic", [](TCellFormat& f) { f.SetFillPatternBackColor(xcAutomatic); },
         efpNone, 64, 64, false},
        {"pattern", [](TCellFormat& f) { f.SetFillPattern(efpGray125); }, efpGray125, 64, 65,
         true},
        {"pattern removed",
         [](TCellFormat& f) {
             f.SetFillPatternForeColor(xcRed);
             f.SetFillPattern(efpNone);
         },
         efpNone, 10, 9, false},
    };
    for (const Case& c : cases) {
        TCellFormat format(&formats);
        c.change(format);
        EXPECT_EQ(format.FillPattern(), c.pattern) << c.what;
        EXPECT_EQ(format.FillPatternForeColor(), c.fore) << c.what;
        EXPECT_EQ(format.FillPatternBackColor(), c.back) << c.what;
        EXPECT_EQ((format.UsedAttributes() & uaBackground) != 0, c.backgroundFlag) << c.what;
    }
    TCellFormat red(&formats);
    red.SetFillPatternForeColor(xcRed);
    EXPECT_EQ(Hex(red.Body().data() + 14, 6), "40 20 10 04 8A 04");
    EXPECT_TRUE(red.HasFill());
}

TEST_F(CellFormatsTest, ColoursReadThroughThePalette) {
    ResetPalette();
    TCellFormat format(&formats);
    EXPECT_EQ(format.FillPatternBackColorRGB(), Palette[64]) << "65 is limited to 64";
    format.SetBorderTopColor(xcRed);
    EXPECT_EQ(format.BorderTopColorRGB(), 0x0000FFu);
    format.SetBorderLeftColorRGB(0x00FF00);
    EXPECT_EQ(format.BorderLeftColor(), xcAutomatic) << "RGB setters other than fill ignore";
}

TEST_F(CellFormatsTest, ProtectionAndTests) {
    TCellFormat format(&formats);
    format.SetProtection(cpHidden);
    EXPECT_EQ(format.Body()[4], 0x02);
    EXPECT_EQ(format.Protection(), cpHidden);
    format.SetNumberFormatIndex(14);
    EXPECT_TRUE(format.IsDateTimeFormat());
    format.SetNumberFormatIndex(20);
    EXPECT_TRUE(format.IsDateTimeFormat());
    format.SetNumberFormatIndex(22);
    EXPECT_FALSE(format.IsDateTimeFormat());
    format.SetNumberFormatIndex(0);
    format.SetFontIndex(5);
    EXPECT_FALSE(format.HasNonDefaultFont());
    format.SetFontIndex(6);
    EXPECT_TRUE(format.HasNonDefaultFont());
}

// ---------------------------------------------------------------------------------------------
// Number formats

TEST_F(CellFormatsTest, BuiltInNumberFormats) {
    ASSERT_EQ(numbers.Count(), 59);
    EXPECT_EQ(numbers.LastFormatId(), 58);
    struct Case {
        int id;
        const char16_t* text;
    } cases[] = {
        {0, u""},           {1, u"0"},           {4, u"#,##0.00"},
        {9, u"0%"},         {13, u"# ?\?/?\?"},  {14, u"m/d/yy"},
        {21, u"h:mm:SS"},   {22, u"m/d/yy h:mm"}, {23, u""},
        {36, u""},          {37, u"_(#,##0_);(#,##0)"},
        {44, u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)"},
        {45, u"mm:ss"},     {48, u"# #0.0E+0"},  {49, u"@"},  {58, u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(numbers.Items(c.id).FormatId(), c.id);
        EXPECT_EQ(numbers.Items(c.id).FormatString(), c.text) << c.id;
    }
    EXPECT_EQ(numbers.Find(u""), 0);
    EXPECT_EQ(numbers.Find(u"h:mm:SS"), 21);
    EXPECT_EQ(numbers.Find(u"h:mm:ss"), -1) << "case counts";
    EXPECT_EQ(numbers.Find(u"@"), 49);
    EXPECT_EQ(numbers.FindById(45), 45);
    EXPECT_EQ(numbers.FindById(59), -1);
}

TEST_F(CellFormatsTest, NewWorkbookWritesFormatRecordsForTheStyleFormats) {
    EXPECT_EQ(FormatRecordIds(numbers), (std::vector<int>{9, 42, 43, 44, 45}));
    EXPECT_EQ(numbers.Items(0).RefCount(), -1);
}

TEST_F(CellFormatsTest, SettingNumberFormatsCountsIdsAndHandsOutCustomIds) {
    TCellFormat a(&formats);
    a.SetNumberFormat(u"0.00");
    EXPECT_EQ(a.NumberFormatIndex(), 2);
    EXPECT_EQ(numbers.Items(2).RefCount(), 0) << "a built-in goes from -1 to 0";
    a.SetNumberFormat(u"0.000");
    EXPECT_EQ(a.NumberFormatIndex(), 59);
    EXPECT_EQ(a.NumberFormat(), u"0.000");
    TCellFormat b(&formats);
    b.SetNumberFormat(u"0.000");
    EXPECT_EQ(b.NumberFormatIndex(), 59);
    EXPECT_EQ(numbers.ById(59).RefCount(), 2);
    b.SetNumberFormat(u"h:mm:ss");
    EXPECT_EQ(b.NumberFormatIndex(), 60);
    EXPECT_EQ(numbers.ById(59).RefCount(), 1);
    b.SetNumberFormat(u"");
    EXPECT_EQ(b.NumberFormatIndex(), 0);
    EXPECT_EQ(numbers.FindById(60), -1) << "its last holder left";
    EXPECT_EQ(FormatRecordIds(numbers), (std::vector<int>{2, 9, 42, 43, 44, 45, 59}));
    b.SetNumberFormat(u"h:mm:ss");
    EXPECT_EQ(b.NumberFormatIndex(), 61) << "ids are not reused";
}

TEST_F(CellFormatsTest, FormatStringLengthLimit) {
    TCellFormat format(&formats);
    format.SetNumberFormat(WideString(255, u'0'));
    EXPECT_EQ(format.NumberFormatIndex(), 59);
    const int count = numbers.Count();
    EXPECT_EQ(ErrorText([&] { format.SetNumberFormat(WideString(256, u'0')); }),
              "Format string more than 255 characthers");
    EXPECT_EQ(format.NumberFormatIndex(), 59);
    EXPECT_EQ(numbers.Count(), count);
    EXPECT_EQ(numbers.ById(59).RefCount(), 1);
}

TEST_F(CellFormatsTest, AddRefAndRelease) {
    numbers.FindOrAdd(u"0.0");  // id 59, count 1
    numbers.AddRef(59);
    EXPECT_EQ(numbers.ById(59).RefCount(), 2);
    numbers.AddRef(3);  // built-ins are ignored
    EXPECT_EQ(numbers.Items(3).RefCount(), -1);
    numbers.Release(9);
    EXPECT_EQ(numbers.Items(9).RefCount(), 1);
    numbers.Release(59);
    numbers.Release(59);
    EXPECT_EQ(numbers.FindById(59), -1);
    EXPECT_EQ(ErrorText([&] { numbers.Release(59); }), "Can not find number format# 59");
    EXPECT_EQ(ErrorText([&] { numbers.AddRef(70); }), "Can not find number format# 70");
    EXPECT_EQ(ErrorText([&] { numbers.ById(70); }), "List index out of bounds (70)");
}

TEST_F(CellFormatsTest, AssignMovesTheNumberFormatReference) {
    TCellFormat source(&formats);
    source.SetNumberFormat(u"0.0");  // 59, held by source
    TCellFormat copy(&formats, source);
    EXPECT_EQ(numbers.ById(59).RefCount(), 2);
    TCellFormat other(&formats);
    other.SetNumberFormat(u"0.00000");  // 60
    copy.Assign(other);
    EXPECT_EQ(numbers.ById(59).RefCount(), 1);
    EXPECT_EQ(numbers.ById(60).RefCount(), 2);
    EXPECT_TRUE(copy.SameAs(other));
}

// Custom ids stay within 16 bits: once the counter reaches 65535 the lowest free id from 59 up
// is taken, and the list stays in id order.
TEST_F(CellFormatsTest, CustomIdsNeverPass65535) {
    numbers.FindOrAdd(u"keep 59");
    numbers.FindOrAdd(u"drop 60");
    numbers.FindOrAdd(u"keep 61");
    numbers.Release(60);
    for (int32_t id = 62; id <= 65534; ++id) {
        numbers.FindOrAdd(u"retired");
        numbers.Release(id);
    }
    EXPECT_EQ(numbers.LastFormatId(), 65534);
    EXPECT_EQ(numbers.FindOrAdd(u"last counted").FormatId(), 65535);
    EXPECT_EQ(numbers.FindOrAdd(u"first reused").FormatId(), 60);
    EXPECT_EQ(numbers.FindOrAdd(u"second reused").FormatId(), 62);
    EXPECT_EQ(numbers.FindOrAdd(u"keep 61").FormatId(), 61) << "found, not added";
    EXPECT_EQ(numbers.LastFormatId(), 65535);
    for (int i = 1; i < numbers.Count(); ++i) {
        ASSERT_LT(numbers.Items(i - 1).FormatId(), numbers.Items(i).FormatId());
    }
    EXPECT_EQ(numbers.Find(u"first reused"), numbers.FindById(60));
}

// AddAndRelease leaves a list exactly as FindOrAdd and the release of that id do: the same
// formats, holders and counter, so the next new format gets the same id; also once the counter
// is spent and ids are taken from the lowest free one.
TEST(NumberFormatsAddAndRelease, LeavesTheListAsAddingAndReleasingDoes) {
    auto state = [](const TNumberFormats& list) {
        std::string out = "last " + std::to_string(list.LastFormatId());
        for (int i = 0; i < list.Count(); ++i) {
            const TNumberFormat& f = list.Items(i);
            out += " | " + std::to_string(f.FormatId()) + " " + std::to_string(f.RefCount());
        }
        return out;
    };
    for (bool spent : {false, true}) {
        SCOPED_TRACE(spent ? "counter spent" : "counter counting");
        TNumberFormats real, passed;
        for (TNumberFormats* list : {&real, &passed}) {
            list->AddBuiltIns();
            list->FindOrAdd(u"custom");    // 59
            list->FindOrAdd(u"m/d/yy");    // built-in 14: used from now on
            list->FindOrAdd(u"gap");       // 60
            list->FindOrAdd(u"after gap");  // 61
            list->Release(60);             // a free id below the others
            if (spent) {
                while (list->LastFormatId() < TNumberFormats::MaxFormatId) {
                    const int32_t id = list->FindOrAdd(u"spend").FormatId();
                    list->Release(id);
                }
            }
        }
        const WideString strings[] = {u"custom", u"m/d/yy", u"h:mm", u"", u"new one", u"new one", u"another"};
        for (const WideString& text : strings) {
            const int32_t id = real.FindOrAdd(text).FormatId();
            real.Release(id);
            passed.AddAndRelease(text);
            ASSERT_EQ(state(passed), state(real)) << Utf16ToUtf8(text);
        }
        EXPECT_EQ(passed.FindOrAdd(u"next").FormatId(), real.FindOrAdd(u"next").FormatId());
    }
}

}  // namespace
}  // namespace quarvel
