// Row objects of a sheet, the row outline and the ROW record body.
//
// Only rows with attributes of their own (a format, a height, an outline level) have an object;
// the list keeps them sorted by row number.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "biff/SheetRecords.h"
#include "platform/ByteBuffer.h"
#include "workbook/FormattedObj.h"

namespace quarvel {

class TXLSRow : public TFormattedObjectNotify {
public:
    // Option bits.
    static constexpr uint16_t OutlineLevelMask = 0x0007;
    static constexpr uint16_t Collapsed = 0x0010;
    static constexpr uint16_t ZeroHeight = 0x0020;
    static constexpr uint16_t CustomHeight = 0x0040;  // the height is the row's own, not the font's
    static constexpr uint16_t OwnFormat = 0x0080;

    // Row number (0-based, up to the last row of a 1,048,576-row sheet); first column 0, last
    // column MaxCol, height 255 twentieths; options 0x80 when created on a format other than 15,
    // else 0.
    TXLSRow(TCellFormats& formats, uint16_t formatPosition, int32_t row);

    int32_t Row() const { return row_; }
    uint16_t FirstCol() const { return firstCol_; }
    void SetFirstCol(uint16_t value) { firstCol_ = value; }
    uint16_t LastCol() const { return lastCol_; }
    void SetLastCol(uint16_t value) { lastCol_ = value; }
    // Height in twentieths of a point.
    uint16_t Height() const { return height_; }
    void SetHeight(uint16_t value) { height_ = value; }
    // Bits 0-2 outline level, 0x10 collapsed, 0x20 hidden, 0x40 own height, 0x80 own format.
    uint16_t Options() const { return options_; }
    void SetOptions(uint16_t value) { options_ = value; }
    int OutlineLevel() const { return options_ & OutlineLevelMask; }

    int32_t GetIndex() const override { return row_; }

private:
    int32_t row_;
    uint16_t firstCol_ = 0;
    uint16_t lastCol_;
    uint16_t height_ = 255;
    uint16_t options_;
};

// The sheet's owning list of row objects, sorted by ascending row number, one per row.
class TXLSRows {
public:
    static constexpr int RowRecordSize = RowSize;
    static constexpr int GutsRecordSize = GutsSize;

    explicit TXLSRows(TCellFormats& formats);
    TXLSRows(const TXLSRows&) = delete;
    TXLSRows& operator=(const TXLSRows&) = delete;
    ~TXLSRows();

    // The handler every row of this list reports format changes to (the sheet's row-format
    // handler); also given to the rows that already exist.
    void SetOnFormatChange(TFormatChangeEvent handler);

    // Position of the row's entry (binary search), or -1; -1 also for a row below 0 or above
    // MaxRow and for an empty list.
    int IndexOf(int32_t row) const;
    // The row's entry, or null.
    TXLSRow* Find(int32_t row) const;
    // The row's entry, created on format 15 when missing; the list stays sorted. A row below 0 or
    // beyond MaxRow is a list index error.
    TXLSRow& Add(int32_t row);
    // The entry at position i; outside the list a list index error.
    TXLSRow& Items(int i) const;
    int Count() const { return static_cast<int>(items_.size()); }
    // Sorts the entries by row number.
    void Sort();

    // Writes the 16-byte ROW record body of the entry at position i into buffer (biff/SheetRecords.h
    // holds the record's layout; the row number in 16 bits: only rows of a BIFF8 sheet, up to 65535,
    // have a ROW record).
    void GetRowRecord(int i, uint8_t* buffer) const;
    void GetRowRecord(int i, TByteSpan& body) const;

    // Deepens the outline by one level over rows first to last (nothing when last < first),
    // creating missing rows; with collapsed the rows are marked collapsed and hidden, otherwise
    // both marks are cleared. Updates the 8-byte GUTS record body: when its row-level word
    // (offset 4) is below the new level + 1 it becomes level + 1 and the row-gutter word
    // (offset 0) 29 x level. A row that would pass level 7 fails with
    // "Row grouping level more than 7."; the rows before it keep their new level. Rows beyond
    // MaxRow are not part of the sheet and are left out.
    void GroupRows(int32_t first, int32_t last, bool collapsed, uint8_t* gutsBody);

private:
    TCellFormats& formats_;
    TFormatChangeEvent onFormatChange_;
    std::vector<std::unique_ptr<TXLSRow>> items_;
};

}  // namespace quarvel
