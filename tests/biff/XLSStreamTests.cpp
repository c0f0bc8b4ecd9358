// The record stream: framing, positions and patching, armed CONTINUE splitting, split records, and the
// three targets (file, caller's memory, raw stream bytes).
#include "biff/XLSStream.h"

#include <gtest/gtest.h>

#include "tests/platform/PlatformSupport.h"
#include "platform/Errors.h"

namespace quarvel {
namespace {

using test::ReadByteVector;
using test::TTempDir;

using Bytes = std::vector<uint8_t>;

struct TRecordHead {
    uint16_t id;
    uint16_t length;
    bool operator==(const TRecordHead&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TRecordHead& r) {
    return os << "{0x" << std::hex << r.id << std::dec << ", " << r.length << "}";
}

// Cuts a stream into records; the bodies are appended to `bodies` in order.
std::vector<TRecordHead> Records(const Bytes& s, Bytes* bodies = nullptr) {
    std::vector<TRecordHead> out;
    size_t at = 0;
    while (at + 4 <= s.size()) {
        const TRecordHead r{test::Le16(s, at), test::Le16(s, at + 2)};
        out.push_back(r);
        if (bodies) bodies->insert(bodies->end(), s.begin() + at + 4, s.begin() + at + 4 + r.length);
        at += 4 + r.length;
    }
    EXPECT_EQ(at, s.size()) << "the stream does not end at a record boundary";
    return out;
}

Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return b;
}

TEST(XLSStream, RecordsAreFramedLittleEndian) {
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    EXPECT_EQ(s.Pos(), 0);
    const uint8_t body[3] = {0xAA, 0xBB, 0xCC};
    s.WriteRecord(0x0809, body, 3);
    s.WriteRecord(0x000A, nullptr, 0);  // an empty body: exactly the 4 header bytes
    s.WriteWordRecord(0x0042, 1200);
    s.WriteHeader(0x1234, 7);
    s.WriteByte(0x01);
    s.WriteWord(0x0302);
    s.WriteDWord(0x07060504);
    TRecordSink& sink = s;  // the record lists write through this interface
    sink.WriteRecord(0x0055, body, 2);
    s.Close();
    EXPECT_EQ(raw, (Bytes{0x09, 0x08, 0x03, 0x00, 0xAA, 0xBB, 0xCC,  //
                          0x0A, 0x00, 0x00, 0x00,                    //
                          0x42, 0x00, 0x02, 0x00, 0xB0, 0x04,        //
                          0x34, 0x12, 0x07, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                          0x55, 0x00, 0x02, 0x00, 0xAA, 0xBB}));
}

TEST(XLSStream, SeekMovesFromEachOriginAndPatchesInPlace) {
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    const Bytes ten = Pattern(10);
    EXPECT_EQ(s.WriteDirect(ten.data(), 10), 10);
    EXPECT_EQ(s.Seek(3, TXLSStream::soFromBeginning), 3);
    EXPECT_EQ(s.Seek(2, TXLSStream::soFromCurrent), 5);
    EXPECT_EQ(s.Seek(-4, TXLSStream::soFromEnd), 6);
    EXPECT_EQ(s.Pos(), 6);
    s.WriteWord(0xBEEF);  // the patch idiom: overwrite, then back to the end
    EXPECT_EQ(s.Seek(0, TXLSStream::soFromEnd), 10);
    s.WriteByte(0x77);
    EXPECT_THROW(s.Seek(-12, TXLSStream::soFromEnd), Error);  // before the start
    s.Close();
    Bytes expected = ten;
    expected[6] = 0xEF;
    expected[7] = 0xBE;
    expected.push_back(0x77);
    EXPECT_EQ(raw, expected);
}

TEST(XLSStream, ArmedSplittingContinuesAtTheMaximum) {
    struct Case {
        const char* name;
        int32_t max;
        std::vector<int32_t> writes;
        std::vector<TRecordHead> expected;
    };
    const Case cases[] = {
        {"exactly the maximum: no CONTINUE", 10, {10}, {{0xEB, 10}}},
        {"one byte more", 10, {11}, {{0xEB, 10}, {0x3C, 1}}},
        {"a full record, then the next write continues", 10, {10, 1}, {{0xEB, 10}, {0x3C, 1}}},
        {"small writes across the boundary", 10, {4, 4, 4}, {{0xEB, 10}, {0x3C, 2}}},
        {"two full records", 10, {10, 10}, {{0xEB, 10}, {0x3C, 10}}},
        {"one write over several records", 10, {25}, {{0xEB, 10}, {0x3C, 10}, {0x3C, 5}}},
        {"drawing group size", 8224, {8224 * 2 + 1}, {{0xEB, 8224}, {0x3C, 8224}, {0x3C, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes raw;
        TXLSStream s;
        s.OpenWriteRaw(raw);
        s.WriteWordRecord(0x0042, 1);  // something before, so that positions are not 0
        Bytes written;
        s.BeginContinue(c.max);
        s.WriteHeader(0xEB, 0);  // any length: the splitting patches it
        for (int32_t n : c.writes) {
            const Bytes part = Pattern(static_cast<size_t>(n));
            EXPECT_EQ(s.Write(part.data(), n), 0);  // armed writes report 0
            written.insert(written.end(), part.begin(), part.end());
        }
        s.EndContinue();
        const Bytes after = {1, 2};
        EXPECT_EQ(s.Write(after.data(), 2), 2);  // disarmed again: written directly
        s.Close();
        Bytes bodies;
        raw.resize(raw.size() - 2);
        auto records = Records(raw, &bodies);
        ASSERT_FALSE(records.empty());
        records.erase(records.begin());
        EXPECT_EQ(records, c.expected);
        EXPECT_EQ(Bytes(bodies.begin() + 2, bodies.end()), written);
    }
}

TEST(XLSStream, EndContinueWithoutBodyKeepsTheHeaderLength) {
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    s.BeginContinue(8224);
    s.WriteHeader(0xEB, 77);
    s.EndContinue();
    EXPECT_EQ(s.ContinueMax(), -1);
    s.Close();
    EXPECT_EQ(raw, (Bytes{0xEB, 0x00, 77, 0x00}));
}

TEST(XLSStream, SplitRecordsUseContinueRecordsOfAtMost8224Bytes) {
    const struct {
        int32_t length;
        std::vector<TRecordHead> expected;
    } cases[] = {
        {0, {{0xEB, 0}}},
        {1, {{0xEB, 1}}},
        {8224, {{0xEB, 8224}}},
        {8225, {{0xEB, 8224}, {0x3C, 1}}},
        {8224 * 2 + 1, {{0xEB, 8224}, {0x3C, 8224}, {0x3C, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes raw;
        TXLSStream s;
        s.OpenWriteRaw(raw);
        const Bytes body = Pattern(static_cast<size_t>(c.length));
        s.WriteSplitRecord(0xEB, body.data(), c.length);
        s.Close();
        Bytes bodies;
        EXPECT_EQ(Records(raw, &bodies), c.expected);
        EXPECT_EQ(bodies, body);
    }
}

TEST(XLSStream, AFileNeedsAName) {
    TXLSStream s;
    try {
        s.OpenWrite(u"", xvExcel97);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Filename is missing");
    }
    EXPECT_FALSE(s.IsOpen());
    // A caller's memory target needs none.
    Bytes out;
    s.SetOutputStream(&out);
    s.OpenWrite(u"", xvExcel97);
    s.Close();
    EXPECT_FALSE(out.empty());
}

TEST(XLSStream, WritingWhileClosedIsAnError) {
    TXLSStream s;
    EXPECT_THROW(s.WriteByte(1), Error);
    EXPECT_THROW(s.Pos(), Error);
    EXPECT_NO_THROW(s.Close());
    EXPECT_NO_THROW(s.Abort());
}

// Writes a few records with a patch and armed splitting.
void WriteSample(TXLSStream& s) {
    EXPECT_EQ(s.Pos(), 0);
    s.WriteWordRecord(0x0042, 1200);
    const int32_t lengthPos = s.Pos() + 2;
    s.WriteHeader(0x00FC, 0);
    const Bytes body = Pattern(5000);
    s.WriteDirect(body.data(), 5000);
    s.Seek(lengthPos, TXLSStream::soFromBeginning);
    s.WriteWord(5000);
    s.Seek(0, TXLSStream::soFromEnd);
    s.BeginContinue(8224);
    s.WriteHeader(0xEB, 0);
    const Bytes big = Pattern(9000);
    s.Write(big.data(), 9000);
    s.EndContinue();
    s.WriteRecord(0x000A, nullptr, 0);
}

WideString Widen(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

TEST(XLSStream, FileMemoryAndRawTargetsHoldTheSameStream) {
    TTempDir dir;
    Bytes raw;
    {
        TXLSStream s;
        s.OpenWriteRaw(raw);
        WriteSample(s);
        s.Close();
    }
    EXPECT_EQ(Records(raw).size(), 5u);

    Bytes inMemory = {1, 2, 3};
    {
        TXLSStream s;
        s.SetOutputStream(&inMemory);
        s.OpenWrite(Widen(dir.File("ignored.xls")), xvExcel97);
        WriteSample(s);
        s.Close();
    }

    const std::string file = dir.File("Лист один.xls");  // UTF-16 names become UTF-8 paths
    test::WriteBytes(file, Bytes(100, 0xEE));        // an existing file is replaced
    {
        TXLSStream s;
        s.SetBufferSize(1024);  // the patches reach bytes already in the file
        s.OpenWrite(Widen(dir.Path().string() + "/") + u"Лист один.xls", xvExcel97);
        WriteSample(s);
        s.Close();
    }
    EXPECT_EQ(ReadByteVector(file), inMemory);
    {
        TXLSStream s;  // without the flush to the disk: the same file
        s.SetSyncOnCommit(false);
        s.OpenWrite(Widen(dir.File("nosync.xls")), xvExcel97);
        WriteSample(s);
        s.Close();
    }
    EXPECT_EQ(ReadByteVector(dir.File("nosync.xls")), inMemory);
    test::WriteBytes(dir.File("raw.bin"), raw);
    const auto r = test::CheckContainers("Workbook", {{file, dir.File("raw.bin")}});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"nosync.xls", "raw.bin", "Лист один.xls"}));
}

TEST(XLSStream, OlderVersionsGetTheirOwnOutput) {
    TTempDir dir;
    Bytes raw;
    {
        TXLSStream s;
        s.OpenWriteRaw(raw);
        WriteSample(s);
        s.Close();
    }
    test::WriteBytes(dir.File("raw.bin"), raw);
    {
        TXLSStream s;  // BIFF5: the stream is called "Book"
        s.OpenWrite(Widen(dir.File("biff5.xls")), xvExcel50);
        EXPECT_EQ(s.FileVersion(), xvExcel50);
        WriteSample(s);
        s.Close();
    }
    const auto r = test::CheckContainers("Book", {{dir.File("biff5.xls"), dir.File("raw.bin")}});
    EXPECT_EQ(r.status, 0) << r.output;
    {
        TXLSStream s;  // BIFF4 and older: the records alone, no container
        s.OpenWrite(Widen(dir.File("biff4.xls")), xvExcel40);
        WriteSample(s);
        s.Close();
    }
    EXPECT_EQ(ReadByteVector(dir.File("biff4.xls")), raw);
}

TEST(XLSStream, AnAbandonedOutputLeavesNoFile) {
    TTempDir dir;
    {
        TXLSStream s;
        s.OpenWrite(Widen(dir.File("a.xls")), xvExcel97);
        WriteSample(s);
        s.Abort();
        EXPECT_FALSE(s.IsOpen());
        s.OpenWrite(Widen(dir.File("b.xls")), xvExcel97);
        WriteSample(s);
        // Opening again abandons what is open.
        s.OpenWrite(Widen(dir.File("c.xls")), xvExcel97);
        WriteSample(s);
    }  // destroyed while open
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace quarvel
