#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Memory.h"

namespace quarvel {

std::string FileErrorMessage(int code) {
    switch (code) {
        case ENOENT: return "File not found";
        case EACCES:
        case EPERM: return "File access denied";
        case ENOSPC: return "Disk full";
        case EISDIR: return "Is a directory";
        case ENOTDIR: return "Not a directory";
        case EROFS: return "Read-only file system";
        default: return "I/O error " + std::to_string(code);
    }
}

FileError FileErrorFor(const std::string& path, int code) { return FileError(path, FileErrorMessage(code), code); }

namespace {

[[noreturn]] void Fail(const std::string& path, int code) { throw FileErrorFor(path, code); }

// Closes a descriptor when the scope ends, unless released.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd_(fd) {}
    ~TDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now and reports the error of close(), if any.
    int Close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(path, errno);
    TDescriptor file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) Fail(path, errno);
    auto readSome = [&](char* into, size_t room) -> size_t {
        for (;;) {
            ssize_t got = ::read(fd, into, room);
            if (got >= 0) return static_cast<size_t>(got);
            if (errno != EINTR) Fail(path, errno);
        }
    };
    std::string bytes;
    size_t size = 0;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        bytes.reserve(static_cast<size_t>(info.st_size));
        AdviseHugePages(bytes.data(), bytes.capacity());
        bytes.resize(static_cast<size_t>(info.st_size));
        while (size < bytes.size()) {
            size_t got = readSome(bytes.data() + size, bytes.size() - size);
            if (got == 0) break;
            size += got;
        }
        bytes.resize(size);
    }
    // Read on to the end rather than trusting the size: pipes and special files report 0, and a
    // file may grow while it is read.
    char buffer[1 << 16];
    while (size_t got = readSome(buffer, sizeof buffer)) bytes.append(buffer, got);
    if (int code = file.Close()) Fail(path, code);
    return bytes;
}

size_t FileSizeHint(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return 0;
    return static_cast<size_t>(info.st_size);
}

std::string ProgramPath(const char* argv0) {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) return std::string(buffer, static_cast<size_t>(length));
    return argv0 ? std::string(argv0) : std::string();
}

}  // namespace quarvel
