#include "converter/SheetBuilder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <queue>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "converter/Csv.h"
#include "converter/Fields.h"
#include "converter/Settings.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "workbook/CellAreas.h"
#include "workbook/CellStorage.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XLSWriter.h"
#include "writer/XLSXWriter.h"

namespace quarvel {

namespace {

// Thin borders in one colour on the four edges of a cell or of a range, in the order the builder
// has always set them: the four styles, then the four colours.
template <class Target>
void SetThinBorders(Target& target, TExcelColor colour) {
    target.SetBorderTopStyle(cbsThin);
    target.SetBorderLeftStyle(cbsThin);
    target.SetBorderRightStyle(cbsThin);
    target.SetBorderBottomStyle(cbsThin);
    target.SetBorderTopColor(colour);
    target.SetBorderLeftColor(colour);
    target.SetBorderRightColor(colour);
    target.SetBorderBottomColor(colour);
}

// A line is bordered unless LineColors marks it white; a line beyond the list is bordered.
bool LineBordered(const TConverter& converter, int64_t line) {
    return line < 0 || line >= static_cast<int64_t>(converter.LineColors.size()) ||
           converter.LineColors[static_cast<size_t>(line)] != xcWhite;
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Keeps merged areas apart: an area that overlaps one accepted before it is refused. The areas
// come in the order of their first rows (the flattener finds them line by line), so the accepted
// areas that reach down to a new area's first row all hold that row and are apart in their
// columns: one ordered map of their column ranges answers each check. Should an area start above
// the one before it, every later check goes through all accepted areas.
class TMergedAreaGuard {
public:
    bool Accept(int32_t col1, int32_t row1, int32_t col2, int32_t row2) {
        if (!inOrder_ || row1 < lastRow1_) {
            inOrder_ = false;
            for (const TArea& area : all_) {
                if (area.Col1 <= col2 && col1 <= area.Col2 && area.Row1 <= row2 && row1 <= area.Row2) return false;
            }
            all_.push_back({col1, row1, col2, row2});
            return true;
        }
        lastRow1_ = row1;
        while (!ends_.empty() && ends_.top().first < row1) {
            reaching_.erase(ends_.top().second);
            ends_.pop();
        }
        auto after = reaching_.upper_bound(col2);
        if (after != reaching_.begin() && std::prev(after)->second >= col1) return false;
        reaching_.emplace(col1, col2);
        ends_.emplace(row2, col1);
        all_.push_back({col1, row1, col2, row2});
        return true;
    }

private:
    struct TArea {
        int32_t Col1, Row1, Col2, Row2;
    };
    std::vector<TArea> all_;
    std::map<int32_t, int32_t> reaching_;  // first column -> last column of the areas holding lastRow1_
    std::priority_queue<std::pair<int32_t, int32_t>, std::vector<std::pair<int32_t, int32_t>>, std::greater<>> ends_;
    int32_t lastRow1_ = INT32_MIN;
    bool inOrder_ = true;
};

class TSheetFiller {
public:
    TSheetFiller(TConverter& converter, TSheet& sheet, bool reuseFormats)
        : converter_(converter),
          sheet_(sheet),
          settings_(converter.Settings),
          locale_(LocaleSettings(converter.Locale, CurrentYear())),
          divider_(static_cast<char16_t>(StrToInt(SeparatorCode(settings_.FieldDivider)))),
          wrap_(StrToInt(settings_.WrapWidth)),
          colour_(ColorToExcelColor(settings_.BorderColor)),
          // A colour outside the palette's standard sixteen converts to white, which draws no
          // borders, just as white itself does.
          borders_(colour_ != xcWhite),
          reuseFormats_(reuseFormats) {}

    TConversionReport Fill() {
        sheet_.SetName(kBuilderSheetName);
        FillCells();
        SetColumnWidths();
        SetRowHeights();
        MergeSpans();
        GroupRows();
        sheet_.SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols);
        return LeftOut();
    }

private:
    // One row per line, one cell per field; empty lines stay empty rows.
    void FillCells() {
        // The fields are cut as views into the line (the same cuts SplitFields makes); Fields gets
        // the last line's fields at the end, as if every line had been split into it.
        std::vector<std::u16string_view>& fields = views_;
        const WideString* lastLine = nullptr;
        const auto sheetRows = static_cast<size_t>(std::min<int64_t>(MaxRow, TCellStorage::RowCount - 1));
        const auto sheetColumns = static_cast<size_t>(std::min<int64_t>(int64_t(MaxCol) + 1, TCellStorage::ColumnCount));
        for (size_t i = 0; i < converter_.Lines.size(); ++i) {
            const WideString& line = converter_.Lines[i];
            if (line.empty()) continue;
            lastLine = &line;
            // Fields beyond the sheet's last column are only counted.
            const size_t fieldCount = CutFields(line, fields, sheetColumns);
            if (fieldCount > widths_.size()) widths_.resize(fieldCount, 0);
            allFields_ = std::max(allFields_, fieldCount);
            // Cells go into the sheet as far as it reaches (MaxRow, MaxCol); lines and fields
            // beyond it are left out here and counted.
            const bool storable = i <= static_cast<size_t>(sheetRows);
            if (!storable) ++rowsUnstored_;
            const bool bordered = borders_ && LineBordered(converter_, static_cast<int64_t>(i));
            const auto row = static_cast<int32_t>(std::min<size_t>(i, INT32_MAX));
            // Every field of the line becomes a cell, so the row's blocks are made in one step.
            if (storable) sheet_.Cells().ReserveRow(row, static_cast<int32_t>(fields.size()) - 1);
            int64_t rowLines = 0;  // lines the row's wrapping cells need
            for (size_t j = 0; j < fields.size(); ++j) {
                const std::u16string_view field = fields[j];
                // The column's running width: the longest value so far, at most the wrap width.
                const auto length = static_cast<int64_t>(field.size());
                if (length > widths_[j]) widths_[j] = length > wrap_ ? wrap_ : ClampToInt32(length);
                if (!storable) continue;
                // Once a column has held a value as long as the wrap width, this cell and every
                // later cell of the column wrap; the cells above do not. A cell that holds a line
                // break wraps too, or the break would not show.
                const size_t breaks = converter_.CsvQuote != 0 ? CountUnit(field, u'\n') : 0;
                const bool wrap = widths_[j] >= wrap_ || breaks > 0;
                WriteCell(static_cast<int32_t>(j), row, field, bordered, wrap);
                if (wrap) {
                    // As many lines as the text needs at the column's width, and one per break.
                    const int64_t width = std::max<int64_t>(widths_[j], 1);
                    rowLines = std::max<int64_t>(rowLines, (length + width - 1) / width + static_cast<int64_t>(breaks));
                }
            }
            if (rowLines > 0) wrappedRows_.emplace_back(row, rowLines);
        }
        if (lastLine) converter_.SplitFields(*lastLine, divider_);
    }

    // The first `limit` fields of a line, as SplitFields cuts them (at every divider, the text
    // after the last one being the last field); returns how many fields the line has.
    size_t CutFields(std::u16string_view line, std::vector<std::u16string_view>& fields, size_t limit) {
        if (converter_.CsvQuote != 0) return CutQuotedFields(line, divider_, converter_.CsvQuote, fields, unquoted_, limit);
        fields.clear();
        size_t start = 0;
        for (;;) {
            // The field after the last divider cut so far, and one more after each divider left.
            if (fields.size() == limit) return limit + 1 + CountUnit(line, divider_, start);
            const size_t end = FindUnit(line, divider_, start);
            if (end == std::u16string_view::npos) {
                fields.push_back(line.substr(start));
                return fields.size();
            }
            fields.push_back(line.substr(start, end - start));
            start = end + 1;
        }
    }

    void WriteCell(int32_t col, int32_t row, std::u16string_view field, bool bordered, bool wrap) {
        TCell* cell = nullptr;
        const TFieldKind kind = ClassifyField(field, locale_, value_);
        // A date-time is stored as SetAsDateTime stores it: the number, then the locale's format
        // for it (below, where it can be passed by), which the mirrored one replaces.
        const WideString* datePattern = nullptr;
        switch (kind) {
            case fkNumber:
                sheet_.SetAsFloat(col, row, value_.Number);
                break;
            case fkDateTime:
                sheet_.SetAsFloat(col, row, value_.DateTime);
                datePattern = sheet_.DateTimePattern(value_.DateTime);
                break;
            default:
                text_.assign(field);
                sheet_.SetAsWideString(col, row, text_);
                break;
        }
        cell = sheet_.Cell(col, row);
        TFormatChain* chain = nullptr;
        if (reuseFormats_) {
            chain = &FindChain(*cell, kind == fkText ? nullptr : &value_.FormatCode, bordered, wrap);
            if (chain->Final) {
                // Find answers the same while the list has not changed since it was last asked.
                TCellFormats& formats = cell->Formats();
                if (chain->FoundAt != formats.Changes()) {
                    chain->Position = formats.Find(*chain->Final);
                    chain->FoundAt = formats.Changes();
                }
                const int position = chain->Position;
                if (position >= 0 && (!datePattern || PassDatePattern(*cell, *chain->Final, *datePattern))) {
                    cell->SetFormatIndex(static_cast<uint16_t>(position));
                    return;
                }
            }
        }
        if (datePattern) cell->SetNumberFormat(*datePattern);
        if (kind != fkText) cell->SetNumberFormat(value_.FormatCode);
        if (bordered) SetThinBorders(*cell, colour_);
        if (wrap) cell->SetFormatOptions(foWrapText);
        cell->SetVertAlignment(vaCentered);
        if (chain) chain->Final = std::make_unique<TCellFormat>(nullptr, cell->Format());
    }

    // The locale's format of a date would be made on the cell's format and dropped again when the
    // cell moves to `final`: only its traces are left (see PassNumberFormat). That takes a start
    // on a permanent format (the default ones) and a final format that differs from the start in
    // more than the number format, so that the move never lands on the format that was passed by.
    static bool PassDatePattern(TCell& cell, const TCellFormat& final, const WideString& pattern) {
        TCellFormat::TBody start = cell.Format().Body(), end = final.Body();
        start[2] = start[3] = end[2] = end[3] = 0;
        if (start == end) return false;
        return cell.PassNumberFormat(pattern);
    }

    // The setters above take a cell from the format it starts on to one that depends only on that
    // format (less its number format, when one is set), the number format, the borders and the
    // wrap. Run once for each such start, they leave every format and number format of the list
    // where a later cell of the same start would leave them; that cell only has to move to the
    // format the first one ended on. (A date's own first format, with the locale's number format,
    // is not made again: what making and dropping it leaves behind, the number format id it
    // spends, is left behind all the same.)
    struct TFormatChain {
        TCellFormat::TBody Start;
        bool Bordered;
        bool Wrap;
        std::unique_ptr<TCellFormat> Final;  // a copy outside the list, holding no references
        int Position = -1;                   // where Find found Final ...
        uint64_t FoundAt = UINT64_MAX;       // ... when the list's Changes() were this
    };

    TFormatChain& FindChain(const TCell& cell, const WideString* numberFormat, bool bordered, bool wrap) {
        TCellFormat::TBody start = cell.Format().Body();
        std::vector<TFormatChain>* chains = &textChains_;
        if (numberFormat) {
            start[2] = start[3] = 0;  // replaced by the number format set
            auto found = numberChains_.find(*numberFormat);
            if (found == numberChains_.end()) found = numberChains_.emplace(*numberFormat, std::vector<TFormatChain>()).first;
            chains = &found->second;
        }
        for (TFormatChain& chain : *chains) {
            if (chain.Start == start && chain.Bordered == bordered && chain.Wrap == wrap) return chain;
        }
        chains->push_back({start, bordered, wrap, nullptr, -1, UINT64_MAX});
        return chains->back();
    }

    // Each column one character wider than its longest value (at most 255), so that the value is
    // not clipped; a width of 256 or more, or below 0, is refused, as the sheet cannot hold it.
    void SetColumnWidths() {
        TXLSColumns& columns = sheet_.Columns();
        const int count = static_cast<int>(std::min<size_t>(widths_.size(), TXLSColumns::SlotCount));
        columns.EnsureColumns(0, count);
        for (int j = 0; j < count; ++j) {
            const int32_t width = widths_[static_cast<size_t>(j)];
            columns.Items(j)->SetWidth(width < 0 || width >= 256 ? width : std::min(width + 1, 255));
        }
    }

    // A row with wrapping cells is as high as their lines need: 255 twentieths of a point a line,
    // at most 8,190, marked as a height of its own.
    void SetRowHeights() {
        TXLSRows& rows = sheet_.Rows();
        for (const auto& [row, lines] : wrappedRows_) {
            TXLSRow& entry = rows.Add(row);
            entry.SetHeight(static_cast<uint16_t>(std::min<int64_t>(lines * kLineHeight, kMaxRowHeight)));
            entry.SetOptions(entry.Options() | TXLSRow::CustomHeight);
        }
    }

    static constexpr int64_t kLineHeight = 255;
    static constexpr int64_t kMaxRowHeight = 8190;

    // Span records become merged areas: the header record (Col2 < 0) across every column, a
    // caption record (Col2 = 0) as wide as the next non-empty line and centred.
    void MergeSpans() {
        for (TSpanRecord& span : converter_.SpanList) {
            bool centre = false;
            if (span.Col2 < 0) {
                span.Col2 = ClampToInt32(static_cast<int64_t>(widths_.size()));
            } else if (span.Col2 == 0) {
                for (size_t k = static_cast<size_t>(std::max(span.Row2, 0)); k < converter_.Lines.size(); ++k) {
                    if (converter_.Lines[k].empty()) continue;
                    converter_.SplitFields(converter_.Lines[k], divider_);
                    span.Col2 = ClampToInt32(static_cast<int64_t>(converter_.Fields.size()));
                    centre = true;
                    break;
                }
            }
            if (span.Col2 <= 0) continue;
            int32_t col1 = span.Col1 - 1, row1 = span.Row1 - 1, col2 = span.Col2 - 1, row2 = span.Row2 - 1;
            // An area wholly beyond the sheet merges nothing: its cells are left out with the rest
            // of the rows and columns the sheet cannot hold. One reaching beyond it is merged as far
            // as the sheet goes, so that the merged area is one the file can hold.
            if (!ClipToSheet(col1, row1, col2, row2)) continue;
            NormalizeArea(col1, row1, col2, row2);
            // Overlapping merged areas make a damaged file: the later one is left out.
            if (!mergedAreas_.Accept(col1, row1, col2, row2)) {
                ++mergesDropped_;
                continue;
            }
            sheet_.MergedCells().AddArea(static_cast<uint32_t>(col1), static_cast<uint32_t>(row1),
                                         static_cast<uint32_t>(col2), static_cast<uint32_t>(row2));
            if (borders_ && LineBordered(converter_, static_cast<int64_t>(span.Row1) - 1)) {
                SetThinBorders(sheet_.Range().Area(col1, row1, col2, row2), colour_);
            }
            if (centre) sheet_.Range().Area(col1, row1, col2, row2).SetHorizAlignment(haCentered);
        }
    }

    // At level k a line whose k-th field is filled is a heading; the lines after it, up to the next
    // line that fills any of the first k fields, are grouped under it one level deeper, collapsed.
    void GroupRows() {
        if (settings_.GroupLevels == "0") return;
        const int32_t levels = StrToInt(settings_.GroupLevels);
        const int64_t first = static_cast<int64_t>(StrToInt(settings_.StartDataRow)) - 1;
        const auto count = static_cast<int64_t>(converter_.Lines.size());
        std::vector<int64_t> last(static_cast<size_t>(std::max(levels, 0)), -1);
        auto group = [&](int64_t from, int64_t to) {
            sheet_.GroupRows(ClampToInt32(from), ClampToInt32(to), true);
        };
        for (int64_t i = std::max<int64_t>(first, 0); i < count; ++i) {
            const WideString& line = converter_.Lines[static_cast<size_t>(i)];
            if (line.empty()) continue;
            converter_.SplitFields(line, divider_);
            const std::vector<WideString>& fields = converter_.Fields;
            if (fields.size() < last.size()) continue;
            bool keyFilled = false;
            for (size_t k = 0; k < last.size(); ++k) {
                keyFilled = keyFilled || !fields[k].empty();
                if (!keyFilled) continue;
                if (last[k] >= 0) {
                    if (i - 1 > last[k]) group(last[k] + 1, i - 1);
                    last[k] = -1;
                }
                if (!fields[k].empty()) last[k] = i;
            }
        }
        for (int64_t opened : last) {
            if (opened >= 0 && count - 1 > opened) group(opened + 1, count - 1);
        }
    }

    // What the builder left out (lines and fields beyond the sheet), and the texts the sheet cut.
    TConversionReport LeftOut() const {
        const auto sheetColumns = static_cast<size_t>(MaxCol) + 1;
        TConversionReport report;
        report.RowsCut = static_cast<int>(std::min<int64_t>(rowsUnstored_, INT_MAX));
        report.ColsCut = static_cast<int>(std::min<size_t>(allFields_ > sheetColumns ? allFields_ - sheetColumns : 0, INT_MAX));
        report.TextsCut = static_cast<int>(std::min<int64_t>(sheet_.TruncatedTexts(), INT_MAX));
        report.MergesDropped = static_cast<int>(std::min<int64_t>(mergesDropped_, INT_MAX));
        return report;
    }

    TConverter& converter_;
    TSheet& sheet_;
    const TConversionSettings& settings_;
    const TLocaleSettings locale_;
    const char16_t divider_;
    const int32_t wrap_;
    const TExcelColor colour_;
    const bool borders_;
    const bool reuseFormats_;
    std::vector<int32_t> widths_;
    std::vector<std::u16string_view> views_;
    WideString unquoted_;  // quoted fields of the line being filled, where they had to be rebuilt
    WideString text_;
    TFieldValue value_;
    std::vector<TFormatChain> textChains_;
    // Format codes compared as bytes: this lookup runs for every number and date.
    struct TSameCode {
        bool operator()(const WideString& a, const WideString& b) const {
            return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
        }
    };
    std::unordered_map<WideString, std::vector<TFormatChain>, std::hash<WideString>, TSameCode> numberChains_;
    size_t allFields_ = 0;  // most fields of any line
    std::vector<std::pair<int32_t, int64_t>> wrappedRows_;  // rows with wrapping cells: lines they need
    TMergedAreaGuard mergedAreas_;
    int64_t mergesDropped_ = 0;
    int64_t rowsUnstored_ = 0;
};

// The model names files in UTF-16 and the writer turns the name into UTF-8 bytes. A path whose
// bytes are not UTF-8 would not survive that trip, so such a target is written from memory under
// its own bytes instead.
void WriteWorkbookFile(TXLSWorkbook& workbook, const std::string& targetFile, const TWorkbookWriter& writer) {
    const WideString name = Utf8ToUtf16(targetFile);
    workbook.SetFilename(name);
    if (Utf16ToUtf8(name) == targetFile) {
        workbook.Write(writer);
        return;
    }
    std::vector<uint8_t> bytes;
    workbook.WriteToStream(writer, &bytes);
    WriteFileAtomic(targetFile, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The sheet limits of one conversion's format, in force while its sheet is filled and written; the
// limits before it (those of BIFF8, which every new workbook sets) come back afterwards, also when
// the conversion fails, so that a later conversion to .xls gets its own.
class TSheetLimitsScope {
public:
    TSheetLimitsScope() : col_(MaxCol), row_(MaxRow) {}
    ~TSheetLimitsScope() {
        MaxCol = col_;
        MaxRow = row_;
    }
    TSheetLimitsScope(const TSheetLimitsScope&) = delete;
    TSheetLimitsScope& operator=(const TSheetLimitsScope&) = delete;

private:
    int32_t col_, row_;
};

int AddCounts(int builder, int64_t writer) {
    return static_cast<int>(std::min<int64_t>(static_cast<int64_t>(builder) + writer, INT_MAX));
}

}  // namespace

TConversionReport FillWorkbook(TConverter& converter, TXLSWorkbook& workbook, bool reuseFormats) {
    CheckWorkbookSettings(converter.Settings);
    return TSheetFiller(converter, workbook.Sheets()[0], reuseFormats).Fill();
}

TConversionReport BuildWorkbook(TConverter& converter, const std::string& targetFile) {
    CheckWorkbookSettings(converter.Settings);
    const TSheetLimitsScope limits;
    const bool xlsx = IsXlsxTarget(targetFile);
    // Every conversion starts from a fresh workbook with the stored values, so nothing of an
    // earlier conversion reaches this file.
    auto workbook = std::make_unique<TXLSWorkbook>(converter.Locale);
    workbook->ApplyStoredValues();
    // The sheet limits are those of the format written (1,048,576 rows of 16,384 columns for
    // .xlsx), set before the sheet is filled: the builder stores cells within them and counts the
    // rest.
    if (xlsx) workbook->SetVersion(xvExcel2007);
    TConversionReport report = FillWorkbook(converter, *workbook);
    if (xlsx) {
        WriteWorkbookFile(*workbook, targetFile, TXlsxWriter());
    } else {
        WriteWorkbookFile(*workbook, targetFile, TBIFF8Writer());
    }
    report.RowsCut = AddCounts(report.RowsCut, workbook->RowsCut());
    report.ColsCut = AddCounts(report.ColsCut, workbook->ColsCut());
    // Written: when the process ends now, its end gives the memory back all at once.
    if (converter.EndsProcess) static_cast<void>(workbook.release());
    return report;
}

}  // namespace quarvel
