// Our own writer of ZIP archives, over zlib's deflate, for containers such as Office Open XML
// packages. It knows nothing of what the members hold.
//
// The archive is written strictly in order into a byte sink, never seeking back: each member is a
// local header and its data, then come the central directory and the end records. A member is
// either given whole, so that its sizes and CRC-32 are in its local header, or streamed in pieces
// of any size with constant memory, deflated, its sizes and CRC-32 then following the data in a
// data descriptor (general-purpose flag bit 3; zeros in the local header's fields).
//
// ZIP64 records appear only where a value does not fit its 32-bit (for the member count, 16-bit)
// field: a member of 4 GiB or more, a local header at or beyond 4 GiB, 65,535 members or more.
// Many package readers cannot read ZIP64 at all, and some refuse archives that carry it without
// need. A streamed member's size is not known when its local header goes out, so that header
// has no ZIP64 field but says version 4.5, and its descriptor has 32-bit sizes, as small members
// in most packages do; should the member turn out to reach 4 GiB, its descriptor has 64-bit sizes
// and its central directory entry a ZIP64 field, which readers going by the central directory
// (all common ones) take.
//
// ForceZip64 puts ZIP64 fields everywhere they can be (local headers, 64-bit descriptors, central
// directory entries, the ZIP64 end records, markers in the end record), for archives read as a
// stream from the start and to exercise readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Errors.h"

namespace quarvel {

// Where the archive's bytes go, in order. A failure is an exception (FileError for a file); it
// passes through the writer unchanged.
class TZipSink {
public:
    virtual ~TZipSink() = default;
    virtual void Write(const uint8_t* data, size_t count) = 0;
};

// Appends the archive to a byte vector, which must outlive the sink.
class TZipMemorySink final : public TZipSink {
public:
    explicit TZipMemorySink(std::vector<uint8_t>& out) : out_(out) {}
    void Write(const uint8_t* data, size_t count) override { out_.insert(out_.end(), data, data + count); }

private:
    std::vector<uint8_t>& out_;
};

// A "last modified" stamp as the archive stores it: local time, two-second steps, 1980 to 2107.
struct TDosDateTime {
    uint16_t Date = 0x0021;  // 1980-01-01
    uint16_t Time = 0;       // 00:00:00
    bool operator==(const TDosDateTime&) const = default;
};

// The stamp of a calendar date and time; throws Error for a date outside 1980-01-01 to 2107-12-31
// or an impossible date or time. Odd seconds are rounded down.
TDosDateTime DosDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

enum class TZipMethod : uint16_t {
    Stored = 0,
    Deflated = 8
};

struct TZipMemberOptions {
    TZipMethod Method = TZipMethod::Deflated;
    int Level = 6;  // zlib's deflate level, 0 (no compression) to 9 (smallest); ignored when stored
};

class TZipWriter {
public:
    struct TOptions {
        TDosDateTime Modified;  // the stamp of every member, fixed so that output is reproducible
        bool ForceZip64 = false;
        size_t BufferSize = size_t(1) << 18;  // bytes gathered before each write to the sink
    };

    explicit TZipWriter(TZipSink& sink) : TZipWriter(sink, TOptions{}) {}
    TZipWriter(TZipSink& sink, const TOptions& options);
    TZipWriter(const TZipWriter&) = delete;
    TZipWriter& operator=(const TZipWriter&) = delete;
    ~TZipWriter();

    // A member given whole. Names are UTF-8, with '/' between folders; a name must be non-empty,
    // valid UTF-8, at most 65,535 bytes and not used before in the archive.
    void AddMember(std::string_view name, const void* data, size_t size, const TZipMemberOptions& options = {});
    void AddMember(std::string_view name, std::string_view data, const TZipMemberOptions& options = {}) {
        AddMember(name, data.data(), data.size(), options);
    }

    // A streamed member, always deflated: BeginMember, Write any number of times, EndMember. No
    // other member can be added meanwhile. Stored members are given whole: a stored member with a
    // data descriptor cannot be read through the local headers, and package readers refuse it.
    void BeginMember(std::string_view name, const TZipMemberOptions& options = {});
    void Write(const void* data, size_t size);
    void Write(std::string_view data) { Write(data.data(), data.size()); }
    void EndMember();

    // Writes the central directory and the end records and hands every remaining byte to the sink.
    // Nothing can be added afterwards. An archive never finished is incomplete: the owner of the
    // sink discards it.
    void Finish();

    // Bytes of the archive so far, those still gathered in the buffer included.
    uint64_t Size() const { return written_ + bufLen_; }

    // After a failure of the sink or of zlib the writer refuses every further call: the archive
    // cannot be completed soundly. A refused call (a bad name, a call out of order) writes nothing
    // and leaves the writer as it was.
    bool Failed() const { return state_ == TState::Failed; }

private:
    enum class TState : uint8_t { Ready, Streaming, Finished, Failed };
    struct TEntry;
    class TDeflater;

    void CheckState(TState wanted) const;
    void CheckName(std::string_view name) const;
    int CheckedLevel(const TZipMemberOptions& options) const;
    TDeflater& Deflater(int level);
    void WriteLocalHeader(const TEntry& entry, bool zip64);
    void WriteCentralEntry(const TEntry& entry);
    void Append(const uint8_t* data, size_t count);
    void FlushBuffer();
    template <class TAction>
    void Guarded(TAction&& action);

    TZipSink& sink_;
    TOptions options_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufLen_ = 0;
    uint64_t written_ = 0;  // bytes handed to the sink
    TState state_ = TState::Ready;
    std::vector<TEntry> entries_;
    std::unordered_set<std::string> names_;
    std::unique_ptr<TDeflater> deflater_;
    int deflaterLevel_ = -1;
};

}  // namespace quarvel
