// The Office Open XML writer: the workbook model as an .xlsx package (SpreadsheetML, transitional,
// as spreadsheet programs since 2007 write it), beside the BIFF8 writer and walking the same model.
//
// The package is a ZIP archive (platform/Zip.h) of these parts, in this order:
//   [Content_Types].xml, _rels/.rels, docProps/app.xml, docProps/core.xml, xl/workbook.xml,
//   xl/_rels/workbook.xml.rels, xl/styles.xml, xl/sharedStrings.xml, xl/worksheets/sheetN.xml.
// The small parts are deflated whole; the shared strings and the sheets are streamed at deflate
// level 1, which keeps a full sheet within its time (level 6 takes several times as long for a few
// per cent less).
//
// A sheet of this format holds 1,048,576 rows of 16,384 columns: every cell the model can store.
// The workbook is readied as for the BIFF8 writer (calculation options into the sheets' records,
// progress from 0 to 100); a workbook with a password is refused, as there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

class TXLSWorkbook;
class TZipSink;

// Writes the package into sink. On failure the archive is incomplete; the owner of the sink
// discards it.
void WriteXlsx(TXLSWorkbook& workbook, TZipSink& sink);
// Writes the package to path (UTF-8 bytes) through the atomic writer: the target appears only
// whole, and a failure leaves an existing target as it was.
void WriteXlsxFile(TXLSWorkbook& workbook, const std::string& path);
// The package's bytes into out (replaced only on success).
void WriteXlsxToBuffer(TXLSWorkbook& workbook, std::vector<uint8_t>& out);

}  // namespace quarvel
