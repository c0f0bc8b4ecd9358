// Column objects of a sheet, the column width unit and the COLINFO records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "biff/RecordSink.h"
#include "biff/SheetRecords.h"
#include "workbook/FormattedObj.h"

namespace quarvel {

class TXLSColumn : public TFormattedObjectNotify {
public:
    static constexpr int32_t DefaultRawWidth = 2500;

    // Column number 0 to 16383 (COLINFO runs are found by slot, so beyond column 255 the number
    // matters for format changes only). Raw width 2500, every flag clear.
    TXLSColumn(TCellFormats& formats, uint16_t formatPosition, int32_t col);

    uint16_t Col() const { return col_; }
    // Width in 1/256 of a character.
    int32_t RawWidth() const { return rawWidth_; }
    // Width in characters.
    double Width() const { return rawWidth_ / 256.0; }
    // The raw width becomes characters x 256 rounded to the nearest integer (halves to the even
    // neighbour); a result outside 0..65535 (or no number at all) fails with "Invalid value"
    // and leaves the width unchanged.
    void SetWidth(double characters);
    bool Hidden() const { return hidden_; }
    void SetHidden(bool value) { hidden_ = value; }
    uint8_t OutlineLevel() const { return outlineLevel_; }
    void SetOutlineLevel(uint8_t value) { outlineLevel_ = value; }
    bool Collapsed() const { return collapsed_; }
    void SetCollapsed(bool value) { collapsed_ = value; }
    // A further flag that also marks the width as set by the user.
    bool CustomWidth() const { return customWidth_; }
    void SetCustomWidth(bool value) { customWidth_ = value; }

    int32_t GetIndex() const override { return col_; }

    // Equal for COLINFO runs: raw width, hidden, outline level, collapsed and format position
    // (the custom-width flag is not compared).
    bool SameColInfo(const TXLSColumn& other) const;

private:
    int32_t rawWidth_ = DefaultRawWidth;
    uint16_t col_;
    uint8_t outlineLevel_ = 0;
    bool hidden_ = false;
    bool collapsed_ = false;
    bool customWidth_ = false;
};

// The sheet's table of 16384 column slots, each empty or owning one column object.
class TXLSColumns {
public:
    static constexpr int SlotCount = 16384;
    static constexpr uint16_t ColInfoId = ridCOLINFO;
    static constexpr int ColInfoSize = ::quarvel::ColInfoSize;

    explicit TXLSColumns(TCellFormats& formats);
    TXLSColumns(const TXLSColumns&) = delete;
    TXLSColumns& operator=(const TXLSColumns&) = delete;
    ~TXLSColumns();

    // The handler every column reports format changes to (the sheet's column-format handler);
    // also given to the columns that already exist.
    void SetOnFormatChange(TFormatChangeEvent handler);

    // The column object of slot col, or null; col outside 0..16383 is a list index error.
    TXLSColumn* Items(int col) const;
    // Creates the missing column objects of slots first to first + count - 1 (none for a count
    // of 0 or less); a range outside the table is a list index error.
    void EnsureColumns(int first, int count);
    // Frees the column objects of slots first to last; fails with "Invalid columns" unless
    // 0 <= first <= last <= 16383.
    void DeleteColumns(int first, int last);
    // Writes one COLINFO record (biff/SheetRecords.h) per run of adjacent equal column objects
    // among columns 0 to 255; empty slots are skipped.
    void WriteColInfo(TRecordSink& sink) const;

private:
    TCellFormats& formats_;
    TFormatChangeEvent onFormatChange_;
    std::array<std::unique_ptr<TXLSColumn>, SlotCount> slots_;
};

}  // namespace quarvel
