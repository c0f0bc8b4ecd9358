// The shared string table: one workbook-wide pool of the texts of all text cells. Each distinct text
// is one reference-counted entry, found by the CRC-32 of its stored bytes in the hash trie. Writing
// the table (SST with its CONTINUE records, then EXTSST) gives every entry its SST index, which the
// LABELSST records of the sheets, written afterwards, read from the entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "biff/EntryPool.h"
#include "biff/GlobalsRecords.h"
#include "biff/XLSHashTrie.h"
#include "platform/WideString.h"

namespace quarvel {

class TXFonts;
class TXLSStream;

// One distinct string. Created by this system only as type 0 (every character at most U+00FF, one
// byte each) or type 1 (UTF-16 code units, little-endian); the characters follow the entry in the
// same allocation.
class TSSTEntry : public THashTrieItem {
public:
    static constexpr uint32_t NoIndex = 0xFFFF;

    // SST index: NoIndex until the table is written, then the position in the written table.
    uint32_t Index() const { return index_; }
    int32_t RefCount() const { return refCount_; }
    uint16_t CharCount() const { return charCount_; }
    // Bit 0: UTF-16 characters; bit 2: phonetic block; bit 3: formatting runs.
    uint8_t Options() const { return options_; }
    bool IsWide() const { return options_ & 1u; }
    const uint8_t* Chars() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    size_t CharBytes() const { return size_t(charCount_) << (options_ & 1u); }

private:
    friend class TSST2;
    TSSTEntry(uint16_t charCount, uint8_t options) : charCount_(charCount), options_(options) {}
    uint8_t* MutableChars() { return reinterpret_cast<uint8_t*>(this + 1); }

    uint32_t index_ = NoIndex;
    int32_t refCount_ = 1;
    uint16_t charCount_;
    uint8_t options_;
};

// The trie of string entries: hashes and compares an entry's key, the bytes its type defines.
class TSSTHashTrie : public THashTrie {
protected:
    uint32_t HashOf(const THashTrieItem& item) const override;
    bool ItemsEqual(const THashTrieItem& a, const THashTrieItem& b) const override;
    virtual size_t KeyLength(const TSSTEntry& entry) const = 0;
    virtual const uint8_t* KeyStart(const TSSTEntry& entry) const = 0;
};

class TSST2 : public TSSTHashTrie {
public:
    static constexpr int32_t DefaultMaxRecordSize = 8224;

    // `fonts` is the workbook's font list (not owned); it is needed only for rich strings, which this
    // system never creates, but WriteSST refuses to run without it.
    explicit TSST2(TXFonts* fonts = nullptr);
    ~TSST2() override;

    void SetFonts(TXFonts* fonts) { fonts_ = fonts; }
    TXFonts* Fonts() const { return fonts_; }
    // Largest record body; the workbook sets it from its version.
    void SetMaxRecordSize(int32_t size) { maxRecordSize_ = size; }
    int32_t MaxRecordSize() const { return maxRecordSize_; }

    // Adds one reference to the text: the existing equal entry, or a new one (type 1 when any
    // character is above U+00FF, else type 0). A text longer than 65,535 units cannot be stored (its
    // character count is 16-bit) and is refused with an error.
    TSSTEntry* AddString(const WideString& text);
    // One more reference to an entry already in the table (what AddString of its text would do).
    void AddRef(TSSTEntry* entry);
    // Drops one reference; the entry is removed and freed with its last reference.
    void ReleaseString(TSSTEntry* entry);
    // The text of an entry.
    static WideString GetString(const TSSTEntry* entry);
    // Frees every entry; the total count becomes 0.
    void Clear();

    // References held (the SST record's total count).
    uint32_t TotalCount() const { return totalCount_; }
    // Distinct entries (the SST record's unique count).
    size_t UniqueCount() const { return Count(); }

    // Writes SST, its CONTINUE records and EXTSST, and gives every entry its index.
    void WriteSST(TXLSStream& stream);
    // Gives every entry its index in the order WriteSST writes them and calls f(entry) for each in
    // that order, for writers of other formats; returns the number of entries.
    template <class F>
    uint32_t NumberEntries(F&& f) {
        uint32_t index = 0;
        Walk([&](THashTrieItem* item) {
            auto* entry = static_cast<TSSTEntry*>(item);
            entry->index_ = index++;
            f(static_cast<const TSSTEntry&>(*entry));
        });
        return index;
    }

protected:
    void FreeItem(THashTrieItem* item) override;
    size_t KeyLength(const TSSTEntry& entry) const override;
    const uint8_t* KeyStart(const TSSTEntry& entry) const override;

private:
    void StartContinue(TXLSStream& stream);
    void WriteChars(TXLSStream& stream, const TSSTEntry& entry);
    void* AllocateEntry(size_t size);
    // Notes `entry` (of hash `hash`) as the one last found or added in its slot of recent_.
    void Remember(uint32_t hash, TSSTEntry* entry);

    TXFonts* fonts_;
    int32_t maxRecordSize_ = DefaultMaxRecordSize;
    uint32_t totalCount_ = 0;
    std::vector<TExtSSTBucket> buckets_;  // gathered while writing, emptied at the end
    std::vector<uint8_t> scratch_;  // the key of the text being added, built here before it is looked up
    TEntryPool entries_;  // where the entries live (builds with a sanitizer take them from the heap)
    // In front of the trie: for each of a power of two of slots (the low bits of the hash), the entry
    // last found or added there, with its hash. A text met again is mostly found here with one look
    // instead of a walk down the trie; the entry found is the trie's own, so nothing else changes.
    // Freed entries leave it at once. Empty until the first text; grows with the table.
    struct TRecentSlot {
        uint32_t hash = 0;
        TSSTEntry* entry = nullptr;
    };
    std::vector<TRecentSlot> recent_;
    // While writing.
    int32_t lengthPos_ = 0;
    int32_t recordStart_ = 0;
    int32_t free_ = 0;
};

}  // namespace quarvel
