#include "platform/AtomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace quarvel {

namespace {

// ---------------------------------------------------------------------------------------------
// Removal of temporary files when a signal ends the process

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCleanupSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
// Temporary files that exist at the same time; one more is written without the cleanup.
constexpr int kCleanupSlots = 64;

// The paths of the temporary files, prepared before the handler can see them; nullptr when free.
std::atomic<const char*> gTemporaries[kCleanupSlots];
// The actions the handler replaced, restored before the signal is raised again.
struct sigaction gPreviousActions[kCleanupSignalCount];
volatile sig_atomic_t gHandlerInstalled[kCleanupSignalCount];
// Slots in use and the installation of the handler change together, under this lock and with the
// signals blocked in the changing thread.
std::mutex gCleanupLock;
int gTemporaryCount = 0;

extern "C" void RemoveTemporariesAndRaise(int signal) {
    const int savedErrno = errno;
    for (auto& slot : gTemporaries) {
        if (const char* path = slot.load(std::memory_order_acquire)) ::unlink(path);
    }
    // The process goes on as it would have without the handler: the default action ends it (the
    // signal is blocked while this runs, so the raised one arrives when the handler returns).
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        if (kCleanupSignals[i] == signal && gHandlerInstalled[i]) {
            ::sigaction(signal, &gPreviousActions[i], nullptr);
            gHandlerInstalled[i] = 0;
        }
    }
    ::raise(signal);
    errno = savedErrno;
}

void InstallCleanupHandler() {
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        struct sigaction current {};
        if (::sigaction(kCleanupSignals[i], nullptr, &current) != 0) continue;
        // An ignored signal does not end the process: nothing to clean up for it.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
        gPreviousActions[i] = current;
        struct sigaction action {};
        action.sa_handler = RemoveTemporariesAndRaise;
        sigemptyset(&action.sa_mask);
        for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART;
        if (::sigaction(kCleanupSignals[i], &action, nullptr) == 0) gHandlerInstalled[i] = 1;
    }
}

void RemoveCleanupHandler() {
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        if (!gHandlerInstalled[i]) continue;
        ::sigaction(kCleanupSignals[i], &gPreviousActions[i], nullptr);
        gHandlerInstalled[i] = 0;
    }
}

// Blocks the cleanup signals in this thread for the scope: a temporary file and its slot appear
// and disappear together, and no signal removes a file that has just been renamed over its target.
class TCleanupSignalsBlocked {
public:
    TCleanupSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kCleanupSignals) sigaddset(&set, signal);
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~TCleanupSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TCleanupSignalsBlocked(const TCleanupSignalsBlocked&) = delete;
    TCleanupSignalsBlocked& operator=(const TCleanupSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// `path` must stay unchanged until ReleaseTemporary. Returns the slot, or -1 when all are taken.
int RegisterTemporary(const char* path) {
    std::lock_guard<std::mutex> lock(gCleanupLock);
    for (int i = 0; i < kCleanupSlots; ++i) {
        const char* expected = nullptr;
        if (gTemporaries[i].compare_exchange_strong(expected, path, std::memory_order_release)) {
            if (gTemporaryCount++ == 0) InstallCleanupHandler();
            return i;
        }
    }
    return -1;
}

void ReleaseTemporary(int slot) {
    std::lock_guard<std::mutex> lock(gCleanupLock);
    gTemporaries[slot].store(nullptr, std::memory_order_release);
    if (--gTemporaryCount == 0) RemoveCleanupHandler();
}

// ---------------------------------------------------------------------------------------------
// Paths and descriptors

// The folder a temporary file beside `path` goes into, as a prefix ("" for the current folder).
std::string FolderPrefix(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The target of the symbolic link `path`, or the error code.
int ReadLink(const std::string& path, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0) return errno;
        if (static_cast<size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(length));
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Follows symbolic links from `path` as opening it would: each relative link from the folder that
// holds it. `final` becomes the first name that is not a link, `exists` whether it exists (`info`
// then describes it). Returns 0 or the error code.
int FollowLinks(const std::string& path, std::string& final, struct stat& info, bool& exists) {
    constexpr int kMaxLinks = 40;  // the kernel's own limit
    std::string current = path;
    for (int links = 0;; ++links) {
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT) return errno;
            final = current;
            exists = false;
            return 0;
        }
        if (!S_ISLNK(info.st_mode)) {
            final = current;
            exists = true;
            return 0;
        }
        if (links == kMaxLinks) return ELOOP;
        std::string target;
        if (int code = ReadLink(current, target)) return code;
        if (target.empty()) return ENOENT;
        current = target[0] == '/' ? target : FolderPrefix(current) + target;
    }
}

int WriteAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t done = ::write(fd, data, count);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (done == 0) return ENOSPC;
        data += done;
        count -= static_cast<size_t>(done);
    }
    return 0;
}

int WriteAllAt(int fd, const uint8_t* data, size_t count, uint64_t offset) {
    while (count > 0) {
        const ssize_t done = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (done == 0) return ENOSPC;
        data += done;
        offset += static_cast<uint64_t>(done);
        count -= static_cast<size_t>(done);
    }
    return 0;
}

// Flushes the folder's entries (the rename) to the disk. A folder that cannot be opened for reading
// or synced (EINVAL: the file system has no such operation) is left as it is.
int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code == EINVAL ? 0 : code;
}

}  // namespace

// -------------------------------------------------------------------------------------------------

bool TAtomicFile::SyncEnabled() {
    const char* off = std::getenv("QUARVEL_NO_SYNC");
    if (off && *off && std::strcmp(off, "0") != 0) return false;
#ifdef QUARVEL_NO_SYNC_DEFAULT
    return false;
#else
    return true;
#endif
}

TAtomicFile::TAtomicFile(const std::string& path, const TAtomicFileOptions& options)
    : path_(path), sync_(options.Sync && SyncEnabled()), patches_(options.Patches) {
    if (path_.empty()) Fail(ENOENT);
    struct stat target {};
    if (::stat(path_.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode)) Fail(EISDIR);
        if (S_ISREG(target.st_mode) && target.st_nlink == 1) {
            struct stat named {};
            bool exists = false;
            if (int code = FollowLinks(path_, final_, named, exists)) Fail(code);
            if (exists && S_ISREG(named.st_mode) && named.st_dev == target.st_dev && named.st_ino == target.st_ino) {
                // Refused as opening the file for writing would refuse it, although the rename
                // itself would need only the folder.
                if (::faccessat(AT_FDCWD, final_.c_str(), W_OK, AT_EACCESS) != 0) Fail(errno);
                OpenReplacement(&named);
                return;
            }
            // A link whose name leads elsewhere than the file it opens (/proc/self/fd/N, or one
            // that changed meanwhile): the file it opens is written.
        }
        final_ = path_;
        OpenInPlace(target);
        return;
    }
    if (errno != ENOENT) Fail(errno);
    // Nothing there, or a link (chain) naming a file that does not exist yet: that file is created.
    struct stat named {};
    bool exists = false;
    if (int code = FollowLinks(path_, final_, named, exists)) Fail(code);
    // The name appeared between the two looks: better refused than written over unseen.
    if (exists) Fail(EEXIST);
    OpenReplacement(nullptr);
}

TAtomicFile::~TAtomicFile() { Abort(); }

void TAtomicFile::OpenReplacement(const struct ::stat* replaced) {
    const std::string name = NameOf(final_);
    if (name.empty() || name == "." || name == "..") Fail(EISDIR);
    static std::atomic<unsigned> counter{0};
    // The temporary name starts with the target's, cut so that it stays within the 255 bytes of a
    // file name.
    const std::string stem = FolderPrefix(final_) + "." + name.substr(0, 200) + "." + std::to_string(::getpid()) + ".";
    {
        TCleanupSignalsBlocked blocked;
        for (int attempt = 0;; ++attempt) {
            temp_ = stem + std::to_string(counter.fetch_add(1)) + ".tmp";
            // A new file gets 0666 less the umask (and the folder's default ACL) from the kernel;
            // a replacing one starts private and gets the old file's mode below.
            fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaced ? 0600 : 0666);
            if (fd_ >= 0) break;
            if (errno != EEXIST || attempt >= 100) {
                const int code = errno;
                temp_.clear();
                Fail(code);
            }
        }
        slot_ = RegisterTemporary(temp_.c_str());
    }
    open_ = true;
    if (replaced) {
        struct stat made {};
        if (::fstat(fd_, &made) != 0) AbortAndFail(errno);
        if (made.st_uid != replaced->st_uid || made.st_gid != replaced->st_gid) {
            // Only the superuser gives a file away; an owner may still set a group it belongs to.
            if (::fchown(fd_, replaced->st_uid, replaced->st_gid) != 0 && made.st_gid != replaced->st_gid) {
                [[maybe_unused]] int ignored = ::fchown(fd_, static_cast<uid_t>(-1), replaced->st_gid);
            }
        }
        // After the owner: changing it clears the set-user-ID and set-group-ID bits.
        if (::fchmod(fd_, replaced->st_mode & 07777) != 0) AbortAndFail(errno);
    }
}

void TAtomicFile::OpenInPlace(const struct ::stat& target) {
    inPlace_ = true;
    regular_ = S_ISREG(target.st_mode);
    // No O_TRUNC: a regular file is emptied when the first byte goes out, a device or FIFO never.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) Fail(errno);
    open_ = true;
    if (!regular_ && ::lseek(fd_, 0, SEEK_CUR) < 0 && errno == ESPIPE) {
        seekable_ = false;
        if (patches_) StartSpool();
    }
}

void TAtomicFile::StartSpool() {
    const char* folder = std::getenv("TMPDIR");
    const std::string dir = folder && *folder ? folder : "/tmp";
    spool_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (spool_ < 0) {
        // A file system without unnamed files: a named one, removed at once.
        std::string pattern = dir + "/.quarvel-spool.XXXXXX";
        TCleanupSignalsBlocked blocked;
        spool_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (spool_ >= 0) ::unlink(pattern.c_str());
    }
    if (spool_ < 0) AbortAndFail(errno);
}

void TAtomicFile::Write(const void* data, size_t count) {
    WriteAt(pos_, data, count);
    pos_ += count;
}

void TAtomicFile::WriteAt(uint64_t offset, const void* data, size_t count) {
    if (!open_) throw Error("The output file " + path_ + " is closed");
    if (count == 0) return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!seekable_) {
        if (spool_ < 0 && offset == sent_) {
            if (int code = WriteAll(fd_, bytes, count)) AbortAndFail(code);
            sent_ += count;
        } else {
            if (offset < sent_) AbortAndFail(ESPIPE);
            if (spool_ < 0) StartSpool();
            if (int code = WriteAllAt(spool_, bytes, count, offset - sent_)) AbortAndFail(code);
        }
    } else {
        if (inPlace_ && regular_ && !emptied_) {
            if (::ftruncate(fd_, 0) != 0) AbortAndFail(errno);
            emptied_ = true;
        }
        if (int code = WriteAllAt(fd_, bytes, count, offset)) AbortAndFail(code);
    }
    size_ = std::max(size_, offset + count);
    StartWriteBack();
}

// A large target is handed to the disk while the rest of it is still being made: every few MiB
// written to the temporary file start their write-back (without waiting for it), so that the sync
// at the commit finds most of the file on the disk already. Advice only: a file system that does
// not support it loses nothing.
void TAtomicFile::StartWriteBack() {
    constexpr uint64_t kStep = uint64_t(4) << 20;
    if (!sync_ || inPlace_ || !regular_ || size_ < flushed_ + kStep) return;
    ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(size_ - flushed_), SYNC_FILE_RANGE_WRITE);
    flushed_ = size_;
}

void TAtomicFile::SendSpool() {
    const uint64_t total = size_ - sent_;
    constexpr size_t kChunk = size_t(1) << 20;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
    for (uint64_t done = 0; done < total;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, total - done));
        const ssize_t got = ::pread(spool_, buffer.get(), want, static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            AbortAndFail(errno);
        }
        // The spool is as long as the highest byte written; short only if a gap runs to its end.
        const size_t have = got == 0 ? want : static_cast<size_t>(got);
        if (got == 0) std::memset(buffer.get(), 0, want);
        if (int code = WriteAll(fd_, buffer.get(), have)) AbortAndFail(code);
        done += have;
    }
    sent_ = size_;
}

void TAtomicFile::Commit() {
    if (!open_) throw Error("The output file " + path_ + " is closed");
    if (inPlace_) {
        if (spool_ >= 0) SendSpool();
        if (regular_ && !emptied_) {
            if (::ftruncate(fd_, 0) != 0) AbortAndFail(errno);
            emptied_ = true;
        }
        if (regular_ && sync_ && ::fsync(fd_) != 0) AbortAndFail(errno);
    } else if (sync_ && ::fsync(fd_) != 0) {
        // The bytes reach the disk before the name does: after a crash the target is the old file
        // or the whole new one.
        AbortAndFail(errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) AbortAndFail(errno);
    if (spool_ >= 0) {
        ::close(spool_);
        spool_ = -1;
    }
    if (!inPlace_) {
        TCleanupSignalsBlocked blocked;
        if (::rename(temp_.c_str(), final_.c_str()) != 0) AbortAndFail(errno);
        if (slot_ >= 0) ReleaseTemporary(slot_);
        slot_ = -1;
        temp_.clear();
    }
    open_ = false;
    if (!inPlace_ && sync_) {
        if (int code = SyncFolder(FolderOf(final_))) Fail(code);
    }
}

void TAtomicFile::RemoveTemporary() noexcept {
    if (temp_.empty()) return;
    TCleanupSignalsBlocked blocked;
    ::unlink(temp_.c_str());
    if (slot_ >= 0) ReleaseTemporary(slot_);
    slot_ = -1;
    temp_.clear();
}

void TAtomicFile::Abort() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (spool_ >= 0) {
        ::close(spool_);
        spool_ = -1;
    }
    RemoveTemporary();
    open_ = false;
}

void TAtomicFile::Fail(int code) { throw FileErrorFor(path_, code); }

void TAtomicFile::AbortAndFail(int code) {
    Abort();
    Fail(code);
}

// -------------------------------------------------------------------------------------------------

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    TAtomicFile file(path);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

}  // namespace quarvel
