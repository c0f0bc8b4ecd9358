// Writes a large HTML table to stdout: a caption, a header row and 65,000 data rows of 10 cells
// (integers, decimals with grouping, dates, times and texts), with a colspan every 100 rows and a
// rowspan every 250 rows. About 13 MB; the same bytes on every run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Small deterministic generator (xorshift64*).
uint64_t state = 0x9E3779B97F4A7C15ull;
uint32_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
}

const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                              "india", "juliet", "kilo", "lima", "mike", "november", "oscar", "papa"};

std::string Text(int words) {
    std::string text;
    for (int k = 0; k < words; ++k) {
        if (k) text += ' ';
        text += kWords[Next() % 16];
    }
    return text;
}

std::string Cell(int column) {
    char buffer[64];
    switch (column) {
        case 0: std::snprintf(buffer, sizeof buffer, "%u", Next() % 100000); return buffer;
        case 1: std::snprintf(buffer, sizeof buffer, "%u,%03u.%02u", Next() % 1000, Next() % 1000, Next() % 100); return buffer;
        case 2: std::snprintf(buffer, sizeof buffer, "%u/%u/%u", 1 + Next() % 12, 1 + Next() % 28, 1990 + Next() % 35); return buffer;
        case 3: std::snprintf(buffer, sizeof buffer, "%u:%02u", Next() % 24, Next() % 60); return buffer;
        case 4: std::snprintf(buffer, sizeof buffer, "-%u.%04u", Next() % 1000, Next() % 10000); return buffer;
        case 5: return Text(1 + static_cast<int>(Next() % 3));
        case 6: std::snprintf(buffer, sizeof buffer, "%u&nbsp;%%", Next() % 100); return buffer;
        case 7: return Text(2) + " &amp; " + Text(1);
        case 8: std::snprintf(buffer, sizeof buffer, "%u.%u.%u", 1 + Next() % 28, 1 + Next() % 12, 2000 + Next() % 25); return buffer;
        default: return Text(4 + static_cast<int>(Next() % 6));
    }
}

}  // namespace

int main(int argc, char** argv) {
    int rows = argc > 1 ? std::atoi(argv[1]) : 65000;
    std::string out;
    out.reserve(static_cast<size_t>(rows) * 230);
    out += "<!DOCTYPE html>\n<html><head><title>Generated table</title>\n"
           "<style>td { border: 1px solid gray }</style></head>\n<body>\n<table>\n"
           "<caption>Benchmark table of numbers, dates and texts</caption>\n<tr>";
    for (int c = 0; c < 10; ++c) out += "<td>Column " + std::to_string(c + 1) + "</td>";
    out += "</tr>\n";
    bool rowspanOpen = false;
    for (int r = 0; r < rows; ++r) {
        out += "<tr>";
        for (int c = 0; c < 10; ++c) {
            if (rowspanOpen && c == 3) continue;  // covered by the rowspan of the row above
            if (r % 100 == 50 && c == 5) {
                out += "<td colspan=\"2\">" + Cell(c) + "</td>";
                ++c;
                continue;
            }
            if (r % 250 == 0 && c == 3) {
                out += "<td rowspan=\"2\">" + Cell(c) + "</td>";
                continue;
            }
            out += "<td>" + Cell(c) + "</td>";
        }
        rowspanOpen = r % 250 == 0;
        out += "</tr>\n";
    }
    out += "</table>\n</body></html>\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
