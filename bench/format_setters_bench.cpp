// The format side of filling one sheet: 65,536 rows x 10 columns of formatted objects, each given
// the sheet builder's eleven setters (number format, four border styles, four border colours,
// wrap, vertical alignment). Cells and the string table are not involved; this is the share of
// the fill that the format lists cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "workbook/FormattedObj.h"

namespace quarvel {
namespace {

// Releases its format when destroyed, as a cell does.
class Object : public TFormattedObject {
public:
    explicit Object(TCellFormats& formats) : TFormattedObject(formats, 15) {}
    ~Object() override { ReleaseFormat(); }
};

constexpr int Rows = 65536;
constexpr int Cols = 10;

const WideString NumberFormats[Cols] = {
    u"", u"0", u"0.00", u"#,##0", u"# ##0.00", u"m/d/yyyy", u"h:mm:ss", u"0.000", u"", u"dd.MM.yyyy",
};

void FillFormats(benchmark::State& state) {
    size_t formatCount = 0;
    for (auto _ : state) {
        TXFonts fonts;
        TCellFormats formats(&fonts, true);
        std::vector<std::unique_ptr<Object>> objects;
        objects.reserve(static_cast<size_t>(Rows) * Cols);
        for (int row = 0; row < Rows; ++row) {
            // Every 50th line is a table line without borders (colour white, as the builder
            // leaves it), every 7th has a long value that wraps.
            const TExcelColor color = row % 50 == 0 ? xcWhite : xcGray50;
            for (int col = 0; col < Cols; ++col) {
                objects.push_back(std::make_unique<Object>(formats));
                Object& cell = *objects.back();
                cell.SetNumberFormat(NumberFormats[col]);
                cell.SetBorderTopStyle(cbsThin);
                cell.SetBorderBottomStyle(cbsThin);
                cell.SetBorderLeftStyle(cbsThin);
                cell.SetBorderRightStyle(cbsThin);
                cell.SetBorderTopColor(color);
                cell.SetBorderBottomColor(color);
                cell.SetBorderLeftColor(color);
                cell.SetBorderRightColor(color);
                if (row % 7 == 0) cell.SetFormatOptions(foWrapText);
                cell.SetVertAlignment(vaCentered);
            }
        }
        formatCount = static_cast<size_t>(formats.Count());
        benchmark::DoNotOptimize(objects.data());
        state.PauseTiming();
        objects.clear();
        state.ResumeTiming();
    }
    state.counters["objects"] = static_cast<double>(Rows) * Cols;
    state.counters["formats"] = static_cast<double>(formatCount);
    state.counters["time_per_object"] = benchmark::Counter(
        static_cast<double>(Rows) * Cols, benchmark::Counter::kIsIterationInvariantRate |
                                              benchmark::Counter::kInvert);
}
BENCHMARK(FillFormats)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace quarvel
BENCHMARK_MAIN();
