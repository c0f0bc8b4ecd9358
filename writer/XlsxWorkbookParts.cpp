#include "writer/XlsxWorkbookParts.h"

#include "workbook/SheetData.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XmlWriter.h"

namespace quarvel {

namespace {

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelationshipsNamespace = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kOfficeRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

void Relationship(TXmlWriter& xml, int id, std::string_view type, std::string_view target) {
    xml.Start("Relationship");
    xml.Attribute("Id", "rId" + std::to_string(id));
    xml.Attribute("Type", type);
    xml.Attribute("Target", target);
    xml.CloseEmpty();
}

void Override(TXmlWriter& xml, std::string_view part, std::string_view type) {
    xml.Start("Override");
    xml.Attribute("PartName", part);
    xml.Attribute("ContentType", type);
    xml.CloseEmpty();
}

}  // namespace

std::string WorksheetPartName(int index) { return "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml"; }

void WriteContentTypes(TXmlWriter& xml, int sheetCount) {
    xml.Declaration();
    xml.Start("Types");
    xml.Attribute("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
    xml.CloseStart();
    xml.Raw("<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>");
    Override(xml, "/xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    for (int i = 0; i < sheetCount; ++i)
        Override(xml, "/" + WorksheetPartName(i),
                 "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
    Override(xml, "/xl/styles.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
    Override(xml, "/xl/sharedStrings.xml",
             "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    Override(xml, "/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
    Override(xml, "/docProps/app.xml", "application/vnd.openxmlformats-officedocument.extended-properties+xml");
    xml.End("Types");
}

void WriteRootRelationships(TXmlWriter& xml) {
    xml.Declaration();
    xml.Start("Relationships");
    xml.Attribute("xmlns", kRelationshipsNamespace);
    xml.CloseStart();
    Relationship(xml, 1, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
                 "xl/workbook.xml");
    Relationship(xml, 2, "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
                 "docProps/core.xml");
    Relationship(xml, 3, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties",
                 "docProps/app.xml");
    xml.End("Relationships");
}

void WriteAppProperties(TXmlWriter& xml, const TXLSWorkbook& workbook) {
    const TSheets& sheets = workbook.Sheets();
    xml.Declaration();
    xml.Start("Properties");
    xml.Attribute("xmlns", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
    xml.Attribute("xmlns:vt", "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes");
    xml.CloseStart();
    xml.Raw("<Application>QUARVEL</Application>");
    xml.Raw("<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
            "</vt:variant><vt:variant><vt:i4>");
    AppendInteger(xml.Buffer(), sheets.Count());
    xml.Raw("</vt:i4></vt:variant></vt:vector></HeadingPairs>");
    xml.Raw("<TitlesOfParts>");
    xml.Start("vt:vector");
    xml.Attribute("size", sheets.Count());
    xml.Attribute("baseType", "lpstr");
    xml.CloseStart();
    for (int i = 0; i < sheets.Count(); ++i) xml.TextElement("vt:lpstr", sheets.Items(i).Name());
    xml.End("vt:vector");
    xml.Raw("</TitlesOfParts>");
    xml.End("Properties");
}

void WriteCoreProperties(TXmlWriter& xml, const TXLSWorkbook& workbook) {
    xml.Declaration();
    xml.Start("cp:coreProperties");
    xml.Attribute("xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
    xml.Attribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
    xml.Attribute("xmlns:dcterms", "http://purl.org/dc/terms/");
    xml.Attribute("xmlns:dcmitype", "http://purl.org/dc/dcmitype/");
    xml.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    xml.CloseStart();
    const WideString user = workbook.UserName();
    if (!user.empty()) {
        xml.TextElement("dc:creator", user);
        xml.TextElement("cp:lastModifiedBy", user);
    }
    xml.End("cp:coreProperties");
}

void WriteWorkbookPart(TXmlWriter& xml, TXLSWorkbook& workbook) {
    xml.Declaration();
    xml.Start("workbook");
    xml.Attribute("xmlns", kMain);
    xml.Attribute("xmlns:r", kOfficeRelationships);
    xml.CloseStart();

    // workbookPr: DATEMODE, HIDEOBJ, BACKUP, REFRESHALL.
    xml.Start("workbookPr");
    if (workbook.Workbook().Date1904()) xml.Attribute("date1904", "1");
    switch (workbook.OptionsDialog().ShowObjects()) {
        case soPlaceholders: xml.Attribute("showObjects", "placeholders"); break;
        case soHideAll: xml.Attribute("showObjects", "none"); break;
        default: break;
    }
    if (workbook.Backup()) xml.Attribute("backupFile", "1");
    if (workbook.RefreshAll()) xml.Attribute("refreshAllConnections", "1");
    xml.CloseEmpty();
    // WINDOWPROTECT: the workbook's windows are locked.
    if (workbook.BookProtected()) xml.Raw("<workbookProtection lockWindows=\"1\"/>");

    // The workbook window (WINDOW1).
    TWorkbookData& window = workbook.Workbook();
    const TRecordEntry& window1 = workbook.Records().Window1();
    const TWorkbookOptions options = window.Options();
    xml.Raw("<bookViews>");
    xml.Start("workbookView");
    if (options & woHidden) xml.Attribute("visibility", "hidden");
    if (options & woIconized) xml.Attribute("minimized", "1");
    if (!(options & woHScroll)) xml.Attribute("showHorizontalScroll", "0");
    if (!(options & woVScroll)) xml.Attribute("showVerticalScroll", "0");
    if (!(options & woTabs)) xml.Attribute("showSheetTabs", "0");
    xml.Attribute("xWindow", window.Left());
    xml.Attribute("yWindow", window.Top());
    xml.Attribute("windowWidth", window.Width());
    xml.Attribute("windowHeight", window.Height());
    xml.Attribute("tabRatio", window1.Word(16));
    if (window1.Word(12) != 0) xml.Attribute("firstSheet", window1.Word(12));
    if (window.SelectedTab() != 0) xml.Attribute("activeTab", window.SelectedTab());
    xml.CloseEmpty();
    xml.Raw("</bookViews>");

    xml.Raw("<sheets>");
    const TSheets& sheets = workbook.Sheets();
    for (int i = 0; i < sheets.Count(); ++i) {
        const TSheet& sheet = sheets.Items(i);
        xml.Start("sheet");
        xml.AttributeText("name", sheet.Name());
        xml.Attribute("sheetId", i + 1);
        if (sheet.Hidden() == hsHidden) xml.Attribute("state", "hidden");
        if (sheet.Hidden() == hsVeryHidden) xml.Attribute("state", "veryHidden");
        xml.Attribute("r:id", "rId" + std::to_string(i + 1));
        xml.CloseEmpty();
    }
    xml.Raw("</sheets>");

    // Calculation options, where they differ from the defaults of the element. PRECISION holds 1
    // for calculations at full precision (the model's PrecisionAsDisplayed reads that record).
    TOptionsDialog& calc = workbook.OptionsDialog();
    xml.Start("calcPr");
    if (calc.CalcMode() == cmManual) xml.Attribute("calcMode", "manual");
    if (calc.CalcMode() == cmAutoExTables) xml.Attribute("calcMode", "autoNoTable");
    if (calc.R1C1Mode()) xml.Attribute("refMode", "R1C1");
    if (calc.Iteration()) xml.Attribute("iterate", "1");
    if (calc.CalcCount() != 100) xml.Attribute("iterateCount", calc.CalcCount());
    if (calc.Delta() != 0.001) xml.AttributeDouble("iterateDelta", calc.Delta());
    if (!calc.PrecisionAsDisplayed()) xml.Attribute("fullPrecision", "0");
    if (!calc.SaveRecalc()) xml.Attribute("calcOnSave", "0");
    xml.CloseEmpty();
    xml.End("workbook");
}

void WriteWorkbookRelationships(TXmlWriter& xml, int sheetCount) {
    xml.Declaration();
    xml.Start("Relationships");
    xml.Attribute("xmlns", kRelationshipsNamespace);
    xml.CloseStart();
    for (int i = 0; i < sheetCount; ++i)
        Relationship(xml, i + 1, std::string(kOfficeRelationships) + "/worksheet",
                     "worksheets/sheet" + std::to_string(i + 1) + ".xml");
    Relationship(xml, sheetCount + 1, std::string(kOfficeRelationships) + "/styles", "styles.xml");
    Relationship(xml, sheetCount + 2, std::string(kOfficeRelationships) + "/sharedStrings", "sharedStrings.xml");
    xml.End("Relationships");
}

}  // namespace quarvel
