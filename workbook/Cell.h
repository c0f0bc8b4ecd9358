// The cells of a sheet. A cell is a formatted object that knows its own position and holds
// nothing (blank), a number, or one reference to an entry of the workbook's shared string table.
#pragma once

#include <cstdint>
#include <memory>

#include "workbook/BIFFRecs.h"
#include "workbook/FormattedObj.h"

namespace quarvel {

class TSST2;
class TSSTEntry;

class TCell : public TFormattedObject {
public:
    // Refers to the format at formatPosition and accounts for one reference on it: whoever
    // creates a cell hands it a reference it already took (GetDefaultFormat, MakeCopy).
    TCell(TCellFormats& formats, int32_t col, int32_t row, uint16_t formatPosition)
        : TFormattedObject(formats, formatPosition), row_(row), col_(static_cast<uint16_t>(col)) {}
    // Gives back the format reference. A string cell does not give back its string entry here:
    // the storage operations that remove cells do that.
    ~TCell() override { ReleaseFormat(); }

    uint16_t Col() const { return col_; }
    int32_t Row() const { return row_; }

    // Cells come from a pool of 32-byte slots carved out of large blocks, not from the general
    // heap one by one: a full sheet makes millions of them, and the heap's own bookkeeping would
    // cost more time and memory than the cells. Builds with a sanitizer use the heap, so that its
    // checks see every cell.
    static void* operator new(size_t size);
    static void operator delete(void* cell, size_t size) noexcept;

    virtual TCellType CellType() const = 0;
    // A new cell of the same class with the same position, value and format; the copy holds its
    // own reference on the format and, for a string cell, on the string entry (taken from
    // strings, the table the entry belongs to).
    virtual std::unique_ptr<TCell> MakeCopy(TSST2& strings) const = 0;

protected:
    // Takes the reference a copy of the cell holds on the cell's format.
    void AddFormatReference() const;

private:
    int32_t row_;
    uint16_t col_;
};

class TBlankCell final : public TCell {
public:
    using TCell::TCell;
    TCellType CellType() const override { return ctBlank; }
    std::unique_ptr<TCell> MakeCopy(TSST2& strings) const override;
};

class TFloatCell final : public TCell {
public:
    TFloatCell(TCellFormats& formats, int32_t col, int32_t row, double value, uint16_t formatPosition)
        : TCell(formats, col, row, formatPosition), value_(value) {}
    TCellType CellType() const override { return ctFloat; }
    std::unique_ptr<TCell> MakeCopy(TSST2& strings) const override;

    double Value() const { return value_; }
    void SetValue(double value) { value_ = value; }

private:
    double value_;
};

class TStringCell final : public TCell {
public:
    // entry may be null until the cell is given its text (SetStringEntry); the cell then holds the
    // one reference AddString took for it.
    TStringCell(TCellFormats& formats, int32_t col, int32_t row, TSSTEntry* entry, uint16_t formatPosition)
        : TCell(formats, col, row, formatPosition), entry_(entry) {}
    TCellType CellType() const override { return ctString; }
    std::unique_ptr<TCell> MakeCopy(TSST2& strings) const override;

    TSSTEntry* StringEntry() const { return entry_; }
    void SetStringEntry(TSSTEntry* entry) { entry_ = entry; }

private:
    TSSTEntry* entry_;
};

// A full sheet holds hundreds of thousands of cells: keep them to the formatted object plus the
// position and one value.
static_assert(sizeof(TBlankCell) <= 3 * sizeof(void*));
static_assert(sizeof(TFloatCell) <= 4 * sizeof(void*));
static_assert(sizeof(TStringCell) <= 4 * sizeof(void*));
// The pool's slot size.
static_assert(sizeof(TBlankCell) <= 32 && sizeof(TFloatCell) <= 32 && sizeof(TStringCell) <= 32);

}  // namespace quarvel
