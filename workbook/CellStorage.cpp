#include "workbook/CellStorage.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "biff/SST.h"
#include "workbook/XLSUtils.h"

namespace quarvel {

namespace {

constexpr uint32_t kRowsPerRange = 1024;  // level 2
constexpr uint32_t kBlockColumns = 128;   // level 4
constexpr uint32_t kRowBlocks = 128;      // level 3

}  // namespace

// -------------------------------------------------------------------------------------------------
// Blocks

template <class Item>
class TCellStorage::TSlotArray {
public:
    // A block of length items, all empty.
    static TSlotArray* Create(uint32_t length) {
        void* memory = std::malloc(sizeof(TSlotArray) + length * sizeof(Item));
        if (!memory) throw std::bad_alloc();
        auto* block = new (memory) TSlotArray(length);
        std::fill_n(block->Items(), length, nullptr);
        return block;
    }
    // The block grown to length items, the new ones empty. The old block is gone afterwards,
    // unless the allocation fails, which leaves it as it was.
    static TSlotArray* Grow(TSlotArray* block, uint32_t length) {
        const uint32_t old = block->length_;
        void* memory = std::realloc(block, sizeof(TSlotArray) + length * sizeof(Item));
        if (!memory) throw std::bad_alloc();
        block = static_cast<TSlotArray*>(memory);
        block->length_ = length;
        std::fill(block->Items() + old, block->Items() + length, nullptr);
        return block;
    }
    static void Free(TSlotArray* block) { std::free(block); }

    uint32_t Length() const { return length_; }
    Item* Items() { return reinterpret_cast<Item*>(this + 1); }
    // The item at i, or null beyond the length.
    Item At(uint32_t i) { return i < length_ ? Items()[i] : nullptr; }

private:
    explicit TSlotArray(uint32_t length) : length_(length) {}
    uint32_t length_;
    uint32_t unused_ = 0;  // keeps the items aligned to pointers
};

struct TCellStorage::TRowRange {
    std::array<TRowBlocks*, kRowsPerRange> rows{};
};

namespace {

// Length of a level-4 block that must hold slot index: grown by half at least, in steps of four,
// so that a row written from left to right is reallocated a few times only.
uint32_t CellBlockLength(uint32_t index, uint32_t current) {
    uint32_t length = std::max(index + 1, current + current / 2);
    length = (length + 3) & ~3u;
    return std::min(length, kBlockColumns);
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// TCellStorage

TCellStorage::TCellStorage(TSST2* strings) : strings_(strings) {}

TCellStorage::~TCellStorage() { ClearCells(); }

void TCellStorage::CheckAddress(int32_t col, int32_t row) {
    if (!InAddressSpace(col, row))
        throw Error("Cell " + std::to_string(col) + ":" + std::to_string(row) +
                    " is outside the sheet (columns 0 to 16383, rows 0 to 1048575)");
}

TCell*& TCellStorage::Slot(uint32_t col, uint32_t row) {
    const uint32_t i1 = row >> 10, i2 = row & (kRowsPerRange - 1);
    const uint32_t i3 = col >> 7, i4 = col & (kBlockColumns - 1);
    TRowRange*& range = level1_[i1];
    if (!range) range = new TRowRange();
    TRowBlocks*& blocks = range->rows[i2];
    if (!blocks)
        blocks = TRowBlocks::Create(i3 + 1);
    else if (blocks->Length() <= i3)
        blocks = TRowBlocks::Grow(blocks, i3 + 1);
    TCellBlock*& cells = blocks->Items()[i3];
    if (!cells)
        cells = TCellBlock::Create(CellBlockLength(i4, 0));
    else if (cells->Length() <= i4)
        cells = TCellBlock::Grow(cells, CellBlockLength(i4, cells->Length()));
    return cells->Items()[i4];
}

void TCellStorage::ReserveRow(int32_t row, int32_t lastCol) {
    if (!InAddressSpace(lastCol, row) || lastCol < 0) return;
    const auto col = static_cast<uint32_t>(lastCol);
    const uint32_t i1 = static_cast<uint32_t>(row) >> 10, i2 = static_cast<uint32_t>(row) & (kRowsPerRange - 1);
    const uint32_t last3 = col >> 7;
    TRowRange*& range = level1_[i1];
    if (!range) range = new TRowRange();
    TRowBlocks*& blocks = range->rows[i2];
    if (!blocks)
        blocks = TRowBlocks::Create(last3 + 1);
    else if (blocks->Length() <= last3)
        blocks = TRowBlocks::Grow(blocks, last3 + 1);
    for (uint32_t i3 = 0; i3 <= last3; ++i3) {
        // Full blocks up to the last, which reaches to lastCol rounded up to four columns.
        const uint32_t i4 = i3 < last3 ? kBlockColumns - 1 : (col & (kBlockColumns - 1));
        const uint32_t length = std::min((i4 + 1 + 3) & ~3u, kBlockColumns);
        TCellBlock*& cells = blocks->Items()[i3];
        if (!cells)
            cells = TCellBlock::Create(length);
        else if (cells->Length() < length)
            cells = TCellBlock::Grow(cells, length);
    }
}

TCell** TCellStorage::FindSlot(uint32_t col, uint32_t row) const {
    const TRowRange* range = level1_[row >> 10];
    if (!range) return nullptr;
    TRowBlocks* blocks = range->rows[row & (kRowsPerRange - 1)];
    if (!blocks) return nullptr;
    TCellBlock* cells = blocks->At(col >> 7);
    if (!cells || (col & (kBlockColumns - 1)) >= cells->Length()) return nullptr;
    return &cells->Items()[col & (kBlockColumns - 1)];
}

TCell* TCellStorage::GetCell(int32_t col, int32_t row) {
    if (!InAddressSpace(col, row)) return nullptr;
    if (lastCell_ && lastCell_->Row() == row && lastCell_->Col() == col) return lastCell_;
    TCell** slot = FindSlot(static_cast<uint32_t>(col), static_cast<uint32_t>(row));
    if (!slot || !*slot) return nullptr;
    lastCell_ = *slot;
    return lastCell_;
}

void TCellStorage::ReleaseStrings(TCell& cell) noexcept {
    if (cell.CellType() == ctString && strings_)
        strings_->ReleaseString(static_cast<TStringCell&>(cell).StringEntry());
}

int TCellStorage::StoreCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell, bool takeOverFormat) {
    if (!cell) throw Error("No cell to store at " + std::to_string(col) + ":" + std::to_string(row));
    TCell** place = nullptr;
    try {
        CheckAddress(col, row);
        if (cell->Col() != col || cell->Row() != row)
            throw Error("The cell of " + std::to_string(cell->Col()) + ":" + std::to_string(cell->Row()) +
                        " cannot be stored at " + std::to_string(col) + ":" + std::to_string(row));
        place = &Slot(static_cast<uint32_t>(col), static_cast<uint32_t>(row));
    } catch (...) {
        // The cell is freed unstored; the string reference it was given goes back with it.
        ReleaseStrings(*cell);
        throw;
    }
    TCell*& slot = *place;
    if (TCell* old = slot) {
        // The new cell takes its reference on the old format before the old cell gives its own
        // back, so a format the old cell held alone survives the exchange.
        if (takeOverFormat) cell->SetFormatIndex(static_cast<uint16_t>(old->FormatIndex()));
        ReleaseStrings(*old);
        slot = nullptr;
        --cellCount_;
        if (lastCell_ == old) lastCell_ = nullptr;
        delete old;
    }
    slot = cell.release();
    ++cellCount_;
    lastCell_ = slot;
    return col & (kBlockColumns - 1);
}

int TCellStorage::SetCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell) {
    return StoreCell(col, row, std::move(cell), true);
}

int TCellStorage::PutCell(int32_t col, int32_t row, std::unique_ptr<TCell> cell) {
    return StoreCell(col, row, std::move(cell), false);
}

std::unique_ptr<TCell> TCellStorage::DetachCell(int32_t col, int32_t row) {
    if (!InAddressSpace(col, row)) return nullptr;
    TCell** slot = FindSlot(static_cast<uint32_t>(col), static_cast<uint32_t>(row));
    if (!slot || !*slot) return nullptr;
    std::unique_ptr<TCell> cell(*slot);
    *slot = nullptr;
    --cellCount_;
    if (lastCell_ == cell.get()) lastCell_ = nullptr;
    return cell;
}

void TCellStorage::DeleteStoredCell(int32_t col, int32_t row) {
    DetachCell(col, row);  // the detached cell is freed here
}

void TCellStorage::ClearCells() {
    for (TRowRange*& range : level1_) {
        if (!range) continue;
        for (TRowBlocks*& blocks : range->rows) {
            if (!blocks) continue;
            for (uint32_t i3 = 0; i3 < blocks->Length(); ++i3) {
                TCellBlock* cells = blocks->Items()[i3];
                if (!cells) continue;
                for (uint32_t i4 = 0; i4 < cells->Length(); ++i4) delete cells->Items()[i4];
                TCellBlock::Free(cells);
            }
            TRowBlocks::Free(blocks);
            blocks = nullptr;
        }
        delete range;
        range = nullptr;
    }
    lastCell_ = nullptr;
    cellCount_ = 0;
}

void TCellStorage::BeginIterate() { cursor1_ = cursor2_ = cursor3_ = cursor4_ = 0; }

TCell* TCellStorage::NextCell() {
    // Advancing one level resets the indexes of the levels below, as the cursor of a walk over full
    // blocks would; slots beyond a block's length are empty.
    for (; cursor1_ < level1_.size(); ++cursor1_, cursor2_ = cursor3_ = cursor4_ = 0) {
        TRowRange* range = level1_[cursor1_];
        if (!range) continue;
        for (; cursor2_ < kRowsPerRange; ++cursor2_, cursor3_ = cursor4_ = 0) {
            TRowBlocks* blocks = range->rows[cursor2_];
            if (!blocks) continue;
            for (; cursor3_ < blocks->Length(); ++cursor3_, cursor4_ = 0) {
                TCellBlock* cells = blocks->Items()[cursor3_];
                if (!cells) continue;
                for (; cursor4_ < cells->Length(); ++cursor4_) {
                    if (TCell* cell = cells->Items()[cursor4_]) {
                        ++cursor4_;
                        return cell;
                    }
                }
            }
        }
    }
    return nullptr;
}

TCell* TCellStorage::NextBlankCell() {
    if (cursor3_ >= kRowBlocks - 1 && cursor4_ >= kBlockColumns - 1) return nullptr;
    if (cursor1_ >= level1_.size() || cursor2_ >= kRowsPerRange) return nullptr;
    TRowRange* range = level1_[cursor1_];
    if (!range) return nullptr;
    TRowBlocks* blocks = range->rows[cursor2_];
    if (!blocks) return nullptr;
    for (;;) {
        TCellBlock* cells = blocks->At(cursor3_);
        if (!cells) return nullptr;
        if (cursor4_ >= kBlockColumns) {
            cursor4_ = 0;
            if (++cursor3_ >= kRowBlocks) return nullptr;
            continue;
        }
        TCell* cell = cells->At(cursor4_);
        if (!cell || cell->CellType() != ctBlank) return nullptr;
        ++cursor4_;
        return cell;
    }
}

void TCellStorage::CalcDimensions() {
    int32_t firstCol = MaxCol, lastCol = 0, firstRow = MaxRow, lastRow = 0;
    bool anyRange = false;
    // Per row only the first and the last cell count, so each row is searched from both ends.
    for (uint32_t i1 = 0; i1 < level1_.size(); ++i1) {
        TRowRange* range = level1_[i1];
        if (!range) continue;
        anyRange = true;
        for (uint32_t i2 = 0; i2 < kRowsPerRange; ++i2) {
            TRowBlocks* blocks = range->rows[i2];
            if (!blocks) continue;
            int32_t first = -1, last = -1;
            for (uint32_t i3 = 0; i3 < blocks->Length() && first < 0; ++i3) {
                TCellBlock* cells = blocks->Items()[i3];
                if (!cells) continue;
                for (uint32_t i4 = 0; i4 < cells->Length(); ++i4) {
                    if (cells->Items()[i4]) {
                        first = static_cast<int32_t>(i3 * kBlockColumns + i4);
                        break;
                    }
                }
            }
            if (first < 0) continue;
            for (uint32_t i3 = blocks->Length(); i3-- > 0 && last < 0;) {
                TCellBlock* cells = blocks->Items()[i3];
                if (!cells) continue;
                for (uint32_t i4 = cells->Length(); i4-- > 0;) {
                    if (cells->Items()[i4]) {
                        last = static_cast<int32_t>(i3 * kBlockColumns + i4);
                        break;
                    }
                }
            }
            const auto row = static_cast<int32_t>(i1 * kRowsPerRange + i2);
            firstCol = std::min(firstCol, first);
            lastCol = std::max(lastCol, last);
            firstRow = std::min(firstRow, row);
            lastRow = std::max(lastRow, row);
        }
    }
    if (!anyRange) firstCol = firstRow = 0;
    firstCol_ = firstCol;
    lastCol_ = lastCol;
    firstRow_ = firstRow;
    lastRow_ = lastRow;
}

}  // namespace quarvel
