// The ZIP writer: pinned bytes of small archives, and archives read back by Python's zipfile,
// Info-ZIP's unzip and LibreOffice.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

#include "platform/Errors.h"
#include "platform/Zip.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using test::Hex;
using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

// ---------------------------------------------------------------------------------------------
// Helpers

std::string Quote(const std::string& s) { return test::ShellQuote(s); }

struct TRunResult {
    int Status = -1;
    std::string Output;  // stdout and stderr
};

TRunResult RunCommand(const std::string& command) {
    TRunResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Output.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

void SaveArchive(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

// One central directory entry as Python's zipfile lists it, with what it read of the member.
struct TListed {
    std::string Name;
    int Method = -1;
    unsigned Flags = 0;
    int Version = 0;
    std::string DateTime;
    uint64_t Size = 0;
    uint64_t CompressedSize = 0;
    uint32_t Crc = 0;
    uint64_t Offset = 0;
    std::string Read;  // "LENGTH CRC" of the bytes read, or the error
};

struct TPythonView {
    bool Opened = false;
    std::string Output;
    std::vector<TListed> Members;
};

// Runs zip_check.py over the archive; with `extractDir`, member i lands in extractDir/i.
TPythonView ReadWithPython(const std::string& archive, const std::string& extractDir = "") {
    TPythonView view;
    const TRunResult run = RunCommand("PYTHONIOENCODING=utf-8 " + Quote(QUARVEL_PYTHON) + " " +
                               Quote(std::string(QUARVEL_READERS_DIR) + "/zip_check.py") + " " + Quote(archive) +
                               (extractDir.empty() ? "" : " " + Quote(extractDir)));
    view.Output = run.Output;
    if (run.Status != 0) return view;
    std::istringstream lines(run.Output);
    std::string line;
    size_t readIndex = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("members ", 0) == 0) {
            view.Opened = true;
        } else if (line.rfind("read ", 0) == 0 || line.rfind("error ", 0) == 0) {
            if (readIndex < view.Members.size()) {
                TListed& m = view.Members[readIndex++];
                m.Read = line.rfind("read ", 0) == 0 ? line.substr(5 + m.Name.size() + 1) : line;
            }
        } else {
            std::vector<std::string> fields;
            std::istringstream parts(line);
            std::string field;
            while (std::getline(parts, field, '\t')) fields.push_back(field);
            if (fields.size() != 9) continue;
            TListed m;
            m.Name = fields[0];
            m.Method = std::stoi(fields[1]);
            m.Flags = static_cast<unsigned>(std::stoul(fields[2], nullptr, 16));
            m.Version = std::stoi(fields[3]);
            m.DateTime = fields[4];
            m.Size = std::stoull(fields[5]);
            m.CompressedSize = std::stoull(fields[6]);
            m.Crc = static_cast<uint32_t>(std::stoul(fields[7], nullptr, 16));
            m.Offset = std::stoull(fields[8]);
            view.Members.push_back(m);
        }
    }
    return view;
}

std::string ReadLine(uint64_t length, uint32_t crc) {
    char text[48];
    std::snprintf(text, sizeof text, "%llu %08x", static_cast<unsigned long long>(length), crc);
    return text;
}

uint32_t Crc(std::string_view data) {
    return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// `unzip -t`: every member's data checked against its CRC. Empty when unzip is not installed.
TRunResult TestWithUnzip(const std::string& archive) {
    if (std::string(QUARVEL_UNZIP).empty()) return {0, "unzip is not installed"};
    return RunCommand(Quote(QUARVEL_UNZIP) + " -tq " + Quote(archive));
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16; }
uint64_t Le64(const std::vector<uint8_t>& b, size_t at) { return uint64_t(Le32(b, at)) | uint64_t(Le32(b, at + 4)) << 32; }

// Sheet-like XML: rows of numbered cells, different on every row.
std::string SheetXml(int rows) {
    std::string xml = "<sheetData>";
    for (int r = 1; r <= rows; ++r) {
        xml += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 0; c < 10; ++c)
            xml += "<c r=\"" + std::string(1, char('A' + c)) + std::to_string(r) + "\"><v>" +
                   std::to_string(r * 7 + c * 13) + "</v></c>";
        xml += "</row>";
    }
    return xml + "</sheetData>";
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Fails after the given number of bytes, as a full disk would.
class TFailingSink final : public TZipSink {
public:
    explicit TFailingSink(uint64_t limit) : limit_(limit) {}
    void Write(const uint8_t*, size_t count) override {
        if (received_ + count > limit_) throw FileError("/out/book.xlsx", "Disk full", ENOSPC);
        received_ += count;
    }
    uint64_t Received() const { return received_; }

private:
    uint64_t limit_;
    uint64_t received_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Pinned bytes

// "a.txt" = "hello" given whole and stored; "b/é" = "xyz" streamed (in two pieces) and deflated at
// level 0, whose output is one final stored block: every byte of the archive is fixed.
std::vector<uint8_t> TinyArchive(bool forceZip64) {
    std::vector<uint8_t> out;
    TZipMemorySink sink(out);
    TZipWriter::TOptions options;
    options.Modified = DosDateTime(2024, 5, 17, 13, 45, 30);
    options.ForceZip64 = forceZip64;
    TZipWriter zip(sink, options);
    zip.AddMember("a.txt", "hello", {TZipMethod::Stored});
    zip.BeginMember("b/\xC3\xA9", {TZipMethod::Deflated, 0});
    zip.Write("xy");
    zip.Write("z");
    zip.EndMember();
    zip.Finish();
    return out;
}

TEST(ZipWriter, PinnedBytesOfATinyArchive) {
    const std::vector<uint8_t> expected = {
        // Local header of "a.txt", offset 0
        0x50, 0x4B, 0x03, 0x04,  // signature
        0x14, 0x00,              // version needed 2.0
        0x00, 0x00,              // flags
        0x00, 0x00,              // method: stored
        0xAF, 0x6D,              // time 13:45:30
        0xB1, 0x58,              // date 2024-05-17
        0x86, 0xA6, 0x10, 0x36,  // CRC-32 of "hello"
        0x05, 0x00, 0x00, 0x00,  // compressed size
        0x05, 0x00, 0x00, 0x00,  // size
        0x05, 0x00,              // name length
        0x00, 0x00,              // extra length
        'a', '.', 't', 'x', 't',
        'h', 'e', 'l', 'l', 'o',
        // Local header of "b/é", offset 40
        0x50, 0x4B, 0x03, 0x04,  // signature
        0x2D, 0x00,              // version needed 4.5: a streamed member may turn out to need ZIP64
        0x08, 0x08,              // flags: data descriptor, UTF-8 name
        0x08, 0x00,              // method: deflated
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x00, 0x00, 0x00, 0x00,  // CRC-32: in the descriptor
        0x00, 0x00, 0x00, 0x00,  // compressed size: in the descriptor
        0x00, 0x00, 0x00, 0x00,  // size: in the descriptor
        0x04, 0x00,              // name length
        0x00, 0x00,              // extra length
        'b', '/', 0xC3, 0xA9,
        0x01, 0x03, 0x00, 0xFC, 0xFF, 'x', 'y', 'z',  // final stored deflate block of 3 bytes
        // Data descriptor, offset 82
        0x50, 0x4B, 0x07, 0x08,  // signature
        0x67, 0xBA, 0x8E, 0xEB,  // CRC-32 of "xyz"
        0x08, 0x00, 0x00, 0x00,  // compressed size
        0x03, 0x00, 0x00, 0x00,  // size
        // Central directory entry of "a.txt", offset 98
        0x50, 0x4B, 0x01, 0x02,  // signature
        0x14, 0x00,              // version made by 2.0, MS-DOS
        0x14, 0x00,              // version needed 2.0
        0x00, 0x00,              // flags
        0x00, 0x00,              // method
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x86, 0xA6, 0x10, 0x36,  // CRC-32
        0x05, 0x00, 0x00, 0x00,  // compressed size
        0x05, 0x00, 0x00, 0x00,  // size
        0x05, 0x00,              // name length
        0x00, 0x00,              // extra length
        0x00, 0x00,              // comment length
        0x00, 0x00,              // disk number
        0x00, 0x00,              // internal attributes
        0x00, 0x00, 0x00, 0x00,  // external attributes
        0x00, 0x00, 0x00, 0x00,  // local header offset
        'a', '.', 't', 'x', 't',
        // Central directory entry of "b/é", offset 149
        0x50, 0x4B, 0x01, 0x02,  // signature
        0x2D, 0x00,              // version made by 4.5, MS-DOS
        0x2D, 0x00,              // version needed 4.5
        0x08, 0x08,              // flags
        0x08, 0x00,              // method
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x67, 0xBA, 0x8E, 0xEB,  // CRC-32
        0x08, 0x00, 0x00, 0x00,  // compressed size
        0x03, 0x00, 0x00, 0x00,  // size
        0x04, 0x00,              // name length
        0x00, 0x00,              // extra length
        0x00, 0x00,              // comment length
        0x00, 0x00,              // disk number
        0x00, 0x00,              // internal attributes
        0x00, 0x00, 0x00, 0x00,  // external attributes
        0x28, 0x00, 0x00, 0x00,  // local header offset 40
        'b', '/', 0xC3, 0xA9,
        // End of central directory, offset 199
        0x50, 0x4B, 0x05, 0x06,  // signature
        0x00, 0x00,              // disk number
        0x00, 0x00,              // disk of the central directory
        0x02, 0x00,              // entries on this disk
        0x02, 0x00,              // entries
        0x65, 0x00, 0x00, 0x00,  // central directory size 101
        0x62, 0x00, 0x00, 0x00,  // central directory offset 98
        0x00, 0x00,              // comment length
    };
    EXPECT_EQ(Hex(TinyArchive(false)), Hex(expected));
}

TEST(ZipWriter, PinnedBytesOfATinyArchiveWithForcedZip64) {
    const std::vector<uint8_t> expected = {
        // Local header of "a.txt", offset 0
        0x50, 0x4B, 0x03, 0x04,  // signature
        0x2D, 0x00,              // version needed 4.5
        0x00, 0x00,              // flags
        0x00, 0x00,              // method: stored
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x86, 0xA6, 0x10, 0x36,  // CRC-32
        0xFF, 0xFF, 0xFF, 0xFF,  // compressed size: in the ZIP64 field
        0xFF, 0xFF, 0xFF, 0xFF,  // size: in the ZIP64 field
        0x05, 0x00,              // name length
        0x14, 0x00,              // extra length 20
        'a', '.', 't', 'x', 't',
        0x01, 0x00, 0x10, 0x00,                          // ZIP64 field, 16 bytes
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // compressed size
        'h', 'e', 'l', 'l', 'o',
        // Local header of "b/é", offset 60
        0x50, 0x4B, 0x03, 0x04,  // signature
        0x2D, 0x00,              // version needed 4.5
        0x08, 0x08,              // flags: data descriptor, UTF-8 name
        0x08, 0x00,              // method: deflated
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x00, 0x00, 0x00, 0x00,  // CRC-32: in the descriptor
        0xFF, 0xFF, 0xFF, 0xFF,  // compressed size: ZIP64
        0xFF, 0xFF, 0xFF, 0xFF,  // size: ZIP64
        0x04, 0x00,              // name length
        0x14, 0x00,              // extra length 20
        'b', '/', 0xC3, 0xA9,
        0x01, 0x00, 0x10, 0x00,                          // ZIP64 field, 16 bytes
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size: in the descriptor
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // compressed size: in the descriptor
        0x01, 0x03, 0x00, 0xFC, 0xFF, 'x', 'y', 'z',
        // Data descriptor with 64-bit sizes, offset 122
        0x50, 0x4B, 0x07, 0x08,                          // signature
        0x67, 0xBA, 0x8E, 0xEB,                          // CRC-32
        0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // compressed size
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size
        // Central directory entry of "a.txt", offset 146
        0x50, 0x4B, 0x01, 0x02,  // signature
        0x2D, 0x00,              // version made by 4.5
        0x2D, 0x00,              // version needed 4.5
        0x00, 0x00,              // flags
        0x00, 0x00,              // method
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x86, 0xA6, 0x10, 0x36,  // CRC-32
        0xFF, 0xFF, 0xFF, 0xFF,  // compressed size: ZIP64
        0xFF, 0xFF, 0xFF, 0xFF,  // size: ZIP64
        0x05, 0x00,              // name length
        0x1C, 0x00,              // extra length 28
        0x00, 0x00,              // comment length
        0x00, 0x00,              // disk number
        0x00, 0x00,              // internal attributes
        0x00, 0x00, 0x00, 0x00,  // external attributes
        0xFF, 0xFF, 0xFF, 0xFF,  // local header offset: ZIP64
        'a', '.', 't', 'x', 't',
        0x01, 0x00, 0x18, 0x00,                          // ZIP64 field, 24 bytes
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // compressed size
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // local header offset
        // Central directory entry of "b/é", offset 225
        0x50, 0x4B, 0x01, 0x02,  // signature
        0x2D, 0x00,              // version made by 4.5
        0x2D, 0x00,              // version needed 4.5
        0x08, 0x08,              // flags
        0x08, 0x00,              // method
        0xAF, 0x6D,              // time
        0xB1, 0x58,              // date
        0x67, 0xBA, 0x8E, 0xEB,  // CRC-32
        0xFF, 0xFF, 0xFF, 0xFF,  // compressed size: ZIP64
        0xFF, 0xFF, 0xFF, 0xFF,  // size: ZIP64
        0x04, 0x00,              // name length
        0x1C, 0x00,              // extra length 28
        0x00, 0x00,              // comment length
        0x00, 0x00,              // disk number
        0x00, 0x00,              // internal attributes
        0x00, 0x00, 0x00, 0x00,  // external attributes
        0xFF, 0xFF, 0xFF, 0xFF,  // local header offset: ZIP64
        'b', '/', 0xC3, 0xA9,
        0x01, 0x00, 0x18, 0x00,                          // ZIP64 field, 24 bytes
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size
        0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // compressed size
        0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // local header offset 60
        // ZIP64 end of central directory record, offset 303
        0x50, 0x4B, 0x06, 0x06,                          // signature
        0x2C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size of the rest: 44
        0x2D, 0x00,                                      // version made by 4.5
        0x2D, 0x00,                                      // version needed 4.5
        0x00, 0x00, 0x00, 0x00,                          // disk number
        0x00, 0x00, 0x00, 0x00,                          // disk of the central directory
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // entries on this disk
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // entries
        0x9D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // central directory size 157
        0x92, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // central directory offset 146
        // ZIP64 end of central directory locator, offset 359
        0x50, 0x4B, 0x06, 0x07,                          // signature
        0x00, 0x00, 0x00, 0x00,                          // disk of the ZIP64 end record
        0x2F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // its offset 303
        0x01, 0x00, 0x00, 0x00,                          // number of disks
        // End of central directory, offset 379
        0x50, 0x4B, 0x05, 0x06,  // signature
        0x00, 0x00,              // disk number
        0x00, 0x00,              // disk of the central directory
        0xFF, 0xFF,              // entries on this disk: ZIP64
        0xFF, 0xFF,              // entries: ZIP64
        0xFF, 0xFF, 0xFF, 0xFF,  // central directory size: ZIP64
        0xFF, 0xFF, 0xFF, 0xFF,  // central directory offset: ZIP64
        0x00, 0x00,              // comment length
    };
    EXPECT_EQ(Hex(TinyArchive(true)), Hex(expected));
}

// ---------------------------------------------------------------------------------------------
// Independent readers

struct TMemberCase {
    const char* Name;
    std::string Data;
    bool Streamed;
    TZipMemberOptions Options;
    size_t Piece = 0;  // streamed: pieces of 1 to Piece bytes, varying; 0: one Write
};

std::vector<TMemberCase> MemberCases() {
    const std::string sheet = SheetXml(20000);  // about 1.5 MB
    const std::string noise = RandomBytes(300000, 7);
    return {
        {"[Content_Types].xml", "<Types><Default Extension=\"xml\"/></Types>", false, {}},
        {"xl/worksheets/sheet1.xml", sheet, true, {TZipMethod::Deflated, 1}, 9973},
        {"xl/worksheets/sheet2.xml", sheet.substr(0, 700000), true, {TZipMethod::Deflated, 6}, 0},
        {"xl/whole-level9.xml", sheet, false, {TZipMethod::Deflated, 9}},
        {"media/noise.bin", noise, true, {TZipMethod::Deflated, 9}, 65536},  // grows when deflated
        {"media/noise-stored.bin", noise, false, {TZipMethod::Stored}},
        {"level0.xml", sheet.substr(0, 200000), true, {TZipMethod::Deflated, 0}, 777},
        {"empty-deflated", "", false, {}},
        {"empty-stored", "", false, {TZipMethod::Stored}},
        {"empty-streamed", "", true, {}},
        {"donn\xC3\xA9" "es/\xC3\x9C" "bersicht \xE2\x82\xAC.xml", "<a>\xE2\x82\xAC</a>", false, {}},
        {"\xE6\x97\xA5\xE6\x9C\xAC/\xE8\xA1\xA8.xml", sheet.substr(0, 5000), true, {}, 100},
    };
}

void AddCase(TZipWriter& zip, const TMemberCase& c) {
    if (!c.Streamed) {
        zip.AddMember(c.Name, c.Data, c.Options);
        return;
    }
    zip.BeginMember(c.Name, c.Options);
    size_t at = 0, step = 1;
    while (at < c.Data.size()) {
        const size_t n = c.Piece ? std::min(c.Data.size() - at, 1 + step % c.Piece) : c.Data.size();
        zip.Write(c.Data.data() + at, n);
        at += n;
        step = step * 31 + 7;
    }
    zip.EndMember();
}

TEST(ZipWriter, IndependentReadersReadEveryKindOfMember) {
    const std::vector<TMemberCase> cases = MemberCases();
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "forced ZIP64" : "ZIP64 as needed");
        TTempDir dir;
        std::vector<uint8_t> out;
        TZipMemorySink sink(out);
        TZipWriter::TOptions options;
        options.Modified = DosDateTime(2107, 12, 31, 23, 59, 58);
        options.ForceZip64 = force;
        if (force) options.BufferSize = 4096;  // every record crosses buffer flushes somewhere
        TZipWriter zip(sink, options);
        for (const TMemberCase& c : cases) AddCase(zip, c);
        zip.Finish();
        EXPECT_EQ(zip.Size(), out.size());
        SaveArchive(dir.File("a.zip"), out);

        std::filesystem::create_directory(dir.File("x"));
        const TPythonView view = ReadWithPython(dir.File("a.zip"), dir.File("x"));
        ASSERT_TRUE(view.Opened) << view.Output;
        ASSERT_EQ(view.Members.size(), cases.size()) << view.Output;
        uint64_t previousOffset = 0;
        for (size_t i = 0; i < cases.size(); ++i) {
            const TMemberCase& c = cases[i];
            const TListed& m = view.Members[i];
            SCOPED_TRACE(c.Name);
            const bool ascii = std::all_of(std::string_view(c.Name).begin(), std::string_view(c.Name).end(),
                                           [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
            EXPECT_EQ(m.Name, c.Name);
            EXPECT_EQ(m.Method, static_cast<int>(c.Options.Method));
            EXPECT_EQ(m.Flags, (c.Streamed ? 0x0008u : 0u) | (ascii ? 0u : 0x0800u));
            EXPECT_EQ(m.Version, force || c.Streamed ? 45 : 20);
            EXPECT_EQ(m.DateTime, "2107-12-31 23:59:58");
            EXPECT_EQ(m.Size, c.Data.size());
            EXPECT_EQ(m.Crc, Crc(c.Data));
            if (c.Options.Method == TZipMethod::Stored) {
                EXPECT_EQ(m.CompressedSize, c.Data.size());
            }
            if (i > 0) {
                EXPECT_GT(m.Offset, previousOffset);
            }
            previousOffset = m.Offset;
            EXPECT_EQ(m.Read, ReadLine(c.Data.size(), Crc(c.Data)));
            EXPECT_TRUE(ReadBytes(dir.File("x/" + std::to_string(i))) == c.Data);
        }
        // Level 1 on sheet XML shrinks it several times; the noise cannot shrink.
        EXPECT_LT(view.Members[1].CompressedSize * 4, view.Members[1].Size);
        EXPECT_GT(view.Members[4].CompressedSize, view.Members[4].Size);

        const TRunResult unzip = TestWithUnzip(dir.File("a.zip"));
        EXPECT_EQ(unzip.Status, 0) << unzip.Output;
    }
}

TEST(ZipWriter, PinnedArchivesAreReadableToo) {
    for (const bool force : {false, true}) {
        TTempDir dir;
        SaveArchive(dir.File("t.zip"), TinyArchive(force));
        const TPythonView view = ReadWithPython(dir.File("t.zip"));
        ASSERT_EQ(view.Members.size(), 2u) << view.Output;
        EXPECT_EQ(view.Members[0].Read, ReadLine(5, 0x3610A686));
        EXPECT_EQ(view.Members[1].Name, "b/\xC3\xA9");
        EXPECT_EQ(view.Members[1].Read, ReadLine(3, 0xEB8EBA67));
        EXPECT_EQ(view.Members[1].DateTime, "2024-05-17 13:45:30");
        const TRunResult unzip = TestWithUnzip(dir.File("t.zip"));
        EXPECT_EQ(unzip.Status, 0) << unzip.Output;
    }
}

// 65,535 entries do not fit the end record's count: 0xFFFF there means "see the ZIP64 record".
TEST(ZipWriter, MemberCountNeedsZip64From65535) {
    for (const size_t count : {size_t(65534), size_t(65535)}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> out;
        TZipMemorySink sink(out);
        TZipWriter zip(sink);
        char name[32];
        for (size_t i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, "m%05zu", i);
            zip.AddMember(name, "", {TZipMethod::Stored});
        }
        zip.Finish();

        const size_t end = out.size() - 22;
        ASSERT_EQ(Le32(out, end), 0x06054B50u);
        const bool zip64 = count >= 0xFFFF;
        EXPECT_EQ(Le16(out, end + 10), zip64 ? 0xFFFF : count);
        EXPECT_EQ(Le32(out, end - 20) == 0x07064B50u, zip64);  // the locator right before
        if (zip64) {
            const size_t record = static_cast<size_t>(Le64(out, end - 20 + 8));
            ASSERT_EQ(Le32(out, record), 0x06064B50u);
            EXPECT_EQ(Le64(out, record + 32), count);
            EXPECT_EQ(Le64(out, record + 48), Le32(out, end + 16));  // the directory offset fits both
        }

        TTempDir dir;
        SaveArchive(dir.File("many.zip"), out);
        const TPythonView view = ReadWithPython(dir.File("many.zip"));
        ASSERT_EQ(view.Members.size(), count) << view.Output.substr(0, 2000);
        EXPECT_EQ(view.Members.back().Name, std::string(name));
        EXPECT_EQ(view.Members.back().Read, ReadLine(0, 0));
        const TRunResult unzip = TestWithUnzip(dir.File("many.zip"));
        EXPECT_EQ(unzip.Status, 0) << unzip.Output.substr(0, 2000);
    }
}

// ---------------------------------------------------------------------------------------------
// Refusals and failures

TEST(ZipWriter, RefusedCallsWriteNothingAndLeaveTheWriterUsable) {
    std::vector<uint8_t> out;
    TZipMemorySink sink(out);
    TZipWriter zip(sink);
    zip.AddMember("a", "1");
    const struct {
        const char* What;
        std::function<void()> Call;
        const char* Message;
    } refusals[] = {
        {"empty name", [&] { zip.AddMember("", "x"); }, "A ZIP member needs a name"},
        {"stray continuation byte", [&] { zip.AddMember("b\x80", "x"); }, "ZIP member name is not valid UTF-8"},
        {"overlong form", [&] { zip.AddMember("\xC0\xAF", "x"); }, "ZIP member name is not valid UTF-8"},
        {"surrogate", [&] { zip.BeginMember("\xED\xA0\x80"); }, "ZIP member name is not valid UTF-8"},
        {"cut sequence", [&] { zip.AddMember("ab\xE2\x82", "x"); }, "ZIP member name is not valid UTF-8"},
        {"above U+10FFFF", [&] { zip.AddMember("\xF4\x90\x80\x80", "x"); }, "ZIP member name is not valid UTF-8"},
        {"long name", [&] { zip.AddMember(std::string(65536, 'n'), "x"); }, "ZIP member name longer than 65535 bytes"},
        {"same name", [&] { zip.BeginMember("a"); }, "ZIP member \"a\" is already in the archive"},
        {"level 10", [&] { zip.AddMember("c", "x", {TZipMethod::Deflated, 10}); }, "Compression level 10 is outside 0 to 9"},
        {"level -1", [&] { zip.BeginMember("c", {TZipMethod::Deflated, -1}); }, "Compression level -1 is outside 0 to 9"},
        {"streamed stored", [&] { zip.BeginMember("c", {TZipMethod::Stored}); },
         "ZIP member \"c\" cannot be streamed stored: add it whole, or deflate it (level 0 does not compress)"},
        {"write outside a member", [&] { zip.Write("x"); }, "No ZIP member is being written"},
        {"end outside a member", [&] { zip.EndMember(); }, "No ZIP member is being written"},
    };
    const uint64_t size = zip.Size();
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.What);
        EXPECT_THROW_MSG(r.Call(), Error, r.Message);
    }
    EXPECT_EQ(zip.Size(), size);

    zip.BeginMember("s");
    zip.Write("streamed");
    EXPECT_THROW_MSG(zip.AddMember("d", "x"), Error, "ZIP member \"s\" is still being written");
    EXPECT_THROW_MSG(zip.BeginMember("d"), Error, "ZIP member \"s\" is still being written");
    EXPECT_THROW_MSG(zip.Finish(), Error, "ZIP member \"s\" is still being written");
    zip.Write(" on");
    zip.EndMember();
    zip.AddMember(std::string(65535, 'n'), "longest name");
    zip.Finish();
    EXPECT_FALSE(zip.Failed());
    EXPECT_THROW_MSG(zip.AddMember("e", "x"), Error, "The ZIP archive is already finished");
    EXPECT_THROW_MSG(zip.Finish(), Error, "The ZIP archive is already finished");

    TTempDir dir;
    SaveArchive(dir.File("r.zip"), out);
    const TPythonView view = ReadWithPython(dir.File("r.zip"));
    ASSERT_EQ(view.Members.size(), 3u) << view.Output;
    EXPECT_EQ(view.Members[1].Name, "s");
    EXPECT_EQ(view.Members[1].Read, ReadLine(11, Crc("streamed on")));
}

// A sink's failure reaches the caller as it was thrown, wherever it happens, and the writer
// refuses to go on with a broken archive.
TEST(ZipWriter, SinkFailurePropagatesAndStopsTheWriter) {
    const std::string big = SheetXml(3000);
    const std::string large = RandomBytes(100000, 3);
    const auto writeAll = [&](TZipWriter& zip) {
        zip.AddMember("small", "x");
        zip.AddMember("large", large, {TZipMethod::Stored});
        zip.BeginMember("sheet", {TZipMethod::Deflated, 0});
        for (int i = 0; i < 10; ++i) zip.Write(big);
        zip.EndMember();
        zip.Finish();
    };
    TZipWriter::TOptions options;
    options.BufferSize = 65536;
    TFailingSink unlimited(UINT64_MAX);
    TZipWriter whole(unlimited, options);
    writeAll(whole);

    const struct {
        const char* Where;
        uint64_t Limit;
    } cases[] = {
        {"first flush of whole members", 0},
        {"a large whole member written past the buffer", 70000},
        {"streamed data", 300000},
        {"final flush", unlimited.Received() - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Where);
        TFailingSink sink(c.Limit);
        TZipWriter zip(sink, options);
        try {
            writeAll(zip);
            ADD_FAILURE() << "no failure";
        } catch (const FileError& error) {
            EXPECT_EQ(error.Path(), "/out/book.xlsx");
            EXPECT_EQ(std::string(error.what()), "Disk full");
            EXPECT_EQ(error.Code(), ENOSPC);
        }
        EXPECT_TRUE(zip.Failed());
        const char* broken = "The ZIP archive cannot be continued after an earlier failure";
        EXPECT_THROW_MSG(zip.AddMember("more", "x"), Error, broken);
        EXPECT_THROW_MSG(zip.BeginMember("more"), Error, broken);
        EXPECT_THROW_MSG(zip.Write("x"), Error, broken);
        EXPECT_THROW_MSG(zip.EndMember(), Error, broken);
        EXPECT_THROW_MSG(zip.Finish(), Error, broken);
    }
}

TEST(DosDateTime, EncodesCalendarTimesAndRefusesOthers) {
    const struct {
        int Y, Mo, D, H, Mi, S;
        uint16_t Date, Time;
    } stamps[] = {
        {1980, 1, 1, 0, 0, 0, 0x0021, 0x0000},
        {2024, 2, 29, 23, 59, 59, 0x585D, 0xBF7D},  // odd second rounded down
        {2000, 2, 29, 12, 0, 1, 0x285D, 0x6000},
        {2107, 12, 31, 23, 59, 58, 0xFF9F, 0xBF7D},
    };
    for (const auto& s : stamps) {
        const TDosDateTime stamp = DosDateTime(s.Y, s.Mo, s.D, s.H, s.Mi, s.S);
        EXPECT_EQ(stamp.Date, s.Date) << s.Y << "-" << s.Mo << "-" << s.D;
        EXPECT_EQ(stamp.Time, s.Time) << s.H << ":" << s.Mi << ":" << s.S;
    }
    EXPECT_EQ(TDosDateTime{}, DosDateTime(1980, 1, 1));

    const struct {
        int Y, Mo, D, H, Mi, S;
    } refused[] = {
        {1979, 12, 31, 23, 59, 59}, {2108, 1, 1, 0, 0, 0}, {2023, 2, 29, 0, 0, 0}, {1900 + 200, 2, 29, 0, 0, 0},
        {2024, 4, 31, 0, 0, 0},     {2024, 13, 1, 0, 0, 0}, {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0},     {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0},
    };
    for (const auto& r : refused) EXPECT_THROW(DosDateTime(r.Y, r.Mo, r.D, r.H, r.Mi, r.S), Error) << r.Y << "-" << r.Mo << "-" << r.D;
    EXPECT_THROW_MSG(DosDateTime(1979, 12, 31, 23, 59, 59), Error,
                     "The time 1979-12-31 23:59:59 cannot be stored in a ZIP archive");
}

// ---------------------------------------------------------------------------------------------
// LibreOffice

// A minimal workbook package as a later writer will produce it: small parts given whole, the
// sheet streamed in row-sized pieces with a data descriptor.
TEST(ZipWriter, LibreOfficeOpensAPackageWithAStreamedSheet) {
    if (std::string(QUARVEL_SOFFICE).empty()) GTEST_SKIP() << "soffice is not installed";
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string relationships = "http://schemas.openxmlformats.org/package/2006/relationships";
    const std::string officeDocument = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    TTempDir dir;
    std::vector<uint8_t> out;
    TZipMemorySink sink(out);
    TZipWriter zip(sink);
    zip.AddMember("[Content_Types].xml",
                  declaration +
                      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                      "<Override PartName=\"/xl/workbook.xml\" "
                      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                      "</Types>");
    zip.AddMember("_rels/.rels", declaration + "<Relationships xmlns=\"" + relationships +
                                     "\"><Relationship Id=\"rId1\" Type=\"" + officeDocument +
                                     "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>",
                  {TZipMethod::Stored});
    zip.AddMember("xl/workbook.xml", declaration + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + officeDocument +
                                         "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    zip.AddMember("xl/_rels/workbook.xml.rels", declaration + "<Relationships xmlns=\"" + relationships +
                                                    "\"><Relationship Id=\"rId1\" Type=\"" + officeDocument +
                                                    "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    zip.BeginMember("xl/worksheets/sheet1.xml", {TZipMethod::Deflated, 1});
    zip.Write(declaration + "<worksheet xmlns=\"" + main + "\"><sheetData>");
    std::string expected;
    for (int r = 1; r <= 5000; ++r) {
        const std::string row = std::to_string(r);
        zip.Write("<row r=\"" + row + "\"><c r=\"A" + row + "\"><v>" + std::to_string(r * 3) + "</v></c><c r=\"B" + row +
                  "\" t=\"inlineStr\"><is><t>t\xC3\xA9" + row + "</t></is></c></row>");
        expected += std::to_string(r * 3) + ",t\xC3\xA9" + row + "\n";
    }
    zip.Write("</sheetData></worksheet>");
    zip.EndMember();
    zip.Finish();
    SaveArchive(dir.File("book.xlsx"), out);

    // Its own profile folder, so that a LibreOffice the user runs meanwhile is not disturbed; the
    // filter options ask for commas, double quotes and UTF-8.
    const TRunResult convert =
        RunCommand(Quote(QUARVEL_SOFFICE) + " -env:UserInstallation=file://" + dir.File("profile") +
            " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " + Quote(dir.File("csv")) +
            " " + Quote(dir.File("book.xlsx")));
    ASSERT_EQ(convert.Status, 0) << convert.Output;
    std::string csv;
    ASSERT_NO_THROW(csv = ReadBytes(dir.File("csv/book.csv"))) << convert.Output;
    EXPECT_TRUE(csv == expected) << convert.Output << csv.substr(0, 200);
}

// ---------------------------------------------------------------------------------------------
// Real ZIP64

// Writes to a file, leaving holes for blocks of zeros: a member of 4 GiB of zeros takes no disk.
class TSparseFileSink final : public TZipSink {
public:
    explicit TSparseFileSink(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd_ < 0) throw FileError(path, "cannot create", errno);
    }
    ~TSparseFileSink() override {
        if (fd_ >= 0) ::close(fd_);
    }
    void Write(const uint8_t* data, size_t count) override {
        constexpr size_t kBlock = 1 << 16;
        static const uint8_t zeros[kBlock] = {};
        while (count > 0) {
            const size_t n = std::min(count, kBlock);
            if (n < kBlock || std::memcmp(data, zeros, n) != 0) {
                for (size_t done = 0; done < n;) {
                    const ssize_t w = ::pwrite(fd_, data + done, n - done, static_cast<off_t>(size_ + done));
                    if (w <= 0) throw FileError(path_, "write failed", errno);
                    done += static_cast<size_t>(w);
                }
            }
            size_ += n;
            data += n;
            count -= n;
        }
    }
    void Close() {
        if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0 || ::close(fd_) != 0) throw FileError(path_, "close failed", errno);
        fd_ = -1;
    }

private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

long PeakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A member of 4 GiB + 1 zeros given whole (from untouched, zero-filled address space) pushes the
// next local headers past 4 GiB; the next member is streamed, more than 4 GiB of text deflated
// from a generator; a small member follows. Python reads every byte back and checks each CRC
// (about 30 s in all); with QUARVEL_SLOW_TESTS set in the environment, unzip -t checks it too
// (about 30 s more).
TEST(ZipWriter, Zip64ForMembersAndOffsetsPastFourGiB) {
    constexpr uint64_t kFourGiB = uint64_t(1) << 32;
    const auto started = std::chrono::steady_clock::now();
    TTempDir dir;
    const std::string path = dir.File("big.zip");
    const long residentBefore = PeakResidentKiB();

    const size_t zerosSize = kFourGiB + 1;
    void* zeros = ::mmap(nullptr, zerosSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    const std::string line = "<row r=\"1\"><c r=\"A1\" t=\"n\"><v>12345</v></c><c r=\"B1\"><v>0.5</v></c></row>\n";
    std::string chunk;
    while (chunk.size() < (size_t(1) << 20)) chunk += line;
    const uint64_t chunks = kFourGiB / chunk.size() + 2;  // past 4 GiB
    uint32_t textCrc = 0;
    {
        TSparseFileSink sink(path);
        TZipWriter zip(sink);
        zip.AddMember("zeros.bin", zeros, zerosSize, {TZipMethod::Stored});
        zip.BeginMember("xl/worksheets/sheet1.xml", {TZipMethod::Deflated, 1});
        for (uint64_t i = 0; i < chunks; ++i) {
            zip.Write(chunk);
            textCrc = static_cast<uint32_t>(crc32_z(textCrc, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size()));
        }
        zip.EndMember();
        zip.AddMember("tail.txt", "the end");
        zip.Finish();
        sink.Close();
    }
    ::munmap(zeros, zerosSize);
    const double writeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Constant memory: neither the whole member (address space only) nor the streamed one stays.
    EXPECT_LT(PeakResidentKiB() - residentBefore, 64 * 1024);

    const TPythonView view = ReadWithPython(path);
    ASSERT_EQ(view.Members.size(), 3u) << view.Output;
    const uint64_t textSize = chunks * chunk.size();
    EXPECT_EQ(view.Members[0].Size, zerosSize);
    EXPECT_EQ(view.Members[0].CompressedSize, zerosSize);
    // The CRC Python computed over what it read equals the one in the directory.
    EXPECT_EQ(view.Members[0].Read, ReadLine(zerosSize, view.Members[0].Crc));
    EXPECT_EQ(view.Members[1].Name, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(view.Members[1].Offset, 30 + 9 + 20 + zerosSize);  // header, name, ZIP64 field, data
    EXPECT_EQ(view.Members[1].Size, textSize);
    EXPECT_EQ(view.Members[1].Crc, textCrc);
    EXPECT_EQ(view.Members[1].Read, ReadLine(textSize, textCrc));
    EXPECT_GT(view.Members[2].Offset, kFourGiB);
    EXPECT_EQ(view.Members[2].Read, ReadLine(7, Crc("the end")));

    // What Python skips: the local headers and the data descriptor of the streamed member.
    const auto bytesAt = [&](uint64_t offset, size_t count) {
        std::vector<uint8_t> bytes(count);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = ::pread(fd, bytes.data(), count, static_cast<off_t>(offset));
        ::close(fd);
        bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
        return bytes;
    };
    const std::vector<uint8_t> wholeHeader = bytesAt(0, 30 + 9 + 20);
    ASSERT_EQ(wholeHeader.size(), 59u);
    EXPECT_EQ(Le16(wholeHeader, 4), 45);                  // version needed
    EXPECT_EQ(Le32(wholeHeader, 18), 0xFFFFFFFFu);        // compressed size: in the ZIP64 field
    EXPECT_EQ(Le16(wholeHeader, 28), 20);                 // extra length
    EXPECT_EQ(Le16(wholeHeader, 39), 0x0001);             // ZIP64 field
    EXPECT_EQ(Le64(wholeHeader, 43), zerosSize);          // size
    EXPECT_EQ(Le64(wholeHeader, 51), zerosSize);          // compressed size
    const std::vector<uint8_t> streamedHeader = bytesAt(view.Members[1].Offset, 30);
    ASSERT_EQ(streamedHeader.size(), 30u);
    EXPECT_EQ(Le16(streamedHeader, 4), 45);
    EXPECT_EQ(Le16(streamedHeader, 6), 0x0008);
    EXPECT_EQ(Le32(streamedHeader, 22), 0u);  // size in the descriptor
    EXPECT_EQ(Le16(streamedHeader, 28), 0);   // no ZIP64 field: the size was not known
    const std::vector<uint8_t> descriptor = bytesAt(view.Members[2].Offset - 24, 24);
    ASSERT_EQ(descriptor.size(), 24u);
    EXPECT_EQ(Le32(descriptor, 0), 0x08074B50u);
    EXPECT_EQ(Le32(descriptor, 4), textCrc);
    EXPECT_EQ(Le64(descriptor, 8), view.Members[1].CompressedSize);
    EXPECT_EQ(Le64(descriptor, 16), textSize);
    const double readSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() - writeSeconds;
    std::printf("written in %.1f s, read back by Python in %.1f s\n", writeSeconds, readSeconds);
    // unzip takes about as long again as the rest: only on request.
    if (std::getenv("QUARVEL_SLOW_TESTS")) {
        const TRunResult unzip = TestWithUnzip(path);
        EXPECT_EQ(unzip.Status, 0) << unzip.Output;
    }
}

}  // namespace
}  // namespace quarvel
