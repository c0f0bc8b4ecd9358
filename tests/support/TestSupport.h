// Helpers shared by the test suites: temporary folders, whole-file helpers, error-text checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
