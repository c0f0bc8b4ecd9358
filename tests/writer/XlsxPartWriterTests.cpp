// The single writers of the .xlsx parts, each pinned to the exact text it writes: escaping of
// texts, references and numbers, the style elements, the sheet elements.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "platform/Locale.h"
#include "tests/platform/PlatformSupport.h"
#include "workbook/CellFormats.h"
#include "workbook/SheetData.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XlsxSheet.h"
#include "writer/XlsxStyles.h"
#include "writer/XmlWriter.h"

namespace quarvel {
namespace {

std::string Xml(const std::function<void(TXmlWriter&)>& write) {
    TXmlWriter xml;
    write(xml);
    return xml.Text();
}

std::string Text(std::u16string_view text) {
    std::string out;
    AppendXmlText(out, text);
    return out;
}

std::string AttributeValue(std::u16string_view text) {
    std::string out;
    AppendXmlAttribute(out, text);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Texts, references, numbers

TEST(XmlText, EscapesWhatXmlCannotHoldAndKeepsEverythingElse) {
    struct TCase {
        std::u16string text;
        std::string element, attribute;
    } cases[] = {
        {u"plain text 123", "plain text 123", "plain text 123"},
        {u"a<b & c>d \"q\" 'a'", "a&lt;b &amp; c&gt;d \"q\" 'a'", "a&lt;b &amp; c&gt;d &quot;q&quot; 'a'"},
        // A raw CR would come back as LF; TAB and LF change only inside attributes.
        {u"1\r\n2\t3\n", "1&#13;\n2\t3\n", "1&#13;&#10;2&#9;3&#10;"},
        // Control characters XML 1.0 cannot hold, U+FFFE/U+FFFF and lone surrogates.
        {std::u16string(u"\x01" u"A\x1F") + char16_t(0xFFFE) + char16_t(0xFFFF), "_x0001_A_x001F__xFFFE__xFFFF_",
         "_x0001_A_x001F__xFFFE__xFFFF_"},
        {std::u16string(1, char16_t(0xD800)) + u"x" + char16_t(0xDC00), "_xD800_x_xDC00_", "_xD800_x_xDC00_"},
        // An underscore that would start an escape form is escaped itself; others stay.
        {u"_x0041_ and _x00_ and x_", "_x005F_x0041_ and _x00_ and x_", "_x005F_x0041_ and _x00_ and x_"},
        {u"_xd83d_", "_x005F_xd83d_", "_x005F_xd83d_"},
        // UTF-8: two, three and four bytes (a surrogate pair).
        {u"é Лист €", "\xC3\xA9 \xD0\x9B\xD0\xB8\xD1\x81\xD1\x82 \xE2\x82\xAC", "\xC3\xA9 \xD0\x9B\xD0\xB8\xD1\x81\xD1\x82 \xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {u"", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.element);
        EXPECT_EQ(Text(c.text), c.element);
        EXPECT_EQ(AttributeValue(c.text), c.attribute);
    }
}

TEST(XmlText, BlanksAtEitherEndArePreserved) {
    EXPECT_EQ(Xml([](TXmlWriter& x) { x.TextElement("t", u" lead"); }), "<t xml:space=\"preserve\"> lead</t>");
    EXPECT_EQ(Xml([](TXmlWriter& x) { x.TextElement("t", u"trail\n"); }), "<t xml:space=\"preserve\">trail\n</t>");
    EXPECT_EQ(Xml([](TXmlWriter& x) { x.TextElement("t", u"\tboth "); }), "<t xml:space=\"preserve\">\tboth </t>");
    EXPECT_EQ(Xml([](TXmlWriter& x) { x.TextElement("t", u"in side"); }), "<t>in side</t>");
    EXPECT_EQ(Xml([](TXmlWriter& x) { x.TextElement("t", u""); }), "<t></t>");
}

TEST(XmlText, ColumnNamesAndReferences) {
    const std::pair<uint32_t, const char*> names[] = {{0, "A"},     {25, "Z"},     {26, "AA"},   {51, "AZ"},
                                                      {52, "BA"},   {255, "IV"},   {701, "ZZ"},  {702, "AAA"},
                                                      {16383, "XFD"}};
    for (const auto& [col, name] : names) EXPECT_EQ(ColumnName(col), name) << col;
    std::string ref;
    AppendCellReference(ref, 16383, 1048575);
    EXPECT_EQ(ref, "XFD1048576");
}

TEST(XmlText, NumbersAreTheShortestTextThatReadsBack) {
    const std::pair<double, const char*> numbers[] = {
        {0, "0"},           {-0.0, "-0"},         {1, "1"},         {0.1, "0.1"},       {-2.5, "-2.5"},
        {1234567, "1234567"}, {2060.5901, "2060.5901"}, {1e20, "1e+20"}, {1.5e-7, "1.5e-07"}, {45000.75, "45000.75"},
        {1.0 / 3, "0.3333333333333333"}, {5e-324, "5e-324"}, {1.7976931348623157e308, "1.7976931348623157e+308"},
    };
    for (const auto& [value, text] : numbers) {
        std::string out;
        AppendDouble(out, value);
        EXPECT_EQ(out, text);
        EXPECT_EQ(std::strtod(out.c_str(), nullptr), value) << out;
    }
}

TEST(XmlWriter, HandsTheTextToItsSinkInPieces) {
    std::string received;
    int pieces = 0;
    TXmlWriter xml(
        [&](const char* data, size_t size) {
            received.append(data, size);
            ++pieces;
        },
        16);
    xml.Start("a");
    xml.Attribute("n", int64_t(12));
    xml.CloseStart();
    for (int i = 0; i < 10; ++i) xml.TextElement("b", u"0123456789");
    xml.End("a");
    xml.Flush();
    EXPECT_EQ(received, "<a n=\"12\">" + [] {
        std::string b;
        for (int i = 0; i < 10; ++i) b += "<b>0123456789</b>";
        return b;
    }() + "</a>");
    EXPECT_GE(pieces, 5);
}

// ---------------------------------------------------------------------------------------------
// Styles

class StylesTest : public ::testing::Test {
protected:
    TXLSWorkbook workbook{UsLocaleInfo()};
    TCellFormats& formats = workbook.Formats();

    // A cell format made from the default cell format by the setters a builder uses.
    TCellFormat& Made(const std::function<void(TCellFormat&)>& set) {
        TCellFormat& format = formats.Add(formats.Items(TCellFormats::DefaultCellFormat));
        set(format);
        return format;
    }
};

TEST_F(StylesTest, FontElements) {
    TXFont font;
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteFont(x, font); }),
              "<font><sz val=\"10\"/><color indexed=\"8\"/><name val=\"Arial\"/><family val=\"2\"/></font>");
    font.SetStyle(xfsBold | xfsItalic | xfsStrikeOut);
    font.SetUnderline(xulDouble);
    font.SetSubSuperscript(xssSuperscript);
    font.SetHeight20(250);
    font.SetColor(xc0);
    font.SetName(u"Times & \"New\"");
    font.SetCharSet(204);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteFont(x, font); }),
              "<font><b/><i/><strike/><u val=\"double\"/><vertAlign val=\"superscript\"/><sz val=\"12.5\"/>"
              "<color auto=\"1\"/><name val=\"Times &amp; &quot;New&quot;\"/><family val=\"2\"/><charset val=\"204\"/>"
              "</font>");
}

TEST_F(StylesTest, BordersCarryTheirColoursAndFillsTheirPattern) {
    TCellFormat& thin = Made([](TCellFormat& f) {
        f.SetBorderTopStyle(cbsThin);
        f.SetBorderTopColor(xcGray50);
        f.SetBorderLeftStyle(cbsDouble);
        f.SetBorderLeftColor(xcRed);
        f.SetBorderDiagStyle(cbsDashed);
        f.SetBorderDiagLines(3);
        f.SetBorderRightColor(xcBlue);  // no line: its colour shows nowhere
    });
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteBorder(x, xlsx::BorderOf(thin)); }),
              "<border diagonalUp=\"1\" diagonalDown=\"1\"><left style=\"double\"><color indexed=\"10\"/></left>"
              "<right/><top style=\"thin\"><color indexed=\"23\"/></top><bottom/>"
              "<diagonal style=\"dashed\"><color indexed=\"0\"/></diagonal></border>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteBorder(x, TXlsxBorder{}); }),
              "<border><left/><right/><top/><bottom/><diagonal/></border>");

    TCellFormat& red = Made([](TCellFormat& f) { f.SetFillPatternForeColor(xcRed); });
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteFill(x, xlsx::FillOf(red)); }),
              "<fill><patternFill patternType=\"solid\"><fgColor indexed=\"10\"/><bgColor indexed=\"9\"/>"
              "</patternFill></fill>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteFill(x, xlsx::FillOf(formats.Items(15))); }),
              "<fill><patternFill patternType=\"none\"/></fill>");
}

TEST_F(StylesTest, AlignmentWrapRotationAndProtection) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteAlignment(x, formats.Items(15)); }), "") << "all defaults";
    TCellFormat& wrapped = Made([](TCellFormat& f) {
        f.SetFormatOptions(foWrapText);
        f.SetVertAlignment(vaCentered);
        f.SetHorizAlignment(haCentered);
    });
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteAlignment(x, wrapped); }),
              "<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>");
    TCellFormat& turned = Made([](TCellFormat& f) {
        f.SetRotation(-45);
        f.SetIndent(3);
        f.SetVertAlignment(vaTop);
        f.SetFormatOptions(foShrinkToFit);
        f.SetProtection(cpHidden);
    });
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteAlignment(x, turned); }),
              "<alignment vertical=\"top\" textRotation=\"135\" indent=\"3\" shrinkToFit=\"1\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteProtection(x, turned); }),
              "<protection locked=\"0\" hidden=\"1\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteProtection(x, formats.Items(15)); }), "");
}

TEST_F(StylesTest, NumberFormatsKeepBuiltInIdsOnlyForTheCodesReadersKnow) {
    // 2 ("0.00") and 49 ("@") are the codes every reader knows for those ids; the model's 14
    // ("m/d/yy") and 17 ("mmmm-yy") are not, and 42 has a locale's currency: custom ids from 164.
    TCellFormat& two = Made([](TCellFormat& f) { f.SetNumberFormat(u"0.00"); });
    TCellFormat& date = Made([](TCellFormat& f) { f.SetNumberFormat(u"m/d/yy"); });
    TCellFormat& own = Made([](TCellFormat& f) { f.SetNumberFormat(u"M/DD/YYYY"); });
    TCellFormat& text = Made([](TCellFormat& f) { f.SetNumberFormat(u"@"); });
    EXPECT_EQ(two.NumberFormatIndex(), 2);
    EXPECT_EQ(date.NumberFormatIndex(), 14);
    EXPECT_EQ(own.NumberFormatIndex(), 59);
    const TXlsxStyles styles(workbook);
    EXPECT_EQ(styles.NumFmtId(0), 0);
    EXPECT_EQ(styles.NumFmtId(2), 2);
    EXPECT_EQ(styles.NumFmtId(49), 49);
    EXPECT_EQ(styles.NumFmtId(45), 45) << "mm:ss, a default style's";
    EXPECT_EQ(styles.NumFmtId(9), 9);
    // In the order of the model's ids: 14, 42, 43, 44, 59.
    EXPECT_EQ(styles.NumFmtId(14), 164);
    EXPECT_EQ(styles.NumFmtId(42), 165);
    EXPECT_EQ(styles.NumFmtId(43), 166);
    EXPECT_EQ(styles.NumFmtId(44), 167);
    EXPECT_EQ(styles.NumFmtId(59), 168);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteNumFmt(x, 168, u"\"EUR\" #,##0;[Red]-#,##0"); }),
              "<numFmt numFmtId=\"168\" formatCode=\"&quot;EUR&quot; #,##0;[Red]-#,##0\"/>");
    static_cast<void>(text);
}

TEST_F(StylesTest, TheDefaultCellFormatIsCellXfZero) {
    Made([](TCellFormat& f) { f.SetVertAlignment(vaCentered); });  // position 22
    const TXlsxStyles styles(workbook);
    EXPECT_EQ(styles.CellXf(15), 0u);
    EXPECT_EQ(styles.CellXf(21), 1u);
    EXPECT_EQ(styles.CellXf(22), 2u);
    EXPECT_EQ(TXlsxStyles::FontId(3), 3u);
    EXPECT_EQ(TXlsxStyles::FontId(5), 4u) << "position 4 is not written";
    // Style formats are no cell formats: nothing of the model takes them.
    EXPECT_THROW(styles.CellXf(0), Error);
    EXPECT_THROW(styles.CellXf(20), Error);
}

// ---------------------------------------------------------------------------------------------
// Sheet elements

class SheetElementsTest : public ::testing::Test {
protected:
    TXLSWorkbook workbook{UsLocaleInfo()};
    // The stored values replace the sheet: the reference is taken after them.
    TSheet& sheet = (workbook.ApplyStoredValues(), workbook.Sheets()[0]);
};

TEST_F(SheetElementsTest, OutlinePropertiesFollowTheWorkspaceOptions) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetPr(x, sheet); }), "<sheetPr><outlinePr/></sheetPr>");
    // The builder's sheets: summary rows above their detail.
    sheet.SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetPr(x, sheet); }),
              "<sheetPr><outlinePr summaryBelow=\"0\"/></sheetPr>");
    sheet.SetWorkspaceOptions(woApplyStyles | woFitToPage);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetPr(x, sheet); }),
              "<sheetPr><outlinePr applyStyles=\"1\" summaryBelow=\"0\" summaryRight=\"0\" showOutlineSymbols=\"0\"/>"
              "<pageSetUpPr fitToPage=\"1\"/></sheetPr>");
}

TEST_F(SheetElementsTest, DimensionIsTheUsedArea) {
    sheet.CalcDimensions();
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteDimension(x, sheet); }), "<dimension ref=\"A1\"/>");
    sheet.SetAsFloat(2, 1, 1);
    sheet.CalcDimensions();
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteDimension(x, sheet); }), "<dimension ref=\"C2\"/>");
    sheet.SetAsFloat(16383, 1048575, 1);
    sheet.CalcDimensions();
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteDimension(x, sheet); }), "<dimension ref=\"C2:XFD1048576\"/>");
}

TEST_F(SheetElementsTest, SheetViewsWithSelectionOrFrozenPanes) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetViews(x, sheet, true); }),
              "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><selection activeCell=\"A1\" "
              "sqref=\"A1\"/></sheetView></sheetViews>");
    sheet.SetOptions(soShowFormulas | soRowColHeadings);
    sheet.SetZoom(75);
    sheet.Pane().SetPaneType(ptFrozen);
    sheet.Pane().SetSplitRowY(1);
    sheet.Pane().SetTopRow(70000);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetViews(x, sheet, false); }),
              "<sheetViews><sheetView showFormulas=\"1\" showGridLines=\"0\" showZeros=\"0\" zoomScale=\"75\" "
              "zoomScaleNormal=\"75\" workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A70001\" "
              "activePane=\"bottomLeft\" state=\"frozen\"/><selection activeCell=\"A1\" sqref=\"A1\"/>"
              "<selection pane=\"bottomLeft\" activeCell=\"A70001\" sqref=\"A70001\"/></sheetView></sheetViews>");
    sheet.Pane().SetSplitColX(2);
    sheet.Pane().SetLeftCol(300);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetViews(x, sheet, false); }),
              "<sheetViews><sheetView showFormulas=\"1\" showGridLines=\"0\" showZeros=\"0\" zoomScale=\"75\" "
              "zoomScaleNormal=\"75\" workbookViewId=\"0\"><pane xSplit=\"2\" ySplit=\"1\" topLeftCell=\"KO70001\" "
              "activePane=\"bottomRight\" state=\"frozen\"/><selection activeCell=\"A1\" sqref=\"A1\"/>"
              "<selection pane=\"bottomLeft\" activeCell=\"A70001\" sqref=\"A70001\"/>"
              "<selection pane=\"topRight\" activeCell=\"KO1\" sqref=\"KO1\"/>"
              "<selection pane=\"bottomRight\" activeCell=\"KO70001\" sqref=\"KO70001\"/></sheetView></sheetViews>");
}

TEST_F(SheetElementsTest, FormatPropertiesCarryTheOutlineLevels) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetFormatPr(x, sheet); }),
              "<sheetFormatPr defaultRowHeight=\"12.75\"/>");
    sheet.GroupRows(3, 8, true);
    sheet.GroupRows(4, 5, true);
    sheet.SetDefaultColWidth(10);
    sheet.SetDefaultRowHeight(300);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetFormatPr(x, sheet); }),
              "<sheetFormatPr baseColWidth=\"10\" defaultRowHeight=\"15\" customHeight=\"1\" outlineLevelRow=\"2\"/>");
}

TEST_F(SheetElementsTest, ColumnRunsWithWidthsAndStyles) {
    TXLSColumns& columns = sheet.Columns();
    {
        const TXlsxStyles styles(workbook);
        EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteCols(x, sheet, styles); }), "") << "no column objects";
    }
    columns.EnsureColumns(0, 3);
    columns.Items(0)->SetWidth(10);
    columns.Items(1)->SetWidth(10);
    columns.Items(2)->SetWidth(12.5);
    columns.EnsureColumns(299, 2);  // beyond a BIFF8 sheet
    columns.Items(299)->SetHidden(true);
    columns.Items(299)->SetOutlineLevel(2);
    columns.Items(300)->SetCollapsed(true);
    columns.Items(300)->SetBorderLeftStyle(cbsThin);
    const TXlsxStyles styles(workbook);
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteCols(x, sheet, styles); }),
              "<cols><col min=\"1\" max=\"2\" width=\"10\" customWidth=\"1\"/>"
              "<col min=\"3\" max=\"3\" width=\"12.5\" customWidth=\"1\"/>"
              "<col min=\"300\" max=\"300\" width=\"9.765625\" hidden=\"1\" outlineLevel=\"2\"/>"
              "<col min=\"301\" max=\"301\" width=\"9.765625\" style=\"2\" collapsed=\"1\"/></cols>");
}

TEST_F(SheetElementsTest, RowsWithHeightOutlineAndFormat) {
    MaxRow = 1048575;
    sheet.GroupRows(1048574, 1048575, true);
    TXLSRow& tall = sheet.Rows().Add(5);
    tall.SetHeight(510);
    tall.SetOptions(tall.Options() | TXLSRow::CustomHeight);
    tall.SetVertAlignment(vaCentered);
    const TXlsxStyles styles(workbook);
    const TXLSRows& rows = sheet.Rows();
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteRowStart(x, 5, rows.Find(5), styles, false); }),
              "<row r=\"6\" s=\"2\" customFormat=\"1\" ht=\"25.5\" customHeight=\"1\">");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteRowStart(x, 1048575, rows.Find(1048575), styles, true); }),
              "<row r=\"1048576\" hidden=\"1\" outlineLevel=\"1\" collapsed=\"1\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteRowStart(x, 7, nullptr, styles, false); }), "<row r=\"8\">");
    MaxRow = 65535;
}

TEST_F(SheetElementsTest, MergedAreasInTheirOrder) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteMergeCells(x, sheet); }), "");
    sheet.MergedCells().AddArea(0, 0, 7, 0);
    sheet.MergedCells().AddArea(3, 9, 1, 7);            // corners reversed
    sheet.MergedCells().AddArea(300, 70000, 301, 70002);  // beyond a BIFF8 sheet
    sheet.MergedCells().AddArea(16383, 5, 16390, 5);      // cut to a single cell: left out
    sheet.MergedCells().AddArea(16000, 1048570, 16999, 1048999);  // cut to the sheet
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteMergeCells(x, sheet); }),
              "<mergeCells count=\"4\"><mergeCell ref=\"A1:H1\"/><mergeCell ref=\"B8:D10\"/>"
              "<mergeCell ref=\"KO70001:KP70003\"/><mergeCell ref=\"WQK1048571:XFD1048576\"/></mergeCells>");
}

TEST_F(SheetElementsTest, PrintSettingsOfTheStoredRecords) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePrintOptions(x, sheet); }), "");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageMargins(x, sheet); }),
              "<pageMargins left=\"0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageSetup(x, sheet); }),
              "<pageSetup paperSize=\"9\" scale=\"100\" orientation=\"portrait\" horizontalDpi=\"600\" "
              "verticalDpi=\"600\"/>");
    TPrintSettings& print = sheet.PrintSettings();
    print.SetOptions(psoLeftToRight | psoNoColor | psoGridlines | psoHorizCenter);
    print.SetPaperSize(psLetter);
    print.SetStartingPage(3);
    print.SetFitWidth(2);
    print.SetCopies(4);
    print.SetMarginTop(-1);
    print.SetHeader(u"&LLeft & right");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePrintOptions(x, sheet); }),
              "<printOptions horizontalCentered=\"1\" gridLines=\"1\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageMargins(x, sheet); }),
              "<pageMargins left=\"0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageSetup(x, sheet); }),
              "<pageSetup paperSize=\"1\" scale=\"100\" firstPageNumber=\"3\" fitToWidth=\"2\" "
              "pageOrder=\"overThenDown\" orientation=\"landscape\" blackAndWhite=\"1\" useFirstPageNumber=\"1\" "
              "horizontalDpi=\"600\" verticalDpi=\"600\" copies=\"4\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteHeaderFooter(x, sheet); }),
              "<headerFooter><oddHeader>&amp;LLeft &amp; right</oddHeader></headerFooter>");
}

TEST_F(SheetElementsTest, ProtectionAndPageBreaks) {
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetProtection(x, sheet); }), "");
    sheet.SetSheetProtection(AllSheetProtections & ~(spEditObjects | spSelectLockedCells | spSort));
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WriteSheetProtection(x, sheet); }),
              "<sheetProtection sheet=\"1\" objects=\"1\" formatCells=\"0\" formatColumns=\"0\" formatRows=\"0\" "
              "insertColumns=\"0\" insertRows=\"0\" insertHyperlinks=\"0\" deleteColumns=\"0\" deleteRows=\"0\" "
              "selectLockedCells=\"1\" autoFilter=\"0\" pivotTables=\"0\"/>");
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageBreaks(x, sheet); }), "");
    sheet.PrintSettings().AddHorizPagebreak(9);
    sheet.PrintSettings().AddVertPagebreak(3).Row1 = 2;
    EXPECT_EQ(Xml([&](TXmlWriter& x) { xlsx::WritePageBreaks(x, sheet); }),
              "<rowBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"10\" max=\"255\" man=\"1\"/></rowBreaks>"
              "<colBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"4\" min=\"2\" max=\"65535\" man=\"1\"/>"
              "</colBreaks>");
}

}  // namespace
}  // namespace quarvel
