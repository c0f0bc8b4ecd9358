#include "platform/CompoundFile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/ByteBuffer.h"

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

// Directory entry, 128 bytes:
//   offset size field
//   0      64   name, UTF-16 with a terminating 0, zero-padded (at most 31 characters)
//   64     2    name length in bytes, terminator included (0 for an unused entry)
//   66     1    object type: 0 unused, 2 stream, 5 root storage
//   67     1    colour in the red-black tree: 0 red, 1 black
//   68     4    left sibling          72  4  right sibling          76  4  child
//   80     16   class id              96  4  state bits
//   100    8    creation time         108 8  modification time
//   116    4    starting sector       120 8  size in bytes
void PutDirEntry(TByteBuffer& out, const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                 uint64_t size) {
    const size_t n = std::min<size_t>(name.size(), 31);
    out.PutUtf16(name.data(), n);
    out.PutFill(64 - 2 * n);
    out.PutU16(static_cast<uint16_t>(type == 0 ? 0 : 2 * (n + 1)));
    out.PutU8(type);
    out.PutU8(type == 0 ? 0 : 1);  // black: a tree of one node per level is a valid red-black tree
    out.PutU32(kNoStream);         // left sibling
    out.PutU32(kNoStream);         // right sibling
    out.PutU32(child);
    out.PutFill(16);  // class id
    out.PutU32(0);    // state bits
    out.PutU64(0);    // creation time
    out.PutU64(0);    // modification time
    out.PutU32(start);
    out.PutU64(size);
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

    // Everything from the end of the stream to the end of the file, the header excepted, in sector
    // order: the padding of the stream's last sector, the directory, the mini FAT, the FAT and the
    // DIFAT.
    const uint64_t dataEnd = uint64_t(p.dataSectors) * SectorSize;
    const size_t padding = static_cast<size_t>(dataEnd - streamSize);
    const size_t tailSectors = p.totalSectors - p.dataSectors;
    TByteBuffer tail(padding + size_t(tailSectors) * SectorSize);
    tail.PutFill(padding);

    // Directory: root entry, the stream, two unused entries.
    const bool hasData = streamSize > 0;
    const uint64_t miniStreamSize = p.mini ? CeilDiv(streamSize, MiniSectorSize) * uint64_t(MiniSectorSize) : 0;
    PutDirEntry(tail, u"Root Entry", 5, 1, p.mini && hasData ? 0 : kEndOfChain, miniStreamSize);
    PutDirEntry(tail, streamName_, 2, kNoStream, hasData ? 0 : kEndOfChain, streamSize);
    PutDirEntry(tail, u"", 0, kNoStream, 0, 0);
    PutDirEntry(tail, u"", 0, kNoStream, 0, 0);

    // Mini FAT: the stream's mini sectors in one chain.
    if (p.miniFatSectors) {
        const uint32_t miniSectors = CeilDiv(streamSize, MiniSectorSize);
        for (uint32_t i = 0; i < kEntriesPerSector; ++i)
            tail.PutU32(i + 1 < miniSectors ? i + 1 : (i + 1 == miniSectors ? kEndOfChain : kFreeSect));
    }

    // FAT: the data sectors (the stream, or the root's mini stream) in one chain, then one sector
    // each for the directory and the mini FAT, then the FAT's and DIFAT's own sectors.
    std::vector<uint32_t> fat(size_t(p.fatSectors) * kEntriesPerSector, kFreeSect);
    for (uint32_t s = 0; s < p.dataSectors; ++s) fat[s] = s + 1 < p.dataSectors ? s + 1 : kEndOfChain;
    fat[p.dirSector] = kEndOfChain;
    if (p.miniFatSectors) fat[p.miniFatStart] = kEndOfChain;
    for (uint32_t i = 0; i < p.fatSectors; ++i) fat[p.fatStart + i] = kFatSect;
    for (uint32_t i = 0; i < p.difatSectors; ++i) fat[p.difatStart + i] = kDifSect;
    for (const uint32_t entry : fat) tail.PutU32(entry);

    // DIFAT sectors: the FAT sectors beyond the header's 109, 127 to a sector, each linking on.
    for (uint32_t d = 0; d < p.difatSectors; ++d) {
        for (uint32_t j = 0; j < kDifatEntriesPerSector; ++j) {
            const uint64_t fatIndex = kHeaderDifatEntries + uint64_t(d) * kDifatEntriesPerSector + j;
            tail.PutU32(fatIndex < p.fatSectors ? p.fatStart + static_cast<uint32_t>(fatIndex) : kFreeSect);
        }
        tail.PutU32(d + 1 < p.difatSectors ? p.difatStart + d + 1 : kEndOfChain);
    }
    if (tail.Size() != padding + size_t(tailSectors) * SectorSize)
        throw Error("Compound file tail of " + std::to_string(tail.Size()) + " bytes where its sectors take " +
                    std::to_string(padding + size_t(tailSectors) * SectorSize));
    target_->WriteAt(base_ + streamSize, tail.Data(), tail.Size());

    // Header, last, its fields in file order.
    static const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    TByteBuffer h(SectorSize);
    h.PutBytes(signature, 8);       // 0x00
    h.PutFill(16);                  // 0x08 class id
    h.PutU16(0x003E);               // 0x18 minor version
    h.PutU16(0x0003);               // 0x1A major version 3: 512-byte sectors
    h.PutU16(0xFFFE);               // 0x1C byte order: little-endian
    h.PutU16(9);                    // 0x1E sector shift: 512 bytes
    h.PutU16(6);                    // 0x20 mini sector shift: 64 bytes
    h.PutFill(6);                   // 0x22 reserved
    h.PutU32(0);                    // 0x28 directory sectors (always 0 in version 3)
    h.PutU32(p.fatSectors);         // 0x2C FAT sectors
    h.PutU32(p.dirSector);          // 0x30 first directory sector
    h.PutU32(0);                    // 0x34 transaction signature
    h.PutU32(MiniStreamCutoff);     // 0x38 mini stream cutoff
    h.PutU32(p.miniFatStart);       // 0x3C first mini FAT sector
    h.PutU32(p.miniFatSectors);     // 0x40 mini FAT sectors
    h.PutU32(p.difatStart);         // 0x44 first DIFAT sector
    h.PutU32(p.difatSectors);       // 0x48 DIFAT sectors
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)  // 0x4C the first 109 FAT sectors
        h.PutU32(i < p.fatSectors ? p.fatStart + i : kFreeSect);
    if (h.Size() != SectorSize)
        throw Error("Compound file header of " + std::to_string(h.Size()) + " bytes instead of 512");
    target_->WriteAt(0, h.Data(), h.Size());
}

}  // namespace quarvel
