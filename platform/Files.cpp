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
        default: return "I/O error " + std::to_string(code);
    }
}

namespace {

[[noreturn]] void Fail(const std::string& path, int code) {
    throw FileError(path, FileErrorMessage(code), code);
}

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

// Splits "dir/name" into the folder to create the temporary file in and the file's name.
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

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

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    if (path.empty()) Fail(path, ENOENT);
    // A target the user may not write stays as it is, as if it were opened for writing.
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) Fail(path, errno);
    std::string folder, name;
    SplitPath(path, folder, name);
    std::string temp = folder + "/." + name + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) Fail(path, errno);
    TDescriptor file(fd);
    auto failAndRemove = [&](int code) {
        ::unlink(temp.c_str());
        Fail(path, code);
    };

    struct stat existing {};
    mode_t mode = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                      ? (existing.st_mode & 07777)
                      : (0666 & ~CurrentUmask());
    if (::fchmod(fd, mode) != 0) failAndRemove(errno);

    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t done = ::write(fd, data, left);
        if (done < 0) {
            if (errno == EINTR) continue;
            failAndRemove(errno);
        }
        data += done;
        left -= static_cast<size_t>(done);
    }
    if (int code = file.Close()) failAndRemove(code);
    if (::rename(temp.c_str(), path.c_str()) != 0) failAndRemove(errno);
}

std::string ProgramPath(const char* argv0) {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) return std::string(buffer, static_cast<size_t>(length));
    return argv0 ? std::string(argv0) : std::string();
}

}  // namespace quarvel
