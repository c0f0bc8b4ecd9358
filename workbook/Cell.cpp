#include "workbook/Cell.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "biff/SST.h"
#include "platform/Memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUARVEL_CELL_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_CELL_POOL 0
#endif
#endif
#ifndef QUARVEL_CELL_POOL
#define QUARVEL_CELL_POOL 1
#endif

namespace quarvel {

#if QUARVEL_CELL_POOL
namespace {

// The cell pool: blocks of 4 MiB, aligned to their size so that a slot finds its block by
// rounding its address down. A block starts with its header and hands out its slots first in
// address order, then the ones given back (each block keeps its own list of free slots). A block
// whose last cell is gone goes back to the system, unless it is the block being carved.
// One lock guards the pool: conversions run on one thread, so it is never contended.
class TCellPool {
public:
    static constexpr size_t SlotSize = 32;
    static constexpr size_t BlockSize = size_t(4) << 20;

    void* Allocate() {
        TLock lock(busy_);
        if (TBlock* block = partial_) {
            TFreeSlot* slot = block->free;
            block->free = slot->next;
            ++block->live;
            if (!block->free) Unlink(block);
            return slot;
        }
        if (!current_ || current_->carved == SlotsPerBlock) current_ = NewBlock();
        TBlock* block = current_;
        void* slot = reinterpret_cast<char*>(block) + HeaderSize + block->carved * SlotSize;
        ++block->carved;
        ++block->live;
        return slot;
    }

    void Free(void* p) noexcept {
        TLock lock(busy_);
        auto* block = reinterpret_cast<TBlock*>(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t(BlockSize) - 1));
        auto* slot = static_cast<TFreeSlot*>(p);
        slot->next = block->free;
        if (!block->free) Link(block);
        block->free = slot;
        if (--block->live == 0 && block != current_) {
            Unlink(block);
            UnmapAlignedBlock(block, BlockSize);
        }
    }

private:
    struct TFreeSlot {
        TFreeSlot* next;
    };
    struct TBlock {
        TBlock* prev;
        TBlock* next;
        TFreeSlot* free;  // slots given back, most recent first
        size_t carved;    // slots handed out in address order so far
        size_t live;      // cells in the block
    };
    static constexpr size_t HeaderSize = 64;
    static_assert(sizeof(TBlock) <= HeaderSize);
    static constexpr size_t SlotsPerBlock = (BlockSize - HeaderSize) / SlotSize;

    class TLock {
    public:
        explicit TLock(std::atomic_flag& flag) : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~TLock() { flag_.clear(std::memory_order_release); }
        TLock(const TLock&) = delete;
        TLock& operator=(const TLock&) = delete;

    private:
        std::atomic_flag& flag_;
    };

    static TBlock* NewBlock() {
        void* memory = MapAlignedBlock(BlockSize);
        return new (memory) TBlock{nullptr, nullptr, nullptr, 0, 0};
    }

    // The blocks with free slots, a doubly linked list.
    void Link(TBlock* block) {
        block->prev = nullptr;
        block->next = partial_;
        if (partial_) partial_->prev = block;
        partial_ = block;
    }
    void Unlink(TBlock* block) {
        if (block->prev) block->prev->next = block->next;
        else partial_ = block->next;
        if (block->next) block->next->prev = block->prev;
        block->prev = block->next = nullptr;
    }

    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    TBlock* current_ = nullptr;
    TBlock* partial_ = nullptr;
};

// Never destroyed: cells of objects destroyed at exit may still give their slots back.
TCellPool& Pool() {
    static TCellPool* pool = new TCellPool();
    return *pool;
}

}  // namespace

void* TCell::operator new(size_t size) {
    if (size > TCellPool::SlotSize) return ::operator new(size);
    return Pool().Allocate();
}

void TCell::operator delete(void* cell, size_t size) noexcept {
    if (!cell) return;
    if (size > TCellPool::SlotSize) {
        ::operator delete(cell);
        return;
    }
    Pool().Free(cell);
}
#else
void* TCell::operator new(size_t size) { return ::operator new(size); }
void TCell::operator delete(void* cell, size_t) noexcept { ::operator delete(cell); }
#endif

void TCell::AddFormatReference() const {
    TCellFormat& format = Format();
    format.SetRefCount(format.RefCount() + 1);
}

// Each copy is built first and then given its references, so a failed allocation takes none.

std::unique_ptr<TCell> TBlankCell::MakeCopy(TSST2&) const {
    auto copy = std::make_unique<TBlankCell>(Formats(), Col(), Row(), static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    return copy;
}

std::unique_ptr<TCell> TFloatCell::MakeCopy(TSST2&) const {
    auto copy =
        std::make_unique<TFloatCell>(Formats(), Col(), Row(), value_, static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    return copy;
}

std::unique_ptr<TCell> TStringCell::MakeCopy(TSST2& strings) const {
    auto copy =
        std::make_unique<TStringCell>(Formats(), Col(), Row(), entry_, static_cast<uint16_t>(FormatIndex()));
    AddFormatReference();
    strings.AddRef(entry_);
    return copy;
}

}  // namespace quarvel
