// Helpers shared by the test suites: temporary folders, whole-file helpers, runs of the built
// program, error-text checks.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

#ifdef QUARVEL_BINARY
// What a run of the built program did.
struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    double Seconds = 0;   // wall time
    long MaxRssKb = 0;    // peak resident memory
};

// Runs the built program with the arguments, without a display, and collects what it printed.
inline TRun RunQuarvel(const std::vector<std::string>& args) {
    TTempDir dir;
    const std::string outPath = dir.File("stdout"), errPath = dir.File("stderr");
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
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
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    TRun run;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.MaxRssKb = usage.ru_maxrss;
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.Out = ReadBytes(outPath);
    run.Err = ReadBytes(errPath);
    return run;
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
