// The quarvel program in batch mode: exit statuses, messages, output files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;
using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

using test::RunQuarvel;
using test::TRun;

size_t EntriesIn(const fs::path& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(Program, HelpAndVersion) {
    for (const char* option : {"--help", "-h"}) {
        TRun run = RunQuarvel({option});
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Out.rfind("Usage: quarvel", 0), 0u) << run.Out;
        EXPECT_EQ(run.Err, "");
    }
    // The version, the copyright and the licence, one line each.
    TRun run = RunQuarvel({"--version"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_TRUE(std::regex_match(run.Out, std::regex("quarvel [0-9]+\\.[0-9]+\\.[0-9]+\n"
                                                     "Copyright \\(C\\) 20[0-9]{2} The QUARVEL developers\n"
                                                     "Licence: MIT \\(see /[^ ]*/share/doc/quarvel/copyright\\)\n")))
        << run.Out;
    EXPECT_EQ(run.Err, "");
}

TEST(Program, WithoutBatchCommandLineShowsUsageAndExits2) {
#ifdef QUARVEL_HAS_WINDOW
    const std::string reason = "quarvel: no source and target file given, and no display is available for the window\n";
#else
    const std::string reason = "quarvel: no source and target file given, and this build has no window\n";
#endif
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"in.htm"}, {"/w", "40", "/l", "2"}, {"/l", "2", "in.htm", "out.txt"}}) {
        TRun run = RunQuarvel(args);
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_NE(run.Err.find("Usage: quarvel"), std::string::npos);
        ASSERT_GE(run.Err.size(), reason.size());
        EXPECT_EQ(run.Err.substr(run.Err.size() - reason.size()), reason);
    }
}

TEST(Program, BadSwitchValueIsABadCommandLine) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<p>x</p>");
    TRun run = RunQuarvel({dir.File("in.htm"), dir.File("out.txt"), "/f", "x"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, "quarvel: 'x' is not a valid integer value\n");
    EXPECT_FALSE(fs::exists(dir.File("out.txt")));

    run = RunQuarvel({"/s", "q", "in.htm", "out.txt"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err.rfind("quarvel: 'q' is not a valid integer value\n", 0), 0u) << run.Err;
}

TEST(Program, ConvertsHtmlToText) {
    TTempDir dir;
    WriteBytes(dir.File("page.htm"), "<table><tr><td>a</td><td colspan=2>b</td><td>c</td></tr></table>");
    TRun run = RunQuarvel({dir.File("page.htm"), dir.File("out.txt"), "/f", "59"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "a;b;;c\r\n");
}

TEST(Program, NotCleanTagsWithHeader) {
    TTempDir dir;
    std::string data = "a;b\r\n1;2\n\xE9\0z"s;
    WriteBytes(dir.File("data.csv"), data);
    TRun run = RunQuarvel({"/n", dir.File("data.csv"), dir.File("out.csv"), "/h", "My header"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.csv")), "My header\r\n" + data);
}

TEST(Program, MissingSourceNamesTheFile) {
    TTempDir dir;
    WriteBytes(dir.File("out.txt"), "previous");
    TRun run = RunQuarvel({dir.File("missing.htm"), dir.File("out.txt")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "quarvel: " + dir.File("missing.htm") + ": File not found\n");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "previous");
}

TEST(Program, UnwritableTargetNamesTheTarget) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<p>x</p>");
    TRun run = RunQuarvel({dir.File("in.htm"), dir.File("none/out.txt")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "quarvel: " + dir.File("none/out.txt") + ": File not found\n");
}

TEST(Program, RefusedWorkbookOptionsLeaveTheOldFile) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<p>x</p>");
    WriteBytes(dir.File("out.xls"), "old workbook");
    TRun run = RunQuarvel({dir.File("in.htm"), dir.File("out.xls"), "/l", "9"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "quarvel: " + dir.File("out.xls") + ": Group levels must be from 0 to 7, not 9\n");
    EXPECT_EQ(ReadBytes(dir.File("out.xls")), "old workbook");
    run = RunQuarvel({dir.File("in.htm"), dir.File("new.xls"), "/l", "2", "/d", "0"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "quarvel: " + dir.File("new.xls") + ": Start data row must be 1 or more, not 0\n");
    EXPECT_FALSE(fs::exists(dir.File("new.xls")));
}

TEST(Program, ReplacesTheTargetWhole) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<p>new</p>");
    WriteBytes(dir.File("out.txt"), std::string(100000, 'o'));
    TRun run = RunQuarvel({dir.File("in.htm"), dir.File("out.txt")});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "new\r\n");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);  // no temporary file left beside the target
}

TEST(Program, RelativePathsAndNamesWithBlanks) {
    TTempDir dir;
    fs::create_directory(dir.Path() / "sub dir");
    WriteBytes(dir.File("sub dir/in page.htm"), "<p>x</p>");
    auto previous = fs::current_path();
    fs::current_path(dir.Path());
    TRun run = RunQuarvel({"sub dir/in page.htm", "out file.TXT"});
    fs::current_path(previous);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(dir.File("out file.TXT")), "x\r\n");
}

TEST(Program, FileNamesAfterTheSecondAreReportedAndIgnored) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<table><tr><td>a</td><td>b</td></tr></table>");
    // Further names anywhere after the second, also after /n and /t (which take no value); none
    // of them is read or written.
    TRun run = RunQuarvel({dir.File("in.htm"), dir.File("out.txt"), dir.File("third.txt"), "/n", "fourth", "",
                           "/t", "fifth"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "quarvel: extra operand '" + dir.File("third.txt") +
                           "' ignored\nquarvel: extra operand 'fourth' ignored\n"
                           "quarvel: extra operand '' ignored\nquarvel: extra operand 'fifth' ignored\n");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "<table><tr><td>a</td><td>b</td></tr></table>");
    EXPECT_FALSE(fs::exists(dir.File("third.txt")));
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);

    // Without /n the page is flattened; a conversion that fails still fails after the notice.
    run = RunQuarvel({dir.File("in.htm"), dir.File("out.txt"), "x"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "quarvel: extra operand 'x' ignored\n");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "a\tb\r\n");
    run = RunQuarvel({dir.File("missing.htm"), dir.File("out.txt"), "x"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "quarvel: extra operand 'x' ignored\nquarvel: " + dir.File("missing.htm") + ": File not found\n");

    // A bad command line is reported alone.
    run = RunQuarvel({dir.File("in.htm"), dir.File("out.txt"), "x", "/f", "q"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, "quarvel: 'q' is not a valid integer value\n");
}

TEST(Program, HostileSourcesConvert) {
    TTempDir dir;
    std::string binary;
    for (int i = 0; i < 65536; ++i) binary.push_back(static_cast<char>((i * 2654435761u) >> 24));
    const std::pair<const char*, std::string> sources[] = {
        {"empty.htm", ""},
        {"zeros.htm", std::string(4096, '\0')},
        {"binary.htm", binary},
        {"truncated.htm", "<table><tr><td colspan=\"2"},
        {"invalid-utf8.htm", "<p>\xC3\x28 \xE2\x82 \xFF</p>"},
    };
    for (const auto& [name, bytes] : sources) {
        WriteBytes(dir.File(name), bytes);
        for (const char* mode : {"", "/n"}) {
            std::vector<std::string> args = {dir.File(name), dir.File("out.txt")};
            if (*mode) args.insert(args.begin(), mode);
            TRun run = RunQuarvel(args);
            EXPECT_EQ(run.Status, 0) << name << " " << mode << ": " << run.Err;
            if (*mode) {
                EXPECT_EQ(ReadBytes(dir.File("out.txt")), bytes) << name;
            }
        }
    }
}

}  // namespace
}  // namespace quarvel
