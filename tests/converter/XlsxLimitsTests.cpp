// The sheet limits follow the format written: a .xlsx sheet keeps 1,048,576 rows of 16,384 columns,
// a .xls sheet 65,536 rows of 256, and what lies beyond is counted against the limits in force.
#include <gtest/gtest.h>

#include <string>

#include "converter/Converter.h"
#include "converter/SheetBuilder.h"
#include "platform/Locale.h"
#include "tests/platform/PlatformSupport.h"
#include "tests/platform/ZipReader.h"
#include "workbook/Rows.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

using test::TTempDir;

// Lines of `fields` tab-separated numbers each; line i holds i in every field.
void SetGrid(TConverter& converter, int lines, int fields) {
    converter.Lines.clear();
    for (int i = 0; i < lines; ++i) {
        WideString line;
        for (int j = 0; j < fields; ++j) {
            if (j) line += u'\t';
            for (char c : std::to_string(i)) line += static_cast<char16_t>(c);
        }
        converter.Lines.push_back(line);
    }
}

TConversionReport Build(TConverter& converter, const std::string& target) {
    converter.Settings = TConversionSettings{};
    ParseCommandLine({"in.txt", target}, converter.Settings);
    return BuildWorkbook(converter, target);
}

TEST(SheetLimits, FollowTheTargetAndComeBackAfterIt) {
    TTempDir dir;
    TConverter converter;
    SetGrid(converter, 70000, 2);
    converter.Lines[5] = WideString(300, u'x') + u"\t" + WideString(40000, u'y');

    // .xlsx: every row, the one long text cut as for .xls.
    TConversionReport report = Build(converter, dir.File("grid.xlsx"));
    EXPECT_EQ(report.RowsCut, 0);
    EXPECT_EQ(report.ColsCut, 0);
    EXPECT_EQ(report.TextsCut, 1);
    EXPECT_EQ(MaxRow, 65535) << "the BIFF8 limits are back";
    EXPECT_EQ(MaxCol, 255);

    // .xls right after it in the same process: 70,000 - 65,536 rows left out.
    SetGrid(converter, 70000, 2);
    report = Build(converter, dir.File("grid.xls"));
    EXPECT_EQ(report.RowsCut, 4464);
    EXPECT_EQ(report.ColsCut, 0);

    SetGrid(converter, 3, 300);
    EXPECT_EQ(Build(converter, dir.File("wide.xls")).ColsCut, 44);
    SetGrid(converter, 3, 300);
    EXPECT_EQ(Build(converter, dir.File("wide.XLSX")).ColsCut, 0) << "the extension in any case";
    SetGrid(converter, 3, 16385);
    EXPECT_EQ(Build(converter, dir.File("widest.xlsx")).ColsCut, 1) << "column 16,385 is beyond this sheet too";
    EXPECT_EQ(MaxCol, 255);
}

// A full sheet: line 1,048,576 is the last row a .xlsx holds, the line after it is left out.
TEST(SheetLimits, AFullXlsxSheetKeepsItsLastRow) {
    TConverter converter;
    SetGrid(converter, 1048577, 1);
    ParseCommandLine({"in.txt", "out.xlsx"}, converter.Settings);
    TXLSWorkbook workbook(UsLocaleInfo());
    workbook.ApplyStoredValues();
    workbook.SetVersion(xvExcel2007);
    const TConversionReport report = FillWorkbook(converter, workbook);
    TSheet& sheet = workbook.Sheets()[0];
    EXPECT_EQ(report.RowsCut, 1);
    EXPECT_EQ(sheet.AsFloat(0, 1048575), 1048575.0);
    EXPECT_EQ(sheet.Cells().CellCount(), 1048576);
    workbook.SetVersion(xvExcel97);
}

TEST(SheetLimits, TheLimitsComeBackWhenAConversionFails) {
    TTempDir dir;
    TConverter converter;
    SetGrid(converter, 10, 2);
    EXPECT_THROW(Build(converter, dir.File("missing/grid.xlsx")), FileError);
    EXPECT_EQ(MaxRow, 65535);
    EXPECT_EQ(MaxCol, 255);
}

TEST(SheetLimits, TargetsNamedXlsxOnly) {
    EXPECT_TRUE(IsXlsxTarget("out.xlsx"));
    EXPECT_TRUE(IsXlsxTarget("/home/ann/Out.XlSx"));
    EXPECT_FALSE(IsXlsxTarget("out.xls"));
    EXPECT_FALSE(IsXlsxTarget("out.xlsm"));
    EXPECT_FALSE(IsXlsxTarget("out.xlsxx"));
    EXPECT_FALSE(IsXlsxTarget("dir.xlsx/out"));
    EXPECT_FALSE(IsXlsxTarget("xlsx"));
    EXPECT_FALSE(IsTextTarget("out.xlsx"));
}

// Row objects keep whole row numbers: under the limits of a .xlsx sheet, grouped and wrapped rows
// far beyond 65,535 stay on their own rows.
TEST(SheetLimits, RowObjectsBeyondSixteenBits) {
    TXLSWorkbook workbook(UsLocaleInfo());
    workbook.SetVersion(xvExcel2007);
    TSheet& sheet = workbook.Sheets()[0];
    sheet.GroupRows(65536 + 10, 1048575, true);
    TXLSRows& rows = sheet.Rows();
    EXPECT_EQ(rows.Count(), 1048575 - 65546 + 1);
    EXPECT_EQ(rows.Items(0).Row(), 65546);
    EXPECT_EQ(rows.Items(rows.Count() - 1).Row(), 1048575);
    EXPECT_EQ(rows.Find(10), nullptr) << "65546 does not land on row 10";
    rows.Add(70000).SetHeight(510);
    EXPECT_EQ(rows.Find(70000)->Height(), 510);
    EXPECT_THROW(rows.Add(1048576), Error);
    workbook.SetVersion(xvExcel97);
    EXPECT_THROW(rows.Add(65536), Error) << "beyond a BIFF8 sheet";
}

}  // namespace
}  // namespace quarvel
