// Little-endian bytes: the one place where the system turns 16-, 32- and 64-bit integers and doubles
// into bytes and back. Every record body, container structure and archive header is written here.
//
// LoadU16 ... StoreF64 read and write a value at a place in memory (for bodies edited in place).
// TLittleEndianPuts gives a writer the Put operations, each writing at the writer's position and
// moving it on; two writers have them:
// - TByteBuffer owns growing memory, and its position can be moved back so that earlier bytes are
//   overwritten in place;
// - TByteSpan writes into memory of a fixed size that its caller owns (a record body, a header),
//   costs nothing to set up and never allocates; what does not fit is dropped and marks the span
//   as overflowed.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace quarvel {

// By explicit shifts, so that the result does not depend on the machine's byte order.
inline void StoreU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreU64(uint8_t* p, uint64_t v) {
    StoreU32(p, static_cast<uint32_t>(v));
    StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}
// IEEE 754 binary64, as its bit pattern.
inline void StoreF64(uint8_t* p, double v) { StoreU64(p, std::bit_cast<uint64_t>(v)); }

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t LoadU64(const uint8_t* p) { return uint64_t(LoadU32(p)) | uint64_t(LoadU32(p + 4)) << 32; }
inline double LoadF64(const uint8_t* p) { return std::bit_cast<double>(LoadU64(p)); }

// The Put operations of a writer whose Room(count) gives `count` writable bytes at its position
// and moves the position past them (or gives null when they cannot be had).
template <class TWriter>
class TLittleEndianPuts {
public:
    void PutU8(uint8_t v) {
        if (uint8_t* p = Room(1)) *p = v;
    }
    void PutU16(uint16_t v) {
        if (uint8_t* p = Room(2)) StoreU16(p, v);
    }
    void PutU32(uint32_t v) {
        if (uint8_t* p = Room(4)) StoreU32(p, v);
    }
    void PutU64(uint64_t v) {
        if (uint8_t* p = Room(8)) StoreU64(p, v);
    }
    void PutF64(double v) {
        if (uint8_t* p = Room(8)) StoreF64(p, v);
    }
    void PutBytes(const void* data, size_t count) {
        if (uint8_t* p = count ? Room(count) : nullptr) std::memcpy(p, data, count);
    }
    // `count` copies of `value`.
    void PutFill(size_t count, uint8_t value = 0) {
        if (uint8_t* p = count ? Room(count) : nullptr) std::memset(p, value, count);
    }
    // UTF-16 code units, two bytes each.
    void PutUtf16(const char16_t* text, size_t count) {
        if (uint8_t* p = count ? Room(2 * count) : nullptr) {
            for (size_t i = 0; i < count; ++i) StoreU16(p + 2 * i, static_cast<uint16_t>(text[i]));
        }
    }

private:
    uint8_t* Room(size_t count) { return static_cast<TWriter*>(this)->Room(count); }
};

// Growing memory written at a position. Writing at the end appends; writing after a Seek back
// overwrites the bytes there (and extends the buffer when it runs past the end). Seeking past the
// end extends the buffer with zero bytes up to the new position.
class TByteBuffer : public TLittleEndianPuts<TByteBuffer> {
public:
    TByteBuffer() = default;
    explicit TByteBuffer(size_t capacity) { Reserve(capacity); }
    TByteBuffer(const TByteBuffer&) = delete;
    TByteBuffer& operator=(const TByteBuffer&) = delete;

    // Overwrites bytes written before (or writes them, past the end); the position stays.
    void PatchU16(size_t offset, uint16_t v) { Patch(offset, [&] { PutU16(v); }); }
    void PatchU32(size_t offset, uint32_t v) { Patch(offset, [&] { PutU32(v); }); }

    size_t Pos() const { return pos_; }
    void Seek(size_t position) {
        if (position > size_) {
            Reserve(position);
            std::memset(data_.get() + size_, 0, position - size_);
            size_ = position;
        }
        pos_ = position;
    }
    void SeekEnd() { pos_ = size_; }
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    const uint8_t* Data() const { return data_.get(); }
    uint8_t* Data() { return data_.get(); }
    // Empties the buffer (the memory stays for the next use).
    void Clear() { pos_ = size_ = 0; }
    // The bytes as a vector (a copy).
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(Data(), Data() + size_); }

private:
    friend class TLittleEndianPuts<TByteBuffer>;

    uint8_t* Room(size_t count) {
        if (count > capacity_ - pos_) [[unlikely]] Reserve(pos_ + count);
        uint8_t* p = data_.get() + pos_;
        pos_ += count;
        if (pos_ > size_) size_ = pos_;
        return p;
    }
    template <class TPut>
    void Patch(size_t offset, TPut&& put) {
        const size_t pos = pos_;
        Seek(offset);
        put();
        pos_ = pos;
    }
    void Reserve(size_t needed) {
        if (needed <= capacity_) return;
        const size_t capacity = std::max(needed, 2 * capacity_ + 64);
        std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
        if (size_) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<uint8_t[]> data_;
    size_t capacity_ = 0;
    size_t pos_ = 0;   // never beyond size_
    size_t size_ = 0;  // never beyond capacity_
};

// Fixed memory of the caller's, written in order from its start. A write that does not fit is
// dropped whole, and the span is overflowed from then on: its size is its capacity plus one, so a
// check of the size against what was expected cannot pass.
class TByteSpan : public TLittleEndianPuts<TByteSpan> {
public:
    TByteSpan(uint8_t* memory, size_t capacity) : begin_(memory), pos_(memory), end_(memory + capacity) {}

    size_t Size() const { return static_cast<size_t>(pos_ - begin_) + (overflowed_ ? 1 : 0); }
    size_t Capacity() const { return static_cast<size_t>(end_ - begin_); }
    bool Overflowed() const { return overflowed_; }
    const uint8_t* Data() const { return begin_; }

private:
    friend class TLittleEndianPuts<TByteSpan>;

    uint8_t* Room(size_t count) {
        if (count > static_cast<size_t>(end_ - pos_)) [[unlikely]] {
            overflowed_ = true;
            pos_ = end_;
            return nullptr;
        }
        uint8_t* p = pos_;
        pos_ += count;
        return p;
    }

    uint8_t* begin_;
    uint8_t* pos_;
    uint8_t* end_;
    bool overflowed_ = false;
};

}  // namespace quarvel
