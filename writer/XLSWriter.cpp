#include "writer/XLSWriter.h"

#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "biff/CellRecords.h"
#include "biff/FormatRecords.h"
#include "biff/GlobalsRecords.h"
#include "biff/RecordStorage.h"
#include "biff/SST.h"
#include "biff/SheetRecords.h"
#include "biff/XLSStream.h"
#include "platform/Errors.h"
#include "workbook/CellFormats.h"
#include "workbook/XLSFonts.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {

namespace {

// The BIFF8 sheet: cells beyond these are not written.
constexpr uint32_t kLastBiffCol = 255;
constexpr uint32_t kLastBiffRow = 65535;
// A row holds 256 columns, so a run of RK or blank cells never holds more.
constexpr int kRunCapacity = 256;

// Values of the model are 32-bit; record fields of 16 bits take them limited to 0..65535 rather
// than wrapped, so an out-of-range value never lands on an unrelated row.
inline uint16_t Limit16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 0xFFFF)); }
inline uint8_t LimitCol8(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, kLastBiffCol)); }

// Called inside a catch block: replaces the error being handled by one whose message starts with
// "Error on writing record # <number>\r". A file error keeps its path; running out of memory
// stays what it is.
[[noreturn]] void ThrowWrapped(int64_t number) {
    const std::string prefix = "Error on writing record # " + std::to_string(number) + "\r";
    try {
        throw;
    } catch (const FileError& e) {
        throw FileError(e.Path(), prefix + e.what(), e.Code());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw Error(prefix + e.what());
    }
}

}  // namespace

// The pending run of RK cells of one row.
struct TXLSWriter::TRKRun {
    uint16_t Row = 0;
    int32_t FirstCol = -1;
    int32_t LastCol = -1;
    int Count = 0;
    uint16_t XF[kRunCapacity];
    uint32_t RK[kRunCapacity];
};

TXLSWriter::TXLSWriter(TXLSWorkbook& workbook)
    : workbook_(workbook),
      maxRecordSize_(workbook.MaxRecordSize()),
      stream_(std::make_unique<TXLSStream>()),
      records_(*stream_, workbook.MaxRecordSize()),
      rk_(std::make_unique<TRKRun>()) {}

TXLSWriter::~TXLSWriter() = default;

void TBIFF8Writer::WriteWorkbook(TXLSWorkbook& workbook, std::vector<uint8_t>* stream) const {
    TXLSWriter writer(workbook);
    writer.WriteWorkbook(stream);
    workbook.SetCutCounts(writer.RowsCut(), writer.ColsCut());
}

// -------------------------------------------------------------------------------------------------
// The whole workbook

void TXLSWriter::CheckWritable() const {
    if (workbook_.Version() != xvExcel97)
        throw Error("Only Excel 97 workbooks can be written; Excel 2.1 to 5.0 and 2007 files are not supported");
    // Encryption is not part of this system: a workbook meant to be protected by a password is
    // refused rather than written in the clear.
    if (!workbook_.Password().empty()) throw Error("Workbooks with a password can not be written");
    const TSheets& sheets = workbook_.Sheets();
    for (int i = 0; i < sheets.Count(); ++i) {
        const size_t length = sheets.Items(i).Name().size();
        if (length > MaxSheetNameLength) {
            throw Error("Sheet name of " + std::to_string(length) + " characters is too long (at most " +
                        std::to_string(MaxSheetNameLength) + ")");
        }
    }
}

// One BOUNDSHEET entry per sheet; the WINDOW2 option word of each sheet learns whether its panes
// are frozen and whether it is the selected sheet.
void TXLSWriter::PrepareBoundsheets() {
    boundsheets_.clear();
    TSheets& sheets = workbook_.Sheets();
    const uint16_t selectedTab = workbook_.Workbook().SelectedTab();
    for (int i = 0; i < sheets.Count(); ++i) {
        TSheet& sheet = sheets.Items(i);
        TBoundsheetData entry;
        switch (sheet.SheetType()) {
            case 1: entry.Kind = 2; break;  // VB module
            case 2: entry.Kind = 3; break;  // macro sheet
            default: entry.Kind = 0; break;  // worksheet
        }
        entry.SheetIndex = i;
        entry.Name = sheet.Name();
        entry.Hidden = sheet.Hidden();
        boundsheets_.push_back(std::move(entry));

        uint16_t options = sheet.Records().Window2OptionWord();
        if (sheet.Pane().PaneType() == ptFrozen) options |= 0x0008 | 0x0100;
        if (static_cast<uint16_t>(i) == selectedTab) {
            options |= 0x0200;
        } else {
            options &= static_cast<uint16_t>(~0x0200);
        }
        sheet.Records().SetWindow2OptionWord(options);
    }
}

void TXLSWriter::WriteWorkbook(std::vector<uint8_t>* stream) {
    CheckWritable();
    PrepareBoundsheets();
    stream_->SetOutputStream(stream);
    stream_->OpenWrite(workbook_.Filename(), workbook_.Version());
    WriteOpenStream();
}

void TXLSWriter::WriteWorkbookRaw(std::vector<uint8_t>& out) {
    CheckWritable();
    PrepareBoundsheets();
    stream_->OpenWriteRaw(out);
    WriteOpenStream();
}

void TXLSWriter::WriteOpenStream() {
    rowsCut_ = colsCut_ = 0;
    try {
        WriteGlobals();
        for (int i = 0; i < workbook_.Sheets().Count(); ++i) WriteSheet(i);
        currentSheet_ = -1;
        stream_->Close();
    } catch (...) {
        stream_->Abort();
        boundsheets_.clear();
        currentSheet_ = -1;
        throw;
    }
    boundsheets_.clear();
}

// -------------------------------------------------------------------------------------------------
// Globals substream

void TXLSWriter::WriteGlobals() {
    TRecordStorageGlobals& records = workbook_.Records();
    // The list is a copy of the default records taken now, so that this write (and every later
    // one) carries the properties as they are at the time of writing.
    records.LoadDefaults();
    for (int32_t i = 0; i < records.Count(); ++i) {
        try {
            WriteGlobalsEntry(records, i);
        } catch (...) {
            ThrowWrapped(i);
        }
    }
}

void TXLSWriter::WriteGlobalsEntry(const TRecordStorageGlobals& records, int32_t index) {
    const TRecordEntry& entry = records.Records(index);
    switch (entry.Id()) {
        case ridWRITEACCESS: {
            records.WriteEntry(index, *stream_);
            const std::vector<uint8_t>& sharing = workbook_.FileSharing();
            if (sharing.size() > 1) {
                records_.Write(ridFILESHARING, sharing.size(),
                               [&](TByteSpan& body) { body.PutBytes(sharing.data(), sharing.size()); });
            }
            break;
        }
        case ridTABID:
            // A stored TABID with a body is one that was read from a file; it is not written again.
            if (entry.Length() == 0) WriteTabId();
            break;
        case ridOBPROJ:
            if (workbook_.PreserveMacros()) records_.Write(ridOBPROJ, 0, [](TByteSpan&) {});
            break;
        case IR_FORMATS: WriteFormats(); break;
        case IR_BOUNDSHEETS: WriteBoundsheets(); break;
        case IR_SST: workbook_.SST().WriteSST(*stream_); break;
        default:
            // IR_NAMES and IR_DRAWINGGROUP have nothing to write: this system holds no defined
            // names, external references or pictures.
            if (!IsInternalRecord(entry.Id())) records.WriteEntry(index, *stream_);
            break;
    }
}

// One 16-bit value per sheet: 1, 2, ..., n.
void TXLSWriter::WriteTabId() {
    const size_t count = static_cast<size_t>(workbook_.Sheets().Count());
    records_.Write(ridTABID, TabIdSize(count), PutTabId, count);
}

// FONT, FORMAT, XF, STYLE and PALETTE, in this order.
void TXLSWriter::WriteFormats() {
    WriteFonts();
    WriteNumberFormats();
    WriteCellFormats();
    WriteStyles();
    WritePalette();
}

// One FONT per font of the list, without position 4 (BIFF8 readers number the fonts 0, 1, 2, 3,
// 5, ..., so the list position of a font stays its index in the file).
void TXLSWriter::WriteFonts() {
    TXFonts& fonts = workbook_.Fonts();
    for (int i = 0; i < fonts.Count(); ++i) {
        if (i == 4) continue;
        const TFontFields font = fonts.Items(i).FontFields();
        records_.Write(ridFONT, FontSize(font.Name.size()), PutFont, font);
    }
}

// One FORMAT per number format in use: every custom format, and the built-in ones that something
// has used (a built-in format nothing used has a negative use count). Position 0, General, is
// never written.
void TXLSWriter::WriteNumberFormats() {
    const TNumberFormats& formats = workbook_.Formats().NumberFormats();
    for (int i = 1; i < formats.Count(); ++i) {
        const TNumberFormat& format = formats.Items(i);
        if (format.RefCount() < 0) continue;
        const std::u16string_view code = format.FormatString();
        records_.Write(ridFORMAT, FormatSize(code.size()), PutFormat, static_cast<uint16_t>(format.FormatId()), code);
    }
}

// One XF per cell format in list order: a format's list position is its XF index.
void TXLSWriter::WriteCellFormats() {
    const TCellFormats& formats = workbook_.Formats();
    for (int i = 0; i < formats.Count(); ++i) records_.Write(ridXF, XFSize, PutXF, formats.Items(i).Body().data());
}

// The built-in styles Comma, Comma [0], Currency, Currency [0], Normal and Percent on the style
// formats 16, 17, 18, 19, 0 and 20.
void TXLSWriter::WriteStyles() {
    if (!workbook_.StyleTable()) return;  // the workbook keeps no style list of its own
    struct TBuiltInStyle {
        uint16_t XF;
        uint8_t Style;
    };
    static const TBuiltInStyle kStyles[6] = {{16, 3}, {17, 6}, {18, 4}, {19, 7}, {0, 0}, {20, 5}};
    for (const TBuiltInStyle& style : kStyles)
        records_.Write(ridSTYLE, BuiltInStyleSize, PutBuiltInStyle, style.XF, style.Style, uint8_t{0xFF});
}

// PALETTE only when the working palette differs from the default one in entries 8 to 64.
void TXLSWriter::WritePalette() {
    if (std::equal(Palette.begin() + 8, Palette.end(), DefaultPalette.begin() + 8)) return;
    constexpr size_t count = 56;
    records_.Write(ridPALETTE, PaletteSize(count), PutPalette, Palette.data() + 8, count);
}

// One BOUNDSHEET per entry; the position of the sheet's BOF is 0 here and patched when the sheet is
// written. Names are always UTF-16.
void TXLSWriter::WriteBoundsheets() {
    // Sheet type by kind: worksheet, chart, VB module, macro sheet.
    static const uint8_t kSheetTypes[4] = {0x00, 0x02, 0x06, 0x01};
    for (TBoundsheetData& entry : boundsheets_) {
        const int32_t bodyPos = stream_->Pos() + 4;
        records_.Write(ridBOUNDSHEET, BoundsheetSize(entry.Name.size()), PutBoundsheet, 0u,
                       static_cast<uint8_t>(entry.Hidden), kSheetTypes[entry.Kind & 3],
                       std::u16string_view(entry.Name));
        entry.BodyPos = bodyPos;
    }
}

// -------------------------------------------------------------------------------------------------
// Worksheet substreams

void TXLSWriter::WriteSheet(int32_t index) {
    TSheet& sheet = workbook_.Sheets().Items(index);
    TRecordStorageSheet& records = sheet.Records();
    records.SetProtect(sheet.SheetProtection() != AllSheetProtections);
    sheet.CalcDimensions();
    // As for the globals, the list is taken from the default records at every write.
    records.LoadDefaults();
    sheet.SetRecordListFilled(true);
    currentSheet_ = index;

    // The sheet's BOUNDSHEET learns where its BOF begins.
    const int32_t bof = stream_->Pos();
    for (const TBoundsheetData& entry : boundsheets_) {
        if (entry.SheetIndex != index || entry.BodyPos < 0) continue;
        stream_->Seek(entry.BodyPos + static_cast<int32_t>(TBoundsheetOffsets::BOFPosition),
                      TXLSStream::soFromBeginning);
        stream_->WriteDWord(static_cast<uint32_t>(bof));
        stream_->Seek(0, TXLSStream::soFromEnd);
        break;
    }

    for (int32_t i = 0; i < records.Count(); ++i) WriteSheetEntry(sheet, i);
}

void TXLSWriter::WriteSheetEntry(TSheet& sheet, int32_t index) {
    const TRecordStorageSheet& records = sheet.Records();
    switch (records.Records(index).Id()) {
        case ridSELECTION:
            // With panes, the PANE step has written the selections of every pane.
            if (sheet.Pane().PaneType() == ptNone) WriteSelection(sheet);
            break;
        case ridDIMENSIONS: WriteDimensions(sheet); break;
        case ridWINDOW2: WriteWindow2(sheet, index); break;
        case IR_PAGEBREAKS: WritePagebreaks(sheet); break;
        case IR_HEADERFOOTER: WriteHeaderFooter(sheet); break;
        case IR_MARGINS: WriteMargins(sheet); break;
        case IR_COLINFO: sheet.Columns().WriteColInfo(*stream_); break;
        case IR_CELLS:
            WriteRows(sheet);
            WriteCells(sheet);
            break;
        case IR_OBJECTS: WriteObjects(sheet); break;
        default:
            if (!IsInternalRecord(records.Records(index).Id())) records.WriteEntry(index, *stream_);
            break;
    }
}

// The used area as the sheet stored it, with the last row + 1 lowered to 65536 and the last
// column + 1 to 256 when above (cells beyond the sheet are not written): a sheet that uses its last
// row and column says so.
void TXLSWriter::WriteDimensions(const TSheet& sheet) {
    const TRecordStorageSheet& stored = sheet.Records();
    records_.Write(ridDIMENSIONS, DimensionsSize, PutDimensions, stored.DimensionsFirstRow(),
                   std::min<uint32_t>(stored.DimensionsLastRowPlus1(), 65536), stored.DimensionsFirstCol(),
                   std::min<uint16_t>(stored.DimensionsLastColPlus1(), 256));
}

// SCL (the zoom) precedes WINDOW2 when the zoom is neither 0 nor 100.
void TXLSWriter::WriteWindow2(TSheet& sheet, int32_t index) {
    const uint16_t zoom = sheet.Zoom();
    if (zoom != 0 && zoom != 100) records_.Write(ridSCL, SclSize, PutScl, zoom, uint16_t{100});
    sheet.Records().WriteEntry(index, *stream_);
}

// HORIZONTALPAGEBREAKS and VERTICALPAGEBREAKS, each only with breaks: per break its position and
// the first and last cell of its extent, each plus 1.
void TXLSWriter::WritePagebreaks(const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    std::vector<TPageBreak> breaks;
    // `place(break)` gives a break's position and the first and last cell of its extent.
    auto write = [&](uint16_t id, const auto& model, auto place) {
        if (model.empty()) return;
        breaks.clear();
        for (const auto& b : model) {
            const auto [position, first, last] = place(b);
            breaks.push_back({Limit16(int64_t(position) + 1), Limit16(int64_t(first) + 1), Limit16(int64_t(last) + 1)});
        }
        records_.Write(id, PageBreaksSize(breaks.size()), PutPageBreaks, breaks.data(), breaks.size());
    };
    write(ridHORIZONTALPAGEBREAKS, print.HorizPagebreaks(),
          [](const auto& b) { return std::array<int32_t, 3>{b.Row, b.Col1, b.Col2}; });
    write(ridVERTICALPAGEBREAKS, print.VertPagebreaks(),
          [](const auto& b) { return std::array<int32_t, 3>{b.Col, b.Row1, b.Row2}; });
}

// HEADER, then FOOTER: an empty text gives an empty body.
void TXLSWriter::WriteHeaderFooter(const TSheet& sheet) {
    const std::u16string_view header = sheet.PrintSettings().Header(), footer = sheet.PrintSettings().Footer();
    records_.Write(ridHEADER, HeaderFooterSize(header.size()), PutHeaderFooter, header);
    records_.Write(ridFOOTER, HeaderFooterSize(footer.size()), PutHeaderFooter, footer);
}

// Each margin (inches) only when it is 0 or more.
void TXLSWriter::WriteMargins(const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    const std::pair<uint16_t, double> margins[4] = {
        {ridLEFTMARGIN, print.MarginLeft()},
        {ridRIGHTMARGIN, print.MarginRight()},
        {ridTOPMARGIN, print.MarginTop()},
        {ridBOTTOMMARGIN, print.MarginBottom()},
    };
    for (const auto& [id, inches] : margins) {
        if (inches >= 0) records_.Write(id, MarginSize, PutMargin, inches);
    }
}

// One ROW per row object, in ascending row order, before every cell record. Rows beyond the BIFF8
// sheet are left out, as their cells are.
void TXLSWriter::WriteRows(const TSheet& sheet) {
    const TXLSRows& rows = sheet.Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        if (static_cast<uint32_t>(rows.Items(i).Row()) > kLastBiffRow) break;
        records_.Write(ridROW, RowSize, [&](TByteSpan& body) { rows.GetRowRecord(i, body); });
    }
}

// -------------------------------------------------------------------------------------------------
// Cell records

void TXLSWriter::WriteCells(TSheet& sheet) {
    TCellStorage& cells = sheet.Cells();
    *rk_ = TRKRun{};
    cellsVisited_ = 0;
    progressCells_ = 0;
    lastCutRow_ = -1;
    cutCols_.assign(TCellStorage::ColumnCount - (kLastBiffCol + 1), false);
    const bool progress = static_cast<bool>(workbook_.OnProgress());
    int64_t previousRow = -1;
    try {
        cells.BeginIterate();
        while (TCell* cell = cells.NextCell()) {
            ++cellsVisited_;
            if (cell->Col() > kLastBiffCol || static_cast<uint32_t>(cell->Row()) > kLastBiffRow) {
                FlushRK();
                CountCut(*cell);
                continue;
            }
            if (cell->Row() != previousRow) {
                FlushRK();
                previousRow = cell->Row();
            }
            WriteCell(*cell, cells);
            if (progress && ++progressCells_ == 100) {
                progressCells_ = 0;
                workbook_.ProgressStep();
            }
        }
        FlushRK();
    } catch (...) {
        ThrowWrapped(cellsVisited_);
    }
}

void TXLSWriter::WriteCell(TCell& cell, TCellStorage& cells) {
    const TCellType type = cell.CellType();
    if (type == ctFloat) {
        AppendNumber(cell, static_cast<const TFloatCell&>(cell).Value());
        return;
    }
    FlushRK();
    switch (type) {
        case ctBlank: WriteBlankRun(cell, cells); break;
        case ctString: {
            const TSSTEntry* entry = static_cast<const TStringCell&>(cell).StringEntry();
            if (!entry) throw Error("Text cell " + std::to_string(cell.Col()) + ":" + std::to_string(cell.Row()) +
                                    " has no string");
            records_.Write(ridLABELSST, LabelSSTSize, PutLabelSST, static_cast<uint16_t>(cell.Row()), cell.Col(),
                           static_cast<uint16_t>(cell.FormatIndex()), entry->Index());
            break;
        }
        default:
            // The model holds blank, number and text cells only.
            throw Error("Unknown cell type " + std::to_string(type) + " in cell " + std::to_string(cell.Col()) + ":" +
                        std::to_string(cell.Row()));
    }
}

// A blank cell and the blank cells that follow it directly in its row: BLANK for one, MULBLANK for
// more. The run ends at the last column of the sheet; blanks beyond it are left out.
void TXLSWriter::WriteBlankRun(TCell& first, TCellStorage& cells) {
    const uint16_t row = static_cast<uint16_t>(first.Row());
    uint16_t xf[kRunCapacity];
    xf[0] = static_cast<uint16_t>(first.FormatIndex());
    size_t count = 1;
    uint32_t lastCol = first.Col();
    while (TCell* next = cells.NextBlankCell()) {
        if (next->Col() > kLastBiffCol) {
            CountCut(*next);
            break;
        }
        if (next->Col() != lastCol + 1 || count == kRunCapacity) throw Error("Row error in writing MULBLANK");
        xf[count++] = static_cast<uint16_t>(next->FormatIndex());
        lastCol = next->Col();
    }
    if (count == 1) {
        records_.Write(ridBLANK, BlankSize, PutBlank, row, first.Col(), xf[0]);
    } else {
        records_.Write(ridMULBLANK, MulBlankSize(count), PutMulBlank, row, first.Col(), xf, count);
    }
}

// A number joins the pending RK run when it has an RK form and the run is empty or ends in the
// column before it; otherwise the run is flushed and the number written as NUMBER.
void TXLSWriter::AppendNumber(const TCell& cell, double value) {
    TRKRun& run = *rk_;
    const auto rk = RKValue(value);
    if (rk && (run.Count == 0 || cell.Col() == run.LastCol + 1)) {
        if (run.Count == kRunCapacity) throw Error("RK Cache overflow");
        if (run.Count == 0) {
            run.Row = static_cast<uint16_t>(cell.Row());
            run.FirstCol = cell.Col();
        }
        run.XF[run.Count] = static_cast<uint16_t>(cell.FormatIndex());
        run.RK[run.Count] = *rk;
        ++run.Count;
        run.LastCol = cell.Col();
        return;
    }
    FlushRK();
    records_.Write(ridNUMBER, NumberSize, PutNumber, static_cast<uint16_t>(cell.Row()), cell.Col(),
                   static_cast<uint16_t>(cell.FormatIndex()), value);
}

// RK for a run of one, MULRK for more; the run is empty afterwards.
void TXLSWriter::FlushRK() {
    TRKRun& run = *rk_;
    if (run.Count == 0) return;
    const uint16_t firstCol = static_cast<uint16_t>(run.FirstCol);
    if (run.Count == 1) {
        records_.Write(ridRK, RKSize, PutRK, run.Row, firstCol, run.XF[0], run.RK[0]);
    } else {
        const size_t count = static_cast<size_t>(run.Count);
        records_.Write(ridMULRK, MulRKSize(count), PutMulRK, run.Row, firstCol, run.XF, run.RK, count);
    }
    run.Count = 0;
    run.FirstCol = run.LastCol = -1;
}

// Counts a cell left out: its row when above the last row, its column when above the last column,
// each only once per sheet. Cells come in row order, so a row is counted when it first appears.
void TXLSWriter::CountCut(const TCell& cell) {
    const int64_t row = cell.Row();
    if (row > static_cast<int64_t>(kLastBiffRow) && row != lastCutRow_) {
        ++rowsCut_;
        lastCutRow_ = row;
    }
    if (cell.Col() > kLastBiffCol) {
        const size_t slot = cell.Col() - (kLastBiffCol + 1);
        if (slot >= cutCols_.size()) cutCols_.resize(slot + 1, false);
        if (!cutCols_[slot]) {
            cutCols_[slot] = true;
            ++colsCut_;
        }
    }
}

// -------------------------------------------------------------------------------------------------
// Pane, selections, merged areas, protection

void TXLSWriter::WriteObjects(TSheet& sheet) {
    WritePane(sheet);
    WriteMergedCells(sheet);
    WriteSheetProtection(sheet);
}

// PANE and one SELECTION per pane, each selecting one cell.
void TXLSWriter::WritePane(const TSheet& sheet) {
    const TPane& pane = sheet.Pane();
    if (pane.PaneType() == ptNone) return;
    const int32_t x = pane.SplitColX(), y = pane.SplitRowY();
    if (x < 1 && y < 1) return;
    uint8_t active;
    if (x >= 1 && y >= 1) {
        active = 0;
    } else if (x < 1) {
        active = 2;
    } else {
        active = y == 0 ? 1 : 2;
    }
    records_.Write(ridPANE, PaneSize, PutPane, static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                   static_cast<uint16_t>(pane.TopRow()), static_cast<uint16_t>(pane.LeftCol()), active);

    const uint16_t top = Limit16(pane.TopRow()), left = Limit16(pane.LeftCol());
    if (x < 1) {  // rows frozen only
        WriteSingleSelection(3, 0, 0);
        WriteSingleSelection(2, top, 0);
    } else if (y < 1) {  // columns frozen only
        WriteSingleSelection(3, top, 0);
        WriteSingleSelection(1, 0, left);
    } else {
        WriteSingleSelection(3, 0, 0);
        WriteSingleSelection(2, top, 0);
        WriteSingleSelection(1, 0, left);
        WriteSingleSelection(0, top, left);
    }
}

// SELECTION of one pane with one cell selected, the active cell.
void TXLSWriter::WriteSingleSelection(uint8_t pane, uint16_t row, uint16_t col) {
    const TSelectionArea area{row, row, LimitCol8(col), LimitCol8(col)};
    records_.Write(ridSELECTION, SelectionSize(1), PutSelection, pane, row, col, uint16_t{0}, &area, size_t{1});
}

// The SELECTION of pane 3 for a sheet without panes, from the selected areas.
void TXLSWriter::WriteSelection(const TSheet& sheet) {
    const TSelectedAreas& areas = sheet.SelectedAreas();
    const uint16_t row = Limit16(areas.ActiveRow()), col = Limit16(areas.ActiveCol());
    if (areas.Count() == 0) {
        WriteSingleSelection(3, row, col);
        return;
    }
    std::vector<TSelectionArea> selected;
    selected.reserve(static_cast<size_t>(areas.Count()));
    for (int i = 0; i < areas.Count(); ++i) {
        const TCellArea& area = areas.Items(i);
        selected.push_back(
            {Limit16(area.Row1()), Limit16(area.Row2()), LimitCol8(area.Col1()), LimitCol8(area.Col2())});
    }
    records_.Write(ridSELECTION, SelectionSize(selected.size()), PutSelection, uint8_t{3}, row, col,
                   Limit16(areas.ActiveArea()), selected.data(), selected.size());
}

// MERGEDCELLS records of at most (largest body - 2) / 8 = 1027 areas each, in list order. An area
// reaching beyond the sheet is cut to it (one that lies wholly beyond, or that would shrink to a
// single cell, is left out): its 16-bit fields would otherwise wrap onto other cells.
void TXLSWriter::WriteMergedCells(const TSheet& sheet) {
    const TMergedCells& merged = sheet.MergedCells();
    if (merged.Count() == 0) return;
    const size_t limit = MergedCellsPerRecord(static_cast<size_t>(maxRecordSize_));
    std::vector<TMergedArea> areas;
    areas.reserve(std::min(limit, static_cast<size_t>(merged.Count())));
    auto flush = [&] {
        records_.Write(ridMERGEDCELLS, MergedCellsSize(areas.size()), PutMergedCells, areas.data(), areas.size());
        areas.clear();
    };
    for (int i = 0; i < merged.Count(); ++i) {
        const TCellArea& area = merged.Items(i);
        uint32_t row1 = area.Row1(), row2 = area.Row2(), col1 = area.Col1(), col2 = area.Col2();
        if (row1 > kLastBiffRow || col1 > kLastBiffCol) continue;
        const bool cut = row2 > kLastBiffRow || col2 > kLastBiffCol;
        row2 = std::min(row2, kLastBiffRow);
        col2 = std::min(col2, kLastBiffCol);
        if (cut && row1 == row2 && col1 == col2) continue;
        areas.push_back({static_cast<uint16_t>(row1), static_cast<uint16_t>(row2), static_cast<uint16_t>(col1),
                         static_cast<uint16_t>(col2)});
        if (areas.size() == limit) flush();
    }
    if (!areas.empty()) flush();
}

// SHEETPROTECTION only for a protected sheet (not all 15 flags set).
void TXLSWriter::WriteSheetProtection(const TSheet& sheet) {
    const TSheetProtections flags = sheet.SheetProtection();
    if (flags == AllSheetProtections) return;
    records_.Write(ridSHEETPROTECTION, SheetProtectionSize, PutSheetProtection, static_cast<uint16_t>(flags));
}

}  // namespace quarvel
