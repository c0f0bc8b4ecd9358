// Helpers of the tests of every layer: temporary folders, whole-file helpers, shell commands and
// the independent readers in tests/readers/, runs of the built program, error-text checks. The
// support header of each layer above builds on this one.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TTempDir {
public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Names of everything in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file's bytes; an empty vector for a file that cannot be read.
inline std::vector<uint8_t> ReadByteVector(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// ---------------------------------------------------------------------------------------------
// Shell commands and the independent readers

// The text as one word of a shell command.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct TCommandResult {
    int status = -1;
    std::string output;  // stdout and stderr
};

// Runs a shell command; its status and everything it printed.
inline TCommandResult Run(const std::string& command) {
    TCommandResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = ::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

#ifdef QUARVEL_READERS_DIR
// A reader script of tests/readers/.
inline std::string ReaderScript(const char* name) { return std::string(QUARVEL_READERS_DIR) + "/" + name; }

#ifdef QUARVEL_PYTHON
// Checks (file, file of the expected stream bytes) pairs with olefile and gsf: each file must be a
// sound compound file whose stream `streamName` holds exactly the expected bytes.
inline TCommandResult CheckContainers(const std::string& streamName,
                                      const std::vector<std::pair<std::string, std::string>>& files) {
    std::string cmd = ShellQuote(QUARVEL_PYTHON) + " " + ShellQuote(ReaderScript("ole_check.py")) + " " +
                      ShellQuote(QUARVEL_GSF) + " " + ShellQuote(streamName);
    for (const auto& [file, expected] : files) cmd += " " + ShellQuote(file) + " " + ShellQuote(expected);
    return Run(cmd);
}
#endif
#endif

// The corpus of real-world inputs; the environment variable of the same name overrides the path
// the build gives.
inline std::filesystem::path CorpusDir() {
    if (const char* dir = std::getenv("QUARVEL_CORPUS_DIR")) return dir;
#ifdef QUARVEL_CORPUS_DIR
    return QUARVEL_CORPUS_DIR;
#else
    return {};
#endif
}

// "01 00 20" for the bytes {1, 0, 0x20}: failures show which byte differs.
inline std::string Hex(const uint8_t* bytes, size_t length) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += part;
    }
    return text;
}

template <class Bytes>
std::string Hex(const Bytes& bytes) {
    return Hex(bytes.data(), bytes.size());
}

// The user "nobody": tests whose checks file permissions would not bind for the superuser run the
// program (or their own code) as this user when the tests run as root.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Gives `path` and everything under it to the user nobody when the tests run as root (so that a
// process of that user may work there); does nothing otherwise.
inline void GiveToOrdinaryUser(const std::filesystem::path& path) {
    if (!RunningAsRoot()) return;
    if (::lchown(path.c_str(), kNobody, kNogroup) != 0) throw std::runtime_error("cannot chown " + path.string());
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path))) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (::lchown(entry.path().c_str(), kNobody, kNogroup) != 0)
                throw std::runtime_error("cannot chown " + entry.path().string());
        }
    }
}

#ifdef QUARVEL_BINARY
// What a run of the built program did. A run ended by a signal has the status 128 + the signal.
struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    double Seconds = 0;  // wall time
    long MaxRssKb = 0;   // peak resident memory
};

// A run of the built program started in the background, without a display; what it prints goes
// into files until Wait collects it. With `asOrdinaryUser` the program runs as the user nobody when
// the tests run as root (hand it its files with GiveToOrdinaryUser).
class TQuarvelProcess {
public:
    explicit TQuarvelProcess(const std::vector<std::string>& args, bool asOrdinaryUser = false) {
        const std::string outPath = dir_.File("stdout"), errPath = dir_.File("stderr");
        started_ = std::chrono::steady_clock::now();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("QT_QPA_PLATFORM");
            std::string program = QUARVEL_BINARY;
            std::vector<std::string> copies = args;
            std::vector<char*> argv{program.data()};
            for (auto& arg : copies) argv.push_back(arg.data());
            argv.push_back(nullptr);
            if (asOrdinaryUser && RunningAsRoot()) {
                // The program is opened while still root and started from that descriptor: the
                // build tree may lie below a folder nobody cannot enter (a clone in a mktemp -d
                // folder is 0700).
                const int exe = ::open(program.c_str(), O_RDONLY | O_CLOEXEC);
                if (exe < 0) ::_exit(127);
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
                ::fexecve(exe, argv.data(), environ);
                ::_exit(127);
            }
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~TQuarvelProcess() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TQuarvelProcess(const TQuarvelProcess&) = delete;
    TQuarvelProcess& operator=(const TQuarvelProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Whether the program has not ended yet (it stays to be collected by Wait).
    bool Running() const {
        if (pid_ <= 0 || waited_) return false;
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    TRun Wait() {
        TRun run;
        int status = 0;
        struct rusage usage {};
        if (::wait4(pid_, &status, 0, &usage) != pid_) return run;
        waited_ = true;
        run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        run.MaxRssKb = usage.ru_maxrss;
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.Out = ReadBytes(dir_.File("stdout"));
        run.Err = ReadBytes(dir_.File("stderr"));
        return run;
    }

private:
    TTempDir dir_;
    pid_t pid_ = -1;
    bool waited_ = false;
    std::chrono::steady_clock::time_point started_;
};

// Runs the built program with the arguments and collects what it printed.
inline TRun RunQuarvel(const std::vector<std::string>& args, bool asOrdinaryUser = false) {
    return TQuarvelProcess(args, asOrdinaryUser).Wait();
}
#endif

}  // namespace quarvel::test

// Expects the statement to throw `type` whose what() equals `message` exactly.
#define EXPECT_THROW_MSG(statement, type, message)                                              \
    do {                                                                                        \
        try {                                                                                   \
            statement;                                                                          \
            ADD_FAILURE() << "no exception from: " #statement;                                  \
        } catch (const type& thrown_error_) {                                                   \
            EXPECT_EQ(std::string(thrown_error_.what()), std::string(message)) << #statement;   \
        }                                                                                       \
    } while (0)
