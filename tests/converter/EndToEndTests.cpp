// Whole conversions to .xls: the built program converts the bundled example, corpus files and
// generated grids; olefile, xlrd, Gnumeric and LibreOffice read the files back.
//
// Every test that needs a written workbook skips, saying so, while the build has no workbook writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "converter/Fields.h"
#include "tests/converter/ConverterSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::string kExampleHeader = "ACME Corporation - internal";

std::string Example() { return std::string(QUARVEL_SOURCE_DIR) + "/examples/report.htm"; }
std::string Corpus(const std::string& name) { return (CorpusDir() / name).string(); }

// The warnings the program prints for a conversion: what the filled sheet left out.
std::string WarningsFor(const TConversionReport& report, const std::string& target) {
    std::string warnings;
    for (const std::string& warning : CutWarnings(report)) warnings += "quarvel: " + target + ": warning: " + warning + "\n";
    return warnings;
}

// Compares what the readers see in the program's file, and the warnings it printed, with the
// sheet the same conversion fills in this process.
void ExpectConversionAsMeant(const std::vector<std::string>& args, const std::string& target, const TRun& run) {
    TXLSWorkbook meant(UsLocaleInfo());
    const TConversionReport report = FillAsTheProgramDoes(args, meant);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, WarningsFor(report, target));
    const TSheetView file = ReadWorkbookFile(target);
    const std::vector<std::string> differences = Differences(ViewOfModel(meant), file);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
}

TEST(EndToEnd, TheExampleReport) {
    TTempDir dir;
    const std::string target = dir.File("report.xls");
    // The README's command line.
    const std::vector<std::string> args = {Example(), target, "/l", "3", "/d", "10", "/h", kExampleHeader};
    const TRun run = RunQuarvel(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    ExpectConversionAsMeant(args, target, run);

    // What the readers see, worked out by hand from the page.
    const TSheetView file = ReadWorkbookFile(target);
    ASSERT_EQ(file.Error, "");
    EXPECT_EQ(file.Name, u"Лист1");
    EXPECT_EQ(file.Rows, 21);
    EXPECT_EQ(file.Cols, 8);
    // Header line and caption across the eight columns; the two colspans of the heading row; the
    // rowspan of the Notes column.
    EXPECT_EQ(file.Merged, (std::vector<std::array<int, 4>>{
                               {0, 0, 0, 7}, {6, 6, 0, 7}, {7, 7, 0, 2}, {7, 7, 3, 6}, {11, 12, 7, 7}}));
    // Widths (1/256 character): the longest value, at most 32 characters, and one more.
    EXPECT_EQ(file.ColumnWidths, (std::map<int, int>{{0, 33 * 256},
                                                    {1, 9 * 256},   // Portland
                                                    {2, 9 * 256},   // Back Bay
                                                    {3, 11 * 256},  // 2018-04-01
                                                    {4, 13 * 256},  // 2,456,789.50
                                                    {5, 7 * 256},   // Change
                                                    {6, 19 * 256},  // 3/31/2024 10:30 PM
                                                    {7, 33 * 256}}));
    // Cities under regions, stores under cities; every grouped row starts hidden. A store with
    // nothing under it opens no group.
    EXPECT_EQ(file.Outline, (std::map<int, std::pair<int, int>>{{10, {1, 1}},
                                                               {11, {2, 1}},
                                                               {12, {2, 1}},
                                                               {13, {1, 1}},
                                                               {14, {2, 1}},
                                                               {16, {1, 1}},
                                                               {17, {2, 1}},
                                                               {18, {2, 1}},
                                                               {19, {1, 1}},
                                                               {20, {2, 1}}}));
    const char* const lines[] = {
        // The header line and the caption: no borders, the caption centred; the caption's empty
        // positions are blank cells. Column 0 wraps from the long paragraph of row 3 on.
        R"(cell 0 0 text "ACME Corporation - internal" fmt="General" b=0000:0,0,0,0 wrap=0 v=1 h=0)",
        R"(cell 6 0 text "Store sales, January to March" fmt="General" b=0000:0,0,0,0 wrap=1 v=1 h=2)",
        R"(cell 6 7 blank "" fmt="General" b=0000:0,0,0,0 wrap=0 v=2 h=2)",
        // Table cells: thin gray borders, vertically centred, numbers and dates with the format
        // that mirrors the text.
        R"(cell 9 0 text "North" fmt="General" b=1111:23,23,23,23 wrap=1 v=1 h=0)",
        R"(cell 9 4 number 2456789.5 fmt="#,##0.00" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 9 5 number 4.25 fmt="0.00" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 10 4 number 1200000.0 fmt="#,###" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 11 3 date 39945.0 fmt="M/DD/YYYY" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 12 3 date 42311.0 fmt="MM/D/YYYY" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 12 5 number 12.0 fmt="#0.0" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 14 3 text "2018-04-01" fmt="General" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 16 5 number 0.01 fmt="0e-0" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 17 5 number 0.75 fmt=".00" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 20 4 number 900000.0 fmt="#,###" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        // Long notes wrap; the short heading above them does not.
        R"(cell 8 7 text "Notes" fmt="General" b=1111:23,23,23,23 wrap=0 v=1 h=0)",
        R"(cell 9 7 text "Strongest quarter since the region was formed & staffed" fmt="General" b=1111:23,23,23,23 wrap=1 v=1 h=0)",
        // The rowspan reaches a line that has no field there: a blank cell with the area's edges.
        R"(cell 12 7 blank "" fmt="General" b=0111:0,23,23,23 wrap=0 v=2 h=0)",
    };
    for (const char* line : lines) EXPECT_TRUE(file.HasLine(line)) << line;
}

TEST(EndToEnd, CorpusFilesReadBackAsConverted) {
    TTempDir dir;
    const std::vector<std::vector<std::string>> conversions = {
        {Corpus("fdic_failed_bank_list.html")},
        {Corpus("wikipedia_ebola_epidemic.html")},
        {Corpus("hacker_news.html"), "/c", "navy"},
        {Corpus("arabic_newspapers_cp1256.html"), "/w", "20"},
        {Corpus("zone_anime_cp1251.htm"), "/c", "white"},
        {Corpus("rdatasets_index.html"), "/l", "1", "/d", "2"},
        {Corpus("ibge_censo_rj.html"), "/l", "2", "/h", "Censo"},
        {Corpus("tidy_case-1183751_colgroup_thead_tfoot.html")},
        {"/n", Corpus("gt_sp500.csv"), "/f", "44"},
        {"/n", Corpus("de_polls_semicolon_decimal_comma.csv"), "/f", "59"},
        {"/n", Corpus("world_bank_indicators_2014_2019.tsv"), "/l", "2", "/d", "2"},
        {"/n", Corpus("nrc_event_notifications_pipe.txt"), "/f", "124", "/w", "60"},
        {"/n", Corpus("mac_newlines_cr_only.csv"), "/f", "44"},
        {"/n", Corpus("ks_1033_data.csv"), "/f", "44", "/h", "Header line"},
    };
    int index = 0;
    for (std::vector<std::string> args : conversions) {
        // The target goes right after the source.
        const std::string target = dir.File("out" + std::to_string(index++) + ".xls");
        const size_t source = args[0] == "/n" ? 1 : 0;
        args.insert(args.begin() + static_cast<long>(source) + 1, target);
        SCOPED_TRACE(args[source]);
        const TRun run = RunQuarvel(args);
        // Some pages hold lines of more fields than a sheet has columns, or texts longer than a
        // cell holds: the warnings must say so.
        ExpectConversionAsMeant(args, target, run);
    }
}

// Splits one CSV line (with quotes doubled inside quoted fields) into fields.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

// Text cells must read back exactly and numbers as the same value; dates are left out, since each
// reader prints them in a format of its own.
void ExpectCsvHoldsTheSheet(const std::string& csvPath, TXLSWorkbook& meant, const std::string& reader) {
    std::ifstream in(csvPath, std::ios::binary);
    ASSERT_TRUE(in) << reader << " wrote no " << csvPath;
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(CsvFields(line));
    const TSheetView view = ViewOfModel(meant);
    int compared = 0, failures = 0;
    for (const auto& [position, cell] : view.Cells) {
        const auto [row, col] = position;
        const std::string field = size_t(row) < rows.size() && size_t(col) < rows[size_t(row)].size()
                                      ? rows[size_t(row)][size_t(col)]
                                      : std::string();
        const std::string where = reader + " " + std::to_string(row) + "," + std::to_string(col);
        if (cell.Kind == "text") {
            EXPECT_EQ(field, Utf16ToUtf8(cell.Text)) << where;
            failures += field != Utf16ToUtf8(cell.Text);
        } else if (cell.Kind == "blank") {
            EXPECT_EQ(field, "") << where;
        } else if (cell.Format.find_first_of(u"DMYHSdmyhs") == WideString::npos) {
            char* end = nullptr;
            const double value = std::strtod(field.c_str(), &end);
            const bool same = !field.empty() && *end == '\0' &&
                              std::fabs(value - cell.Number) <= 1e-9 * std::max(1.0, std::fabs(cell.Number));
            EXPECT_TRUE(same) << where << ": " << field << " for " << cell.Number;
            failures += !same;
        }
        ++compared;
        if (failures > 10) break;
    }
    EXPECT_GT(compared, 0) << reader;
}

// Every text cell of a sheet, in row and column order.
std::vector<WideString> Texts(const TSheetView& view) {
    std::vector<WideString> texts;
    for (const auto& [position, cell] : view.Cells) {
        if (cell.Kind == "text" && !cell.Text.empty()) texts.push_back(cell.Text);
    }
    return texts;
}

bool HasReference(const WideString& text) {
    for (size_t at = text.find(u'&'); at != WideString::npos; at = text.find(u'&', at + 1)) {
        size_t end = at + 1;
        if (end < text.size() && text[end] == u'#') ++end;
        while (end < text.size() && end - at < 34 && std::isalnum(static_cast<int>(text[end] < 128 ? text[end] : 0))) ++end;
        if (end > at + 1 && end < text.size() && text[end] == u';') return true;
    }
    return false;
}

// Pages in legacy encodings read as their characters in a UTF-8 locale, where nothing matches
// their code pages; a UTF-16 export converts like the same file in UTF-8.
TEST(EndToEnd, SourcesInOtherEncodingsReadAsTheirCharacters) {
    TTempDir dir;
    const char* saved = std::getenv("LC_ALL");
    const std::string before = saved ? saved : "";
    ::setenv("LC_ALL", "C.UTF-8", 1);
    struct Case {
        const char* page;
        std::u16string cell;  // a text some cell holds
    };
    const Case cases[] = {
        {"zone_anime_cp1251.htm", u"YAkub_Makarov93 \u00BB Zone Anime - \u0412\u0441\u0435 \u043E\u0431 "
                                  u"\u0438\u0441\u043A\u0443\u0441\u0441\u0442\u0432\u0435 \u0410\u043D\u0438\u043C\u0435"},
        {"arabic_newspapers_cp1256.html", u"Arabic newspapers Online - \u0627\u0644\u0635\u062D\u0641 \u0648 "
                                          u"\u0627\u0644\u062C\u0631\u0627\u0626\u062F \u0628\u0627\u0644\u0644\u063A\u0629 "
                                          u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629"},
        {"2ch_shift_jis.html", u"\uFF12\u3061\u3083\u3093\u306D\u308B\u63B2\u793A\u677F\u3078\u3088\u3046\u3053\u305D"},
        {"baidu_home_gb2312.html", u"\u767E\u5EA6\u4E00\u4E0B\uFF0C\u4F60\u5C31\u77E5\u9053"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        const std::string target = dir.File(std::string(c.page) + ".xls");
        const TRun run = RunQuarvel({Corpus(c.page), target});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const TSheetView file = ReadWorkbookFile(target);
        ASSERT_EQ(file.Error, "");
        const std::vector<WideString> texts = Texts(file);
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.cell), texts.end());
        for (const WideString& text : texts) {
            EXPECT_FALSE(HasReference(text)) << Utf16ToUtf8(text);
            EXPECT_EQ(text.find(u'\uFFFD'), WideString::npos) << Utf16ToUtf8(text);
        }
    }

    // The same CSV as UTF-16 LE with a byte-order mark: the same cells, and text output in UTF-8.
    const std::string utf8 = ReadBytes(Corpus("gt_exibble.csv"));
    const WideString wide = Utf8ToUtf16(utf8);
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit : wide) utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    WriteBytes(dir.File("exibble16.csv"), utf16);
    for (const char* name : {"exibble16.csv", "exibble8.csv"}) {
        if (std::string(name) == "exibble8.csv") WriteBytes(dir.File(name), utf8);
        const TRun run = RunQuarvel({"/n", dir.File(name), dir.File(std::string(name) + ".xls"), "/f", "44"});
        ASSERT_EQ(run.Status, 0) << run.Err;
    }
    const TSheetView from16 = ReadWorkbookFile(dir.File("exibble16.csv.xls"));
    const TSheetView from8 = ReadWorkbookFile(dir.File("exibble8.csv.xls"));
    ASSERT_EQ(from16.Error, "");
    EXPECT_GT(from16.Cells.size(), 50u);
    EXPECT_EQ(from16.Cells, from8.Cells);
    EXPECT_EQ(RunQuarvel({"/n", dir.File("exibble16.csv"), dir.File("exibble16.txt")}).Status, 0);
    EXPECT_EQ(ReadBytes(dir.File("exibble16.txt")), utf8);
    if (saved) {
        ::setenv("LC_ALL", before.c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
}

// Quoted CSV reads as CSV with /s: one row per record, and every field as Python's csv module
// reads it, dividers and line breaks inside quotes included.
TEST(EndToEnd, QuotedCsvGivesOneRowPerRecord) {
    TTempDir dir;
    struct Case {
        const char* file;
        const char* counts;  // what csv_source_check.py prints first
    };
    const Case cases[] = {
        {"ks_1033_data.csv", "records=1576 rows=1576 checked=22064 mismatches=0\n"},
        {"dslabs_trump_tweets.csv", "records=20762 rows=20762 checked=186858 mismatches=0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string target = dir.File(std::string(c.file) + ".xls");
        const TRun run = RunQuarvel({"/n", Corpus(c.file), target, "/f", "44", "/s", "34"});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto [status, output] = Shell(ShellQuote(QUARVEL_PYTHON) + " " +
                                            ShellQuote(QUARVEL_READERS_DIR "/csv_source_check.py") + " " +
                                            ShellQuote(Corpus(c.file)) + " " + ShellQuote(target) + " , '\"' 2>&1");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output, c.counts);
    }
    // A field with a divider inside its quotes, and one over several lines, as cells.
    const TSheetView ks = ReadWorkbookFile(dir.File("ks_1033_data.csv.xls"));
    ASSERT_EQ(ks.Error, "");
    EXPECT_EQ(ks.Rows, 1576);
    bool dividerInside = false;
    for (const auto& [position, cell] : ks.Cells) dividerInside = dividerInside || cell.Text == u"RIFLE,5.56 MILLIMETER";
    EXPECT_TRUE(dividerInside);
    const TSheetView tweets = ReadWorkbookFile(dir.File("dslabs_trump_tweets.csv.xls"));
    size_t broken = 0;
    for (const auto& [position, cell] : tweets.Cells) broken += cell.Text.find(u'\n') != WideString::npos && cell.Wrap == 1;
    EXPECT_GT(broken, 1000u);
}

TEST(EndToEnd, GnumericAndLibreOfficeReadTheSameValues) {
    if (std::string(QUARVEL_SSCONVERT).empty() || std::string(QUARVEL_SOFFICE).empty()) {
        GTEST_SKIP() << "ssconvert or soffice is not installed";
    }
    TTempDir dir;
    const std::vector<std::vector<std::string>> conversions = {
        {Example(), dir.File("report.xls"), "/l", "3", "/d", "10", "/h", kExampleHeader},
        {Corpus("fdic_failed_bank_list.html"), dir.File("banks.xls")},
        {"/n", Corpus("fy09_edu_recipients_by_state.csv"), dir.File("states.xls"), "/f", "44"},
    };
    std::string files;
    for (const auto& args : conversions) {
        const TRun run = RunQuarvel(args);
        ASSERT_EQ(run.Status, 0) << run.Err;
        const std::string& target = args[args[0] == "/n" ? 2 : 1];
        files += " " + ShellQuote(target);
        const std::string name = fs::path(target).stem().string();
        const auto [status, output] = Shell(ShellQuote(QUARVEL_SSCONVERT) + " " + ShellQuote(target) + " " +
                                            ShellQuote(dir.File(name + ".gnumeric.csv")) + " 2>&1");
        EXPECT_EQ(status, 0) << output;
    }
    // One LibreOffice run for all files, in a profile of its own; CSV in UTF-8 with the values
    // themselves rather than as their formats show them.
    const auto [status, output] =
        Shell("HOME=" + ShellQuote(dir.Path().string()) + " " + ShellQuote(QUARVEL_SOFFICE) +
              " -env:UserInstallation=file://" + dir.Path().string() + "/profile --headless --convert-to " +
              ShellQuote("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false") + " --outdir " +
              ShellQuote(dir.File("libreoffice")) + files + " 2>&1");
    EXPECT_EQ(status, 0) << output;
    for (const auto& args : conversions) {
        const std::string& target = args[args[0] == "/n" ? 2 : 1];
        const std::string name = fs::path(target).stem().string();
        TXLSWorkbook meant(UsLocaleInfo());
        FillAsTheProgramDoes(args, meant);
        ExpectCsvHoldsTheSheet(dir.File(name + ".gnumeric.csv"), meant, "Gnumeric");
        ExpectCsvHoldsTheSheet(dir.File("libreoffice/" + name + ".csv"), meant, "LibreOffice");
    }
}

// The environment that gives the program and LibreOffice a locale, "de_DE" for example: LC_ALL,
// and LOCPATH where the machine lacks the locale and it was generated into `dir`. Empty when it
// can be neither found nor made.
std::string LocaleEnvironment(const std::string& name, const TTempDir& dir) {
    const std::string full = name + ".UTF-8";
    const auto [listed, names] = Shell("locale -a 2>/dev/null");
    if (listed == 0 && (names.find(name + ".utf8\n") != std::string::npos ||
                        names.find(full + "\n") != std::string::npos)) {
        return "LC_ALL=" + full;
    }
    const std::string folder = dir.File("locales");
    fs::create_directories(folder);
    Shell("localedef -i " + name + " -f UTF-8 " + ShellQuote(folder + "/" + full) + " >/dev/null 2>&1");
    const std::string environment = "LOCPATH=" + ShellQuote(folder) + " LC_ALL=" + full;
    // The locale tool complains on stderr when the locale cannot be set.
    const auto [status, output] = Shell(environment + " locale 2>&1 >/dev/null");
    return status == 0 && output.empty() ? environment : std::string();
}

struct TShownField {
    const char* Field;
    bool Numeric;                 // a number or a date-time, else text
    const char* Shown = nullptr;  // what LibreOffice shows where it cannot show the field itself
};

// Converts the fields (one a line) under the environment's locale, has LibreOffice export the
// sheet as its cells show, under the same locale, and compares each shown text with its field.
// A field shows as written when the text is the field without the blanks that pad it.
void ExpectLibreOfficeShowsTheFields(const std::string& environment, const std::vector<TShownField>& fields) {
    TTempDir dir;
    std::string source;
    for (const TShownField& field : fields) source += std::string(field.Field) + "\n";
    WriteBytes(dir.File("fields.txt"), source);
    const std::string target = dir.File("fields.xls");
    const auto [converted, message] = Shell(environment + " " + ShellQuote(QUARVEL_BINARY) + " /n " +
                                            ShellQuote(dir.File("fields.txt")) + " " + ShellQuote(target) + " 2>&1");
    ASSERT_EQ(converted, 0) << message;
    const TSheetView file = ReadWorkbookFile(target);
    ASSERT_EQ(file.Error, "");
    const auto [status, output] =
        Shell(environment + " HOME=" + ShellQuote(dir.Path().string()) + " " + ShellQuote(QUARVEL_SOFFICE) +
              " -env:UserInstallation=file://" + dir.Path().string() + "/profile --headless --convert-to " +
              ShellQuote("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true") + " --outdir " +
              ShellQuote(dir.File("shown")) + " " + ShellQuote(target) + " 2>&1");
    ASSERT_EQ(status, 0) << output;
    std::ifstream in(dir.File("shown/fields.csv"), std::ios::binary);
    ASSERT_TRUE(in) << "LibreOffice wrote no CSV: " << output;
    std::vector<std::string> shown;
    for (std::string line; std::getline(in, line);) shown.push_back(CsvFields(line)[0]);
    ASSERT_GE(shown.size(), fields.size());
    for (size_t row = 0; row < fields.size(); ++row) {
        const TShownField& field = fields[row];
        std::string expected = field.Shown ? field.Shown : field.Field;
        if (!field.Shown) {
            expected.erase(0, expected.find_first_not_of(' '));
            expected.erase(expected.find_last_not_of(' ') + 1);
        }
        const auto cell = file.Cells.find({static_cast<int>(row), 0});
        ASSERT_NE(cell, file.Cells.end()) << field.Field;
        EXPECT_EQ(cell->second.Kind != "text", field.Numeric) << '"' << field.Field << "\" is " << cell->second.Kind;
        EXPECT_EQ(shown[row], expected) << '"' << field.Field << "\" with " << Utf16ToUtf8(cell->second.Format);
    }
}

TEST(EndToEnd, LibreOfficeShowsNumbersAndDatesAsTheTextWroteThem) {
    if (std::string(QUARVEL_SOFFICE).empty()) GTEST_SKIP() << "soffice is not installed";
    ExpectLibreOfficeShowsTheFields(
        "LC_ALL=C", {
                        {"007", true},
                        {"-007", true},
                        {"00.5", true},
                        {".5", true},
                        {"0.0001", true},
                        {"-3.14", true},
                        {"1234567.891", true},
                        {"1,234", true},
                        {"1,234.50", true},
                        {" 42 ", true},
                        {" 001 ", true},
                        {"1.5E3", true},
                        {"6.02E23", true},
                        {"1.5E-3", true},
                        {"1e5", true},
                        {"1e123", true},
                        {".5e3", true},
                        {"12345678901234567", false},
                        {"13:35", true},
                        {"10:30:15", true},
                        {"2:22 PM", true},
                        {"PM 2:22", true},
                        {"10 AM", true},
                        {"12:30:45.123", true},
                        {"12:30:45.5", true},
                        {"5/12", true},
                        {"5/12/2009", true},
                        {"11/3/15", true},
                        {"6/2/2009 9:27:03 AM", true},
                        {"5/12/2009 10:30 PM", true},
                        {"5/12/2009 13:35", true},
                        // What no format shows as written: the value, as near as it goes.
                        {"+5", true},
                        {"5.", true},
                        {"12E3", true, "1.2E4"},
                        {"1 000 000", true, "1,000,000"},
                    });
}

TEST(EndToEnd, LibreOfficeShowsGermanNumbersAndDatesAsWritten) {
    if (std::string(QUARVEL_SOFFICE).empty()) GTEST_SKIP() << "soffice is not installed";
    TTempDir dir;
    const std::string environment = LocaleEnvironment("de_DE", dir);
    if (environment.empty()) GTEST_SKIP() << "the locale de_DE.UTF-8 is neither installed nor can be made";
    ExpectLibreOfficeShowsTheFields(environment, {
                                                     {"2.502", true},
                                                     {"35,5", true},
                                                     {"07.11.2020", true},
                                                     {"1.234,50", true},
                                                     {"1.000", true},
                                                     {"1.234.567", true},
                                                     {"-007", true},
                                                     {"0,5", true},
                                                     {"5,", true},
                                                     {"10:30", true},
                                                     {"13:35:20", true},
                                                     {"12:30:45,123", true},
                                                     {"12.05.2009 10:30", true},
                                                     {"7.11.20", true},
                                                     {"1,5E3", true},
                                                     {"1234567890123456", false},
                                                 });
}

TEST(EndToEnd, LibreOfficeShowsFrenchNumbersAndDatesAsWritten) {
    if (std::string(QUARVEL_SOFFICE).empty()) GTEST_SKIP() << "soffice is not installed";
    TTempDir dir;
    const std::string environment = LocaleEnvironment("fr_FR", dir);
    if (environment.empty()) GTEST_SKIP() << "the locale fr_FR.UTF-8 is neither installed nor can be made";
    ExpectLibreOfficeShowsTheFields(environment, {
                                                     {"35,5", true},
                                                     {"0,5", true},
                                                     {"007", true},
                                                     {"07/11/2020", true},
                                                     {"07/11", true},
                                                     {"10:30", true},
                                                     {"12:30:45,5", true},
                                                     {"07/11/2020 13:35", true},
                                                 });
}

TEST(EndToEnd, WarnsAboutWhatTheSheetCannotHoldAndStillWritesIt) {
    TTempDir dir;
    std::string tall;  // 65,540 lines
    for (int i = 0; i < 65540; ++i) tall += std::to_string(i) + "\n";
    std::string wide;  // 260 fields, in three lines
    for (int line = 0; line < 3; ++line) {
        for (int i = 0; i < 260; ++i) wide += (i ? "\t" : "") + std::to_string(line * 1000 + i);
        wide += "\n";
    }
    const std::string longText = "short\t" + std::string(40000, 'L') + "\n" + std::string(32767, 'k') + "\n";
    struct Case {
        const char* name;
        std::string source;
        const char* warning;  // after "quarvel: <target>: warning: "
        int rows, cols;       // what xlrd sees
    };
    const Case cases[] = {
        {"tall", tall, "4 rows and 0 columns beyond the sheet were left out\n", 65536, 1},
        {"wide", wide, "0 rows and 4 columns beyond the sheet were left out\n", 3, 256},
        {"long", longText, "1 text was cut to 32767 characters\n", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = dir.File(std::string(c.name) + ".txt");
        const std::string target = dir.File(std::string(c.name) + ".xls");
        WriteBytes(source, c.source);
        const std::vector<std::string> args = {"/n", source, target};
        const TRun run = RunQuarvel(args);
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Err, "quarvel: " + target + ": warning: " + c.warning);
        const TSheetView file = ReadWorkbookFile(target);
        ASSERT_EQ(file.Error, "");
        EXPECT_EQ(file.Rows, c.rows);
        EXPECT_EQ(file.Cols, c.cols);
        ExpectConversionAsMeant(args, target, run);
    }
    // What was cut is the end of the text.
    const TSheetView file = ReadWorkbookFile(dir.File("long.xls"));
    EXPECT_EQ(file.Cells.at({0, 1}).Text, WideString(32767, u'L'));
}

TEST(EndToEnd, AFailedConversionLeavesNoFile) {
    TTempDir dir;
    WriteBytes(dir.File("in.txt"), "short\t" + std::string(300, 'x') + "\n");
    WriteBytes(dir.File("old.xls"), "old workbook");
    struct Case {
        std::vector<std::string> options;
        const char* message;
    };
    const Case cases[] = {
        {{"/w", "256"}, "Invalid value"},  // the 300 characters would make a column 256 wide
        {{"/w", "wide"}, "'wide' is not a valid integer value"},
        {{"/l", "8"}, "Group levels must be from 0 to 7, not 8"},
    };
    for (const Case& c : cases) {
        for (const char* target : {"old.xls", "new.xls"}) {
            std::vector<std::string> args = {"/n", dir.File("in.txt"), dir.File(target)};
            args.insert(args.end(), c.options.begin(), c.options.end());
            const TRun run = RunQuarvel(args);
            EXPECT_EQ(run.Status, 1);
            EXPECT_EQ(run.Err, "quarvel: " + dir.File(target) + ": " + c.message + "\n");
        }
    }
    EXPECT_EQ(ReadBytes(dir.File("old.xls")), "old workbook");
    EXPECT_FALSE(fs::exists(dir.File("new.xls")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

TEST(EndToEnd, TargetNamesAreTakenByteForByte) {
    TTempDir dir;
    WriteBytes(dir.File("in.htm"), "<table><tr><td>a</td><td>1</td></tr></table>");
    // A name in UTF-8 and one in a legacy single-byte encoding (not UTF-8 at all).
    for (const std::string name : {"Отчёт 1.xls", "caf\xE9.xls"}) {
        const TRun run = RunQuarvel({dir.File("in.htm"), dir.File(name)});
        EXPECT_EQ(run.Status, 0) << run.Err;
        ASSERT_TRUE(fs::exists(dir.File(name))) << name;
        const TSheetView file = ReadWorkbookFile(dir.File(name));
        EXPECT_EQ(file.Error, "");
        EXPECT_EQ(file.Cells.at({0, 0}).Text, u"a");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(EndToEnd, EveryConversionStartsFromAFreshWorkbook) {
    TTempDir dir;
    WriteBytes(dir.File("first.htm"),
               "<table><tr><td colspan=3>wide</td></tr><tr><td>first</td><td>1</td><td>2</td></tr>"
               "<tr><td></td><td>1</td><td>2</td></tr></table>");
    WriteBytes(dir.File("second.htm"), "<table><tr><td>second</td></tr></table>");
    // One converter for both, as the window keeps one.
    TConverter converter;
    converter.Settings.GroupLevels = "1";
    converter.RunConversion(dir.File("first.htm"), dir.File("first.xls"));
    converter.RunConversion(dir.File("second.htm"), dir.File("second.xls"));
    const TSheetView first = ReadWorkbookFile(dir.File("first.xls"));
    const TSheetView second = ReadWorkbookFile(dir.File("second.xls"));
    ASSERT_EQ(first.Error, "");
    ASSERT_EQ(second.Error, "");
    EXPECT_EQ(first.Merged.size(), 1u);
    EXPECT_FALSE(first.Outline.empty());
    EXPECT_EQ(second.Cells.size(), 1u);
    EXPECT_EQ(second.Cells.at({0, 0}).Text, u"second");
    EXPECT_TRUE(second.Merged.empty());
    EXPECT_TRUE(second.Outline.empty());
    EXPECT_EQ(second.ColumnWidths, (std::map<int, int>{{0, 7 * 256}}));
}

TEST(EndToEnd, ManyDateCellsKeepTheirNumberFormats) {
    TTempDir dir;
    std::string dates;
    for (int i = 0; i < 70000; ++i) dates += i % 2 ? "5/12/2009\t1.5\n" : "11/3/15\t2\n";
    WriteBytes(dir.File("dates.txt"), dates);
    const std::vector<std::string> args = {"/n", dir.File("dates.txt"), dir.File("dates.xls")};
    const TRun run = RunQuarvel(args);
    EXPECT_EQ(run.Status, 0);
    // Lines beyond the sheet are cut; every date within it keeps its own format.
    EXPECT_EQ(run.Err, "quarvel: " + dir.File("dates.xls") + ": warning: 4464 rows and 0 columns beyond the sheet were left out\n");
    const TSheetView file = ReadWorkbookFile(dir.File("dates.xls"));
    ASSERT_EQ(file.Error, "");
    ASSERT_EQ(file.Rows, 65536);
    int wrong = 0;
    for (int row = 0; row < 65536 && wrong < 5; ++row) {
        const TSheetCell& date = file.Cells.at({row, 0});
        const WideString format = row % 2 ? u"M/DD/YYYY" : u"MM/D/YY";
        const double value = row % 2 ? DateSerial(2009, 5, 12) : DateSerial(2015, 11, 3);
        if (date.Format != format || date.Number != value) {
            ++wrong;
            ADD_FAILURE() << "row " << row << ": " << Describe(date);
        }
    }
}

}  // namespace
}  // namespace quarvel
