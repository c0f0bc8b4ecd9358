#include "biff/XLSWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <tuple>

#include "biff/RecordStorage.h"
#include "biff/SST.h"
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
// A row holds 256 columns, so an RK run never holds more.
constexpr int kRKRunCapacity = 256;
constexpr uint16_t ridOBPROJ = 0x00D3;

inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PutDouble(uint8_t* p, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    Put32(p, static_cast<uint32_t>(bits));
    Put32(p + 4, static_cast<uint32_t>(bits >> 32));
}

// A record header followed by its body start, for records assembled in one buffer.
inline uint8_t* PutHeader(uint8_t* p, uint16_t id, uint16_t length) {
    Put16(p, id);
    Put16(p + 2, length);
    return p + 4;
}

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

// The two RK forms of y: the high 32 bits of the double when its low 34 bits are 0, else y as a
// 30-bit integer when it is a whole number in range.
std::optional<uint32_t> RKForm(double y) {
    const uint64_t bits = std::bit_cast<uint64_t>(y);
    if ((bits & 0xFFFFFFFFu) == 0 && ((bits >> 32) & 3u) == 0) return static_cast<uint32_t>(bits >> 32);
    if (y == std::floor(y) && y >= -536870912.0 && y <= 536870911.0)
        return static_cast<uint32_t>(static_cast<int64_t>(y) * 4 + 2);
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> RKValue(double value) {
    if (const auto rk = RKForm(value)) return rk;
    // The product is taken in extended precision and rounded once to a double.
    const double y = static_cast<double>(static_cast<long double>(value) * 100.0L);
    const auto rk = RKForm(y);
    // A reader divides by 100; only a form that gives back the very same number is kept. This
    // excludes an overflowing product (which would be read as infinity) and a product that was
    // rounded to a whole number (which would be read as the neighbouring double).
    if (!rk || y / 100.0 != value) return std::nullopt;
    return *rk + 1;
}

// The pending run of RK cells of one row.
struct TXLSWriter::TRKRun {
    uint16_t Row = 0;
    int32_t FirstCol = -1;
    int32_t LastCol = -1;
    int Count = 0;
    uint16_t XF[kRKRunCapacity];
    uint32_t RK[kRKRunCapacity];
};

TXLSWriter::TXLSWriter(TXLSWorkbook& workbook)
    : workbook_(workbook),
      maxRecordSize_(workbook.MaxRecordSize()),
      buffer_(new uint8_t[static_cast<size_t>(workbook.MaxRecordSize()) + 4]),
      stream_(std::make_unique<TXLSStream>()),
      rk_(std::make_unique<TRKRun>()) {}

TXLSWriter::~TXLSWriter() = default;

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

uint8_t* TXLSWriter::Body(uint16_t id, size_t size) {
    if (size > static_cast<size_t>(maxRecordSize_)) {
        char message[128];
        std::snprintf(message, sizeof message, "Record %.4X of %zu bytes is longer than a record can hold (%d bytes)",
                      id, size, maxRecordSize_);
        throw Error(message);
    }
    return buffer_.get();
}

void TXLSWriter::WriteBody(uint16_t id, size_t size) {
    stream_->WriteRecord(id, buffer_.get(), static_cast<uint16_t>(size));
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
                std::memcpy(Body(ridFILESHARING, sharing.size()), sharing.data(), sharing.size());
                WriteBody(ridFILESHARING, sharing.size());
            }
            break;
        }
        case ridTABID:
            // A stored TABID with a body is one that was read from a file; it is not written again.
            if (entry.Length() == 0) WriteTabId();
            break;
        case ridOBPROJ:
            if (workbook_.PreserveMacros()) stream_->WriteRecord(ridOBPROJ, nullptr, 0);
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
    const int count = workbook_.Sheets().Count();
    uint8_t* body = Body(ridTABID, 2 * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) Put16(body + 2 * i, static_cast<uint16_t>(i + 1));
    WriteBody(ridTABID, 2 * static_cast<size_t>(count));
}

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
        const int length = fonts.Items(i).BuildFontRecord(Body(ridFONT, TXFont::MaxRecordSize), xvExcel97);
        WriteBody(ridFONT, static_cast<size_t>(length));
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
        const WideString& text = format.FormatString();
        const size_t size = 5 + 2 * text.size();
        uint8_t* body = Body(ridFORMAT, size);
        Put16(body, static_cast<uint16_t>(format.FormatId()));
        Put16(body + 2, static_cast<uint16_t>(text.size()));
        body[4] = 0x01;  // UTF-16 characters
        for (size_t k = 0; k < text.size(); ++k) Put16(body + 5 + 2 * k, text[k]);
        WriteBody(ridFORMAT, size);
    }
}

// One XF per cell format in list order: a format's list position is its XF index.
void TXLSWriter::WriteCellFormats() {
    const TCellFormats& formats = workbook_.Formats();
    for (int i = 0; i < formats.Count(); ++i) {
        const TCellFormat::TBody& body = formats.Items(i).Body();
        stream_->WriteRecord(ridXF, body.data(), TCellFormat::BodySize);
    }
}

// The built-in styles Comma, Comma [0], Currency, Currency [0], Normal and Percent on the style
// formats 16, 17, 18, 19, 0 and 20.
void TXLSWriter::WriteStyles() {
    if (!workbook_.StyleTable()) return;  // the workbook keeps no style list of its own
    static const uint8_t kStyles[6][4] = {
        {0x10, 0x80, 0x03, 0xFF}, {0x11, 0x80, 0x06, 0xFF}, {0x12, 0x80, 0x04, 0xFF},
        {0x13, 0x80, 0x07, 0xFF}, {0x00, 0x80, 0x00, 0xFF}, {0x14, 0x80, 0x05, 0xFF},
    };
    for (const auto& style : kStyles) stream_->WriteRecord(ridSTYLE, style, 4);
}

// PALETTE only when the working palette differs from the default one in entries 8 to 64.
void TXLSWriter::WritePalette() {
    if (std::equal(Palette.begin() + 8, Palette.end(), DefaultPalette.begin() + 8)) return;
    constexpr size_t size = 2 + 4 * 56;
    uint8_t* body = Body(ridPALETTE, size);
    Put16(body, 56);
    for (int i = 0; i < 56; ++i) Put32(body + 2 + 4 * i, Palette[8 + i]);
    WriteBody(ridPALETTE, size);
}

// One BOUNDSHEET per entry; the offset of the sheet's BOF is 0 here and patched when the sheet is
// written. Names are always UTF-16.
void TXLSWriter::WriteBoundsheets() {
    static const uint16_t kKindCodes[4] = {0x0000, 0x0200, 0x0600, 0x0100};
    for (TBoundsheetData& entry : boundsheets_) {
        const size_t size = 8 + 2 * entry.Name.size();
        uint8_t* body = Body(ridBOUNDSHEET, size);
        Put32(body, 0);
        Put16(body + 4, static_cast<uint16_t>(kKindCodes[entry.Kind & 3] + entry.Hidden));
        body[6] = static_cast<uint8_t>(entry.Name.size());
        body[7] = 0x01;
        for (size_t k = 0; k < entry.Name.size(); ++k) Put16(body + 8 + 2 * k, entry.Name[k]);
        stream_->WriteHeader(ridBOUNDSHEET, static_cast<uint16_t>(size));
        entry.BodyPos = stream_->Pos();
        stream_->WriteDirect(body, static_cast<int32_t>(size));
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
        stream_->Seek(entry.BodyPos, TXLSStream::soFromBeginning);
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
    const TRecordEntry& stored = sheet.Records().Dimensions();
    uint8_t* body = Body(ridDIMENSIONS, TRecordStorageSheet::DimensionsSize);
    std::memcpy(body, stored.Body(), TRecordStorageSheet::DimensionsSize);
    if (stored.DWord(4) > 65536) Put32(body + 4, 65536);
    if (stored.Word(10) > 256) Put16(body + 10, 256);
    WriteBody(ridDIMENSIONS, TRecordStorageSheet::DimensionsSize);
}

// SCL (the zoom) precedes WINDOW2 when the zoom is neither 0 nor 100.
void TXLSWriter::WriteWindow2(TSheet& sheet, int32_t index) {
    const uint16_t zoom = sheet.Zoom();
    if (zoom != 0 && zoom != 100) {
        uint8_t body[4];
        Put16(body, zoom);
        Put16(body + 2, 100);
        stream_->WriteRecord(ridSCL, body, 4);
    }
    sheet.Records().WriteEntry(index, *stream_);
}

// HORIZONTALPAGEBREAKS and VERTICALPAGEBREAKS, each only with breaks: per break its position and
// the first and last cell of its extent, each plus 1.
void TXLSWriter::WritePagebreaks(const TSheet& sheet) {
    const TPrintSettings& print = sheet.PrintSettings();
    // `place(break)` gives a break's position and the first and last cell of its extent.
    auto write = [this](uint16_t id, const auto& breaks, auto place) {
        if (breaks.empty()) return;
        const size_t size = 2 + 6 * breaks.size();
        uint8_t* body = Body(id, size);
        Put16(body, static_cast<uint16_t>(breaks.size()));
        for (size_t i = 0; i < breaks.size(); ++i) {
            const auto [position, first, last] = place(breaks[i]);
            uint8_t* p = body + 2 + 6 * i;
            Put16(p, Limit16(int64_t(position) + 1));
            Put16(p + 2, Limit16(int64_t(first) + 1));
            Put16(p + 4, Limit16(int64_t(last) + 1));
        }
        WriteBody(id, size);
    };
    write(ridHORIZONTALPAGEBREAKS, print.HorizPagebreaks(),
          [](const auto& b) { return std::tuple(b.Row, b.Col1, b.Col2); });
    write(ridVERTICALPAGEBREAKS, print.VertPagebreaks(),
          [](const auto& b) { return std::tuple(b.Col, b.Row1, b.Row2); });
}

void TXLSWriter::WriteHeaderFooter(const TSheet& sheet) {
    WriteTextRecord(ridHEADER, sheet.PrintSettings().Header());
    WriteTextRecord(ridFOOTER, sheet.PrintSettings().Footer());
}

// An empty text gives an empty body; otherwise character count, option byte 0x01 and UTF-16.
void TXLSWriter::WriteTextRecord(uint16_t id, const WideString& text) {
    if (text.empty()) {
        stream_->WriteRecord(id, nullptr, 0);
        return;
    }
    const size_t size = 3 + 2 * text.size();
    uint8_t* body = Body(id, size);
    Put16(body, static_cast<uint16_t>(text.size()));
    body[2] = 0x01;
    for (size_t k = 0; k < text.size(); ++k) Put16(body + 3 + 2 * k, text[k]);
    WriteBody(id, size);
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
        if (!(inches >= 0)) continue;
        uint8_t body[8];
        PutDouble(body, inches);
        stream_->WriteRecord(id, body, 8);
    }
}

// One ROW per row object, in ascending row order, before every cell record. Rows beyond the BIFF8
// sheet are left out, as their cells are.
void TXLSWriter::WriteRows(const TSheet& sheet) {
    const TXLSRows& rows = sheet.Rows();
    uint8_t record[4 + TXLSRows::RowRecordSize];
    PutHeader(record, ridROW, TXLSRows::RowRecordSize);
    for (int i = 0; i < rows.Count(); ++i) {
        if (static_cast<uint32_t>(rows.Items(i).Row()) > kLastBiffRow) break;
        rows.GetRowRecord(i, record + 4);
        stream_->WriteDirect(record, sizeof record);
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
            uint8_t record[4 + 10];
            uint8_t* body = PutHeader(record, ridLABELSST, 10);
            Put16(body, static_cast<uint16_t>(cell.Row()));
            Put16(body + 2, cell.Col());
            Put16(body + 4, static_cast<uint16_t>(cell.FormatIndex()));
            Put32(body + 6, entry->Index());
            stream_->WriteDirect(record, sizeof record);
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
    uint8_t* record = buffer_.get();
    uint8_t* body = record + 4;
    const uint16_t row = static_cast<uint16_t>(first.Row());
    Put16(body, row);
    Put16(body + 2, first.Col());
    Put16(body + 4, static_cast<uint16_t>(first.FormatIndex()));
    int count = 1;
    uint32_t lastCol = first.Col();
    while (TCell* next = cells.NextBlankCell()) {
        if (next->Col() > kLastBiffCol) {
            CountCut(*next);
            break;
        }
        if (next->Col() != lastCol + 1) throw Error("Row error in writing MULBLANK");
        Put16(body + 4 + 2 * count, static_cast<uint16_t>(next->FormatIndex()));
        ++count;
        lastCol = next->Col();
    }
    if (count == 1) {
        PutHeader(record, ridBLANK, 6);
        stream_->WriteDirect(record, 4 + 6);
        return;
    }
    const uint16_t size = static_cast<uint16_t>(6 + 2 * count);
    Put16(body + 4 + 2 * count, static_cast<uint16_t>(lastCol));
    PutHeader(record, ridMULBLANK, size);
    stream_->WriteDirect(record, 4 + size);
}

// A number joins the pending RK run when it has an RK form and the run is empty or ends in the
// column before it; otherwise the run is flushed and the number written as NUMBER.
void TXLSWriter::AppendNumber(const TCell& cell, double value) {
    TRKRun& run = *rk_;
    const auto rk = RKValue(value);
    if (rk && (run.Count == 0 || cell.Col() == run.LastCol + 1)) {
        if (run.Count == kRKRunCapacity) throw Error("RK Cache overflow");
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
    uint8_t record[4 + 14];
    uint8_t* body = PutHeader(record, ridNUMBER, 14);
    Put16(body, static_cast<uint16_t>(cell.Row()));
    Put16(body + 2, cell.Col());
    Put16(body + 4, static_cast<uint16_t>(cell.FormatIndex()));
    PutDouble(body + 6, value);
    stream_->WriteDirect(record, sizeof record);
}

// RK for a run of one, MULRK for more; the run is empty afterwards.
void TXLSWriter::FlushRK() {
    TRKRun& run = *rk_;
    if (run.Count == 0) return;
    uint8_t* record = buffer_.get();
    uint8_t* body = record + 4;
    Put16(body, run.Row);
    Put16(body + 2, static_cast<uint16_t>(run.FirstCol));
    uint16_t size;
    if (run.Count == 1) {
        size = 10;
        PutHeader(record, ridRK, size);
        Put16(body + 4, run.XF[0]);
        Put32(body + 6, run.RK[0]);
    } else {
        size = static_cast<uint16_t>(6 + 6 * run.Count);
        PutHeader(record, ridMULRK, size);
        for (int i = 0; i < run.Count; ++i) {
            Put16(body + 4 + 6 * i, run.XF[i]);
            Put32(body + 6 + 6 * i, run.RK[i]);
        }
        Put16(body + 4 + 6 * run.Count, static_cast<uint16_t>(run.LastCol));
    }
    stream_->WriteDirect(record, 4 + size);
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
    uint16_t active;
    if (x >= 1 && y >= 1) {
        active = 0;
    } else if (x < 1) {
        active = 2;
    } else {
        active = y == 0 ? 1 : 2;
    }
    uint8_t body[10];
    Put16(body, static_cast<uint16_t>(x));
    Put16(body + 2, static_cast<uint16_t>(y));
    Put16(body + 4, static_cast<uint16_t>(pane.TopRow()));
    Put16(body + 6, static_cast<uint16_t>(pane.LeftCol()));
    Put16(body + 8, active);
    stream_->WriteRecord(ridPANE, body, 10);

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
    uint8_t body[15];
    body[0] = pane;
    Put16(body + 1, row);
    Put16(body + 3, col);
    Put16(body + 5, 0);  // active area
    Put16(body + 7, 1);  // one area
    Put16(body + 9, row);
    Put16(body + 11, row);
    body[13] = LimitCol8(col);
    body[14] = LimitCol8(col);
    stream_->WriteRecord(ridSELECTION, body, 15);
}

// The SELECTION of pane 3 for a sheet without panes, from the selected areas.
void TXLSWriter::WriteSelection(const TSheet& sheet) {
    const TSelectedAreas& areas = sheet.SelectedAreas();
    const uint16_t row = Limit16(areas.ActiveRow()), col = Limit16(areas.ActiveCol());
    if (areas.Count() == 0) {
        WriteSingleSelection(3, row, col);
        return;
    }
    const size_t size = 9 + 6 * static_cast<size_t>(areas.Count());
    uint8_t* body = Body(ridSELECTION, size);
    body[0] = 3;
    Put16(body + 1, row);
    Put16(body + 3, col);
    Put16(body + 5, Limit16(areas.ActiveArea()));
    Put16(body + 7, static_cast<uint16_t>(areas.Count()));
    for (int i = 0; i < areas.Count(); ++i) {
        const TCellArea& area = areas.Items(i);
        uint8_t* p = body + 9 + 6 * i;
        Put16(p, Limit16(area.Row1()));
        Put16(p + 2, Limit16(area.Row2()));
        p[4] = LimitCol8(area.Col1());
        p[5] = LimitCol8(area.Col2());
    }
    WriteBody(ridSELECTION, size);
}

// MERGEDCELLS records of at most (largest body - 2) / 8 = 1027 areas each, in list order. An area
// reaching beyond the sheet is cut to it (one that lies wholly beyond, or that would shrink to a
// single cell, is left out): its 16-bit fields would otherwise wrap onto other cells.
void TXLSWriter::WriteMergedCells(const TSheet& sheet) {
    const TMergedCells& merged = sheet.MergedCells();
    if (merged.Count() == 0) return;
    const int limit = (maxRecordSize_ - 2) / 8;
    uint8_t* body = Body(ridMERGEDCELLS, 2 + 8 * static_cast<size_t>(limit));
    int count = 0;
    auto flush = [&] {
        Put16(body, static_cast<uint16_t>(count));
        WriteBody(ridMERGEDCELLS, 2 + 8 * static_cast<size_t>(count));
        count = 0;
    };
    for (int i = 0; i < merged.Count(); ++i) {
        const TCellArea& area = merged.Items(i);
        uint32_t row1 = area.Row1(), row2 = area.Row2(), col1 = area.Col1(), col2 = area.Col2();
        if (row1 > kLastBiffRow || col1 > kLastBiffCol) continue;
        const bool cut = row2 > kLastBiffRow || col2 > kLastBiffCol;
        row2 = std::min(row2, kLastBiffRow);
        col2 = std::min(col2, kLastBiffCol);
        if (cut && row1 == row2 && col1 == col2) continue;
        uint8_t* p = body + 2 + 8 * count;
        Put16(p, static_cast<uint16_t>(row1));
        Put16(p + 2, static_cast<uint16_t>(row2));
        Put16(p + 4, static_cast<uint16_t>(col1));
        Put16(p + 6, static_cast<uint16_t>(col2));
        if (++count == limit) flush();
    }
    if (count > 0) flush();
}

// SHEETPROTECTION only for a protected sheet (not all 15 flags set).
void TXLSWriter::WriteSheetProtection(const TSheet& sheet) {
    const TSheetProtections flags = sheet.SheetProtection();
    if (flags == AllSheetProtections) return;
    uint8_t body[23] = {};
    Put16(body, ridSHEETPROTECTION);
    body[12] = 0x02;
    body[13] = 0x00;
    body[14] = 0x01;
    body[15] = body[16] = body[17] = body[18] = 0xFF;
    Put16(body + 19, static_cast<uint16_t>(flags & 0x7FFF));
    stream_->WriteRecord(ridSHEETPROTECTION, body, sizeof body);
}

}  // namespace quarvel
