// Rectangles: clipping to the sheet, area lists (plain and solid), merged areas and the range
// object's borders and alignment.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/PlatformSupport.h"
#include "biff/SST.h"
#include "workbook/CellStorage.h"
#include "workbook/MergedCells.h"
#include "workbook/XLSRange.h"
#include "workbook/XLSUtils.h"

namespace quarvel {
namespace {

using Rect = std::array<int64_t, 4>;  // col1, row1, col2, row2

Rect Of(const TCellArea& a) { return {a.Col1(), a.Row1(), a.Col2(), a.Row2()}; }

std::vector<Rect> All(const TBaseCellAreas& areas) {
    std::vector<Rect> all;
    for (int i = 0; i < areas.Count(); ++i) all.push_back(Of(areas.Items(i)));
    return all;
}

class BiffLimits : public ::testing::Test {
protected:
    void SetUp() override {
        MaxCol = 255;
        MaxRow = 65535;
    }
};

using SheetLimitsTest = BiffLimits;

TEST_F(SheetLimitsTest, ClipToSheet) {
    struct Case {
        Rect in;
        bool clipped;
        Rect out;
    };
    const Case cases[] = {
        {{-4, 0, 3, 0}, true, {0, 0, 3, 0}},
        {{10, 5, 400, 70000}, true, {10, 5, 255, 65535}},
        {{5, 3, 2, 1}, true, {5, 3, 2, 1}},  // corners are not ordered
        {{255, 65535, 255, 65535}, true, {255, 65535, 255, 65535}},
        {{256, 0, 300, 0}, false, {256, 0, 300, 0}},
        {{0, 65536, 3, 70000}, false, {0, 65536, 3, 70000}},
        {{-5, 0, -1, 3}, false, {-5, 0, -1, 3}},
        {{0, -9, 4, -2}, false, {0, -9, 4, -2}},
    };
    for (const Case& c : cases) {
        int32_t c1 = int32_t(c.in[0]), r1 = int32_t(c.in[1]), c2 = int32_t(c.in[2]), r2 = int32_t(c.in[3]);
        EXPECT_EQ(ClipToSheet(c1, r1, c2, r2), c.clipped) << c.in[0] << "," << c.in[1];
        EXPECT_EQ((Rect{c1, r1, c2, r2}), c.out) << c.in[0] << "," << c.in[1];
    }
    MaxCol = 16383;
    MaxRow = 1048575;
    int32_t c1 = 256, r1 = 0, c2 = 20000, r2 = 2000000;
    EXPECT_TRUE(ClipToSheet(c1, r1, c2, r2));
    EXPECT_EQ((Rect{c1, r1, c2, r2}), (Rect{256, 0, 16383, 1048575}));
}

TEST_F(SheetLimitsTest, NormalizeAreaOrdersCorners) {
    int32_t c1 = 5, r1 = 3, c2 = 2, r2 = 1;
    NormalizeArea(c1, r1, c2, r2);
    EXPECT_EQ((Rect{c1, r1, c2, r2}), (Rect{2, 1, 5, 3}));
    TCellArea area(7, 0, 0xFFFFFFFF, 4);  // unsigned: the large column is the last one
    area.Normalize();
    EXPECT_EQ(Of(area), (Rect{7, 0, 0xFFFFFFFF, 4}));
    TCellArea reversed(9, 8, 1, 2);
    reversed.Normalize();
    EXPECT_EQ(Of(reversed), (Rect{1, 2, 9, 8}));
}

// -------------------------------------------------------------------------------------------------
// Plain area lists

using CellAreasTest = BiffLimits;

TEST_F(CellAreasTest, BasicsAndBounds) {
    TCellAreas areas;
    EXPECT_EQ(Of(areas.GetBounds()), (Rect{0xFFFFFFFF, 0xFFFFFFFF, 0, 0}));
    EXPECT_EQ(Of(areas.Add()), (Rect{0, 0, 0, 0}));
    const uint8_t ref[8] = {0x02, 0x00, 0x05, 0x00, 0x01, 0x00, 0x03, 0x00};  // rows 2-5, cols 1-3
    EXPECT_EQ(Of(areas.AddFromRef(ref)), (Rect{1, 2, 3, 5}));
    areas.AddArea(10, 1, 12, 1);
    EXPECT_EQ(Of(areas.GetBounds()), (Rect{0, 0, 12, 5}));
    EXPECT_TRUE(areas.Intersects(3, 5, 9, 9));
    EXPECT_FALSE(areas.Intersects(4, 2, 9, 9));
    EXPECT_TRUE(areas.Intersects(12, 0, 20, 1));
    EXPECT_EQ(areas.Items(1).Col2i(), 3);
    EXPECT_THROW_MSG(areas.Items(3), Error, "List index out of bounds (3)");

    const TCellArea box(1, 1, 4, 4);
    EXPECT_TRUE(box.ContainsInner(2, 3));
    EXPECT_FALSE(box.ContainsInner(1, 2)) << "an edge is not inside";
    EXPECT_FALSE(box.ContainsInner(2, 4));
}

TEST_F(CellAreasTest, DeleteAreaKeepsThePiecesInOrder) {
    TCellAreas areas;
    areas.AddArea(0, 0, 4, 4);
    areas.AddArea(10, 10, 11, 11);
    areas.DeleteArea(TCellArea(2, 2, 2, 2));
    EXPECT_EQ(All(areas), (std::vector<Rect>{{10, 10, 11, 11},  // untouched areas stay first
                                             {0, 0, 4, 1},      // above
                                             {0, 3, 4, 4},      // below
                                             {0, 2, 1, 2},      // left
                                             {3, 2, 4, 2}}));   // right
    areas.DeleteArea(TCellArea(9, 9, 20, 20));
    EXPECT_EQ(areas.Count(), 4) << "an area wholly inside is gone";
}

TEST_F(CellAreasTest, ClipAndMove) {
    TCellAreas areas;
    areas.AddArea(0, 0, 5, 5);
    areas.AddArea(8, 8, 9, 9);
    areas.ClipToArea(TCellArea(3, 3, 7, 7));
    EXPECT_EQ(All(areas), (std::vector<Rect>{{3, 3, 5, 5}}));

    areas.AddArea(250, 0, 255, 2);
    areas.MoveAreas(3, -4);
    EXPECT_EQ(All(areas), (std::vector<Rect>{{6, 0, 8, 1}})) << "the second area left the sheet entirely";
    areas.AddArea(250, 10, 252, 12);
    areas.MoveAreas(4, 0);
    EXPECT_EQ(All(areas), (std::vector<Rect>{{10, 0, 12, 1}, {254, 10, 255, 12}})) << "clipped at MaxCol";
}

TEST_F(CellAreasTest, CopiedPartsJoinTheirNeighbours) {
    TCellAreas areas;
    areas.AddArea(0, 0, 0, 0);
    areas.CopyAreas(TCellArea(0, 0, 0, 0), 0, 1);  // the cell below: same columns, touching
    EXPECT_EQ(All(areas), (std::vector<Rect>{{0, 0, 0, 1}}));
    areas.CopyAreas(TCellArea(0, 0, 0, 1), 1, 0);  // the column to the right: same rows
    EXPECT_EQ(All(areas), (std::vector<Rect>{{0, 0, 1, 1}}));
    areas.CopyAreas(TCellArea(0, 0, 0, 0), 1, 1);  // inside an existing area
    EXPECT_EQ(All(areas), (std::vector<Rect>{{0, 0, 1, 1}}));
    areas.CopyAreas(TCellArea(0, 0, 1, 1), 5, 0);  // apart: added
    EXPECT_EQ(All(areas), (std::vector<Rect>{{0, 0, 1, 1}, {5, 0, 6, 1}}));
    // Overlapping but not joinable: the target is cut out of the others first.
    areas.CopyAreas(TCellArea(0, 0, 0, 0), 1, 0);  // (1,0) lies in the first area: absorbed
    areas.CopyAreas(TCellArea(5, 0, 6, 0), -4, 1);  // (1,1)-(2,1)
    EXPECT_EQ(All(areas), (std::vector<Rect>{{5, 0, 6, 1}, {0, 0, 1, 0}, {0, 1, 0, 1}, {1, 1, 2, 1}}));
}

TEST_F(CellAreasTest, ShiftMovesOnlyThePartInsideTheRectangle) {
    TCellAreas areas;
    areas.AddArea(0, 0, 3, 0);
    areas.ShiftAreas(TCellArea(2, 0, 255, 65535), 2, 0);  // insert two columns before column 2
    EXPECT_EQ(All(areas), (std::vector<Rect>{{0, 0, 1, 0}, {4, 0, 5, 0}}));
}

// -------------------------------------------------------------------------------------------------
// Merged areas

using MergedCellsTest = BiffLimits;

TEST_F(MergedCellsTest, KeepTheCornersTheyAreGiven) {
    TMergedCells merged;
    TCellArea& area = merged.Add();
    area.SetCol1(5);
    area.SetRow1(1);
    area.SetCol2(2);
    area.SetRow2(0);
    EXPECT_EQ(Of(merged.Items(0)), (Rect{5, 1, 2, 0}));
}

TEST_F(MergedCellsTest, DeletingCells) {
    struct Case {
        const char* what;
        Rect cut;
        std::vector<Rect> after;  // empty with error
        bool fails;
    };
    const Case cases[] = {
        {"covering the area", {0, 0, 10, 10}, {{20, 20, 21, 21}}, false},
        {"a band off the top", {0, 0, 10, 2}, {{2, 3, 4, 4}, {20, 20, 21, 21}}, false},
        {"the right part", {4, 0, 9, 9}, {{2, 2, 3, 4}, {20, 20, 21, 21}}, false},
        {"through the middle", {3, 0, 3, 9}, {}, true},
        {"one cell inside", {3, 3, 3, 3}, {}, true},
        {"elsewhere", {30, 30, 40, 40}, {{2, 2, 4, 4}, {20, 20, 21, 21}}, false},
    };
    for (const Case& c : cases) {
        TMergedCells merged;
        merged.AddArea(2, 2, 4, 4);
        merged.AddArea(20, 20, 21, 21);
        const TCellArea cut(uint32_t(c.cut[0]), uint32_t(c.cut[1]), uint32_t(c.cut[2]), uint32_t(c.cut[3]));
        if (c.fails) {
            SCOPED_TRACE(c.what);
            EXPECT_THROW_MSG(merged.DeleteArea(cut), Error, "Can not change part of a merged cell");
        } else {
            merged.DeleteArea(cut);
            EXPECT_EQ(All(merged), c.after) << c.what;
        }
    }
}

TEST_F(MergedCellsTest, AFailedDeleteKeepsTheChangesBeforeIt) {
    TMergedCells merged;
    merged.AddArea(0, 0, 1, 1);   // wholly inside the cut: deleted
    merged.AddArea(0, 3, 4, 6);   // would keep a piece below and one to the right: fails
    merged.AddArea(0, 5, 0, 5);
    EXPECT_THROW(merged.DeleteArea(TCellArea(0, 0, 2, 5)), Error);
    EXPECT_EQ(All(merged), (std::vector<Rect>{{0, 3, 4, 6}, {0, 5, 0, 5}}));
}

TEST_F(MergedCellsTest, MovingShiftingAndCopying) {
    TMergedCells merged;
    merged.AddArea(2, 2, 4, 4);
    EXPECT_THROW_MSG(merged.MoveAreas(1, 1), Error, "TSolidCellAreas.Move not implemented");
    // A corner of the shifted rectangle lies inside the area.
    EXPECT_THROW_MSG(merged.ShiftAreas(TCellArea(3, 3, 255, 65535), 1, 0), Error,
                     "Can not change part of a merged cell");
    EXPECT_EQ(All(merged), (std::vector<Rect>{{2, 2, 4, 4}}));
    merged.ShiftAreas(TCellArea(1, 0, 255, 65535), 2, 0);
    EXPECT_EQ(All(merged), (std::vector<Rect>{{4, 2, 6, 4}}));
    merged.ShiftAreas(TCellArea(0, 3, 255, 65535), 0, 5);  // rows from 3 down: the last row moves
    EXPECT_EQ(All(merged), (std::vector<Rect>{{4, 2, 6, 9}}));
    merged.ShiftAreas(TCellArea(0, 9, 255, 65535), 0, -8);  // last row before the first: gone
    EXPECT_EQ(merged.Count(), 0);

    merged.AddArea(0, 0, 1, 1);
    merged.AddArea(5, 5, 5, 6);
    merged.ClipToArea(TCellArea(0, 0, 0, 0));
    EXPECT_EQ(merged.Count(), 2) << "merged areas are never clipped";
    merged.CopyAreas(TCellArea(1, 1, 5, 5), 10, 0);
    EXPECT_EQ(All(merged), (std::vector<Rect>{{0, 0, 1, 1}, {5, 5, 5, 6}, {10, 0, 11, 1}, {15, 5, 15, 6}}))
        << "copied whole";
    merged.CopyAreas(TCellArea(10, 0, 11, 1), 245, 0);
    EXPECT_EQ(merged.Count(), 4) << "a copy reaching past MaxCol is dropped";
}

// -------------------------------------------------------------------------------------------------
// The range object

class RangeTest : public BiffLimits {
protected:
    TXFonts fonts;
    TCellFormats formats{&fonts, true};
    TSST2 strings{&fonts};
    TCellStorage cells{&strings};
    TMergedCells merged;
    std::vector<std::pair<int32_t, int32_t>> defaultFormatCalls;
    TXLSRange range{cells, merged, formats, [this](int32_t col, int32_t row) {
                        defaultFormatCalls.emplace_back(col, row);
                        return uint16_t(15);
                    }};
};

TEST_F(RangeTest, AreaClipsOrdersAndClassifies) {
    struct Case {
        Rect in;
        Rect out;
        int kind;
    };
    const Case cases[] = {
        {{5, 3, 2, 1}, {2, 1, 5, 3}, TXLSRange::KindArea},
        {{2, 1, 2, 1}, {2, 1, 2, 1}, TXLSRange::KindCell},
        {{-4, 0, 3, 0}, {0, 0, 3, 0}, TXLSRange::KindRow},
        {{4, 9, 4, 2}, {4, 2, 4, 9}, TXLSRange::KindColumn},
        {{250, 0, 300, 0}, {250, 0, 255, 0}, TXLSRange::KindRow},
    };
    for (const Case& c : cases) {
        TXLSRange& same = range.Area(int32_t(c.in[0]), int32_t(c.in[1]), int32_t(c.in[2]), int32_t(c.in[3]));
        EXPECT_EQ(&same, &range);
        EXPECT_EQ((Rect{range.Col1(), range.Row1(), range.Col2(), range.Row2()}), c.out) << c.in[0];
        EXPECT_EQ(range.Kind(), c.kind) << c.in[0];
    }
    EXPECT_THROW_MSG(range.Area(256, 0, 300, 0), Error, "Range is outside sheet limits");
    EXPECT_EQ((Rect{range.Col1(), range.Row1(), range.Col2(), range.Row2()}), (Rect{250, 0, 255, 0}))
        << "a refused rectangle leaves the last one";
}

TEST_F(RangeTest, BordersGoOnTheOuterEdgesOfA2x2Area) {
    cells.SetCell(2, 1, std::make_unique<TStringCell>(formats, 2, 1, strings.AddString(u"kept"), 15));
    range.Area(1, 1, 2, 2);
    range.SetBorderTopStyle(cbsThin);
    range.SetBorderLeftStyle(cbsThin);
    range.SetBorderRightStyle(cbsThin);
    range.SetBorderBottomStyle(cbsThin);
    range.SetBorderTopColor(xcRed);
    range.SetBorderLeftColor(xcRed);
    range.SetBorderRightColor(xcRed);
    range.SetBorderBottomColor(xcRed);

    EXPECT_EQ(defaultFormatCalls, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {1, 2}, {2, 2}}))
        << "blank cells for the empty positions only, row by row";
    EXPECT_EQ(cells.CellCount(), 4);
    EXPECT_EQ(cells.GetCell(2, 1)->CellType(), ctString);
    EXPECT_EQ(cells.GetCell(1, 2)->CellType(), ctBlank);

    // top, left, right, bottom styles of each corner
    struct Expected {
        int col, row;
        std::array<TCellBorderStyle, 4> styles;
    };
    const Expected expected[] = {
        {1, 1, {cbsThin, cbsThin, cbsNone, cbsNone}},
        {2, 1, {cbsThin, cbsNone, cbsThin, cbsNone}},
        {1, 2, {cbsNone, cbsThin, cbsNone, cbsThin}},
        {2, 2, {cbsNone, cbsNone, cbsThin, cbsThin}},
    };
    for (const Expected& e : expected) {
        const TCell& cell = *cells.GetCell(e.col, e.row);
        const std::array<TCellBorderStyle, 4> styles = {cell.BorderTopStyle(), cell.BorderLeftStyle(),
                                                        cell.BorderRightStyle(), cell.BorderBottomStyle()};
        EXPECT_EQ(styles, e.styles) << e.col << ":" << e.row;
        if (e.styles[0] == cbsThin) {
            EXPECT_EQ(cell.BorderTopColor(), xcRed) << e.col << ":" << e.row;
        }
        if (e.styles[1] == cbsNone) {
            EXPECT_EQ(cell.BorderLeftColor(), xc0) << e.col << ":" << e.row << ": not an edge cell";
        }
    }
    EXPECT_EQ(cells.GetCell(1, 1)->Format().RefCount(), 1) << "each corner has a format of its own";
}

TEST_F(RangeTest, AStyleAloneDrawsInTheAutomaticColour) {
    range.Area(0, 0, 1, 0);
    range.SetBorderBottomStyle(cbsMedium);
    for (int col : {0, 1}) {
        EXPECT_EQ(cells.GetCell(col, 0)->BorderBottomColor(), xcAutomatic);
        EXPECT_EQ(cells.GetCell(col, 0)->BorderTopColor(), xc0) << "other edges untouched";
    }
    range.SetBorderBottomColor(xcBlue);
    range.SetBorderBottomStyle(cbsThin);
    EXPECT_EQ(cells.GetCell(0, 0)->BorderBottomColor(), xcBlue) << "a colour already set is kept";
}

TEST_F(RangeTest, HorizontalAlignmentReachesEveryCell) {
    range.Area(0, 0, 2, 1).SetHorizAlignment(haCentered);
    EXPECT_EQ(cells.CellCount(), 6);
    for (int row = 0; row <= 1; ++row)
        for (int col = 0; col <= 2; ++col) EXPECT_EQ(cells.GetCell(col, row)->HorizAlignment(), haCentered);
    EXPECT_EQ(formats.Count(), 23) << "all six cells share one format";
    EXPECT_EQ(formats.Items(22).RefCount(), 6);
}

}  // namespace
}  // namespace quarvel
