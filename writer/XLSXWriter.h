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
// The workbook readies itself as for the BIFF8 writer (calculation options into the sheets' records,
// progress from 0 to 100); a workbook with a password is refused, as there.
#pragma once

#include <cstdint>
#include <vector>

#include "workbook/WorkbookWriter.h"

namespace quarvel {

class TXLSWorkbook;

// The .xlsx writer behind TXLSWorkbook::Write: to the workbook's Filename through the atomic
// writer (the target appears only whole, a failure leaves an existing one as it was), or into
// *stream.
class TXlsxWriter final : public TWorkbookWriter {
public:
    void WriteWorkbook(TXLSWorkbook& workbook, std::vector<uint8_t>* stream) const override;
};

}  // namespace quarvel
