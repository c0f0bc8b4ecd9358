// Small pages that ask for huge spans: the conversion stays within time and memory bounds, to text
// and to a workbook alike, and the workbook is one that readers open.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using test::ReadBytes;
using test::RunQuarvel;
using test::TRun;
using test::TTempDir;
using test::WriteBytes;

// What users expect of a 14 KB page: well under a second and 200 MB. The sanitizer build runs
// several times slower and keeps freed memory in quarantine, so it gets wider bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSeconds = 15;
constexpr long kMaxRssKb = 1024 * 1024;
#else
constexpr double kSeconds = 1;
constexpr long kMaxRssKb = 200 * 1024;
#endif

TEST(HostilePages, HugeSpansConvertWithinBounds) {
    TTempDir dir;
    std::string rows;
    for (int i = 0; i < 300; ++i) rows += "<tr><td colspan=1000 rowspan=65534>x</td></tr>";
    struct Case {
        const char* name;
        std::string page;
        const char* warnings;  // what a workbook reports
        size_t textBytes;      // the text output's size
    };
    const Case cases[] = {
        // One cell: its rowspan ends at the page's one line.
        {"one.htm", "<table><tr><td colspan=1000 rowspan=65534>x</td></tr></table>",
         "warning: 0 rows and 744 columns beyond the sheet were left out\n", 1002},
        // Line i holds i thousand fields (i thousand bytes and CR LF); every span after the first
        // overlaps the first.
        {"rows.htm", rows,
         "warning: 0 rows and 299744 columns beyond the sheet were left out\n"
         "quarvel: OUT: warning: 299 merged areas that overlap others were left out\n",
         1000 * (300 * 301 / 2) + 300 * 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.page);
        for (const char* extension : {".txt", ".xls"}) {
            SCOPED_TRACE(extension);
            const std::string target = dir.File(std::string(c.name) + extension);
            const TRun run = RunQuarvel({dir.File(c.name), target});
            ASSERT_EQ(run.Status, 0) << run.Err;
            EXPECT_LT(run.Seconds, kSeconds);
            EXPECT_LT(run.MaxRssKb, kMaxRssKb);
            if (std::string(extension) == ".txt") {
                EXPECT_EQ(run.Err, "");
                EXPECT_EQ(ReadBytes(target).size(), c.textBytes);
            } else {
                std::string expected = std::string("quarvel: ") + target + ": " + c.warnings;
                for (size_t at; (at = expected.find("OUT")) != std::string::npos;) expected.replace(at, 3, target);
                EXPECT_EQ(run.Err, expected);
                // An independent reader opens it: the rows, the sheet's columns, one merged area.
                const std::string command = "/usr/bin/python3 -c 'import sys, xlrd; s = xlrd.open_workbook(sys.argv[1], "
                                            "formatting_info=True).sheet_by_index(0); "
                                            "print(s.nrows, s.ncols, len(s.merged_cells), s.cell_value(0, 0))' " + target;
                FILE* pipe = ::popen(command.c_str(), "r");
                ASSERT_NE(pipe, nullptr);
                char line[256] = {};
                const bool read = ::fgets(line, sizeof line, pipe) != nullptr;
                ::pclose(pipe);
                ASSERT_TRUE(read);
                EXPECT_EQ(std::string(line), std::string(c.name) == "one.htm" ? "1 256 1 x\n" : "300 256 1 x\n");
            }
        }
    }
}

}  // namespace
}  // namespace quarvel
