// Helpers of the container tests: a temporary folder, whole-file reads and writes, running the
// independent readers.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarvel::testing {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

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

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct TCommandResult {
    int status = -1;
    std::string output;  // stdout and stderr
};

inline TCommandResult Run(const std::string& command) {
    TCommandResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string Script(const char* name) { return std::string(QUARVEL_CONTAINER_SCRIPTS) + "/" + name; }

// Runs the olefile and gsf checks over (file, expected stream bytes file) pairs.
inline TCommandResult CheckContainers(const std::string& streamName,
                                      const std::vector<std::pair<std::string, std::string>>& files) {
    std::string cmd = Quote(QUARVEL_PYTHON) + " " + Quote(Script("ole_check.py")) + " " + Quote(QUARVEL_GSF) + " " +
                      Quote(streamName);
    for (const auto& [file, expected] : files) cmd += " " + Quote(file) + " " + Quote(expected);
    return Run(cmd);
}

inline TCommandResult XlrdDump(const std::string& file) {
    return Run("PYTHONIOENCODING=utf-8 " + Quote(QUARVEL_PYTHON) + " " + Quote(Script("xlrd_dump.py")) + " " + Quote(file));
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

}  // namespace quarvel::testing
