#include "workbook/Rows.h"

#include <algorithm>

#include "workbook/XLSUtils.h"

namespace quarvel {

namespace {

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

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

void TXLSRows::GetRowRecord(int i, uint8_t* buffer) const {
    const TXLSRow& row = Items(i);
    uint16_t options = row.Options() | 0x0100;
    if (row.FormatIndex() != TCellFormats::DefaultCellFormat) {
        options |= TXLSRow::OwnFormat;
    } else {
        options &= ~TXLSRow::OwnFormat;
    }
    PutU16(buffer + 0, static_cast<uint16_t>(row.Row()));
    PutU16(buffer + 2, row.FirstCol());
    PutU16(buffer + 4, row.LastCol() > 255 ? 255 : row.LastCol());
    PutU16(buffer + 6, row.Height());
    PutU16(buffer + 8, 0);
    PutU16(buffer + 10, 0);
    PutU16(buffer + 12, options);
    PutU16(buffer + 14, static_cast<uint16_t>(row.FormatIndex()));
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
        if (GetU16(gutsBody + 4) < level + 1) {
            PutU16(gutsBody + 4, static_cast<uint16_t>(level + 1));
            PutU16(gutsBody + 0, static_cast<uint16_t>(29 * level));
        }
    }
}

}  // namespace quarvel
