// Memory for many small blocks of varying size that mostly live as long as their owner: the
// string table's entries. Blocks are carved one after another out of large chunks; a block given
// back goes onto a free list of its size class and is handed out again for the next block of that
// class. Blocks larger than MaxPooledSize come from the heap one by one (and go back to it when
// given back). Clear gives everything back at once, without looking at the blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quarvel {

class TEntryPool {
public:
    static constexpr size_t Alignment = 16;
    // Largest block carved from a chunk; larger ones are heap blocks of their own.
    static constexpr size_t MaxPooledSize = 1024;

    TEntryPool() = default;
    TEntryPool(const TEntryPool&) = delete;
    TEntryPool& operator=(const TEntryPool&) = delete;
    ~TEntryPool() { Clear(); }

    // A block of at least `size` bytes, aligned to Alignment. Throws std::bad_alloc.
    void* Allocate(size_t size);
    // Gives back a block of this pool; `size` is the size it was allocated with.
    void Free(void* block, size_t size) noexcept;
    // Gives back every block and every chunk.
    void Clear() noexcept;

    // Bytes held from the system: chunks and heap blocks.
    size_t BytesReserved() const { return reserved_; }

private:
    static constexpr size_t ClassCount = MaxPooledSize / Alignment;
    static constexpr size_t FirstChunkSize = size_t(64) << 10;
    static constexpr size_t LastChunkSize = size_t(1) << 20;

    struct TFree {
        TFree* next;
    };
    // Heads chunks and heap blocks alike, which are kept in two lists.
    struct alignas(Alignment) THeader {
        THeader* prev;
        THeader* next;
        size_t size;  // bytes after the header
    };

    static size_t ClassOf(size_t size) { return (size + Alignment - 1) / Alignment; }  // 1..ClassCount
    void* Carve(size_t bytes);
    THeader* NewBlock(size_t size, THeader*& list);
    static void Unlink(THeader* block, THeader*& list) noexcept;

    std::array<TFree*, ClassCount + 1> free_{};
    THeader* chunks_ = nullptr;  // newest first; the newest is being carved
    THeader* large_ = nullptr;
    char* next_ = nullptr;  // carving position in the newest chunk
    char* end_ = nullptr;
    size_t nextChunkSize_ = FirstChunkSize;
    size_t reserved_ = 0;
};

}  // namespace quarvel
