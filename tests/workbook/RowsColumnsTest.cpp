// Row objects, the row outline with its GUTS record, ROW bodies, column widths and COLINFO runs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/workbook/WorkbookSupport.h"
#include "workbook/Columns.h"
#include "workbook/Rows.h"
#include "workbook/XLSUtils.h"

namespace quarvel {
namespace {

using test::Hex;

using test::ErrorText;

class RowsTest : public ::testing::Test {
protected:
    TXFonts fonts;
    TCellFormats formats{&fonts, true};
    TXLSRows rows{formats};
    uint8_t guts[8] = {};

    std::string RowRecord(int i) {
        uint8_t body[TXLSRows::RowRecordSize];
        rows.GetRowRecord(i, body);
        return Hex(body, sizeof body);
    }
    std::vector<int> RowNumbers() {
        std::vector<int> numbers;
        for (int i = 0; i < rows.Count(); ++i) numbers.push_back(rows.Items(i).Row());
        return numbers;
    }
};

TEST_F(RowsTest, GroupingAFreshRangeCreatesCollapsedHiddenRows) {
    rows.GroupRows(3, 5, true, guts);
    ASSERT_EQ(RowNumbers(), (std::vector<int>{3, 4, 5}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rows.Items(i).Options(), 0x31) << i;
    EXPECT_EQ(Hex(guts, 8), "1D 00 00 00 02 00 00 00");
    EXPECT_EQ(RowRecord(0), "03 00 00 00 FF 00 FF 00 00 00 00 00 31 01 0F 00");
    EXPECT_EQ(RowRecord(2), "05 00 00 00 FF 00 FF 00 00 00 00 00 31 01 0F 00");

    rows.GroupRows(4, 4, true, guts);
    EXPECT_EQ(rows.Items(1).Options(), 0x32);
    EXPECT_EQ(rows.Items(1).OutlineLevel(), 2);
    EXPECT_EQ(Hex(guts, 8), "3A 00 00 00 03 00 00 00");
    EXPECT_EQ(RowRecord(1), "04 00 00 00 FF 00 FF 00 00 00 00 00 32 01 0F 00");
}

TEST_F(RowsTest, GroupingWithoutCollapseClearsTheMarks) {
    rows.GroupRows(0, 0, true, guts);
    rows.GroupRows(0, 0, false, guts);
    EXPECT_EQ(rows.Items(0).Options(), 0x02);
}

TEST_F(RowsTest, GutsIsOnlyEverRaisedAndKeepsTheColumnFields) {
    guts[2] = 0x11;  // column gutter
    guts[6] = 0x05;  // column levels
    rows.GroupRows(10, 10, true, guts);
    rows.GroupRows(10, 10, true, guts);
    EXPECT_EQ(Hex(guts, 8), "3A 00 11 00 03 00 05 00");
    rows.GroupRows(20, 22, true, guts);  // level 1 elsewhere
    EXPECT_EQ(Hex(guts, 8), "3A 00 11 00 03 00 05 00");
}

TEST_F(RowsTest, NothingHappensForAnEmptyRange) {
    rows.GroupRows(5, 4, true, guts);
    EXPECT_EQ(rows.Count(), 0);
    EXPECT_EQ(Hex(guts, 8), "00 00 00 00 00 00 00 00");
}

TEST_F(RowsTest, LevelsStopAtSeven) {
    for (int i = 0; i < 6; ++i) rows.GroupRows(1, 1, true, guts);
    rows.GroupRows(0, 2, true, guts);  // row 1 reaches 7
    EXPECT_EQ(rows.Find(1)->OutlineLevel(), 7);
    EXPECT_EQ(Hex(guts, 8), "CB 00 00 00 08 00 00 00");
    EXPECT_EQ(ErrorText([&] { rows.GroupRows(0, 2, true, guts); }),
              "Row grouping level more than 7.");
    EXPECT_EQ(rows.Find(0)->OutlineLevel(), 2) << "rows before the failing one keep the change";
    EXPECT_EQ(rows.Find(1)->OutlineLevel(), 7);
    EXPECT_EQ(rows.Find(2)->OutlineLevel(), 1) << "rows after it are untouched";
}

TEST_F(RowsTest, AddKeepsOneSortedEntryPerRow) {
    EXPECT_EQ(rows.IndexOf(0), -1) << "empty list";
    for (int row : {5, 2, 9, 2, 7, 0, 9}) rows.Add(row);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{0, 2, 5, 7, 9}));
    EXPECT_EQ(rows.IndexOf(7), 3);
    EXPECT_EQ(rows.IndexOf(8), -1);
    EXPECT_EQ(rows.IndexOf(-1), -1);
    EXPECT_EQ(rows.Find(6), nullptr);
    EXPECT_EQ(&rows.Add(5), rows.Find(5));
    const TXLSRow& row = rows.Items(0);
    EXPECT_EQ(row.FormatIndex(), 15);
    EXPECT_EQ(row.Height(), 255);
    EXPECT_EQ(row.FirstCol(), 0);
    EXPECT_EQ(row.LastCol(), MaxCol);
    EXPECT_EQ(row.Options(), 0);
    EXPECT_EQ(ErrorText([&] { rows.Items(5); }), "List index out of bounds (5)");
}

// A row beyond the sheet's limits is not part of it, and one beyond 16 bits keeps its number.
TEST_F(RowsTest, RowsBeyondTheSheetAreLeftOut) {
    rows.Add(10);
    EXPECT_THROW(rows.Add(MaxRow + 1), Error);
    EXPECT_THROW(rows.Add(-1), Error);
    EXPECT_EQ(rows.IndexOf(MaxRow + 1), -1);
    rows.GroupRows(MaxRow - 1, MaxRow + 10, true, guts);
    EXPECT_EQ(RowNumbers(), (std::vector<int>{10, MaxRow - 1, MaxRow}));
    EXPECT_EQ(rows.Find(10)->OutlineLevel(), 0) << "65546 must not land on row 10";
}

TEST_F(RowsTest, RowRecordCarriesTheFormatAndItsFlag) {
    TXLSRow& row = rows.Add(2);
    row.SetOptions(0x80);  // claims a format it does not have
    EXPECT_EQ(RowRecord(0), "02 00 00 00 FF 00 FF 00 00 00 00 00 00 01 0F 00");
    row.SetVertAlignment(vaCentered);
    row.SetHeight(400);
    row.SetLastCol(300);
    EXPECT_EQ(RowRecord(0), "02 00 00 00 FF 00 90 01 00 00 00 00 80 01 16 00");
}

TEST_F(RowsTest, RowsReportFormatChangesToTheListHandler) {
    std::vector<std::pair<int, int>> reported;  // row, format position
    rows.Add(3);
    rows.SetOnFormatChange([&](TFormattedObjectNotify&, TCellFormat& format, int32_t index) {
        reported.push_back({index, format.Index()});
    });
    rows.Add(8);
    rows.Find(3)->SetBorderTopStyle(cbsThin);
    rows.Find(8)->SetBorderTopStyle(cbsThin);
    rows.Find(8)->SetBorderTopStyle(cbsThin);
    EXPECT_EQ(reported, (std::vector<std::pair<int, int>>{{3, 22}, {8, 22}}));
}

TEST(Row, CreatedOnAnOwnFormatIsFlagged) {
    TXFonts fonts;
    TCellFormats formats(&fonts, true);
    EXPECT_EQ(TXLSRow(formats, 21, 1).Options(), TXLSRow::OwnFormat);
    EXPECT_EQ(TXLSRow(formats, 15, 1).Options(), 0);
    EXPECT_EQ(TXLSRow(formats, 15, 70000).Row(), 70000) << "the whole row number, for sheets beyond 65,536 rows";
}

// ---------------------------------------------------------------------------------------------
// Columns

class ColumnsTest : public ::testing::Test {
protected:
    TXFonts fonts;
    TCellFormats formats{&fonts, true};
    TXLSColumns columns{formats};

    std::vector<std::string> ColInfo() {
        test::RecordCollector sink;
        columns.WriteColInfo(sink);
        std::vector<std::string> bodies;
        for (const auto& record : sink.records) {
            EXPECT_EQ(record.id, 0x007D);
            bodies.push_back(Hex(record.body));
        }
        return bodies;
    }
};

TEST_F(ColumnsTest, EqualNeighboursShareOneRecord) {
    columns.EnsureColumns(0, 3);
    columns.Items(0)->SetWidth(10);
    columns.Items(1)->SetWidth(10);
    columns.Items(2)->SetWidth(12);
    EXPECT_EQ(ColInfo(), (std::vector<std::string>{"00 00 01 00 00 0A 0F 00 02 00 00 00",
                                                   "02 00 02 00 00 0C 0F 00 02 00 00 00"}));
}

TEST_F(ColumnsTest, RunsBreakAtGapsAndDifferences) {
    columns.EnsureColumns(0, 8);
    columns.DeleteColumns(3, 3);              // gap at 3
    columns.Items(1)->SetCustomWidth(true);   // not compared: stays in the run of 0
    columns.Items(2)->SetHidden(true);
    columns.Items(4)->SetOutlineLevel(2);
    columns.Items(5)->SetCollapsed(true);
    columns.Items(6)->SetBorderLeftStyle(cbsThin);  // own format
    EXPECT_EQ(ColInfo(), (std::vector<std::string>{
                             "00 00 01 00 C4 09 0F 00 00 00 00 00",  // 2500 raw: options 0
                             "02 00 02 00 C4 09 0F 00 01 00 00 00",
                             "04 00 04 00 C4 09 0F 00 00 02 00 00",
                             "05 00 05 00 C4 09 0F 00 00 10 00 00",
                             "06 00 06 00 C4 09 16 00 00 00 00 00",
                             "07 00 07 00 C4 09 0F 00 00 00 00 00",
                         }));
    columns.Items(0)->SetWidth(5);
    EXPECT_EQ(ColInfo()[0], "00 00 00 00 00 05 0F 00 02 00 00 00");
    EXPECT_EQ(ColInfo()[1], "01 00 01 00 C4 09 0F 00 02 00 00 00") << "custom-width flag";
}

TEST_F(ColumnsTest, OnlyTheFirst256SlotsAreWritten) {
    columns.EnsureColumns(250, 20);
    EXPECT_EQ(ColInfo(), (std::vector<std::string>{"FA 00 FF 00 C4 09 0F 00 00 00 00 00"}));
    columns.EnsureColumns(300, 1);
    ASSERT_NE(columns.Items(300), nullptr);
    // The whole column number: a format change of column 300 goes to column 300.
    EXPECT_EQ(columns.Items(300)->Col(), 300);
    EXPECT_EQ(columns.Items(300)->GetIndex(), 300);
}

TEST_F(ColumnsTest, WidthRoundsHalvesToEvenAndRejectsOutOfRange) {
    columns.EnsureColumns(0, 1);
    TXLSColumn& column = *columns.Items(0);
    struct Case {
        double characters;
        int32_t raw;
    } cases[] = {
        {10, 2560}, {255.9, 65510}, {0, 0}, {0.5 / 256, 0}, {1.5 / 256, 2},
        {2.5 / 256, 2}, {65535.0 / 256, 65535}, {-0.4 / 256, 0},
    };
    for (const Case& c : cases) {
        column.SetWidth(c.characters);
        EXPECT_EQ(column.RawWidth(), c.raw) << c.characters;
    }
    column.SetWidth(12);
    const double invalid[] = {256, -1, 65535.6 / 256, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()};
    for (double value : invalid) {
        EXPECT_EQ(ErrorText([&] { column.SetWidth(value); }), "Invalid value") << value;
        EXPECT_EQ(column.RawWidth(), 3072) << value;
    }
    EXPECT_DOUBLE_EQ(column.Width(), 12.0);
}

TEST_F(ColumnsTest, EnsureAndDeleteColumns) {
    columns.EnsureColumns(0, 0);
    columns.EnsureColumns(5, -2);
    for (int c = 0; c < 10; ++c) EXPECT_EQ(columns.Items(c), nullptr);
    columns.EnsureColumns(2, 2);
    TXLSColumn* kept = columns.Items(2);
    kept->SetWidth(20);
    columns.EnsureColumns(1, 3);
    EXPECT_EQ(columns.Items(2), kept) << "existing columns stay";
    EXPECT_EQ(columns.Items(1)->RawWidth(), 2500);
    EXPECT_EQ(columns.Items(1)->FormatIndex(), 15);
    EXPECT_EQ(columns.Items(4), nullptr);
    columns.EnsureColumns(16383, 1);
    EXPECT_THROW(columns.EnsureColumns(16383, 2), Error);
    EXPECT_THROW(columns.Items(16384), Error);
    EXPECT_THROW(columns.Items(-1), Error);

    struct Range {
        int first, last;
    } bad[] = {{-1, 0}, {5, 4}, {0, 16384}};
    for (const Range& r : bad) {
        EXPECT_EQ(ErrorText([&] { columns.DeleteColumns(r.first, r.last); }), "Invalid columns");
    }
    columns.DeleteColumns(2, 16383);
    EXPECT_NE(columns.Items(1), nullptr);
    EXPECT_EQ(columns.Items(2), nullptr);
    EXPECT_EQ(columns.Items(16383), nullptr);
}

TEST_F(ColumnsTest, ColumnsReportFormatChangesWithTheirNumber) {
    std::vector<int> reported;
    columns.SetOnFormatChange(
        [&](TFormattedObjectNotify&, TCellFormat&, int32_t index) { reported.push_back(index); });
    columns.EnsureColumns(258, 1);
    columns.Items(258)->SetFormatOptions(foWrapText);
    // Column 258 itself (a sheet of 16,384 columns has it), not column 2 of its low 8 bits.
    EXPECT_EQ(reported, std::vector<int>{258});
}

}  // namespace
}  // namespace quarvel
