// A 256-way hash trie over 32-bit hashes. At depth d an item goes into the slot given by byte d mod 4
// of its hash (the hash rotated right by 8·d, low byte). A slot is empty, holds a child node, or holds
// a chain of at most 8 items, newest first; a ninth item splits the chain into a child node one byte
// of the hash deeper. The walk order (slots 0 to 255, a child where it stands, a chain from its head)
// is part of what the string table writes, so it is fixed.
//
// Items with equal 32-bit hashes cannot be told apart by descending: at depth 3 all four hash bytes
// have been used, so chains there are never split and simply grow.
//
// Nodes keep only their used slots (a 256-bit map and a dense array in slot order), so a sparse node
// costs a few dozen bytes instead of 256 pointers; the slot order and therefore every result is that
// of a full 256-slot array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quarvel {

// CRC-32 with the reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF and no final complement
// (an empty key hashes to 0xFFFFFFFF).
uint32_t HashCRC32(const uint8_t* data, size_t count);

// What the trie links: derive from it. The trie keeps the item's hash and chain link here.
struct THashTrieItem {
    THashTrieItem* TrieNext = nullptr;
    uint32_t TrieHash = 0;
};

class TTreeItem;

class THashTrie {
public:
    static constexpr int MaxChain = 8;
    static constexpr int MaxSplitDepth = 3;  // chains at this depth are never split

    THashTrie();
    THashTrie(const THashTrie&) = delete;
    THashTrie& operator=(const THashTrie&) = delete;
    // Frees the nodes only: a derived class frees its items (Clear) in its own destructor, since
    // FreeItem cannot be reached from here.
    virtual ~THashTrie();

    // The item equal to `probe` (whose TrieHash must be set), or null.
    THashTrieItem* Find(const THashTrieItem& probe) const;
    // Inserts `item` (its TrieHash set) unless an equal item is present; returns the item in the trie.
    THashTrieItem* Insert(THashTrieItem* item);
    // Unlinks `item` (which must be in the trie) and frees it through FreeItem. A node left without
    // used slots is freed and its slot in the parent emptied.
    void Remove(THashTrieItem* item);
    // Frees every item through FreeItem and every node.
    void Clear();
    // Number of items.
    size_t Count() const { return count_; }

    // Calls f(item) for every item in walk order. `f` must not change the trie.
    template <class F>
    void Walk(F&& f) const;

protected:
    virtual uint32_t HashOf(const THashTrieItem& item) const = 0;
    virtual void FreeItem(THashTrieItem* item) = 0;
    virtual bool ItemsEqual(const THashTrieItem& a, const THashTrieItem& b) const = 0;

private:
    THashTrieItem* InsertAt(TTreeItem* node, uint32_t key, THashTrieItem* item);
    void FreeNodes(TTreeItem* node, bool freeItems);
    template <class F>
    static void WalkNode(const TTreeItem* node, F& f);

    std::unique_ptr<TTreeItem> root_;
    size_t count_ = 0;
};

// A trie node: the used slots of 256, in slot order.
class TTreeItem {
public:
    explicit TTreeItem(uint8_t depth) : depth_(depth) {}
    uint8_t Depth() const { return depth_; }
    int Used() const { return static_cast<int>(slots_.size()); }

    // A slot holds a child node (low bit set) or a chain head.
    static bool IsChild(uintptr_t slot) { return slot & 1u; }
    static TTreeItem* Child(uintptr_t slot) { return reinterpret_cast<TTreeItem*>(slot & ~uintptr_t(1)); }
    static THashTrieItem* Chain(uintptr_t slot) { return reinterpret_cast<THashTrieItem*>(slot); }
    static uintptr_t FromChild(TTreeItem* node) { return reinterpret_cast<uintptr_t>(node) | 1u; }
    static uintptr_t FromChain(THashTrieItem* head) { return reinterpret_cast<uintptr_t>(head); }

    // Position of slot `s` in the dense array: where it is, or where it would go.
    size_t Position(uint8_t s) const;
    bool Has(uint8_t s) const { return (map_[s >> 6] >> (s & 63)) & 1u; }
    uintptr_t& At(size_t position) { return slots_[position]; }
    uintptr_t At(size_t position) const { return slots_[position]; }
    void Put(uint8_t s, size_t position, uintptr_t value);
    void Erase(uint8_t s, size_t position);

private:
    friend class THashTrie;
    uint8_t depth_;
    uint64_t map_[4] = {0, 0, 0, 0};
    std::vector<uintptr_t> slots_;
};

template <class F>
void THashTrie::Walk(F&& f) const {
    if (root_) WalkNode(root_.get(), f);
}

template <class F>
void THashTrie::WalkNode(const TTreeItem* node, F& f) {
    for (uintptr_t slot : node->slots_) {
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

}  // namespace quarvel
