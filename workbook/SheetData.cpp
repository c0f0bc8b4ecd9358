#include "workbook/SheetData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "biff/SST.h"
#include "platform/Text.h"
#include "platform/UnicodeCase.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {

namespace {

WideString Ascii(const std::string& text) { return WideString(text.begin(), text.end()); }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The runtime's short time format with its AM/PM placeholder ("ampm" in any case) written as the
// two-part designator: "h:mm AMPM" becomes "h:mm AM/PM".
WideString TimePattern(const WideString& shortTime) {
    for (size_t p = 0; p + 4 <= shortTime.size(); ++p) {
        if (SameTextIgnoringCase(std::u16string_view(shortTime).substr(p, 4), u"AMPM"))
            return shortTime.substr(0, p + 2) + u"/" + shortTime.substr(p + 2);
    }
    return shortTime;
}

// The general decimal form of a number: at most 15 significant digits, an exponent only for very
// large or small magnitudes ("1E20", "1.5E-7").
WideString GeneralFloatText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15G", value);
    std::string s = text;
    const size_t e = s.find('E');
    if (e != std::string::npos) {
        // "1.5E-07" -> "1.5E-7", "1E+20" -> "1E20".
        std::string exponent = s.substr(e + 1);
        std::string sign;
        if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
            if (exponent[0] == '-') sign = "-";
            exponent.erase(0, 1);
        }
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        s = s.substr(0, e + 1) + sign + exponent;
    }
    return Ascii(s);
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// TPrintSettings

TPrintSettings::TPrintSettings(TRecordStorageSheet& records) : records_(records) {
    SetStartingPage(1);
    SetOptions(psoPortrait);
}

void TPrintSettings::Assign(const TPrintSettings& other) {
    if (&other == this) return;
    header_ = other.header_;
    footer_ = other.footer_;
    marginLeft_ = other.marginLeft_;
    marginRight_ = other.marginRight_;
    marginTop_ = other.marginTop_;
    marginBottom_ = other.marginBottom_;
    horizPagebreaks_ = other.horizPagebreaks_;
    vertPagebreaks_ = other.vertPagebreaks_;
}

THorizPagebreak& TPrintSettings::AddHorizPagebreak(int32_t row) {
    return horizPagebreaks_.emplace_back(THorizPagebreak{row, 0, MaxCol});
}

TVertPagebreak& TPrintSettings::AddVertPagebreak(int32_t col) {
    return vertPagebreaks_.emplace_back(TVertPagebreak{col, 0, MaxRow});
}

// -------------------------------------------------------------------------------------------------
// TSelectedAreas

TSelectedAreas::TSelectedAreas(TSheet* owner) : TCellAreas(owner) { AddArea(0, 0, 0, 0); }

// -------------------------------------------------------------------------------------------------
// TBasicSheet

int TBasicSheet::Index() const { return collection_.IndexOf(*this); }

void TBasicSheet::SetName(const WideString& value) {
    if (SameTextIgnoringCase(value, name_)) return;
    for (int i = 0; i < collection_.Count(); ++i) {
        const TSheet& other = collection_.Items(i);
        if (&other != this && SameTextIgnoringCase(other.Name(), value))
            throw Error("Sheet name \"" + Utf16ToUtf8(value) + "\" allready exists");
    }
    name_ = value;
}

// -------------------------------------------------------------------------------------------------
// TSheet

TSheet::TSheet(TSheets& collection, int32_t id, TXLSWorkbook& workbook)
    : TBasicSheet(collection, id),
      workbook_(workbook),
      formats_(workbook.Formats()),
      cells_(workbook.CellValuesList().Add()),
      printSettings_(records_),
      mergedCells_(this),
      columns_(formats_),
      rows_(formats_),
      selection_(records_),
      selectedAreas_(this),
      range_(cells_, mergedCells_, formats_,
             [this](int32_t col, int32_t row) { return GetDefaultFormat(col, row); }) {
    columns_.SetOnFormatChange([this](TFormattedObjectNotify&, TCellFormat& format, int32_t index) {
        ColumnFormatChanged(format, index);
    });
    rows_.SetOnFormatChange([this](TFormattedObjectNotify&, TCellFormat& format, int32_t index) {
        RowFormatChanged(format, index);
    });
    printSettings_.SetPaperSize(workbook.DefaultPaperSize());
    StoreName(u"Sheet" + Ascii(std::to_string(int64_t(id) + 1)));
}

TSheet::~TSheet() = default;

void TSheet::Assign(const TSheet& other) {
    if (&other == this) return;
    SetDefaultColWidth(other.DefaultColWidth());
    SetDefaultRowHeight(other.DefaultRowHeight());
    SetOptions(other.Options());
    SetWorkspaceOptions(other.WorkspaceOptions());
    SetSheetProtection(other.SheetProtection());
    SetZoom(other.Zoom());
    SetZoomPreview(other.ZoomPreview());
    SetRecalcFormulas(other.RecalcFormulas());
    SetHidden(other.Hidden());
    printSettings_.Assign(other.printSettings_);
    mergedCells_.Assign(other.mergedCells_);
}

// The used area as DIMENSIONS holds it: first row, last row + 1, first column, last column + 1. An
// area whose last lies before its first (a store whose cells were all deleted reports first column
// 255, first row 65535 and 0 for both lasts) is written as the empty range at its first.
void TSheet::StoreDimensions() {
    const uint16_t firstCol = firstCol_ > 255 ? 255 : static_cast<uint16_t>(firstCol_);
    const uint16_t lastColPlus1 =
        lastCol_ >= firstCol_ && firstCol_ <= 255 ? static_cast<uint16_t>(std::min(lastCol_ + 1, 0xFFFF)) : firstCol;
    const uint32_t firstRow = firstRow_ > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(firstRow_);
    const uint32_t lastRowPlus1 = lastRow_ >= firstRow_ && firstRow_ <= 0xFFFF ? static_cast<uint32_t>(lastRow_) + 1 : firstRow;
    records_.SetDimensions(firstRow, lastRowPlus1, firstCol, lastColPlus1);
}

void TSheet::SetFirstCol(int32_t value) {
    firstCol_ = value;
    StoreDimensions();
}

void TSheet::SetLastCol(int32_t value) {
    lastCol_ = value;
    StoreDimensions();
}

void TSheet::SetFirstRow(int32_t value) {
    firstRow_ = value;
    StoreDimensions();
}

void TSheet::SetLastRow(int32_t value) {
    lastRow_ = value;
    StoreDimensions();
}

void TSheet::CalcDimensions() {
    cells_.CalcDimensions();
    SetFirstCol(cells_.FirstCol());
    SetLastCol(cells_.LastCol());
    SetFirstRow(cells_.FirstRow());
    SetLastRow(cells_.LastRow());
}

void TSheet::GroupRows(int32_t first, int32_t last, bool collapsed) {
    rows_.GroupRows(first, last, collapsed, records_.GutsBody());
}

TCellType TSheet::CellType(int32_t col, int32_t row) {
    TCell* cell = cells_.GetCell(col, row);
    return cell ? cell->CellType() : ctNone;
}

double TSheet::AsFloat(int32_t col, int32_t row) {
    TCell* cell = cells_.GetCell(col, row);
    return cell && cell->CellType() == ctFloat ? static_cast<TFloatCell*>(cell)->Value() : 0.0;
}

uint16_t TSheet::GetDefaultFormat(int32_t col, int32_t row) {
    TCellFormat* format = nullptr;
    if (col >= 0 && col < TXLSColumns::SlotCount) {
        if (TXLSColumn* column = columns_.Items(col); column && column->FormatIndex() != 15)
            format = &column->Format();
    }
    if (!format) {
        if (TXLSRow* line = rows_.Find(row); line && line->FormatIndex() != 15) format = &line->Format();
    }
    if (!format) return TCellFormats::DefaultCellFormat;
    // Also for a permanent format, whose count nothing reads.
    format->SetRefCount(format->RefCount() + 1);
    return static_cast<uint16_t>(format->Index());
}

template <class C, class... Args>
std::unique_ptr<C> TSheet::NewCell(int32_t col, int32_t row, Args&&... args) {
    TCellStorage::CheckAddress(col, row);
    const uint16_t position = GetDefaultFormat(col, row);
    try {
        return std::make_unique<C>(formats_, col, row, std::forward<Args>(args)..., position);
    } catch (...) {
        // The reference taken for the cell that could not be made.
        TCellFormat& format = formats_.Items(position);
        format.SetRefCount(format.RefCount() - 1);
        if (position >= formats_.FixedCount() && format.RefCount() <= 0) formats_.Delete(position);
        throw;
    }
}

void TSheet::SetAsFloat(int32_t col, int32_t row, double value) {
    cells_.SetCell(col, row, NewCell<TFloatCell>(col, row, value));
}

void TSheet::SetAsWideString(int32_t col, int32_t row, const WideString& text) {
    auto cell = NewCell<TStringCell>(col, row, nullptr);
    TSST2& strings = *cells_.Strings();
    if (text.size() > MaxTextLength) {
        size_t length = MaxTextLength;
        if (IsHighSurrogate(text[length - 1])) --length;
        cell->SetStringEntry(strings.AddString(text.substr(0, length)));
        ++truncatedTexts_;
    } else {
        cell->SetStringEntry(strings.AddString(text));
    }
    cells_.SetCell(col, row, std::move(cell));
}

void TSheet::SetAsDateTime(int32_t col, int32_t row, double x) {
    SetAsFloat(col, row, x);
    if (const WideString* format = DateTimePattern(x)) cells_.GetCell(col, row)->SetNumberFormat(*format);
}

const WideString* TSheet::DateTimePattern(double x) {
    const TLocaleInfo& locale = workbook_.Locale();
    const double whole = std::trunc(x);
    const double fraction = x - whole;
    // The patterns are made once for the locale's formats, not for every cell.
    // Compared as bytes: this runs for every date.
    auto same = [](const WideString& a, const WideString& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
    };
    if (!patternsMade_ || !same(patternsDate_, locale.ShortDateFormat) || !same(patternsTime_, locale.ShortTimeFormat)) {
        patternsMade_ = true;
        patternsDate_ = locale.ShortDateFormat;
        patternsTime_ = locale.ShortTimeFormat;
        timePattern_ = TimePattern(locale.ShortTimeFormat);
        dateTimePattern_ = locale.ShortDateFormat + u" " + timePattern_;
    }
    if (whole > 0 && fraction > 0) return &dateTimePattern_;
    if (whole > 0 && fraction == 0) return &locale.ShortDateFormat;
    if (whole <= 0 && fraction > 0) return &timePattern_;
    return nullptr;
}

WideString TSheet::AsString(int32_t col, int32_t row) {
    TCell* cell = cells_.GetCell(col, row);
    if (!cell) return WideString();
    switch (cell->CellType()) {
        case ctString: return TSST2::GetString(static_cast<TStringCell*>(cell)->StringEntry());
        case ctFloat: return GeneralFloatText(static_cast<TFloatCell*>(cell)->Value());
        default: return WideString();
    }
}

void TSheet::DeleteCell(int32_t col, int32_t row) {
    try {
        TCell* cell = cells_.GetCell(col, row);
        if (!cell) return;
        if (cell->CellType() == ctString) {
            auto* text = static_cast<TStringCell*>(cell);
            cells_.Strings()->ReleaseString(text->StringEntry());
            // The entry may be gone now; the cell must not hand it back a second time.
            text->SetStringEntry(nullptr);
        }
        cells_.DeleteStoredCell(col, row);
    } catch (const std::exception&) {
        throw Error("Error on deleting cell " + std::to_string(col) + ":" + std::to_string(row));
    }
}

void TSheet::ColumnFormatChanged(TCellFormat& format, int32_t col) {
    for (int32_t row = firstRow_; row <= lastRow_; ++row)
        if (TCell* cell = cells_.GetCell(col, row)) cell->AssignFormat(format);
}

void TSheet::RowFormatChanged(TCellFormat& format, int32_t row) {
    for (int32_t col = firstCol_; col <= lastCol_; ++col)
        if (TCell* cell = cells_.GetCell(col, row)) cell->AssignFormat(format);
}

// -------------------------------------------------------------------------------------------------
// TSheets

TSheets::~TSheets() = default;

TSheet& TSheets::Add(uint8_t sheetType) {
    items_.push_back(std::make_unique<TSheet>(*this, nextId_, workbook_));
    ++nextId_;
    TSheet& sheet = *items_.back();
    sheet.SetSheetType(sheetType);
    return sheet;
}

TSheet& TSheets::Items(int i) const {
    if (i < 0 || i >= Count()) throw ListIndexError(i);
    return *items_[static_cast<size_t>(i)];
}

int TSheets::IndexOf(const TBasicSheet& sheet) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == &sheet) return static_cast<int>(i);
    return -1;
}

void TSheets::Delete(int i) {
    Items(i);  // range check
    items_.erase(items_.begin() + i);
}

void TSheets::Clear() { items_.clear(); }

TSheet* TSheets::SheetByName(const WideString& text) const {
    for (const auto& sheet : items_)
        if (SameTextIgnoringCase(sheet->Name(), text)) return sheet.get();
    return nullptr;
}

}  // namespace quarvel
