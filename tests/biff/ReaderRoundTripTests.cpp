// Whole workbooks that an independent reader (xlrd) opens: a small BIFF8 stream built from the default
// record lists and the shared string table inside our compound file. Proves that readers accept the
// container, the default records and the string table with its CONTINUE records.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/biff/BiffSupport.h"
#include "biff/RecordStorage.h"
#include "biff/SST.h"
#include "biff/XLSStream.h"
#include "platform/Text.h"

namespace quarvel {
namespace {

using test::TTempDir;
using Bytes = std::vector<uint8_t>;

// The string table only checks that a font list is attached; these tests never look into it.
int someFontList;
TXFonts* const kFonts = reinterpret_cast<TXFonts*>(&someFontList);

struct TTinyCell {
    uint16_t row, col;
    double number;
    TSSTEntry* text;  // null for a number
};

void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// Writes a workbook of one sheet "Sheet1" the way the writer walks the default lists: stored records
// unchanged, generated ones at the internal records (one font, 16 cell formats, the sheet entry, the
// string table, the cells), other internal records skipped.
void WriteTinyWorkbook(TXLSStream& s, TSST2& sst, const std::vector<TTinyCell>& cells) {
    TRecordStorageGlobals globals;
    globals.LoadDefaults();
    int32_t boundsheetBody = -1;
    for (int32_t i = 0; i < globals.Count(); ++i) {
        const TRecordEntry& e = globals.Records(i);
        if (e.Id() == ridTABID) {
            const uint8_t tabs[2] = {1, 0};
            s.WriteRecord(ridTABID, tabs, 2);
        } else if (e.Id() == IR_FORMATS) {
            const uint8_t font[] = {0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'};
            s.WriteRecord(0x0031, font, sizeof font);
            uint8_t xf[20] = {0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, 0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
            for (int k = 0; k < 15; ++k) s.WriteRecord(0x00E0, xf, sizeof xf);
            xf[4] = 0x01;  // a cell format on style 0
            xf[5] = 0x00;
            xf[9] = 0x00;
            s.WriteRecord(0x00E0, xf, sizeof xf);
        } else if (e.Id() == IR_BOUNDSHEETS) {
            Bytes body = {0, 0, 0, 0, 0, 0, 6, 1};
            for (char16_t c : std::u16string(u"Sheet1")) Put16(body, c);
            s.WriteHeader(0x0085, static_cast<uint16_t>(body.size()));
            boundsheetBody = s.Pos();
            s.WriteDirect(body.data(), static_cast<int32_t>(body.size()));
        } else if (e.Id() == IR_SST) {
            sst.WriteSST(s);
        } else if (!IsInternalRecord(e.Id())) {
            globals.WriteEntry(i, s);
        }
    }

    TRecordStorageSheet sheet;
    uint16_t lastRow = 0, lastCol = 0;
    for (const TTinyCell& c : cells) {
        lastRow = std::max(lastRow, c.row);
        lastCol = std::max(lastCol, c.col);
    }
    sheet.SetDimensions(0, lastRow + 1u, 0, static_cast<uint16_t>(lastCol + 1));
    sheet.LoadDefaults();
    const int32_t bof = s.Pos();
    s.Seek(boundsheetBody, TXLSStream::soFromBeginning);
    s.WriteDWord(static_cast<uint32_t>(bof));
    s.Seek(0, TXLSStream::soFromEnd);
    for (int32_t i = 0; i < sheet.Count(); ++i) {
        const TRecordEntry& e = sheet.Records(i);
        if (e.Id() == IR_CELLS) {
            for (const TTinyCell& c : cells) {
                Bytes body;
                Put16(body, c.row);
                Put16(body, c.col);
                Put16(body, 15);
                if (c.text) {
                    Put16(body, static_cast<uint16_t>(c.text->Index()));
                    Put16(body, static_cast<uint16_t>(c.text->Index() >> 16));
                    s.WriteRecord(0x00FD, body.data(), static_cast<uint16_t>(body.size()));
                } else {
                    uint8_t d[8];
                    std::memcpy(d, &c.number, 8);
                    body.insert(body.end(), d, d + 8);
                    s.WriteRecord(0x0203, body.data(), static_cast<uint16_t>(body.size()));
                }
            }
        } else if (!IsInternalRecord(e.Id())) {
            sheet.WriteEntry(i, s);
        }
    }
}

std::string WriteAndDump(const TTempDir& dir, TSST2& sst, const std::vector<TTinyCell>& cells, Bytes* raw = nullptr) {
    const std::string file = dir.File("tiny.xls");
    TXLSStream s;
    s.OpenWrite(WideString(file.begin(), file.end()), xvExcel97);
    WriteTinyWorkbook(s, sst, cells);
    s.Close();
    if (raw) {
        TXLSStream r;
        r.OpenWriteRaw(*raw);
        WriteTinyWorkbook(r, sst, cells);
        r.Close();
    }
    const auto result = test::XlrdDump(file);
    EXPECT_EQ(result.status, 0) << result.output;
    return result.output;
}

TEST(ReaderRoundTrip, XlrdOpensATinyWorkbook) {
    TTempDir dir;
    TSST2 sst(kFonts);
    const std::vector<TTinyCell> cells = {
        {0, 0, 1.5, nullptr},
        {0, 1, 0, sst.AddString(u"abc")},
        {1, 0, 0, sst.AddString(u"Привет")},
        {1, 1, -3, nullptr},
        {2, 1, 0, sst.AddString(u"abc")},
    };
    EXPECT_EQ(WriteAndDump(dir, sst, cells),
              "sheet Sheet1 rows=3 cols=2\n"
              "0,0 number 1.5\n"
              "0,1 text 'abc'\n"
              "1,0 text 'Привет'\n"
              "1,1 number -3.0\n"
              "2,1 text 'abc'\n");
}

TEST(ReaderRoundTrip, XlrdReadsEveryStringAcrossContinueRecords) {
    // Long one-byte and UTF-16 texts, texts made of surrogate pairs (so that record ends fall on
    // pairs), and enough short texts to fill several records.
    std::vector<WideString> texts;
    texts.push_back(WideString(9000, u'x'));
    texts.push_back(WideString(8227, u'Ā'));
    for (int k = 0; k < 24; ++k) {
        WideString t(static_cast<size_t>(k % 4), u'Ж');
        for (int i = 0; i < 1500 + 37 * k; ++i) t += u"\U0001F600";
        texts.push_back(t);
    }
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        texts.push_back(u"s" + WideString(n.begin(), n.end()) + (i % 3 ? u"" : u"ÿ") + (i % 5 ? u"" : u"Ω"));
    }

    TTempDir dir;
    TSST2 sst(kFonts);
    std::vector<TTinyCell> cells;
    for (size_t i = 0; i < texts.size(); ++i) cells.push_back({static_cast<uint16_t>(i), 0, 0, sst.AddString(texts[i])});
    Bytes raw;
    const std::string dump = WriteAndDump(dir, sst, cells, &raw);

    std::vector<std::string> expected = {"sheet Sheet1 rows=" + std::to_string(texts.size()) + " cols=1"};
    for (size_t i = 0; i < texts.size(); ++i) expected.push_back(std::to_string(i) + ",0 text '" + Utf16ToUtf8(texts[i]) + "'");
    std::vector<std::string> lines;
    for (size_t at = 0; at < dump.size();) {
        const size_t end = dump.find('\n', at);
        lines.push_back(dump.substr(at, end - at));
        at = end == std::string::npos ? dump.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), expected.size()) << dump.substr(0, 2000);
    for (size_t i = 0; i < lines.size(); ++i)
        ASSERT_TRUE(lines[i] == expected[i]) << "line " << i << ": " << lines[i].substr(0, 200);

    // Some records of the table ended early (8221 or 8222 bytes) to keep a surrogate pair whole;
    // without that xlrd would have refused the file.
    int shortened = 0;
    for (size_t at = 0; at + 4 <= raw.size();) {
        const uint16_t id = test::Le16(raw, at), length = test::Le16(raw, at + 2);
        if ((id == ridSST || id == ridCONTINUE) && (length == 8221 || length == 8222)) ++shortened;
        at += 4 + length;
    }
    EXPECT_GT(shortened, 0);
}

}  // namespace
}  // namespace quarvel
