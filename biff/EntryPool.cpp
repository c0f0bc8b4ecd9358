#include "biff/EntryPool.h"

#include <new>

namespace quarvel {

TEntryPool::THeader* TEntryPool::NewBlock(size_t size, THeader*& list) {
    void* memory = ::operator new(sizeof(THeader) + size, std::align_val_t(Alignment));
    auto* block = new (memory) THeader{nullptr, list, size};
    if (list) list->prev = block;
    list = block;
    reserved_ += sizeof(THeader) + size;
    return block;
}

void TEntryPool::Unlink(THeader* block, THeader*& list) noexcept {
    if (block->prev) {
        block->prev->next = block->next;
    } else {
        list = block->next;
    }
    if (block->next) block->next->prev = block->prev;
}

void* TEntryPool::Carve(size_t bytes) {
    if (static_cast<size_t>(end_ - next_) < bytes) {
        // The rest of the current chunk (less than one block) stays unused.
        THeader* chunk = NewBlock(nextChunkSize_, chunks_);
        if (nextChunkSize_ < LastChunkSize) nextChunkSize_ *= 2;
        next_ = reinterpret_cast<char*>(chunk + 1);
        end_ = next_ + chunk->size;
    }
    void* block = next_;
    next_ += bytes;
    return block;
}

void* TEntryPool::Allocate(size_t size) {
    if (size == 0) size = 1;
    if (size > MaxPooledSize) return NewBlock(size, large_) + 1;
    const size_t sizeClass = ClassOf(size);
    if (TFree* block = free_[sizeClass]) {
        free_[sizeClass] = block->next;
        return block;
    }
    return Carve(sizeClass * Alignment);
}

void TEntryPool::Free(void* block, size_t size) noexcept {
    if (!block) return;
    if (size == 0) size = 1;
    if (size > MaxPooledSize) {
        THeader* header = static_cast<THeader*>(block) - 1;
        Unlink(header, large_);
        reserved_ -= sizeof(THeader) + header->size;
        header->~THeader();
        ::operator delete(header, std::align_val_t(Alignment));
        return;
    }
    const size_t sizeClass = ClassOf(size);
    auto* slot = new (block) TFree{free_[sizeClass]};
    free_[sizeClass] = slot;
}

void TEntryPool::Clear() noexcept {
    for (THeader* list : {chunks_, large_}) {
        while (list) {
            THeader* next = list->next;
            list->~THeader();
            ::operator delete(list, std::align_val_t(Alignment));
            list = next;
        }
    }
    chunks_ = large_ = nullptr;
    free_.fill(nullptr);
    next_ = end_ = nullptr;
    nextChunkSize_ = FirstChunkSize;
    reserved_ = 0;
}

}  // namespace quarvel
