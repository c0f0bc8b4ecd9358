// The compound file writer: container layout, buffered writing with patches, atomic file output, and
// independent readers (olefile, libgsf) reading back exactly the bytes written.
#include "platform/CompoundFile.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using test::Le16;
using test::Le32;
using test::ReadByteVector;
using test::TTempDir;
using TLayout = TCompoundFileWriter::TLayout;

constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kNoStream = 0xFFFFFFFF;

std::vector<uint8_t> Commit(size_t streamSize) {
    std::vector<uint8_t> out;
    auto w = TCompoundFileWriter::ToMemory(out, TLayout::Container);
    std::vector<uint8_t> zeros(streamSize, 0x5A);
    w->Write(zeros.data(), zeros.size());
    w->Commit();
    return out;
}

// Writes `size` bytes in chunks of varying size and patches earlier bytes along the way (seek back,
// overwrite, seek to the end); returns the bytes the stream must hold.
std::vector<uint8_t> WriteWithPatches(TCompoundFileWriter& w, size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> model;
    model.reserve(size);
    std::vector<uint8_t> chunk;
    while (model.size() < size) {
        const size_t n = std::min<size_t>(size - model.size(), 1 + rng() % 9000);
        chunk.resize(n);
        for (auto& b : chunk) b = static_cast<uint8_t>(rng());
        w.Write(chunk.data(), n);
        model.insert(model.end(), chunk.begin(), chunk.end());
        if (model.size() > 8 && rng() % 3 == 0) {
            const size_t at = rng() % (model.size() - 8);
            uint8_t patch[8];
            for (auto& b : patch) b = static_cast<uint8_t>(rng());
            w.Seek(at);
            w.Write(patch, sizeof patch);
            std::memcpy(model.data() + at, patch, sizeof patch);
            w.Seek(model.size());
        }
    }
    return model;
}

// ---------------------------------------------------------------------------------------------------
// Layout

TEST(CompoundFileLayout, EmptyStreamGivesHeaderDirectoryAndOneFatSector) {
    const std::vector<uint8_t> f = Commit(0);
    ASSERT_EQ(f.size(), 3u * 512);
    const std::vector<uint8_t> signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), f.begin()));
    EXPECT_EQ(Le16(f, 0x18), 0x003E);  // minor version
    EXPECT_EQ(Le16(f, 0x1A), 3);       // major version
    EXPECT_EQ(Le16(f, 0x1C), 0xFFFE);  // byte order
    EXPECT_EQ(Le16(f, 0x1E), 9);       // 512-byte sectors
    EXPECT_EQ(Le16(f, 0x20), 6);       // 64-byte mini sectors
    EXPECT_EQ(Le32(f, 0x28), 0u);      // directory sector count: 0 in version 3
    EXPECT_EQ(Le32(f, 0x2C), 1u);      // FAT sectors
    EXPECT_EQ(Le32(f, 0x30), 0u);      // first directory sector
    EXPECT_EQ(Le32(f, 0x38), 4096u);   // mini stream cutoff
    EXPECT_EQ(Le32(f, 0x3C), kEnd);    // no mini FAT
    EXPECT_EQ(Le32(f, 0x40), 0u);
    EXPECT_EQ(Le32(f, 0x44), kEnd);  // no DIFAT sector
    EXPECT_EQ(Le32(f, 0x48), 0u);
    EXPECT_EQ(Le32(f, 0x4C), 1u);  // the FAT is sector 1
    for (size_t i = 1; i < 109; ++i) EXPECT_EQ(Le32(f, 0x4C + 4 * i), kFree);

    const size_t dir = 512;
    const std::u16string root = u"Root Entry";
    for (size_t i = 0; i < root.size(); ++i) EXPECT_EQ(Le16(f, dir + 2 * i), root[i]);
    EXPECT_EQ(Le16(f, dir + 64), 22);  // name length with the terminating zero
    EXPECT_EQ(f[dir + 66], 5);         // root storage
    EXPECT_EQ(Le32(f, dir + 76), 1u);  // child: the stream
    EXPECT_EQ(Le32(f, dir + 116), kEnd);
    EXPECT_EQ(Le32(f, dir + 120), 0u);
    const size_t stream = dir + 128;
    EXPECT_EQ(Le16(f, stream + 64), 18);  // "Workbook" + zero
    EXPECT_EQ(f[stream + 66], 2);         // stream
    EXPECT_EQ(Le32(f, stream + 68), kNoStream);
    EXPECT_EQ(Le32(f, stream + 72), kNoStream);
    EXPECT_EQ(Le32(f, stream + 76), kNoStream);
    EXPECT_EQ(Le32(f, stream + 116), kEnd);  // an empty stream has no sector
    EXPECT_EQ(Le32(f, stream + 120), 0u);
    EXPECT_EQ(f[dir + 256 + 66], 0);  // unused entries
    EXPECT_EQ(f[dir + 384 + 66], 0);

    const size_t fat = 1024;
    EXPECT_EQ(Le32(f, fat), kEnd);          // the directory
    EXPECT_EQ(Le32(f, fat + 4), kFatSect);  // the FAT itself
    for (size_t i = 2; i < 128; ++i) EXPECT_EQ(Le32(f, fat + 4 * i), kFree);
}

TEST(CompoundFileLayout, SmallStreamLivesInTheMiniStreamOfTheRoot) {
    const std::vector<uint8_t> f = Commit(100);  // two mini sectors in one sector
    ASSERT_EQ(f.size(), 5u * 512);                // header, data, directory, mini FAT, FAT
    EXPECT_EQ(Le32(f, 0x30), 1u);                 // directory
    EXPECT_EQ(Le32(f, 0x3C), 2u);                 // mini FAT
    EXPECT_EQ(Le32(f, 0x40), 1u);
    const size_t dir = 2 * 512;
    EXPECT_EQ(Le32(f, dir + 116), 0u);           // the mini stream starts at sector 0
    EXPECT_EQ(Le32(f, dir + 120), 128u);         // two mini sectors
    EXPECT_EQ(Le32(f, dir + 128 + 116), 0u);     // the stream: mini sector 0
    EXPECT_EQ(Le32(f, dir + 128 + 120), 100u);   // its exact size
    const size_t miniFat = 3 * 512;
    EXPECT_EQ(Le32(f, miniFat), 1u);
    EXPECT_EQ(Le32(f, miniFat + 4), kEnd);
    EXPECT_EQ(Le32(f, miniFat + 8), kFree);
    for (size_t i = 100; i < 512; ++i) ASSERT_EQ(f[512 + i], 0) << "padding after the stream at " << i;
}

TEST(CompoundFileLayout, SectorCountsAtTheBoundaries) {
    // Stream size -> FAT sectors, DIFAT sectors, mini FAT sectors. A FAT sector maps 128 sectors,
    // itself included; the header lists 109 FAT sectors, each DIFAT sector 127 more.
    struct Case {
        size_t size;
        uint32_t fat, difat, miniFat;
    };
    const Case cases[] = {
        {1, 1, 0, 1},           {4095, 1, 0, 1},        {4096, 1, 0, 0},        {4097, 1, 0, 0},
        {126 * 512, 1, 0, 0},   {126 * 512 + 1, 2, 0, 0},
        {13842 * 512, 109, 0, 0}, {13842 * 512 + 1, 110, 1, 0},
        {29970 * 512, 236, 1, 0}, {29970 * 512 + 1, 237, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("stream of " + std::to_string(c.size) + " bytes");
        const std::vector<uint8_t> f = Commit(c.size);
        EXPECT_EQ(Le32(f, 0x2C), c.fat);
        EXPECT_EQ(Le32(f, 0x48), c.difat);
        EXPECT_EQ(Le32(f, 0x40), c.miniFat);
        const size_t dataSectors = (c.size + 511) / 512;
        EXPECT_EQ(f.size(), 512 * (1 + dataSectors + 1 + c.miniFat + c.fat + c.difat));
        // A DIFAT chain of that many sectors, ending with ENDOFCHAIN.
        if (c.difat) {
            uint32_t d = Le32(f, 0x44);
            for (uint32_t i = 1; i < c.difat; ++i) d = Le32(f, 512 + size_t(d) * 512 + 127 * 4);
            EXPECT_EQ(Le32(f, 512 + size_t(d) * 512 + 127 * 4), kEnd);
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Writing, seeking and patching

TEST(CompoundFileWriting, AnySequenceOfWritesAndSeeksMatchesAPlainByteArray) {
    // Appends, patches behind and across the buffer, writes running past the end and seeks past
    // the end (the gap reads as zeros), against every buffer size from tiny to the default.
    TTempDir dir;
    for (size_t bufferSize : {size_t(16), size_t(1000), size_t(4096), TCompoundFileWriter::DefaultBufferSize}) {
        SCOPED_TRACE("buffer of " + std::to_string(bufferSize) + " bytes");
        std::vector<uint8_t> inMemory;
        const std::string file = dir.File("plain.bin");
        auto a = TCompoundFileWriter::ToMemory(inMemory, TLayout::Plain, u"Workbook", bufferSize);
        auto b = TCompoundFileWriter::ToFile(file, TLayout::Plain, u"Workbook", bufferSize);
        std::vector<uint8_t> model;
        uint64_t pos = 0;
        std::mt19937 rng(7);
        for (int step = 0; step < 3000; ++step) {
            const unsigned kind = rng() % 10;
            if (kind < 2 && !model.empty()) {
                pos = rng() % model.size();  // back into written data
            } else if (kind == 2) {
                pos = model.size() + rng() % 50;  // past the end
            } else if (kind == 3) {
                pos = model.size();
            }
            a->Seek(pos);
            b->Seek(pos);
            std::vector<uint8_t> data(rng() % 300);
            for (auto& x : data) x = static_cast<uint8_t>(rng());
            a->Write(data.data(), data.size());
            b->Write(data.data(), data.size());
            if (pos + data.size() > model.size() && !data.empty()) model.resize(pos + data.size(), 0);
            std::copy(data.begin(), data.end(), model.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += data.size();
            ASSERT_EQ(a->Position(), pos);
            ASSERT_EQ(a->Size(), model.size());
        }
        a->Commit();
        b->Commit();
        EXPECT_EQ(inMemory, model);
        EXPECT_EQ(ReadByteVector(file), model);
    }
}

TEST(CompoundFileWriting, FileAndMemoryTargetsGiveTheSameContainer) {
    TTempDir dir;
    for (size_t size : {size_t(0), size_t(3000), size_t(70000)}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> inMemory;
        auto a = TCompoundFileWriter::ToMemory(inMemory, TLayout::Container, u"Workbook", 4096);
        auto b = TCompoundFileWriter::ToFile(dir.File("c.xls"), TLayout::Container, u"Workbook", 1000);
        const auto expectedA = WriteWithPatches(*a, size, 11);
        const auto expectedB = WriteWithPatches(*b, size, 11);
        ASSERT_EQ(expectedA, expectedB);
        a->Commit();
        b->Commit();
        EXPECT_EQ(inMemory, ReadByteVector(dir.File("c.xls")));
    }
}

TEST(CompoundFileWriting, AStreamBeyondTwoGigabytesIsRefused) {
    std::vector<uint8_t> out = {1, 2, 3};
    auto w = TCompoundFileWriter::ToMemory(out, TLayout::Container);
    w->Seek(TCompoundFileWriter::MaxStreamSize);
    const uint8_t b = 0;
    EXPECT_THROW(w->Write(&b, 1), Error);
    w->Abort();
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CompoundFileWriting, AbortLeavesTheCallersBufferUntouched) {
    std::vector<uint8_t> out = {9, 9};
    {
        auto w = TCompoundFileWriter::ToMemory(out, TLayout::Container);
        const uint8_t data[3] = {1, 2, 3};
        w->Write(data, 3);
    }  // destroyed without Commit
    EXPECT_EQ(out, (std::vector<uint8_t>{9, 9}));
}

// ---------------------------------------------------------------------------------------------------
// Atomic file output

TEST(CompoundFileOutput, TheTargetAppearsOnlyOnCommit) {
    TTempDir dir;
    const std::string target = dir.File("book.xls");
    auto w = TCompoundFileWriter::ToFile(target, TLayout::Container);
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    w->Write(data, 5);
    const auto during = dir.Entries();
    ASSERT_EQ(during.size(), 1u);
    EXPECT_NE(during[0], "book.xls");  // a temporary file beside the target
    EXPECT_EQ(during[0].substr(0, 10), ".book.xls.");
    w->Commit();
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"book.xls"});
    EXPECT_EQ(ReadByteVector(target).size() % 512, 0u);
}

TEST(CompoundFileOutput, AbandoningKeepsAnExistingTargetAndLeavesNothingBehind) {
    TTempDir dir;
    const std::string target = dir.File("book.xls");
    test::WriteBytes(target, std::vector<uint8_t>{'o', 'l', 'd'});
    for (bool explicitAbort : {true, false}) {
        auto w = TCompoundFileWriter::ToFile(target, TLayout::Container);
        const uint8_t data[5] = {1, 2, 3, 4, 5};
        w->Write(data, 5);
        if (explicitAbort) w->Abort();
        w.reset();
        EXPECT_EQ(ReadByteVector(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"book.xls"});
    }
}

TEST(CompoundFileOutput, ALongTargetNameStillGetsATemporaryFile) {
    TTempDir dir;
    const std::string target = dir.File(std::string(250, 'n') + ".xls");  // 254 bytes, the limit is 255
    auto w = TCompoundFileWriter::ToFile(target, TLayout::Container);
    w->Commit();
    EXPECT_EQ(ReadByteVector(target).size(), 3u * 512);
}

TEST(CompoundFileOutput, CommitReplacesAnExistingFile) {
    TTempDir dir;
    const std::string target = dir.File("book.xls");
    test::WriteBytes(target, std::vector<uint8_t>(10000, 0xEE));
    auto w = TCompoundFileWriter::ToFile(target, TLayout::Plain);
    const uint8_t data[3] = {1, 2, 3};
    w->Write(data, 3);
    w->Commit();
    EXPECT_EQ(ReadByteVector(target), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CompoundFileOutput, FailuresCarryTheFileTextAndThePath) {
    TTempDir dir;
    const std::string missing = dir.File("no-such-folder/book.xls");
    try {
        TCompoundFileWriter::ToFile(missing, TLayout::Container);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.Path(), missing);
    }

    // A folder as the target is refused before anything is written: the folder stays, no temporary
    // file is left.
    const std::string folder = dir.File("taken");
    std::filesystem::create_directory(folder);
    try {
        TCompoundFileWriter::ToFile(folder, TLayout::Container);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Is a directory");
        EXPECT_EQ(e.Path(), folder);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"taken"});
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// ---------------------------------------------------------------------------------------------------
// Independent readers

TEST(CompoundFileReaders, OlefileAndGsfReadBackEveryStreamSize) {
    // Empty, mini-stream sizes around the 4096-byte cutoff, several FAT sectors, and streams that need
    // one and two DIFAT sectors.
    TTempDir dir;
    std::vector<std::pair<std::string, std::string>> files;
    const size_t sizes[] = {0, 1, 4095, 4096, 4097, 65024, 300000, 13842 * 512 + 1, 29970 * 512 + 1};
    uint32_t seed = 1;
    for (size_t size : sizes) {
        const std::string name = dir.File("s" + std::to_string(size));
        // Small buffers for the small streams, so their patches also reach bytes already in the file.
        auto w = TCompoundFileWriter::ToFile(name + ".xls", TLayout::Container, u"Workbook",
                                             size < 100000 ? 512 : 64 * 1024);
        test::WriteBytes(name + ".bin", WriteWithPatches(*w, size, seed++));
        w->Commit();
        files.emplace_back(name + ".xls", name + ".bin");
    }
    const auto r = test::CheckContainers("Workbook", files);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "");
}

}  // namespace
}  // namespace quarvel
