// The merged areas of a sheet, written in list order as MERGEDCELLS records.
#pragma once

#include "workbook/CellAreas.h"

namespace quarvel {

class TMergedCells : public TSolidCellAreas {
public:
    using TSolidCellAreas::TSolidCellAreas;

    // Every merged area that shares cells with source is copied whole, shifted by the offsets;
    // a copy that does not lie wholly on the sheet (0..MaxCol, 0..MaxRow) is dropped, since a
    // merged area cannot be cut.
    void CopyAreas(const TCellArea& source, int32_t colOffset, int32_t rowOffset) override;
};

}  // namespace quarvel
