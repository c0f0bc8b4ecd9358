// The workbook branch of a conversion: Lines, SpanList and LineColors to a workbook file.
#pragma once

#include <string>

#include "converter/Converter.h"

namespace quarvel {

class TXLSWorkbook;

// The name of the one sheet a conversion writes.
inline constexpr char16_t kBuilderSheetName[] = u"Лист1";

// Writes the converter's lines as a workbook to targetFile: checks the options it reads, fills a
// fresh workbook (FillWorkbook) and writes it, as an Office Open XML package when the target's
// extension is .xlsx (IsXlsxTarget), else as a BIFF8 file. The sheet limits (MaxCol, MaxRow) are
// those of that format while the sheet is filled and written, and the ones before afterwards. The
// report counts the rows and columns beyond the sheet that the file leaves out and the texts cut
// to the longest a cell holds.
TConversionReport BuildWorkbook(TConverter& converter, const std::string& targetFile);

// Fills the first sheet of workbook from the converter's Lines, SpanList and LineColors with the
// converter's settings: one row per line and one cell per field (numbers and dates as numbers
// with a format that mirrors the text, everything else as text), borders, vertical centring,
// column widths and wrapping, merged areas, the row outline and the workspace options. Changes the
// Col2 of the header and caption records of SpanList as it resolves them. Writes nothing.
//
// The report holds the lines and fields beyond the sheet limits in force (MaxRow, MaxCol), which
// are left out, and the texts cut.
//
// reuseFormats: cells that start alike and get the same number format, borders and wrap move
// straight to the format the first of them ended on, which leaves the workbook exactly as running
// every format setter on every cell does (false), only faster.
TConversionReport FillWorkbook(TConverter& converter, TXLSWorkbook& workbook, bool reuseFormats = true);

}  // namespace quarvel
