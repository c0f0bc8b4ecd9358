// Record lists: the ordered records (id, length, body) from which the workbook globals substream and
// every sheet substream are written. The records' ids and layouts are those of the family headers
// (biff/GlobalsRecords.h, biff/SheetRecords.h). A list starts from a default list holding the records every
// workbook or sheet needs, with default bodies, plus zero-length internal records (ids above 0x8000)
// that mark where the writer inserts the records it generates from the model. Many workbook and
// sheet properties have no field of their own: their accessors here read and change fields inside
// the default records, so a property's value is what will be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "biff/GlobalsRecords.h"
#include "biff/RecordSink.h"
#include "biff/SheetRecords.h"
#include "platform/WideString.h"

namespace quarvel {

// Internal records: where the writer puts the records it generates.
inline constexpr uint16_t IR_FORMATS = 0x8001;       // FONT, FORMAT, XF, STYLE, PALETTE
inline constexpr uint16_t IR_BOUNDSHEETS = 0x8002;   // BOUNDSHEET per sheet
inline constexpr uint16_t IR_NAMES = 0x8003;         // SUPBOOK, EXTERNSHEET, NAME
inline constexpr uint16_t IR_DRAWINGGROUP = 0x8004;  // MSODRAWINGGROUP
inline constexpr uint16_t IR_SST = 0x8005;           // SST, EXTSST
inline constexpr uint16_t IR_PAGEBREAKS = 0x8101;    // HORIZONTALPAGEBREAKS, VERTICALPAGEBREAKS
inline constexpr uint16_t IR_HEADERFOOTER = 0x8102;  // HEADER, FOOTER
inline constexpr uint16_t IR_MARGINS = 0x8103;       // LEFT/RIGHT/TOP/BOTTOMMARGIN
inline constexpr uint16_t IR_COLINFO = 0x8104;       // COLINFO runs
inline constexpr uint16_t IR_CELLS = 0x8105;         // ROW records, then the cell records
inline constexpr uint16_t IR_OBJECTS = 0x8106;       // PANE + SELECTIONs, MERGEDCELLS, SHEETPROTECTION

inline bool IsInternalRecord(uint16_t id) { return id > 0x8000; }

// Sets of the properties kept in default records. Each set holds one bit per element, the bit
// being 1 shifted by the element's ordinal; the accessors map the sets to the record bits.
enum TWorkbookOption : uint8_t {  // WINDOW1 options
    woHidden = 1 << 0,
    woIconized = 1 << 1,
    woHScroll = 1 << 2,
    woVScroll = 1 << 3,
    woTabs = 1 << 4,
};
using TWorkbookOptions = uint8_t;

enum TWorkspaceOption : uint8_t {  // WSBOOL
    woShowAutoBreaks = 1 << 0,
    woApplyStyles = 1 << 1,
    woRowSumsBelow = 1 << 2,
    woColSumsRight = 1 << 3,
    woFitToPage = 1 << 4,
    woOutlineSymbols = 1 << 5,
};
using TWorkspaceOptions = uint8_t;

enum TSheetOption : uint8_t {  // WINDOW2 options (three elements are not stored there)
    soGridlines = 1 << 0,
    soRowColHeadings = 1 << 1,
    soProtected = 1 << 2,
    soR1C1Mode = 1 << 3,
    soIteration = 1 << 4,
    soShowFormulas = 1 << 5,
    soFrozenPanes = 1 << 6,
    soShowZeros = 1 << 7,
};
using TSheetOptions = uint8_t;

enum TPrintSetupOption : uint16_t {  // PRINTHEADERS, PRINTGRIDLINES, HCENTER, VCENTER, SETUP options
    psoLeftToRight = 1 << 0,
    psoPortrait = 1 << 1,
    psoNoColor = 1 << 2,
    psoDraftQuality = 1 << 3,
    psoNotes = 1 << 4,
    psoRowColHeading = 1 << 5,
    psoGridlines = 1 << 6,
    psoHorizCenter = 1 << 7,
    psoVertCenter = 1 << 8,
};
using TPrintSetupOptions = uint16_t;

enum TCalcMode : uint8_t { cmManual, cmAutomatic, cmAutoExTables };
enum TShowObjects : uint8_t { soShowAll, soPlaceholders, soHideAll };

// One record: id, body length and body. Field helpers read and write little-endian values inside the
// body and refuse offsets beyond it.
class TRecordEntry {
public:
    TRecordEntry(uint16_t id, uint16_t length, const void* body = nullptr);

    uint16_t Id() const { return id_; }
    uint16_t Length() const { return static_cast<uint16_t>(body_.size()); }
    uint8_t* Body() { return body_.data(); }
    const uint8_t* Body() const { return body_.data(); }
    // New length and body (a null body zero-fills).
    void Assign(uint16_t length, const void* body);

    uint8_t Byte(size_t offset) const;
    void SetByte(size_t offset, uint8_t value);
    uint16_t Word(size_t offset) const;
    void SetWord(size_t offset, uint16_t value);
    uint32_t DWord(size_t offset) const;
    void SetDWord(size_t offset, uint32_t value);
    double Double(size_t offset) const;
    void SetDouble(size_t offset, double value);

private:
    void Check(size_t offset, size_t size) const;

    uint16_t id_;
    std::vector<uint8_t> body_;
};

// An owning list of records.
class TBaseRecordStorage : public TRecordSink {
public:
    TBaseRecordStorage() = default;
    TBaseRecordStorage(const TBaseRecordStorage&) = delete;
    TBaseRecordStorage& operator=(const TBaseRecordStorage&) = delete;
    ~TBaseRecordStorage() override = default;

    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    // Appends a copy of the body (a null body zero-fills) and returns the new entry.
    TRecordEntry& AddRecord(uint16_t id, uint16_t length, const void* body);
    // Position of the first entry with that id, or -1.
    int32_t IndexOfId(uint16_t id) const;
    TRecordEntry& Records(int32_t position);
    const TRecordEntry& Records(int32_t position) const;
    // Writes the entry as stored: header (id, length) and body.
    void WriteEntry(int32_t position, TRecordSink& sink) const;
    // WriteEntry for every entry in order.
    void WriteAll(TRecordSink& sink) const;
    // Frees every entry.
    virtual void Clear();
    // Sum over the entries of length + 4.
    int64_t TotalSize() const;
    void ReplaceBody(int32_t position, uint16_t length, const void* body);
    // Appends copies of all entries to `other`.
    void CopyTo(TBaseRecordStorage& other) const;
    // As a record sink: appends the record (AddRecord), so that record functions can fill a list.
    void WriteRecord(uint16_t id, const void* body, uint16_t length) override { AddRecord(id, length, body); }

private:
    std::vector<std::unique_ptr<TRecordEntry>> entries_;
};

// Records kept from a file of the 2007 format, written unchanged after the string table. This system
// never reads such files, so the list stays empty.
class TRecordStorageEx2007Unknown : public TBaseRecordStorage {};

class TRecordStorage : public TBaseRecordStorage {
public:
    // Clears the list, builds the default list and points the role references at its entries.
    virtual void SetDefaults() = 0;
    // 0 for the globals list, -1 for a sheet list.
    virtual int32_t ListKind() const = 0;
};

// A record list with its default list. The accessors of the derived lists work on the default
// entries; LoadDefaults copies them into the list at the first write.
class TRecordStorageDefault : public TRecordStorage {
public:
    TBaseRecordStorage& Defaults() { return defaults_; }
    const TBaseRecordStorage& Defaults() const { return defaults_; }
    // Appends a zero-filled default entry of that length and returns it for filling.
    TRecordEntry& AddDefault(uint16_t id, uint16_t length);
    TRecordEntry& AddDefaultWord(uint16_t id, uint16_t value);
    // Clears the record list and appends a copy of every default entry in order. The role references
    // keep pointing at the default entries.
    void LoadDefaults();
    // Clears both lists.
    void Clear() override;

protected:
    // A role reference, or an error when the default list was cleared.
    static TRecordEntry& Role(TRecordEntry* entry);

private:
    TBaseRecordStorage defaults_;
};

// The workbook globals list.
class TRecordStorageGlobals : public TRecordStorageDefault {
public:
    TRecordStorageGlobals();
    void SetDefaults() override;
    int32_t ListKind() const override { return 0; }
    void Clear() override;

    // WRITEACCESS: at most 109 characters, one byte each (the low byte of the character). Reading
    // trims blanks and control characters at both ends.
    WideString UserName() const;
    void SetUserName(const WideString& name);
    // Flag records: true stores 1, false 0; read as "= 1".
    bool BookProtected() const;  // WINDOWPROTECT
    void SetBookProtected(bool value);
    bool Backup() const;  // BACKUP
    void SetBackup(bool value);
    bool RefreshAll() const;  // REFRESHALL
    void SetRefreshAll(bool value);
    bool PrecisionAsDisplayed() const;  // PRECISION
    void SetPrecisionAsDisplayed(bool value);
    bool SaveExtLinkVal() const;  // BOOKBOOL
    void SetSaveExtLinkVal(bool value);
    TShowObjects ShowObjects() const;  // HIDEOBJ, stored as the ordinal
    void SetShowObjects(TShowObjects value);
    bool Date1904() const;  // DATEMODE
    // WINDOW1 fields.
    uint16_t WindowLeft() const;
    void SetWindowLeft(uint16_t value);
    uint16_t WindowTop() const;
    void SetWindowTop(uint16_t value);
    uint16_t WindowWidth() const;
    void SetWindowWidth(uint16_t value);
    uint16_t WindowHeight() const;
    void SetWindowHeight(uint16_t value);
    uint16_t SelectedTab() const;  // active tab
    void SetSelectedTab(uint16_t value);
    TWorkbookOptions WindowOptions() const;
    void SetWindowOptions(TWorkbookOptions options);  // the option word is rebuilt from the set

    const TRecordEntry& BOF() const { return Role(bof_); }
    const TRecordEntry& Window1() const { return Role(window1_); }

private:
    TRecordEntry* bof_ = nullptr;
    TRecordEntry* writeAccess_ = nullptr;
    TRecordEntry* windowProtect_ = nullptr;
    TRecordEntry* window1_ = nullptr;
    TRecordEntry* backup_ = nullptr;
    TRecordEntry* hideObj_ = nullptr;
    TRecordEntry* dateMode_ = nullptr;
    TRecordEntry* precision_ = nullptr;
    TRecordEntry* refreshAll_ = nullptr;
    TRecordEntry* bookBool_ = nullptr;
};

// A worksheet list.
class TRecordStorageSheet : public TRecordStorageDefault {
public:
    static constexpr size_t GutsSize = ::quarvel::GutsSize;
    static constexpr size_t DimensionsSize = ::quarvel::DimensionsSize;

    TRecordStorageSheet();
    void SetDefaults() override;
    int32_t ListKind() const override { return -1; }
    void Clear() override;

    // Calculation options (copied from the workbook's options before every write).
    // CALCMODE: cmManual 0, cmAutomatic 1, cmAutoExTables -1; reading any other value gives nothing.
    std::optional<TCalcMode> CalcMode() const;
    void SetCalcMode(TCalcMode mode);
    uint16_t CalcCount() const;
    void SetCalcCount(uint16_t value);
    bool R1C1Mode() const;  // REFMODE 0
    void SetR1C1Mode(bool value);
    bool Iteration() const;
    void SetIteration(bool value);
    bool SaveRecalc() const;
    void SetSaveRecalc(bool value);
    double Delta() const;

    // PRINTHEADERS, PRINTGRIDLINES, HCENTER, VCENTER and the SETUP option word. Setting clears the
    // option word first (dropping the start-page bit 0x0080 and the others of the default 0x06B6).
    TPrintSetupOptions PrintOptions() const;
    void SetPrintOptions(TPrintSetupOptions options);
    // SETUP fields.
    uint16_t PaperSize() const;  // the low byte of the stored value
    void SetPaperSize(uint16_t value);
    uint16_t ScalingFactor() const;
    void SetScalingFactor(uint16_t value);
    uint16_t StartingPage() const;
    void SetStartingPage(uint16_t value);  // 1 clears option bit 0x0080, other values set it
    int32_t FitWidth() const;
    void SetFitWidth(int32_t value);  // values outside 0..65535 store 0
    int32_t FitHeight() const;
    void SetFitHeight(int32_t value);
    uint16_t Resolution() const;  // horizontal print resolution
    void SetResolution(uint16_t value);
    uint16_t Copies() const;
    void SetCopies(uint16_t value);
    double HeaderMargin() const;  // inches
    void SetHeaderMargin(double inches);
    double FooterMargin() const;
    void SetFooterMargin(double inches);
    double HeaderMarginCm() const;
    void SetHeaderMarginCm(double cm);
    double FooterMarginCm() const;
    void SetFooterMarginCm(double cm);
    uint16_t SetupOptionWord() const;

    // DEFAULTROWHEIGHT: height; option bit 0 set unless the height is 255.
    uint16_t DefaultRowHeight() const;
    void SetDefaultRowHeight(uint16_t value);
    uint16_t DefaultColWidth() const;  // DEFCOLWIDTH
    void SetDefaultColWidth(uint16_t value);
    TWorkspaceOptions WorkspaceOptions() const;  // WSBOOL
    void SetWorkspaceOptions(TWorkspaceOptions options);  // the word is rebuilt from the set alone

    // WINDOW2. The option word becomes 0x04A0 plus the bits of the five stored elements.
    TSheetOptions SheetOptions() const;
    void SetSheetOptions(TSheetOptions options);
    // The raw option word, for the writer's frozen-pane and selected-sheet bits.
    uint16_t Window2OptionWord() const;
    void SetWindow2OptionWord(uint16_t value);
    uint16_t Zoom() const;  // normal view
    void SetZoom(uint16_t value);
    uint16_t ZoomPreview() const;  // page-break preview
    void SetZoomPreview(uint16_t value);

    // GUTS body (8 bytes: row gutter, column gutter, row levels, column levels), updated by row
    // grouping.
    uint8_t* GutsBody() { return Role(guts_).Body(); }
    const uint8_t* GutsBody() const { return Role(guts_).Body(); }

    // DIMENSIONS: first row, last row + 1 (32-bit), first column, last column + 1 (16-bit), 0.
    void SetDimensions(uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol, uint16_t lastColPlus1);
    uint32_t DimensionsFirstRow() const;
    uint32_t DimensionsLastRowPlus1() const;
    uint16_t DimensionsFirstCol() const;
    uint16_t DimensionsLastColPlus1() const;
    const TRecordEntry& Dimensions() const { return Role(dimensions_); }

    // SELECTION: setting the active row also sets both area rows, the active column both area
    // columns (8-bit in the record).
    uint16_t ActiveRow() const;
    void SetActiveRow(uint16_t value);
    uint16_t ActiveCol() const;
    void SetActiveCol(uint16_t value);
    uint16_t SelectionRow1() const;
    void SetSelectionRow1(uint16_t value);
    uint16_t SelectionRow2() const;
    void SetSelectionRow2(uint16_t value);
    uint8_t SelectionCol1() const;
    void SetSelectionCol1(uint8_t value);
    uint8_t SelectionCol2() const;
    void SetSelectionCol2(uint8_t value);

    bool Protect() const;  // sheet PROTECT
    void SetProtect(bool value);

    const TRecordEntry& BOF() const { return Role(bof_); }
    const TRecordEntry& Window2() const { return Role(window2_); }

private:
    TRecordEntry* bof_ = nullptr;
    TRecordEntry* calcMode_ = nullptr;
    TRecordEntry* calcCount_ = nullptr;
    TRecordEntry* refMode_ = nullptr;
    TRecordEntry* iteration_ = nullptr;
    TRecordEntry* delta_ = nullptr;
    TRecordEntry* saveRecalc_ = nullptr;
    TRecordEntry* printGridlines_ = nullptr;
    TRecordEntry* printHeaders_ = nullptr;
    TRecordEntry* guts_ = nullptr;
    TRecordEntry* defaultRowHeight_ = nullptr;
    TRecordEntry* wsBool_ = nullptr;
    TRecordEntry* hCenter_ = nullptr;
    TRecordEntry* vCenter_ = nullptr;
    TRecordEntry* setup_ = nullptr;
    TRecordEntry* protect_ = nullptr;
    TRecordEntry* defColWidth_ = nullptr;
    TRecordEntry* dimensions_ = nullptr;
    TRecordEntry* window2_ = nullptr;
    TRecordEntry* selection_ = nullptr;
};

}  // namespace quarvel
