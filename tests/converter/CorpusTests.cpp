// Real-world pages and data files: hand-checked outputs, and every corpus file in both modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "converter/Converter.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using test::CorpusDir;
using test::ReadBytes;
using test::TTempDir;

const fs::path kFixtures = fs::path(QUARVEL_SOURCE_DIR) / "tests/converter/fixtures";

struct FixtureCase {
    const char* input;     // in the corpus
    const char* expected;  // in the fixture folder
    std::u16string divider = u"TAB";
    std::string header = "";
};

TEST(CorpusFixtures, FlattenedOutputMatchesTheCheckedBytes) {
    const FixtureCase cases[] = {
        {"nested_table.html", "nested_table.txt"},
        {"tidy_case-1183751_colgroup_thead_tfoot.html", "tidy_case-1183751_colgroup_thead_tfoot.txt"},
        {"bbc_606_forum_cp1252.html", "bbc_606_forum_cp1252.txt"},
        {"tidy_case-588061_mixed_case_tags.html", "tidy_case-588061_mixed_case_tags.txt"},
        {"hacker_news.html", "hacker_news.txt"},
        {"ibge_censo_rj.html", "ibge_censo_rj.semicolon_header.txt", u";", "Censo 2010"},
    };
    TTempDir dir;
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.input);
        const fs::path input = CorpusDir() / c.input;
        ASSERT_TRUE(fs::exists(input)) << "corpus file missing: " << input;
        TConverter converter;
        converter.Settings.FieldDivider = c.divider;
        converter.Settings.HeaderText = c.header;
        converter.RunConversion(input.string(), dir.File("out.txt"));
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), ReadBytes((kFixtures / c.expected).string()));
    }
}

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    fs::path dir = CorpusDir();
    if (dir.empty() || !fs::is_directory(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().filename() != "PROVENANCE.md") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Corpus, NotCleanTagsOutputIsHeaderThenTheInput) {
    auto files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus folder not found: " << CorpusDir();
    TTempDir dir;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        TConverter converter;
        converter.Settings.NotCleanTags = true;
        converter.Settings.HeaderText = "Header";
        converter.RunConversion(file.string(), dir.File("out.csv"));
        EXPECT_EQ(ReadBytes(dir.File("out.csv")), "Header\r\n" + ReadBytes(file.string()));
        EXPECT_TRUE(converter.SpanList.empty());
        EXPECT_TRUE(converter.LineColors.empty());
    }
}

TEST(Corpus, EveryFileFlattens) {
    auto files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "corpus folder not found: " << CorpusDir();
    TTempDir dir;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        for (bool header : {false, true}) {
            TConverter converter;
            if (header) converter.Settings.HeaderText = "Header";
            converter.RunConversion(file.string(), dir.File("out.txt"));
            std::string out = ReadBytes(dir.File("out.txt"));
            if (header) {
                EXPECT_EQ(out.rfind("Header\r\n", 0), 0u);
            }
            // Flattening for a workbook gives the same lines, as characters: the text output decoded
            // in the page's encoding, but for references the encoding could not hold.
            const std::string bytes = ReadBytes(file.string());
            size_t bom = 0;
            const TCodePage page = converter.SourceCodePage(bytes, bom);
            converter.LoadSource(bytes, false);
            const std::vector<std::string_view> lines = SplitLines(out);
            ASSERT_EQ(lines.size(), converter.Lines.size());
            for (size_t i = 0; i < lines.size(); ++i) {
                const WideString decoded = page.Decode(lines[i]);
                if (decoded.find(u'&') == WideString::npos) {
                    EXPECT_EQ(decoded, converter.Lines[i]) << i;
                }
            }
            EXPECT_GE(converter.LineColors.size(), 1u);
            for (const TSpanRecord& span : converter.SpanList) {
                EXPECT_GE(span.Col1, 1);
                EXPECT_GE(span.Row1, 1);
                EXPECT_LE(span.Row2, static_cast<int32_t>(lines.size()));
            }
        }
    }
}

}  // namespace
}  // namespace quarvel
