// A 256-way hash trie over 32-bit hashes. At depth d an item goes into the slot given by byte d mod 4
// of its hash (the hash rotated right by 8·d, low byte). A slot is empty, holds a child node, or holds
// a chain of at most 8 items, newest first; a ninth item splits the chain into a child node one byte
// of the hash deeper (the chained items head first, then the new one). The walk order (slots 0 to
// 255, a child where it stands, a chain from its head) is part of what the string table writes, so
// it is fixed.
//
// Items with equal 32-bit hashes cannot be told apart by descending: at depth 3 all four hash bytes
// have been used, so chains there are never split and simply grow.
//
// A node is one block: a 256-bit map of its used slots followed by the slots. A node with few used
// slots keeps them densely in slot order (a few dozen bytes instead of 256 pointers); past 32 it
// switches to all 256 slots indexed directly. A chain of one item is the item itself; a longer chain
// is a small block of (hash, item) pairs, head first, so that a lookup touches an item only when its
// hash matches. Either way the slot order and the chain order, and so every result, are those of
// plain 256-slot arrays and linked chains.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace quarvel {

// CRC-32 with the reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF and no final complement
// (an empty key hashes to 0xFFFFFFFF).
uint32_t HashCRC32(const uint8_t* data, size_t count);

// What the trie holds: derive from it. The trie keeps the item's hash here.
struct THashTrieItem {
    uint32_t TrieHash = 0;
};

// Slots tag their pointers in the two low bits.
static_assert(alignof(THashTrieItem) >= 4);

// A chain of two or more items (internal to THashTrie): `count` items, head (newest) first, with
// their hashes.
struct TChainBlock {
    uint32_t count;
    uint32_t capacity;

    static TChainBlock* Create(uint32_t capacity);
    static void Destroy(TChainBlock* block);
    THashTrieItem** Items() { return reinterpret_cast<THashTrieItem**>(this + 1); }
    THashTrieItem* const* Items() const { return reinterpret_cast<THashTrieItem* const*>(this + 1); }
    uint32_t* Hashes() { return reinterpret_cast<uint32_t*>(Items() + capacity); }
    const uint32_t* Hashes() const { return reinterpret_cast<const uint32_t*>(Items() + capacity); }
};

// A trie node (internal to THashTrie).
struct TTreeItem {
    static constexpr uint16_t FullCapacity = 256;
    static constexpr uint16_t MaxDenseCapacity = 32;

    uint8_t depth;
    uint16_t used;
    uint16_t capacity;  // FullCapacity: slots indexed by slot number; otherwise dense in slot order
    uint64_t map[4];

    static TTreeItem* Create(uint8_t depth, uint16_t capacity);
    static void Destroy(TTreeItem* node);

    uintptr_t* Slots() { return reinterpret_cast<uintptr_t*>(this + 1); }
    const uintptr_t* Slots() const { return reinterpret_cast<const uintptr_t*>(this + 1); }
    bool Has(uint8_t s) const { return (map[s >> 6] >> (s & 63)) & 1u; }
    // Where slot `s` is (or would go) in Slots().
    size_t Position(uint8_t s) const {
        if (capacity == FullCapacity) return s;
        size_t n = 0;
        for (unsigned w = 0; w < unsigned(s >> 6); ++w) n += static_cast<size_t>(std::popcount(map[w]));
        const unsigned bit = s & 63;
        return n + static_cast<size_t>(bit ? std::popcount(map[s >> 6] & ((uint64_t(1) << bit) - 1)) : 0);
    }

    // A used slot holds a child node (tag 1), a chain block (tag 2) or a single item (tag 0).
    static bool IsChild(uintptr_t slot) { return (slot & 3u) == 1u; }
    static bool IsBlock(uintptr_t slot) { return (slot & 3u) == 2u; }
    static TTreeItem* Child(uintptr_t slot) { return reinterpret_cast<TTreeItem*>(slot & ~uintptr_t(3)); }
    static TChainBlock* Block(uintptr_t slot) { return reinterpret_cast<TChainBlock*>(slot & ~uintptr_t(3)); }
    static THashTrieItem* Single(uintptr_t slot) { return reinterpret_cast<THashTrieItem*>(slot); }
    static uintptr_t FromChild(TTreeItem* node) { return reinterpret_cast<uintptr_t>(node) | 1u; }
    static uintptr_t FromBlock(TChainBlock* block) { return reinterpret_cast<uintptr_t>(block) | 2u; }
    static uintptr_t FromSingle(THashTrieItem* item) { return reinterpret_cast<uintptr_t>(item); }
};

class THashTrie {
public:
    static constexpr int MaxChain = 8;
    static constexpr int MaxSplitDepth = 3;  // chains at this depth are never split

    THashTrie() = default;
    THashTrie(const THashTrie&) = delete;
    THashTrie& operator=(const THashTrie&) = delete;
    // Frees the nodes only: a derived class frees its items (Clear) in its own destructor, since
    // FreeItem cannot be reached from here.
    virtual ~THashTrie();

    // The item equal to `probe` (whose TrieHash must be set), or null.
    THashTrieItem* Find(const THashTrieItem& probe) const;
    // The item equal to `probe` (whose TrieHash must be set); when there is none, `make()` is called
    // once to create the item to insert (the trie sets its link and hash) and that item is returned.
    template <class Make>
    THashTrieItem* FindOrInsert(const THashTrieItem& probe, Make&& make) {
        return FindOrInsertHashed(
            probe.TrieHash, [&](const THashTrieItem& item) { return ItemsEqual(item, probe); }, make);
    }
    // The same for a key given by its hash and a test `equal(item)` of whether an item of that hash
    // holds the key (it must agree with ItemsEqual): no probe item needs to be built.
    template <class Equal, class Make>
    THashTrieItem* FindOrInsertHashed(uint32_t hash, Equal&& equal, Make&& make);
    // Inserts `item` (its TrieHash set) unless an equal item is present; returns the item in the trie.
    THashTrieItem* Insert(THashTrieItem* item) {
        return FindOrInsert(*item, [item] { return item; });
    }
    // Unlinks `item` (which must be in the trie) and frees it through FreeItem. A node left without
    // used slots is freed and its slot in the parent emptied.
    void Remove(THashTrieItem* item);
    // Frees every item through FreeItem and every node.
    void Clear();
    // Number of items.
    size_t Count() const { return count_; }

    // Calls f(item) for every item in walk order. `f` must not change the trie.
    template <class F>
    void Walk(F&& f) const {
        if (root_) WalkNode(TTreeItem::Child(root_), f);
    }

protected:
    // The item's hash; the trie keeps it in TrieHash, so this is asked only when an item is made.
    virtual uint32_t HashOf(const THashTrieItem& item) const = 0;
    virtual void FreeItem(THashTrieItem* item) = 0;
    virtual bool ItemsEqual(const THashTrieItem& a, const THashTrieItem& b) const = 0;
    // Frees every node but none of the items, which the derived class then frees by itself.
    void FreeNodesOnly();

private:
    // Puts `value` into the empty slot `s` of the node held by `holder`, growing (and so moving) the
    // node when it is full; `holder` then holds the new node.
    static void PutSlot(uintptr_t& holder, uint8_t s, uintptr_t value);
    static void EraseSlot(TTreeItem* node, uint8_t s);
    // Puts `item` at the head of the chain in `slot`.
    static void PushFront(uintptr_t& slot, THashTrieItem* item);
    // Moves the chain of `slot` (at a node of depth `depth`) into a new child node.
    static void Split(uintptr_t& slot, uint8_t depth);
    void FreeNodes(TTreeItem* node, bool freeItems);
    template <class F>
    static void WalkNode(const TTreeItem* node, F& f);

    uintptr_t root_ = 0;  // the root node, tagged as a child; 0 before the first insert
    size_t count_ = 0;
};

template <class Equal, class Make>
THashTrieItem* THashTrie::FindOrInsertHashed(uint32_t hash, Equal&& equal, Make&& make) {
    if (!root_) root_ = TTreeItem::FromChild(TTreeItem::Create(0, 4));
    uintptr_t* holder = &root_;
    uint32_t key = hash;
    for (;;) {
        TTreeItem* node = TTreeItem::Child(*holder);
        const uint8_t s = static_cast<uint8_t>(key);
        if (!node->Has(s)) {
            THashTrieItem* item = make();
            item->TrieHash = hash;
            PutSlot(*holder, s, TTreeItem::FromSingle(item));
            ++count_;
            return item;
        }
        uintptr_t& slot = node->Slots()[node->Position(s)];
        if (TTreeItem::IsChild(slot)) {
            holder = &slot;
            key = std::rotr(key, 8);
            continue;
        }
        uint32_t length;
        if (TTreeItem::IsBlock(slot)) {
            const TChainBlock* block = TTreeItem::Block(slot);
            const uint32_t* hashes = block->Hashes();
            for (uint32_t i = 0; i < block->count; ++i)
                if (hashes[i] == hash && equal(*block->Items()[i])) return block->Items()[i];
            length = block->count;
        } else {
            THashTrieItem* single = TTreeItem::Single(slot);
            if (single->TrieHash == hash && equal(*single)) return single;
            length = 1;
        }
        if (length < MaxChain || node->depth >= MaxSplitDepth) {
            THashTrieItem* item = make();
            item->TrieHash = hash;
            PushFront(slot, item);
            ++count_;
            return item;
        }
        // A ninth item: the chain moves one hash byte deeper, then the new item follows it there.
        Split(slot, node->depth);
        holder = &slot;
        key = std::rotr(key, 8);
    }
}

template <class F>
void THashTrie::WalkNode(const TTreeItem* node, F& f) {
    const uintptr_t* slots = node->Slots();
    size_t dense = 0;
    for (unsigned w = 0; w < 4; ++w) {
        for (uint64_t bits = node->map[w]; bits; bits &= bits - 1) {
            const size_t s = w * 64 + static_cast<size_t>(std::countr_zero(bits));
            const uintptr_t slot = node->capacity == TTreeItem::FullCapacity ? slots[s] : slots[dense++];
            if (TTreeItem::IsChild(slot)) {
                WalkNode(TTreeItem::Child(slot), f);
            } else if (TTreeItem::IsBlock(slot)) {
                const TChainBlock* block = TTreeItem::Block(slot);
                for (uint32_t i = 0; i < block->count; ++i) f(block->Items()[i]);
            } else {
                f(TTreeItem::Single(slot));
            }
        }
    }
}

}  // namespace quarvel
