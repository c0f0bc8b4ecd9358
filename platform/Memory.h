// Hints about how large buffers should be backed by memory.
#pragma once

#include <cstddef>

namespace quarvel {

// Asks for huge pages behind a large buffer that is about to be written, so that filling it costs
// a few page faults instead of one per 4 KB (this is most of the time of a large conversion on
// some machines). A hint only: small buffers and systems without transparent huge pages ignore it.
void AdviseHugePages(void* data, size_t size);

}  // namespace quarvel
