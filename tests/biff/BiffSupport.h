// Helpers of the tests of the BIFF layer and of the layers above it that look at records: a record
// sink that keeps what it is given, and xlrd's view of a written workbook.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "biff/RecordSink.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel::test {

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

#if defined(QUARVEL_READERS_DIR) && defined(QUARVEL_PYTHON)
// What xlrd reads from a workbook file (tests/readers/xlrd_dump.py).
inline TCommandResult XlrdDump(const std::string& file) {
    return Run("PYTHONIOENCODING=utf-8 " + ShellQuote(QUARVEL_PYTHON) + " " + ShellQuote(ReaderScript("xlrd_dump.py")) +
               " " + ShellQuote(file));
}
#endif

}  // namespace quarvel::test
