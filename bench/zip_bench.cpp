// Streaming the sheet part of a 1,000,000 x 10 workbook (about 240 MB of sheet XML: numbers,
// decimals and shared-string indexes) into a ZIP archive whose bytes are counted and dropped, at
// deflate levels 0, 1 and 6. Prints the time of one archive, the XML megabytes per second and the
// compressed size as a share of the XML.
//
//   build/bench/zip_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/Zip.h"

namespace quarvel {
namespace {

// The sheet XML, produced once: every row different, as in a real sheet.
const std::string& SheetXml() {
    static const std::string xml = [] {
        std::string text;
        text.reserve(size_t(160) << 20);
        text += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet><sheetData>";
        char cell[96];
        for (int row = 1; row <= 1000000; ++row) {
            text += "<row r=\"" + std::to_string(row) + "\">";
            // Cells without their optional references, which follow from their order.
            for (int col = 0; col < 10; ++col) {
                switch (col % 3) {
                    case 0: std::snprintf(cell, sizeof cell, "<c><v>%d</v></c>", row * 7 + col); break;
                    case 1:
                        std::snprintf(cell, sizeof cell, "<c><v>%d.%02d</v></c>", (row * 31) % 100000, (row + col) % 100);
                        break;
                    default: std::snprintf(cell, sizeof cell, "<c t=\"s\"><v>%d</v></c>", (row * 13 + col) % 5000); break;
                }
                text += cell;
            }
            text += "</row>";
        }
        text += "</sheetData></worksheet>";
        return text;
    }();
    return xml;
}

class TCountingSink final : public TZipSink {
public:
    void Write(const uint8_t*, size_t count) override { bytes += count; }
    uint64_t bytes = 0;
};

void BM_StreamSheet(benchmark::State& state) {
    const std::string& xml = SheetXml();
    const int level = static_cast<int>(state.range(0));
    uint64_t archive = 0;
    for (auto _ : state) {
        TCountingSink sink;
        TZipWriter zip(sink);
        zip.BeginMember("xl/worksheets/sheet1.xml", {TZipMethod::Deflated, level});
        // In pieces of 64 KiB, as a writer producing the XML row by row hands them on.
        for (size_t at = 0; at < xml.size(); at += 65536) zip.Write(xml.data() + at, std::min<size_t>(65536, xml.size() - at));
        zip.EndMember();
        zip.Finish();
        archive = sink.bytes;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
    state.counters["xml_MB"] = static_cast<double>(xml.size()) / 1e6;
    state.counters["zip_MB"] = static_cast<double>(archive) / 1e6;
    state.counters["ratio_%"] = 100.0 * static_cast<double>(archive) / static_cast<double>(xml.size());
}
BENCHMARK(BM_StreamSheet)->Arg(0)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quarvel

BENCHMARK_MAIN();
