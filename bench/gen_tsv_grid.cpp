// Writes a tab-separated grid to stdout: `rows` lines (default 65,536) of `cols` fields (default
// 256). Fields cycle through integers, decimals with grouping, negative decimals, dates, times and
// short texts, so that numbers, dates and texts all take part. The same bytes on every run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

uint64_t state = 0x9E3779B97F4A7C15ull;
uint32_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
}

const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};

void AppendField(std::string& out, int column) {
    char buffer[64];
    int n = 0;
    switch (column % 8) {
        case 0: n = std::snprintf(buffer, sizeof buffer, "%u", Next() % 100000); break;
        case 1: n = std::snprintf(buffer, sizeof buffer, "%u,%03u.%02u", Next() % 1000, Next() % 1000, Next() % 100); break;
        case 2: n = std::snprintf(buffer, sizeof buffer, "-%u.%04u", Next() % 1000, Next() % 10000); break;
        case 3: n = std::snprintf(buffer, sizeof buffer, "%u/%u/%u", 1 + Next() % 12, 1 + Next() % 28, 1990 + Next() % 35); break;
        case 4: n = std::snprintf(buffer, sizeof buffer, "%u:%02u", Next() % 24, Next() % 60); break;
        case 5: n = std::snprintf(buffer, sizeof buffer, "%s %s", kWords[Next() % 8], kWords[Next() % 8]); break;
        case 6: n = std::snprintf(buffer, sizeof buffer, "%u", Next() % 1000); break;
        default: n = std::snprintf(buffer, sizeof buffer, "%s-%u", kWords[Next() % 8], Next() % 100); break;
    }
    out.append(buffer, static_cast<size_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int cols = argc > 2 ? std::atoi(argv[2]) : 256;
    std::string line;
    for (int r = 0; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < cols; ++c) {
            if (c) line += '\t';
            AppendField(line, c);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}
