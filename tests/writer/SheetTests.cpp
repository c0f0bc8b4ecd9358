// The worksheet substreams: the records of a plain sheet, the cell records (RK, MULRK, NUMBER,
// BLANK, MULBLANK, LABELSST), cells beyond the sheet, pane and selection, merged areas, print
// settings, protection, progress and the error wrapping of the cell records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "tests/platform/PlatformSupport.h"
#include "tests/writer/WriterSupport.h"
#include "workbook/Cell.h"

namespace quarvel {
namespace {

using namespace writer_test;

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override { MakeConverterWorkbook(workbook_); }
    TXLSWorkbook& Book() { return *workbook_; }
    TSheet& Sheet() { return Book().Sheets().Items(0); }
    std::vector<TRec> SheetRecs() { return SheetRecords(Book()); }
    // The cell records of the sheet, described.
    std::string CellRecords() {
        std::vector<TRec> cells;
        for (const TRec& r : SheetRecs())
            if (r.Id == 0x027E || r.Id == 0x00BD || r.Id == 0x0203 || r.Id == 0x0201 || r.Id == 0x00BE || r.Id == 0x00FD)
                cells.push_back(r);
        return Describe(cells);
    }

    std::unique_ptr<TXLSWorkbook> workbook_;
};

// A plain sheet of the converter's workbook, record by record.
TEST_F(SheetTest, PlainSheetWritesTheSheetListWithItsGeneratedRecords) {
    const std::string expected =
        "0809: 00 06 10 00 AF 18 CD 07 C9 80 00 00 06 01 00 00\n"
        "000D: 01 00\n"                       // CALCMODE automatic
        "000C: 64 00\n"                       // CALCCOUNT 100
        "000F: 01 00\n"                       // REFMODE A1
        "0011: 00 00\n"                       // ITERATION
        "0010: FC A9 F1 D2 4D 62 50 3F\n"     // DELTA 0.001
        "005F: 01 00\n"                       // SAVERECALC
        "002B: 00 00\n"                       // PRINTGRIDLINES
        "002A: 00 00\n"                       // PRINTHEADERS
        "0082: 01 00\n"                       // GRIDSET
        "0080: 00 00 00 00 00 00 00 00\n"     // GUTS
        "0225: 00 00 FF 00\n"                 // DEFAULTROWHEIGHT
        "0081: C1 04\n"                       // WSBOOL
        "0014:\n"                             // HEADER, empty
        "0015:\n"                             // FOOTER, empty
        "0026: 00 00 00 00 00 00 E8 3F\n"     // LEFTMARGIN 0.75
        "0027: 00 00 00 00 00 00 E8 3F\n"     // RIGHTMARGIN 0.75
        "0028: 00 00 00 00 00 00 F0 3F\n"     // TOPMARGIN 1.0
        "0029: 00 00 00 00 00 00 F0 3F\n"     // BOTTOMMARGIN 1.0
        "0083: 00 00\n"                       // HCENTER
        "0084: 00 00\n"                       // VCENTER
        // SETUP: A4, scale 100, start page 1, fit 1 x 1, portrait, 600 x 600, margins 0.5, 0 copies
        "00A1: 09 00 64 00 01 00 01 00 01 00 02 00 58 02 58 02 00 00 00 00 00 00 E0 3F 00 00 00 00 00 00 E0 3F 00 00\n"
        "0012: 00 00\n"                       // PROTECT
        "0055: 08 00\n"                       // DEFCOLWIDTH
        "0200: 00 00 00 00 01 00 00 00 00 00 01 00 00 00\n"  // DIMENSIONS of an empty sheet
        "023E: B6 06 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00\n"  // WINDOW2, selected
        "001D: 03 00 00 00 00 00 00 01 00 00 00 00 00 00 00\n"           // SELECTION A1 in pane 3
        "000A:\n";
    EXPECT_EQ(Describe(SheetRecs()), expected);
}

TEST_F(SheetTest, RowsColumnsAndCellsTakeTheirPlacesInTheWalk) {
    Sheet().SetAsFloat(1, 2, 5);
    Sheet().Columns().EnsureColumns(0, 2);
    Sheet().Columns().Items(0)->SetWidth(12);
    Sheet().GroupRows(1, 2, false);
    const auto ids = Ids(SheetRecs());
    // ... PROTECT, DEFCOLWIDTH, DIMENSIONS, COLINFO runs, ROW records, cells, WINDOW2, SELECTION, EOF.
    const std::vector<uint16_t> tail = {0x0012, 0x0055, 0x0200, 0x007D, 0x007D, 0x0208,
                                        0x0208, 0x027E, 0x023E, 0x001D, 0x000A};
    ASSERT_GE(ids.size(), tail.size());
    EXPECT_EQ(std::vector<uint16_t>(ids.end() - tail.size(), ids.end()), tail);
    const auto recs = SheetRecs();
    EXPECT_EQ(Hex(OfId(recs, 0x0200).at(0).Body), "02 00 00 00 03 00 00 00 01 00 02 00 00 00");
    EXPECT_EQ(Hex(OfId(recs, 0x0080).at(0).Body), "1D 00 00 00 02 00 00 00");  // GUTS after grouping
}

// ---- RK values

// ---- Cell records

struct TCellCase {
    const char* Name;
    std::vector<std::pair<int, double>> Numbers;  // column, value in row 0 (row 1 for column >= 100)
    std::vector<int> Texts;                       // columns of text cells in row 0
    std::string Expected;
};

TEST_F(SheetTest, NumbersBecomeRKRunsMulRKOrNumber) {
    const TCellCase cases[] = {
        {"three adjacent numbers: one MULRK", {{0, 1}, {1, 2}, {2, 3}}, {},
         "00BD: 00 00 00 00 0F 00 00 00 F0 3F 0F 00 00 00 00 40 0F 00 00 00 08 40 02 00\n"},
        {"a gap: RK, then NUMBER for the number after the gap", {{0, 1}, {2, 2}}, {},
         "027E: 00 00 00 00 0F 00 00 00 F0 3F\n"
         "0203: 00 00 02 00 0F 00 00 00 00 00 00 00 00 40\n"},
        {"after the NUMBER a new run starts", {{0, 1}, {2, 2}, {3, 3}}, {},
         "027E: 00 00 00 00 0F 00 00 00 F0 3F\n"
         "0203: 00 00 02 00 0F 00 00 00 00 00 00 00 00 40\n"
         "027E: 00 00 03 00 0F 00 00 00 08 40\n"},
        {"no RK form: NUMBER, then the run", {{0, 0.123}, {1, 1}}, {},
         "0203: 00 00 00 00 0F 00 B0 72 68 91 ED 7C BF 3F\n"
         "027E: 00 00 01 00 0F 00 00 00 F0 3F\n"},
        {"a text cell ends the run", {{0, 1}, {2, 0.01}}, {1},
         "027E: 00 00 00 00 0F 00 00 00 F0 3F\n"
         "00FD: 00 00 01 00 0F 00 00 00 00 00\n"
         "027E: 00 00 02 00 0F 00 01 00 F0 3F\n"},
        {"a new row ends the run", {{0, 12345.67}, {100, 1234567}}, {},
         "027E: 00 00 00 00 0F 00 1F 5A 4B 00\n"
         "027E: 01 00 64 00 0F 00 1E 5A 4B 00\n"},
    };
    for (const TCellCase& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeConverterWorkbook(workbook_);
        for (const auto& [col, value] : c.Numbers) Sheet().SetAsFloat(col, col >= 100 ? 1 : 0, value);
        for (int col : c.Texts) Sheet().SetAsWideString(col, 0, u"t");
        EXPECT_EQ(CellRecords(), c.Expected);
    }
}

TEST_F(SheetTest, CellRecordsCarryTheXFIndexOfTheirFormat) {
    Sheet().SetAsFloat(0, 0, 1);
    Sheet().SetAsFloat(1, 0, 2);
    Sheet().Cell(1, 0)->SetBorderTopStyle(cbsThin);
    Sheet().SetAsWideString(2, 0, u"x");
    Sheet().Cell(2, 0)->SetVertAlignment(1);
    const uint16_t xf1 = static_cast<uint16_t>(Sheet().Cell(1, 0)->FormatIndex());
    const uint16_t xf2 = static_cast<uint16_t>(Sheet().Cell(2, 0)->FormatIndex());
    ASSERT_GE(xf1, 22);
    ASSERT_GE(xf2, 22);
    ASSERT_NE(xf1, xf2);
    const auto recs = SheetRecs();
    const Bytes mulrk = OfId(recs, 0x00BD).at(0).Body;
    EXPECT_EQ(Le16(mulrk, 4), 15);
    EXPECT_EQ(Le16(mulrk, 10), xf1);
    EXPECT_EQ(Le16(OfId(recs, 0x00FD).at(0).Body, 4), xf2);
}

TEST_F(SheetTest, BlankRunsBecomeBlankOrMulBlank) {
    Sheet().Range().Area(0, 0, 255, 0).FillBlanks();  // a whole row
    Sheet().Range().Area(3, 1, 3, 1).FillBlanks();     // one blank
    Sheet().Range().Area(5, 1, 6, 1).FillBlanks();     // two, after a gap
    const auto recs = SheetRecs();
    const auto mul = OfId(recs, 0x00BE);
    ASSERT_EQ(mul.size(), 2u);
    EXPECT_EQ(mul[0].Body.size(), 518u);
    EXPECT_EQ(Le16(mul[0].Body, 0), 0);
    EXPECT_EQ(Le16(mul[0].Body, 2), 0);
    EXPECT_EQ(Le16(mul[0].Body, 516), 255);
    EXPECT_EQ(Hex(mul[1].Body), "01 00 05 00 0F 00 0F 00 06 00");
    const auto single = OfId(recs, 0x0201);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(Hex(single[0].Body), "01 00 03 00 0F 00");
}

TEST_F(SheetTest, TextCellsCarryTheIndexTheirStringGotInTheStringTable) {
    const std::u16string texts[] = {u"alpha", u"beta", u"alpha", u"Ωmega", u"", u"gamma"};
    for (int i = 0; i < 6; ++i) Sheet().SetAsWideString(i % 3, i / 3, texts[i]);
    const auto parts = Substreams(WriteRaw(Book()));
    // The strings of the SST record in table order (one record: the table is small).
    const Bytes sst = OfId(parts[0], 0x00FC).at(0).Body;
    EXPECT_EQ(Le32(sst, 0), 6u);  // references
    ASSERT_EQ(Le32(sst, 4), 5u);  // distinct strings
    std::vector<std::u16string> table;
    size_t at = 8;
    for (int i = 0; i < 5; ++i) {
        const uint16_t count = Le16(sst, at);
        const bool wide = sst[at + 2] & 1;
        at += 3;
        std::u16string s;
        for (uint16_t k = 0; k < count; ++k) {
            s += wide ? static_cast<char16_t>(Le16(sst, at + 2 * k)) : static_cast<char16_t>(sst[at + k]);
        }
        at += wide ? 2 * count : count;
        table.push_back(s);
    }
    EXPECT_EQ(at, sst.size());
    const auto labels = OfId(parts[1], 0x00FD);
    ASSERT_EQ(labels.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Le16(labels[i].Body, 0), i / 3);
        EXPECT_EQ(Le16(labels[i].Body, 2), i % 3);
        const uint32_t index = Le32(labels[i].Body, 6);
        ASSERT_LT(index, table.size());
        EXPECT_EQ(table[index], texts[i]);
    }
}

// ---- Cells beyond the sheet

TEST_F(SheetTest, CellsBeyondTheSheetAreLeftOutAndCounted) {
    Sheet().SetAsFloat(0, 0, 1);
    Sheet().SetAsFloat(1, 0, 2);
    Sheet().SetAsFloat(256, 0, 3);  // ends the run; left out
    Sheet().SetAsFloat(2, 65535, 4);
    Sheet().SetAsWideString(300, 65535, u"far");
    Sheet().SetAsFloat(0, 70000, 5);
    Sheet().SetAsFloat(1, 70000, 6);
    Sheet().SetAsFloat(300, 70001, 7);
    std::vector<uint8_t> file;
    Book().WriteToStream(TBIFF8Writer(), &file);
    EXPECT_EQ(Book().RowsCut(), 2);  // rows 70000 and 70001
    EXPECT_EQ(Book().ColsCut(), 2);  // columns 256 and 300

    EXPECT_EQ(CellRecords(),
              "00BD: 00 00 00 00 0F 00 00 00 F0 3F 0F 00 00 00 00 40 01 00\n"
              "027E: FF FF 02 00 0F 00 00 00 10 40\n");
    // The used area reaches beyond the sheet; DIMENSIONS is lowered to 65536 rows and 256 columns.
    EXPECT_EQ(Hex(OfId(SheetRecs(), 0x0200).at(0).Body), "00 00 00 00 00 00 01 00 00 00 00 01 00 00");

    // A write without such cells reports none.
    MakeConverterWorkbook(workbook_);
    Sheet().SetAsFloat(255, 65535, 1);
    Book().WriteToStream(TBIFF8Writer(), &file);
    EXPECT_EQ(Book().RowsCut(), 0);
    EXPECT_EQ(Book().ColsCut(), 0);
}

TEST_F(SheetTest, ABlankRunEndsAtTheLastColumnOfTheSheet) {
    // Blank cells from column 250 to 300, as a span reaching past the sheet leaves them.
    for (int col = 250; col <= 300; ++col)
        Sheet().Cells().SetCell(col, 0, std::make_unique<TBlankCell>(Book().Formats(), col, 0, 15));
    std::vector<uint8_t> file;
    Book().WriteToStream(TBIFF8Writer(), &file);
    EXPECT_EQ(Book().ColsCut(), 45);
    const auto mul = OfId(SheetRecs(), 0x00BE);
    ASSERT_EQ(mul.size(), 1u);
    EXPECT_EQ(Hex(mul[0].Body), "00 00 FA 00 0F 00 0F 00 0F 00 0F 00 0F 00 0F 00 FF 00");
}

// ---- Errors in the cell records

// A cell of a kind the writer does not know.
class TOddCell final : public TCell {
public:
    using TCell::TCell;
    TCellType CellType() const override { return static_cast<TCellType>(7); }
    std::unique_ptr<TCell> MakeCopy(TSST2&) const override { return nullptr; }
};

TEST_F(SheetTest, AnErrorInTheCellRecordsNamesTheCellsVisitedSoFar) {
    Sheet().SetAsFloat(0, 0, 1);
    Sheet().SetAsFloat(300, 0, 1);  // visited (and left out) too
    Sheet().Cells().SetCell(2, 1, std::make_unique<TOddCell>(Book().Formats(), 2, 1, 15));
    Bytes target = {1};
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                     "Error on writing record # 3\rUnknown cell type 7 in cell 2:1");
    EXPECT_EQ(target, Bytes{1});
}

// ---- Pane, selection, zoom

struct TPaneCase {
    const char* Name;
    int32_t SplitColX, SplitRowY, TopRow, LeftCol;
    std::string Expected;  // the records from PANE to EOF
};

TEST_F(SheetTest, FrozenPanesWritePaneWithOneSelectionPerPane) {
    const TPaneCase cases[] = {
        {"rows frozen", 0, 1, 1, 0,
         "0041: 00 00 01 00 01 00 00 00 02 00\n"
         "001D: 03 00 00 00 00 00 00 01 00 00 00 00 00 00 00\n"
         "001D: 02 01 00 00 00 00 00 01 00 01 00 01 00 00 00\n"
         "000A:\n"},
        {"columns frozen", 2, 0, 0, 2,
         "0041: 02 00 00 00 00 00 02 00 01 00\n"
         "001D: 03 00 00 00 00 00 00 01 00 00 00 00 00 00 00\n"
         "001D: 01 00 00 02 00 00 00 01 00 00 00 00 00 02 02\n"
         "000A:\n"},
        {"both frozen", 1, 3, 3, 1,
         "0041: 01 00 03 00 03 00 01 00 00 00\n"
         "001D: 03 00 00 00 00 00 00 01 00 00 00 00 00 00 00\n"
         "001D: 02 03 00 00 00 00 00 01 00 03 00 03 00 00 00\n"
         "001D: 01 00 00 01 00 00 00 01 00 00 00 00 00 01 01\n"
         "001D: 00 03 00 01 00 00 00 01 00 03 00 03 00 01 01\n"
         "000A:\n"},
        {"frozen without splits: neither PANE nor SELECTION", 0, 0, 5, 5, "000A:\n"},
    };
    for (const TPaneCase& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeConverterWorkbook(workbook_);
        TPane& pane = Sheet().Pane();
        pane.SetPaneType(ptFrozen);
        pane.SetSplitColX(c.SplitColX);
        pane.SetSplitRowY(c.SplitRowY);
        pane.SetTopRow(c.TopRow);
        pane.SetLeftCol(c.LeftCol);
        const auto recs = SheetRecs();
        size_t window2 = 0;
        while (window2 < recs.size() && recs[window2].Id != 0x023E) ++window2;
        ASSERT_LT(window2, recs.size());
        EXPECT_EQ(Le16(recs[window2].Body, 0), 0x07BE);  // 0x06B6 with frozen panes 0x0008 and 0x0100
        EXPECT_EQ(Describe(std::vector<TRec>(recs.begin() + window2 + 1, recs.end())), c.Expected);
    }
}

TEST_F(SheetTest, ZoomOtherThan100WritesSclBeforeWindow2) {
    for (uint16_t zoom : {0, 100, 75}) {
        SCOPED_TRACE(zoom);
        Sheet().SetZoom(zoom);
        const auto recs = SheetRecs();
        const auto scl = OfId(recs, 0x00A0);
        if (zoom == 75) {
            ASSERT_EQ(scl.size(), 1u);
            EXPECT_EQ(Hex(scl[0].Body), "4B 00 64 00");
            const auto ids = Ids(recs);
            const auto at = std::find(ids.begin(), ids.end(), 0x00A0) - ids.begin();
            EXPECT_EQ(ids[at + 1], 0x023E);
        } else {
            EXPECT_TRUE(scl.empty());
        }
    }
}

TEST_F(SheetTest, SelectionOfPane3ListsTheSelectedAreas) {
    TSelectedAreas& areas = Sheet().SelectedAreas();
    areas.Clear();
    areas.AddArea(1, 2, 3, 4);
    areas.AddArea(300, 70000, 400, 80000);  // beyond the sheet: held at its last row and column
    areas.SetActiveRow(2);
    areas.SetActiveCol(1);
    EXPECT_EQ(Hex(OfId(SheetRecs(), 0x001D).at(0).Body),
              "03 02 00 01 00 00 00 02 00 02 00 04 00 01 03 FF FF FF FF FF FF");
    areas.Clear();
    EXPECT_EQ(Hex(OfId(SheetRecs(), 0x001D).at(0).Body), "03 02 00 01 00 00 00 01 00 02 00 02 00 01 01");
}

// ---- Merged areas

TEST_F(SheetTest, MergedAreasAreWrittenInRecordsOf1027) {
    for (uint32_t i = 0; i < 2000; ++i) Sheet().MergedCells().AddArea(0, 2 * i, 1, 2 * i + 1);
    const auto merged = OfId(SheetRecs(), 0x00E5);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(Le16(merged[0].Body, 0), 1027);
    EXPECT_EQ(merged[0].Body.size(), 2u + 8 * 1027);
    EXPECT_EQ(Le16(merged[1].Body, 0), 973);
    EXPECT_EQ(merged[1].Body.size(), 2u + 8 * 973);
    // Area 1027 (rows 2054-2055) opens the second record.
    EXPECT_EQ(Hex(Bytes(merged[1].Body.begin() + 2, merged[1].Body.begin() + 10)), "06 08 07 08 00 00 01 00");
    EXPECT_EQ(Hex(Bytes(merged[0].Body.begin() + 2, merged[0].Body.begin() + 10)), "00 00 01 00 00 00 01 00");
}

TEST_F(SheetTest, MergedAreasReachingBeyondTheSheetAreCutToIt) {
    TMergedCells& merged = Sheet().MergedCells();
    merged.AddArea(250, 0, 300, 1);        // cut to columns 250-255
    merged.AddArea(300, 0, 310, 0);        // wholly beyond: left out
    merged.AddArea(255, 5, 260, 5);        // would be the single cell IV6: left out
    merged.AddArea(0, 65530, 1, 70000);    // cut to the last row
    merged.AddArea(2, 2, 3, 3);
    const auto records = OfId(SheetRecs(), 0x00E5);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Hex(records[0].Body),
              Hex(HexBytes("03 00 | 00 00 01 00 FA 00 FF 00 | FA FF FF FF 00 00 01 00 | 02 00 03 00 02 00 03 00")));
}

// ---- Print settings and protection

TEST_F(SheetTest, HeaderFooterMarginsAndPageBreaksFromThePrintSettings) {
    TPrintSettings& print = Sheet().PrintSettings();
    print.SetHeader(u"Page &P");
    print.SetMarginLeft(-1);  // negative: not written
    print.SetMarginBottom(0);
    print.AddHorizPagebreak(9);
    print.AddVertPagebreak(3);
    const auto recs = SheetRecs();
    EXPECT_EQ(OfId(recs, 0x0014).at(0).Body, Cat({HexBytes("07 00 01"), Utf16(u"Page &P")}));
    EXPECT_TRUE(OfId(recs, 0x0015).at(0).Body.empty());
    EXPECT_TRUE(OfId(recs, 0x0026).empty());
    EXPECT_EQ(Hex(OfId(recs, 0x0029).at(0).Body), "00 00 00 00 00 00 00 00");
    // Position, first and last of the extent, each plus 1; a last row of 65535 stays 65535.
    EXPECT_EQ(Hex(OfId(recs, 0x001B).at(0).Body), "01 00 0A 00 01 00 00 01");
    EXPECT_EQ(Hex(OfId(recs, 0x001A).at(0).Body), "01 00 04 00 01 00 FF FF");
    const auto ids = Ids(recs);
    const auto at = std::find(ids.begin(), ids.end(), 0x001B) - ids.begin();
    EXPECT_EQ(std::vector<uint16_t>(ids.begin() + at - 1, ids.begin() + at + 4),
              (std::vector<uint16_t>{0x0081, 0x001B, 0x001A, 0x0014, 0x0015}));
}

TEST_F(SheetTest, ARecordLongerThanARecordCanHoldIsRefused) {
    Sheet().PrintSettings().SetFooter(std::u16string(5000, u'f'));
    Bytes target = {1};
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                     "Record 0015 of 10003 bytes is longer than a record can hold (8224 bytes)");
    EXPECT_EQ(target, Bytes{1});
    Sheet().PrintSettings().SetFooter(std::u16string(4110, u'f'));  // 8223 bytes
    EXPECT_EQ(OfId(SheetRecs(), 0x0015).at(0).Body.size(), 8223u);
}

TEST_F(SheetTest, AProtectedSheetWritesProtectAndSheetProtection) {
    EXPECT_TRUE(OfId(SheetRecs(), 0x0867).empty());
    Sheet().SetSheetProtection(spSelectLockedCells | spSelectUnlockedCells);
    const auto recs = SheetRecs();
    EXPECT_EQ(Hex(OfId(recs, 0x0012).at(0).Body), "01 00");
    EXPECT_EQ(Hex(OfId(recs, 0x0867).at(0).Body),
              "67 08 00 00 00 00 00 00 00 00 00 00 02 00 01 FF FF FF FF 00 44 00 00");
}

TEST_F(SheetTest, HiddenSheetsKeepTheirWindowAndGetTheirOptionWord) {
    Book().Sheets().Add().SetHidden(hsHidden);
    const auto parts = Substreams(WriteRaw(Book()));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(Le16(OfId(parts[0], 0x0085).at(1).Body, 4), 0x0001);
    EXPECT_EQ(Le16(OfId(parts[2], 0x023E).at(0).Body, 0), 0x04B6);
}

// ---- Writes and progress

TEST_F(SheetTest, EachWriteCarriesThePropertiesAsTheyAreThen) {
    const auto first = SheetRecs();
    EXPECT_TRUE(Sheet().RecordListFilled());
    Sheet().SetZoom(150);
    Sheet().SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols);
    Sheet().SetAsFloat(0, 0, 1);
    const auto second = SheetRecs();
    EXPECT_EQ(Hex(OfId(first, 0x0081).at(0).Body), "C1 04");
    EXPECT_EQ(Hex(OfId(second, 0x0081).at(0).Body), "81 04");
    EXPECT_EQ(Hex(OfId(second, 0x00A0).at(0).Body), "96 00 64 00");
    EXPECT_EQ(Le16(OfId(second, 0x023E).at(0).Body, 12), 150);
    EXPECT_EQ(OfId(second, 0x027E).size(), 1u);
}

TEST_F(SheetTest, ProgressIsReportedEvery100CellsBetween0And100) {
    for (int i = 0; i < 250; ++i) Sheet().SetAsFloat(i % 10, i / 10, i);
    std::vector<int32_t> reported;
    Book().SetOnProgress([&](TXLSWorkbook&, int32_t percent) { reported.push_back(percent); });
    Bytes file;
    Book().WriteToStream(TBIFF8Writer(), &file);
    EXPECT_EQ(reported, (std::vector<int32_t>{0, 40, 80, 100}));
}

}  // namespace
}  // namespace quarvel
