// The workbook: owner of everything the file will hold (fonts, cell formats, shared strings, the
// globals records, the sheets with their cell stores, the window data and calculation options).
//
// A workbook is created with the constructor defaults. The converter's workbook additionally gets
// the values stored with the program's component (ApplyStoredValues). Writing is a file writer's
// work (workbook/WorkbookWriter.h): Write readies the model (PrepareWrite), then the writer the
// caller gives walks it, calling ProgressStep as it goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "biff/RecordStorage.h"
#include "biff/SST.h"
#include "platform/Locale.h"
#include "workbook/BIFFRecs.h"
#include "workbook/CellFormats.h"
#include "workbook/CellValues.h"
#include "workbook/SheetData.h"
#include "workbook/WorkbookWriter.h"
#include "workbook/XLSFonts.h"

namespace quarvel {

class TXLSWorkbook;

enum TTempFileMode : uint8_t { tfmOnDisk, tfmInMemory };

// The workbook window (WINDOW1 record).
class TWorkbookData {
public:
    explicit TWorkbookData(TRecordStorageGlobals& records) : records_(records) {}

    uint16_t Left() const { return records_.WindowLeft(); }
    void SetLeft(uint16_t value) { records_.SetWindowLeft(value); }
    uint16_t Top() const { return records_.WindowTop(); }
    void SetTop(uint16_t value) { records_.SetWindowTop(value); }
    uint16_t Width() const { return records_.WindowWidth(); }
    void SetWidth(uint16_t value) { records_.SetWindowWidth(value); }
    uint16_t Height() const { return records_.WindowHeight(); }
    void SetHeight(uint16_t value) { records_.SetWindowHeight(value); }
    // Index of the active sheet.
    uint16_t SelectedTab() const { return records_.SelectedTab(); }
    void SetSelectedTab(uint16_t value) { records_.SetSelectedTab(value); }
    // The option word is rebuilt from the set: woHidden 0x01, woIconized 0x02, woHScroll 0x08,
    // woVScroll 0x10, woTabs 0x20.
    TWorkbookOptions Options() const { return records_.WindowOptions(); }
    void SetOptions(TWorkbookOptions value) { records_.SetWindowOptions(value); }
    // DATEMODE holds 1.
    bool Date1904() const { return records_.Date1904(); }

private:
    TRecordStorageGlobals& records_;
};

// Calculation options. The fields reach the sheets' records only through StoreOptionsDialog,
// which PrepareWrite runs; the record-backed ones live in the globals records.
class TOptionsDialog {
public:
    explicit TOptionsDialog(TRecordStorageGlobals& records) : records_(records) {}

    uint16_t CalcCount() const { return calcCount_; }
    // 0 becomes 1; a negative value (or one beyond 16 signed bits) becomes 32767.
    void SetCalcCount(int32_t value);
    TCalcMode CalcMode() const { return calcMode_; }
    void SetCalcMode(TCalcMode value) { calcMode_ = value; }
    double Delta() const { return delta_; }
    void SetDelta(double value) { delta_ = value; }
    bool Iteration() const { return iteration_; }
    void SetIteration(bool value) { iteration_ = value; }
    bool R1C1Mode() const { return r1c1Mode_; }
    void SetR1C1Mode(bool value) { r1c1Mode_ = value; }
    // Held only; nothing writes these two.
    bool RecalcBeforeSave() const { return recalcBeforeSave_; }
    void SetRecalcBeforeSave(bool value) { recalcBeforeSave_ = value; }
    bool Uncalced() const { return uncalced_; }
    void SetUncalced(bool value) { uncalced_ = value; }
    bool SaveRecalc() const { return saveRecalc_; }
    void SetSaveRecalc(bool value) { saveRecalc_ = value; }

    // PRECISION, BOOKBOOL and HIDEOBJ.
    bool PrecisionAsDisplayed() const { return records_.PrecisionAsDisplayed(); }
    void SetPrecisionAsDisplayed(bool value) { records_.SetPrecisionAsDisplayed(value); }
    bool SaveExtLinkVal() const { return records_.SaveExtLinkVal(); }
    void SetSaveExtLinkVal(bool value) { records_.SetSaveExtLinkVal(value); }
    TShowObjects ShowObjects() const { return records_.ShowObjects(); }
    void SetShowObjects(TShowObjects value) { records_.SetShowObjects(value); }

private:
    TRecordStorageGlobals& records_;
    uint16_t calcCount_ = 0;
    TCalcMode calcMode_ = cmAutomatic;
    double delta_ = 0.0;
    bool iteration_ = false, r1c1Mode_ = false, recalcBeforeSave_ = false, uncalced_ = false,
         saveRecalc_ = false;
};

class TXLSWorkbook {
public:
    // Called with the percentage written.
    using TProgressEvent = std::function<void(TXLSWorkbook& sender, int32_t percent)>;
    // Lets the user interface handle its pending events during a long write.
    using TProcessMessagesEvent = std::function<void()>;

    // A workbook with the constructor defaults: the palette reset, DefaultPaperSize from the
    // locale's paper size, the default globals records, the window 100/100/10000/7000 with
    // horizontal and vertical scroll bars and tabs, the font list and the cell formats with their
    // defaults, one sheet "Sheet1", the calculation options read from that sheet, Version
    // xvExcel97. locale gives the short date and time formats of date-time cells and the paper
    // size; the default constructor reads the process locale.
    explicit TXLSWorkbook(const TLocaleInfo& locale);
    TXLSWorkbook();
    TXLSWorkbook(const TXLSWorkbook&) = delete;
    TXLSWorkbook& operator=(const TXLSWorkbook&) = delete;
    ~TXLSWorkbook();

    // Gives the workbook the values stored with the converter's component: Version xvExcel97;
    // the sheets emptied and one new sheet created (running number 1) and named "Sheet1", with
    // default column width 8, default row height 255, WINDOW2 options {soGridlines,
    // soRowColHeadings, soShowZeros}, workspace options {woShowAutoBreaks, woRowSumsBelow,
    // woColSumsRight, woOutlineSymbols}, no protection, zoom 0 and 0, visible, and print settings
    // of 0 copies, header and footer margins 0.5 inch, left and right 0.75, top and bottom 1.0,
    // portrait, A4, scale 100, starting page 1, resolution 600, fit 1 x 1; the window data as
    // constructed; the calculation options CalcCount 100, automatic, Delta 0.001, all objects
    // shown, no iteration, precision as displayed, A1 references, recalculation before saving,
    // external link values not saved; the user name of 109 blanks; no protection, backup or
    // refresh; not recommended read-only.
    void ApplyStoredValues();

    // Short date and time formats for date-time cells.
    const TLocaleInfo& Locale() const { return locale_; }
    void SetLocale(const TLocaleInfo& locale) { locale_ = locale; }

    const WideString& Filename() const { return filename_; }
    void SetFilename(const WideString& value) { filename_ = value; }
    // True when the last four characters of Filename, lower-cased, are "xlsm".
    bool Excel2007MacroFile() const;
    // Stored only.
    TTempFileMode TempFileMode() const { return tempFileMode_; }
    void SetTempFileMode(TTempFileMode value) { tempFileMode_ = value; }

    TExcelVersion Version() const { return version_; }
    // MaxRecordSize becomes 2080 below xvExcel97 and 8224 from it on (also for the string table);
    // the process-wide MaxCol/MaxRow become 255/65535 below xvExcel2007 and 16383/1048575 for it.
    void SetVersion(TExcelVersion value);
    // The version of a file that was read; this system reads none, so it stays xvExcel97.
    TExcelVersion OrigVersion() const { return origVersion_; }
    int32_t MaxRecordSize() const { return maxRecordSize_; }

    TXFonts& Fonts() { return fonts_; }
    TCellFormats& Formats() { return formats_; }
    // Cell format 15.
    TCellFormat& DefaultFormat() { return formats_.Items(TCellFormats::DefaultCellFormat); }
    TSST2& SST() { return sst_; }
    TCellValuesList& CellValuesList() { return cellValuesList_; }
    TRecordStorageGlobals& Records() { return records_; }
    const TRecordStorageGlobals& Records() const { return records_; }
    TSheets& Sheets() { return sheets_; }
    const TSheets& Sheets() const { return sheets_; }
    TWorkbookData& Workbook() { return workbookData_; }
    TOptionsDialog& OptionsDialog() { return optionsDialog_; }
    // The first sheet whose name equals text ignoring case, or null.
    TSheet* SheetByName(const WideString& text) const { return sheets_.SheetByName(text); }

    // Font 0 of the font list, or null when the list is empty; setting copies the values of font
    // into font 0.
    TXFont* Font();
    void SetFont(const TXFont& font);

    // Written by the BOF records the writer builds itself (history flag 0x10).
    bool IsMac() const { return isMac_; }
    void SetIsMac(bool value) { isMac_ = value; }
    // The globals writer writes the six built-in STYLE records when set (it is by default).
    bool StyleTable() const { return styleTable_; }
    void SetStyleTable(bool value) { styleTable_ = value; }
    bool ShowFormulas() const { return showFormulas_; }
    void SetShowFormulas(bool value) { showFormulas_ = value; }
    bool PreserveMacros() const { return preserveMacros_; }
    void SetPreserveMacros(bool value) { preserveMacros_ = value; }
    // Empty: the file is not encrypted.
    const WideString& Password() const { return password_; }
    void SetPassword(const WideString& value) { password_ = value; }
    const WideString& StrTRUE() const { return strTrue_; }
    void SetStrTRUE(const WideString& value) { strTrue_ = value; }
    const WideString& StrFALSE() const { return strFalse_; }
    void SetStrFALSE(const WideString& value) { strFalse_ = value; }
    // Paper size given to every new sheet.
    TPaperSize DefaultPaperSize() const { return defaultPaperSize_; }
    void SetDefaultPaperSize(TPaperSize value) { defaultPaperSize_ = value; }

    // WRITEACCESS: at most the first 109 characters, one byte each.
    WideString UserName() const { return records_.UserName(); }
    void SetUserName(const WideString& value) { records_.SetUserName(value); }
    // WINDOWPROTECT, BACKUP, REFRESHALL.
    bool BookProtected() const { return records_.BookProtected(); }
    void SetBookProtected(bool value) { records_.SetBookProtected(value); }
    bool Backup() const { return records_.Backup(); }
    void SetBackup(bool value) { records_.SetBackup(value); }
    bool RefreshAll() const { return records_.RefreshAll(); }
    void SetRefreshAll(bool value) { records_.SetRefreshAll(value); }
    // Kept in the FILESHARING bytes, which the globals writer writes when they are longer than 1.
    bool RecomendReadOnly() const;
    void SetRecomendReadOnly(bool value);
    const std::vector<uint8_t>& FileSharing() const { return fileSharing_; }

    // Reads the calculation options from the first sheet's records.
    void LoadOptionsDialog();
    // Copies the calculation options into every sheet's records (CALCMODE, CALCCOUNT, REFMODE,
    // ITERATION, SAVERECALC; Delta is not stored).
    void StoreOptionsDialog();
    // Readies the model for the writer: refuses xvExcel21 and xvExcel30 with
    // "Can not write Excel 2.1/3.0 files"; with OnProgress assigned, reports 0 and starts the
    // progress count over the cells of all sheets; then StoreOptionsDialog.
    void PrepareWrite();

    const TProgressEvent& OnProgress() const { return onProgress_; }
    void SetOnProgress(TProgressEvent handler) { onProgress_ = std::move(handler); }
    const TProcessMessagesEvent& OnProcessMessages() const { return onProcessMessages_; }
    void SetOnProcessMessages(TProcessMessagesEvent handler) { onProcessMessages_ = std::move(handler); }
    // Called by the sheet writer after every 100 cells: the count grows by 100 and OnProgress
    // hears the new percentage (rounded, halves to even) whenever it changes. Then
    // OnProcessMessages runs, if assigned.
    void ProgressStep();
    int64_t ProgressTotal() const { return progressTotal_; }
    int64_t ProgressCount() const { return progressCount_; }

    // Text cells of all sheets whose text was cut to the longest a cell holds.
    int64_t TruncatedTexts() const;

    // Writes the workbook to Filename through `writer` (for BIFF8, TBIFF8Writer: a compound file
    // written to a temporary file next to the target and renamed over it only when complete).
    // Raises on any failure, leaving no partial file.
    void Write(const TWorkbookWriter& writer);
    // The same workbook into a caller's buffer instead of a file (replaced only on success).
    void WriteToStream(const TWorkbookWriter& writer, std::vector<uint8_t>* stream);
    // Cells the last write left out because they lie beyond the sheet's limits (BIFF8: rows above
    // 65535, columns above 255): the number of distinct rows beyond the last row that hold cells,
    // and of distinct columns beyond the last column that hold cells.
    int64_t RowsCut() const { return rowsCut_; }
    int64_t ColsCut() const { return colsCut_; }
    void SetCutCounts(int64_t rows, int64_t cols) { rowsCut_ = rows; colsCut_ = cols; }

private:
    TLocaleInfo locale_;
    WideString filename_;
    TTempFileMode tempFileMode_ = tfmOnDisk;
    TExcelVersion version_ = xvExcel97;
    TExcelVersion origVersion_ = xvExcel97;
    int32_t maxRecordSize_ = 8224;
    TPaperSize defaultPaperSize_ = psA4;
    bool isMac_ = false, styleTable_ = true, showFormulas_ = false, preserveMacros_ = true;
    WideString password_;
    WideString strTrue_ = u"TRUE", strFalse_ = u"FALSE";
    std::vector<uint8_t> fileSharing_;
    TProgressEvent onProgress_;
    TProcessMessagesEvent onProcessMessages_;
    int64_t progressTotal_ = 0, progressCount_ = 0;
    int64_t rowsCut_ = 0, colsCut_ = 0;

    // Destroyed in reverse order: the sheets and the cells (which give back their formats)
    // before the string table, the formats and the fonts.
    TRecordStorageGlobals records_;
    TWorkbookData workbookData_;
    TOptionsDialog optionsDialog_;
    TXFonts fonts_;
    TCellFormats formats_;
    TSST2 sst_;
    TCellValuesList cellValuesList_;
    TSheets sheets_;
};

}  // namespace quarvel
