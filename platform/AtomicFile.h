// The one writer of every output file: a new file that replaces the target only when it is complete.
//
// Opening looks at what the target is:
//   - nothing yet, or a regular file with one name: the bytes go to a temporary file in the target's
//     folder, which Commit renames over the target. The replaced file's mode (and owner and group,
//     where the user may set them) go to the new file; an existing target the user may not write is
//     refused, as if it were opened for writing.
//   - a symbolic link: the link is followed (through chains and relative links) and the file it
//     finally names is replaced in that file's folder; the link stays a link. A link that names no
//     file yet creates that file, as writing through the link with the shell would.
//   - a regular file with several hard links, a device, a FIFO: written in place, so that every name
//     sees the new bytes and the node stays what it is. A regular file is emptied only when the first
//     byte goes out (an output abandoned before that leaves it untouched) and synced on commit. A
//     target that cannot seek (a FIFO, a terminal) receives sequential writes as they come; once a
//     write goes elsewhere than the next byte, the rest is held in an unnamed spool file and sent
//     on commit.
//   - a folder: refused ("Is a directory").
//
// Commit flushes the temporary file to the disk before the rename and the folder after it, so that
// after a crash the target is either the old file or the whole new one. QUARVEL_NO_SYNC=1 in the
// environment (or building with -DQUARVEL_SYNC=OFF) turns both syncs off, for benchmarks.
//
// While a temporary file exists, SIGINT, SIGTERM and SIGHUP remove it before the process ends (a
// signal the process ignores stays ignored). Failures throw FileError naming the path as given.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarvel {

struct TAtomicFileOptions {
    // false: this file is never synced; true leaves it to the process-wide switch (SyncEnabled).
    bool Sync = true;
    // The caller writes back over earlier bytes (WriteAt): a target that cannot seek gets everything
    // through the spool file, from the first byte on.
    bool Patches = false;
};

class TAtomicFile {
public:
    // Opens the output for `path` (UTF-8 bytes).
    explicit TAtomicFile(const std::string& path, const TAtomicFileOptions& options = {});
    ~TAtomicFile();  // abandons an output that was not committed
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Writes at the position right after the previous Write (0 at first) and moves it on.
    void Write(const void* data, size_t count);
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    // Writes at `offset` (over earlier bytes, or past the end: a gap reads as zeros); Write's position
    // stays. Bytes already sent to a target that cannot seek (opened without Patches) cannot be
    // written again: that fails with ESPIPE (see Seekable).
    void WriteAt(uint64_t offset, const void* data, size_t count);
    // One past the last byte written.
    uint64_t Size() const { return size_; }

    // Makes the output the target's content. On failure the output is abandoned and FileError is
    // thrown; after a failed rename an existing target is untouched.
    void Commit();
    // Discards the output: the temporary file is removed and an existing target stays as it was
    // (in place: as far as it was already written). Never throws; nothing happens once committed.
    void Abort() noexcept;

    bool IsOpen() const { return open_; }
    // Written into the existing file instead of a temporary one.
    bool InPlace() const { return inPlace_; }
    // WriteAt may go back over any byte written (false only for an in-place target that cannot seek,
    // opened without Patches, once it has received bytes).
    bool Seekable() const { return seekable_ || sent_ == 0; }
    // The path as given, and the file that is written (after following symbolic links).
    const std::string& Path() const { return path_; }
    const std::string& FinalPath() const { return final_; }
    // The temporary file's path while it exists, else empty.
    const std::string& TemporaryPath() const { return temp_; }

    // Whether files are synced to the disk: on unless QUARVEL_NO_SYNC is set to something other
    // than "0" or "" (or the build turned the default off).
    static bool SyncEnabled();

private:
    void OpenReplacement(const struct ::stat* replaced);
    void OpenInPlace(const struct ::stat& target);
    void StartSpool();
    void SendSpool();
    void StartWriteBack();
    void RemoveTemporary() noexcept;
    [[noreturn]] void Fail(int code);
    [[noreturn]] void AbortAndFail(int code);

    std::string path_;
    std::string final_;
    std::string temp_;
    int fd_ = -1;
    int spool_ = -1;        // unnamed file holding what goes to an unseekable target from sent_ on
    int slot_ = -1;         // the signal cleanup's entry for temp_
    uint64_t pos_ = 0;      // Write's position
    uint64_t size_ = 0;
    uint64_t sent_ = 0;     // bytes already written to an unseekable target
    bool sync_ = true;
    uint64_t flushed_ = 0;  // bytes of the temporary file whose write-back has been started
    bool open_ = false;
    bool inPlace_ = false;
    bool regular_ = true;   // the file written is a regular file
    bool seekable_ = true;
    bool emptied_ = false;  // an in-place regular file has been truncated
    bool patches_ = false;
};

}  // namespace quarvel
