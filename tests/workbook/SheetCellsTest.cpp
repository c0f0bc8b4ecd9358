// The sheet's cell operations: writing values over cells, default formats from columns and rows,
// date-time formats, deleting, format propagation, the text length limit and the used area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/PlatformSupport.h"
#include "tests/workbook/WorkbookSupport.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

using test::Hex;

class SheetCellsTest : public ::testing::Test {
protected:
    TXLSWorkbook workbook{TLocaleInfo{}};
    TSheet& sheet = workbook.Sheets()[0];
    TCellFormats& formats = workbook.Formats();
    TSST2& strings = workbook.SST();

    std::string Dimensions() {
        sheet.CalcDimensions();
        return Hex(sheet.Records().Dimensions().Body(), TRecordStorageSheet::DimensionsSize);
    }
};

TEST_F(SheetCellsTest, AValueWrittenOverACellKeepsItsFormatAndDropsItsText) {
    sheet.SetAsWideString(1, 1, u"before");
    sheet.Cell(1, 1)->SetBorderTopStyle(cbsThin);
    sheet.Cell(1, 1)->SetNumberFormat(u"0.00");
    TCellFormat* format = &sheet.Cell(1, 1)->Format();
    ASSERT_EQ(format->RefCount(), 1);
    ASSERT_EQ(strings.UniqueCount(), 1u);

    sheet.SetAsFloat(1, 1, 5.5);
    EXPECT_EQ(sheet.CellType(1, 1), ctFloat);
    EXPECT_EQ(sheet.AsFloat(1, 1), 5.5);
    EXPECT_EQ(&sheet.Cell(1, 1)->Format(), format);
    EXPECT_EQ(format->RefCount(), 1);
    EXPECT_EQ(sheet.Cell(1, 1)->NumberFormat(), u"0.00");
    EXPECT_EQ(strings.UniqueCount(), 0u);
    EXPECT_EQ(strings.TotalCount(), 0u);

    sheet.SetAsWideString(1, 1, u"after");
    sheet.SetAsWideString(2, 1, u"after");
    EXPECT_EQ(static_cast<TStringCell*>(sheet.Cell(1, 1))->StringEntry()->RefCount(), 2);
    EXPECT_EQ(sheet.AsString(1, 1), u"after");
    EXPECT_EQ(&sheet.Cell(1, 1)->Format(), format) << "again the old format";
}

TEST_F(SheetCellsTest, NewCellsTakeTheColumnFormatElseTheRowFormat) {
    sheet.Columns().EnsureColumns(2, 3);          // column 2 formatted, 3 and 4 plain
    sheet.Columns().Items(2)->SetIndent(1);
    sheet.Rows().Add(5).SetIndent(2);
    sheet.Rows().Add(6);                          // a row object on format 15
    TCellFormat& columnFormat = sheet.Columns().Items(2)->Format();
    TCellFormat& rowFormat = sheet.Rows().Find(5)->Format();
    struct Case {
        int col, row;
        int indent;
    };
    const Case cases[] = {
        {2, 5, 1},  // both: the column wins
        {2, 9, 1},  // column only
        {3, 5, 2},  // a plain column object: the row decides
        {7, 5, 2},  // no column object
        {3, 6, 0},  // plain row object and plain column object
        {8, 8, 0},  // nothing
    };
    for (const Case& c : cases) {
        const int columnCount = columnFormat.RefCount(), rowCount = rowFormat.RefCount();
        sheet.SetAsFloat(c.col, c.row, 1.0);
        EXPECT_EQ(sheet.Cell(c.col, c.row)->Indent(), c.indent) << c.col << ":" << c.row;
        EXPECT_EQ(columnFormat.RefCount() - columnCount, c.indent == 1 ? 1 : 0) << c.col << ":" << c.row;
        EXPECT_EQ(rowFormat.RefCount() - rowCount, c.indent == 2 ? 1 : 0) << c.col << ":" << c.row;
    }
    // Writing over a cell keeps that cell's format: the default reference is given back.
    const int columnCount = columnFormat.RefCount();
    sheet.SetAsWideString(2, 5, u"x");
    EXPECT_EQ(columnFormat.RefCount(), columnCount);
}

TEST_F(SheetCellsTest, DateTimeFormatsFollowTheWholeAndFractionalParts) {
    struct Case {
        double x;
        std::u16string format;
    };
    const Case cases[] = {
        {45000.5, u"M/d/yyyy h:mm AM/PM"},
        {45000, u"M/d/yyyy"},
        {0.25, u"h:mm AM/PM"},
        {0, u""},
        {-1, u""},
        {-1.5, u""},  // the fraction of a negative value is negative
    };
    int col = 0;
    for (const Case& c : cases) {
        sheet.SetAsDateTime(col, 0, c.x);
        EXPECT_EQ(sheet.AsFloat(col, 0), c.x);
        EXPECT_EQ(sheet.Cell(col, 0)->NumberFormat(), c.format) << c.x;
        ++col;
    }
    // Without a change of format the cell keeps what it had.
    sheet.SetAsFloat(0, 1, 3);
    sheet.Cell(0, 1)->SetNumberFormat(u"0.00");
    sheet.SetAsDateTime(0, 1, 0);
    EXPECT_EQ(sheet.Cell(0, 1)->NumberFormat(), u"0.00");
}

TEST_F(SheetCellsTest, TheAmPmPlaceholderBecomesTheTwoPartDesignator) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"h:mm AMPM", u"h:mm AM/PM"},
        {u"h:mm ampm", u"h:mm am/pm"},
        {u"AmPm h:mm", u"Am/Pm h:mm"},
        {u"hh:mm aMpM x AMPM", u"hh:mm aM/pM x AMPM"},  // the first occurrence only
        {u"HH:mm", u"HH:mm"},
        {u"h:mm AMP", u"h:mm AMP"},
    };
    for (const auto& [shortTime, pattern] : cases) {
        TLocaleInfo locale;
        locale.ShortDateFormat = u"dd.MM.yyyy";
        locale.ShortTimeFormat = shortTime;
        workbook.SetLocale(locale);
        sheet.SetAsDateTime(0, 0, 0.75);
        EXPECT_EQ(sheet.Cell(0, 0)->NumberFormat(), pattern);
        sheet.SetAsDateTime(1, 0, 40000.75);
        EXPECT_EQ(sheet.Cell(1, 0)->NumberFormat(), u"dd.MM.yyyy " + pattern);
    }
}

TEST_F(SheetCellsTest, DeletingACellGivesBackItsStringAndFormat) {
    sheet.SetAsWideString(0, 0, u"shared");
    sheet.SetAsWideString(1, 0, u"shared");
    sheet.Cell(1, 0)->SetIndent(3);
    TSSTEntry* entry = static_cast<TStringCell*>(sheet.Cell(0, 0))->StringEntry();
    ASSERT_EQ(entry->RefCount(), 2);
    ASSERT_EQ(formats.Count(), 23);

    sheet.DeleteCell(1, 0);
    EXPECT_EQ(sheet.Cell(1, 0), nullptr);
    EXPECT_EQ(entry->RefCount(), 1);
    EXPECT_EQ(strings.TotalCount(), 1u);
    EXPECT_EQ(formats.Count(), 22);
    sheet.DeleteCell(1, 0);  // absent: nothing
    sheet.DeleteCell(20000, 5);
    sheet.DeleteCell(0, 0);
    EXPECT_EQ(strings.UniqueCount(), 0u);
    EXPECT_EQ(sheet.Cells().CellCount(), 0);
}

TEST_F(SheetCellsTest, FormatChangesOfRowsAndColumnsReachTheUsedAreaAsLastComputed) {
    for (int col : {0, 1, 5}) sheet.SetAsFloat(col, 3, col);
    sheet.SetAsFloat(2, 0, 1);
    sheet.SetAsFloat(2, 7, 1);
    // Not computed yet: the used area is 0..0, so only column 0 of the row and row 0 of the
    // column are reached.
    sheet.Rows().Add(3).SetIndent(4);
    EXPECT_EQ(sheet.Cell(0, 3)->Indent(), 4);
    EXPECT_EQ(sheet.Cell(1, 3)->Indent(), 0);
    sheet.Columns().EnsureColumns(2, 1);
    sheet.Columns().Items(2)->SetIndent(5);
    EXPECT_EQ(sheet.Cell(2, 0)->Indent(), 5);
    EXPECT_EQ(sheet.Cell(2, 7)->Indent(), 0);

    sheet.CalcDimensions();
    sheet.Rows().Find(3)->SetIndent(6);
    for (int col : {0, 1, 5}) EXPECT_EQ(sheet.Cell(col, 3)->Indent(), 6) << col;
    sheet.Columns().Items(2)->SetIndent(7);
    EXPECT_EQ(sheet.Cell(2, 0)->Indent(), 7);
    EXPECT_EQ(sheet.Cell(2, 7)->Indent(), 7);
    EXPECT_EQ(sheet.Cell(1, 3)->Indent(), 6) << "another column";
}

TEST_F(SheetCellsTest, LongTextsAreCutWithoutSplittingACharacter) {
    const char16_t high = 0xD83D, low = 0xDE00;  // one character outside the basic plane
    auto pairAt = [&](size_t index, size_t length) {
        WideString text(length, u'a');
        text[index] = high;
        text[index + 1] = low;
        return text;
    };
    struct Case {
        const char* what;
        WideString text;
        size_t kept;
        bool cut;
    };
    const Case cases[] = {
        {"at the limit", WideString(32767, u'a'), 32767, false},
        {"one unit more", WideString(32768, u'a'), 32767, true},
        {"beyond the string table's count", WideString(70000, u'b'), 32767, true},
        {"a pair across the cut", pairAt(32766, 40000), 32766, true},
        {"a pair ending at the cut", pairAt(32765, 40000), 32767, true},
        {"a pair within a short text", pairAt(10, 20), 20, false},
        {"empty", WideString(), 0, false},
    };
    int64_t cuts = 0;
    int row = 0;
    for (const Case& c : cases) {
        sheet.SetAsWideString(0, row, c.text);
        const WideString stored = sheet.AsString(0, row);
        EXPECT_EQ(sheet.CellType(0, row), ctString) << c.what;
        EXPECT_EQ(stored.size(), c.kept) << c.what;
        EXPECT_EQ(stored, c.text.substr(0, c.kept)) << c.what;
        if (c.cut) ++cuts;
        EXPECT_EQ(sheet.TruncatedTexts(), cuts) << c.what;
        ++row;
    }
    EXPECT_EQ(workbook.TruncatedTexts(), cuts);
}

TEST_F(SheetCellsTest, WritingOutsideTheAddressSpaceChangesNothing) {
    sheet.Columns().EnsureColumns(2, 1);
    sheet.Columns().Items(2)->SetIndent(1);
    TCellFormat& format = sheet.Columns().Items(2)->Format();
    const int count = format.RefCount();
    EXPECT_THROW_MSG(sheet.SetAsFloat(2, 1048576, 1.0), Error,
                     "Cell 2:1048576 is outside the sheet (columns 0 to 16383, rows 0 to 1048575)");
    EXPECT_THROW(sheet.SetAsWideString(2, -1, u"x"), Error);
    EXPECT_THROW(sheet.SetAsDateTime(16384, 0, 1.5), Error);
    EXPECT_EQ(format.RefCount(), count);
    EXPECT_EQ(strings.TotalCount(), 0u);
    EXPECT_EQ(sheet.Cells().CellCount(), 0);
    EXPECT_EQ(sheet.CellType(16384, 0), ctNone);

    // Within the address space but beyond BIFF8: stored (the writer leaves such cells out).
    sheet.SetAsFloat(300, 70000, 2.0);
    EXPECT_EQ(sheet.AsFloat(300, 70000), 2.0);
}

TEST_F(SheetCellsTest, ReadingValues) {
    sheet.SetAsWideString(0, 0, u"");
    sheet.Range().Area(1, 0, 1, 0).FillBlanks();
    const std::pair<double, std::u16string> numbers[] = {
        {1.5, u"1.5"}, {-0.1, u"-0.1"}, {1e20, u"1E20"}, {1.5e-7, u"1.5E-7"},
        {123456789012345678.0, u"1.23456789012346E17"}, {100, u"100"},
    };
    int col = 2;
    for (const auto& [value, text] : numbers) sheet.SetAsFloat(col++, 0, value);

    EXPECT_EQ(sheet.CellType(0, 0), ctString) << "an empty text is a text cell";
    EXPECT_EQ(sheet.AsString(0, 0), u"");
    EXPECT_EQ(sheet.CellType(1, 0), ctBlank);
    EXPECT_EQ(sheet.AsFloat(1, 0), 0.0);
    EXPECT_EQ(sheet.AsFloat(0, 0), 0.0);
    EXPECT_EQ(sheet.CellType(9, 9), ctNone);
    EXPECT_EQ(sheet.AsString(9, 9), u"");
    col = 2;
    for (const auto& [value, text] : numbers) EXPECT_EQ(sheet.AsString(col++, 0), text) << value;
}

TEST_F(SheetCellsTest, UsedAreaGoesIntoTheDimensionsRecord) {
    // first row (32 bits), last row + 1 (32 bits), first column, last column + 1, 0
    EXPECT_EQ(Dimensions(), "00 00 00 00 01 00 00 00 00 00 01 00 00 00") << "empty sheet";
    sheet.SetAsFloat(3, 10, 1);
    sheet.SetAsFloat(7, 2, 1);
    EXPECT_EQ(Dimensions(), "02 00 00 00 0B 00 00 00 03 00 08 00 00 00");
    EXPECT_EQ((std::vector<int32_t>{sheet.FirstCol(), sheet.LastCol(), sheet.FirstRow(), sheet.LastRow()}),
              (std::vector<int32_t>{3, 7, 2, 10}));

    TXLSWorkbook other{TLocaleInfo{}};
    TSheet& wide = other.Sheets()[0];
    wide.SetAsFloat(255, 65535, 1);  // the last cell of the sheet alone: 65536 rows, 256 columns
    wide.CalcDimensions();
    EXPECT_EQ(Hex(wide.Records().Dimensions().Body(), 14), "FF FF 00 00 00 00 01 00 FF 00 00 01 00 00");
    wide.DeleteCell(255, 65535);
    wide.SetAsFloat(300, 5, 1);  // the first column starts from MaxCol 255; the writer lowers the last
    wide.CalcDimensions();
    EXPECT_EQ(Hex(wide.Records().Dimensions().Body(), 14), "05 00 00 00 06 00 00 00 FF 00 2D 01 00 00");
    wide.DeleteCell(300, 5);
    wide.SetAsFloat(0, 70000, 1);  // the first row starts from MaxRow 65535
    wide.CalcDimensions();
    EXPECT_EQ(Hex(wide.Records().Dimensions().Body(), 14), "FF FF 00 00 71 11 01 00 00 00 01 00 00 00");
    wide.DeleteCell(0, 70000);  // no cell left: the store still has its blocks, the area is empty
    wide.CalcDimensions();
    EXPECT_EQ(Hex(wide.Records().Dimensions().Body(), 14), "FF FF 00 00 FF FF 00 00 FF 00 FF 00 00 00");
}

}  // namespace
}  // namespace quarvel
