#include "workbook/XLSRange.h"

#include <memory>
#include <string>

#include "workbook/CellAreas.h"
#include "workbook/CellStorage.h"
#include "workbook/MergedCells.h"

namespace quarvel {

TXLSRange::TXLSRange(TCellStorage& cells, TMergedCells& mergedCells, TCellFormats& formats,
                     TDefaultFormatFunction defaultFormat)
    : cells_(cells), mergedCells_(mergedCells), formats_(formats), defaultFormat_(std::move(defaultFormat)) {}

TXLSRange& TXLSRange::Area(int32_t col1, int32_t row1, int32_t col2, int32_t row2) {
    if (!ClipToSheet(col1, row1, col2, row2)) throw Error("Range is outside sheet limits");
    NormalizeArea(col1, row1, col2, row2);
    col1_ = col1;
    row1_ = row1;
    col2_ = col2;
    row2_ = row2;
    if (col1 == col2 && row1 == row2)
        kind_ = KindCell;
    else if (col1 == col2)
        kind_ = KindColumn;
    else if (row1 == row2)
        kind_ = KindRow;
    else
        kind_ = KindArea;
    return *this;
}

void TXLSRange::FillBlanks() {
    for (int32_t row = row1_; row <= row2_; ++row) {
        for (int32_t col = col1_; col <= col2_; ++col) {
            if (cells_.GetCell(col, row)) continue;
            const uint16_t position = defaultFormat_(col, row);
            cells_.SetCell(col, row, std::make_unique<TBlankCell>(formats_, col, row, position));
        }
    }
}

TCell& TXLSRange::CellAt(int32_t col, int32_t row) {
    TCell* cell = cells_.GetCell(col, row);
    // FillBlanks has just put a cell at every position of the rectangle.
    if (!cell) throw Error("No cell at " + std::to_string(col) + ":" + std::to_string(row));
    return *cell;
}

template <class Action>
void TXLSRange::ForRow(int32_t row, Action action) {
    FillBlanks();
    for (int32_t col = col1_; col <= col2_; ++col) action(CellAt(col, row));
}

template <class Action>
void TXLSRange::ForColumn(int32_t col, Action action) {
    FillBlanks();
    for (int32_t row = row1_; row <= row2_; ++row) action(CellAt(col, row));
}

void TXLSRange::SetBorderTopStyle(TCellBorderStyle style) {
    ForRow(row1_, [&](TCell& cell) {
        if (cell.BorderTopColor() == xc0) cell.SetBorderTopColor(xcAutomatic);
        cell.SetBorderTopStyle(style);
    });
}

void TXLSRange::SetBorderBottomStyle(TCellBorderStyle style) {
    ForRow(row2_, [&](TCell& cell) {
        if (cell.BorderBottomColor() == xc0) cell.SetBorderBottomColor(xcAutomatic);
        cell.SetBorderBottomStyle(style);
    });
}

void TXLSRange::SetBorderLeftStyle(TCellBorderStyle style) {
    ForColumn(col1_, [&](TCell& cell) {
        if (cell.BorderLeftColor() == xc0) cell.SetBorderLeftColor(xcAutomatic);
        cell.SetBorderLeftStyle(style);
    });
}

void TXLSRange::SetBorderRightStyle(TCellBorderStyle style) {
    ForColumn(col2_, [&](TCell& cell) {
        if (cell.BorderRightColor() == xc0) cell.SetBorderRightColor(xcAutomatic);
        cell.SetBorderRightStyle(style);
    });
}

void TXLSRange::SetBorderTopColor(TExcelColor color) {
    ForRow(row1_, [&](TCell& cell) { cell.SetBorderTopColor(color); });
}

void TXLSRange::SetBorderBottomColor(TExcelColor color) {
    ForRow(row2_, [&](TCell& cell) { cell.SetBorderBottomColor(color); });
}

void TXLSRange::SetBorderLeftColor(TExcelColor color) {
    ForColumn(col1_, [&](TCell& cell) { cell.SetBorderLeftColor(color); });
}

void TXLSRange::SetBorderRightColor(TExcelColor color) {
    ForColumn(col2_, [&](TCell& cell) { cell.SetBorderRightColor(color); });
}

void TXLSRange::SetHorizAlignment(uint8_t value) {
    FillBlanks();
    for (int32_t row = row1_; row <= row2_; ++row)
        for (int32_t col = col1_; col <= col2_; ++col) CellAt(col, row).SetHorizAlignment(value);
}

}  // namespace quarvel
