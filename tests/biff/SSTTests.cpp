// The shared string table: adding and releasing, the hash trie's walk order (which is the SST index
// order), and the SST/CONTINUE/EXTSST bytes at the record boundaries.
#include "biff/SST.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <set>

#include "biff/RecordStorage.h"
#include "biff/XLSStream.h"
#include "platform/Errors.h"

namespace quarvel {
namespace {

using Bytes = std::vector<uint8_t>;

// WriteSST only checks that a font list is attached; these tests never look into it.
int someFontList;
TXFonts* const kFonts = reinterpret_cast<TXFonts*>(&someFontList);

// The key bytes a text is stored with: one byte per character when all are at most U+00FF, else
// UTF-16LE.
Bytes Key(const WideString& text) {
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    Bytes key;
    for (char16_t c : text) {
        key.push_back(static_cast<uint8_t>(c));
        if (wide) key.push_back(static_cast<uint8_t>(c >> 8));
    }
    return key;
}
uint32_t Hash(const WideString& text) {
    const Bytes k = Key(text);
    return HashCRC32(k.data(), k.size());
}
WideString Narrow(const std::string& s) {
    WideString w;
    for (unsigned char c : s) w += static_cast<char16_t>(c);
    return w;
}

// Appends four characters (each at most U+00FF) to `prefix` so that the text hashes to `target`:
// the CRC is linear, so the four bytes can be solved for backwards from the target.
WideString Forge(const std::string& prefix, uint32_t target) {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    uint8_t index[4];
    uint32_t t = target;
    for (int k = 3; k >= 0; --k) {
        uint32_t j = 0;
        while ((table[j] >> 24) != (t >> 24)) ++j;
        index[k] = static_cast<uint8_t>(j);
        t = (t ^ table[j]) << 8;
    }
    std::string text = prefix;
    uint32_t c = HashCRC32(reinterpret_cast<const uint8_t*>(prefix.data()), prefix.size());
    for (int k = 0; k < 4; ++k) {
        text += static_cast<char>((c ^ index[k]) & 0xFF);
        c = table[index[k]] ^ (c >> 8);
    }
    const WideString w = Narrow(text);
    EXPECT_EQ(Hash(w), target) << "forging failed";
    return w;
}

Bytes WriteTable(TSST2& sst, int prefixBytes = 0) {
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    if (prefixBytes) {
        const Bytes filler(static_cast<size_t>(prefixBytes - 4), 0);
        s.WriteRecord(0x0042, filler.data(), static_cast<uint16_t>(filler.size()));
    }
    sst.WriteSST(s);
    s.Close();
    return raw;
}

// ---------------------------------------------------------------------------------------------------
// A reader of what WriteSST wrote, following the format's rules: strings run on into CONTINUE
// records, whose character data starts with the option byte again; a record's unused last byte
// (half a UTF-16 unit) is skipped.

struct TRecord {
    uint16_t id;
    size_t header;  // stream position of the record header
    Bytes body;
};

std::vector<TRecord> Records(const Bytes& raw) {
    std::vector<TRecord> out;
    size_t at = 0;
    while (at + 4 <= raw.size()) {
        const uint16_t id = static_cast<uint16_t>(raw[at] | raw[at + 1] << 8);
        const uint16_t length = static_cast<uint16_t>(raw[at + 2] | raw[at + 3] << 8);
        out.push_back({id, at, Bytes(raw.begin() + at + 4, raw.begin() + at + 4 + length)});
        at += 4 + length;
    }
    EXPECT_EQ(at, raw.size());
    return out;
}

struct TPlace {
    size_t pos;           // stream position of the string's character count
    size_t record;        // index of the record holding it
    bool startsContinue;  // first bytes of a CONTINUE record
};

struct TParsedSST {
    uint32_t total = 0, unique = 0;
    std::vector<WideString> texts;
    std::vector<TPlace> places;
    std::vector<TRecord> records;  // SST and its CONTINUE records
    uint16_t bucketSize = 0;
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
};

TParsedSST ParseSST(const Bytes& raw) {
    TParsedSST p;
    std::vector<TRecord> all = Records(raw);
    size_t first = 0;
    while (first < all.size() && all[first].id != ridSST) ++first;
    if (first == all.size()) {
        ADD_FAILURE() << "no SST record";
        return p;
    }
    size_t last = first + 1;
    while (last < all.size() && all[last].id == ridCONTINUE) ++last;
    p.records.assign(all.begin() + first, all.begin() + last);
    size_t r = 0, off = 8;
    const Bytes& sst = p.records[0].body;
    p.total = sst[0] | sst[1] << 8 | sst[2] << 16 | uint32_t(sst[3]) << 24;
    p.unique = sst[4] | sst[5] << 8 | sst[6] << 16 | uint32_t(sst[7]) << 24;
    auto next = [&] {
        ++r;
        off = 0;
        if (r >= p.records.size()) throw std::runtime_error("string table ends early");
    };
    for (uint32_t i = 0; i < p.unique; ++i) {
        if (off == p.records[r].body.size()) next();
        const Bytes* b = &p.records[r].body;
        if (off + 3 > b->size()) throw std::runtime_error("string header split");
        p.places.push_back({p.records[r].header + 4 + off, r, r > 0 && off == 0});
        size_t count = (*b)[off] | (*b)[off + 1] << 8;
        bool wide = (*b)[off + 2] & 1;
        off += 3;
        WideString text;
        while (count > 0) {
            const size_t unit = wide ? 2 : 1;
            if (b->size() - off < unit) {
                next();
                b = &p.records[r].body;
                wide = (*b)[0] & 1;
                off = 1;
                continue;
            }
            const size_t n = std::min(count, (b->size() - off) / unit);
            for (size_t k = 0; k < n; ++k, off += unit)
                text += static_cast<char16_t>(wide ? (*b)[off] | (*b)[off + 1] << 8 : (*b)[off]);
            count -= n;
        }
        p.texts.push_back(text);
    }
    EXPECT_EQ(r + 1, p.records.size()) << "records left over";
    EXPECT_EQ(off, p.records[r].body.size()) << "bytes left over";
    if (last < all.size() && all[last].id == ridEXTSST) {
        const Bytes& e = all[last].body;
        p.bucketSize = static_cast<uint16_t>(e[0] | e[1] << 8);
        for (size_t at = 2; at + 8 <= e.size(); at += 8)
            p.buckets.emplace_back(e[at] | e[at + 1] << 8 | e[at + 2] << 16 | uint32_t(e[at + 3]) << 24,
                                   static_cast<uint16_t>(e[at + 4] | e[at + 5] << 8));
        EXPECT_EQ(e.size() % 8, 2u);
    } else {
        ADD_FAILURE() << "no EXTSST after the string table";
    }
    return p;
}

std::vector<uint16_t> Lengths(const TParsedSST& p) {
    std::vector<uint16_t> out;
    for (const TRecord& r : p.records) out.push_back(static_cast<uint16_t>(r.body.size()));
    return out;
}

// The entries in walk order, which is the order of their SST indexes.
std::vector<WideString> WalkOrder(const TSST2& sst) {
    std::vector<WideString> out;
    sst.Walk([&](THashTrieItem* item) { out.push_back(TSST2::GetString(static_cast<TSSTEntry*>(item))); });
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Hash and entries

TEST(SSTHash, CrcWithoutFinalComplement) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"", 0xFFFFFFFF}, {"a", 0x174841BC}, {"abc", 0xCADBBE3D}, {"123456789", 0x340BC6D9}};
    for (const auto& [text, crc] : cases)
        EXPECT_EQ(HashCRC32(reinterpret_cast<const uint8_t*>(text), std::strlen(text)), crc) << text;
}

TEST(SSTEntries, TypesAndKeys) {
    const struct {
        WideString text;
        uint8_t type;
        Bytes key;
    } cases[] = {
        {u"abc", 0, {'a', 'b', 'c'}},
        {u"é\u00FF", 0, {0xE9, 0xFF}},      // up to U+00FF: one byte each
        {u"aĀ", 1, {'a', 0, 0x00, 0x01}},  // one character above: all UTF-16
        {u"\U0001F600", 1, {0x3D, 0xD8, 0x00, 0xDE}},
        {u"", 0, {}},
    };
    TSST2 sst(kFonts);
    for (const auto& c : cases) {
        TSSTEntry* e = sst.AddString(c.text);
        EXPECT_EQ(e->Options(), c.type);
        EXPECT_EQ(e->CharCount(), c.text.size());
        EXPECT_EQ(Bytes(e->Chars(), e->Chars() + e->CharBytes()), c.key);
        EXPECT_EQ(e->RefCount(), 1);
        EXPECT_EQ(e->Index(), TSSTEntry::NoIndex);
        EXPECT_EQ(TSST2::GetString(e), c.text);
        EXPECT_EQ(e->TrieHash, HashCRC32(c.key.data(), c.key.size()));
    }
    EXPECT_EQ(sst.UniqueCount(), 5u);
}

TEST(SSTEntries, EqualTextsShareOneCountedEntry) {
    TSST2 sst(kFonts);
    TSSTEntry* a = sst.AddString(u"same");
    EXPECT_EQ(sst.AddString(u"same"), a);
    EXPECT_EQ(sst.AddString(u"same"), a);
    EXPECT_NE(sst.AddString(u"Same"), a);
    EXPECT_EQ(a->RefCount(), 3);
    EXPECT_EQ(sst.TotalCount(), 4u);
    EXPECT_EQ(sst.UniqueCount(), 2u);
    sst.AddRef(a);
    EXPECT_EQ(a->RefCount(), 4);
    EXPECT_EQ(sst.TotalCount(), 5u);
}

// The key is the character bytes, so a UTF-16 text has the key of the one-byte text made of its
// bytes: "\u4F60\u597D" and "`O}Y" both hash and compare the bytes 60 4F 7D 59. The type tells
// them apart; otherwise one text's cells would show the other's text.
TEST(SSTEntries, TextsWhoseKeyBytesAgreeButNotTheirTypesStayApart) {
    const std::pair<WideString, WideString> pairs[] = {
        {u"`O}Y", u"\u4F60\u597D"},
        {u"ab", u"\u6261"},
        {u"\u00E9\u00FF\u0001\u00C0", u"\uFFE9\uC001"},
    };
    for (const auto& [narrow, wide] : pairs) {
        ASSERT_EQ(Key(narrow).size(), Key(wide).size());
        ASSERT_EQ(Hash(narrow), Hash(wide));
        for (bool narrowFirst : {true, false}) {
            TSST2 sst(kFonts);
            TSSTEntry* first = sst.AddString(narrowFirst ? narrow : wide);
            TSSTEntry* second = sst.AddString(narrowFirst ? wide : narrow);
            ASSERT_NE(first, second);
            EXPECT_EQ(TSST2::GetString(first), narrowFirst ? narrow : wide);
            EXPECT_EQ(TSST2::GetString(second), narrowFirst ? wide : narrow);
            EXPECT_EQ(sst.AddString(narrow), narrowFirst ? first : second);
            EXPECT_EQ(sst.AddString(wide), narrowFirst ? second : first);
            EXPECT_EQ(sst.UniqueCount(), 2u);
            EXPECT_EQ(first->RefCount(), 2);
            EXPECT_EQ(second->RefCount(), 2);
            // Releasing one leaves the other where it was.
            sst.ReleaseString(first);
            sst.ReleaseString(first);
            EXPECT_EQ(sst.AddString(narrowFirst ? wide : narrow), second);
            EXPECT_EQ(sst.UniqueCount(), 1u);
        }
    }
}

TEST(SSTEntries, TheLastReleaseRemovesTheEntry) {
    TSST2 sst(kFonts);
    TSSTEntry* a = sst.AddString(u"x");
    sst.AddString(u"x");
    sst.AddString(u"y");
    sst.ReleaseString(a);
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(sst.TotalCount(), 2u);
    sst.ReleaseString(a);  // gone
    EXPECT_EQ(sst.UniqueCount(), 1u);
    EXPECT_EQ(sst.TotalCount(), 1u);
    TSSTEntry* again = sst.AddString(u"x");
    EXPECT_EQ(again->RefCount(), 1);
    EXPECT_EQ(WalkOrder(sst).size(), 2u);
    sst.ReleaseString(nullptr);  // nothing
    sst.Clear();
    EXPECT_EQ(sst.UniqueCount(), 0u);
    EXPECT_EQ(sst.TotalCount(), 0u);
    EXPECT_TRUE(WalkOrder(sst).empty());
}

TEST(SSTEntries, CharacterCountsBeyond16BitsAreRefused) {
    TSST2 sst(kFonts);
    TSSTEntry* e = sst.AddString(WideString(65535, u'z'));
    EXPECT_EQ(e->CharCount(), 65535);
    EXPECT_THROW(sst.AddString(WideString(65536, u'z')), Error);
    EXPECT_EQ(sst.TotalCount(), 1u);
}

// ---------------------------------------------------------------------------------------------------
// Walk order

// The trie as plainly described: 256 slots per node, chains of at most 8 texts, newest first, a
// ninth splitting the chain one hash byte deeper (chained texts head first, then the new one);
// chains at depth 3, where all four hash bytes are used, grow instead. Removal empties a slot
// when its chain empties and frees nodes left without used slots.
class TReferenceTrie {
public:
    void Insert(const WideString& text) {
        if (!root_) root_ = std::make_unique<Node>(0);
        InsertAt(*root_, Hash(text), text);
    }
    void Remove(const WideString& text) {
        if (root_) RemoveAt(*root_, Hash(text), text);
    }
    std::vector<WideString> Walk() const {
        std::vector<WideString> out;
        if (root_) WalkAt(*root_, out);
        return out;
    }

private:
    struct Node {
        explicit Node(int d) : depth(d) {}
        int depth;
        std::array<std::unique_ptr<Node>, 256> child;
        std::array<std::deque<WideString>, 256> chain;
        bool Empty() const {
            for (int s = 0; s < 256; ++s)
                if (child[s] || !chain[s].empty()) return false;
            return true;
        }
    };
    void InsertAt(Node& n, uint32_t key, const WideString& text) {
        const int s = key & 0xFF;
        if (n.child[s]) return InsertAt(*n.child[s], std::rotr(key, 8), text);
        auto& chain = n.chain[s];
        if (std::find(chain.begin(), chain.end(), text) != chain.end()) return;
        if (chain.size() < 8 || n.depth >= 3) {
            chain.push_front(text);
            return;
        }
        auto c = std::make_unique<Node>(n.depth + 1);
        for (const WideString& e : chain) InsertAt(*c, std::rotr(Hash(e), 8 * (n.depth + 1)), e);
        InsertAt(*c, std::rotr(key, 8), text);
        chain.clear();
        n.child[s] = std::move(c);
    }
    // Returns true when `n` is left without used slots.
    bool RemoveAt(Node& n, uint32_t key, const WideString& text) {
        const int s = key & 0xFF;
        if (n.child[s]) {
            if (RemoveAt(*n.child[s], std::rotr(key, 8), text)) n.child[s].reset();
        } else {
            auto& chain = n.chain[s];
            chain.erase(std::remove(chain.begin(), chain.end(), text), chain.end());
        }
        return n.Empty();
    }
    void WalkAt(const Node& n, std::vector<WideString>& out) const {
        for (int s = 0; s < 256; ++s) {
            if (n.child[s]) WalkAt(*n.child[s], out);
            for (const WideString& e : n.chain[s]) out.push_back(e);
        }
    }
    std::unique_ptr<Node> root_;
};

TEST(SSTWalkOrder, MatchesThePlainTrieThroughSplitsCollisionsAndRemovals) {
    std::vector<WideString> texts;
    std::mt19937 rng(3);
    for (int i = 0; i < 20000; ++i) texts.push_back(Narrow("t" + std::to_string(rng())));
    // Hashes chosen to split the chains at every depth: nine texts per shared low byte, per shared
    // two bytes, per shared three bytes, and twelve with one full hash (which no descent can tell
    // apart).
    for (int k = 0; k < 9; ++k) texts.push_back(Forge("d1-" + std::to_string(k), 0x00000005u | (k + 1u) << 8));
    for (int k = 0; k < 9; ++k) texts.push_back(Forge("d2-" + std::to_string(k), 0x00007705u | (k + 1u) << 16));
    for (int k = 0; k < 9; ++k) texts.push_back(Forge("d3-" + std::to_string(k), 0x00337705u | (k + 1u) << 24));
    for (int k = 0; k < 12; ++k) texts.push_back(Forge("same-" + std::to_string(k), 0xAB337705u));
    texts.push_back(u"Ω wide");

    TSST2 sst(kFonts);
    TReferenceTrie reference;
    std::map<WideString, TSSTEntry*> entries;
    for (const WideString& t : texts) {
        entries[t] = sst.AddString(t);
        reference.Insert(t);
    }
    EXPECT_EQ(sst.UniqueCount(), entries.size());
    EXPECT_EQ(WalkOrder(sst), reference.Walk());
    for (const WideString& t : texts) ASSERT_EQ(sst.AddString(t), entries[t]);  // every one found again

    // Release a third (colliding texts included), then add new texts into the freed places.
    for (size_t i = 0; i < texts.size(); i += 3) {
        TSSTEntry* e = entries[texts[i]];
        sst.ReleaseString(e);
        sst.ReleaseString(e);
        reference.Remove(texts[i]);
    }
    for (int k = 0; k < 9; ++k) {
        const WideString t = Forge("late-" + std::to_string(k), 0x00337705u | (k + 1u) << 24);
        sst.AddString(t);
        reference.Insert(t);
    }
    for (int i = 0; i < 3000; ++i) {
        const WideString t = Narrow("u" + std::to_string(rng()));
        sst.AddString(t);
        reference.Insert(t);
    }
    EXPECT_EQ(WalkOrder(sst), reference.Walk());

    // A text whose entry was freed gets a new entry when it comes again, never the freed one.
    for (size_t i = 0; i < texts.size(); i += 30) {
        ASSERT_EQ(sst.AddString(texts[i])->RefCount(), 1) << i;
        reference.Insert(texts[i]);
    }
    EXPECT_EQ(WalkOrder(sst), reference.Walk());

    // Writing numbers the entries in walk order.
    WriteTable(sst);
    uint32_t index = 0;
    sst.Walk([&](THashTrieItem* item) { EXPECT_EQ(static_cast<TSSTEntry*>(item)->Index(), index++); });
}

// ---------------------------------------------------------------------------------------------------
// Writing

TEST(SSTWriting, RefusesToWriteWithoutAFontList) {
    TSST2 sst;
    sst.AddString(u"a");
    Bytes raw;
    TXLSStream s;
    s.OpenWriteRaw(raw);
    try {
        sst.WriteSST(s);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Can not write SST when FFonts = Nil");
    }
    EXPECT_EQ(s.Pos(), 0);  // nothing written
}

TEST(SSTWriting, EmptyTable) {
    TSST2 sst(kFonts);
    EXPECT_EQ(WriteTable(sst), (Bytes{0xFC, 0x00, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                      0xFF, 0x00, 0x02, 0x00, 0x08, 0x00}));
}

TEST(SSTWriting, TotalAndUniqueCountsAndBuckets) {
    TSST2 sst(kFonts);
    sst.AddString(u"abc");
    sst.AddString(u"abc");
    TSSTEntry* empty = sst.AddString(u"");
    const Bytes raw = WriteTable(sst);
    // "" (hash 0xFFFFFFFF) walks after "abc" (0xCADBBE3D): slot 0xFF after slot 0x3D.
    EXPECT_EQ(raw, (Bytes{0xFC, 0x00, 0x11, 0x00, 3, 0, 0, 0, 2, 0, 0, 0,  // total 3, unique 2
                          0x03, 0x00, 0x00, 'a', 'b', 'c', 0x00, 0x00, 0x00,  //
                          0xFF, 0x00, 0x0A, 0x00, 0x08, 0x00, 0x0C, 0, 0, 0, 0x0C, 0x00, 0x00, 0x00}));
    EXPECT_EQ(empty->Index(), 1u);
}

TEST(SSTWriting, SixteenFreeBytesKeepAStringFifteenStartAContinueRecord) {
    // The long text walks first (its hash's low byte is smaller).
    for (const auto& [longLength, lengths] :
         {std::pair<size_t, std::vector<uint16_t>>{8197, {8213}}, {8198, {8209, 5}}}) {
        SCOPED_TRACE(longLength);
        const WideString longText(longLength, u'b');
        ASSERT_LT(Hash(longText) & 0xFF, Hash(u"xy") & 0xFF);
        TSST2 sst(kFonts);
        sst.AddString(longText);
        sst.AddString(u"xy");
        const TParsedSST p = ParseSST(WriteTable(sst));
        EXPECT_EQ(Lengths(p), lengths);
        EXPECT_EQ(p.texts, (std::vector<WideString>{longText, u"xy"}));
        const Bytes tail = {0x02, 0x00, 0x00, 'x', 'y'};
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), p.records.back().body.end() - 5));
    }
}

TEST(SSTWriting, SplitsLeaveNoCharacterOrSurrogatePairCut) {
    // One text per case: record lengths of SST and its CONTINUE records. The SST record holds the
    // counts (8), the text's header (3) and as many characters as fit; a UTF-16 continuation holds
    // the repeated option byte and 4111 units (8222 bytes, the 8223rd byte unused).
    auto wideWithPairAt = [](size_t at) {
        WideString t(8227, u'Ā');
        t[at] = 0xD83D;
        t[at + 1] = 0xDE00;
        return t;
    };
    const struct {
        const char* name;
        WideString text;
        std::vector<uint16_t> lengths;
    } cases[] = {
        {"one-byte characters fill every byte", WideString(9000, u'x'), {8224, 1 + 787}},
        {"UTF-16: odd free bytes leave one unused", WideString(8227, u'Ā'), {8223, 8223, 1 + 20}},
        {"a pair inside the first record", wideWithPairAt(4104), {8223, 8223, 1 + 20}},
        {"a pair across the first record's end moves whole", wideWithPairAt(4105), {8221, 8223, 1 + 22}},
        {"a pair across a continuation's end moves whole", wideWithPairAt(4106 + 4110), {8223, 8221, 1 + 22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSST2 sst(kFonts);
        sst.AddString(c.text);
        const TParsedSST p = ParseSST(WriteTable(sst));
        EXPECT_EQ(Lengths(p), c.lengths);
        ASSERT_EQ(p.texts.size(), 1u);
        EXPECT_TRUE(p.texts[0] == c.text) << "the text reads back differently";
        for (size_t r = 1; r < p.records.size(); ++r)
            EXPECT_EQ(p.records[r].body[0], c.text[0] > 0xFF ? 0x01 : 0x00) << "option byte of record " << r;
    }
}

TEST(SSTWriting, UTF16TextReachingTheEndWithOddFreeBytes) {
    // After the one-byte text 100 bytes are free; the UTF-16 text's header leaves 97: 48 units go
    // into the SST record (8223 bytes), 12 into a CONTINUE record starting with 0x01.
    const WideString first(8113, u'b');
    const WideString wide(60, u'Ā');
    ASSERT_LT(Hash(first) & 0xFF, Hash(wide) & 0xFF);
    TSST2 sst(kFonts);
    sst.AddString(first);
    sst.AddString(wide);
    const TParsedSST p = ParseSST(WriteTable(sst));
    EXPECT_EQ(Lengths(p), (std::vector<uint16_t>{8223, 25}));
    EXPECT_EQ(p.records[1].body[0], 0x01);
    EXPECT_EQ(p.texts, (std::vector<WideString>{first, wide}));
}

TEST(SSTWriting, BucketEntryIsTakenBeforeTheRoomCheck) {
    // Nine texts in a chosen walk order (the low hash byte is the position). The first eight leave 10
    // free bytes, so the ninth, which begins the second bucket, starts a CONTINUE record; its bucket
    // entry points at that record's header and counts from the header of the SST record.
    TSST2 sst(kFonts);
    for (uint32_t k = 0; k < 9; ++k) {
        const size_t length = k < 7 ? 1000 : k == 7 ? 1182 : 10;
        sst.AddString(Forge(std::string(length - 4, static_cast<char>('a' + k)), 0x12345600u | k));
    }
    const Bytes raw = WriteTable(sst, 6);  // the table starts at position 6
    const TParsedSST p = ParseSST(raw);
    EXPECT_EQ(Lengths(p), (std::vector<uint16_t>{8214, 13}));
    EXPECT_EQ(p.bucketSize, 8);
    const size_t sst0 = 6, continueHeader = sst0 + 4 + 8214;
    EXPECT_EQ(p.buckets, (std::vector<std::pair<uint32_t, uint16_t>>{{sst0 + 12, 12},
                                                                      {continueHeader, continueHeader - sst0}}));
    EXPECT_EQ(p.places[8].pos, continueHeader + 4);
    const Bytes extsst = {0xFF, 0x00, 0x12, 0x00, 0x08, 0x00,                          // 2 buckets of 8
                          0x12, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,              // 18, 12
                          0x20, 0x20, 0x00, 0x00, 0x1A, 0x20, 0x00, 0x00};             // 8224, 8218
    EXPECT_TRUE(std::equal(extsst.begin(), extsst.end(), raw.end() - 22));
}

TEST(SSTWriting, BucketSizesKeepAtMost1027Buckets) {
    const struct {
        size_t strings;
        uint16_t bucketSize;
    } cases[] = {{7188, 8}, {7189, 8}, {8216, 9}, {20000, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strings);
        TSST2 sst(kFonts);
        std::vector<WideString> texts;
        for (size_t i = 0; i < c.strings; ++i) {
            texts.push_back(Narrow("text number " + std::to_string(i)) + (i % 7 ? u"" : u"Ж"));
            sst.AddString(texts.back());
        }
        const TParsedSST p = ParseSST(WriteTable(sst, 20));
        EXPECT_EQ(p.bucketSize, c.bucketSize);
        EXPECT_EQ(p.unique, c.strings);
        EXPECT_EQ(p.total, c.strings);
        EXPECT_EQ(std::multiset<WideString>(p.texts.begin(), p.texts.end()),
                  std::multiset<WideString>(texts.begin(), texts.end()));
        ASSERT_EQ(p.buckets.size(), (c.strings + c.bucketSize - 1) / c.bucketSize);
        for (size_t b = 0; b < p.buckets.size(); ++b) {
            const TPlace& place = p.places[b * c.bucketSize];
            const size_t header = p.records[place.record].header;
            // A text moved into a new CONTINUE record: the entry holds that record's header and the
            // distance from the previous record's header.
            const size_t pos = place.startsContinue ? header : place.pos;
            const size_t from = place.startsContinue ? p.records[place.record - 1].header : header;
            ASSERT_EQ(p.buckets[b], (std::pair<uint32_t, uint16_t>(pos, pos - from))) << "bucket " << b;
        }
    }
}

}  // namespace
}  // namespace quarvel
