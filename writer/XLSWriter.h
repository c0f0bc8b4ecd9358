// The BIFF8 writer: turns the workbook model into the bytes of the "Workbook" stream.
//
// WriteWorkbook writes the workbook globals substream and then one worksheet substream per sheet.
// Neither is written from a fixed list in code: the writer walks the record lists of the workbook
// and of each sheet, writes every stored record unchanged, and at the internal records (and a few
// real ids) writes the records it builds from the model: fonts, number formats, cell formats,
// sheet entries, the string table, column and row records, cell records, pane, selection, merged
// areas and protection. Each record's body is written by its record function (biff/CellRecords.h,
// FormatRecords.h, SheetRecords.h, GlobalsRecords.h) and checked against its declared size.
//
// The output is written whole or not at all: on any failure the stream is abandoned (no file
// appears, an existing target stays untouched, the caller's buffer keeps its contents) and the
// error propagates.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "biff/RecordSink.h"
#include "workbook/BIFFRecs.h"
#include "workbook/SheetData.h"
#include "workbook/WorkbookWriter.h"

namespace quarvel {

class TXLSStream;
class TXLSWorkbook;

// One BOUNDSHEET record, in file order.
struct TBoundsheetData {
    // 0 worksheet, 1 chart sheet, 2 VB module, 3 macro sheet.
    uint8_t Kind = 0;
    // Position of the sheet in the workbook's collection.
    int32_t SheetIndex = 0;
    WideString Name;
    THiddenState Hidden = hsVisible;
    // Stream position of the record body, whose first 4 bytes (the offset of the sheet's BOF) are
    // patched when the sheet is written; -1 until the record is written.
    int32_t BodyPos = -1;
};
using TBoundsheetList = std::vector<TBoundsheetData>;

// The BIFF8 writer as the workbook's Write sees it (TXLSWorkbook::Write(TBIFF8Writer())): one
// TXLSWriter per write, whose cut counts the workbook keeps.
class TBIFF8Writer final : public TWorkbookWriter {
public:
    void WriteWorkbook(TXLSWorkbook& workbook, std::vector<uint8_t>* stream) const override;
};

class TXLSWriter {
public:
    // Longest sheet name BOUNDSHEET can hold (its character count is 8-bit).
    static constexpr size_t MaxSheetNameLength = 255;

    explicit TXLSWriter(TXLSWorkbook& workbook);
    ~TXLSWriter();
    TXLSWriter(const TXLSWriter&) = delete;
    TXLSWriter& operator=(const TXLSWriter&) = delete;

    // Writes the whole workbook: to the workbook's Filename when stream is null (a temporary file
    // renamed over the target once complete), else into *stream, whose contents are replaced by
    // the finished compound file. Only Excel 97 (BIFF8) workbooks without a password can be
    // written; anything else is refused before any output is opened.
    void WriteWorkbook(std::vector<uint8_t>* stream);
    // The same walk, with only the bytes of the "Workbook" stream, without any container, going
    // into out (for byte-exact checks of the substreams).
    void WriteWorkbookRaw(std::vector<uint8_t>& out);

    TXLSStream& Stream() { return *stream_; }
    // The BOUNDSHEET entries of the write in progress (emptied when a write ends).
    const TBoundsheetList& Boundsheets() const { return boundsheets_; }
    // Index of the sheet being written, -1 outside the sheet substreams.
    int32_t CurrentSheet() const { return currentSheet_; }

    // Cells the last write left out because they lie beyond the BIFF8 sheet (rows above 65535,
    // columns above 255), summed over the sheets: the number of distinct rows above 65535 that hold
    // cells and the number of distinct columns above 255 that hold cells.
    int64_t RowsCut() const { return rowsCut_; }
    int64_t ColsCut() const { return colsCut_; }

private:
    struct TRKRun;

    void CheckWritable() const;
    void PrepareBoundsheets();
    void WriteOpenStream();

    // Globals substream.
    void WriteGlobals();
    void WriteGlobalsEntry(const TRecordStorageGlobals& records, int32_t index);
    void WriteTabId();
    void WriteFormats();
    void WriteFonts();
    void WriteNumberFormats();
    void WriteCellFormats();
    void WriteStyles();
    void WritePalette();
    void WriteBoundsheets();

    // Worksheet substreams.
    void WriteSheet(int32_t index);
    void WriteSheetEntry(TSheet& sheet, int32_t index);
    void WriteDimensions(const TSheet& sheet);
    void WriteWindow2(TSheet& sheet, int32_t index);
    void WritePagebreaks(const TSheet& sheet);
    void WriteHeaderFooter(const TSheet& sheet);
    void WriteMargins(const TSheet& sheet);
    void WriteRows(const TSheet& sheet);
    void WriteCells(TSheet& sheet);
    void WriteCell(TCell& cell, TCellStorage& cells);
    void WriteBlankRun(TCell& first, TCellStorage& cells);
    void AppendNumber(const TCell& cell, double value);
    void FlushRK();
    void CountCut(const TCell& cell);
    void WriteObjects(TSheet& sheet);
    void WritePane(const TSheet& sheet);
    void WriteSingleSelection(uint8_t pane, uint16_t row, uint16_t col);
    void WriteSelection(const TSheet& sheet);
    void WriteMergedCells(const TSheet& sheet);
    void WriteSheetProtection(const TSheet& sheet);

    TXLSWorkbook& workbook_;
    int32_t maxRecordSize_;
    std::unique_ptr<TXLSStream> stream_;
    // Every record the writer builds goes through here: a record longer than the largest body is
    // refused rather than written with a wrapped length.
    TRecordWriter<TXLSStream> records_;
    TBoundsheetList boundsheets_;
    int32_t currentSheet_ = -1;

    std::unique_ptr<TRKRun> rk_;
    int64_t cellsVisited_ = 0;
    int32_t progressCells_ = 0;
    int64_t rowsCut_ = 0, colsCut_ = 0;
    int64_t lastCutRow_ = -1;
    std::vector<bool> cutCols_;  // columns above 255 already counted in the current sheet
};

}  // namespace quarvel
