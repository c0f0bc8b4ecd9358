// Cells live in pooled slots: many cells over several pool blocks, given back in an interleaved
// order and taken again, keep their own values and positions, and stores can come and go while
// others still hold cells.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "biff/SST.h"
#include "workbook/CellStorage.h"
#include "workbook/XLSUtils.h"

namespace quarvel {
namespace {

TEST(CellPool, CellsKeepTheirValuesWhileOthersComeAndGo) {
    TXFonts fonts;
    TCellFormats formats(&fonts, true);
    TSST2 strings(&fonts);
    auto first = std::make_unique<TCellStorage>(&strings);
    TCellStorage second(&strings);
    // 300,000 cells span more than two pool blocks of 131,070 slots.
    constexpr int Rows = 30000, Cols = 10;
    auto value = [](int col, int row, int round) { return row * 100.0 + col + round * 0.5; };
    for (int row = 0; row < Rows; ++row) {
        for (int col = 0; col < Cols; ++col) {
            TCellStorage& store = col % 2 ? *first : second;
            store.SetCell(col, row, std::make_unique<TFloatCell>(formats, col, row, value(col, row, 0), 15));
        }
    }
    // Every third cell of the second store goes and comes back with another value; blank cells of
    // a smaller class take slots in between.
    for (int row = 0; row < Rows; row += 3) {
        second.DeleteStoredCell(0, row);
        second.SetCell(0, row, std::make_unique<TFloatCell>(formats, 0, row, value(0, row, 1), 15));
        second.SetCell(1, row, std::make_unique<TBlankCell>(formats, 1, row, 15));
    }
    // The first store goes away whole; its slots are taken again by new cells of the second.
    first.reset();
    for (int row = 0; row < Rows; ++row) {
        second.SetCell(11, row, std::make_unique<TFloatCell>(formats, 11, row, value(11, row, 2), 15));
    }
    int wrong = 0;
    for (int row = 0; row < Rows && wrong < 5; ++row) {
        for (int col : {0, 2, 4, 6, 8, 11}) {
            auto* cell = dynamic_cast<TFloatCell*>(second.GetCell(col, row));
            const int round = col == 11 ? 2 : (col == 0 && row % 3 == 0 ? 1 : 0);
            if (!cell || cell->Col() != col || cell->Row() != row || cell->Value() != value(col, row, round)) {
                ++wrong;
                ADD_FAILURE() << "cell " << col << ":" << row;
            }
        }
        TCell* blank = second.GetCell(1, row);
        if ((row % 3 == 0) != (blank && blank->CellType() == ctBlank)) {
            ++wrong;
            ADD_FAILURE() << "blank " << row;
        }
    }
    EXPECT_EQ(second.CellCount(), int64_t(Rows) * 6 + (Rows + 2) / 3);
}

}  // namespace
}  // namespace quarvel
