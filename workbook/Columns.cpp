#include "workbook/Columns.h"

#include <cmath>

#include "biff/SheetRecords.h"

namespace quarvel {

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
    TRecordWriter records(sink);
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
        records.Write(ColInfoId, ColInfoSize, PutColInfo, static_cast<uint16_t>(c), static_cast<uint16_t>(last),
                      static_cast<uint16_t>(column->RawWidth()), static_cast<uint16_t>(column->FormatIndex()),
                      options);
        c = last + 1;
    }
}

}  // namespace quarvel
