#include "platform/Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/ByteBuffer.h"

namespace quarvel {

namespace {

// Record signatures.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kEndSignature = 0x06054B50;

// Fixed sizes of the records, without their names and extra fields.
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr uint64_t kZip64EndSize = 56;
constexpr uint64_t kZip64EndRemainder = kZip64EndSize - 12;  // what its own size field counts

// General-purpose flag bits.
constexpr uint16_t kFlagDataDescriptor = 1u << 3;  // sizes and CRC-32 follow the data
constexpr uint16_t kFlagUtf8Name = 1u << 11;

// Versions needed to extract (2.0: deflate and folders; 4.5: ZIP64). The high byte of "version made
// by" is the host system, 0 (MS-DOS and its FAT attributes), as in most packages.
constexpr uint16_t kVersionDefault = 20;
constexpr uint16_t kVersionZip64 = 45;

// The ZIP64 extended information extra field.
constexpr uint16_t kZip64ExtraTag = 0x0001;

// A 32-bit (16-bit) field holding this value says the true value is in a ZIP64 field; a true
// value equal to it needs ZIP64 too.
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t kZip64Marker16 = 0xFFFF;

// zlib counts input and output in 32-bit units: larger pieces go in steps.
constexpr size_t kMaxDeflateStep = size_t(1) << 30;
constexpr size_t kDeflateOutputChunk = size_t(1) << 16;

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    // crc32_z of a null pointer returns the initial value whatever the CRC so far: skip empty pieces.
    if (size == 0) return crc;
    return static_cast<uint32_t>(crc32_z(crc, static_cast<const Bytef*>(data), size));
}

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points above
// U+10FFFF.
bool IsUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        size_t length;
        uint32_t code;
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < length) return false;
        for (size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = code << 6 | (p[i] & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        p += length;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

Error ZlibError(int code, const char* message) {
    const char* text = message                            ? message
                       : code == Z_OK || code == Z_BUF_ERROR ? "deflate made no progress"
                                                             : zError(code);
    return Error(std::string("Compression failed (zlib: ") + text + ")");
}

}  // namespace

TDosDateTime DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const bool valid = year >= 1980 && year <= 2107 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= kDaysInMonth[month - 1] - (month == 2 && !leap ? 1 : 0) && hour >= 0 && hour <= 23 &&
                       minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!valid) {
        char text[96];
        std::snprintf(text, sizeof text, "The time %04d-%02d-%02d %02d:%02d:%02d cannot be stored in a ZIP archive",
                      year, month, day, hour, minute, second);
        throw Error(text);
    }
    TDosDateTime stamp;
    stamp.Date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
    stamp.Time = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
    return stamp;
}

// What the central directory says of a member.
struct TZipWriter::TEntry {
    std::string Name;
    uint16_t Flags = 0;
    TZipMethod Method = TZipMethod::Deflated;
    uint32_t Crc = 0;
    uint64_t CompressedSize = 0;
    uint64_t Size = 0;
    uint64_t Offset = 0;      // of the local header
    bool Streamed = false;    // its sizes and CRC-32 are in a data descriptor
    bool Zip64Local = false;  // the local header or the data descriptor has 64-bit sizes
};

namespace {

// A streamed member may turn out to need ZIP64 once its local header is out, and some readers
// repair a package whose member passes 4 GiB unless its local header says version 4.5: streamed
// members always say so. A member given whole says 2.0 unless it does use ZIP64.
uint16_t VersionNeeded(bool streamed, bool zip64) { return streamed || zip64 ? kVersionZip64 : kVersionDefault; }

}  // namespace

// A raw deflate stream (no zlib header: the archive has its own CRC), reused from member to member
// while the level stays the same.
class TZipWriter::TDeflater {
public:
    explicit TDeflater(int level) {
        const int code = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (code != Z_OK) throw ZlibError(code, stream_.msg);
    }
    ~TDeflater() { deflateEnd(&stream_); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    void Reset() {
        const int code = deflateReset(&stream_);
        if (code != Z_OK) throw ZlibError(code, stream_.msg);
    }

    // Compresses the input (Z_FINISH ends the stream) and hands the output to `out` in chunks of
    // at most kDeflateOutputChunk bytes, so that no piece of input makes the output pile up.
    template <class TOut>
    void Run(const uint8_t* data, size_t size, int flush, TOut&& out) {
        for (;;) {
            const size_t step = std::min(size, kMaxDeflateStep);
            const bool last = step == size;
            const int mode = last ? flush : Z_NO_FLUSH;
            stream_.next_in = const_cast<Bytef*>(data);
            stream_.avail_in = static_cast<uInt>(step);
            for (;;) {
                stream_.next_out = output_;
                stream_.avail_out = sizeof output_;
                const int code = deflate(&stream_, mode);
                if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) throw ZlibError(code, stream_.msg);
                const size_t produced = sizeof output_ - stream_.avail_out;
                if (produced) out(output_, produced);
                if (mode == Z_FINISH) {
                    if (code == Z_STREAM_END) break;
                    // Output room left over without the end of the stream: deflate is stuck.
                    if (stream_.avail_out != 0) throw ZlibError(code, stream_.msg);
                } else if (stream_.avail_out != 0) {
                    break;  // all input taken, nothing more pending
                }
            }
            if (last) return;
            data += step;
            size -= step;
        }
    }

private:
    z_stream stream_{};
    uint8_t output_[kDeflateOutputChunk];
};

TZipWriter::TZipWriter(TZipSink& sink, const TOptions& options) : sink_(sink), options_(options) {
    options_.BufferSize = std::max<size_t>(options_.BufferSize, 4096);
    buffer_ = std::make_unique<uint8_t[]>(options_.BufferSize);
}

TZipWriter::~TZipWriter() = default;

template <class TAction>
void TZipWriter::Guarded(TAction&& action) {
    try {
        action();
    } catch (...) {
        state_ = TState::Failed;
        throw;
    }
}

void TZipWriter::CheckState(TState wanted) const {
    if (state_ == wanted) return;
    switch (state_) {
        case TState::Ready: throw Error("No ZIP member is being written");
        case TState::Streaming: throw Error("ZIP member \"" + entries_.back().Name + "\" is still being written");
        case TState::Finished: throw Error("The ZIP archive is already finished");
        case TState::Failed: throw Error("The ZIP archive cannot be continued after an earlier failure");
    }
}

void TZipWriter::CheckName(std::string_view name) const {
    if (name.empty()) throw Error("A ZIP member needs a name");
    if (name.size() > 0xFFFF) throw Error("ZIP member name longer than 65535 bytes");
    if (!IsUtf8(name)) throw Error("ZIP member name is not valid UTF-8");
    if (names_.count(std::string(name))) throw Error("ZIP member \"" + std::string(name) + "\" is already in the archive");
}

int TZipWriter::CheckedLevel(const TZipMemberOptions& options) const {
    if (options.Method == TZipMethod::Stored) return 0;
    if (options.Method != TZipMethod::Deflated)
        throw Error("Unknown ZIP compression method " + std::to_string(static_cast<unsigned>(options.Method)));
    if (options.Level < 0 || options.Level > 9)
        throw Error("Compression level " + std::to_string(options.Level) + " is outside 0 to 9");
    return options.Level;
}

TZipWriter::TDeflater& TZipWriter::Deflater(int level) {
    if (deflater_ && deflaterLevel_ == level) {
        deflater_->Reset();
    } else {
        deflater_.reset();
        deflaterLevel_ = -1;
        deflater_ = std::make_unique<TDeflater>(level);
        deflaterLevel_ = level;
    }
    return *deflater_;
}

void TZipWriter::Append(const uint8_t* data, size_t count) {
    if (bufLen_ + count <= options_.BufferSize) {
        if (count) std::memcpy(buffer_.get() + bufLen_, data, count);
        bufLen_ += count;
        return;
    }
    FlushBuffer();
    if (count >= options_.BufferSize) {  // a large piece goes to the sink as it is
        sink_.Write(data, count);
        written_ += count;
    } else {
        std::memcpy(buffer_.get(), data, count);
        bufLen_ = count;
    }
}

void TZipWriter::FlushBuffer() {
    if (bufLen_ == 0) return;
    sink_.Write(buffer_.get(), bufLen_);
    written_ += bufLen_;
    bufLen_ = 0;
}

// Local file header:
//   0 signature  4 version needed  6 flags  8 method  10 time  12 date  14 CRC-32
//   18 compressed size  22 size  26 name length  28 extra length  30 name, extra.
// With `zip64` both sizes are the marker and a ZIP64 field holds them (size, then compressed size).
// A streamed member has zeros for CRC and sizes: its data descriptor has them.
void TZipWriter::WriteLocalHeader(const TEntry& entry, bool zip64) {
    TByteBuffer h;
    h.PutU32(kLocalHeaderSignature);
    h.PutU16(VersionNeeded(entry.Streamed, zip64));
    h.PutU16(entry.Flags);
    h.PutU16(static_cast<uint16_t>(entry.Method));
    h.PutU16(options_.Modified.Time);
    h.PutU16(options_.Modified.Date);
    h.PutU32(entry.Crc);
    h.PutU32(zip64 ? kZip64Marker32 : static_cast<uint32_t>(entry.CompressedSize));
    h.PutU32(zip64 ? kZip64Marker32 : static_cast<uint32_t>(entry.Size));
    h.PutU16(static_cast<uint16_t>(entry.Name.size()));
    h.PutU16(zip64 ? 20 : 0);
    h.PutBytes(entry.Name.data(), entry.Name.size());
    if (zip64) {
        h.PutU16(kZip64ExtraTag);
        h.PutU16(16);
        h.PutU64(entry.Size);
        h.PutU64(entry.CompressedSize);
    }
    static_assert(kLocalHeaderSize == 30);
    Append(h.Data(), h.Size());
}

void TZipWriter::AddMember(std::string_view name, const void* data, size_t size, const TZipMemberOptions& options) {
    CheckState(TState::Ready);
    CheckName(name);
    const int level = CheckedLevel(options);
    TEntry entry;
    entry.Name = std::string(name);
    entry.Flags = IsAscii(name) ? 0 : kFlagUtf8Name;
    entry.Method = options.Method;
    entry.Size = size;
    entry.Offset = Size();
    const auto* bytes = static_cast<const uint8_t*>(data);
    Guarded([&] {
        entry.Crc = Crc32(0, bytes, size);
        std::vector<uint8_t> packed;
        if (entry.Method == TZipMethod::Deflated) {
            packed.reserve(deflateBound(nullptr, size));
            Deflater(level).Run(bytes, size, Z_FINISH,
                                [&](const uint8_t* p, size_t n) { packed.insert(packed.end(), p, p + n); });
            entry.CompressedSize = packed.size();
        } else {
            entry.CompressedSize = size;
        }
        entry.Zip64Local = options_.ForceZip64 || entry.Size >= kZip64Marker32 || entry.CompressedSize >= kZip64Marker32;
        WriteLocalHeader(entry, entry.Zip64Local);
        if (entry.Method == TZipMethod::Deflated)
            Append(packed.data(), packed.size());
        else
            Append(bytes, size);
        names_.insert(entry.Name);
        entries_.push_back(std::move(entry));
    });
}

void TZipWriter::BeginMember(std::string_view name, const TZipMemberOptions& options) {
    CheckState(TState::Ready);
    CheckName(name);
    // A stored member with a data descriptor leaves a reader going through the local headers no way
    // to find the end of its data, and some package readers refuse it.
    if (options.Method == TZipMethod::Stored)
        throw Error("ZIP member \"" + std::string(name) +
                    "\" cannot be streamed stored: add it whole, or deflate it (level 0 does not compress)");
    const int level = CheckedLevel(options);
    TEntry entry;
    entry.Name = std::string(name);
    entry.Flags = kFlagDataDescriptor | (IsAscii(name) ? 0 : kFlagUtf8Name);
    entry.Method = options.Method;
    entry.Offset = Size();
    entry.Streamed = true;
    entry.Zip64Local = options_.ForceZip64;
    Guarded([&] {
        Deflater(level);
        WriteLocalHeader(entry, entry.Zip64Local);
        names_.insert(entry.Name);
        entries_.push_back(std::move(entry));
        state_ = TState::Streaming;
    });
}

void TZipWriter::Write(const void* data, size_t size) {
    CheckState(TState::Streaming);
    if (size == 0) return;
    Guarded([&] {
        TEntry& entry = entries_.back();
        const auto* bytes = static_cast<const uint8_t*>(data);
        entry.Crc = Crc32(entry.Crc, bytes, size);
        entry.Size += size;
        deflater_->Run(bytes, size, Z_NO_FLUSH, [&](const uint8_t* p, size_t n) {
            Append(p, n);
            entry.CompressedSize += n;
        });
    });
}

// Data descriptor: signature, CRC-32, compressed size, size; the sizes have 64 bits when the local
// header has a ZIP64 field or either size does not fit 32 bits.
void TZipWriter::EndMember() {
    CheckState(TState::Streaming);
    Guarded([&] {
        TEntry& entry = entries_.back();
        deflater_->Run(nullptr, 0, Z_FINISH, [&](const uint8_t* p, size_t n) {
            Append(p, n);
            entry.CompressedSize += n;
        });
        entry.Zip64Local =
            entry.Zip64Local || entry.Size >= kZip64Marker32 || entry.CompressedSize >= kZip64Marker32;
        TByteBuffer d;
        d.PutU32(kDataDescriptorSignature);
        d.PutU32(entry.Crc);
        if (entry.Zip64Local) {
            d.PutU64(entry.CompressedSize);
            d.PutU64(entry.Size);
        } else {
            d.PutU32(static_cast<uint32_t>(entry.CompressedSize));
            d.PutU32(static_cast<uint32_t>(entry.Size));
        }
        Append(d.Data(), d.Size());
        state_ = TState::Ready;
    });
}

// Central directory header:
//   0 signature  4 version made by  6 version needed  8 flags  10 method  12 time  14 date
//   16 CRC-32  20 compressed size  24 size  28 name length  30 extra length  32 comment length
//   34 disk number  36 internal attributes  38 external attributes  42 local header offset
//   46 name, extra.
// Each of size, compressed size and offset that does not fit (all three with ForceZip64) is the
// marker, and the ZIP64 field holds the true values of those alone, in that order.
void TZipWriter::WriteCentralEntry(const TEntry& entry) {
    const bool force = options_.ForceZip64;
    const bool bigSize = force || entry.Size >= kZip64Marker32;
    const bool bigCompressed = force || entry.CompressedSize >= kZip64Marker32;
    const bool bigOffset = force || entry.Offset >= kZip64Marker32;
    const uint16_t extraData = static_cast<uint16_t>(8 * (bigSize + bigCompressed + bigOffset));
    const uint16_t version = VersionNeeded(entry.Streamed, extraData || entry.Zip64Local);
    TByteBuffer h;
    h.PutU32(kCentralHeaderSignature);
    h.PutU16(version);
    h.PutU16(version);
    h.PutU16(entry.Flags);
    h.PutU16(static_cast<uint16_t>(entry.Method));
    h.PutU16(options_.Modified.Time);
    h.PutU16(options_.Modified.Date);
    h.PutU32(entry.Crc);
    h.PutU32(bigCompressed ? kZip64Marker32 : static_cast<uint32_t>(entry.CompressedSize));
    h.PutU32(bigSize ? kZip64Marker32 : static_cast<uint32_t>(entry.Size));
    h.PutU16(static_cast<uint16_t>(entry.Name.size()));
    h.PutU16(extraData ? static_cast<uint16_t>(4 + extraData) : 0);
    h.PutU16(0);  // comment length
    h.PutU16(0);  // disk number
    h.PutU16(0);  // internal attributes
    h.PutU32(0);  // external attributes
    h.PutU32(bigOffset ? kZip64Marker32 : static_cast<uint32_t>(entry.Offset));
    static_assert(kCentralHeaderSize == 46);
    h.PutBytes(entry.Name.data(), entry.Name.size());
    if (extraData) {
        h.PutU16(kZip64ExtraTag);
        h.PutU16(extraData);
        if (bigSize) h.PutU64(entry.Size);
        if (bigCompressed) h.PutU64(entry.CompressedSize);
        if (bigOffset) h.PutU64(entry.Offset);
    }
    Append(h.Data(), h.Size());
}

// After the central directory: with ZIP64, its end record
//   0 signature  4 size of the rest  12 version made by  14 version needed  16 disk number
//   20 directory's disk  24 entries on this disk  32 entries  40 directory size  48 directory offset
// and its locator
//   0 signature  4 disk of the ZIP64 end record  8 its offset  16 number of disks;
// then always the end record
//   0 signature  4 disk number  6 directory's disk  8 entries on this disk  10 entries
//   12 directory size  16 directory offset  20 comment length,
// whose fields that do not fit (all with ForceZip64) are markers.
void TZipWriter::Finish() {
    CheckState(TState::Ready);
    Guarded([&] {
        const uint64_t directoryOffset = Size();
        for (const TEntry& entry : entries_) WriteCentralEntry(entry);
        const uint64_t directorySize = Size() - directoryOffset;
        const uint64_t count = entries_.size();
        const bool force = options_.ForceZip64;
        const bool bigCount = force || count >= kZip64Marker16;
        const bool bigSize = force || directorySize >= kZip64Marker32;
        const bool bigOffset = force || directoryOffset >= kZip64Marker32;
        TByteBuffer e;
        if (bigCount || bigSize || bigOffset) {
            const uint64_t zip64EndOffset = Size();
            e.PutU32(kZip64EndSignature);
            e.PutU64(kZip64EndRemainder);
            e.PutU16(kVersionZip64);
            e.PutU16(kVersionZip64);
            e.PutU32(0);
            e.PutU32(0);
            e.PutU64(count);
            e.PutU64(count);
            e.PutU64(directorySize);
            e.PutU64(directoryOffset);
            e.PutU32(kZip64LocatorSignature);
            e.PutU32(0);
            e.PutU64(zip64EndOffset);
            e.PutU32(1);
        }
        e.PutU32(kEndSignature);
        e.PutU16(0);
        e.PutU16(0);
        e.PutU16(bigCount ? kZip64Marker16 : static_cast<uint16_t>(count));
        e.PutU16(bigCount ? kZip64Marker16 : static_cast<uint16_t>(count));
        e.PutU32(bigSize ? kZip64Marker32 : static_cast<uint32_t>(directorySize));
        e.PutU32(bigOffset ? kZip64Marker32 : static_cast<uint32_t>(directoryOffset));
        e.PutU16(0);
        Append(e.Data(), e.Size());
        FlushBuffer();
        state_ = TState::Finished;
    });
    entries_ = {};
    names_ = {};
    deflater_.reset();
    buffer_.reset();
}

}  // namespace quarvel
