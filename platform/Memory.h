// Hints about how large buffers should be backed by memory.
#pragma once

#include <cstddef>

namespace quarvel {

// Asks for huge pages behind a large buffer that is about to be written, so that filling it costs
// a few page faults instead of one per 4 KB (this is most of the time of a large conversion on
// some machines). A hint only: small buffers and systems without transparent huge pages ignore it.
void AdviseHugePages(void* data, size_t size);

// A block of `size` bytes aligned to `size` (a power of two, a multiple of the page size), zeroed,
// mapped from the system on its own with huge pages asked for, so that freeing it gives it back
// whole. Throws std::bad_alloc when the system refuses.
void* MapAlignedBlock(size_t size);
// Gives back a block of MapAlignedBlock with the same size.
void UnmapAlignedBlock(void* block, size_t size) noexcept;

// For a short-lived process about to do one large piece of work (a batch conversion): grows the
// heap once by about `bytes` of address space and asks for huge pages behind it, so that the many
// small blocks a conversion allocates (lines, strings, cell blocks) land on a few huge pages
// instead of faulting in 4 KB at a time. Nothing is touched, so nothing is used until it is
// allocated. Memory freed afterwards stays with the process for reuse rather than going back to
// the system piecemeal. The heap grows on by the usual small steps once the reserve is used up,
// and a reserve that the system refuses is simply not made.
//
// Returns the bytes reserved: 0 where it does not apply (a C library other than glibc, builds with
// a sanitizer, whose allocator is its own) or when the system refused. A hint, like
// AdviseHugePages: call it at most once, at the start, and never from a library.
size_t ReserveHeap(size_t bytes);

// The largest reserve ReserveHeap makes (a larger request is cut to it).
inline constexpr size_t MaxHeapReserve = size_t(1) << 30;

// The heap to reserve for converting a source of `sourceBytes` bytes: a conversion to a workbook
// takes up to about eight times its source, plus a base for the model and the writer.
size_t HeapForSource(size_t sourceBytes);

}  // namespace quarvel
