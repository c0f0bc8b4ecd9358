// The record functions of the four families (cells; formats and fonts; sheet settings; globals):
// each body pinned byte for byte, field by field, against its record's field table; the offsets of
// the records edited in place against what the functions write; the record writer's size check;
// and the RK form of numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "biff/CellRecords.h"
#include "biff/FormatRecords.h"
#include "biff/GlobalsRecords.h"
#include "biff/RecordSink.h"
#include "biff/SheetRecords.h"
#include "platform/Errors.h"
#include "tests/biff/BiffSupport.h"

namespace quarvel {
namespace {

using test::Hex;

// The body a record function writes, as hex.
std::string Body(const std::function<void(TByteSpan&)>& put) {
    uint8_t memory[MaxRecordBody];
    TByteSpan body(memory, sizeof memory);
    put(body);
    return Hex(body.Data(), body.Size());
}

struct TBodyCase {
    const char* Record;
    size_t Declared;  // the size the record declares for these fields
    std::function<void(TByteSpan&)> Put;
    const char* Bytes;  // fields separated by '|'
};

// Each body as its field table reads, and of the size its record declares.
void ExpectBodies(const std::vector<TBodyCase>& cases) {
    for (const TBodyCase& c : cases) {
        SCOPED_TRACE(c.Record);
        std::string expected;
        for (const char* p = c.Bytes; *p; ++p)
            if (*p != '|') expected += *p;
        while (expected.find("  ") != std::string::npos) expected.replace(expected.find("  "), 2, " ");
        if (!expected.empty() && expected.front() == ' ') expected.erase(0, 1);
        if (!expected.empty() && expected.back() == ' ') expected.pop_back();
        uint8_t memory[MaxRecordBody];
        TByteSpan body(memory, sizeof memory);
        c.Put(body);
        EXPECT_EQ(Hex(body.Data(), body.Size()), expected);
        EXPECT_EQ(body.Size(), c.Declared);
    }
}

// A record body in memory of its own, written again from its start after each Reset.
class TScratch {
public:
    TByteSpan& Reset() {
        span_ = TByteSpan(bytes_, sizeof bytes_);
        return span_;
    }
    size_t Size() const { return span_.Size(); }
    const uint8_t* Data() const { return bytes_; }

private:
    uint8_t bytes_[MaxRecordBody];
    TByteSpan span_{bytes_, sizeof bytes_};
};

const uint16_t kXF[3] = {15, 0x0102, 21};
const uint32_t kRK[3] = {0x3FF00000, 0x40000000, 0x0000000A};

TEST(CellRecords, BodiesFollowTheirFieldTables) {
    ExpectBodies({
        // row | column | XF
        {"BLANK", BlankSize, [](TByteSpan& b) { PutBlank(b, 0x1234, 3, 15); }, "34 12 | 03 00 | 0F 00"},
        // row | first column | XF per cell | last column
        {"MULBLANK", MulBlankSize(3), [](TByteSpan& b) { PutMulBlank(b, 1, 4, kXF, 3); },
         "01 00 | 04 00 | 0F 00 02 01 15 00 | 06 00"},
        // row | column | XF | value
        {"NUMBER", NumberSize, [](TByteSpan& b) { PutNumber(b, 65535, 255, 15, 0.123); },
         "FF FF | FF 00 | 0F 00 | B0 72 68 91 ED 7C BF 3F"},
        // row | column | XF | RK value
        {"RK", RKSize, [](TByteSpan& b) { PutRK(b, 2, 1, 16, 0x3FF00001); }, "02 00 | 01 00 | 10 00 | 01 00 F0 3F"},
        // row | first column | (XF, RK) per cell | last column
        {"MULRK", MulRKSize(3), [](TByteSpan& b) { PutMulRK(b, 0, 253, kXF, kRK, 3); },
         "00 00 | FD 00 | 0F 00 00 00 F0 3F  02 01 00 00 00 40  15 00 0A 00 00 00 | FF 00"},
        // row | column | XF | SST index
        {"LABELSST", LabelSSTSize, [](TByteSpan& b) { PutLabelSST(b, 7, 9, 15, 0x00012345); },
         "07 00 | 09 00 | 0F 00 | 45 23 01 00"},
    });
}

TEST(FormatRecords, BodiesFollowTheirFieldTables) {
    TFontFields font;  // 10 pt Arial, bold italic, red, double underline
    font.Height = 200;
    font.Options = 0x0002;
    font.Color = 10;
    font.Weight = 700;
    font.Escapement = 1;
    font.Underline = 0x02;
    font.Family = 2;
    font.CharSet = 0xCC;
    font.Name = u"Arial";
    const uint8_t xf[XFSize] = {0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
    const uint32_t colors[2] = {0x00000000, 0x00FFFFFF};
    ExpectBodies({
        // height | options | colour | weight | escapement | underline | family | charset | 0 |
        // name length | option byte | name
        {"FONT", FontSize(5), [&](TByteSpan& b) { PutFont(b, font); },
         "C8 00 | 02 00 | 0A 00 | BC 02 | 01 00 | 02 | 02 | CC | 00 | 05 | 01 | 41 00 72 00 69 00 61 00 6C 00"},
        {"FONT, BIFF5", FontSizeBIFF5(5), [&](TByteSpan& b) { PutFontBIFF5(b, font); },
         "C8 00 | 02 00 | 0A 00 | BC 02 | 01 00 | 02 | 02 | CC | 00 | 05 | 41 72 69 61 6C"},
        // format id | character count | option byte | code
        {"FORMAT", FormatSize(4), [](TByteSpan& b) { PutFormat(b, 59, u"0.0%"); },
         "3B 00 | 04 00 | 01 | 30 00 2E 00 30 00 25 00"},
        {"XF", XFSize, [&](TByteSpan& b) { PutXF(b, xf); },
         "00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"},
        // XF | 0x8000 | built-in style | outline level
        {"STYLE", BuiltInStyleSize, [](TByteSpan& b) { PutBuiltInStyle(b, 16, 3); }, "10 80 | 03 | FF"},
        // count | colours
        {"PALETTE", PaletteSize(2), [&](TByteSpan& b) { PutPalette(b, colors, 2); },
         "02 00 | 00 00 00 00 FF FF FF 00"},
    });
}

TEST(FormatRecords, ABIFF5FontNameKeepsItsLatin1CharactersAndMarksTheOthers) {
    TFontFields font;
    font.Name = u"\u00C9cole \u0416";
    EXPECT_EQ(Body([&](TByteSpan& b) { PutFontBIFF5(b, font); }).substr(15 * 3), "C9 63 6F 6C 65 20 3F");
}

TEST(SheetRecords, BodiesFollowTheirFieldTables) {
    const TPageBreak breaks[2] = {{10, 1, 256}, {20, 0, 0xFFFF}};
    const TSelectionArea areas[2] = {{0, 9, 0, 3}, {0x1234, 0x1235, 254, 255}};
    const TMergedArea merged[1] = {{1, 2, 3, 0x0104}};
    TSetupFields setup;
    setup.PaperSize = 9;
    setup.Scale = 85;
    setup.StartPage = 3;
    setup.FitWidth = 2;
    setup.FitHeight = 0;
    setup.Options = 0x0083;
    setup.HorizontalResolution = 300;
    setup.VerticalResolution = 600;
    setup.HeaderMargin = 1.0;
    setup.FooterMargin = 0.5;
    setup.Copies = 2;
    ExpectBodies({
        // row gutter | column gutter | row levels | column levels
        {"GUTS", GutsSize, [](TByteSpan& b) { PutGuts(b, 58, 0, 3, 0); }, "3A 00 | 00 00 | 03 00 | 00 00"},
        // options | height
        {"DEFAULTROWHEIGHT", DefaultRowHeightSize, [](TByteSpan& b) { PutDefaultRowHeight(b, 1, 300); },
         "01 00 | 2C 01"},
        // first row | last row + 1 | first column | last column + 1 | 0
        {"DIMENSIONS", DimensionsSize, [](TByteSpan& b) { PutDimensions(b, 2, 65536, 1, 256); },
         "02 00 00 00 | 00 00 01 00 | 01 00 | 00 01 | 00 00"},
        // row | first column | last column | height | 0 | 0 | options | XF
        {"ROW", RowSize, [](TByteSpan& b) { PutRow(b, 4, 0, 255, 255, 0x0131, 15); },
         "04 00 | 00 00 | FF 00 | FF 00 | 00 00 | 00 00 | 31 01 | 0F 00"},
        // first column | last column | width | XF | options | 0
        {"COLINFO", ColInfoSize, [](TByteSpan& b) { PutColInfo(b, 0, 1, 2560, 15, 0x0102); },
         "00 00 | 01 00 | 00 0A | 0F 00 | 02 01 | 00 00"},
        // character count | option byte | text
        {"HEADER", HeaderFooterSize(2), [](TByteSpan& b) { PutHeaderFooter(b, u"&P"); }, "02 00 | 01 | 26 00 50 00"},
        {"FOOTER, empty", HeaderFooterSize(0), [](TByteSpan& b) { PutHeaderFooter(b, u""); }, ""},
        // inches
        {"LEFTMARGIN", MarginSize, [](TByteSpan& b) { PutMargin(b, 0.75); }, "00 00 00 00 00 00 E8 3F"},
        // count | (position, first, last) per break
        {"HORIZONTALPAGEBREAKS", PageBreaksSize(2), [&](TByteSpan& b) { PutPageBreaks(b, breaks, 2); },
         "02 00 | 0A 00 01 00 00 01 | 14 00 00 00 FF FF"},
        // paper | scale | start page | fit width | fit height | options | resolutions | header margin |
        // footer margin | copies
        {"SETUP", SetupSize, [&](TByteSpan& b) { PutSetup(b, setup); },
         "09 00 | 55 00 | 03 00 | 02 00 | 00 00 | 83 00 | 2C 01 58 02 | 00 00 00 00 00 00 F0 3F | "
         "00 00 00 00 00 00 E0 3F | 02 00"},
        // options | top row | left column | grid colour | 0 | preview zoom | zoom | 0
        {"WINDOW2", Window2Size, [](TByteSpan& b) { PutWindow2(b, 0x06B6, 5, 2, 64, 60, 75); },
         "B6 06 | 05 00 | 02 00 | 40 00 | 00 00 | 3C 00 | 4B 00 | 00 00 00 00"},
        // numerator | denominator
        {"SCL", SclSize, [](TByteSpan& b) { PutScl(b, 75, 100); }, "4B 00 | 64 00"},
        // split columns | split rows | top row | left column | active pane | 0
        {"PANE", PaneSize, [](TByteSpan& b) { PutPane(b, 0, 1, 1, 0, 2); }, "00 00 | 01 00 | 01 00 | 00 00 | 02 | 00"},
        // pane | active row | active column | active area | count | (rows, columns) per area
        {"SELECTION", SelectionSize(2), [&](TByteSpan& b) { PutSelection(b, 3, 0x1234, 254, 1, areas, 2); },
         "03 | 34 12 | FE 00 | 01 00 | 02 00 | 00 00 09 00 00 03 | 34 12 35 12 FE FF"},
        // count | (first row, last row, first column, last column) per area
        {"MERGEDCELLS", MergedCellsSize(1), [&](TByteSpan& b) { PutMergedCells(b, merged, 1); },
         "01 00 | 01 00 02 00 03 00 04 01"},
        // id again | flags | reserved | feature type | 1 | data size | protection flags | 0
        {"SHEETPROTECTION", SheetProtectionSize, [](TByteSpan& b) { PutSheetProtection(b, 0xC003); },
         "67 08 | 00 00 | 00 00 00 00 00 00 00 00 | 02 00 | 01 | FF FF FF FF | 03 40 | 00 00"},
    });
    EXPECT_EQ(MergedCellsPerRecord(MaxRecordBody), 1027u);
}

TEST(GlobalsRecords, BodiesFollowTheirFieldTables) {
    TWindow1Fields window;  // the defaults, but for the active sheet and the options
    window.ActiveTab = 2;
    window.Options = 0x0039;
    const TExtSSTBucket buckets[2] = {{0x000004D2, 12}, {0x00012345, 8224}};
    ExpectBodies({
        // version | type | build | year | history | lowest version
        {"BOF", BOFSize, [](TByteSpan& b) { PutBOF(b, BOFWorksheet, 0x18AF, 1997, 0x000080C9, 0x00000106); },
         "00 06 | 10 00 | AF 18 | CD 07 | C9 80 00 00 | 06 01 00 00"},
        // one id per sheet
        {"TABID", TabIdSize(3), [](TByteSpan& b) { PutTabId(b, 3); }, "01 00 | 02 00 | 03 00"},
        // left | top | width | height | options | active sheet | first tab | selected | tab ratio
        {"WINDOW1", Window1Size, [&](TByteSpan& b) { PutWindow1(b, window); },
         "64 00 | 64 00 | 10 27 | 58 1B | 39 00 | 02 00 | 00 00 | 01 00 | 58 02"},
        // application country | system country
        {"COUNTRY", CountrySize, [](TByteSpan& b) { PutCountry(b, 1, 46); }, "01 00 | 2E 00"},
        // id again | 0 | build
        {"RECALCID", RecalcIdSize, [](TByteSpan& b) { PutRecalcId(b, 0x00FFFFFF); }, "C1 01 | 00 00 | FF FF FF 00"},
        // BOF position | visibility | sheet type | name length | option byte | name
        {"BOUNDSHEET", BoundsheetSize(2), [](TByteSpan& b) { PutBoundsheet(b, 0x0A0B0C0D, 1, 0x02, u"S\u0416"); },
         "0D 0C 0B 0A | 01 | 02 | 02 | 01 | 53 00 16 04"},
        // strings per bucket | (position, offset, 0) per bucket
        {"EXTSST", ExtSSTSize(2), [&](TByteSpan& b) { PutExtSST(b, 8, buckets, 2); },
         "08 00 | D2 04 00 00 0C 00 00 00 | 45 23 01 00 20 20 00 00"},
    });
}

// Character count, option byte 0, the name one byte per character, then blanks to 109 characters.
TEST(GlobalsRecords, WriteAccessKeepsTheFirst109CharactersAndPadsWithBlanks) {
    TScratch body;
    PutWriteAccess(body.Reset(), u"Ann");
    ASSERT_EQ(body.Size(), WriteAccessSize);
    EXPECT_EQ(Hex(body.Data(), 6), "03 00 00 41 6E 6E");
    for (size_t i = 6; i < WriteAccessSize; ++i) ASSERT_EQ(body.Data()[i], 0x20) << i;
    PutWriteAccess(body.Reset(), std::u16string(150, u'x'));
    ASSERT_EQ(body.Size(), WriteAccessSize);
    EXPECT_EQ(LoadU16(body.Data()), WriteAccessMaxName);
    EXPECT_EQ(body.Data()[WriteAccessSize - 1], 'x');
}

// The accessors of the default records read and write fields at these offsets; each must be where
// the record's function puts the field.
TEST(Records, TheOffsetsOfFieldsEditedInPlaceAreWhereTheFunctionsWriteThem) {
    TScratch b;
    TWindow1Fields w{1, 2, 3, 4, 5, 6, 7, 8, 9};
    PutWindow1(b.Reset(), w);
    using W1 = TWindow1Offsets;
    EXPECT_EQ(LoadU16(b.Data() + W1::Left), 1);
    EXPECT_EQ(LoadU16(b.Data() + W1::Top), 2);
    EXPECT_EQ(LoadU16(b.Data() + W1::Width), 3);
    EXPECT_EQ(LoadU16(b.Data() + W1::Height), 4);
    EXPECT_EQ(LoadU16(b.Data() + W1::Options), 5);
    EXPECT_EQ(LoadU16(b.Data() + W1::ActiveTab), 6);
    EXPECT_EQ(LoadU16(b.Data() + W1::FirstTab), 7);
    EXPECT_EQ(LoadU16(b.Data() + W1::SelectedTabs), 8);
    EXPECT_EQ(LoadU16(b.Data() + W1::TabRatio), 9);

    PutWindow2(b.Reset(), 1, 2, 3, 4, 5, 6);
    using W2 = TWindow2Offsets;
    EXPECT_EQ(LoadU16(b.Data() + W2::Options), 1);
    EXPECT_EQ(LoadU16(b.Data() + W2::TopRow), 2);
    EXPECT_EQ(LoadU16(b.Data() + W2::LeftCol), 3);
    EXPECT_EQ(LoadU16(b.Data() + W2::GridColor), 4);
    EXPECT_EQ(LoadU16(b.Data() + W2::ZoomPreview), 5);
    EXPECT_EQ(LoadU16(b.Data() + W2::Zoom), 6);

    PutSetup(b.Reset(), {1, 2, 3, 4, 5, 6, 7, 8, 9.5, 10.5, 11});
    using S = TSetupOffsets;
    EXPECT_EQ(LoadU16(b.Data() + S::PaperSize), 1);
    EXPECT_EQ(LoadU16(b.Data() + S::Scale), 2);
    EXPECT_EQ(LoadU16(b.Data() + S::StartPage), 3);
    EXPECT_EQ(LoadU16(b.Data() + S::FitWidth), 4);
    EXPECT_EQ(LoadU16(b.Data() + S::FitHeight), 5);
    EXPECT_EQ(LoadU16(b.Data() + S::Options), 6);
    EXPECT_EQ(LoadU16(b.Data() + S::HorizontalResolution), 7);
    EXPECT_EQ(LoadU16(b.Data() + S::VerticalResolution), 8);
    EXPECT_EQ(LoadF64(b.Data() + S::HeaderMargin), 9.5);
    EXPECT_EQ(LoadF64(b.Data() + S::FooterMargin), 10.5);
    EXPECT_EQ(LoadU16(b.Data() + S::Copies), 11);

    const TSelectionArea area{7, 8, 9, 10};
    PutSelection(b.Reset(), 3, 1, 2, 4, &area, 1);
    using Sel = TSelectionOffsets;
    EXPECT_EQ(b.Data()[Sel::Pane], 3);
    EXPECT_EQ(LoadU16(b.Data() + Sel::ActiveRow), 1);
    EXPECT_EQ(LoadU16(b.Data() + Sel::ActiveCol), 2);
    EXPECT_EQ(LoadU16(b.Data() + Sel::ActiveArea), 4);
    EXPECT_EQ(LoadU16(b.Data() + Sel::Count), 1);
    EXPECT_EQ(LoadU16(b.Data() + Sel::Row1), 7);
    EXPECT_EQ(LoadU16(b.Data() + Sel::Row2), 8);
    EXPECT_EQ(b.Data()[Sel::Col1], 9);
    EXPECT_EQ(b.Data()[Sel::Col2], 10);

    PutDimensions(b.Reset(), 1, 2, 3, 4);
    using D = TDimensionsOffsets;
    EXPECT_EQ(LoadU32(b.Data() + D::FirstRow), 1u);
    EXPECT_EQ(LoadU32(b.Data() + D::LastRowPlus1), 2u);
    EXPECT_EQ(LoadU16(b.Data() + D::FirstCol), 3);
    EXPECT_EQ(LoadU16(b.Data() + D::LastColPlus1), 4);
    EXPECT_EQ(LoadU16(b.Data() + D::Reserved), 0);

    PutGuts(b.Reset(), 1, 2, 3, 4);
    EXPECT_EQ(LoadU16(b.Data() + TGutsOffsets::RowGutter), 1);
    EXPECT_EQ(LoadU16(b.Data() + TGutsOffsets::ColGutter), 2);
    EXPECT_EQ(LoadU16(b.Data() + TGutsOffsets::RowLevels), 3);
    EXPECT_EQ(LoadU16(b.Data() + TGutsOffsets::ColLevels), 4);

    PutDefaultRowHeight(b.Reset(), 1, 2);
    EXPECT_EQ(LoadU16(b.Data() + TDefaultRowHeightOffsets::Options), 1);
    EXPECT_EQ(LoadU16(b.Data() + TDefaultRowHeightOffsets::Height), 2);

    PutWriteAccess(b.Reset(), u"Bo");
    EXPECT_EQ(LoadU16(b.Data() + TWriteAccessOffsets::Count), 2);
    EXPECT_EQ(b.Data()[TWriteAccessOffsets::Options], 0);
    EXPECT_EQ(b.Data()[TWriteAccessOffsets::Name], 'B');

    PutBoundsheet(b.Reset(), 0xDEADBEEF, 0, 0, u"x");
    EXPECT_EQ(LoadU32(b.Data() + TBoundsheetOffsets::BOFPosition), 0xDEADBEEFu);
}

// ---- The record writer

TEST(RecordWriter, WritesTheBodyItsFunctionBuildsUnderTheDeclaredLength) {
    test::RecordCollector sink;
    TRecordWriter writer(sink);
    writer.Write(ridRK, RKSize, PutRK, uint16_t{1}, uint16_t{2}, uint16_t{15}, uint32_t{0x3FF00000});
    writer.Write(ridEOF, 0, [](TByteSpan&) {});
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[0].id, ridRK);
    EXPECT_EQ(Hex(sink.records[0].body), "01 00 02 00 0F 00 00 00 F0 3F");
    EXPECT_EQ(sink.records[1].id, ridEOF);
    EXPECT_TRUE(sink.records[1].body.empty());
}

TEST(RecordWriter, ABodyOfAnotherSizeThanDeclaredNeverReachesTheSink) {
    test::RecordCollector sink;
    TRecordWriter writer(sink);
    // A function that forgot a field, and one that wrote a field too wide.
    EXPECT_THROW_MSG(writer.Write(ridNUMBER, NumberSize, PutRK, uint16_t{1}, uint16_t{2}, uint16_t{15}, uint32_t{7}),
                     Error, "Record 0203: its function wrote 10 bytes where the record declares 14");
    EXPECT_THROW_MSG(writer.Write(ridBLANK, BlankSize, [](TByteSpan& b) { b.PutFill(8); }), Error,
                     "Record 0201: its function wrote 8 bytes where the record declares 6");
    EXPECT_TRUE(sink.records.empty());
}

TEST(RecordWriter, ALengthBeyondTheLargestBodyIsRefusedBeforeAnythingIsBuilt) {
    test::RecordCollector sink;
    TRecordWriter writer(sink, 2080);
    bool built = false;
    EXPECT_THROW_MSG(writer.Write(ridFOOTER, 2081, [&](TByteSpan&) { built = true; }), Error,
                     "Record 0015 of 2081 bytes is longer than a record can hold (2080 bytes)");
    EXPECT_FALSE(built);
    writer.Write(ridFOOTER, 2080, [](TByteSpan& b) { b.PutFill(2080); });  // exactly full
    ASSERT_EQ(sink.records.size(), 1u);
    // A function that writes past the largest body is stopped at its end, not beyond it.
    EXPECT_THROW_MSG(writer.Write(ridFOOTER, 4, [](TByteSpan& b) { b.PutFill(5000, 0xAA); }), Error,
                     "Record 0015: its function wrote more than 2081 bytes where the record declares 4");
    EXPECT_EQ(sink.records.size(), 1u);
}

// ---- The RK form

struct TRKCase {
    double Value;
    std::optional<uint32_t> RK;
    const char* Why;
};

TEST(RKValueTest, FormsOfTheNumbersWrittenAsRK) {
    const double belowRounded = std::nextafter(463115.28, 0.0);
    const TRKCase cases[] = {
        {1.0, 0x3FF00000, "float form, factor 1"},
        {2.0, 0x40000000, "float form, factor 1"},
        {3.0, 0x40080000, "float form, factor 1"},
        {0.0, 0x00000000, "zero"},
        {-1.0, 0xBFF00000, "negative float form"},
        {0.5, 0x3FE00000, "a fraction with a short mantissa"},
        {0.01, 0x3FF00001, "x 100 = 1.0 takes the float form before the integer form"},
        {0.1, 0x40240001, "x 100 = 10.0"},
        {1234567, 4938270, "integer form: the double's high word has its low bits set"},
        {12345.67, 4938271, "integer form x 100"},
        {463115.28, 46311528u * 4 + 2 + 1, "integer form x 100"},
        {536870911, 0x7FFFFFFE, "largest 30-bit integer"},
        {-536870912, 0xC1C00000, "power of two: float form"},
        {-536870911, static_cast<uint32_t>(-536870911 * 4 + 2), "negative integer form"},
        {0.123, std::nullopt, "12.3 is not whole and 0.123 has low bits"},
        {536870913, std::nullopt, "beyond 30 bits, and x 100 too"},
        {1e308, std::nullopt, "x 100 overflows: never written as infinity"},
        {-1e308, std::nullopt, "x 100 overflows negatively"},
        {belowRounded, std::nullopt, "x 100 rounds to a whole number that reads back as the neighbour"},
    };
    for (const TRKCase& c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_EQ(RKValue(c.Value), c.RK) << c.Value;
    }
}

TEST(RKValueTest, EveryRKFormReadsBackAsTheSameNumber) {
    // The reader's decoding: bit 1 integer or float, bit 0 divide by 100.
    auto decode = [](uint32_t rk) {
        double v;
        if (rk & 2) {
            v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
        } else {
            const uint64_t bits = uint64_t(rk & ~3u) << 32;
            std::memcpy(&v, &bits, 8);
        }
        return (rk & 1) ? v / 100 : v;
    };
    uint64_t state = 88172645463325252ull;
    int withForm = 0;
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        // Values with two decimals whose hundredfold fits 30 bits, and their neighbouring doubles.
        double x = static_cast<double>(static_cast<int64_t>(state % 1000000000) - 500000000) / 100.0;
        if (i % 3 == 1) x = std::nextafter(x, 0.0);
        if (i % 3 == 2) x = std::nextafter(x, 1e300);
        if (const auto rk = RKValue(x)) {
            ++withForm;
            ASSERT_EQ(decode(*rk), x) << "rk " << *rk;
        }
    }
    EXPECT_GT(withForm, 40000);  // most values with two decimals have a form
}

}  // namespace
}  // namespace quarvel
