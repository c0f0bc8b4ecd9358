// In-process figures for the converter's hot paths: flattening a large page and classifying fields.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/Fields.h"

namespace {

using namespace quarvel;

// A table of `rows` rows like the generator's, built in memory.
std::string Table(int rows) {
    std::string page = "<html><body><table><caption>Bench</caption>\n";
    for (int r = 0; r < rows; ++r) {
        page += "<tr><td>" + std::to_string(r) + "</td><td>1,234.56</td><td>5/12/2009</td><td>10:30</td>";
        page += r % 100 == 50 ? "<td colspan=\"2\">alpha bravo</td>" : "<td>alpha</td><td>bravo &amp; charlie</td>";
        page += "<td>-3.1415</td><td>a longer text that will have to wrap in its cell</td><td>x&nbsp;y</td>"
                "<td>12.05.2009</td></tr>\n";
    }
    return page + "</table></body></html>\n";
}

void BM_FlattenHtml(benchmark::State& state) {
    const std::string page = Table(static_cast<int>(state.range(0)));
    TConverter converter;
    for (auto _ : state) {
        std::string out = converter.FlattenHtml(page, state.range(1) != 0);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
// Second argument: 1 fills Lines (workbook targets), 0 does not (text targets).
BENCHMARK(BM_FlattenHtml)->Args({20000, 0})->Args({20000, 1})->Unit(benchmark::kMillisecond);

void BM_ClassifyField(benchmark::State& state) {
    const std::vector<std::u16string> fields = {u"12345",      u"1,234.56",  u"-3.1415", u"5/12/2009",
                                                u"10:30",      u"alpha",     u"1e5",     u"12.05.2009",
                                                u"5/12/2009 10:30 PM", u"",  u"N/A",     u"0.0001"};
    TLocaleSettings locale = LocaleSettings(TLocaleInfo{}, 2025);
    TFieldValue value;
    for (auto _ : state) {
        for (const auto& field : fields) benchmark::DoNotOptimize(ClassifyField(field, locale, value));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fields.size()));
}
BENCHMARK(BM_ClassifyField);

}  // namespace

BENCHMARK_MAIN();
