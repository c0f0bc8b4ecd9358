// Decoding a whole source to UTF-8: 20 MB in each of the page kinds a conversion meets. The
// inputs are corpus pages repeated to 20 MB, and a dense Russian prose in windows-1251 where
// nearly every byte is a Cyrillic letter. Figures are bytes of input per second.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/CodePage.h"
#include "platform/Files.h"

namespace quarvel {
namespace {

constexpr size_t kSize = 20u << 20;

std::string RepeatToSize(const std::string& piece) {
    std::string out;
    out.reserve(kSize + piece.size());
    while (out.size() < kSize) out += piece;
    out.resize(kSize);
    return out;
}

std::string CorpusPage(const char* name) { return RepeatToSize(ReadWholeFile(std::string(QUARVEL_CORPUS_DIR "/") + name)); }

void Decode(benchmark::State& state, const char* encoding, const std::string& bytes) {
    const TCodePage page = *TCodePage::ForName(encoding);
    size_t produced = 0;
    for (auto _ : state) {
        std::string text = page.DecodeToUtf8(bytes);
        produced = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["utf8_MB"] = double(produced) / (1 << 20);
}

void Windows1251Page(benchmark::State& state) {
    static const std::string bytes = CorpusPage("zone_anime_cp1251.htm");
    Decode(state, "windows-1251", bytes);
}

void Windows1251Prose(benchmark::State& state) {
    static const std::string bytes = RepeatToSize(TCodePage::ForName("windows-1251")->Encode(
        u"Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных губерний "
        u"даст мощный толчок подъёму сельского хозяйства.\r\n"));
    Decode(state, "windows-1251", bytes);
}

void Utf8LatinPage(benchmark::State& state) {
    static const std::string bytes = CorpusPage("wikipedia_ebola_epidemic.html");
    Decode(state, "utf-8", bytes);
}

void Utf8CjkPage(benchmark::State& state) {
    static const std::string bytes = CorpusPage("xinhua_home_cjk_mixed_eol.html");
    Decode(state, "utf-8", bytes);
}

void ShiftJisPage(benchmark::State& state) {
    static const std::string bytes = CorpusPage("2ch_shift_jis.html");
    Decode(state, "shift_jis", bytes);
}

void Gb18030Page(benchmark::State& state) {
    static const std::string bytes = CorpusPage("baidu_home_gb2312.html");
    Decode(state, "gb18030", bytes);
}

BENCHMARK(Windows1251Page)->Unit(benchmark::kMillisecond);
BENCHMARK(Windows1251Prose)->Unit(benchmark::kMillisecond);
BENCHMARK(Utf8LatinPage)->Unit(benchmark::kMillisecond);
BENCHMARK(Utf8CjkPage)->Unit(benchmark::kMillisecond);
BENCHMARK(ShiftJisPage)->Unit(benchmark::kMillisecond);
BENCHMARK(Gb18030Page)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quarvel

BENCHMARK_MAIN();
