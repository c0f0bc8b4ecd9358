// A small reader of ZIP archives for the tests: the members named by the central directory, in
// archive order, each inflated with zlib and checked against its CRC-32 and sizes. Enough for the
// packages the writer makes (no ZIP64, no encryption); anything else is an error.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::test {

struct TZipMember {
    std::string Name;
    uint16_t Method = 0;
    std::string Data;
};

inline uint32_t ZipU16(const std::vector<uint8_t>& b, size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("archive cut short");
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8);
}

inline uint32_t ZipU32(const std::vector<uint8_t>& b, size_t at) { return ZipU16(b, at) | (ZipU16(b, at + 2) << 16); }

inline std::string Inflate(const uint8_t* data, size_t size, size_t expected) {
    std::string out(expected, '\0');
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2 failed");
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    const size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (status != Z_STREAM_END || produced != expected) throw std::runtime_error("member does not inflate to its size");
    return out;
}

inline std::vector<TZipMember> ReadZip(const std::vector<uint8_t>& archive) {
    if (archive.size() < 22) throw std::runtime_error("no end record");
    size_t end = archive.size() - 22;
    while (ZipU32(archive, end) != 0x06054B50) {
        if (end == 0) throw std::runtime_error("no end record");
        --end;
    }
    const uint32_t count = ZipU16(archive, end + 10);
    size_t at = ZipU32(archive, end + 16);
    std::vector<TZipMember> members;
    for (uint32_t i = 0; i < count; ++i) {
        if (ZipU32(archive, at) != 0x02014B50) throw std::runtime_error("bad central directory entry");
        TZipMember member;
        member.Method = static_cast<uint16_t>(ZipU16(archive, at + 10));
        const uint32_t crc = ZipU32(archive, at + 16), packed = ZipU32(archive, at + 20), size = ZipU32(archive, at + 24);
        const uint32_t nameLength = ZipU16(archive, at + 28), extra = ZipU16(archive, at + 30), comment = ZipU16(archive, at + 32);
        const uint32_t local = ZipU32(archive, at + 42);
        if (at + 46 + nameLength > archive.size()) throw std::runtime_error("archive cut short");
        member.Name.assign(reinterpret_cast<const char*>(archive.data() + at + 46), nameLength);
        if (ZipU32(archive, local) != 0x04034B50) throw std::runtime_error("bad local header of " + member.Name);
        const size_t data = local + 30 + ZipU16(archive, local + 26) + ZipU16(archive, local + 28);
        if (data + packed > archive.size()) throw std::runtime_error("member data cut short: " + member.Name);
        if (member.Method == 8) {
            member.Data = Inflate(archive.data() + data, packed, size);
        } else if (member.Method == 0 && packed == size) {
            member.Data.assign(reinterpret_cast<const char*>(archive.data() + data), size);
        } else {
            throw std::runtime_error("unknown method of " + member.Name);
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(member.Data.data()), static_cast<uInt>(member.Data.size())) != crc)
            throw std::runtime_error("CRC-32 of " + member.Name + " does not match");
        members.push_back(std::move(member));
        at += 46 + nameLength + extra + comment;
    }
    return members;
}

}  // namespace quarvel::test
