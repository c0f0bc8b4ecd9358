// Helpers shared by the workbook model tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "biff/RecordSink.h"
#include "tests/support/TestSupport.h"
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
