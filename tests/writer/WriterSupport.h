// Helpers of the writer tests: workbooks to write, the records of a written stream, hex texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Locale.h"
#include "tests/platform/PlatformSupport.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XLSWriter.h"

namespace quarvel::writer_test {

using Bytes = std::vector<uint8_t>;

// "00 06 05 00" -> {0x00, 0x06, 0x05, 0x00}; blanks, line breaks and '|' (a visual field
// separator) are ignored.
inline Bytes HexBytes(const std::string& text) {
    Bytes out;
    int high = -1;
    for (char ch : text) {
        int v;
        if (ch >= '0' && ch <= '9') v = ch - '0';
        else if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

using test::Hex;

// UTF-16LE bytes of a text, for record bodies.
inline Bytes Utf16(const std::u16string& text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
inline uint32_t Le32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// One record of a written stream and the position of its header.
struct TRec {
    uint16_t Id;
    Bytes Body;
    size_t Pos;
};

// Cuts a stream into its records; a record running past the end fails the test.
inline std::vector<TRec> Records(const Bytes& stream) {
    std::vector<TRec> out;
    size_t at = 0;
    while (at + 4 <= stream.size()) {
        const uint16_t id = Le16(stream, at), length = Le16(stream, at + 2);
        if (at + 4 + length > stream.size()) {
            ADD_FAILURE() << "record " << id << " at " << at << " runs past the end of the stream";
            break;
        }
        out.push_back({id, Bytes(stream.begin() + at + 4, stream.begin() + at + 4 + length), at});
        at += 4 + length;
    }
    EXPECT_EQ(at, stream.size()) << "bytes after the last record";
    return out;
}

// "id: hex body" per record, for readable comparisons.
inline std::string Describe(const std::vector<TRec>& records) {
    std::string text;
    char id[16];
    for (const TRec& r : records) {
        std::snprintf(id, sizeof id, "%04X:", r.Id);
        text += id;
        if (!r.Body.empty()) text += " " + Hex(r.Body);
        text += "\n";
    }
    return text;
}

// The substreams of a workbook stream: globals first, then one per sheet (BOF to EOF each).
inline std::vector<std::vector<TRec>> Substreams(const Bytes& stream) {
    std::vector<std::vector<TRec>> out;
    for (TRec& r : Records(stream)) {
        if (r.Id == 0x0809) out.emplace_back();
        if (out.empty()) {
            ADD_FAILURE() << "record before the first BOF";
            out.emplace_back();
        }
        out.back().push_back(std::move(r));
    }
    return out;
}

// The records of one id, in order.
inline std::vector<TRec> OfId(const std::vector<TRec>& records, uint16_t id) {
    std::vector<TRec> out;
    for (const TRec& r : records)
        if (r.Id == id) out.push_back(r);
    return out;
}

inline std::vector<uint16_t> Ids(const std::vector<TRec>& records) {
    std::vector<uint16_t> out;
    for (const TRec& r : records) out.push_back(r.Id);
    return out;
}

// The workbook the converter writes: US locale settings (so nothing depends on the machine) and
// the values stored with the program's component.
inline void MakeConverterWorkbook(std::unique_ptr<TXLSWorkbook>& workbook) {
    workbook = std::make_unique<TXLSWorkbook>(UsLocaleInfo());
    workbook->ApplyStoredValues();
}

// The bytes of the "Workbook" stream alone, as a write of the component would produce them.
inline Bytes WriteRaw(TXLSWorkbook& workbook) {
    workbook.PrepareWrite();
    Bytes out;
    TXLSWriter writer(workbook);
    writer.WriteWorkbookRaw(out);
    return out;
}

// The records of sheet `index` (its substream) of a workbook written raw.
inline std::vector<TRec> SheetRecords(TXLSWorkbook& workbook, size_t index = 0) {
    const auto parts = Substreams(WriteRaw(workbook));
    if (parts.size() <= index + 1) {
        ADD_FAILURE() << "no substream for sheet " << index;
        return {};
    }
    return parts[index + 1];
}

}  // namespace quarvel::writer_test
