// The sparse cell store: row-major iteration against an ordered map, blank runs, the used area,
// replacing, detaching and deleting cells, and the address space.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/PlatformSupport.h"
#include "biff/SST.h"
#include "workbook/CellStorage.h"
#include "workbook/XLSUtils.h"

namespace quarvel {
namespace {

using Position = std::pair<int32_t, int32_t>;  // (col, row)

class CellStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        MaxCol = 255;
        MaxRow = 65535;
    }

    TXFonts fonts;
    TCellFormats formats{&fonts, true};
    TSST2 strings{&fonts};
    TCellStorage store{&strings};

    TCell* Blank(int32_t col, int32_t row) {
        store.SetCell(col, row, std::make_unique<TBlankCell>(formats, col, row, 15));
        return store.GetCell(col, row);
    }
    TCell* Number(int32_t col, int32_t row, double value = 1.0) {
        store.SetCell(col, row, std::make_unique<TFloatCell>(formats, col, row, value, 15));
        return store.GetCell(col, row);
    }
    TCell* Text(int32_t col, int32_t row, const WideString& text) {
        store.SetCell(col, row, std::make_unique<TStringCell>(formats, col, row, strings.AddString(text), 15));
        return store.GetCell(col, row);
    }
    std::vector<Position> Iterate() {
        std::vector<Position> seen;
        store.BeginIterate();
        while (TCell* cell = store.NextCell()) seen.emplace_back(cell->Col(), cell->Row());
        return seen;
    }
    std::vector<int32_t> Dimensions() {
        store.CalcDimensions();
        return {store.FirstCol(), store.LastCol(), store.FirstRow(), store.LastRow()};
    }
};

TEST_F(CellStorageTest, IterationIsRowMajor) {
    for (auto [col, row] : {Position{300, 3}, {1, 3}, {5, 0}, {0, 0}}) Number(col, row);
    EXPECT_EQ(Iterate(), (std::vector<Position>{{0, 0}, {5, 0}, {1, 3}, {300, 3}}));
    EXPECT_EQ(store.NextCell(), nullptr) << "the cursor stays past the end";
}

TEST_F(CellStorageTest, IterationAgreesWithAnOrderedMapOnScatteredCells) {
    // Cells around every block boundary of the four levels and at the far corners of the address
    // space, plus random ones; some are deleted again, which leaves their blocks behind.
    std::map<std::pair<int32_t, int32_t>, int> expected;  // (row, col)
    std::vector<Position> positions = {{0, 0},     {127, 0},    {128, 0},     {129, 1023}, {255, 1024},
                                       {256, 1025}, {16383, 0}, {0, 1048575}, {16383, 1048575}};
    std::mt19937 random(12345);
    std::uniform_int_distribution<int32_t> anyCol(0, 700), anyRow(0, 5000);
    for (int i = 0; i < 3000; ++i) positions.emplace_back(anyCol(random), anyRow(random));
    for (auto [col, row] : positions) {
        Number(col, row);
        expected[{row, col}] = 1;
    }
    for (size_t i = 0; i < positions.size(); i += 3) {
        auto [col, row] = positions[i];
        store.DeleteStoredCell(col, row);
        expected.erase({row, col});
    }
    std::vector<Position> want;
    for (const auto& [key, unused] : expected) want.emplace_back(key.second, key.first);
    EXPECT_EQ(Iterate(), want);
    EXPECT_EQ(store.CellCount(), static_cast<int64_t>(want.size()));
}

TEST_F(CellStorageTest, BlankRunsStopAtTheFirstGapOrOtherCell) {
    // Row 0: blanks at 2, 3, 4 then a number at 5. Row 1: blanks at 0 and 1, and 3 after a gap.
    for (int col : {2, 3, 4}) Blank(col, 0);
    Number(5, 0);
    Blank(0, 1);
    Blank(1, 1);
    Blank(3, 1);
    TCell* cached = store.LastCell();
    store.BeginIterate();
    TCell* first = store.NextCell();
    ASSERT_EQ(first->Col(), 2);
    ASSERT_NE(store.NextBlankCell(), nullptr);
    EXPECT_EQ(store.LastCell(), cached) << "iteration does not touch the cache";
    TCell* fourth = store.NextBlankCell();
    ASSERT_NE(fourth, nullptr);
    EXPECT_EQ(fourth->Col(), 4);
    EXPECT_EQ(store.NextBlankCell(), nullptr) << "a number ends the run";
    EXPECT_EQ(store.NextCell()->Col(), 5);
    EXPECT_EQ(store.NextBlankCell(), nullptr) << "a run never continues into the next row";
    TCell* next = store.NextCell();
    EXPECT_EQ(std::make_pair(int(next->Col()), next->Row()), std::make_pair(0, 1));
    EXPECT_EQ(store.NextBlankCell()->Col(), 1);
    EXPECT_EQ(store.NextBlankCell(), nullptr) << "a gap ends the run";
    EXPECT_EQ(store.NextCell()->Col(), 3);
    EXPECT_EQ(store.NextCell(), nullptr);
}

TEST_F(CellStorageTest, BlankRunsCrossColumnBlocksButNotTheLastColumn) {
    for (int col = 120; col <= 140; ++col) Blank(col, 2);
    store.BeginIterate();
    ASSERT_EQ(store.NextCell()->Col(), 120);
    int run = 1;
    while (store.NextBlankCell()) ++run;
    EXPECT_EQ(run, 21) << "the run goes on from column 127 into the next block of 128";

    // At the very end of the address space the run stops one column early, as the walk over
    // full blocks does: after column 16382 the cursor is at the last slot of the last block.
    Blank(16382, 9);
    Blank(16383, 9);
    store.BeginIterate();
    TCell* cell;
    while ((cell = store.NextCell()) && cell->Row() != 9) {
    }
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->Col(), 16382);
    EXPECT_EQ(store.NextBlankCell(), nullptr);
    EXPECT_EQ(store.NextCell()->Col(), 16383);
}

// Rows whose blocks were made in one step (ReserveRow, also wider than the cells stored there)
// iterate, run blanks and measure as rows whose cells were stored one by one.
TEST_F(CellStorageTest, ReservedRowsBehaveAsRowsStoredCellByCell) {
    TCellStorage reserved{&strings};
    std::mt19937 rng(5);
    std::vector<std::pair<Position, bool>> cells;  // position, blank
    for (int32_t row = 0; row < 300; row += 1 + static_cast<int32_t>(rng() % 7)) {
        const int32_t width = 1 + static_cast<int32_t>(rng() % 300);
        reserved.ReserveRow(row, width - 1 + static_cast<int32_t>(rng() % 3) * 40);
        for (int32_t col = 0; col < width; ++col) {
            if (rng() % 4 == 0) continue;  // gaps end blank runs
            cells.push_back({{col, row}, rng() % 2 == 0});
        }
    }
    for (TCellStorage* s : {&store, &reserved}) {
        for (const auto& [position, blank] : cells) {
            const auto [col, row] = position;
            if (blank) {
                s->SetCell(col, row, std::make_unique<TBlankCell>(formats, col, row, 15));
            } else {
                s->SetCell(col, row, std::make_unique<TFloatCell>(formats, col, row, 1.0, 15));
            }
        }
    }
    // The walk the writer makes: every cell, and after each blank the run that follows it.
    auto walk = [](TCellStorage& s) {
        std::vector<std::string> seen;
        s.BeginIterate();
        while (TCell* cell = s.NextCell()) {
            seen.push_back(std::to_string(cell->Col()) + ":" + std::to_string(cell->Row()));
            if (cell->CellType() != ctBlank) continue;
            while (TCell* blank = s.NextBlankCell()) seen.push_back("+" + std::to_string(blank->Col()));
        }
        s.CalcDimensions();
        seen.push_back(std::to_string(s.FirstCol()) + " " + std::to_string(s.LastCol()) + " " +
                       std::to_string(s.FirstRow()) + " " + std::to_string(s.LastRow()));
        return seen;
    };
    EXPECT_EQ(walk(reserved), walk(store));

    // Outside the address space nothing is made: the store still reports that it never held a block.
    TCellStorage untouched{&strings};
    untouched.ReserveRow(-1, 5);
    untouched.ReserveRow(TCellStorage::RowCount, 5);
    untouched.ReserveRow(3, TCellStorage::ColumnCount);
    untouched.ReserveRow(3, -1);
    untouched.CalcDimensions();
    EXPECT_EQ(std::vector<int32_t>({untouched.FirstCol(), untouched.LastCol(), untouched.FirstRow(), untouched.LastRow()}),
              std::vector<int32_t>({0, 0, 0, 0}));
}

TEST_F(CellStorageTest, UsedArea) {
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{0, 0, 0, 0})) << "never had a cell";
    Number(3, 10);
    Number(7, 2);
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{3, 7, 2, 10}));
    Number(200, 0);
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{3, 200, 0, 10}));
    // A cell beyond the BIFF8 columns alone: the first column never starts above MaxCol.
    store.DeleteStoredCell(3, 10);
    store.DeleteStoredCell(7, 2);
    store.DeleteStoredCell(200, 0);
    Number(300, 4);
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{255, 300, 4, 4}));
    store.DeleteStoredCell(300, 4);
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{255, 0, 65535, 0})) << "all deleted: the blocks remain";
    store.ClearCells();
    EXPECT_EQ(Dimensions(), (std::vector<int32_t>{0, 0, 0, 0})) << "no blocks left";
}

TEST_F(CellStorageTest, OverwritingKeepsTheFormatAndReleasesTheText) {
    TCell* text = Text(4, 4, u"hello");
    text->SetBorderTopStyle(cbsThin);
    TCellFormat* bordered = &text->Format();
    ASSERT_EQ(bordered->RefCount(), 1);
    ASSERT_EQ(strings.TotalCount(), 1u);

    TCell* number = Number(4, 4, 2.5);
    EXPECT_EQ(&number->Format(), bordered) << "the new cell took over the old cell's format";
    EXPECT_EQ(bordered->RefCount(), 1) << "one holder before, one holder after";
    EXPECT_EQ(strings.TotalCount(), 0u);
    EXPECT_EQ(strings.UniqueCount(), 0u) << "the text's only reference was given back";
    EXPECT_EQ(store.CellCount(), 1);
    EXPECT_EQ(store.LastCell(), number);
}

TEST_F(CellStorageTest, PutCellKeepsTheNewCellsFormat) {
    TCell* old = Number(1, 1);
    old->SetIndent(2);
    ASSERT_EQ(formats.Count(), 23);
    store.PutCell(1, 1, std::make_unique<TFloatCell>(formats, 1, 1, 9.0, 15));
    EXPECT_EQ(store.GetCell(1, 1)->FormatIndex(), 15);
    EXPECT_EQ(formats.Count(), 22) << "the replaced cell gave its format back";
}

TEST_F(CellStorageTest, DetachedCellsBelongToTheCaller) {
    TCell* cell = Number(2, 3, 4.0);
    std::unique_ptr<TCell> detached = store.DetachCell(2, 3);
    EXPECT_EQ(detached.get(), cell);
    EXPECT_EQ(store.LastCell(), nullptr);
    EXPECT_EQ(store.GetCell(2, 3), nullptr);
    EXPECT_EQ(store.CellCount(), 0);
    EXPECT_EQ(store.DetachCell(2, 3), nullptr);
    store.PutCell(2, 5, std::unique_ptr<TCell>(new TFloatCell(formats, 2, 5, 4.0, 15)));
    EXPECT_EQ(Iterate(), (std::vector<Position>{{2, 5}}));
}

TEST_F(CellStorageTest, LastCellAnswersRepeatedLookups) {
    TCell* a = Number(10, 20);
    TCell* b = Number(11, 20);
    EXPECT_EQ(store.LastCell(), b);
    EXPECT_EQ(store.GetCell(10, 20), a);
    EXPECT_EQ(store.LastCell(), a);
    EXPECT_EQ(store.GetCell(12, 20), nullptr);
    EXPECT_EQ(store.LastCell(), a) << "a miss leaves the cache alone";
    store.DeleteStoredCell(10, 20);
    EXPECT_EQ(store.LastCell(), nullptr);
    EXPECT_EQ(store.GetCell(10, 20), nullptr);
}

TEST_F(CellStorageTest, AddressesOutsideTheStoreAreRefused) {
    const std::vector<Position> outside = {{16384, 0}, {0, 1048576}, {-1, 0}, {0, -1}, {70000, 5}};
    for (auto [col, row] : outside) {
        SCOPED_TRACE(::testing::Message() << col << ":" << row);
        EXPECT_EQ(store.GetCell(col, row), nullptr);
        EXPECT_EQ(store.DetachCell(col, row), nullptr);
        EXPECT_THROW(store.SetCell(col, row, std::make_unique<TBlankCell>(formats, col, row, 15)), Error);
    }
    EXPECT_THROW_MSG(TCellStorage::CheckAddress(16384, 7), Error,
                     "Cell 16384:7 is outside the sheet (columns 0 to 16383, rows 0 to 1048575)");
    EXPECT_EQ(store.CellCount(), 0);
    store.CalcDimensions();
    EXPECT_EQ(store.LastRow(), 0) << "nothing was allocated";
}

TEST_F(CellStorageTest, ACellThatCannotBeStoredGivesBackItsReferences) {
    TSSTEntry* entry = strings.AddString(u"x");
    strings.AddRef(entry);  // keep the entry alive to read its count
    TCellFormat& format = formats.Add();
    format.SetRefCount(2);
    const uint16_t position = static_cast<uint16_t>(format.Index());
    EXPECT_THROW(store.SetCell(5, 5, std::make_unique<TStringCell>(formats, 6, 5, entry, position)), Error)
        << "a cell stored at another position than its own";
    EXPECT_EQ(entry->RefCount(), 1);
    EXPECT_EQ(format.RefCount(), 1);
    strings.ReleaseString(entry);
}

TEST_F(CellStorageTest, CopiesCarryTheirOwnReferences) {
    TCell* text = Text(0, 0, u"copied");
    text->SetIndent(1);
    auto copy = text->MakeCopy(strings);
    EXPECT_EQ(copy->CellType(), ctString);
    EXPECT_EQ(std::make_pair(int(copy->Col()), copy->Row()), std::make_pair(0, 0));
    auto* textCopy = static_cast<TStringCell*>(copy.get());
    EXPECT_EQ(textCopy->StringEntry(), static_cast<TStringCell*>(text)->StringEntry());
    EXPECT_EQ(textCopy->StringEntry()->RefCount(), 2);
    EXPECT_EQ(text->Format().RefCount(), 2);
    TCell* number = Number(1, 0, 7.5);
    auto numberCopy = number->MakeCopy(strings);
    EXPECT_EQ(static_cast<TFloatCell*>(numberCopy.get())->Value(), 7.5);
    // Storing the copy over the original releases the original's text reference only.
    store.PutCell(0, 0, std::move(copy));
    EXPECT_EQ(textCopy->StringEntry()->RefCount(), 1);
    EXPECT_EQ(textCopy->Format().RefCount(), 1);
}

}  // namespace
}  // namespace quarvel
