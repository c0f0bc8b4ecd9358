// xl/worksheets/sheetN.xml: one sheet of the model as a SpreadsheetML worksheet, its children in
// the order the worksheet's schema fixes: sheetPr, dimension, sheetViews, sheetFormatPr, cols,
// sheetData, sheetProtection, mergeCells, printOptions, pageMargins, pageSetup, headerFooter,
// rowBreaks, colBreaks.
//
// Everything comes from the same places the BIFF8 worksheet writer reads: the used area, the cells
// in row order, the row and column objects, the merged areas, pane and selection, and the sheet's
// stored records (WINDOW2, WSBOOL, GUTS, DEFAULTROWHEIGHT, DEFCOLWIDTH, SETUP and the print flags).
// The sheet holds 1,048,576 rows of 16,384 columns, the whole address space of the cell store.
#pragma once

#include <cstdint>
#include <functional>

namespace quarvel {

class TSheet;
class TXLSRow;
class TXlsxStyles;
class TXmlWriter;

// The last column and row (0-based) of a sheet of this format.
inline constexpr uint32_t kXlsxLastCol = 16383;
inline constexpr uint32_t kXlsxLastRow = 1048575;

// Writes the sheet's part. selected: the sheet is the workbook's selected tab. everyHundredCells
// runs after each hundred cells written (progress); may be empty.
void WriteWorksheet(TSheet& sheet, const TXlsxStyles& styles, bool selected, TXmlWriter& xml,
                    const std::function<void()>& everyHundredCells = {});

// The single elements of the part, for the part writer and for tests that pin their text.
namespace xlsx {

void WriteSheetPr(TXmlWriter& xml, const TSheet& sheet);
// The used area as CalcDimensions last found it ("A1" for a sheet without cells).
void WriteDimension(TXmlWriter& xml, const TSheet& sheet);
void WriteSheetViews(TXmlWriter& xml, const TSheet& sheet, bool selected);
void WriteSheetFormatPr(TXmlWriter& xml, const TSheet& sheet);
// One <col> per run of adjacent equal column objects (nothing without any).
void WriteCols(TXmlWriter& xml, const TSheet& sheet, const TXlsxStyles& styles);
// The start tag of row `row` (0-based) with the attributes of its row object, if it has one,
// ending in ">" (or "/>" when empty is set: a row with no cells).
void WriteRowStart(TXmlWriter& xml, uint32_t row, const TXLSRow* object, const TXlsxStyles& styles, bool empty);
void WriteSheetProtection(TXmlWriter& xml, const TSheet& sheet);
void WriteMergeCells(TXmlWriter& xml, const TSheet& sheet);
void WritePrintOptions(TXmlWriter& xml, const TSheet& sheet);
void WritePageMargins(TXmlWriter& xml, const TSheet& sheet);
void WritePageSetup(TXmlWriter& xml, const TSheet& sheet);
void WriteHeaderFooter(TXmlWriter& xml, const TSheet& sheet);
void WritePageBreaks(TXmlWriter& xml, const TSheet& sheet);

}  // namespace xlsx

}  // namespace quarvel
