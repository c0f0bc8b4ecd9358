// Copy-on-write format changes of cells, rows and columns.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/workbook/WorkbookSupport.h"
#include "workbook/FormattedObj.h"

namespace quarvel {
namespace {

using test::Hex;
using test::Holder;
using test::NotifyHolder;

class FormattedObjTest : public ::testing::Test {
protected:
    TXFonts fonts;
    TCellFormats formats{&fonts, true};
};

struct SetterCase {
    const char* name;
    std::function<void(TFormattedObject&)> change;  // a value other than format 15's
    std::function<void(TFormattedObject&)> same;    // the value format 15 already has
};

// All 30 setters.
std::vector<SetterCase> AllSetters() {
    return {
        {"FillPatternBackColor", [](auto& o) { o.SetFillPatternBackColor(xcRed); },
         [](auto& o) { o.SetFillPatternBackColor(xcAutomatic); }},  // stored 65 reads 64
        {"FillPatternForeColor", [](auto& o) { o.SetFillPatternForeColor(xcRed); },
         [](auto& o) { o.SetFillPatternForeColor(xcAutomatic); }},
        {"BorderBottomColor", [](auto& o) { o.SetBorderBottomColor(xcRed); },
         [](auto& o) { o.SetBorderBottomColor(xc0); }},
        {"BorderBottomStyle", [](auto& o) { o.SetBorderBottomStyle(cbsThin); },
         [](auto& o) { o.SetBorderBottomStyle(cbsNone); }},
        {"BorderDiagColor", [](auto& o) { o.SetBorderDiagColor(xcRed); },
         [](auto& o) { o.SetBorderDiagColor(xc0); }},
        {"BorderDiagLines", [](auto& o) { o.SetBorderDiagLines(1); },
         [](auto& o) { o.SetBorderDiagLines(0); }},
        {"BorderDiagStyle", [](auto& o) { o.SetBorderDiagStyle(cbsThick); },
         [](auto& o) { o.SetBorderDiagStyle(cbsNone); }},
        {"BorderLeftColor", [](auto& o) { o.SetBorderLeftColor(xcRed); },
         [](auto& o) { o.SetBorderLeftColor(xc0); }},
        {"BorderLeftStyle", [](auto& o) { o.SetBorderLeftStyle(cbsThin); },
         [](auto& o) { o.SetBorderLeftStyle(cbsNone); }},
        {"BorderRightColor", [](auto& o) { o.SetBorderRightColor(xcRed); },
         [](auto& o) { o.SetBorderRightColor(xc0); }},
        {"BorderRightStyle", [](auto& o) { o.SetBorderRightStyle(cbsThin); },
         [](auto& o) { o.SetBorderRightStyle(cbsNone); }},
        {"BorderTopColor", [](auto& o) { o.SetBorderTopColor(xcRed); },
         [](auto& o) { o.SetBorderTopColor(xc0); }},
        {"BorderTopStyle", [](auto& o) { o.SetBorderTopStyle(cbsThin); },
         [](auto& o) { o.SetBorderTopStyle(cbsNone); }},
        {"FormatOptions", [](auto& o) { o.SetFormatOptions(foWrapText); },
         [](auto& o) { o.SetFormatOptions(0); }},
        {"Indent", [](auto& o) { o.SetIndent(2); }, [](auto& o) { o.SetIndent(0); }},
        {"NumberFormat", [](auto& o) { o.SetNumberFormat(u"0.000"); },
         [](auto& o) { o.SetNumberFormat(u""); }},
        {"Protection", [](auto& o) { o.SetProtection(cpLocked | cpHidden); },
         [](auto& o) { o.SetProtection(cpLocked); }},
        {"Rotation", [](auto& o) { o.SetRotation(-45); }, [](auto& o) { o.SetRotation(0); }},
        {"HorizAlignment", [](auto& o) { o.SetHorizAlignment(haRight); },
         [](auto& o) { o.SetHorizAlignment(haGeneral); }},
        {"VertAlignment", [](auto& o) { o.SetVertAlignment(vaCentered); },
         [](auto& o) { o.SetVertAlignment(vaBottom); }},
        {"FillPattern", [](auto& o) { o.SetFillPattern(efpGray125); },
         [](auto& o) { o.SetFillPattern(efpNone); }},
        {"FontCharSet", [](auto& o) { o.SetFontCharSet(204); },
         [](auto& o) { o.SetFontCharSet(0); }},
        {"FontColorRGB", [](auto& o) { o.SetFontColorRGB(0x0000FF); },
         [](auto& o) { o.SetFontColorRGB(0x000000); }},
        {"FontFamily", [](auto& o) { o.SetFontFamily(1); }, [](auto& o) { o.SetFontFamily(2); }},
        {"FontName", [](auto& o) { o.SetFontName(u"Tahoma"); },
         [](auto& o) { o.SetFontName(u"Arial"); }},
        {"FontSize", [](auto& o) { o.SetFontSize(12); }, [](auto& o) { o.SetFontSize(10); }},
        {"FontHeight20", [](auto& o) { o.SetFontHeight20(250); },
         [](auto& o) { o.SetFontHeight20(200); }},
        {"FontSubSuperscript", [](auto& o) { o.SetFontSubSuperscript(xssSubscript); },
         [](auto& o) { o.SetFontSubSuperscript(xssNone); }},
        {"FontUnderline", [](auto& o) { o.SetFontUnderline(xulSingle); },
         [](auto& o) { o.SetFontUnderline(xulNone); }},
        {"FontStyle", [](auto& o) { o.SetFontStyle(xfsBold); },
         [](auto& o) { o.SetFontStyle(0); }},
    };
}

TEST(FormattedObjSetters, SameValueChangesNothing) {
    ResetPalette();
    const auto setters = AllSetters();
    ASSERT_EQ(setters.size(), 30u);
    for (const SetterCase& setter : setters) {
        TXFonts fonts;
        TCellFormats formats(&fonts, true);
        Holder cell(formats);
        NotifyHolder row(formats, 4);
        setter.same(cell);
        setter.same(row);
        EXPECT_EQ(formats.Count(), 22) << setter.name;
        EXPECT_EQ(formats.Items(15).RefCount(), 0) << setter.name << ": no format was selected";
        EXPECT_EQ(fonts.Count(), 5) << setter.name;
        EXPECT_EQ(fonts.Items(0).RefCount(), 0) << setter.name << ": no font was selected";
        EXPECT_EQ(formats.NumberFormats().Count(), 59) << setter.name;
        EXPECT_EQ(cell.FormatIndex(), 15) << setter.name;
        EXPECT_TRUE(row.changes.empty()) << setter.name;
        EXPECT_EQ(row.changedCalls, 1) << setter.name << ": Changed runs after every setter";
    }
}

TEST(FormattedObjSetters, RowsAndColumnsReportExactlyTheChangedPositions) {
    ResetPalette();
    int returned = 0;
    for (const SetterCase& setter : AllSetters()) {
        TXFonts fonts;
        TCellFormats formats(&fonts, true);
        NotifyHolder row(formats, 7);
        setter.change(row);
        ASSERT_EQ(row.changes.size(), 1u) << setter.name;
        EXPECT_EQ(row.changes[0].index, 7) << setter.name;
        EXPECT_EQ(row.changes[0].format, &row.Format()) << setter.name;
        EXPECT_EQ(row.FormatIndex(), 22) << setter.name;
        EXPECT_EQ(row.Format().RefCount(), 1) << setter.name;
        setter.change(row);
        EXPECT_EQ(row.changes.size(), 1u) << setter.name << ": the value was already set";
        // Back to format 15's value: a move back to 15 is reported. Four setters leave the body
        // different from 15, so the row stays at 22 (re-added there) and nothing is reported:
        // the fill colours leave a solid fill or a background colour 64 behind, and the
        // alignments leave the alignment flag set, since the vertical alignment is bottom.
        setter.same(row);
        if (row.FormatIndex() == 22) {
            EXPECT_EQ(row.changes.size(), 1u) << setter.name;
        } else {
            ++returned;
            EXPECT_EQ(row.FormatIndex(), 15) << setter.name;
            ASSERT_EQ(row.changes.size(), 2u) << setter.name;
            EXPECT_EQ(row.changes[1].index, 7) << setter.name;
            EXPECT_EQ(row.changes[1].format, &formats.Items(15)) << setter.name;
        }
        EXPECT_EQ(row.changedCalls, 3) << setter.name;
    }
    EXPECT_EQ(returned, 26);
}

TEST(FormattedObjSetters, NewFormatReplacingTheOldAtTheSamePositionIsNotReported) {
    TXFonts fonts;
    TCellFormats formats(&fonts, true);
    NotifyHolder row(formats, 2);
    row.SetRotation(100);  // stored as 90
    ASSERT_EQ(row.changes.size(), 1u);
    row.SetRotation(100);  // reads 90: the format is released and an equal one added at 22
    EXPECT_EQ(row.FormatIndex(), 22);
    EXPECT_EQ(row.changes.size(), 1u);
    EXPECT_EQ(row.Rotation(), 90);
    EXPECT_EQ(row.changedCalls, 2);
}

TEST_F(FormattedObjTest, EqualCellsShareOneCountedFormat) {
    Holder a(formats), b(formats);
    a.SetBorderLeftStyle(cbsThin);
    b.SetBorderLeftStyle(cbsThin);
    ASSERT_EQ(&a.Format(), &b.Format());
    EXPECT_EQ(a.FormatIndex(), 22);
    EXPECT_EQ(a.Format().RefCount(), 2);
    EXPECT_EQ(formats.Count(), 23);

    a.SetBorderLeftStyle(cbsNone);
    EXPECT_EQ(a.FormatIndex(), 15);
    EXPECT_EQ(b.Format().RefCount(), 1);
    b.SetBorderLeftStyle(cbsNone);
    EXPECT_EQ(formats.Count(), 22) << "the last holder left";
}

TEST_F(FormattedObjTest, RemovingAFormatRenumbersTheLaterOnes) {
    Holder a(formats), b(formats), c(formats);
    a.SetIndent(1);
    b.SetIndent(2);
    c.SetIndent(3);
    ASSERT_EQ(c.FormatIndex(), 24);
    a.SetIndent(0);
    EXPECT_EQ(a.FormatIndex(), 15);
    EXPECT_EQ(b.FormatIndex(), 22);
    EXPECT_EQ(c.FormatIndex(), 23);
    EXPECT_EQ(c.Indent(), 3);
    EXPECT_EQ(formats.Find(c.Format()), 23);
}

TEST_F(FormattedObjTest, FormatHeldAloneIsReleasedBeforeTheSearchAndReAddedAtTheEnd) {
    Holder a(formats), b(formats);
    a.SetIndent(1);
    b.SetIndent(2);
    a.SetFontSize(0);  // no change of size: the font stays, the format comes back equal
    EXPECT_EQ(a.FontSize(), 10);
    EXPECT_EQ(a.Indent(), 1);
    EXPECT_EQ(b.FormatIndex(), 22);
    EXPECT_EQ(a.FormatIndex(), 23);
    EXPECT_EQ(formats.Count(), 24);
    EXPECT_EQ(fonts.Count(), 5);
}

TEST_F(FormattedObjTest, ConstructorFallsBackToTheDefaultCellFormatAndTakesNoReference) {
    Holder atEnd(formats, 22);
    EXPECT_EQ(atEnd.FormatIndex(), 15);
    Holder inList(formats, 21);
    EXPECT_EQ(inList.FormatIndex(), 21);
    EXPECT_EQ(formats.Items(21).RefCount(), 0);
    EXPECT_EQ(&inList.Formats(), &formats);
}

TEST_F(FormattedObjTest, FillBackColourReadsAtMostAutomatic) {
    Holder cell(formats);
    EXPECT_EQ(cell.Format().FillPatternBackColor(), 65);
    EXPECT_EQ(cell.FillPatternBackColor(), xcAutomatic);
    cell.SetFillPatternForeColor(xcYellow);
    EXPECT_EQ(cell.FillPattern(), efpSolid);
    EXPECT_EQ(cell.FillPatternBackColor(), xcWhite);
}

TEST_F(FormattedObjTest, SetFormatIndexMovesTheReference) {
    Holder a(formats), b(formats);
    a.SetIndent(1);  // 22
    b.SetIndent(2);  // 23
    // Giving back 22 moves the target one place down: it must still be b's format.
    a.SetFormatIndex(23);
    EXPECT_EQ(&a.Format(), &b.Format());
    EXPECT_EQ(a.FormatIndex(), 22);
    EXPECT_EQ(a.Format().RefCount(), 2);
    EXPECT_EQ(formats.Count(), 23);

    a.SetFormatIndex(15);
    EXPECT_EQ(formats.Items(15).RefCount(), 0) << "fixed formats are not counted";
    EXPECT_EQ(b.Format().RefCount(), 1);
    EXPECT_THROW(a.SetFormatIndex(40), Error);
    EXPECT_EQ(a.FormatIndex(), 15);
}

TEST_F(FormattedObjTest, FailingSetterLeavesEverythingInPlace) {
    Holder cell(formats);
    cell.SetBorderTopStyle(cbsThin);
    TCellFormat* before = &cell.Format();
    EXPECT_THROW(cell.SetNumberFormat(WideString(256, u'#')), Error);
    EXPECT_EQ(&cell.Format(), before);
    EXPECT_EQ(before->RefCount(), 1);
    EXPECT_EQ(formats.Count(), 23);
    EXPECT_EQ(formats.NumberFormats().Count(), 59);
}

TEST_F(FormattedObjTest, NumberFormatsFollowTheirFormats) {
    Holder a(formats), b(formats);
    a.SetNumberFormat(u"0.000");
    b.SetNumberFormat(u"0.000");
    EXPECT_EQ(a.FormatIndex(), b.FormatIndex());
    TNumberFormats& numbers = formats.NumberFormats();
    EXPECT_EQ(numbers.ById(59).RefCount(), 1) << "one format names it";
    a.SetNumberFormat(u"0.00");
    EXPECT_EQ(a.Format().NumberFormatIndex(), 2);
    b.SetNumberFormat(u"");
    EXPECT_EQ(numbers.FindById(59), -1);
    EXPECT_EQ(b.FormatIndex(), 15);
}

TEST_F(FormattedObjTest, AssigningTheOwnFormatHeldAloneKeepsIt) {
    Holder cell(formats);
    cell.SetIndent(4);
    cell.AssignFormat(cell.Format());
    EXPECT_EQ(cell.FormatIndex(), 22);
    EXPECT_EQ(cell.Format().RefCount(), 1);
    EXPECT_EQ(cell.Indent(), 4);
}

TEST_F(FormattedObjTest, AssignFormatSharesAnotherHoldersFormat) {
    Holder row(formats), cell(formats);
    row.SetVertAlignment(vaCentered);
    cell.AssignFormat(row.Format());
    EXPECT_EQ(&cell.Format(), &row.Format());
    EXPECT_EQ(row.Format().RefCount(), 2);
}

// ---------------------------------------------------------------------------------------------
// Fonts

TEST_F(FormattedObjTest, FontChangesShareAndReleaseFonts) {
    Holder a(formats), b(formats);
    a.SetFontName(u"Tahoma");
    ASSERT_EQ(fonts.Count(), 6);
    EXPECT_EQ(a.Format().FontIndex(), 5);
    EXPECT_EQ(fonts.Items(5).RefCount(), 1);
    b.SetFontName(u"Tahoma");
    EXPECT_EQ(fonts.Items(5).RefCount(), 2);
    EXPECT_EQ(&a.Format(), &b.Format());
    a.SetFontName(u"Arial");
    EXPECT_EQ(a.FormatIndex(), 15);
    EXPECT_EQ(fonts.Items(5).RefCount(), 1);
    b.SetFontName(u"Arial");
    EXPECT_EQ(fonts.Count(), 5);
    EXPECT_EQ(formats.Count(), 22);
}

TEST_F(FormattedObjTest, DeletingAFontRenumbersTheFormatsNamingLaterFonts) {
    Holder a(formats), b(formats);
    a.SetFontName(u"Tahoma");   // font 5
    b.SetFontName(u"Verdana");  // font 6
    a.SetFontName(u"Arial");
    ASSERT_EQ(fonts.Count(), 6);
    EXPECT_EQ(b.Format().FontIndex(), 5);
    EXPECT_EQ(b.FontName(), u"Verdana");
    EXPECT_EQ(formats.Find(b.Format()), b.FormatIndex());
}

// A format can come to name a font without a font change (a row's format given to its cells);
// the font must stay while such a format names it.
TEST_F(FormattedObjTest, FontStaysWhileAnotherFormatNamesIt) {
    Holder a(formats), b(formats);
    a.SetFontName(u"Tahoma");
    b.AssignFormat(a.Format());
    a.SetFontName(u"Arial");
    EXPECT_EQ(b.FontName(), u"Tahoma");
    EXPECT_EQ(fonts.Count(), 6);
    b.SetFontName(u"Arial");
    EXPECT_EQ(fonts.Count(), 5) << "gone with the last format naming it";
    EXPECT_EQ(formats.Count(), 22);
}

TEST_F(FormattedObjTest, ExclusiveFontsAreNotReleased) {
    Holder a(formats);
    a.SetFontName(u"Tahoma");
    fonts.Items(5).SetExclusive(true);
    a.SetFontName(u"Arial");
    EXPECT_EQ(fonts.Count(), 6);
    EXPECT_EQ(fonts.Items(5).RefCount(), 1);
}

TEST_F(FormattedObjTest, FontPropertiesReadAndWriteTheFont) {
    ResetPalette();
    Holder cell(formats);
    cell.SetFontColorRGB(0x0A0AFA);  // nearest is pure red
    EXPECT_EQ(cell.Format().Font().Color(), xcRed);
    EXPECT_EQ(cell.FontColorRGB(), 0x0000FFu);
    cell.SetFontHeight20(250);
    EXPECT_EQ(cell.FontSize(), 12);
    const int count = formats.Count();
    cell.SetFontSize(12);  // equal: nothing happens
    EXPECT_EQ(cell.FontHeight20(), 250);
    EXPECT_EQ(formats.Count(), count);
    cell.SetFontStyle(xfsBold | xfsItalic);
    cell.SetFontUnderline(xulDouble);
    cell.SetFontSubSuperscript(xssSuperscript);
    cell.SetFontCharSet(161);
    cell.SetFontFamily(3);
    const TXFont& font = cell.Format().Font();
    EXPECT_EQ(font.Style(), xfsBold | xfsItalic);
    EXPECT_EQ(font.Underline(), xulDouble);
    EXPECT_EQ(font.SubSuperscript(), xssSuperscript);
    EXPECT_EQ(font.CharSet(), 161);
    EXPECT_EQ(font.Family(), 3);
    EXPECT_EQ(fonts.Count(), 6) << "each intermediate font was released on the way";
}

// ---------------------------------------------------------------------------------------------
// A long mixed sequence against a plain model of what each object should show, checking the
// list's bookkeeping after every step.

struct Expected {
    uint8_t indent = 0;
    TCellBorderStyle left = cbsNone;
    WideString numberFormat;
    TExcelColor fore = xcAutomatic;
    int32_t size = 10;
    int16_t rotation = 0;
};

void CheckBookkeeping(const TCellFormats& formats, const std::vector<std::unique_ptr<Holder>>& cells) {
    for (int i = 0; i < formats.Count(); ++i) {
        const TCellFormat& format = formats.Items(i);
        ASSERT_EQ(format.Index(), i);
        int first = 0;
        while (!formats.Items(first).SameAs(format)) ++first;
        ASSERT_EQ(formats.Find(format), first) << "position " << i;
        if (i < formats.FixedCount()) continue;
        int holders = 0;
        for (const auto& cell : cells) holders += &cell->Format() == &format;
        ASSERT_EQ(format.RefCount(), holders) << "position " << i;
        ASSERT_GT(holders, 0) << "position " << i << " has no holder but stayed";
    }
    const TNumberFormats& numbers = formats.NumberFormats();
    for (int i = 0; i < numbers.Count(); ++i) {
        const TNumberFormat& number = numbers.Items(i);
        if (number.FormatId() < TNumberFormats::FirstCustomId) continue;
        int naming = 0;
        for (int f = 0; f < formats.Count(); ++f) {
            naming += formats.Items(f).NumberFormatIndex() == number.FormatId();
        }
        ASSERT_EQ(number.RefCount(), naming) << "number format " << number.FormatId();
    }
    for (int f = 0; f < formats.Count(); ++f) {
        ASSERT_LT(formats.Items(f).FontIndex(), formats.Fonts().Count());
    }
}

TEST_F(FormattedObjTest, MixedSequenceKeepsEveryCountRight) {
    const WideString numberFormats[] = {u"", u"0.00", u"0.000", u"#,##0.0", u"yyyy-mm-dd"};
    std::vector<std::unique_ptr<Holder>> cells;
    std::vector<Expected> expected(24);
    for (size_t i = 0; i < expected.size(); ++i) cells.push_back(std::make_unique<Holder>(formats));
    std::mt19937 random(12345);
    auto pick = [&](int n) { return static_cast<int>(random() % n); };

    for (int step = 0; step < 3000; ++step) {
        const int i = pick(static_cast<int>(cells.size()));
        Holder& cell = *cells[i];
        Expected& want = expected[i];
        switch (pick(9)) {
            case 0: want.indent = static_cast<uint8_t>(pick(3)); cell.SetIndent(want.indent); break;
            case 1:
                want.left = static_cast<TCellBorderStyle>(pick(3));
                cell.SetBorderLeftStyle(want.left);
                break;
            case 2:
                want.numberFormat = numberFormats[pick(5)];
                cell.SetNumberFormat(want.numberFormat);
                break;
            case 3:
                want.fore = pick(2) ? xcRed : xcAutomatic;
                cell.SetFillPatternForeColor(want.fore);
                break;
            case 4:
                want.size = 10 + 2 * pick(3);
                cell.SetFontSize(want.size);
                break;
            case 5:
                want.rotation = static_cast<int16_t>(pick(3) * 45);
                cell.SetRotation(want.rotation);
                break;
            case 6: {  // take another object's format, as cells take a row's format
                const int j = pick(static_cast<int>(cells.size()));
                cell.AssignFormat(cells[j]->Format());
                want = expected[j];
                break;
            }
            case 7: {
                const int j = pick(static_cast<int>(cells.size()));
                cell.SetFormatIndex(static_cast<uint16_t>(cells[j]->FormatIndex()));
                want = expected[j];
                break;
            }
            default:  // the object goes away and a fresh one takes its place
                cells[i] = std::make_unique<Holder>(formats);
                want = Expected();
                break;
        }
        // Every object, not only the one changed: a removal renumbers formats and fonts that
        // other objects use. (Filling the background makes the fill solid for good; the model
        // keeps only the colour.)
        for (size_t k = 0; k < cells.size(); ++k) {
            const Holder& cell = *cells[k];
            const Expected& want = expected[k];
            ASSERT_EQ(cell.Indent(), want.indent) << "step " << step << " object " << k;
            ASSERT_EQ(cell.BorderLeftStyle(), want.left) << "step " << step << " object " << k;
            ASSERT_EQ(cell.NumberFormat(), want.numberFormat) << "step " << step << " object " << k;
            ASSERT_EQ(cell.FillPatternForeColor(), want.fore) << "step " << step << " object " << k;
            ASSERT_EQ(cell.FontSize(), want.size) << "step " << step << " object " << k;
            ASSERT_EQ(cell.Rotation(), want.rotation) << "step " << step << " object " << k;
        }
        CheckBookkeeping(formats, cells);
        if (HasFatalFailure()) return;
    }
    cells.clear();
    EXPECT_EQ(formats.Count(), 22) << "every user format went with its last holder";
}

// PassNumberFormat and then a move leave the lists as SetNumberFormat and then the same move do,
// without the format in between; an object on a format of its own is refused and left alone.
TEST(FormattedObjPassNumberFormat, LeavesTheListsAsSettingAndMovingOnDoes) {
    auto state = [](const TCellFormats& formats) {
        std::string out;
        for (int i = 0; i < formats.Count(); ++i) {
            out += "xf " + std::to_string(formats.Items(i).RefCount()) + ":" + Hex(formats.Items(i).Body()) + "\n";
        }
        const TNumberFormats& numbers = formats.NumberFormats();
        for (int i = 0; i < numbers.Count(); ++i) {
            out += "nf " + std::to_string(numbers.Items(i).FormatId()) + " " + std::to_string(numbers.Items(i).RefCount()) + "\n";
        }
        return out + "last " + std::to_string(numbers.LastFormatId());
    };
    const WideString values[] = {u"M/d/yyyy", u"m/d/yy", u"", u"0.00", u"M/d/yyyy"};
    TXFonts fontsA, fontsB;
    TCellFormats real(&fontsA, true), passed(&fontsB, true);
    Holder targetA(real), targetB(passed);  // the format the cells move to
    for (Holder* target : {&targetA, &targetB}) {
        target->SetBorderTopStyle(cbsThin);
        target->SetNumberFormat(u"0.00");
    }
    for (const WideString& value : values) {
        Holder a(real), b(passed);
        a.SetNumberFormat(value);
        a.SetFormatIndex(static_cast<uint16_t>(targetA.FormatIndex()));
        ASSERT_TRUE(b.PassNumberFormat(value));
        b.SetFormatIndex(static_cast<uint16_t>(targetB.FormatIndex()));
        ASSERT_EQ(state(passed), state(real)) << "after " << std::string(value.begin(), value.end());
    }
    Holder own(passed);
    own.SetIndent(2);
    const std::string before = state(passed);
    EXPECT_FALSE(own.PassNumberFormat(u"new format"));
    EXPECT_EQ(state(passed), before);
}

}  // namespace
}  // namespace quarvel
