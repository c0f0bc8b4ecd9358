#include "biff/XLSHashTrie.h"

#include <array>
#include <bit>

namespace quarvel {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t RotateKey(uint32_t hash, unsigned depth) { return std::rotr(hash, static_cast<int>(8 * (depth & 3))); }

}  // namespace

uint32_t HashCRC32(const uint8_t* data, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

// -------------------------------------------------------------------------------------------------
// TTreeItem

size_t TTreeItem::Position(uint8_t s) const {
    const unsigned word = s >> 6;
    size_t n = 0;
    for (unsigned w = 0; w < word; ++w) n += static_cast<size_t>(std::popcount(map_[w]));
    const uint64_t below = (s & 63) ? (map_[word] & ((uint64_t(1) << (s & 63)) - 1)) : 0;
    return n + static_cast<size_t>(std::popcount(below));
}

void TTreeItem::Put(uint8_t s, size_t position, uintptr_t value) {
    map_[s >> 6] |= uint64_t(1) << (s & 63);
    slots_.insert(slots_.begin() + static_cast<std::ptrdiff_t>(position), value);
}

void TTreeItem::Erase(uint8_t s, size_t position) {
    map_[s >> 6] &= ~(uint64_t(1) << (s & 63));
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(position));
}

// -------------------------------------------------------------------------------------------------
// THashTrie

THashTrie::THashTrie() = default;

THashTrie::~THashTrie() {
    if (root_) FreeNodes(root_.release(), false);
}

THashTrieItem* THashTrie::Find(const THashTrieItem& probe) const {
    const TTreeItem* node = root_.get();
    while (node) {
        const uint8_t s = static_cast<uint8_t>(RotateKey(probe.TrieHash, node->Depth()));
        if (!node->Has(s)) return nullptr;
        const uintptr_t slot = node->At(node->Position(s));
        if (TTreeItem::IsChild(slot)) {
            node = TTreeItem::Child(slot);
            continue;
        }
        for (THashTrieItem* e = TTreeItem::Chain(slot); e; e = e->TrieNext)
            if (e->TrieHash == probe.TrieHash && ItemsEqual(*e, probe)) return e;
        return nullptr;
    }
    return nullptr;
}

THashTrieItem* THashTrie::Insert(THashTrieItem* item) {
    if (!root_) root_ = std::make_unique<TTreeItem>(0);
    THashTrieItem* result = InsertAt(root_.get(), item->TrieHash, item);
    if (result == item) ++count_;
    return result;
}

THashTrieItem* THashTrie::InsertAt(TTreeItem* node, uint32_t key, THashTrieItem* item) {
    for (;;) {
        const uint8_t s = static_cast<uint8_t>(key);
        const size_t position = node->Position(s);
        if (!node->Has(s)) {
            item->TrieNext = nullptr;
            node->Put(s, position, TTreeItem::FromChain(item));
            return item;
        }
        const uintptr_t slot = node->At(position);
        if (TTreeItem::IsChild(slot)) {
            node = TTreeItem::Child(slot);
            key = std::rotr(key, 8);
            continue;
        }
        THashTrieItem* head = TTreeItem::Chain(slot);
        int length = 0;
        for (THashTrieItem* e = head; e; e = e->TrieNext, ++length)
            if (e->TrieHash == item->TrieHash && ItemsEqual(*e, *item)) return e;
        if (length < MaxChain || node->Depth() >= MaxSplitDepth) {
            item->TrieNext = head;
            node->At(position) = TTreeItem::FromChain(item);
            return item;
        }
        // Split: the chained items, head first, then the new one, go one hash byte deeper.
        auto child = std::make_unique<TTreeItem>(static_cast<uint8_t>(node->Depth() + 1));
        for (THashTrieItem* e = head; e;) {
            THashTrieItem* next = e->TrieNext;
            InsertAt(child.get(), RotateKey(e->TrieHash, child->Depth()), e);
            e = next;
        }
        TTreeItem* c = child.release();
        node->At(position) = TTreeItem::FromChild(c);
        node = c;
        key = std::rotr(key, 8);
    }
}

void THashTrie::Remove(THashTrieItem* item) {
    if (!root_ || !item) return;
    // The path from the root: node and slot position at every level.
    struct TStep {
        TTreeItem* node;
        uint8_t slot;
        size_t position;
    };
    TStep path[8];
    int depth = 0;
    TTreeItem* node = root_.get();
    for (;;) {
        const uint8_t s = static_cast<uint8_t>(RotateKey(item->TrieHash, node->Depth()));
        if (!node->Has(s)) return;
        const size_t position = node->Position(s);
        path[depth++] = {node, s, position};
        const uintptr_t slot = node->At(position);
        if (!TTreeItem::IsChild(slot)) break;
        node = TTreeItem::Child(slot);
    }
    TStep& last = path[depth - 1];
    THashTrieItem* head = TTreeItem::Chain(last.node->At(last.position));
    THashTrieItem** link = &head;
    while (*link && *link != item) link = &(*link)->TrieNext;
    if (!*link) return;  // not in the trie
    *link = item->TrieNext;
    item->TrieNext = nullptr;
    --count_;
    if (head) {
        last.node->At(last.position) = TTreeItem::FromChain(head);
    } else {
        // The chain is gone; so is every node that is left without used slots (the root stays).
        last.node->Erase(last.slot, last.position);
        for (int i = depth - 1; i > 0 && path[i].node->Used() == 0; --i) {
            delete path[i].node;
            path[i - 1].node->Erase(path[i - 1].slot, path[i - 1].position);
        }
    }
    FreeItem(item);
}

void THashTrie::Clear() {
    if (root_) FreeNodes(root_.release(), true);
    count_ = 0;
}

void THashTrie::FreeNodes(TTreeItem* node, bool freeItems) {
    for (uintptr_t slot : node->slots_) {
        if (TTreeItem::IsChild(slot)) {
            FreeNodes(TTreeItem::Child(slot), freeItems);
        } else if (freeItems) {
            for (THashTrieItem* e = TTreeItem::Chain(slot); e;) {
                THashTrieItem* next = e->TrieNext;
                FreeItem(e);
                e = next;
            }
        }
    }
    delete node;
}

}  // namespace quarvel
