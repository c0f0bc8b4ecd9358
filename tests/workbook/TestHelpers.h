// Helpers shared by the workbook model tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "biff/RecordSink.h"
#include "platform/Errors.h"

namespace quarvel::test {

// The message of the error that `action` throws, or "(no error)".
inline std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// "01 00 20" for the bytes {1, 0, 0x20}: failures show which byte differs.
inline std::string Hex(const uint8_t* bytes, size_t length) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += part;
    }
    return text;
}

template <class Bytes>
std::string Hex(const Bytes& bytes) {
    return Hex(bytes.data(), bytes.size());
}

// A record sink that keeps every record.
struct RecordCollector : TRecordSink {
    struct Record {
        uint16_t id;
        std::vector<uint8_t> body;
    };
    std::vector<Record> records;

    void WriteRecord(uint16_t id, const void* body, uint16_t length) override {
        const auto* p = static_cast<const uint8_t*>(body);
        records.push_back({id, std::vector<uint8_t>(p, p + length)});
    }
};

}  // namespace quarvel::test
