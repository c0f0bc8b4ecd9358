// Whole-file read and atomic write.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;
using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

size_t EntriesIn(const std::filesystem::path& dir) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
    return count;
}

void ExpectFileError(const std::function<void()>& action, const std::string& path, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error for " << path;
    } catch (const FileError& error) {
        EXPECT_EQ(error.Path(), path);
        EXPECT_EQ(std::string(error.what()), message);
    }
}

TEST(FileErrorMessage, RuntimeTextsByCode) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {ENOENT, "File not found"},   {EACCES, "File access denied"}, {EPERM, "File access denied"},
        {ENOSPC, "Disk full"},        {EISDIR, "Is a directory"},     {ENOTDIR, "Not a directory"},
        {EROFS, "Read-only file system"}, {EIO, "I/O error 5"},       {ESPIPE, "I/O error 29"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileErrorMessage(c.code), c.text) << c.code;
        const FileError error = FileErrorFor("/x/y.xls", c.code);
        EXPECT_STREQ(error.what(), c.text);
        EXPECT_EQ(error.Path(), "/x/y.xls");
        EXPECT_EQ(error.Code(), c.code);
    }
}

TEST(ConsoleMessage, LineBreaksOfMessageBoxesBecomeLineFeeds) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Error on writing record # 23\rCan not write SST", "Error on writing record # 23\nCan not write SST"},
        {"first\r\nsecond\rthird\n", "first\nsecond\nthird\n"},
        {"ends with\r", "ends with\n"},
        {"File not found", "File not found"},
    };
    for (const auto& c : cases) EXPECT_EQ(ConsoleMessage(c.message), c.shown) << c.message;
}

TEST(ReadWholeFile, ReadsEveryByte) {
    TTempDir dir;
    std::string bytes = "a\0b\r\n\xFF"s + std::string(200000, 'x');
    WriteBytes(dir.File("f"), bytes);
    EXPECT_EQ(ReadWholeFile(dir.File("f")), bytes);
    WriteBytes(dir.File("empty"), "");
    EXPECT_EQ(ReadWholeFile(dir.File("empty")), "");
}

TEST(ReadWholeFile, Failures) {
    TTempDir dir;
    ExpectFileError([&] { ReadWholeFile(dir.File("missing")); }, dir.File("missing"), "File not found");
    ExpectFileError([&] { ReadWholeFile(dir.File("missing/x")); }, dir.File("missing/x"), "File not found");
    std::string folder = dir.Path().string();
    ExpectFileError([&] { ReadWholeFile(folder); }, folder, "Is a directory");
}

TEST(WriteFileAtomic, CreatesAndReplaces) {
    TTempDir dir;
    std::string target = dir.File("out.txt");
    WriteFileAtomic(target, "first");
    EXPECT_EQ(ReadBytes(target), "first");
    WriteFileAtomic(target, "second\0x"s);
    EXPECT_EQ(ReadBytes(target), "second\0x"s);
    WriteFileAtomic(target, "");
    EXPECT_EQ(ReadBytes(target), "");
    // Nothing but the target is left in the folder.
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(WriteFileAtomic, NewFilesGetTheUmaskPermissionsReplacedOnesKeepTheirs) {
    TTempDir dir;
    mode_t old = ::umask(022);
    WriteFileAtomic(dir.File("new.txt"), "x");
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

    ASSERT_EQ(::chmod(dir.File("new.txt").c_str(), 0640), 0);
    WriteFileAtomic(dir.File("new.txt"), "y");
    ASSERT_EQ(::stat(dir.File("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(WriteFileAtomic, RelativeTargetInTheCurrentFolder) {
    TTempDir dir;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    WriteFileAtomic("plain.txt", "here");
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadBytes(dir.File("plain.txt")), "here");
}

TEST(WriteFileAtomic, AFailedWriteLeavesNoFileAndTheOldTargetUntouched) {
    TTempDir dir;
    // The folder does not exist.
    ExpectFileError([&] { WriteFileAtomic(dir.File("none/out.txt"), "x"); }, dir.File("none/out.txt"),
                    "File not found");
    // The target is a folder holding a file: refused, the folder stays as it was.
    std::filesystem::create_directory(dir.Path() / "target");
    WriteBytes(dir.File("target/inside"), "keep");
    ExpectFileError([&] { WriteFileAtomic(dir.File("target"), "data"); }, dir.File("target"), "Is a directory");
    EXPECT_EQ(ReadBytes(dir.File("target/inside")), "keep");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file left behind
    ExpectFileError([&] { WriteFileAtomic("", "x"); }, "", "File not found");
}

// Runs `body` where file permissions bind. An ordinary user runs it as it is; the superuser, whom
// permissions do not bind, runs it in a child process that has become the user "nobody" and been
// given `dir`. The child's failures are printed by the child and fail the test here.
void AsOrdinaryUser(const std::filesystem::path& dir, const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return;
    }
    constexpr uid_t kNobody = 65534;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const bool dropped = ::chown(dir.c_str(), kNobody, kNobody) == 0 && ::setgroups(0, nullptr) == 0 &&
                             ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        if (!dropped) ::_exit(2);
        body();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not become the user nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the checks failed as the user nobody (see above)";
}

TEST(WriteFileAtomic, ExistingTargetUntouchedWhenTheFolderRefusesNewFiles) {
    TTempDir dir;
    AsOrdinaryUser(dir.Path(), [&] {
        std::string target = dir.File("out.txt");
        WriteBytes(target, "old");
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
        ExpectFileError([&] { WriteFileAtomic(target, "new"); }, target, "File access denied");
        ::chmod(dir.Path().c_str(), 0755);
        EXPECT_EQ(ReadBytes(target), "old");
    });
}

TEST(WriteFileAtomic, ReadOnlyTargetIsNotReplaced) {
    TTempDir dir;
    AsOrdinaryUser(dir.Path(), [&] {
        std::string target = dir.File("out.txt");
        WriteBytes(target, "old");
        ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
        ExpectFileError([&] { WriteFileAtomic(target, "new"); }, target, "File access denied");
        EXPECT_EQ(ReadBytes(target), "old");
    });
}

TEST(ProgramPath, IsTheRunningExecutable) {
    std::string path = ProgramPath("fallback");
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quarvel
