// Sheets and their settings: the sheet collection of a workbook, the sheet with its cells, rows,
// columns, merged areas and range object, and the print, pane and selection settings.
//
// Many settings have no field of their own: they read and write the sheet's default records
// (TRecordStorageSheet), so a setting's value is what the writer will copy into the file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "biff/RecordStorage.h"
#include "workbook/BIFFRecs.h"
#include "workbook/CellAreas.h"
#include "workbook/CellValues.h"
#include "workbook/Columns.h"
#include "workbook/MergedCells.h"
#include "workbook/Rows.h"
#include "workbook/XLSRange.h"

namespace quarvel {

class TSheets;
class TXLSWorkbook;

// Visibility of a sheet, as BOUNDSHEET writes it.
enum THiddenState : uint8_t { hsVisible, hsHidden, hsVeryHidden };

enum TPaneType : uint8_t { ptNone, ptFrozen, ptSplit };

// Paper size codes of the page setup (SETUP record).
enum TPaperSize : uint16_t {
    psUndefined = 0,
    psLetter = 1,
    psLetterSmall = 2,
    psTabloid = 3,
    psLedger = 4,
    psLegal = 5,
    psStatement = 6,
    psExecutive = 7,
    psA3 = 8,
    psA4 = 9,
    psA4Small = 10,
    psA5 = 11,
    psB4 = 12,
    psB5 = 13,
};

// What a protected sheet still allows: 15 flags, one bit each at the positions the
// SHEETPROTECTION record uses. All 15 set (AllSheetProtections) means the sheet is not protected.
enum TSheetProtection : uint16_t {
    spEditObjects = 1 << 0,
    spEditScenarios = 1 << 1,
    spFormatCells = 1 << 2,
    spFormatColumns = 1 << 3,
    spFormatRows = 1 << 4,
    spInsertColumns = 1 << 5,
    spInsertRows = 1 << 6,
    spInsertHyperlinks = 1 << 7,
    spDeleteColumns = 1 << 8,
    spDeleteRows = 1 << 9,
    spSelectLockedCells = 1 << 10,
    spSort = 1 << 11,
    spAutoFilter = 1 << 12,
    spPivotTables = 1 << 13,
    spSelectUnlockedCells = 1 << 14,
};
using TSheetProtections = uint16_t;
inline constexpr TSheetProtections AllSheetProtections = 0x7FFF;

struct THorizPagebreak {
    int32_t Row = 0;
    int32_t Col1 = 0;
    int32_t Col2 = 0;
};

struct TVertPagebreak {
    int32_t Col = 0;
    int32_t Row1 = 0;
    int32_t Row2 = 0;
};

// ---------------------------------------------------------------------------------------------
// Print settings

class TPrintSettings {
public:
    // On creation: StartingPage 1, Options {psoPortrait}, left and right margins 0.75 inch, top and
    // bottom 1.0, no page breaks. records: the sheet's records (not owned).
    explicit TPrintSettings(TRecordStorageSheet& records);
    TPrintSettings(const TPrintSettings&) = delete;
    TPrintSettings& operator=(const TPrintSettings&) = delete;

    // Copies Header, Footer, the four margins and both page-break lists (not the settings held in
    // the records).
    void Assign(const TPrintSettings& other);

    // Written as HEADER and FOOTER.
    const WideString& Header() const { return header_; }
    void SetHeader(const WideString& value) { header_ = value; }
    const WideString& Footer() const { return footer_; }
    void SetFooter(const WideString& value) { footer_ = value; }

    // Inches; each margin record is written only when its value is 0 or more.
    double MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(double inches) { marginLeft_ = inches; }
    double MarginRight() const { return marginRight_; }
    void SetMarginRight(double inches) { marginRight_ = inches; }
    double MarginTop() const { return marginTop_; }
    void SetMarginTop(double inches) { marginTop_ = inches; }
    double MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(double inches) { marginBottom_ = inches; }
    // The same margins in centimetres (inches x 2.54).
    double MarginLeftCm() const { return marginLeft_ * 2.54; }
    void SetMarginLeftCm(double cm) { marginLeft_ = cm / 2.54; }
    double MarginRightCm() const { return marginRight_ * 2.54; }
    void SetMarginRightCm(double cm) { marginRight_ = cm / 2.54; }
    double MarginTopCm() const { return marginTop_ * 2.54; }
    void SetMarginTopCm(double cm) { marginTop_ = cm / 2.54; }
    double MarginBottomCm() const { return marginBottom_ * 2.54; }
    void SetMarginBottomCm(double cm) { marginBottom_ = cm / 2.54; }

    // Page breaks. A new horizontal break spans columns 0 to MaxCol, a new vertical one rows 0 to
    // MaxRow. The references stay valid until the next break is added.
    std::vector<THorizPagebreak>& HorizPagebreaks() { return horizPagebreaks_; }
    const std::vector<THorizPagebreak>& HorizPagebreaks() const { return horizPagebreaks_; }
    THorizPagebreak& AddHorizPagebreak(int32_t row);
    std::vector<TVertPagebreak>& VertPagebreaks() { return vertPagebreaks_; }
    const std::vector<TVertPagebreak>& VertPagebreaks() const { return vertPagebreaks_; }
    TVertPagebreak& AddVertPagebreak(int32_t col);

    // Held in the SETUP record.
    TPaperSize PaperSize() const { return static_cast<TPaperSize>(records_.PaperSize()); }
    void SetPaperSize(TPaperSize value) { records_.SetPaperSize(value); }
    uint16_t ScalingFactor() const { return records_.ScalingFactor(); }
    void SetScalingFactor(uint16_t value) { records_.SetScalingFactor(value); }
    uint16_t Resolution() const { return records_.Resolution(); }
    void SetResolution(uint16_t value) { records_.SetResolution(value); }
    uint16_t Copies() const { return records_.Copies(); }
    void SetCopies(uint16_t value) { records_.SetCopies(value); }
    // 1 clears the SETUP option bit 0x0080, any other value sets it.
    uint16_t StartingPage() const { return records_.StartingPage(); }
    void SetStartingPage(uint16_t value) { records_.SetStartingPage(value); }
    // Values outside 0..65535 are stored as 0.
    int32_t FitWidth() const { return records_.FitWidth(); }
    void SetFitWidth(int32_t value) { records_.SetFitWidth(value); }
    int32_t FitHeight() const { return records_.FitHeight(); }
    void SetFitHeight(int32_t value) { records_.SetFitHeight(value); }
    // Inches and centimetres.
    double HeaderMargin() const { return records_.HeaderMargin(); }
    void SetHeaderMargin(double inches) { records_.SetHeaderMargin(inches); }
    double FooterMargin() const { return records_.FooterMargin(); }
    void SetFooterMargin(double inches) { records_.SetFooterMargin(inches); }
    double HeaderMarginCm() const { return records_.HeaderMarginCm(); }
    void SetHeaderMarginCm(double cm) { records_.SetHeaderMarginCm(cm); }
    double FooterMarginCm() const { return records_.FooterMarginCm(); }
    void SetFooterMarginCm(double cm) { records_.SetFooterMarginCm(cm); }
    // PRINTHEADERS, PRINTGRIDLINES, HCENTER, VCENTER and the SETUP option word; setting clears the
    // option word first, which also drops the start-page bit.
    TPrintSetupOptions Options() const { return records_.PrintOptions(); }
    void SetOptions(TPrintSetupOptions options) { records_.SetPrintOptions(options); }

private:
    TRecordStorageSheet& records_;
    WideString header_, footer_;
    double marginLeft_ = 0.75, marginRight_ = 0.75, marginTop_ = 1.0, marginBottom_ = 1.0;
    std::vector<THorizPagebreak> horizPagebreaks_;
    std::vector<TVertPagebreak> vertPagebreaks_;
};

// ---------------------------------------------------------------------------------------------
// Pane and selection

// Frozen or split panes; none when created. The worksheet writer builds PANE from it.
class TPane {
public:
    TPaneType PaneType() const { return paneType_; }
    void SetPaneType(TPaneType value) { paneType_ = value; }
    int32_t SplitColX() const { return splitColX_; }
    void SetSplitColX(int32_t value) { splitColX_ = value; }
    int32_t SplitRowY() const { return splitRowY_; }
    void SetSplitRowY(int32_t value) { splitRowY_ = value; }
    int32_t LeftCol() const { return leftCol_; }
    void SetLeftCol(int32_t value) { leftCol_ = value; }
    int32_t TopRow() const { return topRow_; }
    void SetTopRow(int32_t value) { topRow_ = value; }

private:
    TPaneType paneType_ = ptNone;
    int32_t splitColX_ = 0, splitRowY_ = 0, leftCol_ = 0, topRow_ = 0;
};

// The sheet's stored SELECTION record. Setting the active row also sets both area rows, setting
// the active column both area columns (8 bits in the record).
class TSelection {
public:
    explicit TSelection(TRecordStorageSheet& records) : records_(records) {}

    uint16_t ActiveRow() const { return records_.ActiveRow(); }
    void SetActiveRow(uint16_t value) { records_.SetActiveRow(value); }
    uint16_t ActiveCol() const { return records_.ActiveCol(); }
    void SetActiveCol(uint16_t value) { records_.SetActiveCol(value); }
    uint16_t Row1() const { return records_.SelectionRow1(); }
    void SetRow1(uint16_t value) { records_.SetSelectionRow1(value); }
    uint16_t Row2() const { return records_.SelectionRow2(); }
    void SetRow2(uint16_t value) { records_.SetSelectionRow2(value); }
    uint8_t Col1() const { return records_.SelectionCol1(); }
    void SetCol1(uint8_t value) { records_.SetSelectionCol1(value); }
    uint8_t Col2() const { return records_.SelectionCol2(); }
    void SetCol2(uint8_t value) { records_.SetSelectionCol2(value); }

private:
    TRecordStorageSheet& records_;
};

// The areas selected in pane 3 and the active cell, from which the writer builds that pane's
// SELECTION record. Starts with the one area A1 and the active cell A1.
class TSelectedAreas : public TCellAreas {
public:
    explicit TSelectedAreas(TSheet* owner = nullptr);

    int32_t ActiveRow() const { return activeRow_; }
    void SetActiveRow(int32_t value) { activeRow_ = value; }
    int32_t ActiveCol() const { return activeCol_; }
    void SetActiveCol(int32_t value) { activeCol_ = value; }
    // Index of the area holding the active cell.
    int32_t ActiveArea() const { return activeArea_; }
    void SetActiveArea(int32_t value) { activeArea_ = value; }

private:
    int32_t activeRow_ = 0, activeCol_ = 0, activeArea_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Sheets

// An item of the sheet collection: its name, position and running number.
class TBasicSheet {
public:
    TBasicSheet(TSheets& collection, int32_t id) : collection_(collection), id_(id) {}
    TBasicSheet(const TBasicSheet&) = delete;
    TBasicSheet& operator=(const TBasicSheet&) = delete;
    virtual ~TBasicSheet() = default;

    TSheets& Collection() const { return collection_; }
    // Position in the collection.
    int Index() const;
    // Running number: counts every sheet ever created in the collection, never reused.
    int32_t ID() const { return id_; }

    const WideString& Name() const { return name_; }
    // Nothing happens when the new name equals the current one ignoring case (so a change of case
    // alone is ignored). A name equal, ignoring case, to another sheet's fails with
    // Sheet name "<name>" allready exists
    // and leaves the name unchanged. Any other name is taken, the empty one included.
    void SetName(const WideString& value);

protected:
    // Stores the name without any check (the running-number name of a new sheet).
    void StoreName(WideString value) { name_ = std::move(value); }

private:
    TSheets& collection_;
    int32_t id_;
    WideString name_;
};

class TSheet : public TBasicSheet {
public:
    // Created through TSheets::Add, which gives the running number. Gets its default records, a
    // cell store from the workbook's list, rows and columns reporting their format changes to the
    // sheet, print settings on the workbook's default paper size, the selection A1 and the range
    // object, and the name "Sheet" + (id + 1).
    TSheet(TSheets& collection, int32_t id, TXLSWorkbook& workbook);
    ~TSheet() override;

    TXLSWorkbook& Workbook() const { return workbook_; }
    TCellFormats& Formats() const { return formats_; }
    TCellValues& Cells() const { return cells_; }
    TRecordStorageSheet& Records() { return records_; }
    const TRecordStorageSheet& Records() const { return records_; }
    TPrintSettings& PrintSettings() { return printSettings_; }
    const TPrintSettings& PrintSettings() const { return printSettings_; }
    TMergedCells& MergedCells() { return mergedCells_; }
    const TMergedCells& MergedCells() const { return mergedCells_; }
    TXLSColumns& Columns() { return columns_; }
    const TXLSColumns& Columns() const { return columns_; }
    TXLSRows& Rows() { return rows_; }
    const TXLSRows& Rows() const { return rows_; }
    TPane& Pane() { return pane_; }
    const TPane& Pane() const { return pane_; }
    TSelection& Selection() { return selection_; }
    TSelectedAreas& SelectedAreas() { return selectedAreas_; }
    const TSelectedAreas& SelectedAreas() const { return selectedAreas_; }
    TXLSRange& Range() { return range_; }

    // Copies DefaultColWidth, DefaultRowHeight, Options, WorkspaceOptions, SheetProtection, Zoom,
    // ZoomPreview, RecalcFormulas and Hidden, then the print settings and the merged areas.
    void Assign(const TSheet& other);

    bool RecalcFormulas() const { return recalcFormulas_; }
    void SetRecalcFormulas(bool value) { recalcFormulas_ = value; }
    THiddenState Hidden() const { return hidden_; }
    void SetHidden(THiddenState value) { hidden_ = value; }
    // AllSheetProtections when created: not protected.
    TSheetProtections SheetProtection() const { return sheetProtection_; }
    void SetSheetProtection(TSheetProtections value) { sheetProtection_ = value; }
    // 0 worksheet; given by TSheets::Add.
    uint8_t SheetType() const { return sheetType_; }
    void SetSheetType(uint8_t value) { sheetType_ = value; }
    TExcelColor TabColor() const { return tabColor_; }
    void SetTabColor(TExcelColor value) { tabColor_ = value; }
    // Whether the writer has filled the record list from the defaults (it does so once).
    bool RecordListFilled() const { return recordListFilled_; }
    void SetRecordListFilled(bool value) { recordListFilled_ = value; }

    // Settings held in the sheet's records.
    uint16_t DefaultColWidth() const { return records_.DefaultColWidth(); }
    void SetDefaultColWidth(uint16_t value) { records_.SetDefaultColWidth(value); }
    // Twips; option bit 0x0001 of DEFAULTROWHEIGHT is set unless the height is 255.
    uint16_t DefaultRowHeight() const { return records_.DefaultRowHeight(); }
    void SetDefaultRowHeight(uint16_t value) { records_.SetDefaultRowHeight(value); }
    // WINDOW2 option word: 0x04A0 plus the five stored elements.
    TSheetOptions Options() const { return records_.SheetOptions(); }
    void SetOptions(TSheetOptions value) { records_.SetSheetOptions(value); }
    // WSBOOL, rebuilt from the set alone.
    TWorkspaceOptions WorkspaceOptions() const { return records_.WorkspaceOptions(); }
    void SetWorkspaceOptions(TWorkspaceOptions value) { records_.SetWorkspaceOptions(value); }
    uint16_t Zoom() const { return records_.Zoom(); }
    void SetZoom(uint16_t value) { records_.SetZoom(value); }
    uint16_t ZoomPreview() const { return records_.ZoomPreview(); }
    void SetZoomPreview(uint16_t value) { records_.SetZoomPreview(value); }

    // The used area as last computed by CalcDimensions (0 until then). Each setter also stores
    // the DIMENSIONS record: first column (255 above 255), last column + 1 (255 unless the first
    // column is at most 254), first row (0xFFFF above it), last row + 1 (0xFFFF unless the first
    // row is at most 0xFFFE).
    int32_t FirstCol() const { return firstCol_; }
    void SetFirstCol(int32_t value);
    int32_t LastCol() const { return lastCol_; }
    void SetLastCol(int32_t value);
    int32_t FirstRow() const { return firstRow_; }
    void SetFirstRow(int32_t value);
    int32_t LastRow() const { return lastRow_; }
    void SetLastRow(int32_t value);
    // Scans the cell store and stores the used area (an empty sheet gives 0, 0, 0, 0).
    void CalcDimensions();

    // Deepens the row outline by one level over rows first to last (see TXLSRows::GroupRows),
    // updating the sheet's GUTS record.
    void GroupRows(int32_t first, int32_t last, bool collapsed);

    // ---- Cells. Coordinates are 0-based, column first. Reading outside the store's address
    // space (columns 0..16383, rows 0..1048575) finds no cell; writing there fails (see
    // TCellStorage::CheckAddress) and changes nothing.

    // The cell at (col, row), or null. Format setters act on it.
    TCell* Cell(int32_t col, int32_t row) { return cells_.GetCell(col, row); }
    // ctNone when there is no cell.
    TCellType CellType(int32_t col, int32_t row);
    // The value of a number cell; 0 for any other cell or none.
    double AsFloat(int32_t col, int32_t row);
    // Stores a number cell. A new cell takes the default format of its position; a cell written
    // over an existing one keeps that cell's format.
    void SetAsFloat(int32_t col, int32_t row, double value);
    // Stores a text cell (the empty text too) holding one reference to the text's shared string.
    // A text longer than MaxTextLength units is cut to MaxTextLength (one unit less when the cut
    // would split a surrogate pair) and counted in TruncatedTexts.
    void SetAsWideString(int32_t col, int32_t row, const WideString& text);
    // Stores a number cell for a date-time serial number x and gives it a number format from the
    // locale's short formats: date and time when x has whole days and a time of day, the date
    // alone for whole days, the time alone below one day; no change for x <= 0 without a
    // positive fraction. An "AMPM" placeholder of the time format (any case) becomes "AM/PM".
    void SetAsDateTime(int32_t col, int32_t row, double x);
    // The number format SetAsDateTime gives the cell of x (see there), or null when it gives none.
    const WideString* DateTimePattern(double x);
    // The value as text: empty for a blank cell or none, the string of a text cell, the general
    // decimal form (15 significant digits) of a number.
    WideString AsString(int32_t col, int32_t row);
    // Removes the cell, giving back its shared string; nothing when there is none. Any failure is
    // reported as "Error on deleting cell <col>:<row>".
    void DeleteCell(int32_t col, int32_t row);
    // The format position for a new cell at (col, row), with one reference taken for it: the
    // column's format when the column has an object whose format is not 15, else the row's under
    // the same condition, else 15 (no reference).
    uint16_t GetDefaultFormat(int32_t col, int32_t row);
    // The handlers of format changes of a column or row: every existing cell of the column between
    // FirstRow and LastRow (of the row between FirstCol and LastCol) gets the format. The bounds
    // are the used area as last computed, not the cells present now.
    void ColumnFormatChanged(TCellFormat& format, int32_t col);
    void RowFormatChanged(TCellFormat& format, int32_t row);

    // The most UTF-16 units a text cell holds (what a BIFF8 cell can show).
    static constexpr size_t MaxTextLength = 32767;
    // Text cells whose text SetAsWideString had to cut.
    int64_t TruncatedTexts() const { return truncatedTexts_; }

private:
    // A new cell of class C at (col, row) on the default format of its position.
    template <class C, class... Args>
    std::unique_ptr<C> NewCell(int32_t col, int32_t row, Args&&... args);
    void StoreDimensions();

    TXLSWorkbook& workbook_;
    TCellFormats& formats_;
    TCellValues& cells_;
    TRecordStorageSheet records_;
    bool recalcFormulas_ = true;
    TPrintSettings printSettings_;
    TMergedCells mergedCells_;
    TXLSColumns columns_;
    TXLSRows rows_;
    TPane pane_;
    TSelection selection_;
    TSelectedAreas selectedAreas_;
    THiddenState hidden_ = hsVisible;
    TSheetProtections sheetProtection_ = AllSheetProtections;
    uint8_t sheetType_ = 0;
    TExcelColor tabColor_ = xcAutomatic;
    bool recordListFilled_ = false;
    int32_t firstCol_ = 0, lastCol_ = 0, firstRow_ = 0, lastRow_ = 0;
    int64_t truncatedTexts_ = 0;
    // SetAsDateTime's number formats for the locale formats they were made from.
    bool patternsMade_ = false;
    WideString patternsDate_, patternsTime_, timePattern_, dateTimePattern_;
    TXLSRange range_;
};

// The workbook's owning, indexed list of sheets.
class TSheets {
public:
    explicit TSheets(TXLSWorkbook& workbook) : workbook_(workbook) {}
    TSheets(const TSheets&) = delete;
    TSheets& operator=(const TSheets&) = delete;
    ~TSheets();

    TXLSWorkbook& Workbook() const { return workbook_; }
    // Appends a new sheet of the given type (0 worksheet) with the next running number.
    TSheet& Add(uint8_t sheetType = 0);
    int Count() const { return static_cast<int>(items_.size()); }
    // The sheet at index i (0-based); outside the list a list index error.
    TSheet& Items(int i) const;
    TSheet& operator[](int i) const { return Items(i); }
    // Position of the sheet, or -1.
    int IndexOf(const TBasicSheet& sheet) const;
    // Frees the sheet at index i; the running numbers are not reused.
    void Delete(int i);
    // Frees every sheet; the running numbers are not reused.
    void Clear();
    // The first sheet whose name equals text ignoring case, or null.
    TSheet* SheetByName(const WideString& text) const;
    // The running number the next sheet will get.
    int32_t NextID() const { return nextId_; }

private:
    TXLSWorkbook& workbook_;
    std::vector<std::unique_ptr<TSheet>> items_;
    int32_t nextId_ = 0;
};

}  // namespace quarvel
