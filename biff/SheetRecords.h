// The records of a worksheet substream other than the cells: the sheet's settings (calculation,
// printing, outline, window), its used area, rows and columns, panes and selection, merged areas
// and protection.
//
// Per record: its id, its body size and a function that writes the body's fields in body order
// (see biff/RecordSink.h for how they are written). The records held in the sheet's default list
// (biff/RecordStorage.h) are edited there in place; their T...Offsets name where each field lies.
// Rows and columns are 0-based.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ByteBuffer.h"

namespace quarvel {

// -------------------------------------------------------------------------------------------------
// Records whose body is one 16-bit value (DELTA: one double), held in the sheet's default list.

inline constexpr uint16_t ridCALCCOUNT = 0x000C;      // iterations at most
inline constexpr uint16_t ridCALCMODE = 0x000D;       // 0 manual, 1 automatic, 0xFFFF automatic but tables
inline constexpr uint16_t ridREFMODE = 0x000F;        // 0 R1C1 references, 1 A1 references
inline constexpr uint16_t ridDELTA = 0x0010;          // largest change of an iteration (double)
inline constexpr uint16_t ridITERATION = 0x0011;      // 1 iterate circular references
inline constexpr uint16_t ridPROTECT = 0x0012;        // 1 the sheet (in the globals: the workbook) is protected
inline constexpr uint16_t ridPRINTHEADERS = 0x002A;   // 1 print row and column headings
inline constexpr uint16_t ridPRINTGRIDLINES = 0x002B; // 1 print grid lines
inline constexpr uint16_t ridDEFCOLWIDTH = 0x0055;    // default column width, in characters
inline constexpr uint16_t ridSAVERECALC = 0x005F;     // 1 recalculate before saving
inline constexpr uint16_t ridWSBOOL = 0x0081;         // workspace options: 0x0001 automatic page
                                                      // breaks shown, 0x0020 styles applied, 0x0040 summary
                                                      // rows below, 0x0080 summary columns right, 0x0100 fit
                                                      // to page, 0x0400 outline symbols shown
inline constexpr uint16_t ridGRIDSET = 0x0082;        // 1 the grid-line print option was set
inline constexpr uint16_t ridHCENTER = 0x0083;        // 1 centre horizontally on the page
inline constexpr uint16_t ridVCENTER = 0x0084;        // 1 centre vertically on the page

// -------------------------------------------------------------------------------------------------
// Outline, default sizes, used area

// GUTS: room for the outline symbols.
//   offset size field
//   0      2    width of the row outline gutter
//   2      2    height of the column outline gutter
//   4      2    row outline levels + 1 (0 without row outline)
//   6      2    column outline levels + 1
inline constexpr uint16_t ridGUTS = 0x0080;
inline constexpr size_t GutsSize = 8;
struct TGutsOffsets {
    static constexpr size_t RowGutter = 0, ColGutter = 2, RowLevels = 4, ColLevels = 6;
};
void PutGuts(TByteSpan& body, uint16_t rowGutter, uint16_t colGutter, uint16_t rowLevels, uint16_t colLevels);

// DEFAULTROWHEIGHT: the height of rows without a ROW record.
//   offset size field
//   0      2    options: bit 0 the height is not the font's, bit 1 hidden, bit 2 space above,
//               bit 3 space below
//   2      2    height, in twentieths of a point
inline constexpr uint16_t ridDEFAULTROWHEIGHT = 0x0225;
inline constexpr size_t DefaultRowHeightSize = 4;
struct TDefaultRowHeightOffsets {
    static constexpr size_t Options = 0, Height = 2;
};
void PutDefaultRowHeight(TByteSpan& body, uint16_t options, uint16_t height);

// DIMENSIONS: the used area, the last row and column exclusive (0, 1, 0, 1 for an empty sheet).
//   offset size field
//   0      4    first row
//   4      4    last row + 1 (at most 65536)
//   8      2    first column
//   10     2    last column + 1 (at most 256)
//   12     2    reserved, 0
inline constexpr uint16_t ridDIMENSIONS = 0x0200;
inline constexpr size_t DimensionsSize = 14;
struct TDimensionsOffsets {
    static constexpr size_t FirstRow = 0, LastRowPlus1 = 4, FirstCol = 8, LastColPlus1 = 10, Reserved = 12;
};
void PutDimensions(TByteSpan& body, uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol,
                   uint16_t lastColPlus1);

// ROW: a row with attributes of its own. All ROW records of a sheet precede its cell records.
//   offset size field
//   0      2    row
//   2      2    first column
//   4      2    last column (as the model holds it, at most 255)
//   6      2    height, in twentieths of a point
//   8      2    reserved, 0
//   10     2    unused, 0
//   12     2    options: bits 0-2 outline level, 0x0010 collapsed, 0x0020 hidden (zero height),
//               0x0040 height of its own, 0x0080 format of its own, 0x0100 always set
//   14     2    XF index
inline constexpr uint16_t ridROW = 0x0208;
inline constexpr size_t RowSize = 16;
inline void PutRow(TByteSpan& body, uint16_t row, uint16_t firstCol, uint16_t lastCol, uint16_t height,
                   uint16_t options, uint16_t xf) {  // inline: once per row
    body.PutU16(row);
    body.PutU16(firstCol);
    body.PutU16(lastCol);
    body.PutU16(height);
    body.PutU16(0);
    body.PutU16(0);
    body.PutU16(options);
    body.PutU16(xf);
}

// COLINFO: a run of adjacent columns with the same width, format and flags.
//   offset size field
//   0      2    first column
//   2      2    last column
//   4      2    width, in 1/256 of a character
//   6      2    XF index
//   8      2    options: 0x0001 hidden, 0x0002 width set by the user, bits 8-10 outline level,
//               0x1000 collapsed
//   10     2    reserved, 0
inline constexpr uint16_t ridCOLINFO = 0x007D;
inline constexpr size_t ColInfoSize = 12;
void PutColInfo(TByteSpan& body, uint16_t firstCol, uint16_t lastCol, uint16_t width, uint16_t xf,
                uint16_t options);

// -------------------------------------------------------------------------------------------------
// Printing

// HEADER, FOOTER: the page header or footer text; an empty text has an empty body.
//   offset size field
//   0      2    character count n
//   2      1    option byte 0x01: UTF-16 characters
//   3      2n   text
inline constexpr uint16_t ridHEADER = 0x0014;
inline constexpr uint16_t ridFOOTER = 0x0015;
inline constexpr size_t HeaderFooterSize(size_t length) { return length == 0 ? 0 : 3 + 2 * length; }
void PutHeaderFooter(TByteSpan& body, std::u16string_view text);

// LEFTMARGIN, RIGHTMARGIN, TOPMARGIN, BOTTOMMARGIN: one page margin.
//   offset size field
//   0      8    margin in inches, an IEEE 754 double
inline constexpr uint16_t ridLEFTMARGIN = 0x0026;
inline constexpr uint16_t ridRIGHTMARGIN = 0x0027;
inline constexpr uint16_t ridTOPMARGIN = 0x0028;
inline constexpr uint16_t ridBOTTOMMARGIN = 0x0029;
inline constexpr size_t MarginSize = 8;
void PutMargin(TByteSpan& body, double inches);

// HORIZONTALPAGEBREAKS (breaks above rows), VERTICALPAGEBREAKS (breaks left of columns).
//   offset size field
//   0      2    break count n
//   2      6n   per break: the row (column) the break precedes, the first and the last column
//               (row) it spans, 2 bytes each
inline constexpr uint16_t ridVERTICALPAGEBREAKS = 0x001A;
inline constexpr uint16_t ridHORIZONTALPAGEBREAKS = 0x001B;
struct TPageBreak {
    uint16_t Position, First, Last;
};
inline constexpr size_t PageBreaksSize(size_t count) { return 2 + 6 * count; }
void PutPageBreaks(TByteSpan& body, const TPageBreak* breaks, size_t count);

// SETUP: the page setup.
//   offset size field
//   0      2    paper size
//   2      2    scale, per cent
//   4      2    first page number
//   6      2    pages across to fit to (0: as many as needed)
//   8      2    pages down to fit to
//   10     2    options: 0x0001 pages left to right, 0x0002 portrait, 0x0008 black and white,
//               0x0010 draft quality, 0x0020 notes, 0x0080 the first page number is set
//   12     2    horizontal print resolution, dots per inch
//   14     2    vertical print resolution
//   16     8    header margin in inches, an IEEE 754 double
//   24     8    footer margin in inches
//   32     2    copies
inline constexpr uint16_t ridSETUP = 0x00A1;
inline constexpr size_t SetupSize = 34;
struct TSetupOffsets {
    static constexpr size_t PaperSize = 0, Scale = 2, StartPage = 4, FitWidth = 6, FitHeight = 8, Options = 10,
                            HorizontalResolution = 12, VerticalResolution = 14, HeaderMargin = 16,
                            FooterMargin = 24, Copies = 32;
};
struct TSetupFields {
    uint16_t PaperSize = 0;
    uint16_t Scale = 100;
    uint16_t StartPage = 1;
    uint16_t FitWidth = 1;
    uint16_t FitHeight = 1;
    uint16_t Options = 0;
    uint16_t HorizontalResolution = 600;
    uint16_t VerticalResolution = 600;
    double HeaderMargin = 0.5;
    double FooterMargin = 0.5;
    uint16_t Copies = 0;
};
void PutSetup(TByteSpan& body, const TSetupFields& setup);

// -------------------------------------------------------------------------------------------------
// Window, panes, selection

// WINDOW2: how the sheet is shown.
//   offset size field
//   0      2    options: 0x0001 formulas shown, 0x0002 grid lines, 0x0004 row and column headings,
//               0x0008 frozen panes, 0x0010 zero values, 0x0020 default grid line colour,
//               0x0080 outline symbols, 0x0100 frozen without split, 0x0200 selected,
//               0x0400 active
//   2      2    top row shown
//   4      2    left column shown
//   6      2    grid line colour, a palette index (64: automatic)
//   8      2    reserved, 0
//   10     2    zoom of the page-break preview, per cent (0: the default)
//   12     2    zoom of the normal view, per cent (0: the default)
//   14     4    reserved, 0
inline constexpr uint16_t ridWINDOW2 = 0x023E;
inline constexpr size_t Window2Size = 18;
struct TWindow2Offsets {
    static constexpr size_t Options = 0, TopRow = 2, LeftCol = 4, GridColor = 6, ZoomPreview = 10, Zoom = 12;
};
void PutWindow2(TByteSpan& body, uint16_t options, uint16_t topRow, uint16_t leftCol, uint16_t gridColor,
                uint16_t zoomPreview, uint16_t zoom);

// SCL: the zoom of the normal view as a fraction; precedes WINDOW2.
//   offset size field
//   0      2    numerator
//   2      2    denominator
inline constexpr uint16_t ridSCL = 0x00A0;
inline constexpr size_t SclSize = 4;
void PutScl(TByteSpan& body, uint16_t numerator, uint16_t denominator);

// PANE: where the window is split or frozen.
//   offset size field
//   0      2    columns left of the vertical split
//   2      2    rows above the horizontal split
//   4      2    top row shown in the lower panes
//   6      2    left column shown in the right panes
//   8      1    active pane: 0 lower right, 1 upper right, 2 lower left, 3 upper left
//   9      1    reserved, 0
inline constexpr uint16_t ridPANE = 0x0041;
inline constexpr size_t PaneSize = 10;
void PutPane(TByteSpan& body, uint16_t splitCols, uint16_t splitRows, uint16_t topRow, uint16_t leftCol,
             uint8_t activePane);

// SELECTION: the selected areas of one pane.
//   offset size field
//   0      1    pane (as in PANE)
//   1      2    row of the active cell
//   3      2    column of the active cell
//   5      2    index of the area that holds the active cell
//   7      2    area count n
//   9      6n   per area: first row (2), last row (2), first column (1), last column (1)
inline constexpr uint16_t ridSELECTION = 0x001D;
struct TSelectionArea {
    uint16_t Row1, Row2;
    uint8_t Col1, Col2;
};
inline constexpr size_t SelectionSize(size_t count) { return 9 + 6 * count; }
struct TSelectionOffsets {
    static constexpr size_t Pane = 0, ActiveRow = 1, ActiveCol = 3, ActiveArea = 5, Count = 7, Row1 = 9, Row2 = 11,
                            Col1 = 13, Col2 = 14;  // the fields of the first area
};
void PutSelection(TByteSpan& body, uint8_t pane, uint16_t activeRow, uint16_t activeCol, uint16_t activeArea,
                  const TSelectionArea* areas, size_t count);

// -------------------------------------------------------------------------------------------------
// Merged areas, protection

// MERGEDCELLS: merged areas, at most MergedCellsPerRecord of them in one record.
//   offset size field
//   0      2    area count n
//   2      8n   per area: first row, last row, first column, last column, 2 bytes each
inline constexpr uint16_t ridMERGEDCELLS = 0x00E5;
struct TMergedArea {
    uint16_t Row1, Row2, Col1, Col2;
};
inline constexpr size_t MergedCellsSize(size_t count) { return 2 + 8 * count; }
// The areas a record of at most `maxBody` bytes holds (1027 in 8224).
inline constexpr size_t MergedCellsPerRecord(size_t maxBody) { return (maxBody - 2) / 8; }
void PutMergedCells(TByteSpan& body, const TMergedArea* areas, size_t count);

// SHEETPROTECTION: what the users of a protected sheet may still do. It is a shared-feature
// header record of the later file versions: a header naming the record again, the feature type
// and the feature's data.
//   offset size field
//   0      2    record id, 0x0867, again
//   2      2    flags, 0
//   4      8    reserved, 0
//   12     2    shared-feature type: 0x0002, enhanced protection
//   14     1    reserved, 1
//   15     4    size of the feature data: 0xFFFFFFFF, the protection flags below
//   19     2    protection flags: bit k set allows operation k of the 15 (bit 15 clear)
//   21     2    reserved, 0
inline constexpr uint16_t ridSHEETPROTECTION = 0x0867;
inline constexpr size_t SheetProtectionSize = 23;
void PutSheetProtection(TByteSpan& body, uint16_t flags);

}  // namespace quarvel
