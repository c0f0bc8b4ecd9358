// The record lists: both default lists byte for byte, the accessors' record fields, and the list
// operations.
#include "biff/RecordStorage.h"

#include <gtest/gtest.h>

#include <functional>

#include "biff/XLSStream.h"
#include "platform/Errors.h"

namespace quarvel {
namespace {

using Bytes = std::vector<uint8_t>;

// Appends a record (header and body) to `out`.
void Rec(Bytes& out, uint16_t id, const Bytes& body) {
    out.push_back(static_cast<uint8_t>(id));
    out.push_back(static_cast<uint8_t>(id >> 8));
    out.push_back(static_cast<uint8_t>(body.size()));
    out.push_back(static_cast<uint8_t>(body.size() >> 8));
    out.insert(out.end(), body.begin(), body.end());
}
Bytes W(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes WriteAllRaw(const TBaseRecordStorage& list) {
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    list.WriteAll(s);
    s.Close();
    return raw;
}

Bytes Body(const TBaseRecordStorage& list, uint16_t id) {
    const int32_t i = list.IndexOfId(id);
    EXPECT_GE(i, 0) << "no record " << id;
    if (i < 0) return {};
    const TRecordEntry& e = list.Records(i);
    return Bytes(e.Body(), e.Body() + e.Length());
}

const Bytes kWriteAccessDefault = Cat({0, 0, 0}, Bytes(109, 0x20));
const Bytes kWindow1Default = {0x64, 0x00, 0x64, 0x00, 0x10, 0x27, 0x58, 0x1B, 0x38,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x58, 0x02};
const Bytes kSetupDefault = {0x00, 0x00, 0x64, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0xB6, 0x06,
                             0x58, 0x02, 0x58, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, 0x00, 0x00};
const Bytes kWindow2Default = {0xB6, 0x04, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kSelectionDefault = {0x03, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                                 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x01};

Bytes GlobalsDefaultBytes() {
    Bytes b;
    Rec(b, 0x0809, {0x00, 0x06, 0x05, 0x00, 0x02, 0x10, 0xCD, 0x07, 0xC9, 0x80, 0x00, 0x00, 0x06, 0x01, 0x00, 0x00});
    Rec(b, 0x005C, kWriteAccessDefault);
    Rec(b, 0x0042, W(1200));
    Rec(b, 0x0161, W(0));
    Rec(b, 0x013D, {});
    Rec(b, 0x009C, W(14));
    Rec(b, 0x0019, W(0));
    Rec(b, 0x0012, W(0));
    Rec(b, 0x0013, W(0));
    Rec(b, 0x01AF, W(0));
    Rec(b, 0x003D, kWindow1Default);
    Rec(b, 0x0040, W(0));
    Rec(b, 0x008D, W(0));
    Rec(b, 0x0022, W(0));
    Rec(b, 0x000E, W(1));
    Rec(b, 0x01B7, W(0));
    Rec(b, 0x00DA, W(0));
    Rec(b, 0x8001, {});
    Rec(b, 0x8002, {});
    Rec(b, 0x008C, {0x01, 0x00, 0x2E, 0x00});
    Rec(b, 0x01C1, {0xC1, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00});
    Rec(b, 0x8003, {});
    Rec(b, 0x8004, {});
    Rec(b, 0x8005, {});
    Rec(b, 0x000A, {});
    return b;
}

Bytes SheetDefaultBytes() {
    Bytes b;
    Rec(b, 0x0809, {0x00, 0x06, 0x10, 0x00, 0xAF, 0x18, 0xCD, 0x07, 0xC9, 0x80, 0x00, 0x00, 0x06, 0x01, 0x00, 0x00});
    Rec(b, 0x000D, W(1));
    Rec(b, 0x000C, W(100));
    Rec(b, 0x000F, W(1));
    Rec(b, 0x0011, W(0));
    Rec(b, 0x0010, {0xFC, 0xA9, 0xF1, 0xD2, 0x4D, 0x62, 0x50, 0x3F});
    Rec(b, 0x005F, W(1));
    Rec(b, 0x002B, W(0));
    Rec(b, 0x002A, W(0));
    Rec(b, 0x0082, W(1));
    Rec(b, 0x0080, Bytes(8, 0));
    Rec(b, 0x0225, {0x00, 0x00, 0xFF, 0x00});
    Rec(b, 0x0081, W(0x04C1));
    Rec(b, 0x8101, {});
    Rec(b, 0x8102, {});
    Rec(b, 0x8103, {});
    Rec(b, 0x0083, W(0));
    Rec(b, 0x0084, W(0));
    Rec(b, 0x00A1, kSetupDefault);
    Rec(b, 0x0012, W(0));
    Rec(b, 0x0055, W(8));
    Rec(b, 0x0200, Bytes(14, 0));
    Rec(b, 0x8104, {});
    Rec(b, 0x8105, {});
    Rec(b, 0x023E, kWindow2Default);
    Rec(b, 0x8106, {});
    Rec(b, 0x001D, kSelectionDefault);
    Rec(b, 0x000A, {});
    return b;
}

// ---------------------------------------------------------------------------------------------------
// Default lists

TEST(DefaultRecords, GlobalsListByteForByte) {
    TRecordStorageGlobals globals;
    EXPECT_EQ(globals.Count(), 0);  // filled from the defaults at the first write
    EXPECT_EQ(globals.Defaults().Count(), 25);
    EXPECT_EQ(WriteAllRaw(globals.Defaults()), GlobalsDefaultBytes());
    globals.LoadDefaults();
    EXPECT_EQ(WriteAllRaw(globals), GlobalsDefaultBytes());
    EXPECT_EQ(globals.TotalSize(), static_cast<int64_t>(GlobalsDefaultBytes().size()));
    EXPECT_EQ(globals.ListKind(), 0);
}

TEST(DefaultRecords, SheetListByteForByte) {
    TRecordStorageSheet sheet;
    EXPECT_EQ(sheet.Defaults().Count(), 28);
    EXPECT_EQ(WriteAllRaw(sheet.Defaults()), SheetDefaultBytes());
    sheet.LoadDefaults();
    EXPECT_EQ(WriteAllRaw(sheet), SheetDefaultBytes());
    EXPECT_EQ(sheet.TotalSize(), static_cast<int64_t>(SheetDefaultBytes().size()));
    EXPECT_EQ(sheet.ListKind(), -1);
    EXPECT_DOUBLE_EQ(sheet.Delta(), 0.001);
}

// ---------------------------------------------------------------------------------------------------
// Accessors: what each setter leaves in the records

struct TFieldCase {
    const char* name;
    std::function<void(TRecordStorageSheet&)> set;
    std::vector<std::pair<uint16_t, Bytes>> expected;  // record id -> whole body
};

TEST(SheetRecordAccessors, SettersWriteTheRecordFields) {
    auto setup = [](std::initializer_list<std::pair<size_t, Bytes>> changes) {
        Bytes b = kSetupDefault;
        for (const auto& [at, bytes] : changes) std::copy(bytes.begin(), bytes.end(), b.begin() + at);
        return b;
    };
    auto window2 = [](uint16_t options, uint16_t preview, uint16_t zoom) {
        Bytes b = kWindow2Default;
        b[0] = static_cast<uint8_t>(options);
        b[1] = static_cast<uint8_t>(options >> 8);
        b[10] = static_cast<uint8_t>(preview);
        b[12] = static_cast<uint8_t>(zoom);
        return b;
    };
    const TFieldCase cases[] = {
        {"DefaultRowHeight 300", [](auto& s) { s.SetDefaultRowHeight(300); }, {{0x0225, {0x01, 0x00, 0x2C, 0x01}}}},
        {"DefaultRowHeight back to 255",
         [](auto& s) {
             s.SetDefaultRowHeight(300);
             s.SetDefaultRowHeight(255);
         },
         {{0x0225, {0x00, 0x00, 0xFF, 0x00}}}},
        {"DefaultColWidth 12", [](auto& s) { s.SetDefaultColWidth(12); }, {{0x0055, W(12)}}},
        {"WorkspaceOptions {}", [](auto& s) { s.SetWorkspaceOptions(0); }, {{0x0081, W(0)}}},
        {"WorkspaceOptions {woFitToPage}", [](auto& s) { s.SetWorkspaceOptions(woFitToPage); }, {{0x0081, W(0x0100)}}},
        {"WorkspaceOptions of the converter",
         [](auto& s) { s.SetWorkspaceOptions(woShowAutoBreaks | woColSumsRight | woOutlineSymbols); },
         {{0x0081, W(0x0481)}}},
        {"WorkspaceOptions stored set",
         [](auto& s) { s.SetWorkspaceOptions(woShowAutoBreaks | woRowSumsBelow | woColSumsRight | woOutlineSymbols); },
         {{0x0081, W(0x04C1)}}},
        {"WorkspaceOptions {woApplyStyles}", [](auto& s) { s.SetWorkspaceOptions(woApplyStyles); }, {{0x0081, W(0x0020)}}},
        {"SheetOptions default set", [](auto& s) { s.SetSheetOptions(soGridlines | soRowColHeadings | soShowZeros); },
         {{0x023E, window2(0x04B6, 0, 0)}}},
        {"SheetOptions {}", [](auto& s) { s.SetSheetOptions(0); }, {{0x023E, window2(0x04A0, 0, 0)}}},
        {"SheetOptions not kept in WINDOW2", [](auto& s) { s.SetSheetOptions(soProtected | soR1C1Mode | soIteration); },
         {{0x023E, window2(0x04A0, 0, 0)}}},
        {"SheetOptions formulas and frozen panes", [](auto& s) { s.SetSheetOptions(soShowFormulas | soFrozenPanes); },
         {{0x023E, window2(0x04A9, 0, 0)}}},
        {"Zoom 75, ZoomPreview 60",
         [](auto& s) {
             s.SetZoom(75);
             s.SetZoomPreview(60);
         },
         {{0x023E, window2(0x04B6, 60, 75)}}},
        // The default option word 0x06B6 already holds the start-page bit 0x0080.
        {"StartingPage 5", [](auto& s) { s.SetStartingPage(5); }, {{0x00A1, setup({{4, W(5)}})}}},
        {"StartingPage 1 clears the start-page bit", [](auto& s) { s.SetStartingPage(1); },
         {{0x00A1, setup({{10, W(0x0636)}})}}},
        {"Options, then StartingPage 5 sets it",
         [](auto& s) {
             s.SetPrintOptions(psoPortrait);
             s.SetStartingPage(5);
         },
         {{0x00A1, setup({{4, W(5)}, {10, W(0x0082)}})}}},
        {"StartingPage 5 then 1",
         [](auto& s) {
             s.SetPrintOptions(psoPortrait);
             s.SetStartingPage(5);
             s.SetStartingPage(1);
         },
         {{0x00A1, setup({{10, W(0x0002)}})}}},
        {"StartingPage 3 then Options",
         [](auto& s) {
             s.SetStartingPage(3);
             s.SetPrintOptions(psoPortrait);
         },
         {{0x00A1, setup({{4, W(3)}, {10, W(0x0002)}})}}},
        {"FitWidth -1, FitHeight 65536", [](auto& s) {
             s.SetFitWidth(-1);
             s.SetFitHeight(65536);
         },
         {{0x00A1, setup({{6, W(0)}, {8, W(0)}})}}},
        {"FitWidth 65535, FitHeight 2", [](auto& s) {
             s.SetFitWidth(65535);
             s.SetFitHeight(2);
         },
         {{0x00A1, setup({{6, W(0xFFFF)}, {8, W(2)}})}}},
        {"paper, scale, resolution, copies",
         [](auto& s) {
             s.SetPaperSize(9);
             s.SetScalingFactor(85);
             s.SetResolution(300);
             s.SetCopies(2);
         },
         {{0x00A1, setup({{0, W(9)}, {2, W(85)}, {12, W(300)}, {32, W(2)}})}}},
        {"header margin 1 inch, footer margin 2.54 cm",
         [](auto& s) {
             s.SetHeaderMargin(1.0);
             s.SetFooterMarginCm(2.54);
         },
         {{0x00A1, setup({{16, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}}, {24, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}}})}}},
        {"every print option",
         [](auto& s) {
             s.SetPrintOptions(psoLeftToRight | psoPortrait | psoNoColor | psoDraftQuality | psoNotes | psoRowColHeading |
                               psoGridlines | psoHorizCenter | psoVertCenter);
         },
         {{0x002A, W(1)}, {0x002B, W(1)}, {0x0083, W(1)}, {0x0084, W(1)}, {0x00A1, setup({{10, W(0x003B)}})}}},
        {"print options clear the others",
         [](auto& s) {
             s.SetPrintOptions(psoGridlines | psoVertCenter);
             s.SetPrintOptions(psoRowColHeading);
         },
         {{0x002A, W(1)}, {0x002B, W(0)}, {0x0083, W(0)}, {0x0084, W(0)}, {0x00A1, setup({{10, W(0)}})}}},
        {"CalcMode cmAutoExTables", [](auto& s) { s.SetCalcMode(cmAutoExTables); }, {{0x000D, W(0xFFFF)}}},
        {"CalcMode cmManual", [](auto& s) { s.SetCalcMode(cmManual); }, {{0x000D, W(0)}}},
        {"calculation values",
         [](auto& s) {
             s.SetCalcCount(7);
             s.SetR1C1Mode(true);
             s.SetIteration(true);
             s.SetSaveRecalc(false);
         },
         {{0x000C, W(7)}, {0x000F, W(0)}, {0x0011, W(1)}, {0x005F, W(0)}}},
        {"active cell sets its area",
         [](auto& s) {
             s.SetActiveRow(5);
             s.SetActiveCol(300);
         },
         {{0x001D, {0x03, 0x05, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x05, 0x00, 0x2C, 0x2C}}}},
        {"area fields alone",
         [](auto& s) {
             s.SetSelectionRow1(2);
             s.SetSelectionRow2(9);
             s.SetSelectionCol1(3);
             s.SetSelectionCol2(4);
         },
         {{0x001D, {0x03, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x09, 0x00, 0x03, 0x04}}}},
        {"dimensions", [](auto& s) { s.SetDimensions(2, 65536, 1, 256); },
         {{0x0200, {0x02, 0, 0, 0, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00}}}},
        {"sheet protection", [](auto& s) { s.SetProtect(true); }, {{0x0012, W(1)}}},
        {"row outline through the GUTS body",
         [](auto& s) {
             const uint8_t levels[8] = {0x3A, 0, 0, 0, 3, 0, 0, 0};
             std::copy(levels, levels + 8, s.GutsBody());
         },
         {{0x0080, {0x3A, 0, 0, 0, 3, 0, 0, 0}}}},
    };
    for (const TFieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        TRecordStorageSheet sheet;
        c.set(sheet);
        for (const auto& [id, body] : c.expected) EXPECT_EQ(Body(sheet.Defaults(), id), body) << "record " << id;
    }
}

TEST(SheetRecordAccessors, GettersReadBackTheSets) {
    TRecordStorageSheet sheet;
    EXPECT_EQ(sheet.WorkspaceOptions(), woShowAutoBreaks | woRowSumsBelow | woColSumsRight | woOutlineSymbols);
    EXPECT_EQ(sheet.SheetOptions(), soGridlines | soRowColHeadings | soShowZeros);
    // The default SETUP options 0x06B6 hold 0x02, 0x10 and 0x20 of the mapped bits.
    EXPECT_EQ(sheet.PrintOptions(), psoPortrait | psoDraftQuality | psoNotes);
    for (unsigned set = 0; set < 64; ++set) {
        sheet.SetWorkspaceOptions(static_cast<TWorkspaceOptions>(set));
        ASSERT_EQ(sheet.WorkspaceOptions(), set);
    }
    for (unsigned set = 0; set < 256; ++set) {
        sheet.SetSheetOptions(static_cast<TSheetOptions>(set));
        ASSERT_EQ(sheet.SheetOptions(), set & ~(soProtected | soR1C1Mode | soIteration));
    }
    for (unsigned set = 0; set < 512; ++set) {
        sheet.SetPrintOptions(static_cast<TPrintSetupOptions>(set));
        ASSERT_EQ(sheet.PrintOptions(), set);
    }
    sheet.SetPaperSize(0x0109);
    EXPECT_EQ(sheet.PaperSize(), 9);  // the low byte
    sheet.SetFooterMargin(0.5);
    EXPECT_DOUBLE_EQ(sheet.FooterMarginCm(), 1.27);
    sheet.SetDefaultRowHeight(300);
    EXPECT_EQ(sheet.DefaultRowHeight(), 300);
    sheet.SetStartingPage(4);
    EXPECT_EQ(sheet.StartingPage(), 4);
    sheet.SetDimensions(1, 2, 3, 4);
    EXPECT_EQ(sheet.DimensionsFirstRow(), 1u);
    EXPECT_EQ(sheet.DimensionsLastRowPlus1(), 2u);
    EXPECT_EQ(sheet.DimensionsFirstCol(), 3);
    EXPECT_EQ(sheet.DimensionsLastColPlus1(), 4);

    const std::pair<TCalcMode, int16_t> modes[] = {{cmManual, 0}, {cmAutomatic, 1}, {cmAutoExTables, -1}};
    for (const auto& [mode, stored] : modes) {
        sheet.SetCalcMode(mode);
        EXPECT_EQ(sheet.CalcMode(), mode);
        EXPECT_EQ(static_cast<int16_t>(Body(sheet.Defaults(), 0x000D)[0] | Body(sheet.Defaults(), 0x000D)[1] << 8),
                  stored);
    }
    sheet.Defaults().ReplaceBody(sheet.Defaults().IndexOfId(0x000D), 2, W(5).data());
    EXPECT_EQ(sheet.CalcMode(), std::nullopt);  // any other value is no mode
}

TEST(GlobalsRecordAccessors, SettersWriteTheRecordFields) {
    struct Case {
        const char* name;
        std::function<void(TRecordStorageGlobals&)> set;
        uint16_t id;
        Bytes body;
    };
    const Case cases[] = {
        {"user name of 109 blanks", [](auto& g) { g.SetUserName(WideString(109, u' ')); }, 0x005C,
         Cat({0x6D, 0x00, 0x00}, Bytes(109, 0x20))},
        {"short user name", [](auto& g) { g.SetUserName(u"Ann"); }, 0x005C, Cat({3, 0, 0, 'A', 'n', 'n'}, Bytes(106, 0x20))},
        {"long user name keeps 109 characters", [](auto& g) { g.SetUserName(WideString(120, u'q')); }, 0x005C,
         Cat({109, 0, 0}, Bytes(109, 'q'))},
        {"a character above U+00FF keeps its low byte", [](auto& g) { g.SetUserName(u"Жé"); }, 0x005C,
         Cat({2, 0, 0, 0x16, 0xE9}, Bytes(107, 0x20))},
        {"BookProtected", [](auto& g) { g.SetBookProtected(true); }, 0x0019, W(1)},
        {"Backup", [](auto& g) { g.SetBackup(true); }, 0x0040, W(1)},
        {"RefreshAll", [](auto& g) { g.SetRefreshAll(true); }, 0x01B7, W(1)},
        {"PrecisionAsDisplayed off", [](auto& g) { g.SetPrecisionAsDisplayed(false); }, 0x000E, W(0)},
        {"SaveExtLinkVal", [](auto& g) { g.SetSaveExtLinkVal(true); }, 0x00DA, W(1)},
        {"ShowObjects soHideAll", [](auto& g) { g.SetShowObjects(soHideAll); }, 0x008D, W(2)},
        {"window position, size, tab and options",
         [](auto& g) {
             g.SetWindowLeft(1);
             g.SetWindowTop(2);
             g.SetWindowWidth(3);
             g.SetWindowHeight(4);
             g.SetSelectedTab(5);
             g.SetWindowOptions(woHidden | woTabs);
         },
         0x003D, {1, 0, 2, 0, 3, 0, 4, 0, 0x21, 0, 5, 0, 0, 0, 1, 0, 0x58, 0x02}},
        {"window options rebuilt from the set",
         [](auto& g) { g.SetWindowOptions(woIconized | woHScroll | woVScroll); }, 0x003D,
         Cat({0x64, 0x00, 0x64, 0x00, 0x10, 0x27, 0x58, 0x1B, 0x1A, 0x00}, {0, 0, 0, 0, 1, 0, 0x58, 0x02})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRecordStorageGlobals globals;
        c.set(globals);
        EXPECT_EQ(Body(globals.Defaults(), c.id), c.body);
    }
}

TEST(GlobalsRecordAccessors, GettersReadBack) {
    TRecordStorageGlobals g;
    EXPECT_EQ(g.UserName(), u"");
    EXPECT_FALSE(g.BookProtected());
    EXPECT_TRUE(g.PrecisionAsDisplayed());
    EXPECT_FALSE(g.Date1904());
    EXPECT_EQ(g.ShowObjects(), soShowAll);
    EXPECT_EQ(g.WindowOptions(), woHScroll | woVScroll | woTabs);
    EXPECT_EQ(g.WindowWidth(), 10000);
    EXPECT_EQ(g.WindowHeight(), 7000);
    g.SetUserName(u"  Ann Lee \t");
    EXPECT_EQ(g.UserName(), u"Ann Lee");  // blanks and control characters trimmed at both ends
    g.SetUserName(WideString(109, u' '));
    EXPECT_EQ(g.UserName(), u"");
    for (unsigned set = 0; set < 32; ++set) {
        g.SetWindowOptions(static_cast<TWorkbookOptions>(set));
        ASSERT_EQ(g.WindowOptions(), set);
    }
    g.SetSaveExtLinkVal(true);
    EXPECT_TRUE(g.SaveExtLinkVal());
    g.Defaults().ReplaceBody(g.Defaults().IndexOfId(0x0022), 2, W(1).data());
    EXPECT_TRUE(g.Date1904());
}

// ---------------------------------------------------------------------------------------------------
// List operations

TEST(RecordLists, AddFindReplaceCopyAndSize) {
    TBaseRecordStorage list;
    const uint8_t a[3] = {1, 2, 3};
    list.AddRecord(0x0042, 3, a);
    list.AddRecord(0x000A, 0, nullptr);
    list.AddRecord(0x0042, 1, a);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOfId(0x0042), 0);  // the first one
    EXPECT_EQ(list.IndexOfId(0x000A), 1);
    EXPECT_EQ(list.IndexOfId(0x0099), -1);
    EXPECT_EQ(list.TotalSize(), 3 + 4 + 0 + 4 + 1 + 4);

    const uint8_t b[5] = {9, 8, 7, 6, 5};
    list.ReplaceBody(1, 5, b);
    EXPECT_EQ(list.Records(1).Length(), 5);
    EXPECT_EQ(list.Records(1).Id(), 0x000A);
    EXPECT_EQ(list.TotalSize(), 3 + 4 + 5 + 4 + 1 + 4);
    EXPECT_EQ(WriteAllRaw(list),
              (Bytes{0x42, 0, 3, 0, 1, 2, 3, 0x0A, 0, 5, 0, 9, 8, 7, 6, 5, 0x42, 0, 1, 0, 1}));

    TBaseRecordStorage copy;
    copy.AddRecord(0x0001, 0, nullptr);
    list.CopyTo(copy);
    EXPECT_EQ(copy.Count(), 4);
    copy.Records(1).SetByte(0, 0xFF);  // copies are independent
    EXPECT_EQ(list.Records(0).Byte(0), 1);
    list.CopyTo(list);  // into itself: doubled once
    EXPECT_EQ(list.Count(), 6);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.TotalSize(), 0);
}

TEST(RecordLists, IndexAndFieldErrors) {
    TBaseRecordStorage list;
    list.AddRecord(0x0042, 2, nullptr);
    for (int32_t bad : {-1, 1, 5}) {
        try {
            list.Records(bad);
            FAIL() << "no error for " << bad;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
    EXPECT_THROW(list.Records(0).Word(1), Error);  // a field beyond the body
    EXPECT_THROW(list.Records(0).SetDWord(0, 1), Error);
    EXPECT_EQ(list.Records(0).Word(0), 0);
}

TEST(RecordLists, LoadDefaultsCopiesWhileAccessorsKeepChangingTheDefaults) {
    TRecordStorageSheet sheet;
    sheet.SetDefaultColWidth(10);
    sheet.LoadDefaults();
    sheet.SetDefaultColWidth(20);  // after the copy: the list keeps 10, the defaults hold 20
    EXPECT_EQ(Body(sheet, 0x0055), W(10));
    EXPECT_EQ(Body(sheet.Defaults(), 0x0055), W(20));
    sheet.LoadDefaults();  // replaces the list, does not append
    EXPECT_EQ(sheet.Count(), 28);
    EXPECT_EQ(Body(sheet, 0x0055), W(20));
}

TEST(RecordLists, ClearedDefaultsRefuseAccessInsteadOfCrashing) {
    TRecordStorageGlobals g;
    g.LoadDefaults();
    g.Clear();
    EXPECT_EQ(g.Count(), 0);
    EXPECT_EQ(g.Defaults().Count(), 0);
    EXPECT_THROW(g.SetBackup(true), Error);
    g.SetDefaults();
    g.SetBackup(true);
    EXPECT_TRUE(g.Backup());

    TRecordStorageSheet s;
    s.Clear();
    EXPECT_THROW(s.GutsBody(), Error);
    s.SetDefaults();
    EXPECT_EQ(WriteAllRaw(s.Defaults()), SheetDefaultBytes());
}

}  // namespace
}  // namespace quarvel
