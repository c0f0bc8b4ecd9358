// Where finished BIFF records go: the record stream implements this, and tests use byte buffers.
#pragma once

#include <cstdint>

namespace quarvel {

class TRecordSink {
public:
    virtual ~TRecordSink() = default;
    // Writes one record: 16-bit id, 16-bit body length, then the body, little-endian.
    virtual void WriteRecord(uint16_t id, const void* body, uint16_t length) = 0;
};

}  // namespace quarvel
