// The cell records of a worksheet substream: BLANK, MULBLANK, NUMBER, RK, MULRK and LABELSST, and
// the RK form of a number.
//
// Per record: its id, its body size and a function that writes the body's fields in body order
// (see biff/RecordSink.h for how they are written). Rows and columns are 0-based; an XF index is
// the position of the cell's format in the workbook's cell format list. The functions are defined
// here, inline, because they run once per cell: inlined into the record writer, their writes stay
// in registers until they reach the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/ByteBuffer.h"

namespace quarvel {

// BLANK: a cell with a format and no value.
//   offset size field
//   0      2    row
//   2      2    column
//   4      2    XF index
inline constexpr uint16_t ridBLANK = 0x0201;
inline constexpr size_t BlankSize = 6;
inline void PutBlank(TByteSpan& body, uint16_t row, uint16_t col, uint16_t xf) {
    body.PutU16(row);
    body.PutU16(col);
    body.PutU16(xf);
}

// MULBLANK: a run of n >= 2 blank cells side by side in one row.
//   offset  size field
//   0       2    row
//   2       2    first column
//   4       2n   XF index of each cell, from the first column on
//   4 + 2n  2    last column (first column + n - 1)
inline constexpr uint16_t ridMULBLANK = 0x00BE;
inline constexpr size_t MulBlankSize(size_t count) { return 6 + 2 * count; }
inline void PutMulBlank(TByteSpan& body, uint16_t row, uint16_t firstCol, const uint16_t* xf, size_t count) {
    body.PutU16(row);
    body.PutU16(firstCol);
    for (size_t i = 0; i < count; ++i) body.PutU16(xf[i]);
    body.PutU16(static_cast<uint16_t>(firstCol + count - 1));
}

// NUMBER: a number that has no RK form.
//   offset size field
//   0      2    row
//   2      2    column
//   4      2    XF index
//   6      8    value, an IEEE 754 double
inline constexpr uint16_t ridNUMBER = 0x0203;
inline constexpr size_t NumberSize = 14;
inline void PutNumber(TByteSpan& body, uint16_t row, uint16_t col, uint16_t xf, double value) {
    body.PutU16(row);
    body.PutU16(col);
    body.PutU16(xf);
    body.PutF64(value);
}

// RK: a number in its RK form (RKValue).
//   offset size field
//   0      2    row
//   2      2    column
//   4      2    XF index
//   6      4    RK value
inline constexpr uint16_t ridRK = 0x027E;
inline constexpr size_t RKSize = 10;
inline void PutRK(TByteSpan& body, uint16_t row, uint16_t col, uint16_t xf, uint32_t rk) {
    body.PutU16(row);
    body.PutU16(col);
    body.PutU16(xf);
    body.PutU32(rk);
}

// MULRK: a run of n >= 2 numbers in their RK form side by side in one row.
//   offset  size field
//   0       2    row
//   2       2    first column
//   4       6n   per cell, from the first column on: XF index (2), RK value (4)
//   4 + 6n  2    last column (first column + n - 1)
inline constexpr uint16_t ridMULRK = 0x00BD;
inline constexpr size_t MulRKSize(size_t count) { return 6 + 6 * count; }
inline void PutMulRK(TByteSpan& body, uint16_t row, uint16_t firstCol, const uint16_t* xf, const uint32_t* rk,
                     size_t count) {
    body.PutU16(row);
    body.PutU16(firstCol);
    for (size_t i = 0; i < count; ++i) {
        body.PutU16(xf[i]);
        body.PutU32(rk[i]);
    }
    body.PutU16(static_cast<uint16_t>(firstCol + count - 1));
}

// LABELSST: a text cell, its text an entry of the shared string table.
//   offset size field
//   0      2    row
//   2      2    column
//   4      2    XF index
//   6      4    index of the text in the SST record
inline constexpr uint16_t ridLABELSST = 0x00FD;
inline constexpr size_t LabelSSTSize = 10;
inline void PutLabelSST(TByteSpan& body, uint16_t row, uint16_t col, uint16_t xf, uint32_t sstIndex) {
    body.PutU16(row);
    body.PutU16(col);
    body.PutU16(xf);
    body.PutU32(sstIndex);
}

// The RK form of a number, if it has one. An RK value is 32 bits: bit 0 set means the number is
// the value divided by 100; bit 1 set means bits 2-31 are a signed 30-bit integer, clear means they
// are the high 30 bits of a double whose low 34 bits are 0. The forms are tried as the number is,
// then multiplied by 100. A form multiplied by 100 is used only when the reader's division by 100
// gives back exactly the same number, so an overflowing product (1e308 x 100) or a product rounded
// to a whole number never stands for a neighbouring value.
std::optional<uint32_t> RKValue(double value);

}  // namespace quarvel
