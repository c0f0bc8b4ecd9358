// The little-endian byte buffer: exact bytes of every value kind, overwriting after a seek back,
// gaps, growth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/ByteBuffer.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Hex;

TEST(ByteBuffer, EachValueKindIsWrittenLeastSignificantByteFirst) {
    struct TCase {
        const char* what;
        void (*put)(TByteBuffer&);
        const char* bytes;
    };
    const TCase cases[] = {
        {"u8", [](TByteBuffer& b) { b.PutU8(0xA5); }, "A5"},
        {"u16", [](TByteBuffer& b) { b.PutU16(0x1234); }, "34 12"},
        {"u32", [](TByteBuffer& b) { b.PutU32(0x89ABCDEF); }, "EF CD AB 89"},
        {"u64", [](TByteBuffer& b) { b.PutU64(0x0102030405060708ull); }, "08 07 06 05 04 03 02 01"},
        {"f64 1.0", [](TByteBuffer& b) { b.PutF64(1.0); }, "00 00 00 00 00 00 F0 3F"},
        {"f64 0.001", [](TByteBuffer& b) { b.PutF64(0.001); }, "FC A9 F1 D2 4D 62 50 3F"},
        {"f64 -0.0", [](TByteBuffer& b) { b.PutF64(-0.0); }, "00 00 00 00 00 00 00 80"},
        {"utf16", [](TByteBuffer& b) { b.PutUtf16(u"A\u0416\U0001F600", 4); }, "41 00 16 04 3D D8 00 DE"},
        {"bytes", [](TByteBuffer& b) { b.PutBytes("ok", 2); }, "6F 6B"},
        {"fill", [](TByteBuffer& b) { b.PutFill(3, 0x20); }, "20 20 20"},
        {"nothing", [](TByteBuffer& b) { b.PutBytes(nullptr, 0); }, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TByteBuffer b;
        c.put(b);
        EXPECT_EQ(Hex(b.Data(), b.Size()), c.bytes);
        EXPECT_EQ(b.Pos(), b.Size());
    }
}

TEST(ByteBuffer, LoadsGiveBackWhatTheStoresWrote) {
    uint8_t p[8];
    StoreU16(p, 0xBEEF);
    EXPECT_EQ(LoadU16(p), 0xBEEF);
    StoreU32(p, 0xFFFFFFFEu);
    EXPECT_EQ(LoadU32(p), 0xFFFFFFFEu);
    StoreU64(p, 0x8000000000000001ull);
    EXPECT_EQ(LoadU64(p), 0x8000000000000001ull);
    for (const double v : {0.1, -1e308, std::numeric_limits<double>::denorm_min(), std::nan("")}) {
        StoreF64(p, v);
        const double back = LoadF64(p);
        if (std::isnan(v)) {
            EXPECT_TRUE(std::isnan(back));
        } else {
            EXPECT_EQ(back, v);
        }
    }
}

TEST(ByteBuffer, WritingAfterASeekBackOverwritesInPlaceAndExtendsPastTheEnd) {
    TByteBuffer b;
    b.PutU32(0x44332211);
    b.PutU16(0x6655);
    b.Seek(1);
    b.PutU16(0xBBAA);
    EXPECT_EQ(Hex(b.Data(), b.Size()), "11 AA BB 44 55 66");
    EXPECT_EQ(b.Pos(), 3u);
    b.Seek(5);
    b.PutU16(0xDDCC);  // one byte over the old end, one beyond it
    EXPECT_EQ(Hex(b.Data(), b.Size()), "11 AA BB 44 55 CC DD");
    b.SeekEnd();
    b.PutU8(0xEE);
    EXPECT_EQ(Hex(b.Data(), b.Size()), "11 AA BB 44 55 CC DD EE");
}

TEST(ByteBuffer, PatchesOverwriteWithoutMovingThePosition) {
    TByteBuffer b;
    b.PutU16(0);  // a length field to fill in later
    b.PutU32(0);
    b.PutBytes("abc", 3);
    b.PatchU16(0, static_cast<uint16_t>(b.Size() - 2));
    b.PatchU32(2, 0xCAFEF00D);
    EXPECT_EQ(b.Pos(), 9u);
    EXPECT_EQ(Hex(b.Data(), b.Size()), "07 00 0D F0 FE CA 61 62 63");
}

// A reused buffer holds the bytes of its earlier contents beyond its end: the gap a seek past the
// end opens must read as zeros, not as those.
TEST(ByteBuffer, SeekingPastTheEndExtendsWithZerosEvenInAReusedBuffer) {
    TByteBuffer b;
    b.PutFill(16, 0xFF);
    b.Clear();
    EXPECT_TRUE(b.Empty());
    b.PutU8(1);
    b.Seek(5);
    EXPECT_EQ(b.Size(), 5u);
    b.PutU8(2);
    EXPECT_EQ(Hex(b.Data(), b.Size()), "01 00 00 00 00 02");
}

TEST(ByteBuffer, GrowingKeepsEverythingWritten) {
    TByteBuffer b(4);
    for (uint32_t i = 0; i < 5000; ++i) b.PutU32(i * 2654435761u);
    ASSERT_EQ(b.Size(), 20000u);
    const Bytes bytes = b.Bytes();
    for (uint32_t i = 0; i < 5000; ++i) ASSERT_EQ(LoadU32(bytes.data() + 4 * i), i * 2654435761u) << i;
}

// The span writes the same bytes as the buffer, into its caller's memory, and drops whatever does
// not fit instead of writing past the memory's end.
TEST(ByteSpan, WritesInOrderAndDropsAWriteThatDoesNotFit) {
    uint8_t memory[8];
    std::memset(memory, 0xEE, sizeof memory);
    TByteSpan span(memory, 6);
    span.PutU16(0x1234);
    span.PutU32(0x89ABCDEF);
    EXPECT_EQ(span.Size(), 6u);
    EXPECT_FALSE(span.Overflowed());
    EXPECT_EQ(Hex(memory, 6), "34 12 EF CD AB 89");
    span.PutU8(0x01);
    EXPECT_TRUE(span.Overflowed());
    EXPECT_EQ(span.Size(), 7u);  // more than it holds, so that no expected size can match
    span.PutU16(0x0202);
    EXPECT_EQ(Hex(memory, 8), "34 12 EF CD AB 89 EE EE");  // nothing beyond its capacity
}

}  // namespace
}  // namespace quarvel
