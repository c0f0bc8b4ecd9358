// The string table's entry pool: blocks of every size keep their bytes while others come and go,
// given-back blocks are handed out again by size class, and Clear gives back everything.
#include "biff/EntryPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace quarvel {
namespace {

struct TBlock {
    uint8_t* data;
    size_t size;
    uint8_t fill;
};

void Fill(TBlock& b) { std::memset(b.data, b.fill, b.size); }

bool Intact(const TBlock& b) {
    for (size_t i = 0; i < b.size; ++i)
        if (b.data[i] != b.fill) return false;
    return true;
}

TEST(EntryPool, BlocksKeepTheirBytesWhileOthersComeAndGo) {
    TEntryPool pool;
    std::mt19937 rng(7);
    std::vector<TBlock> live;
    uint8_t fill = 1;
    // Sizes around the size classes, the pooled limit and the chunk sizes, most of them small.
    const size_t sizes[] = {0, 1, 15, 16, 17, 31, 33, 100, 1023, 1024, 1025, 5000, 70000, 2u << 20};
    for (int round = 0; round < 20000; ++round) {
        if (!live.empty() && rng() % 3 == 0) {
            const size_t k = rng() % live.size();
            ASSERT_TRUE(Intact(live[k])) << "block of " << live[k].size << " bytes was overwritten";
            pool.Free(live[k].data, live[k].size);
            live[k] = live.back();
            live.pop_back();
            continue;
        }
        const size_t size = rng() % 10 == 0 ? sizes[rng() % std::size(sizes)] : 1 + rng() % 120;
        TBlock b{static_cast<uint8_t*>(pool.Allocate(size)), size, fill};
        fill = static_cast<uint8_t>(fill % 250 + 1);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(b.data) % TEntryPool::Alignment, 0u);
        Fill(b);
        live.push_back(b);
    }
    for (const TBlock& b : live) EXPECT_TRUE(Intact(b)) << b.size;
    EXPECT_GT(pool.BytesReserved(), 0u);
    pool.Clear();
    EXPECT_EQ(pool.BytesReserved(), 0u);
    // Usable again after Clear.
    TBlock b{static_cast<uint8_t*>(pool.Allocate(40)), 40, 9};
    Fill(b);
    EXPECT_TRUE(Intact(b));
}

TEST(EntryPool, GivenBackBlocksServeTheirSizeClassAgain) {
    TEntryPool pool;
    void* a = pool.Allocate(20);   // class of 17..32 bytes
    void* b = pool.Allocate(100);  // class of 97..112 bytes
    pool.Allocate(20);
    pool.Free(a, 20);
    pool.Free(b, 100);
    EXPECT_EQ(pool.Allocate(32), a);   // same class, most recently given back first
    EXPECT_EQ(pool.Allocate(97), b);
    EXPECT_NE(pool.Allocate(20), a);   // the class list is empty again: a new block
    // Large blocks come from the heap one by one and go back to it.
    const size_t before = pool.BytesReserved();
    void* large = pool.Allocate(TEntryPool::MaxPooledSize + 1);
    EXPECT_GT(pool.BytesReserved(), before + TEntryPool::MaxPooledSize);
    pool.Free(large, TEntryPool::MaxPooledSize + 1);
    EXPECT_EQ(pool.BytesReserved(), before);
}

}  // namespace
}  // namespace quarvel
