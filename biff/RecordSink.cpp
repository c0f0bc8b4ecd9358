#include "biff/RecordSink.h"

#include <cstdio>

#include "platform/Errors.h"

namespace quarvel {

void ThrowRecordTooLong(uint16_t id, size_t length, int32_t maxBody) {
    char message[128];
    std::snprintf(message, sizeof message, "Record %.4X of %zu bytes is longer than a record can hold (%d bytes)", id,
                  length, maxBody);
    throw Error(message);
}

void ThrowWrongBodySize(uint16_t id, size_t declared, size_t written, bool overflowed) {
    char message[128];
    std::snprintf(message, sizeof message, "Record %.4X: its function wrote %s%zu bytes where the record declares %zu",
                  id, overflowed ? "more than " : "", overflowed ? written - 1 : written, declared);
    throw Error(message);
}

}  // namespace quarvel
