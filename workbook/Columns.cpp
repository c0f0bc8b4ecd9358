#include "workbook/Columns.h"

#include <cmath>

namespace quarvel {

namespace {

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

TXLSColumn::TXLSColumn(TCellFormats& formats, uint16_t formatPosition, int32_t col)
    : TFormattedObjectNotify(formats, formatPosition), col_(static_cast<uint16_t>(col)) {}

void TXLSColumn::SetWidth(double characters) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double raw = std::nearbyint(characters * 256.0);
    if (!(raw >= 0.0 && raw <= 65535.0)) throw Error("Invalid value");
    rawWidth_ = static_cast<int32_t>(raw);
}

bool TXLSColumn::SameColInfo(const TXLSColumn& other) const {
    return rawWidth_ == other.rawWidth_ && hidden_ == other.hidden_ &&
           outlineLevel_ == other.outlineLevel_ && collapsed_ == other.collapsed_ &&
           FormatIndex() == other.FormatIndex();
}

TXLSColumns::TXLSColumns(TCellFormats& formats) : formats_(formats) {}

TXLSColumns::~TXLSColumns() = default;

void TXLSColumns::SetOnFormatChange(TFormatChangeEvent handler) {
    onFormatChange_ = std::move(handler);
    for (auto& column : slots_) {
        if (column) column->SetOnFormatChange(onFormatChange_);
    }
}

TXLSColumn* TXLSColumns::Items(int col) const {
    if (col < 0 || col >= SlotCount) throw ListIndexError(col);
    return slots_[col].get();
}

void TXLSColumns::EnsureColumns(int first, int count) {
    if (count <= 0) return;
    if (first < 0 || first >= SlotCount) throw ListIndexError(first);
    if (count > SlotCount - first) throw ListIndexError(first + count - 1);
    for (int col = first; col < first + count; ++col) {
        if (!slots_[col]) {
            slots_[col] =
                std::make_unique<TXLSColumn>(formats_, TCellFormats::DefaultCellFormat, col);
            slots_[col]->SetOnFormatChange(onFormatChange_);
        }
    }
}

void TXLSColumns::DeleteColumns(int first, int last) {
    if (!(0 <= first && first <= last && last < SlotCount)) throw Error("Invalid columns");
    for (int col = first; col <= last; ++col) slots_[col].reset();
}

void TXLSColumns::WriteColInfo(TRecordSink& sink) const {
    uint8_t body[ColInfoSize];
    int c = 0;
    while (c <= 255) {
        const TXLSColumn* column = slots_[c].get();
        if (column == nullptr) {
            ++c;
            continue;
        }
        int last = c;
        while (last < 255 && slots_[last + 1] && slots_[last + 1]->SameColInfo(*column)) ++last;
        uint16_t options = column->RawWidth() != TXLSColumn::DefaultRawWidth ? 2 : 0;
        if (column->Hidden()) options |= 0x0001;
        if (column->CustomWidth()) options |= 0x0002;
        options = static_cast<uint16_t>(options + (column->OutlineLevel() << 8));
        if (column->Collapsed()) options |= 0x1000;
        PutU16(body + 0, static_cast<uint16_t>(c));
        PutU16(body + 2, static_cast<uint16_t>(last));
        PutU16(body + 4, static_cast<uint16_t>(column->RawWidth()));
        PutU16(body + 6, static_cast<uint16_t>(column->FormatIndex()));
        PutU16(body + 8, options);
        PutU16(body + 10, 0);
        sink.WriteRecord(ColInfoId, body, ColInfoSize);
        c = last + 1;
    }
}

}  // namespace quarvel
