#include "workbook/CellAreas.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "workbook/BIFFRecs.h"
#include "workbook/XLSUtils.h"

namespace quarvel {

namespace {

// The cells two rectangles share, when they share any (unsigned comparisons).
std::optional<TCellArea> Intersection(const TCellArea& a, const TCellArea& b) {
    TCellArea i(std::max(a.Col1(), b.Col1()), std::max(a.Row1(), b.Row1()), std::min(a.Col2(), b.Col2()),
                std::min(a.Row2(), b.Row2()));
    if (i.Col1() > i.Col2() || i.Row1() > i.Row2()) return std::nullopt;
    return i;
}

// The pieces of a that lie outside r (which it overlaps): the band above r, the band below, then
// the parts left and right of r within r's rows.
std::vector<TCellArea> Pieces(const TCellArea& a, const TCellArea& r) {
    std::vector<TCellArea> pieces;
    if (a.Row1() < r.Row1()) pieces.emplace_back(a.Col1(), a.Row1(), a.Col2(), r.Row1() - 1);
    if (r.Row2() < a.Row2()) pieces.emplace_back(a.Col1(), r.Row2() + 1, a.Col2(), a.Row2());
    const uint32_t top = std::max(a.Row1(), r.Row1()), bottom = std::min(a.Row2(), r.Row2());
    if (a.Col1() < r.Col1()) pieces.emplace_back(a.Col1(), top, r.Col1() - 1, bottom);
    if (r.Col2() < a.Col2()) pieces.emplace_back(r.Col2() + 1, top, a.Col2(), bottom);
    return pieces;
}

// ClipToSheet on wide values, so that shifted coordinates cannot wrap.
bool ClipWide(int64_t& col1, int64_t& row1, int64_t& col2, int64_t& row2) {
    if (col1 > MaxCol || row1 > MaxRow || col2 < 0 || row2 < 0) return false;
    col1 = std::max<int64_t>(col1, 0);
    row1 = std::max<int64_t>(row1, 0);
    col2 = std::min<int64_t>(col2, MaxCol);
    row2 = std::min<int64_t>(row2, MaxRow);
    return true;
}

// The area shifted by the offsets and clipped to the sheet, unless it leaves the sheet entirely.
std::optional<TCellArea> ShiftedOnSheet(const TCellArea& a, int32_t colOffset, int32_t rowOffset) {
    int64_t c1 = int64_t(a.Col1()) + colOffset, r1 = int64_t(a.Row1()) + rowOffset;
    int64_t c2 = int64_t(a.Col2()) + colOffset, r2 = int64_t(a.Row2()) + rowOffset;
    if (!ClipWide(c1, r1, c2, r2)) return std::nullopt;
    return TCellArea(uint32_t(c1), uint32_t(r1), uint32_t(c2), uint32_t(r2));
}

}  // namespace

bool ClipToSheet(int32_t& col1, int32_t& row1, int32_t& col2, int32_t& row2) {
    int64_t c1 = col1, r1 = row1, c2 = col2, r2 = row2;
    if (!ClipWide(c1, r1, c2, r2)) return false;
    col1 = int32_t(c1);
    row1 = int32_t(r1);
    col2 = int32_t(c2);
    row2 = int32_t(r2);
    return true;
}

void NormalizeArea(int32_t& col1, int32_t& row1, int32_t& col2, int32_t& row2) {
    if (col2 < col1) std::swap(col1, col2);
    if (row2 < row1) std::swap(row1, row2);
}

// -------------------------------------------------------------------------------------------------
// TCellArea

void TCellArea::Normalize() {
    if (col1_ > col2_) std::swap(col1_, col2_);
    if (row1_ > row2_) std::swap(row1_, row2_);
}

bool TCellArea::ContainsInner(uint32_t col, uint32_t row) const {
    return col1_ < col && col < col2_ && row1_ < row && row < row2_;
}

bool TCellArea::Contains(const TCellArea& other) const {
    return col1_ <= other.col1_ && other.col2_ <= col2_ && row1_ <= other.row1_ && other.row2_ <= row2_;
}

// -------------------------------------------------------------------------------------------------
// TBaseCellAreas

TCellArea& TBaseCellAreas::Items(int i) const {
    if (i < 0 || i >= Count()) throw ListIndexError(i);
    return *items_[static_cast<size_t>(i)];
}

TCellArea& TBaseCellAreas::Add() { return AddArea(0, 0, 0, 0); }

TCellArea& TBaseCellAreas::AddArea(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2) {
    items_.push_back(std::make_unique<TCellArea>(col1, row1, col2, row2));
    return *items_.back();
}

TCellArea& TBaseCellAreas::AddFromRef(const uint8_t* ref) {
    auto word = [ref](int offset) { return uint32_t(ref[offset] | (ref[offset + 1] << 8)); };
    return AddArea(word(4), word(0), word(6), word(2));
}

void TBaseCellAreas::Delete(int i) {
    Items(i);  // range check
    items_.erase(items_.begin() + i);
}

void TBaseCellAreas::Assign(const TBaseCellAreas& other) {
    if (&other == this) return;
    std::vector<std::unique_ptr<TCellArea>> copy;
    copy.reserve(other.items_.size());
    for (const auto& area : other.items_) copy.push_back(std::make_unique<TCellArea>(*area));
    items_ = std::move(copy);
}

bool TBaseCellAreas::Intersects(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2) const {
    const TCellArea rect(col1, row1, col2, row2);
    return std::any_of(items_.begin(), items_.end(),
                       [&](const auto& area) { return Intersection(*area, rect).has_value(); });
}

void TBaseCellAreas::NormalizeAll() {
    for (auto& area : items_) area->Normalize();
}

TCellArea TBaseCellAreas::GetBounds() const {
    TCellArea bounds(0xFFFFFFFF, 0xFFFFFFFF, 0, 0);
    for (const auto& a : items_) {
        bounds.SetCol1(std::min(bounds.Col1(), a->Col1()));
        bounds.SetRow1(std::min(bounds.Row1(), a->Row1()));
        bounds.SetCol2(std::max(bounds.Col2(), a->Col2()));
        bounds.SetRow2(std::max(bounds.Row2(), a->Row2()));
    }
    return bounds;
}

// -------------------------------------------------------------------------------------------------
// TCellAreas

void TCellAreas::AddJoined(const TCellArea& n) {
    // Wide arithmetic, so that the band next to row or column 0 needs no special case.
    for (auto& held : Areas()) {
        TCellArea& a = *held;
        if (a.Contains(n)) return;
        if (n.Col1() == a.Col1() && n.Col2() == a.Col2()) {
            if (int64_t(a.Row1()) - 1 <= n.Row2() && n.Row2() <= a.Row2()) {
                a.SetRow1(n.Row1());
                return;
            }
            if (a.Row1() <= n.Row1() && int64_t(n.Row1()) <= int64_t(a.Row2()) + 1) {
                a.SetRow2(n.Row2());
                return;
            }
        } else if (n.Row1() == a.Row1() && n.Row2() == a.Row2()) {
            if (int64_t(a.Col1()) - 1 <= n.Col2() && n.Col2() <= a.Col2()) {
                a.SetCol1(n.Col1());
                return;
            }
            if (a.Col1() <= n.Col1() && int64_t(n.Col1()) <= int64_t(a.Col2()) + 1) {
                a.SetCol2(n.Col2());
                return;
            }
        }
    }
    DeleteArea(n);
    AddArea(n.Col1(), n.Row1(), n.Col2(), n.Row2());
}

void TCellAreas::CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) {
    std::vector<TCellArea> parts;
    for (const auto& area : Areas())
        if (auto part = Intersection(*area, source)) parts.push_back(*part);
    for (const TCellArea& part : parts)
        if (auto target = ShiftedOnSheet(part, colOffset, rowOffset)) AddJoined(*target);
}

void TCellAreas::DeleteArea(const TCellArea& rect) {
    auto& areas = Areas();
    std::vector<std::unique_ptr<TCellArea>> kept, pieces;
    for (auto& area : areas) {
        if (!Intersection(*area, rect)) {
            kept.push_back(std::move(area));
            continue;
        }
        for (const TCellArea& piece : Pieces(*area, rect)) pieces.push_back(std::make_unique<TCellArea>(piece));
    }
    for (auto& piece : pieces) kept.push_back(std::move(piece));
    areas = std::move(kept);
}

void TCellAreas::ClipToArea(const TCellArea& rect) {
    auto& areas = Areas();
    std::vector<std::unique_ptr<TCellArea>> kept;
    for (auto& area : areas) {
        if (auto part = Intersection(*area, rect)) {
            *area = *part;
            kept.push_back(std::move(area));
        }
    }
    areas = std::move(kept);
}

void TCellAreas::MoveAreas(int32_t colOffset, int32_t rowOffset) {
    auto& areas = Areas();
    std::vector<std::unique_ptr<TCellArea>> kept;
    for (auto& area : areas) {
        if (auto moved = ShiftedOnSheet(*area, colOffset, rowOffset)) {
            *area = *moved;
            kept.push_back(std::move(area));
        }
    }
    areas = std::move(kept);
}

void TCellAreas::ShiftAreas(const TCellArea& rect, int32_t colOffset, int32_t rowOffset) {
    std::vector<TCellArea> parts;
    for (const auto& area : Areas())
        if (auto part = Intersection(*area, rect)) parts.push_back(*part);
    DeleteArea(rect);
    for (const TCellArea& part : parts)
        if (auto target = ShiftedOnSheet(part, colOffset, rowOffset)) AddJoined(*target);
}

// -------------------------------------------------------------------------------------------------
// TSolidCellAreas

namespace {

Error PartOfMergedCell() { return Error("Can not change part of a merged cell"); }

}  // namespace

void TSolidCellAreas::CopyAreas(const TCellArea&, int32_t, int32_t) {}

void TSolidCellAreas::DeleteArea(const TCellArea& rect) {
    auto& areas = Areas();
    for (size_t i = 0; i < areas.size();) {
        TCellArea& area = *areas[i];
        if (!Intersection(area, rect)) {
            ++i;
        } else if (rect.Contains(area)) {
            areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            const std::vector<TCellArea> pieces = Pieces(area, rect);
            if (pieces.size() != 1) throw PartOfMergedCell();
            area = pieces.front();
            ++i;
        }
    }
}

void TSolidCellAreas::ClipToArea(const TCellArea&) {}

void TSolidCellAreas::MoveAreas(int32_t, int32_t) { throw Error("TSolidCellAreas.Move not implemented"); }

void TSolidCellAreas::ShiftAreas(const TCellArea& rect, int32_t colOffset, int32_t rowOffset) {
    auto& areas = Areas();
    for (const auto& area : areas) {
        if (area->ContainsInner(rect.Col1(), rect.Row1()) || area->ContainsInner(rect.Col2(), rect.Row1()) ||
            area->ContainsInner(rect.Col1(), rect.Row2()) || area->ContainsInner(rect.Col2(), rect.Row2()))
            throw PartOfMergedCell();
    }
    auto shift = [](uint32_t value, uint32_t first, uint32_t last, int32_t offset) -> int64_t {
        return first <= value && value <= last ? int64_t(value) + offset : int64_t(value);
    };
    std::vector<std::unique_ptr<TCellArea>> kept;
    for (auto& area : areas) {
        const int64_t c1 = shift(area->Col1(), rect.Col1(), rect.Col2(), colOffset);
        const int64_t c2 = shift(area->Col2(), rect.Col1(), rect.Col2(), colOffset);
        const int64_t r1 = shift(area->Row1(), rect.Row1(), rect.Row2(), rowOffset);
        const int64_t r2 = shift(area->Row2(), rect.Row1(), rect.Row2(), rowOffset);
        if (c2 < c1 || r2 < r1 || c1 < 0 || r1 < 0 || c2 > UINT32_MAX || r2 > UINT32_MAX) continue;
        *area = TCellArea(uint32_t(c1), uint32_t(r1), uint32_t(c2), uint32_t(r2));
        kept.push_back(std::move(area));
    }
    areas = std::move(kept);
}

}  // namespace quarvel
