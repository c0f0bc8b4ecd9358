#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define QUARVEL_OWN_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_OWN_HEAP 0
#endif
#endif
#if !defined(QUARVEL_OWN_HEAP) && defined(__GLIBC__)
#define QUARVEL_OWN_HEAP 1
#endif
#ifndef QUARVEL_OWN_HEAP
#define QUARVEL_OWN_HEAP 0
#endif

namespace quarvel {

namespace {

constexpr uintptr_t kHugePage = uintptr_t(2) << 20;

// The whole huge pages inside [begin, end).
void AdviseRange(uintptr_t begin, uintptr_t end) {
#ifdef MADV_HUGEPAGE
    begin = (begin + kHugePage - 1) & ~(kHugePage - 1);
    end &= ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)end;
#endif
}

}  // namespace

void AdviseHugePages(void* data, size_t size) {
    if (size < 2 * kHugePage) return;
    const auto begin = reinterpret_cast<uintptr_t>(data);
    AdviseRange(begin, begin + size);
}

void* MapAlignedBlock(size_t size) {
    // Mapped with room to spare, then cut to the aligned block.
    void* mapped = ::mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto first = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t block = (first + size - 1) & ~(uintptr_t(size) - 1);
    if (block > first) ::munmap(mapped, block - first);
    if (const uintptr_t after = first + 2 * size - (block + size)) ::munmap(reinterpret_cast<void*>(block + size), after);
    AdviseHugePages(reinterpret_cast<void*>(block), size);
    return reinterpret_cast<void*>(block);
}

void UnmapAlignedBlock(void* block, size_t size) noexcept {
    if (block) ::munmap(block, size);
}

size_t HeapForSource(size_t sourceBytes) {
    constexpr size_t kBase = size_t(64) << 20;
    constexpr size_t kMost = MaxHeapReserve;
    if (sourceBytes > (kMost - kBase) / 8) return kMost;
    return kBase + 8 * sourceBytes;
}

size_t ReserveHeap(size_t bytes) {
#if QUARVEL_OWN_HEAP
    constexpr size_t kProbe = size_t(1) << 20;  // more than the heap has free at start-up
    constexpr int kDefaultTopPad = 128 * 1024;  // glibc's own
    if (bytes < 2 * kHugePage) return 0;
    if (bytes > MaxHeapReserve) bytes = MaxHeapReserve;
    // Blocks up to 32 MB come from the heap (and so from the reserve), not from mappings of their own.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    // The next growth of the heap takes the reserve along; a block that does not fit the free top
    // of the heap makes it grow now. Freeing it leaves the reserve as the heap's free top.
    ::mallopt(M_TOP_PAD, static_cast<int>(bytes));
    void* volatile probe = std::malloc(kProbe);
    const auto start = reinterpret_cast<uintptr_t>(probe);
    std::free(probe);
    // Freed memory is kept: trimming would hand the reserve back as soon as a block at its top is
    // freed. Later growth goes back to glibc's usual steps.
    ::mallopt(M_TRIM_THRESHOLD, INT32_MAX);
    ::mallopt(M_TOP_PAD, kDefaultTopPad);
    if (start == 0) return 0;
    const auto end = reinterpret_cast<uintptr_t>(::sbrk(0));
    if (end <= start || end - start < bytes / 2) return 0;  // the heap did not grow as asked
    AdviseRange(start, end);
    return end - start;
#else
    (void)bytes;
    return 0;
#endif
}

}  // namespace quarvel
