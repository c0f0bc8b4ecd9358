#include "biff/XLSHashTrie.h"

#include <array>
#include <cstring>
#include <new>

#include "platform/ByteBuffer.h"

namespace quarvel {

namespace {

// Tables for eight bytes at a time ("slicing by 8"): table k gives the CRC contribution of a byte
// followed by k zero bytes. Table 0 is the classic byte-at-a-time table.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeCrcTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i) tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr auto kCrcTables = MakeCrcTables();

}  // namespace

uint32_t HashCRC32(const uint8_t* data, size_t count) {
    const auto& t = kCrcTables;
    uint32_t crc = 0xFFFFFFFFu;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint32_t one = LoadU32(data + i) ^ crc;
        const uint32_t two = LoadU32(data + i + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
              t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    for (; i < count; ++i) crc = t[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

// -------------------------------------------------------------------------------------------------
// TTreeItem

TTreeItem* TTreeItem::Create(uint8_t depth, uint16_t capacity) {
    void* block = ::operator new(sizeof(TTreeItem) + sizeof(uintptr_t) * capacity);
    auto* node = static_cast<TTreeItem*>(block);
    node->depth = depth;
    node->used = 0;
    node->capacity = capacity;
    std::memset(node->map, 0, sizeof node->map);
    std::memset(node->Slots(), 0, sizeof(uintptr_t) * capacity);
    return node;
}

void TTreeItem::Destroy(TTreeItem* node) { ::operator delete(static_cast<void*>(node)); }

TChainBlock* TChainBlock::Create(uint32_t capacity) {
    void* memory = ::operator new(sizeof(TChainBlock) + (sizeof(THashTrieItem*) + sizeof(uint32_t)) * capacity);
    auto* block = static_cast<TChainBlock*>(memory);
    block->count = 0;
    block->capacity = capacity;
    return block;
}

void TChainBlock::Destroy(TChainBlock* block) { ::operator delete(static_cast<void*>(block)); }

// -------------------------------------------------------------------------------------------------
// THashTrie

THashTrie::~THashTrie() {
    if (root_) FreeNodes(TTreeItem::Child(root_), false);
}

THashTrieItem* THashTrie::Find(const THashTrieItem& probe) const {
    if (!root_) return nullptr;
    const TTreeItem* node = TTreeItem::Child(root_);
    uint32_t key = probe.TrieHash;
    for (;;) {
        const uint8_t s = static_cast<uint8_t>(key);
        if (!node->Has(s)) return nullptr;
        const uintptr_t slot = node->Slots()[node->Position(s)];
        if (TTreeItem::IsChild(slot)) {
            node = TTreeItem::Child(slot);
            key = std::rotr(key, 8);
            continue;
        }
        if (TTreeItem::IsBlock(slot)) {
            const TChainBlock* block = TTreeItem::Block(slot);
            for (uint32_t i = 0; i < block->count; ++i)
                if (block->Hashes()[i] == probe.TrieHash && ItemsEqual(*block->Items()[i], probe))
                    return block->Items()[i];
            return nullptr;
        }
        THashTrieItem* single = TTreeItem::Single(slot);
        return single->TrieHash == probe.TrieHash && ItemsEqual(*single, probe) ? single : nullptr;
    }
}

void THashTrie::PutSlot(uintptr_t& holder, uint8_t s, uintptr_t value) {
    TTreeItem* node = TTreeItem::Child(holder);
    if (node->capacity != TTreeItem::FullCapacity && node->used == node->capacity) {
        // Full: twice the room while the slots stay few, else all 256 slots indexed directly.
        const bool toFull = node->capacity >= TTreeItem::MaxDenseCapacity;
        TTreeItem* grown = TTreeItem::Create(node->depth, toFull ? TTreeItem::FullCapacity : node->capacity * 2);
        std::memcpy(grown->map, node->map, sizeof node->map);
        grown->used = node->used;
        if (toFull) {
            size_t dense = 0;
            for (unsigned w = 0; w < 4; ++w)
                for (uint64_t bits = node->map[w]; bits; bits &= bits - 1)
                    grown->Slots()[w * 64 + static_cast<unsigned>(std::countr_zero(bits))] = node->Slots()[dense++];
        } else {
            std::memcpy(grown->Slots(), node->Slots(), sizeof(uintptr_t) * node->used);
        }
        TTreeItem::Destroy(node);
        node = grown;
        holder = TTreeItem::FromChild(node);
    }
    const size_t position = node->Position(s);
    uintptr_t* slots = node->Slots();
    if (node->capacity != TTreeItem::FullCapacity)
        std::memmove(slots + position + 1, slots + position, sizeof(uintptr_t) * (node->used - position));
    slots[position] = value;
    node->map[s >> 6] |= uint64_t(1) << (s & 63);
    ++node->used;
}

void THashTrie::EraseSlot(TTreeItem* node, uint8_t s) {
    const size_t position = node->Position(s);
    uintptr_t* slots = node->Slots();
    if (node->capacity == TTreeItem::FullCapacity) {
        slots[position] = 0;
    } else {
        std::memmove(slots + position, slots + position + 1, sizeof(uintptr_t) * (node->used - position - 1));
    }
    node->map[s >> 6] &= ~(uint64_t(1) << (s & 63));
    --node->used;
}

void THashTrie::PushFront(uintptr_t& slot, THashTrieItem* item) {
    if (!TTreeItem::IsBlock(slot)) {
        TChainBlock* block = TChainBlock::Create(2);
        THashTrieItem* old = TTreeItem::Single(slot);
        block->Items()[0] = item;
        block->Hashes()[0] = item->TrieHash;
        block->Items()[1] = old;
        block->Hashes()[1] = old->TrieHash;
        block->count = 2;
        slot = TTreeItem::FromBlock(block);
        return;
    }
    TChainBlock* block = TTreeItem::Block(slot);
    if (block->count == block->capacity) {
        TChainBlock* grown = TChainBlock::Create(block->capacity * 2);
        std::memcpy(grown->Items() + 1, block->Items(), sizeof(THashTrieItem*) * block->count);
        std::memcpy(grown->Hashes() + 1, block->Hashes(), sizeof(uint32_t) * block->count);
        grown->count = block->count;
        TChainBlock::Destroy(block);
        block = grown;
        slot = TTreeItem::FromBlock(block);
    } else {
        std::memmove(block->Items() + 1, block->Items(), sizeof(THashTrieItem*) * block->count);
        std::memmove(block->Hashes() + 1, block->Hashes(), sizeof(uint32_t) * block->count);
    }
    block->Items()[0] = item;
    block->Hashes()[0] = item->TrieHash;
    ++block->count;
}

void THashTrie::Split(uintptr_t& slot, uint8_t depth) {
    uintptr_t child = TTreeItem::FromChild(TTreeItem::Create(static_cast<uint8_t>(depth + 1), MaxChain));
    const int shift = 8 * ((depth + 1) & 3);
    // Head first, each to the head of its new chain; at most 8 items, so no chain splits again here.
    auto move = [&](THashTrieItem* e) {
        const uint8_t s = static_cast<uint8_t>(std::rotr(e->TrieHash, shift));
        TTreeItem* node = TTreeItem::Child(child);
        if (node->Has(s))
            PushFront(node->Slots()[node->Position(s)], e);
        else
            PutSlot(child, s, TTreeItem::FromSingle(e));
    };
    if (TTreeItem::IsBlock(slot)) {
        TChainBlock* block = TTreeItem::Block(slot);
        for (uint32_t i = 0; i < block->count; ++i) move(block->Items()[i]);
        TChainBlock::Destroy(block);
    } else {
        move(TTreeItem::Single(slot));
    }
    slot = child;
}

void THashTrie::Remove(THashTrieItem* item) {
    if (!root_ || !item) return;
    // The path from the root: where each node is held, and the slot taken in it.
    uintptr_t* holders[MaxSplitDepth + 2];
    uint8_t slotsTaken[MaxSplitDepth + 2];
    int depth = 0;
    holders[0] = &root_;
    uint32_t key = item->TrieHash;
    for (;;) {
        TTreeItem* node = TTreeItem::Child(*holders[depth]);
        const uint8_t s = static_cast<uint8_t>(key);
        if (!node->Has(s)) return;  // not in the trie
        slotsTaken[depth] = s;
        uintptr_t& slot = node->Slots()[node->Position(s)];
        if (!TTreeItem::IsChild(slot)) break;
        holders[++depth] = &slot;
        key = std::rotr(key, 8);
    }
    TTreeItem* node = TTreeItem::Child(*holders[depth]);
    uintptr_t& slot = node->Slots()[node->Position(slotsTaken[depth])];
    bool emptied = false;
    if (TTreeItem::IsBlock(slot)) {
        TChainBlock* block = TTreeItem::Block(slot);
        uint32_t i = 0;
        while (i < block->count && block->Items()[i] != item) ++i;
        if (i == block->count) return;  // not in the trie
        std::memmove(block->Items() + i, block->Items() + i + 1, sizeof(THashTrieItem*) * (block->count - i - 1));
        std::memmove(block->Hashes() + i, block->Hashes() + i + 1, sizeof(uint32_t) * (block->count - i - 1));
        if (--block->count == 1) {
            slot = TTreeItem::FromSingle(block->Items()[0]);
            TChainBlock::Destroy(block);
        }
    } else {
        if (TTreeItem::Single(slot) != item) return;  // not in the trie
        emptied = true;
    }
    --count_;
    if (emptied) {
        // The chain is gone; so is every node left without used slots (the root stays).
        EraseSlot(node, slotsTaken[depth]);
        while (depth > 0 && node->used == 0) {
            TTreeItem::Destroy(node);
            --depth;
            node = TTreeItem::Child(*holders[depth]);
            EraseSlot(node, slotsTaken[depth]);
        }
    }
    FreeItem(item);
}

void THashTrie::FreeNodesOnly() {
    if (root_) FreeNodes(TTreeItem::Child(root_), false);
    root_ = 0;
    count_ = 0;
}

void THashTrie::Clear() {
    if (root_) FreeNodes(TTreeItem::Child(root_), true);
    root_ = 0;
    count_ = 0;
}

void THashTrie::FreeNodes(TTreeItem* node, bool freeItems) {
    const uintptr_t* slots = node->Slots();
    size_t dense = 0;
    for (unsigned w = 0; w < 4; ++w) {
        for (uint64_t bits = node->map[w]; bits; bits &= bits - 1) {
            const size_t s = w * 64 + static_cast<size_t>(std::countr_zero(bits));
            const uintptr_t slot = node->capacity == TTreeItem::FullCapacity ? slots[s] : slots[dense++];
            if (TTreeItem::IsChild(slot)) {
                FreeNodes(TTreeItem::Child(slot), freeItems);
            } else if (TTreeItem::IsBlock(slot)) {
                TChainBlock* block = TTreeItem::Block(slot);
                if (freeItems)
                    for (uint32_t i = 0; i < block->count; ++i) FreeItem(block->Items()[i]);
                TChainBlock::Destroy(block);
            } else if (freeItems) {
                FreeItem(TTreeItem::Single(slot));
            }
        }
    }
    TTreeItem::Destroy(node);
}

}  // namespace quarvel
