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
// switches to all 256 slots indexed directly. Either way the slot order, and so every result, is that
// of a plain 256-slot array.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace quarvel {

// CRC-32 with the reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF and no final complement
// (an empty key hashes to 0xFFFFFFFF).
uint32_t HashCRC32(const uint8_t* data, size_t count);

// What the trie links: derive from it. The trie keeps the item's hash and chain link here.
struct THashTrieItem {
    THashTrieItem* TrieNext = nullptr;
    uint32_t TrieHash = 0;
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

    // A slot holds a child node (low bit set) or a chain head.
    static bool IsChild(uintptr_t slot) { return slot & 1u; }
    static TTreeItem* Child(uintptr_t slot) { return reinterpret_cast<TTreeItem*>(slot & ~uintptr_t(1)); }
    static THashTrieItem* Chain(uintptr_t slot) { return reinterpret_cast<THashTrieItem*>(slot); }
    static uintptr_t FromChild(TTreeItem* node) { return reinterpret_cast<uintptr_t>(node) | 1u; }
    static uintptr_t FromChain(THashTrieItem* head) { return reinterpret_cast<uintptr_t>(head); }
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
    THashTrieItem* FindOrInsert(const THashTrieItem& probe, Make&& make);
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

private:
    // Puts `value` into the empty slot `s` of the node held by `holder`, growing (and so moving) the
    // node when it is full; `holder` then holds the new node.
    static void PutSlot(uintptr_t& holder, uint8_t s, uintptr_t value);
    static void EraseSlot(TTreeItem* node, uint8_t s);
    // Moves the chain of `slot` (at a node of depth `depth`) into a new child node.
    static void Split(uintptr_t& slot, uint8_t depth);
    void FreeNodes(TTreeItem* node, bool freeItems);
    template <class F>
    static void WalkNode(const TTreeItem* node, F& f);

    uintptr_t root_ = 0;  // the root node, tagged as a child; 0 before the first insert
    size_t count_ = 0;
};

template <class Make>
THashTrieItem* THashTrie::FindOrInsert(const THashTrieItem& probe, Make&& make) {
    if (!root_) root_ = TTreeItem::FromChild(TTreeItem::Create(0, 4));
    uintptr_t* holder = &root_;
    uint32_t key = probe.TrieHash;
    for (;;) {
        TTreeItem* node = TTreeItem::Child(*holder);
        const uint8_t s = static_cast<uint8_t>(key);
        if (!node->Has(s)) {
            THashTrieItem* item = make();
            item->TrieHash = probe.TrieHash;
            item->TrieNext = nullptr;
            PutSlot(*holder, s, TTreeItem::FromChain(item));
            ++count_;
            return item;
        }
        uintptr_t& slot = node->Slots()[node->Position(s)];
        if (TTreeItem::IsChild(slot)) {
            holder = &slot;
            key = std::rotr(key, 8);
            continue;
        }
        int length = 0;
        for (THashTrieItem* e = TTreeItem::Chain(slot); e; e = e->TrieNext, ++length)
            if (e->TrieHash == probe.TrieHash && ItemsEqual(*e, probe)) return e;
        if (length < MaxChain || node->depth >= MaxSplitDepth) {
            THashTrieItem* item = make();
            item->TrieHash = probe.TrieHash;
            item->TrieNext = TTreeItem::Chain(slot);
            slot = TTreeItem::FromChain(item);
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
            } else {
                for (THashTrieItem* e = TTreeItem::Chain(slot); e;) {
                    THashTrieItem* next = e->TrieNext;
                    f(e);
                    e = next;
                }
            }
        }
    }
}

}  // namespace quarvel
