// The workbook and its sheets: construction, the converter's stored values, sheet names and
// running numbers, version limits, record-backed properties, PrepareWrite and the progress step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/PlatformSupport.h"
#include "tests/workbook/WorkbookSupport.h"
#include "workbook/XLSUtils.h"
#include "workbook/XLSWorkbook.h"

namespace quarvel {
namespace {

using test::Hex;

std::string Body(const TRecordStorageDefault& records, uint16_t id) {
    const int i = records.Defaults().IndexOfId(id);
    if (i < 0) return "(missing)";
    const TRecordEntry& entry = records.Defaults().Records(i);
    return Hex(entry.Body(), entry.Length());
}

uint16_t Word(const TRecordStorageDefault& records, uint16_t id, size_t offset = 0) {
    return records.Defaults().Records(records.Defaults().IndexOfId(id)).Word(offset);
}

TEST(Workbook, NewWorkbook) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    ASSERT_EQ(workbook.Sheets().Count(), 1);
    EXPECT_EQ(workbook.Sheets()[0].Name(), u"Sheet1");
    EXPECT_EQ(workbook.Sheets()[0].ID(), 0);
    EXPECT_EQ(Body(workbook.Records(), ridWINDOW1), "64 00 64 00 10 27 58 1B 38 00 00 00 00 00 01 00 58 02");
    EXPECT_EQ(workbook.Workbook().Options(), woHScroll | woVScroll | woTabs);
    EXPECT_EQ(workbook.Version(), xvExcel97);
    EXPECT_EQ(workbook.MaxRecordSize(), 8224);
    EXPECT_EQ(workbook.SST().MaxRecordSize(), 8224);
    EXPECT_EQ(MaxCol, 255);
    EXPECT_EQ(MaxRow, 65535);
    EXPECT_EQ(workbook.DefaultFormat().Index(), 15);
    EXPECT_EQ(workbook.Formats().Count(), 22);
    ASSERT_NE(workbook.Font(), nullptr);
    EXPECT_EQ(workbook.Font()->Name(), u"Arial");
    // Calculation options read from the first sheet's records.
    const TOptionsDialog& options = workbook.OptionsDialog();
    EXPECT_EQ(options.CalcMode(), cmAutomatic);
    EXPECT_EQ(options.CalcCount(), 100);
    EXPECT_DOUBLE_EQ(options.Delta(), 0.001);
    EXPECT_FALSE(options.R1C1Mode());
    EXPECT_FALSE(options.Iteration());
    EXPECT_TRUE(options.SaveRecalc());
    EXPECT_TRUE(options.PrecisionAsDisplayed());
    EXPECT_EQ(workbook.UserName(), u"");
    EXPECT_FALSE(workbook.RecomendReadOnly());
    EXPECT_TRUE(workbook.StyleTable());
    EXPECT_TRUE(workbook.PreserveMacros());
    // A new sheet: nothing selected but A1, not protected, WINDOW2 0x04B6, WSBOOL 0x04C1.
    const TSheet& sheet = workbook.Sheets()[0];
    EXPECT_EQ(sheet.SheetProtection(), 0x7FFF);
    EXPECT_EQ(sheet.TabColor(), xcAutomatic);
    EXPECT_EQ(sheet.Records().Window2OptionWord(), 0x04B6);
    EXPECT_EQ(Word(sheet.Records(), ridWSBOOL), 0x04C1);
    ASSERT_EQ(sheet.SelectedAreas().Count(), 1);
    EXPECT_EQ(sheet.SelectedAreas().Items(0), TCellArea(0, 0, 0, 0));
    EXPECT_EQ(sheet.Pane().PaneType(), ptNone);
}

TEST(Workbook, PaperSizeOfNewSheetsComesFromTheLocale) {
    const std::pair<int, TPaperSize> cases[] = {
        {1, psLetter}, {5, psLegal}, {8, psA3}, {9, psA4}, {7, psA4}, {0, psA4}, {-3, psA4},
    };
    for (auto [code, paper] : cases) {
        TLocaleInfo locale;
        locale.DefaultPaperSize = code;
        TXLSWorkbook workbook(locale);
        EXPECT_EQ(workbook.DefaultPaperSize(), paper) << code;
        EXPECT_EQ(workbook.Sheets()[0].PrintSettings().PaperSize(), paper) << code;
        EXPECT_EQ(workbook.Sheets().Add().PrintSettings().PaperSize(), paper) << code;
    }
}

TEST(Workbook, StoredValues) {
    TLocaleInfo letter;
    letter.DefaultPaperSize = 1;
    TXLSWorkbook workbook(letter);
    workbook.ApplyStoredValues();
    ASSERT_EQ(workbook.Sheets().Count(), 1);
    TSheet& sheet = workbook.Sheets()[0];
    EXPECT_EQ(sheet.Name(), u"Sheet1");
    EXPECT_EQ(sheet.ID(), 1) << "the constructor's sheet used running number 0";

    // paper 9 (A4 even for a Letter locale), scale 100, start page 1, fit 1 x 1, options
    // 0x0002 (portrait; the start-page bit cleared), resolution 600 x 600, margins 0.5, copies 0
    EXPECT_EQ(Body(sheet.Records(), ridSETUP),
              "09 00 64 00 01 00 01 00 01 00 02 00 58 02 58 02 00 00 00 00 00 00 E0 3F "
              "00 00 00 00 00 00 E0 3F 00 00");
    EXPECT_EQ(sheet.Records().Window2OptionWord(), 0x04B6);
    EXPECT_EQ(Word(sheet.Records(), ridWSBOOL), 0x04C1);
    EXPECT_EQ(Body(sheet.Records(), ridDEFAULTROWHEIGHT), "00 00 FF 00");
    EXPECT_EQ(Word(sheet.Records(), ridDEFCOLWIDTH), 8);
    EXPECT_EQ(Word(sheet.Records(), ridPRINTHEADERS), 0);
    EXPECT_EQ(Word(sheet.Records(), ridPRINTGRIDLINES), 0);
    const TPrintSettings& print = sheet.PrintSettings();
    EXPECT_EQ(print.MarginLeft(), 0.75);
    EXPECT_EQ(print.MarginRight(), 0.75);
    EXPECT_EQ(print.MarginTop(), 1.0);
    EXPECT_EQ(print.MarginBottom(), 1.0);
    EXPECT_DOUBLE_EQ(print.MarginLeftCm(), 1.905);
    EXPECT_EQ(print.Header(), u"");
    EXPECT_TRUE(print.HorizPagebreaks().empty());

    // WRITEACCESS: 109 blanks, stored as their count, option byte 0 and the blanks.
    std::string blanks;
    for (int i = 0; i < 109; ++i) blanks += " 20";
    EXPECT_EQ(Body(workbook.Records(), ridWRITEACCESS), "6D 00 00" + blanks);
    EXPECT_EQ(workbook.UserName(), u"") << "blanks are trimmed when read";
    EXPECT_EQ(Body(workbook.Records(), ridWINDOW1), "64 00 64 00 10 27 58 1B 38 00 00 00 00 00 01 00 58 02");
    EXPECT_EQ(Word(workbook.Records(), ridPRECISION), 1);
    EXPECT_EQ(workbook.OptionsDialog().CalcCount(), 100);
    EXPECT_DOUBLE_EQ(workbook.OptionsDialog().Delta(), 0.001);
    EXPECT_TRUE(workbook.OptionsDialog().SaveRecalc());
    EXPECT_TRUE(workbook.FileSharing().empty());

    // Later sheets take the next running numbers, which are never reused.
    EXPECT_EQ(workbook.Sheets().Add().Name(), u"Sheet3");
    workbook.Sheets().Delete(1);
    EXPECT_EQ(workbook.Sheets().Add().Name(), u"Sheet4");
}

TEST(Workbook, SheetNames) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    TSheets& sheets = workbook.Sheets();
    TSheet& first = sheets[0];
    first.SetName(u"SHEET1");
    EXPECT_EQ(first.Name(), u"Sheet1") << "a change of case alone is ignored";

    TSheet& second = sheets.Add();
    EXPECT_EQ(second.Name(), u"Sheet2");
    EXPECT_THROW_MSG(second.SetName(u"sheet1"), Error, "Sheet name \"sheet1\" allready exists");
    EXPECT_EQ(second.Name(), u"Sheet2");
    second.SetName(u"");
    EXPECT_EQ(second.Name(), u"") << "an empty name is accepted";

    first.SetName(u"Лист1");
    EXPECT_THROW_MSG(second.SetName(u"лИСТ1"), Error, "Sheet name \"лИСТ1\" allready exists");
    second.SetName(u"Straße");
    EXPECT_EQ(workbook.SheetByName(u"лист1"), &first);
    EXPECT_EQ(workbook.SheetByName(u"STRAßE"), &second);
    EXPECT_EQ(workbook.SheetByName(u"Sheet2"), nullptr);
    EXPECT_EQ(second.Index(), 1);
    EXPECT_THROW_MSG(sheets.Items(2), Error, "List index out of bounds (2)");
}

TEST(Workbook, VersionSetsTheLimits) {
    struct Case {
        TExcelVersion version;
        int32_t recordSize, maxCol, maxRow;
    };
    const Case cases[] = {
        {xvExcel50, 2080, 255, 65535},
        {xvExcel97, 8224, 255, 65535},
        {xvExcel2007, 8224, 16383, 1048575},
        {xvExcel21, 2080, 255, 65535},
    };
    TXLSWorkbook workbook{TLocaleInfo{}};
    for (const Case& c : cases) {
        workbook.SetVersion(c.version);
        EXPECT_EQ(workbook.MaxRecordSize(), c.recordSize) << int(c.version);
        EXPECT_EQ(workbook.SST().MaxRecordSize(), c.recordSize) << int(c.version);
        EXPECT_EQ(MaxCol, c.maxCol) << int(c.version);
        EXPECT_EQ(MaxRow, c.maxRow) << int(c.version);
    }
    workbook.SetVersion(xvExcel2007);
    TXLSWorkbook another{TLocaleInfo{}};
    EXPECT_EQ(MaxCol, 255) << "the limits are process-wide: a new workbook sets them back";
}

TEST(Workbook, CalcCount) {
    const std::pair<int32_t, uint16_t> cases[] = {{0, 1}, {-5, 32767}, {100, 100}, {32767, 32767}, {40000, 32767}};
    TXLSWorkbook workbook{TLocaleInfo{}};
    for (auto [value, stored] : cases) {
        workbook.OptionsDialog().SetCalcCount(value);
        EXPECT_EQ(workbook.OptionsDialog().CalcCount(), stored) << value;
    }
}

TEST(Workbook, SheetPropertiesLiveInTheRecords) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    TSheet& sheet = workbook.Sheets()[0];

    sheet.SetOptions(soGridlines | soRowColHeadings | soShowZeros | soProtected | soR1C1Mode);
    EXPECT_EQ(sheet.Records().Window2OptionWord(), 0x04B6);
    EXPECT_EQ(sheet.Options(), soGridlines | soRowColHeadings | soShowZeros) << "three elements are not stored";
    sheet.SetOptions(soShowFormulas | soFrozenPanes);
    EXPECT_EQ(sheet.Records().Window2OptionWord(), 0x04A9);
    sheet.SetZoom(75);
    sheet.SetZoomPreview(60);
    EXPECT_EQ(Body(sheet.Records(), ridWINDOW2), "A9 04 00 00 00 00 40 00 00 00 3C 00 4B 00 00 00 00 00");

    sheet.SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols);
    EXPECT_EQ(Word(sheet.Records(), ridWSBOOL), 0x0481);
    sheet.SetWorkspaceOptions(woShowAutoBreaks | woRowSumsBelow | woColSumsRight | woOutlineSymbols);
    EXPECT_EQ(Word(sheet.Records(), ridWSBOOL), 0x04C1);
    EXPECT_EQ(sheet.WorkspaceOptions(), woShowAutoBreaks | woRowSumsBelow | woColSumsRight | woOutlineSymbols);

    TPrintSettings& print = sheet.PrintSettings();
    print.SetStartingPage(3);
    EXPECT_EQ(sheet.Records().SetupOptionWord() & 0x0080, 0x0080);
    print.SetOptions(psoPortrait | psoGridlines);
    EXPECT_EQ(sheet.Records().SetupOptionWord(), 0x0002) << "setting the options drops the start-page bit";
    EXPECT_EQ(Word(sheet.Records(), ridPRINTGRIDLINES), 1);
    print.SetFitWidth(70000);
    EXPECT_EQ(print.FitWidth(), 0);
    print.SetFooterMarginCm(2.54);
    EXPECT_DOUBLE_EQ(print.FooterMargin(), 1.0);
    print.SetMarginTopCm(5.08);
    EXPECT_DOUBLE_EQ(print.MarginTop(), 2.0);
    EXPECT_EQ(print.AddHorizPagebreak(12).Col2, 255);
    EXPECT_EQ(print.AddVertPagebreak(3).Row2, 65535);

    sheet.Selection().SetActiveRow(4);
    sheet.Selection().SetActiveCol(2);
    EXPECT_EQ(Body(sheet.Records(), ridSELECTION), "03 04 00 02 00 00 00 01 00 04 00 04 00 02 02");

    sheet.GroupRows(1, 2, true);
    EXPECT_EQ(Hex(sheet.Records().GutsBody(), 8), "1D 00 00 00 02 00 00 00");
    EXPECT_EQ(sheet.Rows().Count(), 2);
}

TEST(Workbook, UserNameAndReadOnlyRecommendation) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    WideString name;
    for (int i = 0; i < 120; ++i) name += char16_t(u'a' + i % 26);
    workbook.SetUserName(name);
    EXPECT_EQ(workbook.UserName(), name.substr(0, 109));
    EXPECT_EQ(Body(workbook.Records(), ridWRITEACCESS).substr(0, 8), "6D 00 00");

    workbook.SetRecomendReadOnly(true);
    EXPECT_TRUE(workbook.RecomendReadOnly());
    EXPECT_EQ(Hex(workbook.FileSharing()), "01 00 00 00 00 00");
    workbook.SetRecomendReadOnly(false);
    EXPECT_FALSE(workbook.RecomendReadOnly());
    EXPECT_TRUE(workbook.FileSharing().empty()) << "all zero: emptied";

    workbook.SetBookProtected(true);
    workbook.SetBackup(true);
    EXPECT_EQ(Word(workbook.Records(), ridWINDOWPROTECT), 1);
    EXPECT_EQ(Word(workbook.Records(), ridBACKUP), 1);
    EXPECT_FALSE(workbook.RefreshAll());
}

TEST(Workbook, PrepareWrite) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    workbook.Sheets().Add();
    for (TExcelVersion version : {xvExcel21, xvExcel30}) {
        workbook.SetVersion(version);
        EXPECT_THROW_MSG(workbook.PrepareWrite(), Error, "Can not write Excel 2.1/3.0 files");
    }
    workbook.SetVersion(xvExcel97);

    TOptionsDialog& options = workbook.OptionsDialog();
    options.SetCalcMode(cmAutoExTables);
    options.SetCalcCount(7);
    options.SetR1C1Mode(true);
    options.SetIteration(true);
    options.SetSaveRecalc(false);
    options.SetDelta(0.5);
    workbook.PrepareWrite();
    for (int i = 0; i < 2; ++i) {
        const TRecordStorageSheet& records = workbook.Sheets()[i].Records();
        SCOPED_TRACE(i);
        EXPECT_EQ(Body(records, ridCALCMODE), "FF FF");
        EXPECT_EQ(Word(records, ridCALCCOUNT), 7);
        EXPECT_EQ(Word(records, ridREFMODE), 0);
        EXPECT_EQ(Word(records, ridITERATION), 1);
        EXPECT_EQ(Word(records, ridSAVERECALC), 0);
        EXPECT_EQ(Body(records, ridDELTA), "FC A9 F1 D2 4D 62 50 3F") << "Delta is not stored";
    }
    options.SetCalcMode(cmManual);
    options.SetR1C1Mode(false);
    workbook.PrepareWrite();
    EXPECT_EQ(Word(workbook.Sheets()[1].Records(), ridCALCMODE), 0);
    EXPECT_EQ(Word(workbook.Sheets()[1].Records(), ridREFMODE), 1);
}

TEST(Workbook, ProgressReportsRoundedPercentagesOfTheCells) {
    struct Case {
        int cells;
        int steps;
        std::vector<int32_t> reported;  // after the 0 of PrepareWrite
    };
    const std::vector<Case> cases = {
        {1000, 10, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
        {800, 5, {12, 25, 38, 50, 62}},  // 12.5 and 62.5 round to the even neighbour
        {100000, 7, {1}},               // 0.5 rounds to 0, so nothing until 0.6
    };
    for (const Case& c : cases) {
        TXLSWorkbook workbook{TLocaleInfo{}};
        TSheet& second = workbook.Sheets().Add();
        for (int i = 0; i < c.cells; ++i) (i % 2 ? second : workbook.Sheets()[0]).SetAsFloat(i % 200, i / 200, i);
        std::vector<int32_t> reported;
        int pumped = 0;
        workbook.SetOnProgress([&](TXLSWorkbook& sender, int32_t percent) {
            EXPECT_EQ(&sender, &workbook);
            reported.push_back(percent);
        });
        workbook.SetOnProcessMessages([&] { ++pumped; });
        workbook.PrepareWrite();
        EXPECT_EQ(workbook.ProgressTotal(), c.cells);
        for (int i = 0; i < c.steps; ++i) workbook.ProgressStep();
        std::vector<int32_t> expected = {0};
        expected.insert(expected.end(), c.reported.begin(), c.reported.end());
        EXPECT_EQ(reported, expected) << c.cells;
        EXPECT_EQ(pumped, c.steps) << "every step lets the interface run";
    }

    TXLSWorkbook quiet{TLocaleInfo{}};
    quiet.Sheets()[0].SetAsFloat(0, 0, 1);
    quiet.PrepareWrite();
    quiet.ProgressStep();  // no handler, no total: nothing to report
    EXPECT_EQ(quiet.ProgressTotal(), 0);
}

TEST(Workbook, SheetAssignCopiesSettingsAndMergedAreas) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    TSheet& source = workbook.Sheets()[0];
    source.SetDefaultColWidth(12);
    source.SetDefaultRowHeight(300);
    source.SetOptions(soGridlines);
    source.SetWorkspaceOptions(woFitToPage);
    source.SetSheetProtection(spSort);
    source.SetZoom(90);
    source.SetHidden(hsHidden);
    source.SetRecalcFormulas(false);
    source.PrintSettings().SetHeader(u"head");
    source.PrintSettings().SetMarginLeft(2.0);
    source.PrintSettings().AddHorizPagebreak(5);
    source.PrintSettings().SetScalingFactor(50);
    source.MergedCells().AddArea(1, 1, 2, 2);

    TSheet& copy = workbook.Sheets().Add();
    copy.Assign(source);
    EXPECT_EQ(copy.DefaultColWidth(), 12);
    EXPECT_EQ(Body(copy.Records(), ridDEFAULTROWHEIGHT), "01 00 2C 01");
    EXPECT_EQ(copy.Options(), soGridlines);
    EXPECT_EQ(copy.WorkspaceOptions(), woFitToPage);
    EXPECT_EQ(copy.SheetProtection(), spSort);
    EXPECT_EQ(copy.Zoom(), 90);
    EXPECT_EQ(copy.Hidden(), hsHidden);
    EXPECT_FALSE(copy.RecalcFormulas());
    EXPECT_EQ(copy.PrintSettings().Header(), u"head");
    EXPECT_EQ(copy.PrintSettings().MarginLeft(), 2.0);
    EXPECT_EQ(copy.PrintSettings().HorizPagebreaks().size(), 1u);
    EXPECT_EQ(copy.PrintSettings().ScalingFactor(), 100) << "record-backed print settings are not copied";
    ASSERT_EQ(copy.MergedCells().Count(), 1);
    EXPECT_EQ(copy.MergedCells().Items(0), TCellArea(1, 1, 2, 2));
    EXPECT_EQ(copy.Name(), u"Sheet2");
}

TEST(Workbook, MacroFileNames) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"book.XLSM", true}, {u"book.xlsm", true}, {u"xlsm", true}, {u"book.xls", false}, {u"sm", false},
    };
    TXLSWorkbook workbook{TLocaleInfo{}};
    for (const auto& [name, macro] : cases) {
        workbook.SetFilename(name);
        EXPECT_EQ(workbook.Excel2007MacroFile(), macro);
    }
}

TEST(Workbook, FontZeroIsTheWorkbookFont) {
    TXLSWorkbook workbook{TLocaleInfo{}};
    TXFont font;
    font.SetName(u"Tahoma");
    font.SetHeight20(240);
    workbook.SetFont(font);
    EXPECT_EQ(workbook.Fonts().Items(0).Name(), u"Tahoma");
    EXPECT_EQ(workbook.Font()->Height20(), 240);
    EXPECT_EQ(workbook.Fonts().Count(), 5);
}

}  // namespace
}  // namespace quarvel
