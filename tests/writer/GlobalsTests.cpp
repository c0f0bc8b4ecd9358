// The workbook globals substream: the records in the order of the globals list, the records built
// from the model at the internal records, the sheet entries and their offsets, the error wrapping.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/PlatformSupport.h"
#include "tests/writer/WriterSupport.h"
#include "workbook/XLSFonts.h"

namespace quarvel {
namespace {

using namespace writer_test;

// An XF body of the default table: font, number format, type-and-protection word, used-attribute
// byte; alignment bytes 20 00 00, no borders, C0 20.
Bytes DefaultXF(uint16_t font, uint16_t format, uint16_t type, uint8_t used) {
    return Cat({{uint8_t(font), uint8_t(font >> 8), uint8_t(format), uint8_t(format >> 8), uint8_t(type),
                 uint8_t(type >> 8), 0x20, 0x00, 0x00, used},
                Bytes(8, 0x00),
                {0xC0, 0x20}});
}

Bytes FormatBody(uint16_t id, const std::u16string& text) {
    return Cat({{uint8_t(id), uint8_t(id >> 8), uint8_t(text.size()), uint8_t(text.size() >> 8), 0x01}, Utf16(text)});
}

struct TExpected {
    uint16_t Id;
    Bytes Body;
};

std::string Describe(const std::vector<TExpected>& records) {
    std::vector<TRec> recs;
    for (const TExpected& e : records) recs.push_back({e.Id, e.Body, 0});
    return writer_test::Describe(recs);
}

// The globals of the converter's new workbook, record by record as the globals list orders them.
std::vector<TExpected> ExpectedGlobals(uint32_t sheetOffset) {
    const Bytes font = Cat({HexBytes("C8 00 | 00 00 | 08 00 | 90 01 | 00 00 | 00 | 02 | 00 | 00 | 05 | 01"),
                            Utf16(u"Arial")});
    std::vector<TExpected> r = {
        {0x0809, HexBytes("00 06 05 00 02 10 CD 07 C9 80 00 00 06 01 00 00")},
        {0x005C, Cat({HexBytes("6D 00 00"), Bytes(109, 0x20)})},
        {0x0042, HexBytes("B0 04")},
        {0x0161, HexBytes("00 00")},
        {0x013D, HexBytes("01 00")},
        {0x009C, HexBytes("0E 00")},
        {0x0019, HexBytes("00 00")},
        {0x0012, HexBytes("00 00")},
        {0x0013, HexBytes("00 00")},
        {0x01AF, HexBytes("00 00")},
        {0x003D, HexBytes("64 00 64 00 10 27 58 1B 38 00 00 00 00 00 01 00 58 02")},
        {0x0040, HexBytes("00 00")},
        {0x008D, HexBytes("00 00")},
        {0x0022, HexBytes("00 00")},
        {0x000E, HexBytes("01 00")},
        {0x01B7, HexBytes("00 00")},
        {0x00DA, HexBytes("00 00")},
        // Fonts 0 to 3; position 4 is never written.
        {0x0031, font}, {0x0031, font}, {0x0031, font}, {0x0031, font},
        // The number formats the default style formats use.
        {0x041E, FormatBody(9, u"0%")},
        {0x041E, FormatBody(42, u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)")},
        {0x041E, FormatBody(43, u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)")},
        {0x041E, FormatBody(44, u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)")},
        {0x041E, FormatBody(45, u"mm:ss")},
    };
    // The 21 formats of the default table and one with the new-format defaults.
    r.push_back({0x00E0, DefaultXF(0, 0, 0xFFF5, 0x00)});
    for (int i = 1; i <= 2; ++i) r.push_back({0x00E0, DefaultXF(1, 0, 0xFFF5, 0xF4)});
    for (int i = 3; i <= 4; ++i) r.push_back({0x00E0, DefaultXF(2, 0, 0xFFF5, 0xF4)});
    for (int i = 5; i <= 14; ++i) r.push_back({0x00E0, DefaultXF(0, 0, 0xFFF5, 0xF4)});
    r.push_back({0x00E0, DefaultXF(0, 0, 0x0001, 0x00)});
    for (uint16_t id : {42, 43, 44, 45, 9}) r.push_back({0x00E0, DefaultXF(0, id, 0xFFF5, 0x00)});
    r.push_back({0x00E0, HexBytes("00 00 00 00 01 00 20 00 00 00 00 00 40 20 40 20 10 00 C0 20")});
    for (const char* style : {"10 80 03 FF", "11 80 06 FF", "12 80 04 FF", "13 80 07 FF", "00 80 00 FF", "14 80 05 FF"})
        r.push_back({0x0293, HexBytes(style)});
    const Bytes offset = {uint8_t(sheetOffset), uint8_t(sheetOffset >> 8), uint8_t(sheetOffset >> 16),
                          uint8_t(sheetOffset >> 24)};
    r.push_back({0x0085, Cat({offset, HexBytes("00 00 | 06 | 01"), Utf16(u"Sheet1")})});
    r.push_back({0x008C, HexBytes("01 00 2E 00")});
    r.push_back({0x01C1, HexBytes("C1 01 00 00 FF FF FF 00")});
    r.push_back({0x00FC, HexBytes("00 00 00 00 00 00 00 00")});  // no strings: total 0, unique 0
    r.push_back({0x00FF, HexBytes("08 00")});                    // bucket size 8, no buckets
    r.push_back({0x000A, {}});
    return r;
}

class GlobalsTest : public ::testing::Test {
protected:
    void SetUp() override { MakeConverterWorkbook(workbook_); }
    TXLSWorkbook& Book() { return *workbook_; }
    std::vector<TRec> Globals() { return Substreams(WriteRaw(Book())).at(0); }

    std::unique_ptr<TXLSWorkbook> workbook_;
};

TEST_F(GlobalsTest, NewWorkbookWritesTheGlobalsOfTheDefaultListWithTheModelsRecords) {
    const Bytes stream = WriteRaw(Book());
    const auto parts = Substreams(stream);
    ASSERT_EQ(parts.size(), 2u);
    // The sheet's BOF follows the globals directly.
    const uint32_t sheetOffset = static_cast<uint32_t>(parts[1].front().Pos);
    EXPECT_EQ(Describe(parts[0]), Describe(ExpectedGlobals(sheetOffset)));
    // Nothing the system never needs: no PALETTE, FILESHARING, INTERFACEHDR, SUPBOOK, NAME, OBPROJ.
    for (uint16_t id : {0x0092, 0x005B, 0x00E1, 0x01AE, 0x0018, 0x00D3}) EXPECT_TRUE(OfId(parts[0], id).empty()) << id;
}

TEST_F(GlobalsTest, ThreeSheetsGetTabIdsAndBoundsheetOffsetsOfTheirBofRecords) {
    Book().Sheets().Add().SetHidden(hsHidden);
    Book().Sheets().Add().SetHidden(hsVeryHidden);
    Book().Sheets().Items(2).SetName(u"Третий");
    const auto parts = Substreams(WriteRaw(Book()));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(Hex(OfId(parts[0], 0x013D).at(0).Body), "01 00 02 00 03 00");

    const auto sheets = OfId(parts[0], 0x0085);
    ASSERT_EQ(sheets.size(), 3u);
    const std::u16string names[3] = {u"Sheet1", u"Sheet3", u"Третий"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Bytes& body = sheets[i].Body;
        EXPECT_EQ(Le32(body, 0), parts[i + 1].front().Pos);  // the offset of the sheet's BOF
        EXPECT_EQ(Le16(body, 4), i);                         // worksheet; visible, hidden, very hidden
        EXPECT_EQ(body[6], names[i].size());
        EXPECT_EQ(Bytes(body.begin() + 7, body.end()), Cat({{0x01}, Utf16(names[i])}));
        EXPECT_EQ(parts[i + 1].front().Body.at(2), 0x10);  // a worksheet BOF
    }
}

TEST_F(GlobalsTest, OnlyTheSelectedTabIsMarkedSelectedInWindow2) {
    Book().Sheets().Add();
    Book().Sheets().Add();
    for (uint16_t selected : {0, 2}) {
        SCOPED_TRACE(selected);
        Book().Workbook().SetSelectedTab(selected);
        const auto parts = Substreams(WriteRaw(Book()));
        ASSERT_EQ(parts.size(), 4u);
        for (size_t i = 0; i < 3; ++i) {
            const uint16_t options = Le16(OfId(parts[i + 1], 0x023E).at(0).Body, 0);
            EXPECT_EQ(options, i == selected ? 0x06B6 : 0x04B6) << "sheet " << i;
        }
    }
}

TEST_F(GlobalsTest, SheetNameLengthsUpToTheOneByteCountAreWrittenLongerOnesRefused) {
    Book().Sheets().Items(0).SetName(std::u16string(31, u'x'));
    EXPECT_EQ(OfId(Globals(), 0x0085).at(0).Body.size(), 70u);
    Book().Sheets().Items(0).SetName(std::u16string(255, u'y'));
    EXPECT_EQ(OfId(Globals(), 0x0085).at(0).Body.size(), 518u);

    // 256 characters would wrap the count to 0 and misplace every later byte of the record.
    Book().Sheets().Items(0).SetName(std::u16string(256, u'z'));
    Bytes target = {1, 2, 3};
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                     "Sheet name of 256 characters is too long (at most 255)");
    EXPECT_EQ(target, (Bytes{1, 2, 3}));
}

TEST_F(GlobalsTest, FormatRecordsExactlyForTheNumberFormatsInUse) {
    auto formatIds = [&] {
        std::vector<uint16_t> ids;
        for (const TRec& r : OfId(Globals(), 0x041E)) ids.push_back(Le16(r.Body, 0));
        return ids;
    };
    EXPECT_EQ(formatIds(), (std::vector<uint16_t>{9, 42, 43, 44, 45}));

    TSheet& sheet = Book().Sheets().Items(0);
    sheet.SetAsFloat(0, 0, 1.5);
    sheet.Cell(0, 0)->SetNumberFormat(u"0.00");  // built-in 2, now used
    sheet.SetAsFloat(1, 0, 1.5);
    sheet.Cell(1, 0)->SetNumberFormat(u"0.000");  // the first custom format
    EXPECT_EQ(formatIds(), (std::vector<uint16_t>{2, 9, 42, 43, 44, 45, 59}));
    const auto custom = OfId(Globals(), 0x041E).back();
    EXPECT_EQ(custom.Body, FormatBody(59, u"0.000"));

    // The custom format goes with its last cell; a built-in format once used stays written.
    sheet.Cell(1, 0)->SetNumberFormat(u"");
    sheet.Cell(0, 0)->SetNumberFormat(u"");
    EXPECT_EQ(formatIds(), (std::vector<uint16_t>{2, 9, 42, 43, 44, 45}));
}

TEST_F(GlobalsTest, CellFormatsAndFontsAddedByTheModelAreWrittenAtTheirPositions) {
    TSheet& sheet = Book().Sheets().Items(0);
    sheet.SetAsFloat(0, 0, 1);
    sheet.Cell(0, 0)->SetFontStyle(xfsBold);  // font 5: the fifth FONT record, after 0 to 3
    sheet.Cell(0, 0)->SetBorderTopStyle(cbsThin);
    const auto globals = Globals();
    const auto fonts = OfId(globals, 0x0031);
    ASSERT_EQ(fonts.size(), 5u);
    EXPECT_EQ(Le16(fonts[4].Body, 6), 700);  // bold weight
    const auto xfs = OfId(globals, 0x00E0);
    ASSERT_EQ(static_cast<int>(xfs.size()), Book().Formats().Count());
    const int position = sheet.Cell(0, 0)->FormatIndex();
    const auto& body = Book().Formats().Items(position).Body();
    EXPECT_EQ(xfs[position].Body, Bytes(body.begin(), body.end()));
    EXPECT_EQ(Le16(xfs[position].Body, 0), 5);
}

TEST_F(GlobalsTest, PaletteIsWrittenOnlyWhenTheWorkingPaletteDiffers) {
    EXPECT_TRUE(OfId(Globals(), 0x0092).empty());
    Palette[10] = 0x00332211;  // red 0x11, green 0x22, blue 0x33
    const auto globals = Globals();
    ResetPalette();
    const auto palette = OfId(globals, 0x0092);
    ASSERT_EQ(palette.size(), 1u);
    const Bytes& body = palette[0].Body;
    ASSERT_EQ(body.size(), 226u);
    EXPECT_EQ(Le16(body, 0), 56);
    // Entries 8 (black), 9 (white) and the changed 10.
    EXPECT_EQ(Hex(Bytes(body.begin() + 2, body.begin() + 14)), "00 00 00 00 FF FF FF 00 11 22 33 00");
    // PALETTE closes the formats: right after the last STYLE, before the sheet entries.
    const auto ids = Ids(globals);
    const auto at = std::find(ids.begin(), ids.end(), 0x0092) - ids.begin();
    EXPECT_EQ(ids[at - 1], 0x0293);
    EXPECT_EQ(ids[at + 1], 0x0085);
}

TEST_F(GlobalsTest, FileSharingFollowsWriteAccessWhenReadOnlyIsRecommended) {
    Book().SetRecomendReadOnly(true);
    const auto globals = Globals();
    const auto ids = Ids(globals);
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(ids[1], 0x005C);
    EXPECT_EQ(ids[2], 0x005B);
    EXPECT_EQ(Hex(globals[2].Body), "01 00 00 00 00 00");
}

TEST_F(GlobalsTest, AnErrorInTheGlobalsWalkNamesTheEntryAndLeavesNoOutput) {
    // The string table refuses to run without a font list; its entry is the 24th of the list.
    Book().SST().SetFonts(nullptr);
    Bytes target = {7};
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                     "Error on writing record # 23\rCan not write SST when FFonts = Nil");
    EXPECT_EQ(target, Bytes{7});
    Book().SST().SetFonts(&Book().Fonts());
    Book().WriteToStream(TBIFF8Writer(), &target);
    EXPECT_GT(target.size(), 512u);
}

TEST_F(GlobalsTest, WorkbooksThisSystemCannotWriteAreRefusedBeforeAnyOutput) {
    Bytes target = {7};
    Book().SetPassword(u"secret");  // encryption is not part of this system
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                     "Workbooks with a password can not be written");
    Book().SetPassword(u"");
    for (TExcelVersion version : {xvExcel40, xvExcel50, xvExcel2007}) {
        Book().SetVersion(version);
        EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error,
                         "Only Excel 97 workbooks can be written; Excel 2.1 to 5.0 and 2007 files are not supported");
    }
    Book().SetVersion(xvExcel30);
    EXPECT_THROW_MSG(Book().WriteToStream(TBIFF8Writer(), &target), Error, "Can not write Excel 2.1/3.0 files");
    Book().SetVersion(xvExcel97);
    EXPECT_EQ(target, Bytes{7});
}

}  // namespace
}  // namespace quarvel
