#include "platform/CompoundFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/AtomicFile.h"

namespace quarvel {

namespace {

// ---------------------------------------------------------------------------------------------
// Targets

// A file written through the atomic writer: a temporary file beside the target renamed over it on
// commit, or the target itself where it is written in place.
class TFileTarget final : public TByteTarget {
public:
    TFileTarget(const std::string& path, bool sync) : file_(path, TAtomicFileOptions{sync, true}) {}

    void WriteAt(uint64_t offset, const uint8_t* data, size_t count) override { file_.WriteAt(offset, data, count); }
    void Commit() override { file_.Commit(); }
    void Abort() noexcept override { file_.Abort(); }

private:
    TAtomicFile file_;
};

// A byte vector handed to the caller's vector on commit.
class TMemoryTarget final : public TByteTarget {
public:
    explicit TMemoryTarget(std::vector<uint8_t>& out) : out_(out) {}

    void WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
        if (offset == bytes_.size()) {  // appending: no zero-fill first
            bytes_.insert(bytes_.end(), data, data + count);
            return;
        }
        if (offset + count > bytes_.size()) bytes_.resize(offset + count);
        if (count) std::memcpy(bytes_.data() + offset, data, count);
    }
    void Commit() override { out_ = std::move(bytes_); }
    void Abort() noexcept override { std::vector<uint8_t>().swap(bytes_); }

private:
    std::vector<uint8_t>& out_;
    std::vector<uint8_t> bytes_;
};

// ---------------------------------------------------------------------------------------------
// Container layout

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kEntriesPerSector = TCompoundFileWriter::SectorSize / 4;  // 128
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kDifatEntriesPerSector = kEntriesPerSector - 1;  // the last one links on

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t CeilDiv(uint64_t a, uint64_t b) { return static_cast<uint32_t>((a + b - 1) / b); }

// Sector numbers of everything behind the stream's sectors, in this order: directory, mini FAT
// (small streams only), FAT, DIFAT.
struct TPlan {
    bool mini = false;
    uint32_t dataSectors = 0;
    uint32_t dirSector = 0;
    uint32_t miniFatStart = kEndOfChain;
    uint32_t miniFatSectors = 0;
    uint32_t fatStart = 0;
    uint32_t fatSectors = 0;
    uint32_t difatStart = kEndOfChain;
    uint32_t difatSectors = 0;
    uint32_t totalSectors = 0;
};

TPlan PlanContainer(uint64_t streamSize) {
    TPlan p;
    p.mini = streamSize < TCompoundFileWriter::MiniStreamCutoff;
    p.dataSectors = CeilDiv(streamSize, TCompoundFileWriter::SectorSize);
    p.dirSector = p.dataSectors;
    uint32_t next = p.dirSector + 1;
    if (p.mini && streamSize > 0) {
        // At most 64 mini sectors: one mini FAT sector holds their 128 entries.
        p.miniFatStart = next;
        p.miniFatSectors = 1;
        next += 1;
    }
    uint32_t fat = 1;
    uint32_t difat = 0;
    for (;;) {
        const uint64_t total = uint64_t(next) + fat + difat;
        const uint32_t needFat = CeilDiv(total, kEntriesPerSector);
        const uint32_t needDifat =
            needFat > kHeaderDifatEntries ? CeilDiv(needFat - kHeaderDifatEntries, kDifatEntriesPerSector) : 0;
        if (needFat <= fat && needDifat <= difat) break;
        fat = std::max(fat, needFat);
        difat = std::max(difat, needDifat);
    }
    p.fatStart = next;
    p.fatSectors = fat;
    p.difatStart = difat ? next + fat : kEndOfChain;
    p.difatSectors = difat;
    p.totalSectors = next + fat + difat;
    return p;
}

void PutDirEntry(uint8_t* e, const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                 uint64_t size) {
    std::memset(e, 0, 128);
    const size_t n = std::min<size_t>(name.size(), 31);
    for (size_t i = 0; i < n; ++i) Put16(e + 2 * i, static_cast<uint16_t>(name[i]));
    Put16(e + 64, static_cast<uint16_t>(type == 0 ? 0 : 2 * (n + 1)));
    e[66] = type;
    e[67] = type == 0 ? 0 : 1;  // black: a tree of one node per level is a valid red-black tree
    Put32(e + 68, kNoStream);   // left sibling
    Put32(e + 72, kNoStream);   // right sibling
    Put32(e + 76, child);
    Put32(e + 116, start);
    Put64(e + 120, size);
}

}  // namespace

// -------------------------------------------------------------------------------------------------

std::unique_ptr<TCompoundFileWriter> TCompoundFileWriter::ToFile(const std::string& path, TLayout layout,
                                                                 const std::u16string& streamName,
                                                                 size_t bufferSize, bool syncOnCommit) {
    return std::unique_ptr<TCompoundFileWriter>(new TCompoundFileWriter(
        std::make_unique<TFileTarget>(path, syncOnCommit), layout, streamName, bufferSize));
}

std::unique_ptr<TCompoundFileWriter> TCompoundFileWriter::ToMemory(std::vector<uint8_t>& out, TLayout layout,
                                                                   const std::u16string& streamName,
                                                                   size_t bufferSize) {
    return std::unique_ptr<TCompoundFileWriter>(
        new TCompoundFileWriter(std::make_unique<TMemoryTarget>(out), layout, streamName, bufferSize));
}

TCompoundFileWriter::TCompoundFileWriter(std::unique_ptr<TByteTarget> target, TLayout layout,
                                         std::u16string streamName, size_t bufferSize)
    : target_(std::move(target)),
      layout_(layout),
      streamName_(std::move(streamName)),
      base_(layout == TLayout::Container ? SectorSize : 0),
      buffer_(new uint8_t[std::max<size_t>(bufferSize, 16)]),
      bufCap_(std::max<size_t>(bufferSize, 16)) {}

TCompoundFileWriter::~TCompoundFileWriter() { Abort(); }

void TCompoundFileWriter::WriteSlow(const uint8_t* data, size_t count) {
    if (!open_) throw Error("The compound file is closed");
    if (pos_ + count > MaxStreamSize) throw Error("The workbook stream would exceed 2 GB");
    while (count > 0) {
        size_t chunk;
        if (pos_ < bufStart_) {
            // Patching bytes that already left the buffer.
            chunk = static_cast<size_t>(std::min<uint64_t>(count, bufStart_ - pos_));
            target_->WriteAt(base_ + pos_, data, chunk);
        } else if (pos_ <= bufStart_ + bufLen_) {
            const size_t offset = static_cast<size_t>(pos_ - bufStart_);
            if (offset == bufCap_) {
                Flush();
                continue;
            }
            chunk = std::min(count, bufCap_ - offset);
            std::memcpy(buffer_.get() + offset, data, chunk);
            bufLen_ = std::max(bufLen_, offset + chunk);
        } else {
            // Past the end: the gap reads as zeros; the buffer starts again at the position.
            Flush();
            bufStart_ = pos_;
            continue;
        }
        data += chunk;
        count -= chunk;
        pos_ += chunk;
        size_ = std::max(size_, pos_);
    }
}

void TCompoundFileWriter::Flush() {
    if (bufLen_ > 0) {
        target_->WriteAt(base_ + bufStart_, buffer_.get(), bufLen_);
        bufStart_ += bufLen_;
        bufLen_ = 0;
    }
}

void TCompoundFileWriter::Seek(uint64_t position) {
    if (!open_) throw Error("The compound file is closed");
    pos_ = position;
}

void TCompoundFileWriter::Commit() {
    if (!open_) throw Error("The compound file is closed");
    try {
        Flush();
        if (layout_ == TLayout::Container) WriteContainerTail();
        open_ = false;
        target_->Commit();
    } catch (...) {
        Abort();
        throw;
    }
    buffer_.reset();
}

void TCompoundFileWriter::Abort() noexcept {
    open_ = false;
    if (target_) target_->Abort();
    buffer_.reset();
    bufLen_ = 0;
}

void TCompoundFileWriter::WriteContainerTail() {
    const uint64_t streamSize = size_;
    const TPlan p = PlanContainer(streamSize);

    // Everything from the end of the stream to the end of the file, the header excepted.
    const uint64_t dataEnd = uint64_t(p.dataSectors) * SectorSize;
    const size_t padding = static_cast<size_t>(dataEnd - streamSize);
    const size_t tailSectors = p.totalSectors - p.dataSectors;
    std::vector<uint8_t> tail(padding + size_t(tailSectors) * SectorSize, 0);
    auto sector = [&](uint32_t s) { return tail.data() + padding + size_t(s - p.dataSectors) * SectorSize; };

    // Directory: root entry, the stream, two unused entries.
    uint8_t* dir = sector(p.dirSector);
    const bool hasData = streamSize > 0;
    const uint64_t miniStreamSize = p.mini ? CeilDiv(streamSize, MiniSectorSize) * uint64_t(MiniSectorSize) : 0;
    PutDirEntry(dir, u"Root Entry", 5, 1, p.mini && hasData ? 0 : kEndOfChain, miniStreamSize);
    PutDirEntry(dir + 128, streamName_, 2, kNoStream, hasData ? 0 : kEndOfChain, streamSize);
    PutDirEntry(dir + 256, u"", 0, kNoStream, 0, 0);
    PutDirEntry(dir + 384, u"", 0, kNoStream, 0, 0);

    // Mini FAT: the stream's mini sectors in one chain.
    if (p.miniFatSectors) {
        uint8_t* mf = sector(p.miniFatStart);
        const uint32_t miniSectors = CeilDiv(streamSize, MiniSectorSize);
        for (uint32_t i = 0; i < kEntriesPerSector; ++i)
            Put32(mf + 4 * i, i + 1 < miniSectors ? i + 1 : (i + 1 == miniSectors ? kEndOfChain : kFreeSect));
    }

    // FAT: the data sectors (the stream, or the root's mini stream) in one chain, then one sector
    // each for the directory and the mini FAT, then the FAT's and DIFAT's own sectors.
    std::vector<uint32_t> fat(size_t(p.fatSectors) * kEntriesPerSector, kFreeSect);
    for (uint32_t s = 0; s < p.dataSectors; ++s) fat[s] = s + 1 < p.dataSectors ? s + 1 : kEndOfChain;
    fat[p.dirSector] = kEndOfChain;
    if (p.miniFatSectors) fat[p.miniFatStart] = kEndOfChain;
    for (uint32_t i = 0; i < p.fatSectors; ++i) fat[p.fatStart + i] = kFatSect;
    for (uint32_t i = 0; i < p.difatSectors; ++i) fat[p.difatStart + i] = kDifSect;
    for (uint32_t i = 0; i < p.fatSectors; ++i) {
        uint8_t* fs = sector(p.fatStart + i);
        for (uint32_t j = 0; j < kEntriesPerSector; ++j) Put32(fs + 4 * j, fat[size_t(i) * kEntriesPerSector + j]);
    }

    // DIFAT sectors: the FAT sectors beyond the header's 109, 127 to a sector, each linking on.
    for (uint32_t d = 0; d < p.difatSectors; ++d) {
        uint8_t* ds = sector(p.difatStart + d);
        for (uint32_t j = 0; j < kDifatEntriesPerSector; ++j) {
            const uint64_t fatIndex = kHeaderDifatEntries + uint64_t(d) * kDifatEntriesPerSector + j;
            Put32(ds + 4 * j, fatIndex < p.fatSectors ? p.fatStart + static_cast<uint32_t>(fatIndex) : kFreeSect);
        }
        Put32(ds + 4 * kDifatEntriesPerSector, d + 1 < p.difatSectors ? p.difatStart + d + 1 : kEndOfChain);
    }
    target_->WriteAt(base_ + streamSize, tail.data(), tail.size());

    // Header, last.
    uint8_t h[SectorSize];
    std::memset(h, 0, sizeof h);
    static const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(h, signature, 8);
    Put16(h + 0x18, 0x003E);  // minor version
    Put16(h + 0x1A, 0x0003);  // major version 3: 512-byte sectors
    Put16(h + 0x1C, 0xFFFE);  // little-endian
    Put16(h + 0x1E, 9);       // sector shift
    Put16(h + 0x20, 6);       // mini sector shift
    Put32(h + 0x2C, p.fatSectors);
    Put32(h + 0x30, p.dirSector);
    Put32(h + 0x38, MiniStreamCutoff);
    Put32(h + 0x3C, p.miniFatStart);
    Put32(h + 0x40, p.miniFatSectors);
    Put32(h + 0x44, p.difatStart);
    Put32(h + 0x48, p.difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        Put32(h + 0x4C + 4 * i, i < p.fatSectors ? p.fatStart + i : kFreeSect);
    target_->WriteAt(0, h, sizeof h);
}

}  // namespace quarvel
