// Our own writer of OLE2 compound files (MS-CFB version 3, 512-byte sectors) holding one stream in
// the root storage, and of plain byte files through the same buffered machinery.
//
// The stream is written sequentially with seek-back patching. Bytes go through a tail buffer; the
// stream's sectors lie contiguously right after the header, so a file target receives them in place
// and never holds the whole stream in memory. Commit lays out the rest of the container behind the
// stream (directory, mini FAT, FAT, DIFAT), writes the header last and, for a file, commits the
// atomic output. A stream under 4096 bytes becomes the mini stream of the root entry
// without being moved: its sectors are the mini stream's sectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Errors.h"

namespace quarvel {

// Where the finished bytes go (implementations in CompoundFile.cpp).
class TByteTarget {
public:
    virtual ~TByteTarget() = default;
    virtual void WriteAt(uint64_t offset, const uint8_t* data, size_t count) = 0;
    virtual void Commit() = 0;       // makes the result visible; the target is done afterwards
    virtual void Abort() noexcept = 0;  // discards everything; an existing target stays untouched
};

class TCompoundFileWriter {
public:
    enum class TLayout : uint8_t {
        Container,  // an MS-CFB file with one stream in its root storage
        Plain       // only the stream's bytes
    };

    static constexpr uint32_t SectorSize = 512;
    static constexpr uint32_t MiniSectorSize = 64;
    static constexpr uint32_t MiniStreamCutoff = 4096;
    // Stream positions are 32-bit signed values to the record stream, and a version 3 compound file
    // holds streams of at most 2 GB: a larger stream is refused rather than written wrong.
    static constexpr uint64_t MaxStreamSize = 0x7FFFFFFF;
    static constexpr size_t DefaultBufferSize = size_t(1) << 20;

    // A file at `path` (UTF-8), written by TAtomicFile (platform/AtomicFile.h): normally a temporary
    // file in the target's folder, which Commit renames over `path`; Abort (or destruction without
    // Commit) removes it, leaving an existing file alone. Without `syncOnCommit` the file is not
    // synced to the disk (with it, the process-wide switch decides). Failures throw FileError.
    static std::unique_ptr<TCompoundFileWriter> ToFile(const std::string& path, TLayout layout,
                                                       const std::u16string& streamName = u"Workbook",
                                                       size_t bufferSize = DefaultBufferSize,
                                                       bool syncOnCommit = true);
    // Built in memory; Commit replaces the contents of `out` with the finished bytes, Abort leaves
    // `out` untouched. `out` must outlive the writer.
    static std::unique_ptr<TCompoundFileWriter> ToMemory(std::vector<uint8_t>& out, TLayout layout,
                                                         const std::u16string& streamName = u"Workbook",
                                                         size_t bufferSize = DefaultBufferSize);

    TCompoundFileWriter(const TCompoundFileWriter&) = delete;
    TCompoundFileWriter& operator=(const TCompoundFileWriter&) = delete;
    ~TCompoundFileWriter();

    // Writes at the current position and moves it on; writing past the end extends the stream.
    void Write(const void* data, size_t count) {
        if (pos_ == size_ && bufLen_ + count <= bufCap_ && pos_ + count <= MaxStreamSize && open_) {
            if (count) std::memcpy(buffer_.get() + bufLen_, data, count);
            bufLen_ += count;
            pos_ += count;
            size_ = pos_;
            return;
        }
        WriteSlow(static_cast<const uint8_t*>(data), count);
    }
    // Moves the current position; a position past the end does not extend the stream until written.
    void Seek(uint64_t position);
    uint64_t Position() const { return pos_; }
    uint64_t Size() const { return size_; }
    bool IsOpen() const { return open_; }

    // Completes the container (or plain file) and makes it visible. On failure everything is
    // discarded and the error propagates.
    void Commit();
    // Discards everything written; never throws.
    void Abort() noexcept;

private:
    TCompoundFileWriter(std::unique_ptr<TByteTarget> target, TLayout layout, std::u16string streamName,
                        size_t bufferSize);
    void WriteSlow(const uint8_t* data, size_t count);
    void Flush();
    void WriteContainerTail();

    std::unique_ptr<TByteTarget> target_;
    TLayout layout_;
    std::u16string streamName_;
    uint64_t base_;  // target offset of stream byte 0
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufCap_;
    size_t bufLen_ = 0;
    uint64_t bufStart_ = 0;  // stream offset of buffer_[0]; the buffer always holds the stream's tail
    uint64_t pos_ = 0;
    uint64_t size_ = 0;
    bool open_ = true;
};

}  // namespace quarvel
