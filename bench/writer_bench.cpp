// Writing workbooks that are already in memory, excluding the fill: the 65,000 x 10 table of the
// conversion benchmarks (numbers, dates and texts with formats and borders) and a full
// 65,536 x 256 sheet of numbers, each into the caller's buffer and into a file. Prints the time of
// one write, the cells written per second and the size of the stream.
//
//   build/bench/writer_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "workbook/XLSWorkbook.h"
#include "writer/XLSWriter.h"

namespace quarvel {
namespace {

WideString Number(int value) {
    const std::string text = std::to_string(value);
    return WideString(text.begin(), text.end());
}

const char16_t* const Cities[] = {u"Berlin", u"Hamburg", u"München", u"Köln", u"Frankfurt", u"Stuttgart"};
const WideString Formats[10] = {u"0", u"", u"#,##0.00", u"", u"dd.mm.yyyy", u"", u"0.00%", u"", u"0", u""};

// The table: numbers and dates in the even columns, texts in the odd ones, bordered and centred.
std::unique_ptr<TXLSWorkbook> Table(int rows) {
    auto book = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
    book->ApplyStoredValues();
    TSheet& sheet = book->Sheets().Items(0);
    for (int row = 0; row < rows; ++row) {
        sheet.SetAsFloat(0, row, row + 1);
        sheet.SetAsWideString(1, row, u"Customer " + Number(100000 + row));
        sheet.SetAsFloat(2, row, row * 1.25 + 0.37);
        sheet.SetAsWideString(3, row, Cities[row % 6]);
        sheet.SetAsFloat(4, row, 40000 + row % 3650);
        sheet.SetAsWideString(5, row, Cities[(row + 3) % 6]);
        sheet.SetAsFloat(6, row, (row % 1000) / 1000.0);
        sheet.SetAsWideString(7, row, u"Order " + Number(row) + u" delivered");
        sheet.SetAsFloat(8, row, row % 97);
        sheet.SetAsWideString(9, row, u"");
        for (int col = 0; col < 10; ++col) {
            TCell& cell = *sheet.Cell(col, row);
            cell.SetNumberFormat(Formats[col]);
            cell.SetBorderTopStyle(cbsThin);
            cell.SetBorderBottomStyle(cbsThin);
            cell.SetBorderTopColor(xcGray50);
            cell.SetBorderBottomColor(xcGray50);
            cell.SetVertAlignment(vaCentered);
        }
    }
    sheet.Columns().EnsureColumns(0, 10);
    for (int row = 100; row + 10 < rows; row += 1000) sheet.GroupRows(row, row + 9, true);
    return book;
}

// Every cell of the sheet holds a number: whole numbers (RK runs), numbers with two decimals
// (mostly RK x 100) and others (NUMBER).
std::unique_ptr<TXLSWorkbook> FullSheet() {
    auto book = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
    book->ApplyStoredValues();
    TSheet& sheet = book->Sheets().Items(0);
    for (int row = 0; row < 65536; ++row) {
        for (int col = 0; col < 256; ++col) {
            const double value = col % 3 == 0 ? row + col : col % 3 == 1 ? (row * 7 + col) / 100.0 : row / 7.0 + col;
            sheet.SetAsFloat(col, row, value);
        }
    }
    return book;
}

TXLSWorkbook& TableBook() {
    static std::unique_ptr<TXLSWorkbook> book = Table(65000);
    return *book;
}

TXLSWorkbook& FullBook() {
    static std::unique_ptr<TXLSWorkbook> book = FullSheet();
    return *book;
}

void Report(benchmark::State& state, double cells, size_t bytes) {
    state.counters["cells/s"] = benchmark::Counter(cells * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void ToBuffer(benchmark::State& state, TXLSWorkbook& book, double cells) {
    std::vector<uint8_t> out;
    for (auto _ : state) {
        book.WriteToStream(TBIFF8Writer(), &out);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, cells, out.size());
}

void ToFile(benchmark::State& state, TXLSWorkbook& book, double cells) {
    char folder[] = "/tmp/quarvel-writer-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string file = std::string(folder) + "/out.xls";
    book.SetFilename(WideString(file.begin(), file.end()));
    for (auto _ : state) book.Write(TBIFF8Writer());
    std::FILE* f = std::fopen(file.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    std::remove(file.c_str());
    ::rmdir(folder);
    Report(state, cells, static_cast<size_t>(size));
}

void Table65000x10ToBuffer(benchmark::State& state) { ToBuffer(state, TableBook(), 650000); }
void Table65000x10ToFile(benchmark::State& state) { ToFile(state, TableBook(), 650000); }
void FullSheet65536x256ToBuffer(benchmark::State& state) { ToBuffer(state, FullBook(), 65536.0 * 256); }
void FullSheet65536x256ToFile(benchmark::State& state) { ToFile(state, FullBook(), 65536.0 * 256); }

BENCHMARK(Table65000x10ToBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(Table65000x10ToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(FullSheet65536x256ToBuffer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FullSheet65536x256ToFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quarvel

BENCHMARK_MAIN();
