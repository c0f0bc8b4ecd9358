#include "biff/RecordStorage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/ByteBuffer.h"
#include "platform/Errors.h"

namespace quarvel {

// -------------------------------------------------------------------------------------------------
// TRecordEntry

TRecordEntry::TRecordEntry(uint16_t id, uint16_t length, const void* body) : id_(id) { Assign(length, body); }

void TRecordEntry::Assign(uint16_t length, const void* body) {
    body_.assign(length, 0);
    if (body && length) std::memcpy(body_.data(), body, length);
}

void TRecordEntry::Check(size_t offset, size_t size) const {
    if (offset + size > body_.size()) {
        char message[96];
        std::snprintf(message, sizeof message, "Record %.4X has no field at offset %zu (length %zu)", id_, offset,
                      body_.size());
        throw Error(message);
    }
}

uint8_t TRecordEntry::Byte(size_t offset) const {
    Check(offset, 1);
    return body_[offset];
}
void TRecordEntry::SetByte(size_t offset, uint8_t value) {
    Check(offset, 1);
    body_[offset] = value;
}
uint16_t TRecordEntry::Word(size_t offset) const {
    Check(offset, 2);
    return LoadU16(body_.data() + offset);
}
void TRecordEntry::SetWord(size_t offset, uint16_t value) {
    Check(offset, 2);
    StoreU16(body_.data() + offset, value);
}
uint32_t TRecordEntry::DWord(size_t offset) const {
    Check(offset, 4);
    return LoadU32(body_.data() + offset);
}
void TRecordEntry::SetDWord(size_t offset, uint32_t value) {
    Check(offset, 4);
    StoreU32(body_.data() + offset, value);
}
double TRecordEntry::Double(size_t offset) const {
    Check(offset, 8);
    return LoadF64(body_.data() + offset);
}
void TRecordEntry::SetDouble(size_t offset, double value) {
    Check(offset, 8);
    StoreF64(body_.data() + offset, value);
}

// -------------------------------------------------------------------------------------------------
// TBaseRecordStorage

TRecordEntry& TBaseRecordStorage::AddRecord(uint16_t id, uint16_t length, const void* body) {
    entries_.push_back(std::make_unique<TRecordEntry>(id, length, body));
    return *entries_.back();
}

int32_t TBaseRecordStorage::IndexOfId(uint16_t id) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->Id() == id) return static_cast<int32_t>(i);
    return -1;
}

TRecordEntry& TBaseRecordStorage::Records(int32_t position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *entries_[static_cast<size_t>(position)];
}

const TRecordEntry& TBaseRecordStorage::Records(int32_t position) const {
    return const_cast<TBaseRecordStorage*>(this)->Records(position);
}

void TBaseRecordStorage::WriteEntry(int32_t position, TRecordSink& sink) const {
    const TRecordEntry& e = Records(position);
    sink.WriteRecord(e.Id(), e.Body(), e.Length());
}

void TBaseRecordStorage::WriteAll(TRecordSink& sink) const {
    for (int32_t i = 0; i < Count(); ++i) WriteEntry(i, sink);
}

void TBaseRecordStorage::Clear() { entries_.clear(); }

int64_t TBaseRecordStorage::TotalSize() const {
    int64_t total = 0;
    for (const auto& e : entries_) total += e->Length() + 4;
    return total;
}

void TBaseRecordStorage::ReplaceBody(int32_t position, uint16_t length, const void* body) {
    Records(position).Assign(length, body);
}

void TBaseRecordStorage::CopyTo(TBaseRecordStorage& other) const {
    // Counted first, so that copying a list into itself doubles it once.
    const int32_t n = Count();
    for (int32_t i = 0; i < n; ++i) {
        const TRecordEntry& e = *entries_[static_cast<size_t>(i)];
        other.AddRecord(e.Id(), e.Length(), e.Body());
    }
}

// -------------------------------------------------------------------------------------------------
// TRecordStorageDefault

TRecordEntry& TRecordStorageDefault::AddDefault(uint16_t id, uint16_t length) {
    return defaults_.AddRecord(id, length, nullptr);
}

TRecordEntry& TRecordStorageDefault::AddDefaultWord(uint16_t id, uint16_t value) {
    TRecordEntry& e = AddDefault(id, 2);
    e.SetWord(0, value);
    return e;
}

void TRecordStorageDefault::LoadDefaults() {
    TBaseRecordStorage::Clear();
    defaults_.CopyTo(*this);
}

void TRecordStorageDefault::Clear() {
    TBaseRecordStorage::Clear();
    defaults_.Clear();
}

TRecordEntry& TRecordStorageDefault::Role(TRecordEntry* entry) {
    if (!entry) throw Error("The default records were cleared");
    return *entry;
}

namespace {

// Appends a default record whose body its record function writes (checked against the record's
// size) and returns the entry.
template <class TPut, class... TArgs>
TRecordEntry& AddBuilt(TRecordStorageDefault& list, uint16_t id, size_t length, TPut&& put, TArgs&&... args) {
    TRecordWriter(list.Defaults(), static_cast<int32_t>(length)).Write(id, length, put, std::forward<TArgs>(args)...);
    return list.Defaults().Records(list.Defaults().Count() - 1);
}

bool IsOne(const TRecordEntry& e) { return e.Word(0) == 1; }

}  // namespace

// -------------------------------------------------------------------------------------------------
// TRecordStorageGlobals

TRecordStorageGlobals::TRecordStorageGlobals() { TRecordStorageGlobals::SetDefaults(); }

void TRecordStorageGlobals::Clear() {
    TRecordStorageDefault::Clear();
    bof_ = writeAccess_ = windowProtect_ = window1_ = backup_ = hideObj_ = dateMode_ = precision_ = refreshAll_ =
        bookBool_ = nullptr;
}

void TRecordStorageGlobals::SetDefaults() {
    Clear();
    bof_ = &AddBuilt(*this, ridBOF, BOFSize, PutBOF, BOFGlobals, 0x1002, 1997, 0x000080C9, 0x00000106);
    writeAccess_ = &AddBuilt(*this, ridWRITEACCESS, WriteAccessSize, PutWriteAccess, u"");
    AddDefaultWord(ridCODEPAGE, 1200);
    AddDefaultWord(ridDSF, 0);
    AddDefault(ridTABID, 0);  // the writer builds the body
    AddDefaultWord(ridFNGROUPCOUNT, 14);
    windowProtect_ = &AddDefaultWord(ridWINDOWPROTECT, 0);
    AddDefaultWord(ridPROTECT, 0);
    AddDefaultWord(ridPASSWORD, 0);
    AddDefaultWord(ridPROT4REV, 0);
    // Left 100, top 100, width 10000, height 7000, options 0x0038, active tab 0, first tab 0,
    // selected tabs 1, tab ratio 600.
    window1_ = &AddBuilt(*this, ridWINDOW1, Window1Size, PutWindow1, TWindow1Fields{});
    backup_ = &AddDefaultWord(ridBACKUP, 0);
    hideObj_ = &AddDefaultWord(ridHIDEOBJ, 0);
    dateMode_ = &AddDefaultWord(ridDATEMODE, 0);
    precision_ = &AddDefaultWord(ridPRECISION, 1);
    refreshAll_ = &AddDefaultWord(ridREFRESHALL, 0);
    bookBool_ = &AddDefaultWord(ridBOOKBOOL, 0);
    AddDefault(IR_FORMATS, 0);
    AddDefault(IR_BOUNDSHEETS, 0);
    AddBuilt(*this, ridCOUNTRY, CountrySize, PutCountry, 1, 46);
    AddBuilt(*this, ridRECALCID, RecalcIdSize, PutRecalcId, 0x00FFFFFF);
    AddDefault(IR_NAMES, 0);
    AddDefault(IR_DRAWINGGROUP, 0);
    AddDefault(IR_SST, 0);
    AddDefault(ridEOF, 0);
}

WideString TRecordStorageGlobals::UserName() const {
    const TRecordEntry& e = Role(writeAccess_);
    const uint8_t* text = e.Body() + TWriteAccessOffsets::Name;
    size_t first = 0, last = WriteAccessMaxName;
    while (first < last && text[first] <= 0x20) ++first;
    while (last > first && text[last - 1] <= 0x20) --last;
    return WideString(text + first, text + last);
}

void TRecordStorageGlobals::SetUserName(const WideString& name) {
    uint8_t bytes[WriteAccessSize];
    TByteSpan body(bytes, sizeof bytes);
    PutWriteAccess(body, name);
    Role(writeAccess_).Assign(static_cast<uint16_t>(body.Size()), bytes);
}

bool TRecordStorageGlobals::BookProtected() const { return IsOne(Role(windowProtect_)); }
void TRecordStorageGlobals::SetBookProtected(bool value) { Role(windowProtect_).SetWord(0, value); }
bool TRecordStorageGlobals::Backup() const { return IsOne(Role(backup_)); }
void TRecordStorageGlobals::SetBackup(bool value) { Role(backup_).SetWord(0, value); }
bool TRecordStorageGlobals::RefreshAll() const { return IsOne(Role(refreshAll_)); }
void TRecordStorageGlobals::SetRefreshAll(bool value) { Role(refreshAll_).SetWord(0, value); }
bool TRecordStorageGlobals::PrecisionAsDisplayed() const { return IsOne(Role(precision_)); }
void TRecordStorageGlobals::SetPrecisionAsDisplayed(bool value) { Role(precision_).SetWord(0, value); }
bool TRecordStorageGlobals::SaveExtLinkVal() const { return IsOne(Role(bookBool_)); }
void TRecordStorageGlobals::SetSaveExtLinkVal(bool value) { Role(bookBool_).SetWord(0, value); }
TShowObjects TRecordStorageGlobals::ShowObjects() const {
    return static_cast<TShowObjects>(Role(hideObj_).Word(0));
}
void TRecordStorageGlobals::SetShowObjects(TShowObjects value) { Role(hideObj_).SetWord(0, value); }
bool TRecordStorageGlobals::Date1904() const { return IsOne(Role(dateMode_)); }

uint16_t TRecordStorageGlobals::WindowLeft() const { return Role(window1_).Word(TWindow1Offsets::Left); }
void TRecordStorageGlobals::SetWindowLeft(uint16_t value) { Role(window1_).SetWord(TWindow1Offsets::Left, value); }
uint16_t TRecordStorageGlobals::WindowTop() const { return Role(window1_).Word(TWindow1Offsets::Top); }
void TRecordStorageGlobals::SetWindowTop(uint16_t value) { Role(window1_).SetWord(TWindow1Offsets::Top, value); }
uint16_t TRecordStorageGlobals::WindowWidth() const { return Role(window1_).Word(TWindow1Offsets::Width); }
void TRecordStorageGlobals::SetWindowWidth(uint16_t value) { Role(window1_).SetWord(TWindow1Offsets::Width, value); }
uint16_t TRecordStorageGlobals::WindowHeight() const { return Role(window1_).Word(TWindow1Offsets::Height); }
void TRecordStorageGlobals::SetWindowHeight(uint16_t value) { Role(window1_).SetWord(TWindow1Offsets::Height, value); }
uint16_t TRecordStorageGlobals::SelectedTab() const { return Role(window1_).Word(TWindow1Offsets::ActiveTab); }
void TRecordStorageGlobals::SetSelectedTab(uint16_t value) {
    Role(window1_).SetWord(TWindow1Offsets::ActiveTab, value);
}

namespace {
// WINDOW1 option bits of woHidden, woIconized, woHScroll, woVScroll, woTabs.
constexpr uint16_t kWindow1Bits[] = {0x0001, 0x0002, 0x0008, 0x0010, 0x0020};
// WSBOOL bits of woShowAutoBreaks, woApplyStyles, woRowSumsBelow, woColSumsRight, woFitToPage,
// woOutlineSymbols.
constexpr uint16_t kWsBoolBits[] = {0x0001, 0x0020, 0x0040, 0x0080, 0x0100, 0x0400};
// SETUP option bits of psoLeftToRight, psoPortrait, psoNoColor, psoDraftQuality, psoNotes.
constexpr uint16_t kSetupBits[] = {0x0001, 0x0002, 0x0008, 0x0010, 0x0020};

template <size_t N>
uint16_t BitsFromSet(unsigned set, const uint16_t (&bits)[N]) {
    uint16_t word = 0;
    for (size_t i = 0; i < N; ++i)
        if (set & (1u << i)) word |= bits[i];
    return word;
}

template <size_t N>
unsigned SetFromBits(uint16_t word, const uint16_t (&bits)[N]) {
    unsigned set = 0;
    for (size_t i = 0; i < N; ++i)
        if (word & bits[i]) set |= 1u << i;
    return set;
}
}  // namespace

TWorkbookOptions TRecordStorageGlobals::WindowOptions() const {
    return static_cast<TWorkbookOptions>(SetFromBits(Role(window1_).Word(TWindow1Offsets::Options), kWindow1Bits));
}
void TRecordStorageGlobals::SetWindowOptions(TWorkbookOptions options) {
    Role(window1_).SetWord(TWindow1Offsets::Options, BitsFromSet(options, kWindow1Bits));
}

// -------------------------------------------------------------------------------------------------
// TRecordStorageSheet

TRecordStorageSheet::TRecordStorageSheet() { TRecordStorageSheet::SetDefaults(); }

void TRecordStorageSheet::Clear() {
    TRecordStorageDefault::Clear();
    bof_ = calcMode_ = calcCount_ = refMode_ = iteration_ = delta_ = saveRecalc_ = printGridlines_ = printHeaders_ =
        guts_ = defaultRowHeight_ = wsBool_ = hCenter_ = vCenter_ = setup_ = protect_ = defColWidth_ = dimensions_ =
            window2_ = selection_ = nullptr;
}

void TRecordStorageSheet::SetDefaults() {
    Clear();
    bof_ = &AddBuilt(*this, ridBOF, BOFSize, PutBOF, BOFWorksheet, 0x18AF, 1997, 0x000080C9, 0x00000106);
    calcMode_ = &AddDefaultWord(ridCALCMODE, 1);
    calcCount_ = &AddDefaultWord(ridCALCCOUNT, 100);
    refMode_ = &AddDefaultWord(ridREFMODE, 1);
    iteration_ = &AddDefaultWord(ridITERATION, 0);
    delta_ = &AddDefault(ridDELTA, 8);
    delta_->SetDouble(0, 0.001);  // FC A9 F1 D2 4D 62 50 3F
    saveRecalc_ = &AddDefaultWord(ridSAVERECALC, 1);
    printGridlines_ = &AddDefaultWord(ridPRINTGRIDLINES, 0);
    printHeaders_ = &AddDefaultWord(ridPRINTHEADERS, 0);
    AddDefaultWord(ridGRIDSET, 1);
    guts_ = &AddBuilt(*this, ridGUTS, GutsSize, PutGuts, 0, 0, 0, 0);
    defaultRowHeight_ = &AddBuilt(*this, ridDEFAULTROWHEIGHT, DefaultRowHeightSize, PutDefaultRowHeight, 0, 255);
    wsBool_ = &AddDefaultWord(ridWSBOOL, 0x04C1);
    AddDefault(IR_PAGEBREAKS, 0);
    AddDefault(IR_HEADERFOOTER, 0);
    AddDefault(IR_MARGINS, 0);
    hCenter_ = &AddDefaultWord(ridHCENTER, 0);
    vCenter_ = &AddDefaultWord(ridVCENTER, 0);
    // Paper size 0, scale 100, start page 1, fit width 1, fit height 1, options 0x06B6, resolutions
    // 600 and 600, header and footer margins 0.5, copies 0.
    TSetupFields setup;
    setup.Options = 0x06B6;
    setup_ = &AddBuilt(*this, ridSETUP, SetupSize, PutSetup, setup);
    protect_ = &AddDefaultWord(ridPROTECT, 0);
    defColWidth_ = &AddDefaultWord(ridDEFCOLWIDTH, 8);
    dimensions_ = &AddBuilt(*this, ridDIMENSIONS, DimensionsSize, PutDimensions, 0, 0, 0, 0);
    AddDefault(IR_COLINFO, 0);
    AddDefault(IR_CELLS, 0);
    // Options 0x04B6, top row 0, left column 0, grid colour 64, page-break zoom 0, normal zoom 0.
    window2_ = &AddBuilt(*this, ridWINDOW2, Window2Size, PutWindow2, 0x04B6, 0, 0, 64, 0, 0);
    AddDefault(IR_OBJECTS, 0);
    // Pane 3, active row 1, active column 1, active area 0, one area: rows 1 to 1, columns 1 to 1.
    const TSelectionArea area{1, 1, 1, 1};
    selection_ = &AddBuilt(*this, ridSELECTION, SelectionSize(1), PutSelection, 3, 1, 1, 0, &area, 1);
    AddDefault(ridEOF, 0);
}

// Calculation options

std::optional<TCalcMode> TRecordStorageSheet::CalcMode() const {
    switch (static_cast<int16_t>(Role(calcMode_).Word(0))) {
        case 0: return cmManual;
        case 1: return cmAutomatic;
        case -1: return cmAutoExTables;
        default: return std::nullopt;
    }
}
void TRecordStorageSheet::SetCalcMode(TCalcMode mode) {
    const int16_t value = mode == cmManual ? 0 : mode == cmAutomatic ? 1 : -1;
    Role(calcMode_).SetWord(0, static_cast<uint16_t>(value));
}
uint16_t TRecordStorageSheet::CalcCount() const { return Role(calcCount_).Word(0); }
void TRecordStorageSheet::SetCalcCount(uint16_t value) { Role(calcCount_).SetWord(0, value); }
bool TRecordStorageSheet::R1C1Mode() const { return Role(refMode_).Word(0) == 0; }
void TRecordStorageSheet::SetR1C1Mode(bool value) { Role(refMode_).SetWord(0, value ? 0 : 1); }
bool TRecordStorageSheet::Iteration() const { return IsOne(Role(iteration_)); }
void TRecordStorageSheet::SetIteration(bool value) { Role(iteration_).SetWord(0, value); }
bool TRecordStorageSheet::SaveRecalc() const { return IsOne(Role(saveRecalc_)); }
void TRecordStorageSheet::SetSaveRecalc(bool value) { Role(saveRecalc_).SetWord(0, value); }
double TRecordStorageSheet::Delta() const { return Role(delta_).Double(0); }

// Printing

namespace {
using TSetup = TSetupOffsets;
constexpr size_t kSetupPaper = TSetup::PaperSize, kSetupScale = TSetup::Scale, kSetupStart = TSetup::StartPage,
                 kSetupFitWidth = TSetup::FitWidth, kSetupFitHeight = TSetup::FitHeight,
                 kSetupOptions = TSetup::Options, kSetupResolution = TSetup::HorizontalResolution,
                 kSetupHeaderMargin = TSetup::HeaderMargin, kSetupFooterMargin = TSetup::FooterMargin,
                 kSetupCopies = TSetup::Copies;
constexpr uint16_t kSetupStartPageBit = 0x0080;
constexpr double kCmPerInch = 2.54;
}  // namespace

TPrintSetupOptions TRecordStorageSheet::PrintOptions() const {
    TPrintSetupOptions options = static_cast<TPrintSetupOptions>(SetFromBits(SetupOptionWord(), kSetupBits));
    if (IsOne(Role(printHeaders_))) options |= psoRowColHeading;
    if (IsOne(Role(printGridlines_))) options |= psoGridlines;
    if (IsOne(Role(hCenter_))) options |= psoHorizCenter;
    if (IsOne(Role(vCenter_))) options |= psoVertCenter;
    return options;
}

void TRecordStorageSheet::SetPrintOptions(TPrintSetupOptions options) {
    Role(printHeaders_).SetWord(0, (options & psoRowColHeading) ? 1 : 0);
    Role(printGridlines_).SetWord(0, (options & psoGridlines) ? 1 : 0);
    Role(hCenter_).SetWord(0, (options & psoHorizCenter) ? 1 : 0);
    Role(vCenter_).SetWord(0, (options & psoVertCenter) ? 1 : 0);
    Role(setup_).SetWord(kSetupOptions, BitsFromSet(options & 0x1F, kSetupBits));
}

uint16_t TRecordStorageSheet::SetupOptionWord() const { return Role(setup_).Word(kSetupOptions); }
uint16_t TRecordStorageSheet::PaperSize() const { return Role(setup_).Byte(kSetupPaper); }
void TRecordStorageSheet::SetPaperSize(uint16_t value) { Role(setup_).SetWord(kSetupPaper, value); }
uint16_t TRecordStorageSheet::ScalingFactor() const { return Role(setup_).Word(kSetupScale); }
void TRecordStorageSheet::SetScalingFactor(uint16_t value) { Role(setup_).SetWord(kSetupScale, value); }
uint16_t TRecordStorageSheet::StartingPage() const { return Role(setup_).Word(kSetupStart); }
void TRecordStorageSheet::SetStartingPage(uint16_t value) {
    TRecordEntry& e = Role(setup_);
    e.SetWord(kSetupStart, value);
    const uint16_t options = e.Word(kSetupOptions);
    e.SetWord(kSetupOptions,
              value == 1 ? static_cast<uint16_t>(options & ~kSetupStartPageBit) : (options | kSetupStartPageBit));
}
int32_t TRecordStorageSheet::FitWidth() const { return Role(setup_).Word(kSetupFitWidth); }
void TRecordStorageSheet::SetFitWidth(int32_t value) {
    Role(setup_).SetWord(kSetupFitWidth, value < 0 || value > 65535 ? 0 : static_cast<uint16_t>(value));
}
int32_t TRecordStorageSheet::FitHeight() const { return Role(setup_).Word(kSetupFitHeight); }
void TRecordStorageSheet::SetFitHeight(int32_t value) {
    Role(setup_).SetWord(kSetupFitHeight, value < 0 || value > 65535 ? 0 : static_cast<uint16_t>(value));
}
uint16_t TRecordStorageSheet::Resolution() const { return Role(setup_).Word(kSetupResolution); }
void TRecordStorageSheet::SetResolution(uint16_t value) { Role(setup_).SetWord(kSetupResolution, value); }
uint16_t TRecordStorageSheet::Copies() const { return Role(setup_).Word(kSetupCopies); }
void TRecordStorageSheet::SetCopies(uint16_t value) { Role(setup_).SetWord(kSetupCopies, value); }
double TRecordStorageSheet::HeaderMargin() const { return Role(setup_).Double(kSetupHeaderMargin); }
void TRecordStorageSheet::SetHeaderMargin(double inches) { Role(setup_).SetDouble(kSetupHeaderMargin, inches); }
double TRecordStorageSheet::FooterMargin() const { return Role(setup_).Double(kSetupFooterMargin); }
void TRecordStorageSheet::SetFooterMargin(double inches) { Role(setup_).SetDouble(kSetupFooterMargin, inches); }
double TRecordStorageSheet::HeaderMarginCm() const { return HeaderMargin() * kCmPerInch; }
void TRecordStorageSheet::SetHeaderMarginCm(double cm) { SetHeaderMargin(cm / kCmPerInch); }
double TRecordStorageSheet::FooterMarginCm() const { return FooterMargin() * kCmPerInch; }
void TRecordStorageSheet::SetFooterMarginCm(double cm) { SetFooterMargin(cm / kCmPerInch); }

// Sheet layout and window

uint16_t TRecordStorageSheet::DefaultRowHeight() const {
    return Role(defaultRowHeight_).Word(TDefaultRowHeightOffsets::Height);
}
void TRecordStorageSheet::SetDefaultRowHeight(uint16_t value) {
    TRecordEntry& e = Role(defaultRowHeight_);
    e.SetWord(TDefaultRowHeightOffsets::Height, value);
    const uint16_t options = e.Word(TDefaultRowHeightOffsets::Options);
    e.SetWord(TDefaultRowHeightOffsets::Options,
              value == 255 ? static_cast<uint16_t>(options & ~1u) : static_cast<uint16_t>(options | 1u));
}
uint16_t TRecordStorageSheet::DefaultColWidth() const { return Role(defColWidth_).Word(0); }
void TRecordStorageSheet::SetDefaultColWidth(uint16_t value) { Role(defColWidth_).SetWord(0, value); }

TWorkspaceOptions TRecordStorageSheet::WorkspaceOptions() const {
    return static_cast<TWorkspaceOptions>(SetFromBits(Role(wsBool_).Word(0), kWsBoolBits));
}
void TRecordStorageSheet::SetWorkspaceOptions(TWorkspaceOptions options) {
    Role(wsBool_).SetWord(0, BitsFromSet(options, kWsBoolBits));
}

namespace {
// WINDOW2 bits of the stored sheet options; soProtected, soR1C1Mode and soIteration are not stored.
struct TWindow2Bit {
    TSheetOption option;
    uint16_t bit;
};
constexpr TWindow2Bit kWindow2Bits[] = {{soShowFormulas, 0x0001}, {soGridlines, 0x0002}, {soRowColHeadings, 0x0004},
                                        {soFrozenPanes, 0x0008},  {soShowZeros, 0x0010}};
constexpr uint16_t kWindow2Base = 0x04A0;  // default header colour, outline symbols, sheet active
}  // namespace

TSheetOptions TRecordStorageSheet::SheetOptions() const {
    const uint16_t word = Window2OptionWord();
    TSheetOptions options = 0;
    for (const auto& b : kWindow2Bits)
        if (word & b.bit) options |= b.option;
    return options;
}
void TRecordStorageSheet::SetSheetOptions(TSheetOptions options) {
    uint16_t word = kWindow2Base;
    for (const auto& b : kWindow2Bits)
        if (options & b.option) word |= b.bit;
    SetWindow2OptionWord(word);
}
uint16_t TRecordStorageSheet::Window2OptionWord() const { return Role(window2_).Word(TWindow2Offsets::Options); }
void TRecordStorageSheet::SetWindow2OptionWord(uint16_t value) {
    Role(window2_).SetWord(TWindow2Offsets::Options, value);
}
uint16_t TRecordStorageSheet::Zoom() const { return Role(window2_).Word(TWindow2Offsets::Zoom); }
void TRecordStorageSheet::SetZoom(uint16_t value) { Role(window2_).SetWord(TWindow2Offsets::Zoom, value); }
uint16_t TRecordStorageSheet::ZoomPreview() const { return Role(window2_).Word(TWindow2Offsets::ZoomPreview); }
void TRecordStorageSheet::SetZoomPreview(uint16_t value) {
    Role(window2_).SetWord(TWindow2Offsets::ZoomPreview, value);
}

// DIMENSIONS

void TRecordStorageSheet::SetDimensions(uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol,
                                        uint16_t lastColPlus1) {
    TRecordEntry& e = Role(dimensions_);
    e.SetDWord(TDimensionsOffsets::FirstRow, firstRow);
    e.SetDWord(TDimensionsOffsets::LastRowPlus1, lastRowPlus1);
    e.SetWord(TDimensionsOffsets::FirstCol, firstCol);
    e.SetWord(TDimensionsOffsets::LastColPlus1, lastColPlus1);
    e.SetWord(TDimensionsOffsets::Reserved, 0);
}
uint32_t TRecordStorageSheet::DimensionsFirstRow() const {
    return Role(dimensions_).DWord(TDimensionsOffsets::FirstRow);
}
uint32_t TRecordStorageSheet::DimensionsLastRowPlus1() const {
    return Role(dimensions_).DWord(TDimensionsOffsets::LastRowPlus1);
}
uint16_t TRecordStorageSheet::DimensionsFirstCol() const {
    return Role(dimensions_).Word(TDimensionsOffsets::FirstCol);
}
uint16_t TRecordStorageSheet::DimensionsLastColPlus1() const {
    return Role(dimensions_).Word(TDimensionsOffsets::LastColPlus1);
}

// SELECTION: the active cell and the first area.

using TSel = TSelectionOffsets;
uint16_t TRecordStorageSheet::ActiveRow() const { return Role(selection_).Word(TSel::ActiveRow); }
void TRecordStorageSheet::SetActiveRow(uint16_t value) {
    TRecordEntry& e = Role(selection_);
    e.SetWord(TSel::ActiveRow, value);
    e.SetWord(TSel::Row1, value);
    e.SetWord(TSel::Row2, value);
}
uint16_t TRecordStorageSheet::ActiveCol() const { return Role(selection_).Word(TSel::ActiveCol); }
void TRecordStorageSheet::SetActiveCol(uint16_t value) {
    TRecordEntry& e = Role(selection_);
    e.SetWord(TSel::ActiveCol, value);
    e.SetByte(TSel::Col1, static_cast<uint8_t>(value));
    e.SetByte(TSel::Col2, static_cast<uint8_t>(value));
}
uint16_t TRecordStorageSheet::SelectionRow1() const { return Role(selection_).Word(TSel::Row1); }
void TRecordStorageSheet::SetSelectionRow1(uint16_t value) { Role(selection_).SetWord(TSel::Row1, value); }
uint16_t TRecordStorageSheet::SelectionRow2() const { return Role(selection_).Word(TSel::Row2); }
void TRecordStorageSheet::SetSelectionRow2(uint16_t value) { Role(selection_).SetWord(TSel::Row2, value); }
uint8_t TRecordStorageSheet::SelectionCol1() const { return Role(selection_).Byte(TSel::Col1); }
void TRecordStorageSheet::SetSelectionCol1(uint8_t value) { Role(selection_).SetByte(TSel::Col1, value); }
uint8_t TRecordStorageSheet::SelectionCol2() const { return Role(selection_).Byte(TSel::Col2); }
void TRecordStorageSheet::SetSelectionCol2(uint8_t value) { Role(selection_).SetByte(TSel::Col2, value); }

bool TRecordStorageSheet::Protect() const { return IsOne(Role(protect_)); }
void TRecordStorageSheet::SetProtect(bool value) { Role(protect_).SetWord(0, value); }

}  // namespace quarvel
