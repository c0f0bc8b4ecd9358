// Filling one sheet the way the sheet builder does: 65,536 rows x 10 columns, each cell written
// with SetAsFloat or SetAsWideString and then given the builder's eleven setters (number format,
// four border styles, four border colours, wrap, vertical alignment) through Cell(col, row).
//
// Prints the time of the whole fill (a fresh workbook each iteration, freeing excluded), the heap
// in use after one fill per cell (malloc's count), and at the end the peak resident size of the
// whole process divided by the cell count.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <string>

#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

constexpr int Rows = 65536;
constexpr int Cols = 10;
constexpr double Cells = double(Rows) * Cols;

const char16_t* const Categories[] = {u"Hardware", u"Software", u"Services", u"Training", u"Support",
                                      u"Licences", u"Travel",   u"Office",   u"Catering", u"Rent",
                                      u"Energy",   u"Other"};
const char16_t* const Cities[] = {u"Berlin", u"Hamburg", u"München", u"Köln",    u"Frankfurt", u"Stuttgart",
                                  u"Leipzig", u"Dresden", u"Bremen", u"Hannover", u"Nürnberg", u"Duisburg",
                                  u"Bochum",  u"Bonn",    u"Kiel",   u"Münster", u"Mainz",     u"Erfurt"};
const char16_t* const States[] = {u"open", u"paid", u"overdue"};

// Number formats of the numeric columns (the text columns keep General).
const WideString NumberFormats[Cols] = {u"0",     u"", u"#,##0.00", u"", u"m/d/yyyy",
                                        u"", u"0.00%", u"", u"0", u""};

WideString Number(int value) {
    const std::string text = std::to_string(value);
    return WideString(text.begin(), text.end());
}

// One row of the table: numbers in the even columns, texts in the odd ones (two of them unique
// per row, three drawn from short lists).
void WriteRow(TSheet& sheet, int row) {
    sheet.SetAsFloat(0, row, row + 1);
    sheet.SetAsWideString(1, row, u"Customer " + Number(100000 + row));
    sheet.SetAsFloat(2, row, row * 1.25 + 0.37);
    sheet.SetAsWideString(3, row, Categories[row % 12]);
    sheet.SetAsFloat(4, row, 40000 + row % 3650);
    sheet.SetAsWideString(5, row, Cities[row % 18]);
    sheet.SetAsFloat(6, row, (row % 1000) / 1000.0);
    sheet.SetAsWideString(7, row, u"Order " + Number(row) + u" delivered");
    sheet.SetAsFloat(8, row, row % 97);
    sheet.SetAsWideString(9, row, States[row % 3]);
}

void Fill(TSheet& sheet) {
    for (int row = 0; row < Rows; ++row) {
        WriteRow(sheet, row);
        // Every 50th line is a line without borders (colour white, as the builder leaves it),
        // every 7th has a value that wraps.
        const TExcelColor color = row % 50 == 0 ? xcWhite : xcGray50;
        for (int col = 0; col < Cols; ++col) {
            TCell& cell = *sheet.Cell(col, row);
            cell.SetNumberFormat(NumberFormats[col]);
            cell.SetBorderTopStyle(cbsThin);
            cell.SetBorderLeftStyle(cbsThin);
            cell.SetBorderRightStyle(cbsThin);
            cell.SetBorderBottomStyle(cbsThin);
            cell.SetBorderTopColor(color);
            cell.SetBorderLeftColor(color);
            cell.SetBorderRightColor(color);
            cell.SetBorderBottomColor(color);
            if (row % 7 == 0) cell.SetFormatOptions(foWrapText);
            cell.SetVertAlignment(vaCentered);
        }
    }
}

void FillSheet(benchmark::State& state) {
    size_t heapBytes = 0;
    int formats = 0;
    size_t strings = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto workbook = std::make_unique<TXLSWorkbook>(TLocaleInfo{});
        workbook->ApplyStoredValues();
        Fill(workbook->Sheets()[0]);
        benchmark::ClobberMemory();
        heapBytes = mallinfo2().uordblks - before;
        formats = workbook->Formats().Count();
        strings = workbook->SST().UniqueCount();
        state.PauseTiming();
        workbook.reset();
        state.ResumeTiming();
    }
    state.counters["cells"] = Cells;
    state.counters["formats"] = formats;
    state.counters["strings"] = static_cast<double>(strings);
    state.counters["heap_bytes_per_cell"] = static_cast<double>(heapBytes) / Cells;
    state.counters["ns_per_cell"] = benchmark::Counter(
        Cells, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(FillSheet)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(false);

}  // namespace
}  // namespace quarvel

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The whole process at its peak: libraries, the benchmark's own state and one filled sheet
    // (each iteration frees its workbook before the next one is built).
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    std::printf("peak RSS of the process: %.1f MB for %.0f cells = %.1f bytes per cell\n", peakBytes / 1048576.0,
                quarvel::Cells, peakBytes / quarvel::Cells);
    return 0;
}
