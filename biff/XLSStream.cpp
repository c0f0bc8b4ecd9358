#include "biff/XLSStream.h"

#include <algorithm>
#include <string>

#include "platform/ByteBuffer.h"
#include "platform/CompoundFile.h"
#include "platform/Errors.h"
#include "platform/Text.h"

namespace quarvel {

TXLSStream::TXLSStream() : bufferSize_(TCompoundFileWriter::DefaultBufferSize) {}

TXLSStream::~TXLSStream() { Abort(); }

void TXLSStream::OpenWrite(const WideString& fileName, TExcelVersion version) {
    Abort();
    fileVersion_ = version;
    continueMax_ = -1;
    continueWritten_ = 0;
    continuePos_ = -1;
    using TLayout = TCompoundFileWriter::TLayout;
    // BIFF2 to BIFF4 files are plain record streams; BIFF5 calls its stream "Book".
    const TLayout layout = version < xvExcel50 ? TLayout::Plain : TLayout::Container;
    const std::u16string streamName = version == xvExcel50 ? u"Book" : u"Workbook";
    if (outputStream_) {
        writer_ = TCompoundFileWriter::ToMemory(*outputStream_, layout, streamName, bufferSize_);
    } else {
        if (fileName.empty()) throw Error("Filename is missing");
        // File names are UTF-16 in the model and UTF-8 on Linux.
        writer_ = TCompoundFileWriter::ToFile(Utf16ToUtf8(fileName), layout, streamName, bufferSize_, syncOnCommit_);
    }
}

void TXLSStream::OpenWriteRaw(std::vector<uint8_t>& out) {
    Abort();
    fileVersion_ = xvExcel97;
    continueMax_ = -1;
    continueWritten_ = 0;
    continuePos_ = -1;
    writer_ = TCompoundFileWriter::ToMemory(out, TCompoundFileWriter::TLayout::Plain, u"Workbook", bufferSize_);
}

void TXLSStream::Close() {
    if (!writer_) return;
    std::unique_ptr<TCompoundFileWriter> writer = std::move(writer_);
    writer->Commit();  // abandons the output itself when it fails
}

void TXLSStream::Abort() noexcept {
    if (writer_) {
        writer_->Abort();
        writer_.reset();
    }
}

TCompoundFileWriter& TXLSStream::Writer() {
    if (!writer_) throw Error("The record stream is not open");
    return *writer_;
}

void TXLSStream::WriteHeader(uint16_t id, uint16_t length) {
    uint8_t h[4];
    StoreU16(h, id);
    StoreU16(h + 2, length);
    Writer().Write(h, 4);
}

int32_t TXLSStream::WriteDirect(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    Writer().Write(buffer, static_cast<size_t>(count));
    return count;
}

int32_t TXLSStream::Write(const void* buffer, int32_t count) {
    if (continueMax_ <= 0) {
        const int32_t written = WriteDirect(buffer, count);
        continueWritten_ += written;
        return written;
    }
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (count > 0 && continueWritten_ + count > continueMax_) {
        const int32_t room = continueMax_ - continueWritten_;
        // The current record is now exactly full.
        PatchWord(continuePos_ + 2, static_cast<uint16_t>(continueMax_));
        WriteDirect(p, room);
        p += room;
        count -= room;
        continuePos_ = Pos();
        WriteHeader(ContinueId, 0);
        continueWritten_ = 0;
    }
    WriteDirect(p, count);
    if (count > 0) continueWritten_ += count;
    return 0;
}

void TXLSStream::WriteRecordBytes(const uint8_t* record, size_t size) { Writer().Write(record, size); }

void TXLSStream::WriteRecord(uint16_t id, const void* body, uint16_t length) {
    WriteHeader(id, length);
    WriteDirect(body, length);
}

void TXLSStream::WriteWordRecord(uint16_t id, uint16_t value) {
    WriteHeader(id, 2);
    WriteWord(value);
}

void TXLSStream::WriteByte(uint8_t value) { Writer().Write(&value, 1); }

void TXLSStream::WriteWord(uint16_t value) {
    uint8_t b[2];
    StoreU16(b, value);
    Writer().Write(b, 2);
}

void TXLSStream::WriteDWord(uint32_t value) {
    uint8_t b[4];
    StoreU32(b, value);
    Writer().Write(b, 4);
}

int32_t TXLSStream::Seek(int32_t offset, int origin) {
    TCompoundFileWriter& w = Writer();
    int64_t base;
    switch (origin) {
        case soFromBeginning: base = 0; break;
        case soFromCurrent: base = static_cast<int64_t>(w.Position()); break;
        case soFromEnd: base = static_cast<int64_t>(w.Size()); break;
        default: throw Error("Invalid seek origin " + std::to_string(origin));
    }
    const int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(TCompoundFileWriter::MaxStreamSize))
        throw Error("Invalid stream position " + std::to_string(target));
    w.Seek(static_cast<uint64_t>(target));
    return static_cast<int32_t>(target);
}

int32_t TXLSStream::Pos() { return static_cast<int32_t>(Writer().Position()); }

void TXLSStream::PatchWord(int32_t position, uint16_t value) {
    Seek(position, soFromBeginning);
    WriteWord(value);
    Seek(0, soFromEnd);
}

void TXLSStream::BeginContinue(int32_t maxSize) {
    continueMax_ = maxSize;
    continueWritten_ = 0;
    continuePos_ = Pos();
}

void TXLSStream::EndContinue() {
    if (continueWritten_ > 0) PatchWord(continuePos_ + 2, static_cast<uint16_t>(continueWritten_));
    continueMax_ = -1;
}

void TXLSStream::WriteSplitRecord(uint16_t id, const void* buffer, int32_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    int32_t chunk = std::min(std::max(length, 0), MaxRecordBody);
    WriteHeader(id, static_cast<uint16_t>(chunk));
    WriteDirect(p, chunk);
    p += chunk;
    length -= chunk;
    while (length > 0) {
        chunk = std::min(length, MaxRecordBody);
        WriteHeader(ContinueId, static_cast<uint16_t>(chunk));
        WriteDirect(p, chunk);
        p += chunk;
        length -= chunk;
    }
}

}  // namespace quarvel
