// The sheet builder's share of a conversion: FillWorkbook over 65,000 lines of 10 tab-separated
// fields (integers, grouped decimals, negative decimals, dates, times and texts, a tenth of the
// lines without borders), on a fresh workbook each time; the workbook is not written. With
// reuse/0 every format setter runs for every cell, as the slow reference; reuse/1 is what
// conversions do.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/SheetBuilder.h"
#include "platform/Text.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

constexpr int Lines = 65000;
constexpr int Fields = 10;

std::vector<WideString> GridLines() {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&]() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
    };
    const char* const words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};
    std::vector<WideString> lines;
    lines.reserve(Lines);
    for (int r = 0; r < Lines; ++r) {
        std::string line;
        for (int c = 0; c < Fields; ++c) {
            if (c) line += '\t';
            switch (c % 8) {
                case 0: line += std::to_string(next() % 100000); break;
                case 1: line += std::to_string(next() % 1000) + "," + std::to_string(100 + next() % 900) + ".25"; break;
                case 2: line += "-" + std::to_string(next() % 1000) + "." + std::to_string(1000 + next() % 9000); break;
                case 3: line += std::to_string(1 + next() % 12) + "/" + std::to_string(1 + next() % 28) + "/" +
                                std::to_string(1990 + next() % 35); break;
                case 4: line += std::to_string(next() % 24) + ":" + std::to_string(10 + next() % 50); break;
                case 5: line += std::string(words[next() % 8]) + " " + words[next() % 8]; break;
                case 6: line += std::to_string(next() % 1000); break;
                default: line += std::string(words[next() % 8]) + " and a longer text of row " + std::to_string(r); break;
            }
        }
        lines.push_back(Utf8ToUtf16(line));
    }
    return lines;
}

void FillGrid(benchmark::State& state) {
    const std::vector<WideString> lines = GridLines();
    std::vector<TExcelColor> colors(Lines, xcGray50);
    for (int i = 0; i < Lines; i += 10) colors[size_t(i)] = xcWhite;
    const bool reuse = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        TConverter converter;
        converter.Lines = lines;
        converter.LineColors = colors;
        auto workbook = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
        workbook->ApplyStoredValues();
        state.ResumeTiming();
        FillWorkbook(converter, *workbook, reuse);
        benchmark::ClobberMemory();
        state.PauseTiming();
        workbook.reset();
        state.ResumeTiming();
    }
    state.counters["ns_per_cell"] = benchmark::Counter(
        double(Lines) * Fields, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(FillGrid)->ArgName("reuse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quarvel

BENCHMARK_MAIN();
