// Workbooks read back by independent programs: xlrd with formatting information (values, number
// formats, borders, alignment, wrapping, merged areas, column widths, outline), olefile and libgsf
// for the container (the "Workbook" stream holds exactly the bytes the writer produced), and
// LibreOffice and Gnumeric converting to CSV.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/platform/PlatformSupport.h"
#include "tests/writer/WriterSupport.h"
#include "platform/CompoundFile.h"

namespace quarvel {
namespace {

using namespace writer_test;
using test::CheckContainers;
using test::ShellQuote;
using test::ReadByteVector;
using test::ReaderScript;
using test::Run;
using test::TCommandResult;
using test::TTempDir;
using test::WriteBytes;


TCommandResult XlsDump(const std::string& file, bool shortTexts = false) {
    return Run("PYTHONIOENCODING=utf-8 " + ShellQuote(QUARVEL_PYTHON) + " " + ShellQuote(ReaderScript("xls_dump.py")) +
               (shortTexts ? " --short " : " ") + ShellQuote(file));
}

std::unique_ptr<TXLSWorkbook> NewWorkbook() {
    std::unique_ptr<TXLSWorkbook> workbook;
    MakeConverterWorkbook(workbook);
    return workbook;
}

// Thin borders of one colour on all four edges, as the converter gives table cells.
void Border(TCell& cell, TExcelColor color) {
    cell.SetBorderTopStyle(cbsThin);
    cell.SetBorderLeftStyle(cbsThin);
    cell.SetBorderRightStyle(cbsThin);
    cell.SetBorderBottomStyle(cbsThin);
    cell.SetBorderTopColor(color);
    cell.SetBorderLeftColor(color);
    cell.SetBorderRightColor(color);
    cell.SetBorderBottomColor(color);
}

const std::u16string kLongText = u"a text long enough to wrap in its column";

// A report like the converter builds: a merged, centred caption, a bordered header row, numbers
// and dates with their formats, a wrapping text, a merged and bordered area, column widths, two
// outline levels of collapsed rows, and a second, hidden sheet.
void BuildReport(TXLSWorkbook& book) {
    TSheet& s = book.Sheets().Items(0);
    s.SetName(u"Лист1");
    auto put = [&](int col, int row, auto value, const std::u16string& format = u"") {
        if constexpr (std::is_same_v<decltype(value), double>) {
            s.SetAsFloat(col, row, value);
        } else {
            s.SetAsWideString(col, row, value);
        }
        TCell& cell = *s.Cell(col, row);
        if (!format.empty()) cell.SetNumberFormat(format);
        if (row > 0) Border(cell, xcGray50);
        cell.SetVertAlignment(1);
    };
    put(0, 0, std::u16string(u"Quarterly report"));
    s.MergedCells().AddArea(0, 0, 3, 0);
    s.Range().Area(0, 0, 3, 0).SetHorizAlignment(2);
    const std::u16string headers[] = {u"Region", u"City", u"Amount", u"Date"};
    for (int j = 0; j < 4; ++j) put(j, 1, headers[j]);
    put(0, 2, std::u16string(u"North"));
    put(1, 3, std::u16string(u"Moscow"));
    put(2, 3, 1234.5, u"#,##0.00");
    put(3, 3, 39945.0, u"dd.mm.yyyy");
    put(1, 4, std::u16string(u"Kazan"));
    put(2, 4, 12.0, u"0");
    s.SetAsDateTime(3, 4, 39945.75);
    s.Cell(3, 4)->SetNumberFormat(u"dd.mm.yyyy hh:mm");
    Border(*s.Cell(3, 4), xcGray50);
    s.Cell(3, 4)->SetVertAlignment(1);
    put(1, 5, kLongText);
    s.Cell(1, 5)->SetFormatOptions(foWrapText);
    put(0, 6, std::u16string(u"South"));
    s.Cell(0, 6)->SetBorderRightStyle(cbsNone);
    s.Cell(0, 6)->SetBorderBottomStyle(cbsNone);
    s.MergedCells().AddArea(0, 6, 1, 7);
    TXLSRange& range = s.Range().Area(0, 6, 1, 7);
    range.SetBorderRightStyle(cbsThin);
    range.SetBorderBottomStyle(cbsThin);
    range.SetBorderRightColor(xcGray50);
    range.SetBorderBottomColor(xcGray50);
    s.Columns().EnsureColumns(0, 4);
    const double widths[] = {10, 32, 12.5, 16};
    for (int j = 0; j < 4; ++j) s.Columns().Items(j)->SetWidth(widths[j]);
    s.GroupRows(3, 5, true);
    s.GroupRows(4, 4, true);
    s.SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols);

    TSheet& hidden = book.Sheets().Add();
    hidden.SetName(u"Hidden");
    hidden.SetHidden(hsHidden);
    hidden.SetAsFloat(0, 0, 1);
}

const char* const kReportDump =
    "sheet Лист1 vis=0 rows=8 cols=4\n"
    "cell 0,0 text 'Quarterly report' fmt='General' wrap=0 v=1 h=2\n"
    "cell 0,1 blank '' fmt='General' wrap=0 v=2 h=2\n"
    "cell 0,2 blank '' fmt='General' wrap=0 v=2 h=2\n"
    "cell 0,3 blank '' fmt='General' wrap=0 v=2 h=2\n"
    "cell 1,0 text 'Region' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 1,1 text 'City' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 1,2 text 'Amount' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 1,3 text 'Date' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 2,0 text 'North' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 3,1 text 'Moscow' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 3,2 number 1234.5 fmt='#,##0.00' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 3,3 date 39945.0 fmt='dd.mm.yyyy' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 4,1 text 'Kazan' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 4,2 number 12.0 fmt='0' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 4,3 date 39945.75 fmt='dd.mm.yyyy hh:mm' wrap=0 v=1 h=0 border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 5,1 text 'a text long enough to wrap in its column' fmt='General' wrap=1 v=1 h=0 "
    "border=T1/23,L1/23,R1/23,B1/23\n"
    "cell 6,0 text 'South' fmt='General' wrap=0 v=1 h=0 border=T1/23,L1/23,R0/23,B0/23\n"
    "cell 6,1 blank '' fmt='General' wrap=0 v=2 h=0 border=T0/0,L0/0,R1/23,B0/0\n"
    "cell 7,0 blank '' fmt='General' wrap=0 v=2 h=0 border=T0/0,L0/0,R0/0,B1/23\n"
    "cell 7,1 blank '' fmt='General' wrap=0 v=2 h=0 border=T0/0,L0/0,R1/23,B1/23\n"
    "merged 0:1,0:4\n"
    "merged 6:8,0:2\n"
    "col 0 width=2560 hidden=0 level=0\n"
    "col 1 width=8192 hidden=0 level=0\n"
    "col 2 width=3200 hidden=0 level=0\n"
    "col 3 width=4096 hidden=0 level=0\n"
    "row 3 level=1 hidden=1\n"
    "row 4 level=2 hidden=1\n"
    "row 5 level=1 hidden=1\n"
    "sheet Hidden vis=1 rows=1 cols=1\n"
    "cell 0,0 number 1.0 fmt='General' wrap=0 v=2 h=0\n";

TEST(WriterRoundTripTest, XlrdReadsValuesFormatsBordersMergesWidthsAndOutline) {
    TTempDir dir;
    auto book = NewWorkbook();
    BuildReport(*book);
    const std::string file = dir.File("report.xls");
    book->SetFilename(std::u16string(file.begin(), file.end()));
    book->Write(TBIFF8Writer());
    const TCommandResult dump = XlsDump(file);
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.output, kReportDump);
}

// DIMENSIONS holds the last used row and column plus one up to 65,536 and 256: a sheet that uses
// its last row and column says so, and xlrd finds the record agreeing with the cells it reads.
TEST(WriterRoundTripTest, XlrdReadsDimensionsUpToTheLastRowAndColumnOfTheSheet) {
    TTempDir dir;
    auto book = NewWorkbook();
    TSheet& corners = book->Sheets().Items(0);
    corners.SetName(u"Corners");
    corners.SetAsFloat(0, 0, 1);
    corners.SetAsFloat(255, 65535, 2);
    TSheet& last = book->Sheets().Add();  // only the last cell of the sheet
    last.SetName(u"Last");
    last.SetAsWideString(255, 65535, u"z");
    TSheet& inside = book->Sheets().Add();
    inside.SetName(u"Inside");
    inside.SetAsFloat(0, 0, 1);
    inside.SetAsFloat(254, 65534, 2);
    TSheet& beyond = book->Sheets().Add();  // cells past the sheet are left out
    beyond.SetName(u"Beyond");
    beyond.SetAsFloat(0, 0, 1);
    beyond.SetAsFloat(300, 70000, 2);
    const std::string file = dir.File("limits.xls");
    book->SetFilename(std::u16string(file.begin(), file.end()));
    book->Write(TBIFF8Writer());
    const TCommandResult dump =
        test::Run(ShellQuote(QUARVEL_PYTHON) + " " + ShellQuote(ReaderScript("xls_dimensions.py")) + " " +
                  ShellQuote(file));
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.output,
              "Corners dimensions=65536,256 cells=65536,256\n"
              "Last dimensions=65536,256 cells=65536,256\n"
              "Inside dimensions=65535,255 cells=65535,255\n"
              "Beyond dimensions=65536,256 cells=1,1\n");
}

// Workbooks whose "Workbook" stream is just below, at and just above the 4096 bytes from which
// a stream leaves the mini stream: the raw bytes, the container of WriteToStream and the file of
// Write must agree for olefile and gsf.
TEST(WriterRoundTripTest, ContainersHoldExactlyTheStreamWrittenAroundTheMiniStreamCutoff) {
    TTempDir dir;
    auto sized = [](size_t textLength) {
        auto book = NewWorkbook();
        book->Sheets().Items(0).SetAsWideString(0, 0, std::u16string(textLength, u'q'));
        return book;
    };
    const size_t base = WriteRaw(*sized(0)).size();
    ASSERT_LT(base, 4000u);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t target : {size_t(4095), size_t(4096), size_t(4097)}) {
        SCOPED_TRACE(target);
        auto book = sized(target - base);
        const Bytes raw = WriteRaw(*book);
        ASSERT_EQ(raw.size(), target);
        const std::string name = "stream" + std::to_string(target);
        WriteBytes(dir.File(name + ".raw"), raw);
        Bytes container;
        book->WriteToStream(TBIFF8Writer(), &container);
        WriteBytes(dir.File(name + ".xls"), container);
        pairs.push_back({dir.File(name + ".xls"), dir.File(name + ".raw")});
        const std::string file = dir.File(name + "-file.xls");
        book->SetFilename(std::u16string(file.begin(), file.end()));
        book->Write(TBIFF8Writer());
        EXPECT_EQ(ReadByteVector(file), container);
        pairs.push_back({file, dir.File(name + ".raw")});
        const TCommandResult dump = XlsDump(file, true);
        EXPECT_EQ(dump.status, 0) << dump.output;
        EXPECT_NE(dump.output.find("<" + std::to_string(target - base) + " characters 'qqqq"), std::string::npos)
            << dump.output;
    }
    auto report = NewWorkbook();
    BuildReport(*report);
    WriteBytes(dir.File("report.raw"), WriteRaw(*report));
    Bytes container;
    report->WriteToStream(TBIFF8Writer(), &container);
    WriteBytes(dir.File("report.xls"), container);
    pairs.push_back({dir.File("report.xls"), dir.File("report.raw")});

    const TCommandResult check = CheckContainers("Workbook", pairs);
    EXPECT_EQ(check.status, 0) << check.output;
}

// A stream of some 7.7 MB needs more FAT sectors than the header lists: the file gets DIFAT
// sectors, and the readers still find every string.
TEST(WriterRoundTripTest, ALargeWorkbookNeedsDifatSectorsAndReadsBack) {
    TTempDir dir;
    auto book = NewWorkbook();
    TSheet& sheet = book->Sheets().Items(0);
    std::u16string text(7000, u'.');
    for (int i = 0; i < 1100; ++i) {
        // Distinct texts: i in base 26.
        text[0] = static_cast<char16_t>(u'A' + i / 676);
        text[1] = static_cast<char16_t>(u'A' + i / 26 % 26);
        text[2] = static_cast<char16_t>(u'a' + i % 26);
        sheet.SetAsWideString(i % 4, i / 4, text);
        sheet.SetAsFloat(4, i / 4, i + 0.5);
    }
    const std::string file = dir.File("large.xls");
    book->SetFilename(std::u16string(file.begin(), file.end()));
    book->Write(TBIFF8Writer());
    const Bytes bytes = ReadByteVector(file);
    ASSERT_GT(bytes.size(), 7u * 1024 * 1024);
    EXPECT_NE(Le32(bytes, 0x44), 0xFFFFFFFEu);  // first DIFAT sector
    EXPECT_GE(Le32(bytes, 0x48), 1u);           // DIFAT sector count
    EXPECT_GT(Le32(bytes, 0x2C), 109u);         // FAT sectors

    WriteBytes(dir.File("large.raw"), WriteRaw(*book));
    const TCommandResult check = CheckContainers("Workbook", {{file, dir.File("large.raw")}});
    EXPECT_EQ(check.status, 0) << check.output;

    const TCommandResult dump = XlsDump(file, true);
    ASSERT_EQ(dump.status, 0) << dump.output.substr(0, 400);
    EXPECT_NE(dump.output.find("sheet Sheet1 vis=0 rows=275 cols=5\n"), std::string::npos);
    const std::string dots(17, '.');
    EXPECT_NE(dump.output.find("cell 0,0 text <7000 characters 'AAa" + dots + "'"), std::string::npos);
    EXPECT_NE(dump.output.find("cell 274,3 text <7000 characters 'BQh" + dots + "'"), std::string::npos);
    EXPECT_NE(dump.output.find("cell 274,4 number 1099.5 fmt='General'"), std::string::npos);
}

// ---- CSV from LibreOffice and Gnumeric

struct TExpectedCell {
    int Row, Col;
    const char* Kind;
    std::string Value;
};

// Texts with separators and quotes, numbers written as RK, MULRK and NUMBER, a date, a merged
// area, and the last row and column of the sheet (65535 and 255).
std::vector<TExpectedCell> BuildValues(TXLSWorkbook& book) {
    TSheet& s = book.Sheets().Items(0);
    s.SetAsWideString(0, 0, u"Name");
    s.SetAsWideString(1, 0, u"Amount");
    s.SetAsWideString(2, 0, u"When");
    s.SetAsWideString(0, 1, u"Ünïcødé Ω");
    s.SetAsFloat(1, 1, 1234.5);
    s.SetAsFloat(2, 1, 39945);
    s.Cell(2, 1)->SetNumberFormat(u"yyyy-mm-dd");
    s.SetAsWideString(0, 2, u"x,y \"q\"");
    s.SetAsFloat(1, 2, -0.125);
    s.SetAsFloat(2, 2, 0.07);
    s.SetAsFloat(3, 2, 12345.67);
    s.SetAsFloat(4, 2, 1234567891.25);
    s.MergedCells().AddArea(0, 3, 2, 3);
    s.SetAsWideString(0, 3, u"merged");
    s.SetAsFloat(255, 65535, 42);
    return {
        {0, 0, "text", "Name"}, {0, 1, "text", "Amount"}, {0, 2, "text", "When"},
        {1, 0, "text", "Ünïcødé Ω"}, {1, 1, "number", "1234.5"}, {1, 2, "date", "2009-05-12"},
        {2, 0, "text", "x,y \"q\""}, {2, 1, "number", "-0.125"}, {2, 2, "number", "0.07"},
        {2, 3, "number", "12345.67"}, {2, 4, "number", "1234567891.25"},
        {3, 0, "text", "merged"}, {65535, 255, "number", "42"},
    };
}

class WriterCsvTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto book = NewWorkbook();
        const auto cells = BuildValues(*book);
        file_ = dir_.File("values.xls");
        book->SetFilename(std::u16string(file_.begin(), file_.end()));
        book->Write(TBIFF8Writer());
        std::ofstream out(dir_.File("expected.tsv"), std::ios::binary);
        for (const TExpectedCell& c : cells) out << c.Row << '\t' << c.Col << '\t' << c.Kind << '\t' << c.Value << '\n';
    }
    TCommandResult Compare(const std::string& csv) {
        return test::Run(ShellQuote(QUARVEL_PYTHON) + " " + ShellQuote(ReaderScript("csv_export_check.py")) + " " +
                   ShellQuote(csv) + " " + ShellQuote(dir_.File("expected.tsv")));
    }

    TTempDir dir_;
    std::string file_;
};

TEST_F(WriterCsvTest, GnumericReadsTheValues) {
    const std::string csv = dir_.File("gnumeric.csv");
    const TCommandResult convert =
        test::Run(ShellQuote(QUARVEL_SSCONVERT) + " " + ShellQuote(file_) + " " + ShellQuote(csv));
    ASSERT_EQ(convert.status, 0) << convert.output;
    const TCommandResult compare = Compare(csv);
    EXPECT_EQ(compare.status, 0) << compare.output;
}

TEST_F(WriterCsvTest, LibreOfficeReadsTheValues) {
    const std::string out = dir_.File("lo");
    // Its own profile folder, so that a LibreOffice the user runs meanwhile is not disturbed; the
    // filter options ask for commas, double quotes and UTF-8.
    const TCommandResult convert =
        test::Run(ShellQuote(QUARVEL_SOFFICE) + " -env:UserInstallation=file://" + dir_.File("profile") +
            " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " + ShellQuote(out) + " " +
            ShellQuote(file_));
    ASSERT_EQ(convert.status, 0) << convert.output;
    const TCommandResult compare = Compare(out + "/values.csv");
    EXPECT_EQ(compare.status, 0) << compare.output << convert.output;
}

}  // namespace
}  // namespace quarvel
