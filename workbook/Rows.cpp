#include "workbook/Rows.h"

#include <algorithm>

#include "biff/SheetRecords.h"
#include "platform/ByteBuffer.h"
#include "workbook/XLSUtils.h"

namespace quarvel {

TXLSRow::TXLSRow(TCellFormats& formats, uint16_t formatPosition, int32_t row)
    : TFormattedObjectNotify(formats, formatPosition),
      row_(row),
      lastCol_(static_cast<uint16_t>(MaxCol)),
      options_(FormatIndex() != TCellFormats::DefaultCellFormat ? OwnFormat : 0) {}

TXLSRows::TXLSRows(TCellFormats& formats) : formats_(formats) {}

TXLSRows::~TXLSRows() = default;

void TXLSRows::SetOnFormatChange(TFormatChangeEvent handler) {
    onFormatChange_ = std::move(handler);
    for (auto& row : items_) row->SetOnFormatChange(onFormatChange_);
}

int TXLSRows::IndexOf(int32_t row) const {
    if (row < 0 || items_.empty() || row > MaxRow) return -1;
    auto it = std::lower_bound(items_.begin(), items_.end(), row,
                               [](const auto& r, int32_t k) { return r->Row() < k; });
    if (it == items_.end() || (*it)->Row() != row) return -1;
    return static_cast<int>(it - items_.begin());
}

TXLSRow* TXLSRows::Find(int32_t row) const {
    const int i = IndexOf(row);
    return i < 0 ? nullptr : items_[i].get();
}

TXLSRow& TXLSRows::Add(int32_t row) {
    if (row < 0 || row > MaxRow) throw ListIndexError(row);
    if (!items_.empty() && items_.back()->Row() < row) {
        items_.push_back(std::make_unique<TXLSRow>(formats_, TCellFormats::DefaultCellFormat, row));
        items_.back()->SetOnFormatChange(onFormatChange_);
        return *items_.back();
    }
    if (TXLSRow* found = Find(row)) return *found;
    // Inserted at its sorted place, which is where appending and sorting would put it.
    auto it = std::lower_bound(items_.begin(), items_.end(), row,
                               [](const auto& r, int32_t k) { return r->Row() < k; });
    it = items_.insert(
        it, std::make_unique<TXLSRow>(formats_, TCellFormats::DefaultCellFormat, row));
    (*it)->SetOnFormatChange(onFormatChange_);
    return **it;
}

TXLSRow& TXLSRows::Items(int i) const {
    if (i < 0 || i >= Count()) throw ListIndexError(i);
    return *items_[i];
}

void TXLSRows::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->Row() < b->Row(); });
}

void TXLSRows::GetRowRecord(int i, TByteSpan& body) const {
    const TXLSRow& row = Items(i);
    uint16_t options = row.Options() | 0x0100;
    if (row.FormatIndex() != TCellFormats::DefaultCellFormat) {
        options |= TXLSRow::OwnFormat;
    } else {
        options &= ~TXLSRow::OwnFormat;
    }
    // Written through a copy of the span, which the compiler keeps in registers (the caller's span
    // lives in memory), and handed back: this runs once per row.
    TByteSpan out = body;
    PutRow(out, static_cast<uint16_t>(row.Row()), row.FirstCol(), row.LastCol() > 255 ? 255 : row.LastCol(), row.Height(), options,
           static_cast<uint16_t>(row.FormatIndex()));
    body = out;
}

void TXLSRows::GetRowRecord(int i, uint8_t* buffer) const {
    TByteSpan body(buffer, RowRecordSize);
    GetRowRecord(i, body);
}

void TXLSRows::GroupRows(int32_t first, int32_t last, bool collapsed, uint8_t* gutsBody) {
    if (last < first) return;
    first = std::max(first, 0);
    last = std::min(last, MaxRow);
    for (int32_t r = first; r <= last; ++r) {
        TXLSRow& row = Add(r);
        const int level = row.OutlineLevel() + 1;
        if (level > 7) throw Error("Row grouping level more than 7.");
        uint16_t options = static_cast<uint16_t>(row.Options() + 1);
        if (collapsed) {
            options |= TXLSRow::Collapsed | TXLSRow::ZeroHeight;
        } else {
            options &= ~(TXLSRow::Collapsed | TXLSRow::ZeroHeight);
        }
        row.SetOptions(options);
        if (LoadU16(gutsBody + TGutsOffsets::RowLevels) < level + 1) {
            StoreU16(gutsBody + TGutsOffsets::RowLevels, static_cast<uint16_t>(level + 1));
            StoreU16(gutsBody + TGutsOffsets::RowGutter, static_cast<uint16_t>(29 * level));
        }
    }
}

}  // namespace quarvel
