// Whole conversions to .xlsx by the built program, read by independent readers: every corpus file
// (and the bundled example report) converted to both .xls and .xlsx, then openpyxl's view of each
// .xlsx compared with xlrd's view of its .xls, LibreOffice's and Gnumeric's CSV of the two compared,
// and Apache POI's XSSF reader run over every .xlsx; long and wide inputs keep all their rows and
// columns in a .xlsx.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using test::RunQuarvel;
using test::TRun;
using test::TTempDir;

std::string Quote(const std::string& text) { return test::ShellQuote(text); }

// Runs a shell command; its status and what it printed (stdout and stderr).
std::pair<int, std::string> Shell(const std::string& command) {
    test::TCommandResult result = test::Run(command);
    return {result.status, std::move(result.output)};
}

std::string Script(const std::string& name) { return Quote(std::string(QUARVEL_READERS_DIR) + "/" + name); }
std::string Python() { return "PYTHONIOENCODING=utf-8 " + Quote(QUARVEL_PYTHON); }

// The options a corpus file is converted with: pages as they are, delimited text with /n and the
// file's divider (CSV quoted with '"'); a few with a row outline.
std::vector<std::string> OptionsFor(const std::string& name) {
    std::vector<std::string> options;
    const std::string extension = fs::path(name).extension().string();
    if (extension != ".html" && extension != ".htm") options = {"/n"};
    if (extension == ".csv") {
        options.insert(options.end(), {"/f", name.find("semicolon") != std::string::npos ? "59" : "44", "/s", "34"});
    } else if (name.find("pipe") != std::string::npos) {
        options.insert(options.end(), {"/f", "124"});
    }
    if (name.rfind("rdatasets", 0) == 0) options.insert(options.end(), {"/l", "1", "/d", "2"});
    if (name.rfind("ibge", 0) == 0) options.insert(options.end(), {"/l", "2"});
    if (name.rfind("world_bank", 0) == 0) options.insert(options.end(), {"/l", "2", "/d", "2"});
    return options;
}

// Every corpus file and the example report, converted once to both formats for all tests here.
class CorpusInBothFormats : public ::testing::Test {
protected:
    struct TPair {
        std::string Xls, Xlsx;
    };

    static void SetUpTestSuite() {
        dir_ = std::make_unique<TTempDir>();
        pairs_.clear();
        std::vector<std::pair<std::string, std::vector<std::string>>> sources;
        for (const auto& entry : fs::directory_iterator(test::CorpusDir())) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() == ".md") continue;
            sources.push_back({name, OptionsFor(name)});
        }
        std::sort(sources.begin(), sources.end());
        for (const auto& [name, options] : sources) {
            const std::string source = (test::CorpusDir() / name).string();
            TPair pair{dir_->File(name + ".xls"), dir_->File(name + ".xlsx")};
            std::string stderrs[2];
            for (int k = 0; k < 2; ++k) {
                std::vector<std::string> args = options;
                // /n stands before the names; the valued switches after them.
                auto at = args.empty() || args[0] != "/n" ? args.begin() : args.begin() + 1;
                args.insert(at, {source, k == 0 ? pair.Xls : pair.Xlsx});
                const TRun run = RunQuarvel(args);
                EXPECT_EQ(run.Status, 0) << name << ": " << run.Err;
                stderrs[k] = run.Err;
            }
            // The same warnings (texts cut, merged areas left out) for the same sheet.
            std::string xls = stderrs[0];
            for (size_t p; (p = xls.find(".xls:")) != std::string::npos;) xls.replace(p, 5, ".xlsx:");
            EXPECT_EQ(xls, stderrs[1]) << name;
            pairs_.push_back(pair);
        }
        const std::string report = std::string(QUARVEL_SOURCE_DIR) + "/examples/report.htm";
        TPair pair{dir_->File("report.xls"), dir_->File("report.xlsx")};
        for (const std::string& target : {pair.Xls, pair.Xlsx}) {
            const TRun run = RunQuarvel({report, target, "/l", "3", "/d", "10", "/h", "ACME Corporation - internal"});
            EXPECT_EQ(run.Status, 0) << run.Err;
        }
        pairs_.push_back(pair);
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string PairArguments(const std::string& xlsSuffix = "", const std::string& xlsxSuffix = "") {
        std::string args;
        for (const TPair& p : pairs_) args += " " + Quote(p.Xls + xlsSuffix) + " " + Quote(p.Xlsx + xlsxSuffix);
        return args;
    }

    static std::unique_ptr<TTempDir> dir_;
    static std::vector<TPair> pairs_;
};

std::unique_ptr<TTempDir> CorpusInBothFormats::dir_;
std::vector<CorpusInBothFormats::TPair> CorpusInBothFormats::pairs_;

TEST_F(CorpusInBothFormats, OpenpyxlReadsWhatXlrdReadsFromTheXls) {
    ASSERT_GE(pairs_.size(), 30u);
    const auto [status, output] = Shell(Python() + " " + Script("xlsx_vs_xls.py") + PairArguments());
    EXPECT_EQ(status, 0) << output;
    size_t ok = 0;
    for (size_t p = 0; (p = output.find(": ok\n", p)) != std::string::npos; ++p) ++ok;
    EXPECT_EQ(ok, pairs_.size()) << output;
}

TEST_F(CorpusInBothFormats, LibreOfficeAndGnumericShowTheSameValues) {
    if (std::string(QUARVEL_SOFFICE).empty() || std::string(QUARVEL_SSCONVERT).empty())
        GTEST_SKIP() << "soffice or ssconvert is not installed";
    TTempDir out;
    fs::create_directories(out.Path() / "lo-xls");
    fs::create_directories(out.Path() / "lo-xlsx");
    std::string xls, xlsx;
    for (const TPair& p : pairs_) {
        xls += " " + Quote(p.Xls);
        xlsx += " " + Quote(p.Xlsx);
    }
    // LibreOffice: all files of one format in one run each.
    const std::string soffice = Quote(QUARVEL_SOFFICE) + " -env:UserInstallation=file://" + out.File("profile") +
                                " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":44,34,76 --outdir ";
    ASSERT_EQ(Shell(soffice + Quote(out.File("lo-xls")) + xls).first, 0);
    ASSERT_EQ(Shell(soffice + Quote(out.File("lo-xlsx")) + xlsx).first, 0);
    std::string loPairs, gnPairs;
    for (const TPair& p : pairs_) {
        const std::string base = fs::path(p.Xls).stem().string() + ".csv";
        loPairs += " " + Quote(out.File("lo-xls/" + base)) + " " + Quote(out.File("lo-xlsx/" + base));
        for (const std::string& file : {p.Xls, p.Xlsx}) {
            const auto [status, said] =
                Shell(Quote(QUARVEL_SSCONVERT) + " -T Gnumeric_stf:stf_csv " + Quote(file) + " " + Quote(file + ".csv"));
            EXPECT_EQ(status, 0) << file << ": " << said;
        }
        gnPairs += " " + Quote(p.Xls + ".csv") + " " + Quote(p.Xlsx + ".csv");
    }
    const auto [loStatus, lo] = Shell(Python() + " " + Script("csv_same.py") + loPairs);
    EXPECT_EQ(loStatus, 0) << "LibreOffice:\n" << lo;
    const auto [gnStatus, gn] = Shell(Python() + " " + Script("csv_same.py") + gnPairs);
    EXPECT_EQ(gnStatus, 0) << "Gnumeric:\n" << gn;
}

TEST_F(CorpusInBothFormats, ApachePoiReadsEveryPackage) {
    if (std::string(QUARVEL_JAVAC).empty() || std::string(QUARVEL_JAVA).empty()) GTEST_SKIP() << "no JDK";
    if (!fs::exists("/usr/share/java/poi-ooxml.jar")) GTEST_SKIP() << "libapache-poi-java is not installed";
    std::string classpath;
    for (const char* jar : {"poi", "poi-ooxml", "poi-ooxml-schemas", "xmlbeans", "commons-collections4",
                            "commons-compress", "commons-codec", "commons-math3"}) {
        if (!classpath.empty()) classpath += ":";
        classpath += std::string("/usr/share/java/") + jar + ".jar";
    }
    TTempDir classes;
    const auto [compiled, said] = Shell(Quote(QUARVEL_JAVAC) + " -nowarn -d " + Quote(classes.Path().string()) +
                                        " -cp " + classpath + " " + Script("XlsxPoiDump.java"));
    ASSERT_EQ(compiled, 0) << said;
    std::string files;
    for (const TPair& p : pairs_) files += " " + Quote(p.Xlsx);
    const std::string dump = classes.File("poi.txt");
    const auto [ran, error] = Shell(Quote(QUARVEL_JAVA) + " -cp " + classpath + ":" + Quote(classes.Path().string()) +
                                    " XlsxPoiDump" + files + " > " + Quote(dump));
    ASSERT_EQ(ran, 0) << error << test::ReadBytes(dump).substr(0, 2000);
    const auto [status, output] = Shell(Python() + " " + Script("poi_vs_xls.py") + " " + Quote(dump) + PairArguments());
    EXPECT_EQ(status, 0) << output;
}

// A table longer than a BIFF8 sheet and one wider than it: the .xls leaves the rest out and says
// so, the .xlsx keeps every row and column.
TEST(XlsxEndToEnd, LongAndWideInputsKeepEveryRowAndColumn) {
    TTempDir dir;
    std::string lines;
    for (int i = 1; i <= 70000; ++i) lines += std::to_string(i) + "\trow " + std::to_string(i) + "\n";
    test::WriteBytes(dir.File("long.txt"), lines);
    std::string wide;
    for (int row = 0; row < 3; ++row) {
        for (int col = 1; col <= 300; ++col) wide += (col > 1 ? "\t" : "") + std::to_string(row * 1000 + col);
        wide += "\n";
    }
    test::WriteBytes(dir.File("wide.txt"), wide);

    struct TCase {
        std::string source, warning, extent;
        std::vector<std::string> cells;
    } cases[] = {
        {"long.txt", "4464 rows and 0 columns beyond the sheet were left out", "rows=70000 cols=2",
         {"A70000=70000", "B70000='row 70000'", "A65537=65537"}},
        {"wide.txt", "0 rows and 44 columns beyond the sheet were left out", "rows=3 cols=300",
         {"KN3=2300", "IW1=257", "IV2=1256"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string xls = dir.File(c.source + ".xls"), xlsx = dir.File(c.source + ".xlsx");
        TRun run = RunQuarvel({"/n", dir.File(c.source), xls});
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Err, "quarvel: " + xls + ": warning: " + c.warning + "\n");
        run = RunQuarvel({"/n", dir.File(c.source), xlsx});
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Err, "") << "nothing left out";
        std::string refs;
        for (const std::string& cell : c.cells) refs += " " + cell.substr(0, cell.find('='));
        const auto [status, output] = Shell(Python() + " " + Script("xlsx_extent.py") + " " + Quote(xlsx) + refs);
        ASSERT_EQ(status, 0) << output;
        std::string expected = c.extent + "\n";
        for (const std::string& cell : c.cells) expected += cell + "\n";
        EXPECT_EQ(output, expected);
    }
}

TEST(XlsxEndToEnd, TheUsageNamesTheFormatsWithinEightyColumns) {
    const TRun run = RunQuarvel({"--help"});
    ASSERT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find(".xlsx writes an Office Open"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("1,048,576 rows and 16,384 columns"), std::string::npos) << run.Out;
    size_t start = 0;
    for (size_t end; (end = run.Out.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << run.Out.substr(start, end - start);
}

}  // namespace
}  // namespace quarvel
