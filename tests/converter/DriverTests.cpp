// The conversion driver: line splitting, the target rule, text output and the workbook branch.
#include <gtest/gtest.h>

#include <filesystem>

#include "converter/Converter.h"
#include "platform/Errors.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;
using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

TEST(SplitLines, LineEnds) {
    const std::pair<std::string, std::vector<std::string_view>> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\rb", {"a", "", "b"}},  // LF CR ends two lines
        {"a\r\n", {"a"}},            // a final break adds no empty line
        {"a\r\n\r\n", {"a", ""}},
        {"\r", {""}},
        {"a\r\r\r\nb\r\r\r\n", {"a", "", "", "b", "", ""}},
        {"a\0b\r\nc"s, {"a"}},  // a zero byte ends the text
        {"\0abc"s, {}},
    };
    for (const auto& [text, lines] : cases) {
        EXPECT_EQ(SplitLines(text), lines) << text;
    }
}

// Line breaks are searched in blocks: a break at any offset of a long line, and lines of every
// length around the block size, are cut as they are in short text.
TEST(SplitLines, BreaksAtEveryOffsetOfLongLines) {
    for (const std::string breakBytes : {"\r", "\n", "\r\n", "\n\r"}) {
        for (size_t length = 0; length <= 40; ++length) {
            const std::string first(length, 'x');
            const std::string second = std::string(length % 7 + 14, 'y');
            const std::string text = first + breakBytes + second + breakBytes + "z";
            std::vector<std::string_view> expected = {first};
            if (breakBytes == "\n\r") expected.push_back("");
            expected.push_back(second);
            if (breakBytes == "\n\r") expected.push_back("");
            expected.push_back("z");
            EXPECT_EQ(SplitLines(text), expected) << length << " " << int(breakBytes[0]);
        }
    }
}

TEST(IsTextTarget, FirstFourCharactersOfTheLowerCasedExtension) {
    const std::pair<const char*, bool> cases[] = {
        {"report.txt", true},  {"report.TXT", true},   {"report.csv", true},  {"report.Csv", true},
        {"report.csvx", true}, {"report.txt.bak", false}, {"report.tx", false}, {"report.xls", false},
        {"report", false},     {"report.text", false}, {".txt", true},       {"/tmp/a.b/out.Txt", true},
        // A dot in a folder name is no extension.
        {"a.csv/b", false},    {"dir.txt/report", false}, {"/srv/x.csv/", false},
    };
    for (const auto& [name, text] : cases) EXPECT_EQ(IsTextTarget(name), text) << name;
}

class RunConversionTest : public ::testing::Test {
protected:
    TTempDir dir;
    TConverter converter;

    std::string Convert(const std::string& source, const std::string& targetName = "out.txt") {
        std::string in = dir.File("in.src");
        std::string out = dir.File(targetName);
        WriteBytes(in, source);
        converter.RunConversion(in, out);
        return ReadBytes(out);
    }
};

TEST_F(RunConversionTest, NotCleanTagsCopiesTheSourceByteForByte) {
    converter.Settings.NotCleanTags = true;
    std::string source = "a;b\r\n<td>x</td>\n\xE9\xFF\0tail"s;
    EXPECT_EQ(Convert(source), source);
    // No spans, no line colours; nothing reads Lines after text output.
    EXPECT_TRUE(converter.SpanList.empty());
    EXPECT_TRUE(converter.LineColors.empty());
    EXPECT_TRUE(converter.Lines.empty());

    converter.Settings.HeaderText = "Head line";
    EXPECT_EQ(Convert(source, "out.csv"), "Head line\r\n" + source);
}

TEST_F(RunConversionTest, NotCleanTagsFillsLinesForAWorkbook) {
    converter.Settings.NotCleanTags = true;
    converter.Settings.HeaderText = "Head line";
    WriteBytes(dir.File("in.csv"), "a;b\r\n<td>x</td>\n\xE9\xFF\0tail"s);
    converter.RunConversion(dir.File("in.csv"), dir.File("out.xls"));
    // Lines stop at the zero byte; stray bytes read as Windows-1252.
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"Head line", u"a;b", u"<td>x</td>", u"\u00E9\u00FF"}));
}

TEST_F(RunConversionTest, FlatteningFillsLinesForAWorkbook) {
    WriteBytes(dir.File("in.htm"), "<tr><td>a</td><td colspan=2>b</td></tr><p>\xC3\xA9</p>");
    converter.RunConversion(dir.File("in.htm"), dir.File("out.xls"));
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"a\tb\t", u"\u00E9"}));
    Convert("<p>x</p>");
    EXPECT_TRUE(converter.Lines.empty());
}

TEST_F(RunConversionTest, NotCleanTagsEmptiesWhatAnEarlierFlatteningLeft) {
    converter.Settings.HeaderText = "H";
    Convert("<tr><td colspan=2>a</td></tr>");
    EXPECT_FALSE(converter.SpanList.empty());
    EXPECT_FALSE(converter.LineColors.empty());
    converter.Settings.NotCleanTags = true;
    Convert("x");
    EXPECT_TRUE(converter.SpanList.empty());
    EXPECT_TRUE(converter.LineColors.empty());
}

TEST_F(RunConversionTest, EmptySource) {
    EXPECT_EQ(Convert(""), "");
    converter.Settings.HeaderText = "H";
    EXPECT_EQ(Convert(""), "H\r\n");
    converter.Settings.NotCleanTags = true;
    EXPECT_EQ(Convert(""), "H\r\n");
    converter.Settings.HeaderText = "";
    EXPECT_EQ(Convert(""), "");
}

TEST_F(RunConversionTest, FlatteningCsvWithoutTagsGivesNoText) {
    EXPECT_EQ(Convert("a,b\r\n1,2\r\n"), "");
    EXPECT_TRUE(converter.Lines.empty());
}

TEST_F(RunConversionTest, FlattenedTextIsWritten) {
    EXPECT_EQ(Convert("<table><tr><td>1</td><td>x y</td></tr></table>", "OUT.CSVX"), "1\tx y\r\n");
}

TEST_F(RunConversionTest, ReplacesAnExistingTarget) {
    WriteBytes(dir.File("out.txt"), "old contents that are longer");
    EXPECT_EQ(Convert("<p>new</p>"), "new\r\n");
}

TEST_F(RunConversionTest, MissingSourceNamesTheFileAndLeavesTheTargetAlone) {
    WriteBytes(dir.File("out.txt"), "keep");
    std::string missing = dir.File("missing.htm");
    try {
        converter.RunConversion(missing, dir.File("out.txt"));
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "File not found");
        EXPECT_EQ(error.Path(), missing);
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "keep");
}

TEST_F(RunConversionTest, EveryOtherTargetGetsAWorkbook) {
    WriteBytes(dir.File("in.htm"), "<p>x</p>");
    WriteBytes(dir.File("old.xls"), "old workbook");
    const std::string signature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    for (const char* target : {"old.xls", "new.xls", "report.text", "report.tx", "noextension"}) {
        converter.RunConversion(dir.File("in.htm"), dir.File(target));
        EXPECT_EQ(ReadBytes(dir.File(target)).substr(0, 8), signature) << target;
    }
}

TEST_F(RunConversionTest, WorkbookOptionsAreCheckedBeforeAnythingIsWritten) {
    WriteBytes(dir.File("in.htm"), "<p>x</p>");
    struct Case {
        const char* levels;
        const char* startRow;
        const char* wrap;
        const char* message;
    };
    const Case cases[] = {
        {"9", "1", "32", "Group levels must be from 0 to 7, not 9"},
        {"2", "0", "32", "Start data row must be 1 or more, not 0"},
        {"0", "1", "", "'' is not a valid integer value"},
        {"abc", "1", "32", "'abc' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        converter.Settings.GroupLevels = c.levels;
        converter.Settings.StartDataRow = c.startRow;
        converter.Settings.WrapWidth = c.wrap;
        EXPECT_THROW_MSG(converter.RunConversion(dir.File("in.htm"), dir.File("out.xls")), Error, c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.xls")));
}

TEST_F(RunConversionTest, TextOutputIgnoresTheWorkbookOptions) {
    converter.Settings.WrapWidth = "";
    converter.Settings.GroupLevels = "99";
    EXPECT_EQ(Convert("<p>x</p>"), "x\r\n");
}

TEST(TConverter, ConvertersSideBySideKeepTheirOwnState) {
    TConverter first, second;
    first.Settings.FieldDivider = WideString(1, u';');  // (a literal here trips a false GCC 12 warning)
    first.FlattenHtml("<tr><td colspan=2>a</td><td>b</td></tr>");
    second.FlattenHtml("<p>c</p>");
    EXPECT_EQ(first.Lines, (std::vector<WideString>{u"a;;b"}));
    EXPECT_EQ(first.SpanList.size(), 1u);
    EXPECT_EQ(second.Lines, (std::vector<WideString>{u"c"}));
    EXPECT_TRUE(second.SpanList.empty());
}

TEST(TConverter, SplitFieldsFillsFields) {
    TConverter converter;
    converter.SplitFields(u"a\t\tb", u'\t');
    EXPECT_EQ(converter.Fields, (std::vector<WideString>{u"a", u"", u"b"}));
}

TEST(TConverter, LinesAreDecodedWithTheConvertersCodePage) {
    TConverter converter(TLocaleInfo{}, TCodePage::ForCodeset("CP1251"));
    converter.SetLines("\xCF\xF0\xE8\xE2\xE5\xF2\r\nx");
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"\u041F\u0440\u0438\u0432\u0435\u0442", u"x"}));
}

}  // namespace
}  // namespace quarvel
