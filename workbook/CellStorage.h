// The sparse cell store of one sheet.
//
// A cell address is split into four indexes: row div 1024 (level 1, held in the store), row mod
// 1024 (level 2, one block of 1024 rows), column div 128 (level 3, the column blocks of one row)
// and column mod 128 (level 4, the cell slots of one column block). Blocks are allocated on the
// first store into their range and are only freed by ClearCells or with the store.
//
// Levels 3 and 4 are sized to what a row uses: a row's level-3 array reaches only to its highest
// used column block, and a level-4 block only to its highest used column (rounded up to a multiple
// of four, at most 128). A row of ten cells therefore costs one small array and one block of
// twelve slots instead of 256 slots. Slots beyond a block's length read as empty, so iteration,
// blank runs and the used area are exactly those of full 128-slot blocks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "workbook/Cell.h"

namespace quarvel {

class TSST2;

class TCellStorage {
public:
    // The address space: columns 0..16383, rows 0..1048575.
    static constexpr int32_t ColumnCount = 16384;
    static constexpr int32_t RowCount = 1048576;

    // strings is the shared string table whose entries the store's text cells hold (not owned);
    // removing a text cell gives its entry back there.
    explicit TCellStorage(TSST2* strings);
    TCellStorage(const TCellStorage&) = delete;
    TCellStorage& operator=(const TCellStorage&) = delete;
    // Frees every cell (each giving back its format reference; string entries are not released).
    virtual ~TCellStorage();

    TSST2* Strings() const { return strings_; }

    // Whether (col, row) lies in the address space.
    static bool InAddressSpace(int32_t col, int32_t row) {
        return static_cast<uint32_t>(col) < static_cast<uint32_t>(ColumnCount) &&
               static_cast<uint32_t>(row) < static_cast<uint32_t>(RowCount);
    }
    // Fails with "Cell <col>:<row> is outside the sheet (columns 0 to 16383, rows 0 to 1048575)"
    // unless (col, row) lies in the address space.
    static void CheckAddress(int32_t col, int32_t row);

    // The cell at (col, row), or null (also outside the address space). Answers from LastCell
    // when it is that cell, otherwise walks the levels and makes the cell found LastCell.
    // Never allocates.
    TCell* GetCell(int32_t col, int32_t row);
    // Stores cell at (col, row), which must be the cell's own position. A cell already there is
    // replaced: the new cell takes over its format (so a value written over a cell keeps that
    // cell's formatting), its string entry is released and it is freed. The new cell becomes
    // LastCell. Returns the level-4 index (col mod 128). Fails for an address outside the address
    // space or a cell positioned elsewhere; the cell is then freed and its string entry released.
    int SetCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell);
    // As SetCell, but a replaced cell keeps its format to itself: it is freed as it is (its string
    // entry released). For moving blocks of cells.
    int PutCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell);
    // Makes room for the cells of one row from column 0 to lastCol, to be stored next: the row's
    // blocks are made (or grown) to hold those columns in one step, instead of growing a few
    // times while the cells are stored one by one. Stores no cell. Only for a row that is about to
    // get cells: a store that held a block reports another used area than one that never did.
    // Nothing outside the address space.
    void ReserveRow(int32_t row, int32_t lastCol);
    // Takes the cell out of its slot without freeing it; null when there is none.
    std::unique_ptr<TCell> DetachCell(int32_t col, int32_t row);
    // Frees the cell at (col, row) and clears its slot; nothing when there is none. The string
    // entry of a text cell is not released here (see the sheet's DeleteCell).
    void DeleteStoredCell(int32_t col, int32_t row);
    // Frees every cell and every block.
    void ClearCells();
    // Cells held.
    int64_t CellCount() const { return cellCount_; }
    // The cell last found or stored, or null.
    TCell* LastCell() const { return lastCell_; }

    // Row-major iteration: BeginIterate, then NextCell until it returns null. Rows ascend and,
    // within a row, columns ascend.
    void BeginIterate();
    TCell* NextCell();
    // The cell right at the cursor when it is a blank cell, advancing the cursor past it;
    // otherwise null. Called after a blank cell, it yields the run of adjacent blank cells that
    // follows in the same row; a run never crosses into another row.
    TCell* NextBlankCell();

    // The used area: the smallest and largest column and row holding a cell. Starting values are
    // MaxCol/MaxRow for the firsts and 0 for the lasts; a store that never held a block reports
    // 0 for all four (one that had cells which were all deleted keeps MaxCol, 0, MaxRow, 0).
    void CalcDimensions();
    int32_t FirstCol() const { return firstCol_; }
    int32_t LastCol() const { return lastCol_; }
    int32_t FirstRow() const { return firstRow_; }
    int32_t LastRow() const { return lastRow_; }

private:
    // A length word followed by that many items, allocated as one block.
    template <class Item>
    class TSlotArray;
    using TCellBlock = TSlotArray<TCell*>;        // level 4: the cells of one column block of a row
    using TRowBlocks = TSlotArray<TCellBlock*>;   // level 3: the column blocks of one row
    struct TRowRange;                             // level 2: 1024 rows

    // The slot of (col, row), creating every missing block on the way.
    TCell*& Slot(uint32_t col, uint32_t row);
    // The slot of (col, row) if its blocks exist, else null.
    TCell** FindSlot(uint32_t col, uint32_t row) const;
    int StoreCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell, bool takeOverFormat);
    // Gives back the string entry of a text cell that leaves the store.
    void ReleaseStrings(TCell& cell) noexcept;

    TSST2* strings_;
    std::array<TRowRange*, 1024> level1_{};
    TCell* lastCell_ = nullptr;
    int64_t cellCount_ = 0;
    // Iteration cursor, levels 1 to 4.
    uint32_t cursor1_ = 0, cursor2_ = 0, cursor3_ = 0, cursor4_ = 0;
    int32_t firstCol_ = 0, lastCol_ = 0, firstRow_ = 0, lastRow_ = 0;
};

}  // namespace quarvel
