#include "workbook/MergedCells.h"

#include <algorithm>
#include <vector>

#include "workbook/XLSUtils.h"

namespace quarvel {

void TMergedCells::CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) {
    std::vector<TCellArea> copies;
    for (int i = 0; i < Count(); ++i) {
        const TCellArea& a = Items(i);
        const bool shares = std::max(a.Col1(), source.Col1()) <= std::min(a.Col2(), source.Col2()) &&
                            std::max(a.Row1(), source.Row1()) <= std::min(a.Row2(), source.Row2());
        if (shares) copies.push_back(a);
    }
    for (const TCellArea& a : copies) {
        const int64_t c1 = int64_t(a.Col1()) + colOffset, r1 = int64_t(a.Row1()) + rowOffset;
        const int64_t c2 = int64_t(a.Col2()) + colOffset, r2 = int64_t(a.Row2()) + rowOffset;
        if (c1 < 0 || r1 < 0 || c2 > MaxCol || r2 > MaxRow) continue;
        AddArea(uint32_t(c1), uint32_t(r1), uint32_t(c2), uint32_t(r2));
    }
}

}  // namespace quarvel
