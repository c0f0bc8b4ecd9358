#include "biff/SST.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "biff/GlobalsRecords.h"
#include "biff/RecordSink.h"
#include "biff/XLSStream.h"
#include "platform/ByteBuffer.h"
#include "platform/Errors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Entries come from the table's own pool; builds with a sanitizer take each from the heap, so that
// its checks see every entry.
#if defined(__SANITIZE_ADDRESS__)
#define QUARVEL_SST_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_SST_POOL 0
#endif
#endif
#ifndef QUARVEL_SST_POOL
#define QUARVEL_SST_POOL 1
#endif

namespace quarvel {

namespace {

// A string's character count, option byte, run count and phonetic size are never split between
// records: with this many free bytes or fewer a new string starts a CONTINUE record.
constexpr int32_t kStringHeaderRoom = 15;

bool IsHighSurrogate(uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

uint16_t UnitAt(const uint8_t* p) { return LoadU16(p); }

// Copies the low bytes of the leading code units that are at most U+00FF into `out`, as long as
// they are; returns how many were copied (n when the whole text is one byte per character).
size_t NarrowLatin1(const char16_t* text, size_t n, uint8_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_srli_epi16(units, 8), zero)) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
    }
#endif
    for (; i < n; ++i) {
        if (text[i] > 0xFF) return i;
        out[i] = static_cast<uint8_t>(text[i]);
    }
    return n;
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// TSSTHashTrie

uint32_t TSSTHashTrie::HashOf(const THashTrieItem& item) const {
    const auto& e = static_cast<const TSSTEntry&>(item);
    return HashCRC32(KeyStart(e), KeyLength(e));
}

bool TSSTHashTrie::ItemsEqual(const THashTrieItem& a, const THashTrieItem& b) const {
    const auto& x = static_cast<const TSSTEntry&>(a);
    const auto& y = static_cast<const TSSTEntry&>(b);
    // The type counts too: the UTF-16 bytes of a text can equal the one-byte characters of another
    // text ("\u6261" and "ab" both have the key bytes 61 62), and those texts must stay apart.
    if (x.Options() != y.Options()) return false;
    const size_t n = KeyLength(x);
    return n == KeyLength(y) && std::memcmp(KeyStart(x), KeyStart(y), n) == 0;
}

// -------------------------------------------------------------------------------------------------
// TSST2

TSST2::TSST2(TXFonts* fonts) : fonts_(fonts) {}

TSST2::~TSST2() { Clear(); }

size_t TSST2::KeyLength(const TSSTEntry& entry) const {
    // Rich and phonetic entries (types 4, 5, 8, 9, 12, 13) come only from reading files and from
    // texts with formatting runs; this system creates neither.
    switch (entry.Options()) {
        case 0: return entry.CharCount();
        case 1: return size_t(entry.CharCount()) * 2;
        default: throw Error("Unknown SST string type.");
    }
}

const uint8_t* TSST2::KeyStart(const TSSTEntry& entry) const {
    switch (entry.Options()) {
        case 0:
        case 1: return entry.Chars();
        default: throw Error("STT: Unhandled string type.");
    }
}

void* TSST2::AllocateEntry(size_t size) {
#if QUARVEL_SST_POOL
    return entries_.Allocate(size);
#else
    return ::operator new(size);
#endif
}

void TSST2::FreeItem(THashTrieItem* item) {
    auto* entry = static_cast<TSSTEntry*>(item);
    if (!recent_.empty()) {
        TRecentSlot& slot = recent_[entry->TrieHash & (recent_.size() - 1)];
        if (slot.entry == entry) slot = TRecentSlot();
    }
    const size_t size = sizeof(TSSTEntry) + entry->CharBytes();
    entry->~TSSTEntry();
#if QUARVEL_SST_POOL
    entries_.Free(entry, size);
#else
    (void)size;
    ::operator delete(static_cast<void*>(entry));
#endif
}

TSSTEntry* TSST2::AddString(const WideString& text) {
    const size_t n = text.size();
    if (n > 0xFFFF)
        throw Error("A text of " + std::to_string(n) +
                    " characters is too long for the shared string table (at most 65535)");
    // The key is built in scratch memory first; only a text not yet present gets an entry.
    // Never empty, so that the key of an empty text is a valid pointer too.
    if (scratch_.size() < 2 * n || scratch_.empty()) scratch_.resize(std::max<size_t>(2 * n, 64));
    uint8_t* key = scratch_.data();
    const bool wide = NarrowLatin1(text.data(), n, key) < n;
    size_t bytes = n;
    if (wide) {
        bytes = 2 * n;
        for (size_t i = 0; i < n; ++i) StoreU16(key + 2 * i, text[i]);
    }
    const uint8_t options = wide ? 1 : 0;
    const uint32_t hash = HashCRC32(key, bytes);
    ++totalCount_;

    if (!recent_.empty()) {
        const TRecentSlot& slot = recent_[hash & (recent_.size() - 1)];
        TSSTEntry* seen = slot.entry;
        if (seen && slot.hash == hash && seen->options_ == options && seen->charCount_ == n &&
            std::memcmp(seen->Chars(), key, bytes) == 0) {
            ++seen->refCount_;
            return seen;
        }
    }

    bool added = false;
    auto* entry = static_cast<TSSTEntry*>(FindOrInsertHashed(
        hash,
        [&](const THashTrieItem& item) {
            const auto& e = static_cast<const TSSTEntry&>(item);
            return e.options_ == options && e.charCount_ == n && std::memcmp(e.Chars(), key, bytes) == 0;
        },
        [&]() -> THashTrieItem* {
            auto* made = new (AllocateEntry(sizeof(TSSTEntry) + bytes)) TSSTEntry(static_cast<uint16_t>(n), options);
            std::memcpy(made->MutableChars(), key, bytes);
            added = true;
            return made;
        }));
    if (!added) ++entry->refCount_;
    Remember(hash, entry);
    return entry;
}

void TSST2::Remember(uint32_t hash, TSSTEntry* entry) {
    constexpr size_t kFirstSlots = size_t(1) << 12, kMostSlots = size_t(1) << 16;
    if (recent_.size() < kMostSlots && Count() > recent_.size()) {
        // Grown empty: the entries come back into it as they are met.
        recent_.assign(std::max(kFirstSlots, recent_.size() * 4), TRecentSlot());
    }
    recent_[hash & (recent_.size() - 1)] = {hash, entry};
}

void TSST2::AddRef(TSSTEntry* entry) {
    if (!entry) return;
    ++entry->refCount_;
    ++totalCount_;
}

void TSST2::ReleaseString(TSSTEntry* entry) {
    if (!entry) return;
    --totalCount_;
    if (--entry->refCount_ <= 0) Remove(entry);
}

WideString TSST2::GetString(const TSSTEntry* entry) {
    if (!entry) return WideString();
    const uint8_t* p = entry->Chars();
    const size_t n = entry->CharCount();
    WideString text(n, u'\0');
    if (entry->IsWide()) {
        for (size_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(UnitAt(p + 2 * i));
    } else {
        for (size_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(p[i]);
    }
    return text;
}

void TSST2::Clear() {
    totalCount_ = 0;
    recent_.clear();
#if QUARVEL_SST_POOL
    // Every entry lives in the pool: the pool gives them back all at once.
    FreeNodesOnly();
    entries_.Clear();
#else
    THashTrie::Clear();
#endif
    buckets_.clear();
}

// -------------------------------------------------------------------------------------------------
// Writing

void TSST2::StartContinue(TXLSStream& stream) {
    stream.Seek(lengthPos_, TXLSStream::soFromBeginning);
    stream.WriteWord(static_cast<uint16_t>(maxRecordSize_ - free_));
    recordStart_ = stream.Seek(0, TXLSStream::soFromEnd);
    stream.WriteHeader(ridCONTINUE, 0);
    lengthPos_ = recordStart_ + 2;
    free_ = maxRecordSize_;
}

void TSST2::WriteChars(TXLSStream& stream, const TSSTEntry& entry) {
    const uint8_t* p = entry.Chars();
    int32_t remaining = static_cast<int32_t>(entry.CharBytes());
    const bool wide = entry.IsWide();
    for (;;) {
        if (remaining <= free_) {
            stream.WriteDirect(p, remaining);
            free_ -= remaining;
            return;
        }
        int32_t room = free_;
        if (wide) {
            // No character is cut: with an odd number of free bytes one byte stays unused. Nor is a
            // surrogate pair: when the record would end between its halves, it ends one unit earlier
            // and the pair goes whole into the next record.
            room &= ~1;
            if (room >= 2 && IsHighSurrogate(UnitAt(p + room - 2)) && IsLowSurrogate(UnitAt(p + room)))
                room -= 2;
        }
        stream.WriteDirect(p, room);
        free_ -= room;
        p += room;
        remaining -= room;
        // The record's length is what was written: the maximum, or less by the bytes left unused.
        StartContinue(stream);
        stream.WriteByte(wide ? 0x01 : 0x00);  // the option byte again, reduced to the UTF-16 flag
        free_ -= 1;
    }
}

void TSST2::WriteSST(TXLSStream& stream) {
    if (!fonts_) throw Error("Can not write SST when FFonts = Nil");
    const size_t entries = Count();
    const uint16_t bucketSize = static_cast<uint16_t>(std::max<size_t>(8, entries / 1027 + 1));
    buckets_.clear();

    free_ = maxRecordSize_;
    recordStart_ = stream.Pos();
    stream.WriteHeader(ridSST, 0);
    lengthPos_ = recordStart_ + 2;
    const int32_t bodyStart = stream.Pos();
    stream.WriteDWord(totalCount_);
    stream.WriteDWord(totalCount_);  // unique count, patched below
    free_ -= static_cast<int32_t>(TSSTOffsets::Strings);

    uint32_t index = 0;
    Walk([&](THashTrieItem* item) {
        auto* entry = static_cast<TSSTEntry*>(item);
        if (index % bucketSize == 0) {
            // Taken before the room check: when the string then moves into a CONTINUE record, the
            // bucket points at that record's header and its offset counts to the end of the previous one.
            const int32_t pos = stream.Pos();
            buckets_.push_back({static_cast<uint32_t>(pos), static_cast<uint16_t>(pos - recordStart_)});
        }
        entry->index_ = index;
        if (entry->Options() > 1) {
            char message[64];
            std::snprintf(message, sizeof message, "STT: Unhandled string type in Write (%.2X) # %u",
                          entry->Options(), index);
            throw Error(message);
        }
        if (free_ <= kStringHeaderRoom) StartContinue(stream);
        uint8_t header[3];  // character count, option byte
        StoreU16(header, entry->CharCount());
        header[2] = entry->Options();
        stream.WriteDirect(header, 3);
        free_ -= 3;
        WriteChars(stream, *entry);
        ++index;
    });

    stream.Seek(lengthPos_, TXLSStream::soFromBeginning);
    stream.WriteWord(static_cast<uint16_t>(maxRecordSize_ - free_));
    stream.Seek(bodyStart + static_cast<int32_t>(TSSTOffsets::UniqueCount), TXLSStream::soFromBeginning);
    stream.WriteDWord(index);
    stream.Seek(0, TXLSStream::soFromEnd);

    // At most 1027 buckets: the record always fits.
    TRecordWriter(stream).Write(ridEXTSST, ExtSSTSize(buckets_.size()), PutExtSST, bucketSize, buckets_.data(),
                                buckets_.size());
    buckets_.clear();
}

}  // namespace quarvel
