// Settings, colour and separator mappings, the command line and its echo.
#include <gtest/gtest.h>

#include "converter/Settings.h"
#include "platform/Errors.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

TEST(ConversionSettings, DefaultsAreTheDocumentedOnes) {
    TConversionSettings s;
    EXPECT_EQ(s.SourceFile, "");
    EXPECT_EQ(s.TargetFile, "");
    EXPECT_FALSE(s.NotCleanTags);
    EXPECT_EQ(s.GroupLevels, "0");
    EXPECT_EQ(s.StartDataRow, "1");
    EXPECT_EQ(s.WrapWidth, "32");
    EXPECT_EQ(s.FieldDivider, u"TAB");
    EXPECT_EQ(s.StringTerminator, u"NO");
    EXPECT_EQ(s.BorderColor, 0x808080u);
    EXPECT_EQ(s.HeaderText, "");
    EXPECT_FALSE(s.TablesOnly);
    EXPECT_EQ(s.Encoding, "");
}

TEST(Colors, NamesValuesPaletteIndexesAndEchoNames) {
    struct Case {
        const char* name;
        uint32_t color;
        TExcelColor index;
        const char* echo;
    };
    const Case cases[] = {
        {"black", 0x000000, xcBlack, "black"},       {"maroon", 0x000080, xcDarkRed, "maroon"},
        {"green", 0x008000, xcGreen, "green"},       {"olive", 0x008080, xcBrownGreen, "olive"},
        {"navy", 0x800000, xcDarkBlue, "navy"},      {"purple", 0x800080, xcViolet, "purple"},
        {"teal", 0x808000, xcBlueGreen, "teal"},     {"gray", 0x808080, xcGray50, "gray"},
        {"silver", 0xC0C0C0, xcGray25, "silver"},    {"red", 0x0000FF, xcRed, "red"},
        {"lime", 0x00FF00, xcBrightGreen, "lime"},   {"yellow", 0x00FFFF, xcYellow, "yellow"},
        {"blue", 0xFF0000, xcBlue, "blue"},          {"fuchsia", 0xFF00FF, xcPink, "magenta"},
        {"aqua", 0xFFFF00, xcTurquoise, "cyan"},
        // Names outside the table, white itself and the echo names of fuchsia and aqua give white.
        {"white", 0xFFFFFF, xcWhite, "white"},       {"orange", 0xFFFFFF, xcWhite, "white"},
        {"magenta", 0xFFFFFF, xcWhite, "white"},     {"cyan", 0xFFFFFF, xcWhite, "white"},
        {"", 0xFFFFFF, xcWhite, "white"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ColorFromName(c.name), c.color);
        EXPECT_EQ(ColorToExcelColor(c.color), c.index);
        EXPECT_EQ(ColorEchoName(c.color), c.echo);
    }
    EXPECT_EQ(ColorFromName("NaVy"), 0x800000u);
    EXPECT_EQ(ColorToExcelColor(0x123456), xcWhite);
}

TEST(SeparatorCode, ListEntriesAndCharacterCodes) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"TAB", "9"}, {u"tab", "9"}, {u"Tab", "9"}, {u"SPACE", "32"}, {u"space", "32"},
        {u"NO", ""},   {u"no", ""},   {u";", "59"},  {u",", "44"},      {u"\"", "34"},
        {u"'", "39"},  {u"|", "124"}, {u"\u00A7", "167"}, {u"\t", "9"}, {u"Tabs", "84"},
        {u"", ""},
    };
    for (const auto& [entry, code] : cases) {
        EXPECT_EQ(SeparatorCode(entry), code) << std::string(entry.begin(), entry.end());
    }
}

TEST(QuoteIfSpaced, OnlyABlankCounts) {
    EXPECT_EQ(QuoteIfSpaced("a b"), "\"");
    EXPECT_EQ(QuoteIfSpaced("ab"), "");
    EXPECT_EQ(QuoteIfSpaced("a\tb"), "");
    EXPECT_EQ(QuoteIfSpaced(""), "");
}

TEST(StrToInt, DecimalIntegersOnly) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("32"), 32);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("-12"), -12);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "abc", "1.5", " 1", "1 ", "0x10", "$10", "-", "2147483648", "99999999999999999999"}) {
        EXPECT_THROW_MSG(StrToInt(bad), Error, "'" + std::string(bad) + "' is not a valid integer value");
    }
}

// One command line and the settings it must give.
struct ParseCase {
    std::vector<std::string> args;
    bool batch;
    std::string source, target;
    bool notClean = false;
    std::string levels = "0", startRow = "1", wrap = "32";
    std::u16string divider = u"TAB", terminator = u"NO";
    uint32_t color = 0x808080;
    std::string header = "";
    bool tablesOnly = false;
    std::string encoding = "";
};

TEST(ParseCommandLine, Table) {
    const ParseCase cases[] = {
        // Fewer than two arguments are not parsed at all.
        {{"in.htm"}, false, "", ""},
        {{"/n"}, false, "", ""},
        {{}, false, "", ""},
        {{"in.htm", "out.xls"}, true, "in.htm", "out.xls"},
        {{"in.htm", "out.xls", "third"}, true, "in.htm", "out.xls"},
        {{"in.htm", "out.xls", "/l", "2", "/w", "40"}, true, "in.htm", "out.xls", false, "2", "1", "40"},
        {{"/n", "in.csv", "out.xls"}, true, "in.csv", "out.xls", true},
        {{"/N", "in.csv", "out.xls"}, true, "in.csv", "out.xls", true},
        {{"/nothing", "in.csv", "out.xls"}, true, "in.csv", "out.xls", true},
        // The pending letter stays: both names go to GroupLevels, the last one wins.
        {{"/l", "2", "in.htm", "out.xls"}, false, "", "", false, "out.xls"},
        {{"/w", "40", "/l", "2"}, false, "", "", false, "2", "1", "40"},
        {{"a", "b", "/d", "3", "/D", "4"}, true, "a", "b", false, "0", "4"},
        {{"a", "b", "/f", "59"}, true, "a", "b", false, "0", "1", "32", u";"},
        {{"a", "b", "/f", "9"}, true, "a", "b", false, "0", "1", "32", u"TAB"},
        {{"a", "b", "/f", "32"}, true, "a", "b", false, "0", "1", "32", u"SPACE"},
        {{"a", "b", "/F", "09"}, true, "a", "b", false, "0", "1", "32", u"\t"},
        {{"a", "b", "/s", "34"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"\""},
        {{"a", "b", "/c", "white"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0xFFFFFF},
        {{"a", "b", "/c", "orange"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0xFFFFFF},
        {{"a", "b", "/c", "magenta"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0xFFFFFF},
        {{"a", "b", "/c", "RED"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0x0000FF},
        {{"a", "b", "/h", "My report"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0x808080, "My report"},
        // /n resets the pending letter, so file names may follow it.
        {{"/h", "x", "/n", "in", "out"}, true, "in", "out", true, "0", "1", "32", u"TAB", u"NO", 0x808080, "x"},
        // A bare "/" keeps the pending letter.
        {{"/w", "/", "50", "a", "b"}, false, "", "", false, "0", "1", "b"},
        // Absolute paths are file names, not switches; a name under the root is written with "//".
        {{"/home/ann/in.htm", "/tmp/out.txt", "/l", "1"}, true, "/home/ann/in.htm", "/tmp/out.txt", false, "1"},
        {{"//in.htm", "out.txt"}, true, "//in.htm", "out.txt"},
        {{"/n", "/srv/data/in.csv", "./out.csv"}, true, "/srv/data/in.csv", "./out.csv", true},
        // An empty argument is a value like any other.
        {{"", "a", "b"}, true, "a", "b"},
        // /t takes no value, like /n; /e takes the encoding's name.
        {{"/t", "in.htm", "out.xls"}, true, "in.htm", "out.xls", false, "0", "1", "32", u"TAB", u"NO", 0x808080, "",
         true},
        {{"/h", "x", "/Tables", "in", "out"}, true, "in", "out", false, "0", "1", "32", u"TAB", u"NO", 0x808080, "x",
         true},
        {{"a", "b", "/e", "windows-1251", "/t"}, true, "a", "b", false, "0", "1", "32", u"TAB", u"NO", 0x808080, "",
         true, "windows-1251"},
        {{"/e", "Shift_JIS", "a", "b"}, false, "", "", false, "0", "1", "32", u"TAB", u"NO", 0x808080, "", false, "b"},
    };
    for (const ParseCase& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += "[" + a + "]";
        SCOPED_TRACE(joined);
        TConversionSettings s;
        EXPECT_EQ(ParseCommandLine(c.args, s), c.batch);
        EXPECT_EQ(s.SourceFile, c.source);
        EXPECT_EQ(s.TargetFile, c.target);
        EXPECT_EQ(s.NotCleanTags, c.notClean);
        EXPECT_EQ(s.GroupLevels, c.levels);
        EXPECT_EQ(s.StartDataRow, c.startRow);
        EXPECT_EQ(s.WrapWidth, c.wrap);
        EXPECT_EQ(s.FieldDivider, c.divider);
        EXPECT_EQ(s.StringTerminator, c.terminator);
        EXPECT_EQ(s.BorderColor, c.color);
        EXPECT_EQ(s.HeaderText, c.header);
        EXPECT_EQ(s.TablesOnly, c.tablesOnly);
        EXPECT_EQ(s.Encoding, c.encoding);
    }
}

TEST(ParseCommandLine, FileNamesAfterTheSecondAreIgnoredAndCollected) {
    TConversionSettings s;
    std::vector<std::string> extra;
    EXPECT_TRUE(ParseCommandLine({"a", "b", "c", "/l", "2", "d", "/n", "", "/x", "e"}, s, &extra));
    EXPECT_EQ(s.SourceFile, "a");
    EXPECT_EQ(s.TargetFile, "b");
    EXPECT_EQ(s.GroupLevels, "d");  // a value after /l is the value, not a name
    EXPECT_TRUE(s.NotCleanTags);
    EXPECT_EQ(extra, (std::vector<std::string>{"c", "", "e"}));

    // Names before the second are no extra operands; nothing is collected without a list.
    std::vector<std::string> none;
    TConversionSettings t;
    EXPECT_TRUE(ParseCommandLine({"/h", "x", "/n", "a", "b"}, t, &none));
    EXPECT_TRUE(none.empty());
    TConversionSettings u;
    EXPECT_TRUE(ParseCommandLine({"a", "b", "c"}, u));
    EXPECT_EQ(u.TargetFile, "b");
}

TEST(ParseCommandLine, NonIntegerDividerStopsWithTheConversionError) {
    TConversionSettings s;
    EXPECT_THROW_MSG(ParseCommandLine({"in.htm", "out.xls", "/f", "x", "/l", "3"}, s), Error,
                     "'x' is not a valid integer value");
    // What was parsed before the bad value stays; what follows it is not read.
    EXPECT_EQ(s.SourceFile, "in.htm");
    EXPECT_EQ(s.TargetFile, "out.xls");
    EXPECT_EQ(s.GroupLevels, "0");

    TConversionSettings t;
    EXPECT_THROW_MSG(ParseCommandLine({"/s", "", "a", "b"}, t), Error, "'' is not a valid integer value");
    EXPECT_EQ(t.SourceFile, "");
}

TEST(BuildCommandLine, EchoesTheSettings) {
    TConversionSettings s;
    s.SourceFile = "/data/in.htm";
    s.TargetFile = "/data/out.xls";
    EXPECT_EQ(BuildCommandLine(s, "/opt/q"), "/opt/q /data/in.htm /data/out.xls /l 0 /d 1 /w 32 /f 9 /c gray");

    TConversionSettings empty;
    EXPECT_EQ(BuildCommandLine(empty, "/opt/q"), "/opt/q  /l 0 /d 1 /w 32 /f 9 /c gray");

    // The target is echoed when the source is set, even when the target is empty...
    TConversionSettings noTarget;
    noTarget.SourceFile = "in.htm";
    EXPECT_EQ(BuildCommandLine(noTarget, "q"), "q in.htm  /l 0 /d 1 /w 32 /f 9 /c gray");
    // ...and not echoed without a source.
    TConversionSettings noSource;
    noSource.TargetFile = "out.xls";
    EXPECT_EQ(BuildCommandLine(noSource, "q"), "q  /l 0 /d 1 /w 32 /f 9 /c gray");

    TConversionSettings all;
    all.SourceFile = "my in.htm";
    all.TargetFile = "out.csv";
    all.NotCleanTags = true;
    all.GroupLevels = "2";
    all.StartDataRow = "3";
    all.WrapWidth = "40";
    all.FieldDivider = u";";
    all.StringTerminator = u"\"";
    all.BorderColor = 0xFF00FF;
    all.HeaderText = "Sales \"Q1\"";
    all.TablesOnly = true;
    all.Encoding = "x mac cyrillic";
    EXPECT_EQ(BuildCommandLine(all, "/usr/local/bin/my q"),
              "\"/usr/local/bin/my q\" \"my in.htm\" out.csv /n /t /l 2 /d 3 /w 40 /f 59 /s 34 /c magenta"
              " /e \"x mac cyrillic\" /h \"Sales \"Q1\"\"");

    TConversionSettings white;
    white.BorderColor = 0xFFFFFF;
    white.FieldDivider = u"SPACE";
    white.HeaderText = "H";
    EXPECT_EQ(BuildCommandLine(white, "q"), "q  /l 0 /d 1 /w 32 /f 32 /h H");
}

TEST(BuildCommandLine, EchoReadsBackToTheSameSettingsExceptFuchsiaAndAqua) {
    TConversionSettings s;
    s.SourceFile = "in.htm";
    s.TargetFile = "out.txt";
    s.NotCleanTags = true;
    s.GroupLevels = "3";
    s.WrapWidth = "20";
    s.FieldDivider = u";";
    s.BorderColor = ColorFromName("teal");
    s.HeaderText = "Header";
    s.TablesOnly = true;
    s.Encoding = "KOI8-R";
    std::string echo = BuildCommandLine(s, "q");
    std::vector<std::string> args;
    for (size_t start = 0; start <= echo.size();) {
        size_t end = echo.find(' ', start);
        if (end == std::string::npos) end = echo.size();
        args.push_back(echo.substr(start, end - start));
        start = end + 1;
    }
    args.erase(args.begin());  // the program path
    TConversionSettings back;
    EXPECT_TRUE(ParseCommandLine(args, back));
    EXPECT_EQ(BuildCommandLine(back, "q"), echo);

    s.BorderColor = ColorFromName("aqua");
    echo = BuildCommandLine(s, "q");
    EXPECT_NE(echo.find("/c cyan"), std::string::npos);
    TConversionSettings cyan;
    ParseCommandLine({"a", "b", "/c", "cyan"}, cyan);
    EXPECT_EQ(cyan.BorderColor, kColorWhite);
}

TEST(CheckWorkbookSettings, RefusesWhatTheWorkbookCannotUse) {
    auto check = [](std::string levels, std::string startRow, std::string wrap) {
        TConversionSettings s;
        s.GroupLevels = std::move(levels);
        s.StartDataRow = std::move(startRow);
        s.WrapWidth = std::move(wrap);
        CheckWorkbookSettings(s);
    };
    EXPECT_NO_THROW(check("0", "1", "32"));
    EXPECT_NO_THROW(check("7", "99", "0"));
    EXPECT_NO_THROW(check("00", "1", "32"));
    // With grouping off the start row is never read.
    EXPECT_NO_THROW(check("0", "0", "32"));
    EXPECT_THROW_MSG(check("8", "1", "32"), Error, "Group levels must be from 0 to 7, not 8");
    EXPECT_THROW_MSG(check("-1", "1", "32"), Error, "Group levels must be from 0 to 7, not -1");
    EXPECT_THROW_MSG(check("x", "1", "32"), Error, "'x' is not a valid integer value");
    EXPECT_THROW_MSG(check("2", "0", "32"), Error, "Start data row must be 1 or more, not 0");
    EXPECT_THROW_MSG(check("2", "", "32"), Error, "'' is not a valid integer value");
    EXPECT_THROW_MSG(check("0", "1", ""), Error, "'' is not a valid integer value");
    EXPECT_THROW_MSG(check("0", "1", "3.5"), Error, "'3.5' is not a valid integer value");
}

}  // namespace
}  // namespace quarvel
