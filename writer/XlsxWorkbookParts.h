// The small parts of the package around the sheets: [Content_Types].xml, the relationships,
// docProps/app.xml and docProps/core.xml, and xl/workbook.xml with the workbook window, the sheet
// list and the calculation options.
#pragma once

#include <string>

namespace quarvel {

class TXLSWorkbook;
class TXmlWriter;

void WriteContentTypes(TXmlWriter& xml, int sheetCount);
void WriteRootRelationships(TXmlWriter& xml);
// docProps/app.xml: the program and the sheet names.
void WriteAppProperties(TXmlWriter& xml, const TXLSWorkbook& workbook);
// docProps/core.xml: the workbook's user name as author, when it has one (WRITEACCESS).
void WriteCoreProperties(TXmlWriter& xml, const TXLSWorkbook& workbook);
void WriteWorkbookPart(TXmlWriter& xml, TXLSWorkbook& workbook);
// xl/_rels/workbook.xml.rels: the sheets as rId1 to rIdN, then styles and shared strings.
void WriteWorkbookRelationships(TXmlWriter& xml, int sheetCount);

// The part name of sheet `index` (0-based): "xl/worksheets/sheet1.xml" for the first.
std::string WorksheetPartName(int index);

}  // namespace quarvel
