// Helpers of the converter tests: running the program and the independent readers, and comparing
// what a reader saw with the sheet the conversion meant to write.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "converter/Converter.h"
#include "converter/SheetBuilder.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "tests/platform/PlatformSupport.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel::test {

// Runs a shell command; the status and what it printed on stdout (stderr is dropped unless the
// command redirects it).
inline std::pair<int, std::string> Shell(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    char buffer[65536];
    size_t n;
    while ((n = ::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// ---------------------------------------------------------------------------------------------
// What xls_sheet.py prints, parsed.

struct TSheetCell {
    std::string Kind;  // text, number (xlrd's date included) or blank
    WideString Text;
    double Number = 0;
    WideString Format;
    std::string Borders;  // "TLRB:t,l,r,b" line styles and colour indexes
    int Wrap = 0, Vert = 0, Horiz = 0;
    bool operator==(const TSheetCell&) const = default;
};

struct TSheetView {
    std::string Error;  // what a reader said when it refused the file
    std::vector<std::string> Lines;
    std::string Container;
    WideString Name;
    int Rows = 0, Cols = 0;
    std::vector<std::array<int, 4>> Merged;           // first row, last row, first col, last col
    std::map<int, int> ColumnWidths;                  // COLINFO columns
    std::map<int, std::pair<int, int>> Outline;       // row: level, hidden
    std::map<std::pair<int, int>, TSheetCell> Cells;  // (row, col)

    bool HasLine(const std::string& line) const {
        for (const std::string& l : Lines)
            if (l == line) return true;
        return false;
    }
};

// Reads a JSON string starting at text[pos] (the opening quote); leaves pos after it.
inline WideString ParseJsonString(const std::string& text, size_t& pos) {
    WideString out;
    if (pos >= text.size() || text[pos] != '"') throw std::runtime_error("no string at " + std::to_string(pos));
    ++pos;
    while (pos < text.size() && text[pos] != '"') {
        char c = text[pos++];
        if (c != '\\') {
            out += static_cast<char16_t>(static_cast<unsigned char>(c));
            continue;
        }
        c = text[pos++];
        switch (c) {
            case 'n': out += u'\n'; break;
            case 'r': out += u'\r'; break;
            case 't': out += u'\t'; break;
            case 'b': out += u'\b'; break;
            case 'f': out += u'\f'; break;
            case 'u':
                out += static_cast<char16_t>(std::stoi(text.substr(pos, 4), nullptr, 16));
                pos += 4;
                break;
            default: out += static_cast<char16_t>(c); break;
        }
    }
    ++pos;
    return out;
}

inline TSheetView ParseSheetView(const std::string& output) {
    TSheetView view;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        view.Lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string& line : view.Lines) {
        if (line.rfind("container ", 0) == 0) {
            view.Container = line.substr(10);
        } else if (line.rfind("sheet ", 0) == 0) {
            size_t pos = 6;
            view.Name = ParseJsonString(line, pos);
            std::sscanf(line.c_str() + pos, " rows=%d cols=%d", &view.Rows, &view.Cols);
        } else if (line.rfind("merged ", 0) == 0) {
            std::array<int, 4> area{};
            std::sscanf(line.c_str(), "merged %d %d %d %d", &area[0], &area[1], &area[2], &area[3]);
            view.Merged.push_back(area);
        } else if (line.rfind("col ", 0) == 0) {
            int col = 0, width = 0, hidden = 0;
            std::sscanf(line.c_str(), "col %d width=%d hidden=%d", &col, &width, &hidden);
            view.ColumnWidths[col] = width;
        } else if (line.rfind("row ", 0) == 0) {
            int row = 0, level = 0, hidden = 0;
            std::sscanf(line.c_str(), "row %d level=%d hidden=%d", &row, &level, &hidden);
            view.Outline[row] = {level, hidden};
        } else if (line.rfind("cell ", 0) == 0) {
            int row = 0, col = 0, consumed = 0;
            char kind[16] = {};
            std::sscanf(line.c_str(), "cell %d %d %15s %n", &row, &col, kind, &consumed);
            TSheetCell cell;
            cell.Kind = kind;
            if (cell.Kind == "date") cell.Kind = "number";
            size_t pos = static_cast<size_t>(consumed);
            if (line[pos] == '"') {
                cell.Text = ParseJsonString(line, pos);
            } else {
                size_t used = 0;
                cell.Number = std::stod(line.substr(pos), &used);
                pos += used;
            }
            pos = line.find(" fmt=", pos) + 5;
            cell.Format = ParseJsonString(line, pos);
            char borders[64] = {};
            std::sscanf(line.c_str() + pos, " b=%63s wrap=%d v=%d h=%d", borders, &cell.Wrap, &cell.Vert, &cell.Horiz);
            cell.Borders = borders;
            view.Cells[{row, col}] = cell;
        } else if (!line.empty() && view.Error.empty()) {
            view.Error = line;
        }
    }
    return view;
}

// What olefile and xlrd see in a workbook file.
inline TSheetView ReadWorkbookFile(const std::string& path) {
    const auto [status, output] = Shell("PYTHONIOENCODING=utf-8 " + ShellQuote(QUARVEL_PYTHON) + " " +
                                        ShellQuote(QUARVEL_READERS_DIR "/xls_sheet.py") + " " +
                                        ShellQuote(path) + " 2>&1");
    TSheetView view = ParseSheetView(output);
    if (status != 0 && view.Error.empty()) view.Error = "xls_sheet.py failed: " + output.substr(0, 400);
    return view;
}

// ---------------------------------------------------------------------------------------------
// The sheet a conversion meant to write, in the same terms.

// German conventions: "," and ".", dd.MM.yyyy, HH:mm:ss, no AM/PM strings (as glibc's de_DE).
inline TLocaleInfo GermanLocale() {
    TLocaleInfo german;
    german.DecimalSeparator = u',';
    german.ThousandSeparator = u'.';
    german.DateSeparator = u'.';
    german.ShortDateFormat = u"dd.MM.yyyy";
    german.LongTimeFormat = u"HH:mm:ss";
    german.TimeAMString = u"";
    german.TimePMString = u"";
    return german;
}

// Runs the conversion's reading and flattening in this process and fills a workbook the way the
// program does; settings from the same arguments as the program's.
inline TConversionReport FillAsTheProgramDoes(const std::vector<std::string>& args, TXLSWorkbook& workbook) {
    TConverter converter;  // the C locale: US conventions, UTF-8 code page
    ParseCommandLine(args, converter.Settings);
    converter.LoadSource(ReadWholeFile(converter.Settings.SourceFile), false);
    workbook.ApplyStoredValues();
    return FillWorkbook(converter, workbook);
}

// The first sheet of a filled workbook as a reader should see it in the file: cells, merged areas,
// column widths and the outline within the BIFF8 sheet.
inline TSheetView ViewOfModel(TXLSWorkbook& workbook) {
    TSheetView view;
    TSheet& sheet = workbook.Sheets()[0];
    view.Name = sheet.Name();
    TCellValues& cells = sheet.Cells();
    cells.BeginIterate();
    while (TCell* cell = cells.NextCell()) {
        if (cell->Col() > 255 || cell->Row() > 65535) continue;
        TSheetCell seen;
        switch (cell->CellType()) {
            case ctBlank: seen.Kind = "blank"; break;
            case ctFloat:
                seen.Kind = "number";
                seen.Number = static_cast<TFloatCell*>(cell)->Value();
                break;
            default:
                seen.Kind = "text";
                seen.Text = sheet.AsString(cell->Col(), cell->Row());
                break;
        }
        seen.Format = cell->NumberFormat().empty() ? u"General" : cell->NumberFormat();
        seen.Borders = std::to_string(cell->BorderTopStyle()) + std::to_string(cell->BorderLeftStyle()) +
                       std::to_string(cell->BorderRightStyle()) + std::to_string(cell->BorderBottomStyle()) + ":" +
                       std::to_string(cell->BorderTopColor()) + "," + std::to_string(cell->BorderLeftColor()) + "," +
                       std::to_string(cell->BorderRightColor()) + "," + std::to_string(cell->BorderBottomColor());
        seen.Wrap = (cell->FormatOptions() & foWrapText) ? 1 : 0;
        seen.Vert = cell->VertAlignment();
        seen.Horiz = cell->HorizAlignment();
        view.Cells[{cell->Row(), cell->Col()}] = seen;
    }
    for (int i = 0; i < sheet.MergedCells().Count(); ++i) {
        const TCellArea& a = sheet.MergedCells().Items(i);
        view.Merged.push_back({a.Row1i(), a.Row2i(), a.Col1i(), a.Col2i()});
    }
    for (int col = 0; col < 256; ++col) {
        if (const TXLSColumn* column = sheet.Columns().Items(col)) view.ColumnWidths[col] = column->RawWidth();
    }
    for (int i = 0; i < sheet.Rows().Count(); ++i) {
        const TXLSRow& row = sheet.Rows().Items(i);
        const int hidden = (row.Options() & TXLSRow::ZeroHeight) ? 1 : 0;
        if (row.OutlineLevel() > 0 || hidden) view.Outline[row.Row()] = {row.OutlineLevel(), hidden};
    }
    return view;
}

inline std::string Describe(const TSheetCell& c) {
    std::string value = c.Kind == "number" ? std::to_string(c.Number) : "\"" + Utf16ToUtf8(c.Text) + "\"";
    return c.Kind + " " + value + " fmt=" + Utf16ToUtf8(c.Format) + " b=" + c.Borders + " wrap=" +
           std::to_string(c.Wrap) + " v=" + std::to_string(c.Vert) + " h=" + std::to_string(c.Horiz);
}

// Everything in which the file differs from the sheet meant, at most `limit` items.
inline std::vector<std::string> Differences(const TSheetView& meant, const TSheetView& file, size_t limit = 10) {
    std::vector<std::string> out;
    auto add = [&](const std::string& text) {
        if (out.size() < limit) out.push_back(text);
    };
    if (!file.Error.empty()) add("reader: " + file.Error);
    if (file.Container != "Workbook") add("container holds: " + file.Container);
    if (file.Name != meant.Name) add("sheet name " + Utf16ToUtf8(file.Name));
    if (file.Merged != meant.Merged) add("merged areas differ");
    if (file.ColumnWidths != meant.ColumnWidths) add("column widths differ");
    if (file.Outline != meant.Outline) add("row outline differs");
    for (const auto& [position, cell] : meant.Cells) {
        auto found = file.Cells.find(position);
        const std::string where = std::to_string(position.first) + "," + std::to_string(position.second) + ": ";
        if (found == file.Cells.end()) {
            add(where + "missing, meant " + Describe(cell));
        } else if (!(found->second == cell)) {
            add(where + "file " + Describe(found->second) + ", meant " + Describe(cell));
        }
    }
    for (const auto& [position, cell] : file.Cells) {
        if (!meant.Cells.count(position)) {
            add(std::to_string(position.first) + "," + std::to_string(position.second) + ": not meant, file " +
                Describe(cell));
        }
    }
    return out;
}

}  // namespace quarvel::test
