// Where finished BIFF records go, and how a record built by its record function gets there.
//
// Every record the system builds has, in one of the family headers (biff/CellRecords.h,
// FormatRecords.h, SheetRecords.h, GlobalsRecords.h), an id constant, its body size and a
// stateless function that writes the body's fields in body order into a byte buffer. The record
// writer runs the function and hands the record on only when the body has the size the record
// declared, so that a record function and its size never disagree unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/ByteBuffer.h"

namespace quarvel {

// Largest record body of BIFF8; longer data is continued in CONTINUE records.
inline constexpr int32_t MaxRecordBody = 8224;

// The record stream implements this, and tests use byte buffers.
class TRecordSink {
public:
    virtual ~TRecordSink() = default;
    // Writes one record: 16-bit id, 16-bit body length, then the body, little-endian.
    virtual void WriteRecord(uint16_t id, const void* body, uint16_t length) = 0;
    // The same for a record whose header and body lie together in `record` (`size` bytes, the
    // header's 4 included); a sink that writes bytes in order takes them in one piece.
    virtual void WriteRecordBytes(const uint8_t* record, size_t size) {
        WriteRecord(LoadU16(record), record + 4, static_cast<uint16_t>(size - 4));
    }
};

[[noreturn]] void ThrowRecordTooLong(uint16_t id, size_t length, int32_t maxBody);
[[noreturn]] void ThrowWrongBodySize(uint16_t id, size_t declared, size_t written, bool overflowed);

// `TSink` is a TRecordSink; the record stream names itself here, so that its calls are direct.
template <class TSink = TRecordSink>
class TRecordWriter {
public:
    // `maxBody` is the largest body a record may declare (the workbook's MaxRecordSize).
    explicit TRecordWriter(TSink& sink, int32_t maxBody = MaxRecordBody)
        : sink_(sink), maxBody_(maxBody), record_(new uint8_t[4 + static_cast<size_t>(maxBody) + 1]) {}

    // Writes record `id`, declared `length` bytes long, whose body `put(body, args...)` writes. A
    // length beyond the largest body is refused before anything is built ("Record 0015 of 10003
    // bytes is longer than a record can hold (8224 bytes)"), a body of any other size than the
    // declared one after it is built; neither reaches the sink.
    template <class TPut, class... TArgs>
    void Write(uint16_t id, size_t length, TPut&& put, TArgs&&... args) {
        if (length > static_cast<size_t>(maxBody_)) ThrowRecordTooLong(id, length, maxBody_);
        // The body follows the header's place, with one byte of room beyond the longest body: a
        // function that writes more is seen doing so.
        TByteSpan body(record_.get() + 4, static_cast<size_t>(maxBody_) + 1);
        put(body, std::forward<TArgs>(args)...);
        if (body.Size() != length) ThrowWrongBodySize(id, length, body.Size(), body.Overflowed());
        StoreU16(record_.get(), id);
        StoreU16(record_.get() + 2, static_cast<uint16_t>(length));
        sink_.WriteRecordBytes(record_.get(), 4 + length);
    }

    TSink& Sink() { return sink_; }
    int32_t MaxBody() const { return maxBody_; }

private:
    TSink& sink_;
    int32_t maxBody_;
    std::unique_ptr<uint8_t[]> record_;  // header, then body
};

}  // namespace quarvel
