#include "platform/Memory.h"

#include <cstdint>
#include <sys/mman.h>

namespace quarvel {

void AdviseHugePages(void* data, size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
    if (size < 2 * kHugePage) return;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace quarvel
