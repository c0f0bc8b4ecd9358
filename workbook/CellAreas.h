// Rectangles of cells: single areas, lists of areas, and the sheet-limit helpers every operation
// on a rectangle uses.
//
// Two kinds of lists share one interface: TCellAreas holds plain sets of rectangles (selections,
// visible areas), which may be split, clipped and joined freely; TSolidCellAreas holds rectangles
// that must stay whole (merged cells), so an operation that would cut one into pieces fails.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace quarvel {

class TSheet;

// Clips a rectangle to the sheet limits MaxCol/MaxRow: fails (false, nothing changed) when it lies
// wholly beyond them (Col1 > MaxCol, Row1 > MaxRow, Col2 < 0 or Row2 < 0); otherwise raises
// Col1 and Row1 to at least 0, lowers Col2 and Row2 to at most MaxCol and MaxRow, and returns true.
// The corners are not ordered.
bool ClipToSheet(int32_t& col1, int32_t& row1, int32_t& col2, int32_t& row2);
// Orders the corners: swaps the columns when Col2 < Col1 and the rows when Row2 < Row1.
void NormalizeArea(int32_t& col1, int32_t& row1, int32_t& col2, int32_t& row2);

// One rectangle, corners included, 0-based. Normal when Col1 <= Col2 and Row1 <= Row2.
class TCellArea {
public:
    TCellArea() = default;
    TCellArea(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2)
        : col1_(col1), row1_(row1), col2_(col2), row2_(row2) {}

    uint32_t Col1() const { return col1_; }
    uint32_t Row1() const { return row1_; }
    uint32_t Col2() const { return col2_; }
    uint32_t Row2() const { return row2_; }
    void SetCol1(uint32_t value) { col1_ = value; }
    void SetRow1(uint32_t value) { row1_ = value; }
    void SetCol2(uint32_t value) { col2_ = value; }
    void SetRow2(uint32_t value) { row2_ = value; }
    // The same fields as signed integers.
    int32_t Col1i() const { return static_cast<int32_t>(col1_); }
    int32_t Row1i() const { return static_cast<int32_t>(row1_); }
    int32_t Col2i() const { return static_cast<int32_t>(col2_); }
    int32_t Row2i() const { return static_cast<int32_t>(row2_); }

    void Assign(const TCellArea& other) { *this = other; }
    // Swaps Col1/Col2 and Row1/Row2 where the first is larger (unsigned comparison).
    void Normalize();
    // Col1 < col < Col2 and Row1 < row < Row2: strictly inside.
    bool ContainsInner(uint32_t col, uint32_t row) const;
    // Every cell of other lies in this area.
    bool Contains(const TCellArea& other) const;

    bool operator==(const TCellArea&) const = default;

private:
    uint32_t col1_ = 0, row1_ = 0, col2_ = 0, row2_ = 0;
};

// An owning list of areas. Areas keep their address while the list grows.
class TBaseCellAreas {
public:
    // owner: the sheet the list belongs to, or null (not owned).
    explicit TBaseCellAreas(TSheet* owner = nullptr) : owner_(owner) {}
    TBaseCellAreas(const TBaseCellAreas&) = delete;
    TBaseCellAreas& operator=(const TBaseCellAreas&) = delete;
    virtual ~TBaseCellAreas() = default;

    TSheet* Owner() const { return owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // The area at position i; outside the list a list index error.
    TCellArea& Items(int i) const;

    // Appends an area with every field 0.
    TCellArea& Add();
    TCellArea& AddArea(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2);
    // Appends the area of a BIFF8 cell range address: first row, last row, first column, last
    // column, 16 bits each, little-endian (8 bytes).
    TCellArea& AddFromRef(const uint8_t* ref);
    // Removes the area at position i.
    void Delete(int i);
    void Clear() { items_.clear(); }
    // Replaces the areas by copies of other's.
    void Assign(const TBaseCellAreas& other);

    // Whether any area shares at least one cell with the rectangle.
    bool Intersects(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2) const;
    void NormalizeAll();
    // The smallest rectangle covering every area; starts from Col1 = Row1 = 0xFFFFFFFF and
    // Col2 = Row2 = 0, which an empty list returns.
    TCellArea GetBounds() const;

    // Editing of the sheet: what happens to the areas when cells are copied, deleted, clipped,
    // moved or shifted. Offsets are added to the coordinates.
    virtual void CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) = 0;
    virtual void DeleteArea(const TCellArea& rect) = 0;
    virtual void ClipToArea(const TCellArea& rect) = 0;
    virtual void MoveAreas(int32_t colOffset, int32_t rowOffset) = 0;
    virtual void ShiftAreas(const TCellArea& rect, int32_t colOffset, int32_t rowOffset) = 0;

protected:
    std::vector<std::unique_ptr<TCellArea>>& Areas() { return items_; }

private:
    TSheet* owner_;
    std::vector<std::unique_ptr<TCellArea>> items_;
};

// Plain sets of rectangles.
class TCellAreas : public TBaseCellAreas {
public:
    using TBaseCellAreas::TBaseCellAreas;

    // Each part of an area inside source is shifted by the offsets, clipped to the sheet and
    // added by the joining rule (see AddJoined).
    void CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) override;
    // Every area that shares cells with rect is replaced by the pieces of it outside rect: the
    // band above, the band below, then the parts left and right of rect (appended in this order).
    void DeleteArea(const TCellArea& rect) override;
    // Every area becomes its intersection with rect; areas outside rect are deleted.
    void ClipToArea(const TCellArea& rect) override;
    // Every area is shifted; an area still (partly) on the sheet is clipped to it, any other is
    // deleted.
    void MoveAreas(int32_t colOffset, int32_t rowOffset) override;
    // The part of every area inside rect is shifted by the offsets (clipped to the sheet and added
    // by the joining rule); the rest of the area stays as its pieces.
    void ShiftAreas(const TCellArea& rect, int32_t colOffset, int32_t rowOffset) override;

    // Adds area unless an existing area absorbs it: in list order, an area that contains it
    // absorbs it; an area with exactly its columns that it touches or overlaps from above or
    // below is extended over it; likewise an area with exactly its rows, from the left or right.
    // Otherwise area is cut out of all areas first (DeleteArea) and then appended.
    void AddJoined(const TCellArea& area);
};

// Rectangles that must stay whole.
class TSolidCellAreas : public TBaseCellAreas {
public:
    using TBaseCellAreas::TBaseCellAreas;

    // Does nothing.
    void CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) override;
    // Areas wholly inside rect are deleted; an area that would keep exactly one piece becomes
    // that piece; one that would keep two or more fails with
    // "Can not change part of a merged cell" (areas handled before it stay changed).
    void DeleteArea(const TCellArea& rect) override;
    // Does nothing.
    void ClipToArea(const TCellArea& rect) override;
    // Fails with "TSolidCellAreas.Move not implemented".
    void MoveAreas(int32_t colOffset, int32_t rowOffset) override;
    // Fails with "Can not change part of a merged cell" when a corner of rect lies strictly inside
    // an area. Otherwise every area coordinate within rect's span (columns within its columns,
    // rows within its rows) is shifted by the offset; areas that become empty (last before first,
    // or before the first row or column) are deleted.
    void ShiftAreas(const TCellArea& rect, int32_t colOffset, int32_t rowOffset) override;
};

}  // namespace quarvel
