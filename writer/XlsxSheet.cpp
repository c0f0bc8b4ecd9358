#include "writer/XlsxSheet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>

#include "biff/RecordStorage.h"
#include "biff/SST.h"
#include "platform/Errors.h"
#include "workbook/Cell.h"
#include "workbook/CellValues.h"
#include "workbook/Columns.h"
#include "workbook/Rows.h"
#include "workbook/SheetData.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XlsxStyles.h"
#include "writer/XmlWriter.h"

namespace quarvel {

namespace {

// WINDOW2 option bits read here (the others are given by the sheet's place and pane).
constexpr uint16_t kWindow2ShowFormulas = 0x0001, kWindow2Gridlines = 0x0002, kWindow2Headings = 0x0004,
                   kWindow2Zeros = 0x0010, kWindow2RightToLeft = 0x0040, kWindow2OutlineSymbols = 0x0080,
                   kWindow2PageBreakView = 0x0800;
// SETUP option bits.
constexpr uint16_t kSetupLeftToRight = 0x0001, kSetupPortrait = 0x0002, kSetupNotInitialised = 0x0004,
                   kSetupNoColor = 0x0008, kSetupDraft = 0x0010, kSetupNotes = 0x0020, kSetupNoOrientation = 0x0040,
                   kSetupUsePage = 0x0080, kSetupEndNotes = 0x0200;
// BIFF8 panes: 0 bottom right, 1 top right, 2 bottom left, 3 top left.
const char* const kPaneNames[4] = {"bottomRight", "topRight", "bottomLeft", "topLeft"};

// The letters of every column, made once: the cell loop takes them from here.
struct TColumnNames {
    std::array<std::array<char, 4>, kXlsxLastCol + 1> letters;
    std::array<uint8_t, kXlsxLastCol + 1> lengths;
    TColumnNames() {
        for (uint32_t c = 0; c <= kXlsxLastCol; ++c) {
            const std::string name = ColumnName(c);
            lengths[c] = static_cast<uint8_t>(name.size());
            std::memcpy(letters[c].data(), name.data(), name.size());
        }
    }
};
const TColumnNames& ColumnNames() {
    static const TColumnNames names;
    return names;
}

std::string Reference(uint32_t col, uint32_t row) {
    std::string text;
    AppendCellReference(text, std::min(col, kXlsxLastCol), std::min(row, kXlsxLastRow));
    return text;
}

std::string AreaReference(uint32_t col1, uint32_t row1, uint32_t col2, uint32_t row2) {
    return Reference(col1, row1) + ":" + Reference(col2, row2);
}

uint32_t Clamp(int64_t value, uint32_t last) { return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, last)); }

// A stored record of the sheet's default list (what the BIFF8 writer copies into its file).
const TRecordEntry* StoredRecord(const TSheet& sheet, uint16_t id) {
    const TBaseRecordStorage& defaults = sheet.Records().Defaults();
    const int32_t i = defaults.IndexOfId(id);
    return i < 0 ? nullptr : &defaults.Records(i);
}

void WriteSelection(TXmlWriter& xml, int pane, uint32_t col, uint32_t row) {
    xml.Start("selection");
    if (pane != 3) xml.Attribute("pane", kPaneNames[pane]);
    const std::string cell = Reference(col, row);
    xml.Attribute("activeCell", cell);
    xml.Attribute("sqref", cell);
    xml.CloseEmpty();
}

// Twentieths of a point as points ("12.75").
void AttributePoints(TXmlWriter& xml, std::string_view name, int64_t twips) { xml.AttributeDouble(name, twips / 20.0); }

}  // namespace

namespace xlsx {

void WriteSheetPr(TXmlWriter& xml, const TSheet& sheet) {
    const TWorkspaceOptions options = sheet.WorkspaceOptions();
    xml.Raw("<sheetPr>");
    // How outlines show: summary rows below their detail and columns right of it, unless WSBOOL
    // says otherwise (the converter's sheets have summary rows above).
    xml.Start("outlinePr");
    if (options & woApplyStyles) xml.Attribute("applyStyles", "1");
    if (!(options & woRowSumsBelow)) xml.Attribute("summaryBelow", "0");
    if (!(options & woColSumsRight)) xml.Attribute("summaryRight", "0");
    if (!(options & woOutlineSymbols)) xml.Attribute("showOutlineSymbols", "0");
    xml.CloseEmpty();
    if (options & woFitToPage) xml.Raw("<pageSetUpPr fitToPage=\"1\"/>");
    xml.Raw("</sheetPr>");
}

void WriteDimension(TXmlWriter& xml, const TSheet& sheet) {
    xml.Start("dimension");
    const bool empty = sheet.Cells().CellCount() == 0 || sheet.LastCol() < sheet.FirstCol() ||
                       sheet.LastRow() < sheet.FirstRow();
    if (empty) {
        xml.Attribute("ref", "A1");
    } else {
        const uint32_t c1 = Clamp(sheet.FirstCol(), kXlsxLastCol), r1 = Clamp(sheet.FirstRow(), kXlsxLastRow);
        const uint32_t c2 = Clamp(sheet.LastCol(), kXlsxLastCol), r2 = Clamp(sheet.LastRow(), kXlsxLastRow);
        xml.Attribute("ref", c1 == c2 && r1 == r2 ? Reference(c1, r1) : AreaReference(c1, r1, c2, r2));
    }
    xml.CloseEmpty();
}

void WriteSheetViews(TXmlWriter& xml, const TSheet& sheet, bool selected) {
    const TRecordEntry& window2 = sheet.Records().Window2();
    const uint16_t options = window2.Word(0);
    xml.Raw("<sheetViews>");
    xml.Start("sheetView");
    if (options & kWindow2ShowFormulas) xml.Attribute("showFormulas", "1");
    if (!(options & kWindow2Gridlines)) xml.Attribute("showGridLines", "0");
    if (!(options & kWindow2Headings)) xml.Attribute("showRowColHeaders", "0");
    if (!(options & kWindow2Zeros)) xml.Attribute("showZeros", "0");
    if (options & kWindow2RightToLeft) xml.Attribute("rightToLeft", "1");
    if (selected) xml.Attribute("tabSelected", "1");
    if (!(options & kWindow2OutlineSymbols)) xml.Attribute("showOutlineSymbols", "0");
    if (options & kWindow2PageBreakView) xml.Attribute("view", "pageBreakPreview");
    const uint16_t top = window2.Word(2), left = window2.Word(4);
    if (top != 0 || left != 0) xml.Attribute("topLeftCell", Reference(left, top));
    const uint16_t zoom = sheet.Zoom(), preview = sheet.ZoomPreview();
    if (zoom != 0 && zoom != 100) {
        xml.Attribute("zoomScale", zoom);
        xml.Attribute("zoomScaleNormal", zoom);
    }
    if (preview != 0) xml.Attribute("zoomScaleSheetLayoutView", preview);
    xml.Attribute("workbookViewId", "0");

    const TPane& pane = sheet.Pane();
    const int32_t x = pane.SplitColX(), y = pane.SplitRowY();
    const bool panes = pane.PaneType() != ptNone && (x >= 1 || y >= 1);
    const TSelectedAreas& areas = sheet.SelectedAreas();
    if (pane.PaneType() != ptNone && !panes) {
        // Panes without a split: neither a pane nor a selection, as in the BIFF8 file.
        xml.CloseEmpty();
        xml.Raw("</sheetViews>");
        return;
    }
    xml.CloseStart();
    if (panes) {
        // The active pane and the selections of each pane as the BIFF8 writer has them.
        int active;
        if (x >= 1 && y >= 1) {
            active = 0;
        } else if (x < 1) {
            active = 2;
        } else {
            active = y == 0 ? 1 : 2;
        }
        xml.Start("pane");
        if (x >= 1) xml.Attribute("xSplit", x);
        if (y >= 1) xml.Attribute("ySplit", y);
        xml.Attribute("topLeftCell", Reference(Clamp(pane.LeftCol(), kXlsxLastCol), Clamp(pane.TopRow(), kXlsxLastRow)));
        xml.Attribute("activePane", kPaneNames[active]);
        xml.Attribute("state", pane.PaneType() == ptFrozen ? "frozen" : "split");
        xml.CloseEmpty();
        const uint32_t topRow = Clamp(pane.TopRow(), kXlsxLastRow), leftCol = Clamp(pane.LeftCol(), kXlsxLastCol);
        if (x < 1) {
            WriteSelection(xml, 3, 0, 0);
            WriteSelection(xml, 2, 0, topRow);
        } else if (y < 1) {
            WriteSelection(xml, 3, 0, topRow);
            WriteSelection(xml, 1, leftCol, 0);
        } else {
            WriteSelection(xml, 3, 0, 0);
            WriteSelection(xml, 2, 0, topRow);
            WriteSelection(xml, 1, leftCol, 0);
            WriteSelection(xml, 0, leftCol, topRow);
        }
    } else {
        // Pane 3's selection: the selected areas and the active cell.
        const uint32_t col = Clamp(areas.ActiveCol(), kXlsxLastCol), row = Clamp(areas.ActiveRow(), kXlsxLastRow);
        xml.Start("selection");
        xml.Attribute("activeCell", Reference(col, row));
        if (areas.ActiveArea() != 0) xml.Attribute("activeCellId", areas.ActiveArea());
        std::string sqref;
        for (int i = 0; i < areas.Count(); ++i) {
            const TCellArea& a = areas.Items(i);
            if (!sqref.empty()) sqref += ' ';
            const uint32_t c1 = std::min(a.Col1(), kXlsxLastCol), r1 = std::min(a.Row1(), kXlsxLastRow);
            const uint32_t c2 = std::min(a.Col2(), kXlsxLastCol), r2 = std::min(a.Row2(), kXlsxLastRow);
            sqref += c1 == c2 && r1 == r2 ? Reference(c1, r1) : AreaReference(c1, r1, c2, r2);
        }
        xml.Attribute("sqref", sqref.empty() ? Reference(col, row) : sqref);
        xml.CloseEmpty();
    }
    xml.End("sheetView");
    xml.Raw("</sheetViews>");
}

void WriteSheetFormatPr(TXmlWriter& xml, const TSheet& sheet) {
    const uint8_t* guts = sheet.Records().GutsBody();
    const int rowLevels = guts[4] | (guts[5] << 8), colLevels = guts[6] | (guts[7] << 8);
    const uint16_t height = sheet.DefaultRowHeight();
    xml.Start("sheetFormatPr");
    if (sheet.DefaultColWidth() != 8) xml.Attribute("baseColWidth", sheet.DefaultColWidth());
    AttributePoints(xml, "defaultRowHeight", height);
    if (height != 255) xml.Attribute("customHeight", "1");
    // GUTS counts the levels of the outline plus one.
    if (rowLevels > 1) xml.Attribute("outlineLevelRow", rowLevels - 1);
    if (colLevels > 1) xml.Attribute("outlineLevelCol", colLevels - 1);
    xml.CloseEmpty();
}

void WriteCols(TXmlWriter& xml, const TSheet& sheet, const TXlsxStyles& styles) {
    const TXLSColumns& columns = sheet.Columns();
    bool open = false;
    int c = 0;
    while (c <= static_cast<int>(kXlsxLastCol) && c < TXLSColumns::SlotCount) {
        const TXLSColumn* column = columns.Items(c);
        if (!column) {
            ++c;
            continue;
        }
        int last = c;
        while (last < static_cast<int>(kXlsxLastCol) && last + 1 < TXLSColumns::SlotCount && columns.Items(last + 1) &&
               columns.Items(last + 1)->SameColInfo(*column))
            ++last;
        if (!open) {
            xml.Raw("<cols>");
            open = true;
        }
        xml.Start("col");
        xml.Attribute("min", c + 1);
        xml.Attribute("max", last + 1);
        // The width in characters, exactly: 1/256 of a character is a binary fraction.
        xml.AttributeDouble("width", column->RawWidth() / 256.0);
        const uint32_t style = styles.CellXf(column->FormatIndex());
        if (style != 0) xml.Attribute("style", style);
        if (column->Hidden()) xml.Attribute("hidden", "1");
        if (column->RawWidth() != TXLSColumn::DefaultRawWidth || column->CustomWidth()) xml.Attribute("customWidth", "1");
        if (column->OutlineLevel() != 0) xml.Attribute("outlineLevel", column->OutlineLevel());
        if (column->Collapsed()) xml.Attribute("collapsed", "1");
        xml.CloseEmpty();
        c = last + 1;
    }
    if (open) xml.Raw("</cols>");
}

void WriteRowStart(TXmlWriter& xml, uint32_t row, const TXLSRow* object, const TXlsxStyles& styles, bool empty) {
    std::string& out = xml.Buffer();
    out += "<row r=\"";
    AppendInteger(out, int64_t(row) + 1);
    out += '"';
    if (object) {
        const uint16_t options = object->Options();
        if (object->FormatIndex() != TCellFormats::DefaultCellFormat) {
            xml.Attribute("s", styles.CellXf(object->FormatIndex()));
            xml.Attribute("customFormat", "1");
        }
        if ((options & TXLSRow::CustomHeight) || object->Height() != 255) {
            AttributePoints(xml, "ht", object->Height());
            if (options & TXLSRow::CustomHeight) xml.Attribute("customHeight", "1");
        }
        if (options & TXLSRow::ZeroHeight) xml.Attribute("hidden", "1");
        if (object->OutlineLevel() != 0) xml.Attribute("outlineLevel", object->OutlineLevel());
        if (options & TXLSRow::Collapsed) xml.Attribute("collapsed", "1");
    }
    out += empty ? "/>" : ">";
}

void WriteSheetProtection(TXmlWriter& xml, const TSheet& sheet) {
    const TSheetProtections allowed = sheet.SheetProtection();
    if (allowed == AllSheetProtections) return;
    // Each attribute says whether the action is locked; its default is what an unflagged sheet
    // protection leaves locked.
    struct TFlag {
        TSheetProtection Flag;
        const char* Name;
        bool LockedByDefault;
    };
    static const TFlag kFlags[] = {
        {spEditObjects, "objects", false},          {spEditScenarios, "scenarios", false},
        {spFormatCells, "formatCells", true},       {spFormatColumns, "formatColumns", true},
        {spFormatRows, "formatRows", true},         {spInsertColumns, "insertColumns", true},
        {spInsertRows, "insertRows", true},         {spInsertHyperlinks, "insertHyperlinks", true},
        {spDeleteColumns, "deleteColumns", true},   {spDeleteRows, "deleteRows", true},
        {spSelectLockedCells, "selectLockedCells", false}, {spSort, "sort", true},
        {spAutoFilter, "autoFilter", true},         {spPivotTables, "pivotTables", true},
        {spSelectUnlockedCells, "selectUnlockedCells", false},
    };
    xml.Start("sheetProtection");
    xml.Attribute("sheet", "1");
    for (const TFlag& flag : kFlags) {
        const bool locked = (allowed & flag.Flag) == 0;
        if (locked != flag.LockedByDefault) xml.Attribute(flag.Name, locked ? "1" : "0");
    }
    xml.CloseEmpty();
}

void WriteMergeCells(TXmlWriter& xml, const TSheet& sheet) {
    const TMergedCells& merged = sheet.MergedCells();
    std::vector<std::string> refs;
    for (int i = 0; i < merged.Count(); ++i) {
        const TCellArea& area = merged.Items(i);
        uint32_t c1 = std::min(area.Col1(), area.Col2()), c2 = std::max(area.Col1(), area.Col2());
        uint32_t r1 = std::min(area.Row1(), area.Row2()), r2 = std::max(area.Row1(), area.Row2());
        // As in the BIFF8 file: an area wholly beyond the sheet is left out, one reaching beyond it
        // cut to it, unless that leaves a single cell.
        if (c1 > kXlsxLastCol || r1 > kXlsxLastRow) continue;
        const bool cut = c2 > kXlsxLastCol || r2 > kXlsxLastRow;
        c2 = std::min(c2, kXlsxLastCol);
        r2 = std::min(r2, kXlsxLastRow);
        if (cut && c1 == c2 && r1 == r2) continue;
        refs.push_back(AreaReference(c1, r1, c2, r2));
    }
    if (refs.empty()) return;
    xml.Start("mergeCells");
    xml.Attribute("count", static_cast<int64_t>(refs.size()));
    xml.CloseStart();
    for (const std::string& ref : refs) {
        xml.Start("mergeCell");
        xml.Attribute("ref", ref);
        xml.CloseEmpty();
    }
    xml.End("mergeCells");
}

void WritePrintOptions(TXmlWriter& xml, const TSheet& sheet) {
    const TPrintSetupOptions options = sheet.PrintSettings().Options();
    if (!(options & (psoHorizCenter | psoVertCenter | psoRowColHeading | psoGridlines))) return;
    xml.Start("printOptions");
    if (options & psoHorizCenter) xml.Attribute("horizontalCentered", "1");
    if (options & psoVertCenter) xml.Attribute("verticalCentered", "1");
    if (options & psoRowColHeading) xml.Attribute("headings", "1");
    if (options & psoGridlines) xml.Attribute("gridLines", "1");
    xml.CloseEmpty();
}

void WritePageMargins(TXmlWriter& xml, const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    // A negative margin is one the BIFF8 file leaves out, which readers take as their default.
    auto margin = [](double inches, double fallback) { return inches >= 0 ? inches : fallback; };
    xml.Start("pageMargins");
    xml.AttributeDouble("left", margin(print.MarginLeft(), 0.75));
    xml.AttributeDouble("right", margin(print.MarginRight(), 0.75));
    xml.AttributeDouble("top", margin(print.MarginTop(), 1.0));
    xml.AttributeDouble("bottom", margin(print.MarginBottom(), 1.0));
    xml.AttributeDouble("header", print.HeaderMargin());
    xml.AttributeDouble("footer", print.FooterMargin());
    xml.CloseEmpty();
}

void WritePageSetup(TXmlWriter& xml, const TSheet& sheet) {
    const TRecordStorageSheet& records = sheet.Records();
    const TRecordEntry* setup = StoredRecord(sheet, ridSETUP);
    const uint16_t options = records.SetupOptionWord();
    const bool initialised = !(options & kSetupNotInitialised);
    xml.Start("pageSetup");
    if (initialised) {
        const uint16_t paper = setup ? setup->Word(0) : records.PaperSize();
        if (paper != 0) xml.Attribute("paperSize", paper);
        xml.Attribute("scale", records.ScalingFactor());
    }
    if (options & kSetupUsePage) xml.Attribute("firstPageNumber", records.StartingPage());
    if (records.FitWidth() != 1) xml.Attribute("fitToWidth", records.FitWidth());
    if (records.FitHeight() != 1) xml.Attribute("fitToHeight", records.FitHeight());
    if (options & kSetupLeftToRight) xml.Attribute("pageOrder", "overThenDown");
    if (initialised && !(options & kSetupNoOrientation))
        xml.Attribute("orientation", (options & kSetupPortrait) ? "portrait" : "landscape");
    if (options & kSetupNoColor) xml.Attribute("blackAndWhite", "1");
    if (options & kSetupDraft) xml.Attribute("draft", "1");
    if (options & kSetupNotes) xml.Attribute("cellComments", (options & kSetupEndNotes) ? "atEnd" : "asDisplayed");
    if (options & kSetupUsePage) xml.Attribute("useFirstPageNumber", "1");
    if (initialised) {
        if (records.Resolution() != 0) xml.Attribute("horizontalDpi", records.Resolution());
        if (setup && setup->Word(14) != 0) xml.Attribute("verticalDpi", setup->Word(14));
        // A count of 0 prints one copy, the attribute's default.
        if (records.Copies() > 1) xml.Attribute("copies", records.Copies());
    }
    xml.CloseEmpty();
}

void WriteHeaderFooter(TXmlWriter& xml, const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    if (print.Header().empty() && print.Footer().empty()) return;
    xml.Raw("<headerFooter>");
    if (!print.Header().empty()) xml.TextElement("oddHeader", print.Header());
    if (!print.Footer().empty()) xml.TextElement("oddFooter", print.Footer());
    xml.Raw("</headerFooter>");
}

void WritePageBreaks(TXmlWriter& xml, const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    // A break's id is the first row (column) after it, 0-based; min and max the cells it spans.
    auto write = [&xml](const char* element, const auto& breaks, auto place, uint32_t lastAcross) {
        if (breaks.empty()) return;
        xml.Start(element);
        xml.Attribute("count", static_cast<int64_t>(breaks.size()));
        xml.Attribute("manualBreakCount", static_cast<int64_t>(breaks.size()));
        xml.CloseStart();
        for (const auto& b : breaks) {
            const auto [position, first, last] = place(b);
            xml.Start("brk");
            xml.Attribute("id", int64_t(position) + 1);
            if (first > 0) xml.Attribute("min", Clamp(first, lastAcross));
            xml.Attribute("max", Clamp(last, lastAcross));
            xml.Attribute("man", "1");
            xml.CloseEmpty();
        }
        xml.End(element);
    };
    write("rowBreaks", print.HorizPagebreaks(),
          [](const THorizPagebreak& b) { return std::tuple(b.Row, b.Col1, b.Col2); }, kXlsxLastCol);
    write("colBreaks", print.VertPagebreaks(),
          [](const TVertPagebreak& b) { return std::tuple(b.Col, b.Row1, b.Row2); }, kXlsxLastRow);
}

}  // namespace xlsx

// -------------------------------------------------------------------------------------------------
// The part

namespace {

// The rows and their cells, in row order: every row that has cells or a row object.
void WriteSheetData(TSheet& sheet, const TXlsxStyles& styles, TXmlWriter& xml,
                    const std::function<void()>& everyHundredCells) {
    const TColumnNames& names = ColumnNames();
    const TXLSRows& rows = sheet.Rows();
    TCellValues& cells = sheet.Cells();
    std::string& out = xml.Buffer();
    char rowText[16];
    int progress = 0;
    int nextRow = 0;  // position in the row list

    out += "<sheetData>";
    cells.BeginIterate();
    TCell* cell = cells.NextCell();
    for (;;) {
        const int64_t cellRow = cell ? cell->Row() : INT64_MAX;
        const int64_t objectRow = nextRow < rows.Count() ? rows.Items(nextRow).Row() : INT64_MAX;
        const int64_t row = std::min(cellRow, objectRow);
        if (row == INT64_MAX || row > kXlsxLastRow) break;
        const TXLSRow* object = objectRow == row ? &rows.Items(nextRow++) : nullptr;
        xlsx::WriteRowStart(xml, static_cast<uint32_t>(row), object, styles, cellRow != row);
        if (cellRow != row) continue;
        const size_t rowLength = static_cast<size_t>(std::to_chars(rowText, rowText + sizeof rowText, row + 1).ptr - rowText);
        while (cell && cell->Row() == row) {
            const uint32_t col = cell->Col();
            if (col > kXlsxLastCol) {
                cell = cells.NextCell();
                continue;
            }
            out += "<c r=\"";
            out.append(names.letters[col].data(), names.lengths[col]);
            out.append(rowText, rowLength);
            out += '"';
            const uint32_t style = styles.CellXf(cell->FormatIndex());
            if (style != 0) {
                out += " s=\"";
                AppendInteger(out, style);
                out += '"';
            }
            switch (cell->CellType()) {
                case ctFloat:
                    out += "><v>";
                    AppendDouble(out, static_cast<const TFloatCell*>(cell)->Value());
                    out += "</v></c>";
                    break;
                case ctString: {
                    const TSSTEntry* entry = static_cast<const TStringCell*>(cell)->StringEntry();
                    if (!entry)
                        throw Error("Text cell " + std::to_string(col) + ":" + std::to_string(row) + " has no string");
                    out += " t=\"s\"><v>";
                    AppendInteger(out, entry->Index());
                    out += "</v></c>";
                    break;
                }
                case ctBlank: out += "/>"; break;
                default:
                    throw Error("Unknown cell type " + std::to_string(cell->CellType()) + " in cell " +
                                std::to_string(col) + ":" + std::to_string(row));
            }
            if (everyHundredCells && ++progress == 100) {
                progress = 0;
                everyHundredCells();
            }
            // Handed on as it grows: a row of long texts can be large.
            xml.Flushed();
            cell = cells.NextCell();
        }
        out += "</row>";
        xml.Flushed();
    }
    out += "</sheetData>";
}

}  // namespace

void WriteWorksheet(TSheet& sheet, const TXlsxStyles& styles, bool selected, TXmlWriter& xml,
                    const std::function<void()>& everyHundredCells) {
    sheet.CalcDimensions();
    xml.Declaration();
    xml.Start("worksheet");
    xml.Attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    xml.Attribute("xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    xml.CloseStart();
    xlsx::WriteSheetPr(xml, sheet);
    xlsx::WriteDimension(xml, sheet);
    xlsx::WriteSheetViews(xml, sheet, selected);
    xlsx::WriteSheetFormatPr(xml, sheet);
    xlsx::WriteCols(xml, sheet, styles);
    WriteSheetData(sheet, styles, xml, everyHundredCells);
    xlsx::WriteSheetProtection(xml, sheet);
    xlsx::WriteMergeCells(xml, sheet);
    xlsx::WritePrintOptions(xml, sheet);
    xlsx::WritePageMargins(xml, sheet);
    xlsx::WritePageSetup(xml, sheet);
    xlsx::WriteHeaderFooter(xml, sheet);
    xlsx::WritePageBreaks(xml, sheet);
    xml.End("worksheet");
}

}  // namespace quarvel
