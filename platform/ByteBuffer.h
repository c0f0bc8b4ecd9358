// Little-endian bytes: the one place where the system turns 16-, 32- and 64-bit integers and doubles
// into bytes and back. Every record body, container structure and archive header is written here.
//
// LoadU16 ... StoreF64 read and write a value at a place in memory (for bodies edited in place);
// TByteBuffer builds bytes in order, with a position that can be moved back so that earlier bytes
// are overwritten in place.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// A growable buffer written at its position. Writing at the end appends; writing after a Seek back
// overwrites the bytes there (and extends the buffer when it runs past the end). Seeking past the
// end leaves a gap of zero bytes once something is written there.
class TByteBuffer {
public:
    TByteBuffer() = default;
    explicit TByteBuffer(size_t capacity) { storage_.resize(capacity); }

    void PutU8(uint8_t v) { *Room(1) = v; }
    void PutU16(uint16_t v) { StoreU16(Room(2), v); }
    void PutU32(uint32_t v) { StoreU32(Room(4), v); }
    void PutU64(uint64_t v) { StoreU64(Room(8), v); }
    void PutF64(double v) { StoreF64(Room(8), v); }
    void PutBytes(const void* data, size_t count) {
        if (count) std::memcpy(Room(count), data, count);
    }
    // `count` copies of `value`.
    void PutFill(size_t count, uint8_t value = 0) {
        if (count) std::memset(Room(count), value, count);
    }
    // UTF-16 code units, two bytes each.
    void PutUtf16(const char16_t* text, size_t count) {
        uint8_t* p = Room(2 * count);
        for (size_t i = 0; i < count; ++i) StoreU16(p + 2 * i, static_cast<uint16_t>(text[i]));
    }

    // Overwrites bytes written before (or writes them, past the end); the position stays.
    void PatchU16(size_t offset, uint16_t v) { Patch(offset, [&] { PutU16(v); }); }
    void PatchU32(size_t offset, uint32_t v) { Patch(offset, [&] { PutU32(v); }); }

    size_t Pos() const { return pos_; }
    void Seek(size_t position) { pos_ = position; }
    // Seek to the end.
    void SeekEnd() { pos_ = size_; }
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    const uint8_t* Data() const { return storage_.data(); }
    uint8_t* Data() { return storage_.data(); }
    // Empties the buffer (the memory stays for the next use).
    void Clear() { pos_ = size_ = 0; }
    // The bytes as a vector (a copy).
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(Data(), Data() + size_); }

private:
    // `count` writable bytes at the position, which moves past them.
    uint8_t* Room(size_t count) {
        const size_t end = pos_ + count;
        if (end > storage_.size()) Grow(end);
        if (pos_ > size_) std::memset(storage_.data() + size_, 0, pos_ - size_);
        uint8_t* p = storage_.data() + pos_;
        pos_ = end;
        if (end > size_) size_ = end;
        return p;
    }
    template <class TPut>
    void Patch(size_t offset, TPut&& put) {
        const size_t pos = pos_;
        pos_ = offset;
        put();
        pos_ = pos;
    }
    void Grow(size_t needed) { storage_.resize(std::max(needed, 2 * storage_.size() + 64)); }

    std::vector<uint8_t> storage_;  // its size is the capacity; bytes from size_ on are not part of the buffer
    size_t pos_ = 0;
    size_t size_ = 0;
};

}  // namespace quarvel
