// The sheet builder against the workbook model in memory: cells, formats, borders, widths, wrap,
// merged areas, the row outline and the errors that stop a conversion.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/Fields.h"
#include "converter/SheetBuilder.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "tests/platform/PlatformSupport.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

// Colours of the /c switch (0x00BBGGRR) and their palette indexes.
constexpr uint32_t kNavy = 0x800000;
constexpr uint32_t kRed = 0x0000FF;

class SheetBuilderTest : public ::testing::Test {
protected:
    SheetBuilderTest() {
        converter.Settings.FieldDivider = u";";
        workbook->ApplyStoredValues();
    }

    TConversionReport Fill(std::vector<WideString> lines) {
        converter.Lines = std::move(lines);
        return FillWorkbook(converter, *workbook);
    }

    // A new workbook for the next fill, as every conversion gets one.
    void Fresh() {
        workbook = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
        workbook->ApplyStoredValues();
    }

    TSheet& Sheet() { return workbook->Sheets()[0]; }

    TCell& CellAt(int col, int row) {
        TCell* cell = Sheet().Cell(col, row);
        if (!cell) throw std::runtime_error("no cell at " + std::to_string(col) + ":" + std::to_string(row));
        return *cell;
    }

    // The four edges of a cell as "TLRB" style letters (t thin, - none) and their colour indexes.
    std::string Borders(int col, int row) {
        TCell& cell = CellAt(col, row);
        auto style = [](TCellBorderStyle s) { return s == cbsNone ? '-' : s == cbsThin ? 't' : '?'; };
        std::string text{style(cell.BorderTopStyle()), style(cell.BorderLeftStyle()),
                         style(cell.BorderRightStyle()), style(cell.BorderBottomStyle())};
        for (TExcelColor c : {cell.BorderTopColor(), cell.BorderLeftColor(), cell.BorderRightColor(),
                              cell.BorderBottomColor()}) {
            text += " " + std::to_string(int(c));
        }
        return text;
    }

    int OutlineLevel(int row) {
        TXLSRow* entry = Sheet().Rows().Find(row);
        return entry ? entry->OutlineLevel() : 0;
    }

    TConverter converter;  // US conventions
    std::unique_ptr<TXLSWorkbook> workbook = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
};

TEST_F(SheetBuilderTest, FieldsBecomeTypedCellsWithMirroringNumberFormats) {
    struct Case {
        const char16_t* field;
        TCellType type;
        double number;           // for number cells
        const char16_t* text;    // for text cells
        const char16_t* format;  // number format string of the cell
    };
    const Case cases[] = {
        {u"123", ctFloat, 123, u"", u"0"},
        {u"-3.14", ctFloat, -3.14, u"", u"0.00"},
        {u"1,234.5", ctFloat, 1234.5, u"", u"#,##0.0"},
        {u"1e5", ctFloat, 100000, u"", u"0e-0"},  // scientific, as the field writes it
        // The date's locale format (M/d/yyyy) is replaced by the one that mirrors the text.
        {u"5/12/2009", ctFloat, DateSerial(2009, 5, 12), u"", u"M/DD/YYYY"},
        {u"abc", ctString, 0, u"abc", u""},
        {u"12F3", ctString, 0, u"12F3", u""},
        {u"1e309", ctString, 0, u"1e309", u""},                          // beyond a double: text
        {u"-1,234,567,890.1234", ctFloat, -1234567890.1234, u"", u"#,##0.0000"},  // 19 characters
        // More digits than a double holds: text, so that every digit stays.
        {u"1234567890123456789", ctString, 0, u"1234567890123456789", u""},
        {u"12345678901234567890", ctString, 0, u"12345678901234567890", u""},
        {u"", ctString, 0, u"", u""},  // an empty field is an empty text cell, not a blank one
    };
    std::vector<WideString> lines;
    for (const Case& c : cases) lines.push_back(WideString(c.field) + u";x");
    Fill(lines);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const int row = static_cast<int>(i);
        SCOPED_TRACE(Utf16ToUtf8(c.field));
        ASSERT_EQ(Sheet().CellType(0, row), c.type);
        if (c.type == ctFloat) {
            EXPECT_DOUBLE_EQ(Sheet().AsFloat(0, row), c.number);
        } else {
            EXPECT_EQ(Sheet().AsString(0, row), c.text);
        }
        EXPECT_EQ(CellAt(0, row).NumberFormat(), c.format);
        EXPECT_EQ(CellAt(0, row).VertAlignment(), vaCentered);
        EXPECT_EQ(CellAt(1, row).VertAlignment(), vaCentered);
        EXPECT_EQ(CellAt(0, row).HorizAlignment(), haGeneral);
    }
    // A date with a time of day.
    Fresh();
    Fill({u"5/12/2009 10:30:15"});
    EXPECT_DOUBLE_EQ(Sheet().AsFloat(0, 0), DateSerial(2009, 5, 12) + (10 * 3600 + 30 * 60 + 15) / 86400.0);
    EXPECT_EQ(CellAt(0, 0).NumberFormat(), u"M/DD/YYYY HH:MM:SS");
}

TEST_F(SheetBuilderTest, RowsFollowLinesAndFieldsFollowDividers) {
    converter.Settings.FieldDivider = u"TAB";
    const TConversionReport report = Fill({u"a\tb\t", u"", u"single", u"\t\tc"});
    // "a\tb\t" has a last empty field; the empty line stays an empty row.
    EXPECT_EQ(Sheet().CellType(2, 0), ctString);
    EXPECT_EQ(Sheet().AsString(2, 0), u"");
    EXPECT_EQ(Sheet().CellType(3, 0), ctNone);
    for (int col = 0; col < 4; ++col) EXPECT_EQ(Sheet().CellType(col, 1), ctNone);
    EXPECT_EQ(Sheet().AsString(0, 2), u"single");
    EXPECT_EQ(Sheet().CellType(1, 2), ctNone);
    EXPECT_EQ(Sheet().AsString(2, 3), u"c");
    EXPECT_EQ(Sheet().Name(), u"Лист1");
    EXPECT_EQ(Sheet().WorkspaceOptions(), woShowAutoBreaks | woColSumsRight | woOutlineSymbols);
    EXPECT_EQ(report.RowsCut, 0);
    EXPECT_EQ(report.ColsCut, 0);
    EXPECT_EQ(report.TextsCut, 0);
}

TEST_F(SheetBuilderTest, TextsLongerThanACellHoldsAreCutAndCounted) {
    const WideString longText(40000, u'x');
    const TConversionReport report = Fill({longText + u";" + longText, u"short", WideString(32767, u'y')});
    EXPECT_EQ(Sheet().AsString(0, 0).size(), 32767u);
    EXPECT_EQ(Sheet().AsString(1, 0).size(), 32767u);
    EXPECT_EQ(Sheet().AsString(0, 2).size(), 32767u);
    EXPECT_EQ(report.TextsCut, 2);
}

TEST_F(SheetBuilderTest, BordersOnlyOnBorderedLinesAndNotInWhite) {
    const TExcelColor navy = ColorToExcelColor(kNavy), red = ColorToExcelColor(kRed);
    ASSERT_NE(navy, xcWhite);
    ASSERT_NE(red, xcWhite);
    auto thin = [](TExcelColor c) {
        const std::string n = std::to_string(int(c));
        return "tttt " + n + " " + n + " " + n + " " + n;
    };
    const std::string none = "---- 0 0 0 0";
    struct Case {
        uint32_t color;
        std::vector<TExcelColor> lineColors;
        std::vector<std::string> rows;  // expected borders of every cell of lines 0 to 3
    };
    const Case cases[] = {
        // Lines marked white get none; any other entry, 0 included, and lines beyond the list do.
        {kNavy, {xcWhite, xc0, xcBlack}, {none, thin(navy), thin(navy), thin(navy)}},
        {kRed, {}, {thin(red), thin(red), thin(red), thin(red)}},
        {kRed, {xcBlack, xcWhite, xcWhite, xcWhite}, {thin(red), none, none, none}},
        // White draws no borders at all, nor does a colour outside the standard sixteen.
        {kColorWhite, {xc0, xc0, xc0, xc0}, {none, none, none, none}},
        {0x123456, {}, {none, none, none, none}},
    };
    for (const Case& c : cases) {
        Fresh();
        converter.Settings.BorderColor = c.color;
        converter.LineColors = c.lineColors;
        Fill({u"1;a", u"2;b;", u";", u"4.5"});
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (Sheet().CellType(col, row) == ctNone) continue;
                EXPECT_EQ(Borders(col, row), c.rows[size_t(row)]) << "colour " << c.color << " cell " << col << ":" << row;
            }
        }
    }
}

TEST_F(SheetBuilderTest, ColumnWidthsFollowTheLongestValueUpToTheWrapWidth) {
    const WideString w31(31, u'a'), w32(32, u'b'), w40(40, u'c');
    // Column 0 stays below the wrap width; column 1 reaches it on row 1; column 2 holds exactly the
    // wrap width on row 2; column 3 holds nothing but empty fields.
    Fill({u"short;abc;x;", w31 + u";" + w40 + u";y;", u"z;x;" + w32 + u";", u"q;r;s;"});
    struct Case {
        int col;
        int width;                // characters: one more than the longest value, so it is not clipped
        std::vector<bool> wraps;  // rows 0 to 3
    };
    const Case cases[] = {
        {0, 32, {false, false, false, false}},
        {1, 33, {false, true, true, true}},
        {2, 33, {false, false, true, true}},
        {3, 1, {false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.col);
        ASSERT_NE(Sheet().Columns().Items(c.col), nullptr);
        EXPECT_EQ(Sheet().Columns().Items(c.col)->RawWidth(), c.width * 256);
        for (int row = 0; row < 4; ++row) {
            EXPECT_EQ(CellAt(c.col, row).FormatOptions() == foWrapText, c.wraps[size_t(row)]) << "row " << row;
        }
    }
    EXPECT_EQ(Sheet().Columns().Items(4), nullptr);

    // Wrap width 0: every cell wraps and every column is 1 wide.
    Fresh();
    converter.Settings.WrapWidth = "0";
    Fill({u"a;12;", u"bbbb"});
    for (int col = 0; col < 3; ++col) EXPECT_EQ(Sheet().Columns().Items(col)->RawWidth(), 256);
    for (auto [col, row] : {std::pair{0, 0}, {1, 0}, {2, 0}, {0, 1}}) {
        EXPECT_EQ(CellAt(col, row).FormatOptions(), foWrapText) << col << ":" << row;
    }

    // The widest a column can be is 255 characters.
    Fresh();
    converter.Settings.WrapWidth = "255";
    Fill({WideString(300, u'w')});
    EXPECT_EQ(Sheet().Columns().Items(0)->RawWidth(), 255 * 256);
}

TEST_F(SheetBuilderTest, RowsWithWrappingCellsAreAsHighAsTheirLines) {
    converter.Settings.WrapWidth = "10";
    // Row 0: nothing wraps. Row 1: 25 characters over 10 are 3 lines. Row 2: the longest of its
    // wrapping cells, 10 characters, is 1 line. Row 3: 400 characters would need more than the
    // tallest row.
    Fill({u"short;x", WideString(25, u'a') + u";" + WideString(12, u'b'), u"abcdefghij;c",
          WideString(400, u'd')});
    EXPECT_EQ(Sheet().Rows().Find(0), nullptr);
    struct Case {
        int row;
        int height;  // twentieths of a point
    };
    for (const Case& c : {Case{1, 3 * 255}, Case{2, 255}, Case{3, 8190}}) {
        SCOPED_TRACE(c.row);
        const TXLSRow* row = Sheet().Rows().Find(c.row);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->Height(), c.height);
        EXPECT_EQ(row->Options() & TXLSRow::CustomHeight, TXLSRow::CustomHeight);
    }

    // Read as CSV, a cell's line breaks are lines of their own, and such a cell wraps.
    Fresh();
    converter.Settings.WrapWidth = "32";
    converter.Settings.FieldDivider = u",";
    converter.CsvQuote = u'"';
    Fill({u"id,\"one\ntwo\nthree\"", u"2,plain"});
    EXPECT_EQ(Sheet().AsString(1, 0), u"one\ntwo\nthree");
    EXPECT_EQ(CellAt(1, 0).FormatOptions(), foWrapText);
    ASSERT_NE(Sheet().Rows().Find(0), nullptr);
    EXPECT_EQ(Sheet().Rows().Find(0)->Height(), 3 * 255);
    EXPECT_EQ(Sheet().Rows().Find(1), nullptr);
}

TEST_F(SheetBuilderTest, OptionsThatStopTheConversion) {
    struct Case {
        const char* wrap;
        const char* levels;
        const char* startRow;
        size_t longest;  // characters of the one field
        const char* message;
    };
    const Case cases[] = {
        {"abc", "0", "1", 5, "'abc' is not a valid integer value"},
        {"", "0", "1", 5, "'' is not a valid integer value"},
        {"32.5", "0", "1", 5, "'32.5' is not a valid integer value"},
        {"256", "0", "1", 300, "Invalid value"},  // a column of 256 characters
        {"1000", "0", "1", 256, "Invalid value"},
        {"-1", "0", "1", 5, "Invalid value"},     // a negative width
        {"32", "8", "1", 5, "Group levels must be from 0 to 7, not 8"},
        {"32", "2", "0", 5, "Start data row must be 1 or more, not 0"},
        {"32", "x", "1", 5, "'x' is not a valid integer value"},
        {"32", "1", "y", 5, "'y' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        Fresh();
        converter.Settings.WrapWidth = c.wrap;
        converter.Settings.GroupLevels = c.levels;
        converter.Settings.StartDataRow = c.startRow;
        EXPECT_THROW_MSG(Fill({WideString(c.longest, u'v')}), Error, c.message);
    }
    // Width 256 fails; 255 does not (see the widths test). A start row below 1 is fine while
    // grouping is off.
    Fresh();
    converter.Settings.WrapWidth = "32";
    converter.Settings.GroupLevels = "0";
    converter.Settings.StartDataRow = "0";
    EXPECT_NO_THROW(Fill({u"a"}));
}

TEST_F(SheetBuilderTest, MergedAreasFromSpanRecords) {
    const TExcelColor gray = ColorToExcelColor(kColorGray);
    const std::string g = std::to_string(int(gray));
    // Line 0 the header line, line 1 a caption, line 2 empty, then a table of three columns
    // whose line 4 holds a colspan and a rowspan reaching into the empty line 5.
    converter.LineColors = {xcWhite, xcWhite, xcWhite, gray, gray, gray};
    converter.SpanList = {
        {1, 1, -1, 1},  // header: across every column
        {1, 2, 0, 2},   // caption: as wide as the next non-empty line (line 3), centred
        {1, 4, 2, 4},   // colspan over columns 0 and 1 of line 3
        {3, 5, 4, 6},   // columns 2 and 3 of lines 4 and 5: column 3 and line 5 have no cells
    };
    Fill({u"Header text", u"Caption", u"", u"a;;b", u"1;2;3", u""});

    ASSERT_EQ(Sheet().MergedCells().Count(), 4);
    auto area = [&](int i) {
        const TCellArea& a = Sheet().MergedCells().Items(i);
        return std::vector<uint32_t>{a.Col1(), a.Row1(), a.Col2(), a.Row2()};
    };
    EXPECT_EQ(area(0), (std::vector<uint32_t>{0, 0, 2, 0}));  // widths seen: 3 columns
    EXPECT_EQ(area(1), (std::vector<uint32_t>{0, 1, 2, 1}));
    EXPECT_EQ(area(2), (std::vector<uint32_t>{0, 3, 1, 3}));
    EXPECT_EQ(area(3), (std::vector<uint32_t>{2, 4, 3, 5}));
    // The header and caption records keep the width they were given.
    EXPECT_EQ(converter.SpanList[0].Col2, 3);
    EXPECT_EQ(converter.SpanList[1].Col2, 3);

    // Header and caption: on white lines, so no borders; only the caption is centred, and its
    // empty positions became blank cells.
    EXPECT_EQ(Borders(0, 0), "---- 0 0 0 0");
    EXPECT_EQ(CellAt(0, 0).HorizAlignment(), haGeneral);
    EXPECT_EQ(Sheet().CellType(1, 0), ctNone);
    for (int col = 0; col < 3; ++col) {
        EXPECT_EQ(CellAt(col, 1).HorizAlignment(), haCentered) << col;
        EXPECT_EQ(Borders(col, 1), "---- 0 0 0 0") << col;
    }
    EXPECT_EQ(Sheet().CellType(2, 1), ctBlank);

    // The rowspan area: its empty positions are blank cells carrying the outer edges.
    EXPECT_EQ(Sheet().CellType(3, 4), ctBlank);
    EXPECT_EQ(Sheet().CellType(2, 5), ctBlank);
    EXPECT_EQ(Sheet().CellType(3, 5), ctBlank);
    EXPECT_EQ(Borders(2, 4), "tttt " + g + " " + g + " " + g + " " + g);  // a bordered cell of line 4
    EXPECT_EQ(Borders(3, 4), "t-t- " + g + " 0 " + g + " 0");
    EXPECT_EQ(Borders(2, 5), "-t-t 0 " + g + " 0 " + g);
    EXPECT_EQ(Borders(3, 5), "--tt 0 0 " + g + " " + g);
    EXPECT_EQ(CellAt(3, 5).HorizAlignment(), haGeneral);

    // A caption with no non-empty line after it merges nothing and keeps Col2 = 0.
    Fresh();
    converter.LineColors.clear();
    converter.SpanList = {{1, 2, 0, 2}};
    Fill({u"a;b", u"Caption", u""});
    EXPECT_EQ(Sheet().MergedCells().Count(), 0);
    EXPECT_EQ(converter.SpanList[0].Col2, 0);
}

TEST_F(SheetBuilderTest, WhiteBorderColourLeavesMergedAreasWithoutBorders) {
    // A table line (not white in LineColors) whose span reaches an empty line.
    converter.LineColors = {xc0, xc0};
    converter.SpanList = {{1, 1, 2, 2}};
    converter.Settings.BorderColor = kColorWhite;
    Fill({u"a;b", u""});
    ASSERT_EQ(Sheet().MergedCells().Count(), 1);
    EXPECT_EQ(Borders(0, 0), "---- 0 0 0 0");
    EXPECT_EQ(Borders(1, 0), "---- 0 0 0 0");
    // Nothing is set on the area, so its empty positions do not even become blank cells.
    EXPECT_EQ(Sheet().CellType(0, 1), ctNone);
    EXPECT_EQ(Sheet().CellType(1, 1), ctNone);
}

TEST_F(SheetBuilderTest, SpansBeyondTheSheetAreClippedOrLeftOut) {
    converter.SpanList = {
        {1, 1, -1, 1},          // header over 300 columns: merged up to column 255
        {1, 70000, 2, 70001},   // wholly below the last row: nothing merged
        {300, 2, 302, 2},       // wholly right of the last column
        {1, 65535, 1, 65540},   // reaching below the last row: merged down to row 65535
    };
    std::vector<WideString> lines(2);
    for (int i = 0; i < 300; ++i) lines[1] += u"f;";
    lines[0] = u"Header";
    EXPECT_NO_THROW(Fill(lines));
    ASSERT_EQ(Sheet().MergedCells().Count(), 2);
    const TCellArea& header = Sheet().MergedCells().Items(0);
    EXPECT_EQ(header.Col2(), 255u);
    const TCellArea& tail = Sheet().MergedCells().Items(1);
    EXPECT_EQ(tail.Row1(), 65534u);
    EXPECT_EQ(tail.Row2(), 65535u);
}

TEST_F(SheetBuilderTest, CellsBeyondTheSheetAreLeftOutAndCounted) {
    // Two lines below row 65,535 and a line of 300 fields, 44 beyond column 255.
    std::vector<WideString> lines(65538);
    lines[0] = u"first";
    lines[65536] = u"beyond;the;sheet";
    lines[65537] = u"also beyond";
    WideString wide;
    for (int i = 0; i < 299; ++i) wide += u"w;";
    lines[1] = wide + u"end";
    const TConversionReport report = Fill(std::move(lines));
    EXPECT_EQ(report.RowsCut, 2);
    EXPECT_EQ(report.ColsCut, 44);
    EXPECT_EQ(Sheet().AsString(0, 0), u"first");
    EXPECT_EQ(Sheet().AsString(255, 1), u"w");
    // What the sheet cannot hold is not stored at all.
    EXPECT_EQ(Sheet().CellType(256, 1), ctNone);
    EXPECT_EQ(Sheet().CellType(0, 65536), ctNone);
}

TEST_F(SheetBuilderTest, MergedAreasThatOverlapOnesBeforeThemAreLeftOutAndCounted) {
    converter.SpanList = {
        {1, 1, 2, 3},  // columns 0-1, rows 0-2
        {2, 2, 3, 2},  // reaches into the first: left out
        {3, 1, 3, 3},  // beside the first: kept
        {1, 3, 1, 4},  // starts in the first's last row: left out
        {1, 4, 3, 4},  // below the first, overlapping the one left out only: kept
        {1, 2, 1, 2},  // above the one before it, inside the first: left out
    };
    const TConversionReport report = Fill({u"a;b;c", u"d;e;f", u"g;h;i", u"j;k;l"});
    EXPECT_EQ(report.MergesDropped, 3);
    ASSERT_EQ(Sheet().MergedCells().Count(), 3);
    auto area = [&](int i) {
        const TCellArea& a = Sheet().MergedCells().Items(i);
        return std::vector<uint32_t>{a.Col1(), a.Row1(), a.Col2(), a.Row2()};
    };
    EXPECT_EQ(area(0), (std::vector<uint32_t>{0, 0, 1, 2}));
    EXPECT_EQ(area(1), (std::vector<uint32_t>{2, 0, 2, 2}));
    EXPECT_EQ(area(2), (std::vector<uint32_t>{0, 3, 2, 3}));
    EXPECT_EQ(CutWarnings(report), (std::vector<std::string>{"3 merged areas that overlap others were left out"}));
}

TEST_F(SheetBuilderTest, GroupingByLeadingColumns) {
    // The six lines of North and South: region, city, figure.
    const std::vector<WideString> regions = {u"North;;", u";Moscow;1", u";;2", u";Kazan;3", u"South;;", u";Sochi;4"};
    struct Case {
        const char* levels;
        const char* startRow;
        std::vector<WideString> lines;
        std::vector<int> outline;  // outline level of every row
    };
    const Case cases[] = {
        {"2", "1", regions, {0, 1, 2, 1, 0, 1}},
        {"1", "1", regions, {0, 1, 1, 1, 0, 1}},
        // Lines before the start row take no part: Moscow's group never opens.
        {"2", "3", regions, {0, 0, 0, 0, 0, 1}},
        // "0" turns grouping off; "00" turns it on with no level, which groups nothing.
        {"0", "1", regions, {0, 0, 0, 0, 0, 0}},
        {"00", "1", regions, {0, 0, 0, 0, 0, 0}},
        // Lines with fewer fields than levels, and empty lines, neither open nor close a group,
        // and groups open at the end reach the last line, empty ones included.
        {"2", "1", {u"A;;1", u";x;2", u"short", u"", u"B;;4", u";;5", u""}, {0, 1, 2, 2, 0, 1, 1}},
        // Three levels, as deep as the example report.
        {"3", "2", {u"Title", u"N;;;", u";C;;", u";;S;1", u";;;2", u";;T;3", u"M;;;"}, {0, 0, 1, 2, 3, 2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.levels) + " from " + c.startRow);
        Fresh();
        converter.Settings.GroupLevels = c.levels;
        converter.Settings.StartDataRow = c.startRow;
        Fill(c.lines);
        for (size_t row = 0; row < c.outline.size(); ++row) {
            EXPECT_EQ(OutlineLevel(int(row)), c.outline[row]) << "row " << row;
            if (c.outline[row] > 0) {
                // Grouped rows start collapsed and hidden.
                EXPECT_EQ(Sheet().Rows().Find(int(row))->Options() & 0x30, 0x30) << "row " << row;
            }
        }
    }
    // The outline gutter follows the deepest level: 2 levels give row level 3 and 58 units.
    Fresh();
    converter.Settings.GroupLevels = "2";
    converter.Settings.StartDataRow = "1";
    Fill(regions);
    const uint8_t* guts = Sheet().Records().GutsBody();
    EXPECT_EQ(guts[0] | guts[1] << 8, 58);
    EXPECT_EQ(guts[4] | guts[5] << 8, 3);
}

TEST_F(SheetBuilderTest, ManyDateCellsKeepNumberFormatIdsWithinSixteenBits) {
    // Every date cell takes the locale's date format first and then its own, retiring one custom
    // number format id each time; 70,000 of them pass the 16-bit range of ids.
    std::vector<WideString> lines;
    for (int i = 0; i < 35000; ++i) lines.push_back(i % 2 ? u"5/12/2009;1/2/2003" : u"11/3/15;7.5;12/12/12");
    Fill(lines);
    for (int row = 0; row < 35000; ++row) {
        for (int col : {0, row % 2 ? 1 : 2}) {
            const TCell& cell = CellAt(col, row);
            ASSERT_EQ(cell.NumberFormat(), row % 2 ? (col == 0 ? u"M/DD/YYYY" : u"M/D/YYYY") : (col == 0 ? u"MM/D/YY" : u"MM/DD/YY"))
                << row;
            ASSERT_LE(cell.Format().NumberFormatIndex(), 65535);
        }
    }
    EXPECT_GT(workbook->Formats().NumberFormats().LastFormatId(), 65000);
    EXPECT_EQ(CellAt(1, 0).NumberFormat(), u"0.0");
}

TEST_F(SheetBuilderTest, AFlattenedReportBecomesASheet) {
    converter.Settings.GroupLevels = "2";
    converter.Settings.StartDataRow = "4";
    converter.Settings.HeaderText = "Report header";
    converter.FlattenHtml(
        "<table><caption>Sales</caption>"
        "<tr><td colspan=2>Place</td><td>Total</td></tr>"
        "<tr><td>North</td><td></td><td>1,200.50</td></tr>"
        "<tr><td></td><td rowspan=2>Boston</td><td>5/12/2009</td></tr>"
        "<tr><td></td><td>7</td></tr>"
        "<tr><td>South</td><td></td><td>3</td></tr>"
        "</table>");
    ASSERT_EQ(converter.Lines.size(), 7u);
    FillWorkbook(converter, *workbook);

    // Header line and caption across the three columns; the caption centred; neither bordered.
    ASSERT_GE(Sheet().MergedCells().Count(), 4);
    auto area = [&](int i) {
        const TCellArea& a = Sheet().MergedCells().Items(i);
        return std::vector<uint32_t>{a.Col1(), a.Row1(), a.Col2(), a.Row2()};
    };
    EXPECT_EQ(area(0), (std::vector<uint32_t>{0, 0, 2, 0}));
    EXPECT_EQ(area(1), (std::vector<uint32_t>{0, 1, 2, 1}));
    EXPECT_EQ(area(2), (std::vector<uint32_t>{0, 2, 1, 2}));
    EXPECT_EQ(area(3), (std::vector<uint32_t>{1, 4, 1, 5}));
    EXPECT_EQ(Sheet().AsString(0, 0), u"Report header");
    EXPECT_EQ(CellAt(0, 1).HorizAlignment(), haCentered);
    EXPECT_EQ(CellAt(0, 0).BorderTopStyle(), cbsNone);
    EXPECT_EQ(CellAt(0, 1).BorderTopStyle(), cbsNone);
    EXPECT_EQ(CellAt(0, 2).BorderTopStyle(), cbsThin);
    // Values.
    EXPECT_DOUBLE_EQ(Sheet().AsFloat(2, 3), 1200.5);
    EXPECT_EQ(CellAt(2, 3).NumberFormat(), u"#,##0.00");
    EXPECT_DOUBLE_EQ(Sheet().AsFloat(2, 4), DateSerial(2009, 5, 12));
    // North groups Boston's lines; Boston groups the line below it.
    EXPECT_EQ(OutlineLevel(3), 0);
    EXPECT_EQ(OutlineLevel(4), 1);
    EXPECT_EQ(OutlineLevel(5), 2);
    EXPECT_EQ(OutlineLevel(6), 0);
}

// Everything of a filled workbook that decides the bytes of its formats: the cell formats in list
// order with their holders, the number formats with their ids and holders (of a built-in one only
// whether anything used it, which is all the file shows), and every cell's format position.
std::vector<std::string> FormatState(TXLSWorkbook& workbook) {
    std::vector<std::string> state;
    TCellFormats& formats = workbook.Formats();
    for (int i = 0; i < formats.Count(); ++i) {
        const TCellFormat& format = formats.Items(i);
        std::string body = "xf " + std::to_string(i) + " refs " + std::to_string(format.RefCount()) + ":";
        for (uint8_t byte : format.Body()) body += " " + std::to_string(byte);
        state.push_back(body);
    }
    const TNumberFormats& numbers = formats.NumberFormats();
    for (int i = 0; i < numbers.Count(); ++i) {
        const TNumberFormat& number = numbers.Items(i);
        const bool builtIn = number.FormatId() < TNumberFormats::FirstCustomId;
        const std::string refs = builtIn ? (number.RefCount() < 0 ? "unused" : "used") : std::to_string(number.RefCount());
        state.push_back("format " + std::to_string(number.FormatId()) + " refs " + refs + " " +
                        Utf16ToUtf8(number.FormatString()));
    }
    state.push_back("last id " + std::to_string(numbers.LastFormatId()));
    TCellValues& cells = workbook.Sheets()[0].Cells();
    cells.BeginIterate();
    while (TCell* cell = cells.NextCell()) {
        state.push_back("cell " + std::to_string(cell->Col()) + ":" + std::to_string(cell->Row()) + " xf " +
                        std::to_string(cell->FormatIndex()));
    }
    return state;
}

TEST(SheetBuilderFormats, ReusingFormatsLeavesTheWorkbookAsEverySetterDoes) {
    // Lines of every kind of cell, bordered and not, wrapping and not, with merged areas whose
    // blank cells take formats of their own, and enough dates to spend the 16-bit number format
    // ids so that ids are handed out from the lowest free one.
    std::vector<WideString> mixed;
    for (int i = 0; i < 70000; ++i) {
        switch (i % 5) {
            case 0: mixed.push_back(u"5/12/2009;" + Utf8ToUtf16(std::to_string(i)) + u";text;1,234.5;1/2/99"); break;
            case 1: mixed.push_back(u"11/3/15 10:30;0.5;" + WideString(40, u'w') + u";12:30 AM"); break;
            case 2: mixed.push_back(u"10:30;-3;7/4/2020;;" + WideString(i % 40, u'x')); break;
            case 3: mixed.push_back(u"x;12/05/2009;1e5;" + Utf8ToUtf16(std::to_string(i % 97)) + u".25"); break;
            default: mixed.push_back(u""); break;
        }
    }
    struct Input {
        const char* name;
        std::function<void(TConverter&)> prepare;
    };
    const Input inputs[] = {
        {"mixed lines",
         [&](TConverter& c) {
             c.Settings.FieldDivider = u";";
             c.Lines = mixed;
             c.LineColors.assign(mixed.size() / 2, xcBlack);
             for (size_t i = 0; i < c.LineColors.size(); i += 3) c.LineColors[i] = xcWhite;
             c.SpanList = {{1, 1, -1, 1}, {2, 3, 3, 5}, {1, 9, 0, 9}};
         }},
        {"example report",
         [](TConverter& c) {
             c.Settings.HeaderText = "ACME";
             c.Settings.GroupLevels = "3";
             c.Settings.StartDataRow = "10";
             c.FlattenHtml(test::ReadBytes(std::string(QUARVEL_SOURCE_DIR) + "/examples/report.htm"));
         }},
        {"wikipedia page",
         [](TConverter& c) {
             c.Settings.WrapWidth = "20";
             c.FlattenHtml(test::ReadBytes((test::CorpusDir() / "wikipedia_ebola_epidemic.html").string()));
         }},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        std::vector<std::string> states[2];
        for (bool reuse : {false, true}) {
            TConverter converter;
            input.prepare(converter);
            TXLSWorkbook workbook(UsLocaleInfo());
            workbook.ApplyStoredValues();
            FillWorkbook(converter, workbook, reuse);
            states[reuse] = FormatState(workbook);
            if (std::string(input.name) == "mixed lines") {
                EXPECT_EQ(workbook.Formats().NumberFormats().LastFormatId(), TNumberFormats::MaxFormatId);
            }
        }
        ASSERT_EQ(states[0].size(), states[1].size());
        size_t differences = 0;
        for (size_t i = 0; i < states[0].size() && differences < 5; ++i) {
            if (states[0][i] != states[1][i]) {
                ++differences;
                ADD_FAILURE() << "every setter: " << states[0][i] << "\nreused:       " << states[1][i];
            }
        }
    }
}

}  // namespace
}  // namespace quarvel
