// The range object of a sheet: applies a format attribute to a rectangle of cells at once, borders
// along its outer edges or an alignment over all of its cells.
#pragma once

#include <cstdint>
#include <functional>

#include "workbook/BIFFRecs.h"

namespace quarvel {

class TCell;
class TCellFormats;
class TCellStorage;
class TMergedCells;

// The format position for a new cell at (col, row), with the reference the new cell will hold
// (the sheet's GetDefaultFormat).
using TDefaultFormatFunction = std::function<uint16_t(int32_t col, int32_t row)>;

class TXLSRange {
public:
    // Kinds of rectangle.
    static constexpr int KindCell = 0;     // one cell
    static constexpr int KindColumn = 1;   // part of one column
    static constexpr int KindRow = 2;      // part of one row
    static constexpr int KindArea = 3;     // anything else

    // None of the references is owned.
    TXLSRange(TCellStorage& cells, TMergedCells& mergedCells, TCellFormats& formats,
              TDefaultFormatFunction defaultFormat);
    TXLSRange(const TXLSRange&) = delete;
    TXLSRange& operator=(const TXLSRange&) = delete;

    // Sets the rectangle: clipped to the sheet limits (failing with "Range is outside sheet limits"
    // when it lies wholly beyond them), then its corners ordered. Returns the range.
    TXLSRange& Area(int32_t col1, int32_t row1, int32_t col2, int32_t row2);
    int32_t Col1() const { return col1_; }
    int32_t Row1() const { return row1_; }
    int32_t Col2() const { return col2_; }
    int32_t Row2() const { return row2_; }
    int Kind() const { return kind_; }

    // Gives every position of the rectangle without a cell a blank cell on the default format of
    // its position, row by row.
    void FillBlanks();

    // Each of these first fills the blanks, then sets one attribute on the cells of one outer
    // edge. A style setter first turns an edge colour of 0 into 64 (automatic).
    void SetBorderTopStyle(TCellBorderStyle style);
    void SetBorderLeftStyle(TCellBorderStyle style);
    void SetBorderRightStyle(TCellBorderStyle style);
    void SetBorderBottomStyle(TCellBorderStyle style);
    void SetBorderTopColor(TExcelColor color);
    void SetBorderLeftColor(TExcelColor color);
    void SetBorderRightColor(TExcelColor color);
    void SetBorderBottomColor(TExcelColor color);
    // Fills the blanks, then sets the horizontal alignment (BIFF8 code) of every cell, row by row.
    void SetHorizAlignment(uint8_t value);

    TMergedCells& MergedCells() const { return mergedCells_; }
    TCellFormats& Formats() const { return formats_; }

private:
    // Runs action on the cell at each position of row `row` from Col1 to Col2.
    template <class Action>
    void ForRow(int32_t row, Action action);
    // Runs action on the cell at each position of column `col` from Row1 to Row2.
    template <class Action>
    void ForColumn(int32_t col, Action action);
    TCell& CellAt(int32_t col, int32_t row);

    TCellStorage& cells_;
    TMergedCells& mergedCells_;
    TCellFormats& formats_;
    TDefaultFormatFunction defaultFormat_;
    int32_t col1_ = 0, row1_ = 0, col2_ = 0, row2_ = 0;
    int kind_ = KindCell;
};

}  // namespace quarvel
