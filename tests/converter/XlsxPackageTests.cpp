// Whole packages in memory: the archive read back member by member (zlib inflate, CRC-32), every
// part of a small converted workbook pinned to its exact text, and the sheet limits of the format.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

#include "converter/Converter.h"
#include "converter/SheetBuilder.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Zip.h"
#include "tests/platform/PlatformSupport.h"
#include "tests/platform/ZipReader.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XLSXWriter.h"

namespace quarvel {
namespace {

using test::ReadZip;
using test::TZipMember;

// The limits of the format a test fills its workbook for, and the BIFF8 ones back at the end.
class TLimits {
public:
    explicit TLimits(TXLSWorkbook& workbook, TExcelVersion version) { workbook.SetVersion(version); }
    ~TLimits() {
        MaxCol = 255;
        MaxRow = 65535;
    }
};

std::map<std::string, std::string> Parts(TXLSWorkbook& workbook, std::vector<std::string>* order = nullptr) {
    std::vector<uint8_t> bytes;
    workbook.WriteToStream(TXlsxWriter(), &bytes);
    std::map<std::string, std::string> parts;
    for (const TZipMember& member : ReadZip(bytes)) {
        EXPECT_EQ(member.Method, 8) << member.Name << " is deflated";
        if (order) order->push_back(member.Name);
        parts[member.Name] = member.Data;
    }
    return parts;
}

// A page with a header line, a caption, a heading row, numbers, dates and times in their own
// notations, a text that wraps, a colspan and a row outline: converted as batch mode would.
const char kPage[] =
    "<table><caption>Q1 &amp; Q2</caption>\n"
    "<tr><th>Region</th><th>Sales</th><th>Date</th></tr>\n"
    "<tr><td>North</td><td>1,234.50</td><td>5/12/2009</td></tr>\n"
    "<tr><td></td><td>007</td><td>13:35</td></tr>\n"
    "<tr><td colspan=2> a note \"that\" wraps &lt;here&gt;</td><td>x</td></tr>\n"
    "</table>\n";

TEST(Package, PartsOfASmallWorkbook) {
    TConverter converter;
    ParseCommandLine({"in.htm", "out.xlsx", "/w", "10", "/l", "1", "/d", "3", "/h", "Head"}, converter.Settings);
    converter.LoadSource(kPage, false);
    TXLSWorkbook workbook(UsLocaleInfo());
    workbook.ApplyStoredValues();
    TLimits limits(workbook, xvExcel2007);
    FillWorkbook(converter, workbook);
    std::vector<std::string> order;
    std::map<std::string, std::string> parts = Parts(workbook, &order);

    EXPECT_EQ(order, (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "docProps/app.xml",
                                                "docProps/core.xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                                                "xl/styles.xml", "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"}));
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    EXPECT_EQ(parts["[Content_Types].xml"],
              declaration +
                  "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                  "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                  "<Override PartName=\"/xl/styles.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                  "<Override PartName=\"/xl/sharedStrings.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
                  "<Override PartName=\"/docProps/core.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
                  "<Override PartName=\"/docProps/app.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/></Types>");
    EXPECT_EQ(parts["_rels/.rels"],
              declaration +
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                  "Target=\"xl/workbook.xml\"/>"
                  "<Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
                  "Target=\"docProps/core.xml\"/>"
                  "<Relationship Id=\"rId3\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
                  "Target=\"docProps/app.xml\"/></Relationships>");
    EXPECT_EQ(parts["docProps/app.xml"],
              declaration +
                  "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
                  "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
                  "<Application>QUARVEL</Application><HeadingPairs><vt:vector size=\"2\" baseType=\"variant\">"
                  "<vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant><vt:variant><vt:i4>1</vt:i4></vt:variant>"
                  "</vt:vector></HeadingPairs><TitlesOfParts><vt:vector size=\"1\" baseType=\"lpstr\">"
                  "<vt:lpstr>\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82" "1</vt:lpstr></vt:vector></TitlesOfParts></Properties>");
    // The stored user name is 109 blanks: no author.
    EXPECT_EQ(parts["docProps/core.xml"],
              declaration +
                  "<cp:coreProperties "
                  "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                  "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                  "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
                  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"></cp:coreProperties>");
    EXPECT_EQ(parts["xl/workbook.xml"],
              declaration +
                  "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><workbookPr/>"
                  "<bookViews><workbookView xWindow=\"100\" yWindow=\"100\" windowWidth=\"10000\" "
                  "windowHeight=\"7000\" tabRatio=\"600\"/></bookViews><sheets><sheet "
                  "name=\"\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82" "1\" sheetId=\"1\" r:id=\"rId1\"/></sheets><calcPr/>"
                  "</workbook>");
    EXPECT_EQ(parts["xl/_rels/workbook.xml.rels"],
              declaration +
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/>"
                  "<Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                  "Target=\"styles.xml\"/>"
                  "<Relationship Id=\"rId3\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                  "Target=\"sharedStrings.xml\"/></Relationships>");
    EXPECT_EQ(parts["xl/sharedStrings.xml"], declaration +
                  "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"10\" uniqueCount=\"9\">"
                  "<si><t>a note \"that\" wraps &lt;here&gt;</t></si><si><t>Q1 &amp; Q2</t></si><si><t>North</t></si><si><t"
                  ">Head</t></si><si><t>x</t></si><si><t>Date</t></si><si><t>Sales</t></si><si><t>Region</t></si><si><t></t"
                  "></si></sst>");
    EXPECT_EQ(parts["xl/styles.xml"], declaration +
                  "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts count=\"6\"><nu"
                  "mFmt numFmtId=\"164\" formatCode=\"_($* #,##0_);_($* (#,##0);_($* &quot;-&quot;_);_(@_)\"/><numFmt numFm"
                  "tId=\"165\" formatCode=\"_(* #,##0.00_);_(* (#,##0.00);_(* &quot;-&quot;??_);_(@_)\"/><numFmt numFmtId=\""
                  "166\" formatCode=\"_($* #,##0.00_);_($* (#,##0.00);_($* &quot;-&quot;??_);_(@_)\"/><numFmt numFmtId=\"16"
                  "7\" formatCode=\"M/DD/YYYY\"/><numFmt numFmtId=\"168\" formatCode=\"000\"/><numFmt numFmtId=\"169\" form"
                  "atCode=\"HH:MM\"/></numFmts><fonts count=\"4\"><font><sz val=\"10\"/><color indexed=\"8\"/><name val=\"A"
                  "rial\"/><family val=\"2\"/></font><font><sz val=\"10\"/><color indexed=\"8\"/><name val=\"Arial\"/><fami"
                  "ly val=\"2\"/></font><font><sz val=\"10\"/><color indexed=\"8\"/><name val=\"Arial\"/><family val=\"2\"/"
                  "></font><font><sz val=\"10\"/><color indexed=\"8\"/><name val=\"Arial\"/><family val=\"2\"/></font></fon"
                  "ts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"g"
                  "ray125\"/></fill></fills><borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
                  "<border><left style=\"thin\"><color indexed=\"23\"/></left><right style=\"thin\"><color indexed=\"23\"/>"
                  "</right><top style=\"thin\"><color indexed=\"23\"/></top><bottom style=\"thin\"><color indexed=\"23\"/><"
                  "/bottom><diagonal/></border></borders><cellStyleXfs count=\"20\"><xf numFmtId=\"0\" fontId=\"0\" fillId="
                  "\"0\" borderId=\"0\"/><xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\""
                  " applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId"
                  "=\"1\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignm"
                  "ent=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" applyNumber"
                  "Format=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId="
                  "\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\""
                  " applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\""
                  " applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><"
                  "xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" apply"
                  "Border=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" bo"
                  "rderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtect"
                  "ion=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill"
                  "=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fil"
                  "lId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" "
                  "applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0"
                  "\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" font"
                  "Id=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlig"
                  "nment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumb"
                  "erFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtI"
                  "d=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0"
                  "\" applyAlignment=\"0\" applyProtection=\"0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0"
                  "\" applyNumberFormat=\"0\" applyFill=\"0\" applyBorder=\"0\" applyAlignment=\"0\" applyProtection=\"0\"/"
                  "><xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/><xf numFmtId=\"165\" fontId=\"0\" fillId"
                  "=\"0\" borderId=\"0\"/><xf numFmtId=\"166\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/><xf numFmtId=\"45\""
                  " fontId=\"0\" fillId=\"0\" borderId=\"0\"/><xf numFmtId=\"9\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
                  "</cellStyleXfs><cellXfs count=\"11\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\""
                  "0\"/><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"0\" fontId=\""
                  "0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\"><alignment vertical=\"center\"/></xf><xf"
                  " numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyBorder=\"1\" applyAlignment=\"1"
                  "\"><alignment vertical=\"center\"/></xf><xf numFmtId=\"4\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId"
                  "=\"0\" applyNumberFormat=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><alignment vertical=\"center\"/></"
                  "xf><xf numFmtId=\"167\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyNumberFormat=\"1\" appl"
                  "yBorder=\"1\" applyAlignment=\"1\"><alignment vertical=\"center\"/></xf><xf numFmtId=\"168\" fontId=\"0\""
                  " fillId=\"0\" borderId=\"1\" xfId=\"0\" applyNumberFormat=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><"
                  "alignment vertical=\"center\"/></xf><xf numFmtId=\"169\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\""
                  "0\" applyNumberFormat=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><alignment vertical=\"center\"/></xf>"
                  "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyBorder=\"1\" applyAlignment="
                  "\"1\"><alignment vertical=\"center\" wrapText=\"1\"/></xf><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" b"
                  "orderId=\"0\" xfId=\"0\" applyAlignment=\"1\"><alignment horizontal=\"center\" vertical=\"center\"/></xf"
                  "><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\"><alignment "
                  "horizontal=\"center\"/></xf></cellXfs><cellStyles count=\"6\"><cellStyle name=\"Normal\" xfId=\"0\" buil"
                  "tinId=\"0\"/><cellStyle name=\"Comma\" xfId=\"15\" builtinId=\"3\"/><cellStyle name=\"Comma [0]\" xfId=\""
                  "16\" builtinId=\"6\"/><cellStyle name=\"Currency\" xfId=\"17\" builtinId=\"4\"/><cellStyle name=\"Curren"
                  "cy [0]\" xfId=\"18\" builtinId=\"7\"/><cellStyle name=\"Percent\" xfId=\"19\" builtinId=\"5\"/></cellSty"
                  "les></styleSheet>");
    EXPECT_EQ(parts["xl/worksheets/sheet1.xml"], declaration +
                  "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"http://schemas."
                  "openxmlformats.org/officeDocument/2006/relationships\"><sheetPr><outlinePr summaryBelow=\"0\"/></sheetPr"
                  "><dimension ref=\"A1:C6\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><selection acti"
                  "veCell=\"A1\" sqref=\"A1\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"12.75\" outlineLe"
                  "velRow=\"1\"/><cols><col min=\"1\" max=\"1\" width=\"11\" customWidth=\"1\"/><col min=\"2\" max=\"2\" wi"
                  "dth=\"9\" customWidth=\"1\"/><col min=\"3\" max=\"3\" width=\"10\" customWidth=\"1\"/></cols><sheetData>"
                  "<row r=\"1\"><c r=\"A1\" s=\"2\" t=\"s\"><v>3</v></c></row><row r=\"2\"><c r=\"A2\" s=\"9\" t=\"s\"><v>1"
                  "</v></c><c r=\"B2\" s=\"10\"/><c r=\"C2\" s=\"10\"/></row><row r=\"3\"><c r=\"A3\" s=\"3\" t=\"s\"><v>7<"
                  "/v></c><c r=\"B3\" s=\"3\" t=\"s\"><v>6</v></c><c r=\"C3\" s=\"3\" t=\"s\"><v>5</v></c></row><row r=\"4\""
                  "><c r=\"A4\" s=\"3\" t=\"s\"><v>2</v></c><c r=\"B4\" s=\"4\"><v>1234.5</v></c><c r=\"C4\" s=\"5\"><v>399"
                  "45</v></c></row><row r=\"5\" hidden=\"1\" outlineLevel=\"1\" collapsed=\"1\"><c r=\"A5\" s=\"3\" t=\"s\""
                  "><v>8</v></c><c r=\"B5\" s=\"6\"><v>7</v></c><c r=\"C5\" s=\"7\"><v>0.5659722222222222</v></c></row><row"
                  " r=\"6\" ht=\"38.25\" customHeight=\"1\"><c r=\"A6\" s=\"8\" t=\"s\"><v>0</v></c><c r=\"B6\" s=\"3\" t=\""
                  "s\"><v>8</v></c><c r=\"C6\" s=\"3\" t=\"s\"><v>4</v></c></row></sheetData><mergeCells count=\"3\"><merge"
                  "Cell ref=\"A1:C1\"/><mergeCell ref=\"A2:C2\"/><mergeCell ref=\"A6:B6\"/></mergeCells><pageMargins left=\""
                  "0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/><pageSetup paperSize=\"9\" s"
                  "cale=\"100\" orientation=\"portrait\" horizontalDpi=\"600\" verticalDpi=\"600\"/></worksheet>");
}

TEST(Package, AWorkbookWithAPasswordIsRefused) {
    TXLSWorkbook workbook(UsLocaleInfo());
    workbook.SetPassword(u"secret");
    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_THROW_MSG(workbook.WriteToStream(TXlsxWriter(), &bytes), Error, "Workbooks with a password can not be written");
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3})) << "the buffer is replaced only on success";
}

TEST(Package, ProgressRunsFromZeroToAHundred) {
    TXLSWorkbook workbook(UsLocaleInfo());
    TSheet& sheet = workbook.Sheets()[0];
    for (int row = 0; row < 1000; ++row) sheet.SetAsFloat(0, row, row);
    std::vector<int32_t> seen;
    workbook.SetOnProgress([&](TXLSWorkbook&, int32_t percent) { seen.push_back(percent); });
    std::vector<uint8_t> bytes;
    workbook.WriteToStream(TXlsxWriter(), &bytes);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

}  // namespace
}  // namespace quarvel
