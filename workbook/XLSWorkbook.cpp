#include "workbook/XLSWorkbook.h"

#include <cmath>

#include "workbook/XLSUtils.h"

namespace quarvel {

namespace {

// The page setup's paper size for the locale's default: Letter, Legal, A3 and A4 are known,
// anything else gives A4.
TPaperSize PaperSizeOf(int code) {
    switch (code) {
        case psLetter: return psLetter;
        case psLegal: return psLegal;
        case psA3: return psA3;
        default: return psA4;
    }
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// TOptionsDialog

void TOptionsDialog::SetCalcCount(int32_t value) {
    if (value == 0)
        calcCount_ = 1;
    else if (value < 0 || value > 0x7FFF)
        calcCount_ = 0x7FFF;
    else
        calcCount_ = static_cast<uint16_t>(value);
}

// -------------------------------------------------------------------------------------------------
// TXLSWorkbook

TXLSWorkbook::TXLSWorkbook() : TXLSWorkbook(ReadProcessLocale()) {}

TXLSWorkbook::TXLSWorkbook(const TLocaleInfo& locale)
    : locale_(locale),
      workbookData_(records_),
      optionsDialog_(records_),
      formats_(&fonts_, true),
      sst_(&fonts_),
      cellValuesList_(&sst_),
      sheets_(*this) {
    ResetPalette();
    defaultPaperSize_ = PaperSizeOf(locale.DefaultPaperSize);
    workbookData_.SetOptions(woHScroll | woVScroll | woTabs);
    workbookData_.SetTop(100);
    workbookData_.SetLeft(100);
    workbookData_.SetWidth(10000);
    workbookData_.SetHeight(7000);
    optionsDialog_.SetCalcMode(cmAutomatic);
    sheets_.Add(0);
    LoadOptionsDialog();
    SetVersion(xvExcel97);
}

TXLSWorkbook::~TXLSWorkbook() = default;

void TXLSWorkbook::ApplyStoredValues() {
    SetVersion(xvExcel97);

    sheets_.Clear();
    TSheet& sheet = sheets_.Add(0);
    sheet.SetName(u"Sheet1");
    sheet.SetDefaultColWidth(8);
    sheet.SetDefaultRowHeight(255);
    sheet.SetOptions(soGridlines | soRowColHeadings | soShowZeros);
    sheet.SetWorkspaceOptions(woShowAutoBreaks | woRowSumsBelow | woColSumsRight | woOutlineSymbols);
    sheet.SetSheetProtection(AllSheetProtections);
    sheet.SetZoom(0);
    sheet.SetZoomPreview(0);
    sheet.SetRecalcFormulas(true);
    sheet.SetHidden(hsVisible);
    // Options before StartingPage, which therefore ends with the start-page bit cleared; the
    // centimetre margins after the inch margins, giving the same values.
    TPrintSettings& print = sheet.PrintSettings();
    print.SetCopies(0);
    print.SetHeaderMargin(0.5);
    print.SetFooterMargin(0.5);
    print.SetMarginLeft(0.75);
    print.SetMarginRight(0.75);
    print.SetMarginTop(1.0);
    print.SetMarginBottom(1.0);
    print.SetOptions(psoPortrait);
    print.SetPaperSize(psA4);
    print.SetScalingFactor(100);
    print.SetStartingPage(1);
    print.SetResolution(600);
    print.SetFitWidth(1);
    print.SetFitHeight(1);
    print.SetHeaderMarginCm(1.27);
    print.SetFooterMarginCm(1.27);
    print.SetMarginLeftCm(1.905);
    print.SetMarginRightCm(1.905);
    print.SetMarginTopCm(2.54);
    print.SetMarginBottomCm(2.54);

    workbookData_.SetLeft(100);
    workbookData_.SetTop(100);
    workbookData_.SetWidth(10000);
    workbookData_.SetHeight(7000);
    workbookData_.SetSelectedTab(0);
    workbookData_.SetOptions(woHScroll | woVScroll | woTabs);

    optionsDialog_.SetCalcCount(100);
    optionsDialog_.SetCalcMode(cmAutomatic);
    optionsDialog_.SetDelta(0.001);
    optionsDialog_.SetShowObjects(soShowAll);
    optionsDialog_.SetIteration(false);
    optionsDialog_.SetPrecisionAsDisplayed(true);
    optionsDialog_.SetR1C1Mode(false);
    optionsDialog_.SetRecalcBeforeSave(false);
    optionsDialog_.SetUncalced(false);
    optionsDialog_.SetSaveRecalc(true);
    optionsDialog_.SetSaveExtLinkVal(false);

    SetUserName(WideString(109, u' '));
    SetBookProtected(false);
    SetBackup(false);
    SetRefreshAll(false);
    SetRecomendReadOnly(false);
    SetStrTRUE(u"TRUE");
    SetStrFALSE(u"FALSE");
    SetShowFormulas(false);
    SetIsMac(false);
    SetPreserveMacros(true);
    SetTempFileMode(tfmOnDisk);
    SetPassword(WideString());
}

bool TXLSWorkbook::Excel2007MacroFile() const {
    if (filename_.size() < 4) return false;
    WideString tail = filename_.substr(filename_.size() - 4);
    for (char16_t& c : tail)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return tail == u"xlsm";
}

void TXLSWorkbook::SetVersion(TExcelVersion value) {
    version_ = value;
    maxRecordSize_ = value < xvExcel97 ? 2080 : 8224;
    if (value < xvExcel2007) {
        MaxCol = 255;
        MaxRow = 65535;
    } else {
        MaxCol = 16383;
        MaxRow = 1048575;
    }
    sst_.SetMaxRecordSize(maxRecordSize_);
}

TXFont* TXLSWorkbook::Font() { return fonts_.Count() > 0 ? &fonts_.Items(0) : nullptr; }

void TXLSWorkbook::SetFont(const TXFont& font) {
    if (fonts_.Count() > 0) fonts_.Items(0).Assign(font);
}

bool TXLSWorkbook::RecomendReadOnly() const { return fileSharing_.size() > 1 && fileSharing_[0] == 1; }

void TXLSWorkbook::SetRecomendReadOnly(bool value) {
    if (value) {
        if (fileSharing_.size() < 2) fileSharing_.assign(6, 0);
        fileSharing_[0] = 1;
    } else if (fileSharing_.size() > 1) {
        fileSharing_[0] = 0;
        bool allZero = true;
        for (uint8_t b : fileSharing_) allZero = allZero && b == 0;
        if (allZero) fileSharing_.clear();
    }
}

void TXLSWorkbook::LoadOptionsDialog() {
    if (sheets_.Count() == 0) return;
    const TRecordStorageSheet& records = sheets_.Items(0).Records();
    if (const auto mode = records.CalcMode()) optionsDialog_.SetCalcMode(*mode);
    optionsDialog_.SetCalcCount(static_cast<int16_t>(records.CalcCount()));
    optionsDialog_.SetDelta(records.Delta());
    optionsDialog_.SetR1C1Mode(records.R1C1Mode());
    optionsDialog_.SetIteration(records.Iteration());
    optionsDialog_.SetSaveRecalc(records.SaveRecalc());
}

void TXLSWorkbook::StoreOptionsDialog() {
    for (int i = 0; i < sheets_.Count(); ++i) {
        TRecordStorageSheet& records = sheets_.Items(i).Records();
        records.SetCalcMode(optionsDialog_.CalcMode());
        records.SetCalcCount(optionsDialog_.CalcCount());
        records.SetR1C1Mode(optionsDialog_.R1C1Mode());
        records.SetIteration(optionsDialog_.Iteration());
        records.SetSaveRecalc(optionsDialog_.SaveRecalc());
    }
}

void TXLSWorkbook::PrepareWrite() {
    if (version_ == xvExcel21 || version_ == xvExcel30) throw Error("Can not write Excel 2.1/3.0 files");
    if (onProgress_) {
        onProgress_(*this, 0);
        // The sheet writer steps once per 100 cells it writes, so the cells are the total.
        progressCount_ = 0;
        progressTotal_ = 0;
        for (int i = 0; i < sheets_.Count(); ++i) progressTotal_ += sheets_.Items(i).Cells().CellCount();
    }
    StoreOptionsDialog();
}

void TXLSWorkbook::ProgressStep() {
    if (progressTotal_ > 0) {
        const int64_t old = progressCount_;
        progressCount_ += 100;
        const double share = 100.0 / static_cast<double>(progressTotal_);
        // nearbyint rounds halves to the even neighbour in the default rounding mode.
        const auto before = static_cast<int32_t>(std::nearbyint(share * static_cast<double>(old)));
        const auto now = static_cast<int32_t>(std::nearbyint(share * static_cast<double>(progressCount_)));
        if (now != before && onProgress_) onProgress_(*this, now);
    }
    if (onProcessMessages_) onProcessMessages_();
}

int64_t TXLSWorkbook::TruncatedTexts() const {
    int64_t total = 0;
    for (int i = 0; i < sheets_.Count(); ++i) total += sheets_.Items(i).TruncatedTexts();
    return total;
}

void TXLSWorkbook::Write(const TWorkbookWriter& writer) { WriteToStream(writer, nullptr); }

void TXLSWorkbook::WriteToStream(const TWorkbookWriter& writer, std::vector<uint8_t>* stream) {
    PrepareWrite();
    // The counts describe the last write that succeeded; a failed write leaves none.
    SetCutCounts(0, 0);
    writer.WriteWorkbook(*this, stream);
    if (onProgress_) onProgress_(*this, 100);
}

}  // namespace quarvel
