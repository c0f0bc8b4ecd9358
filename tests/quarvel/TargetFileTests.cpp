// The quarvel program and what its target is: a replaced file keeps its mode and owner, a read-only
// one is refused, links are followed, hard links, FIFOs and devices are written in place, a signal
// leaves no temporary file, and targets that cannot be files get their own message. Every rule is
// checked for both kinds of target, the workbook and the text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using test::GiveToOrdinaryUser;
using test::ReadBytes;
using test::RunQuarvel;
using test::RunningAsRoot;
using test::TQuarvelProcess;
using test::TRun;
using test::TTempDir;
using test::WriteBytes;

const char* const kKinds[] = {".xls", ".txt"};

// Every name under `dir`, folders included, relative to it.
std::set<std::string> Tree(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) names.insert(fs::relative(entry.path(), dir).string());
    return names;
}

struct stat Lstat(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

// Whether the file holds exactly `expected` (a failure tells sizes, not a dump of a workbook).
::testing::AssertionResult Holds(const std::string& path, const std::string& expected) {
    const std::string got = ReadBytes(path);
    if (got == expected) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << path << " holds " << got.size() << " bytes";
    if (got.size() <= 40) failure << " \"" << got << "\"";
    return failure << ", not the " << expected.size() << " expected";
}

class TargetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir_.File("in.htm"), "<table><tr><td>name</td><td>1.5</td></tr><tr><td>x</td><td>2</td></tr></table>");
    }
    std::string File(const std::string& name) const { return dir_.File(name); }
    // What a conversion of the input writes into a new file of that kind.
    std::string Expected(const std::string& kind) {
        const std::string path = dir_.File("expected" + kind);
        const TRun run = RunQuarvel({dir_.File("in.htm"), path});
        EXPECT_EQ(run.Status, 0) << run.Err;
        std::string bytes = ReadBytes(path);
        fs::remove(path);
        return bytes;
    }
    TRun Convert(const std::string& target, bool asOrdinaryUser = false) {
        return RunQuarvel({dir_.File("in.htm"), target}, asOrdinaryUser);
    }

    TTempDir dir_;
};

TEST_F(TargetFileTest, AReplacedFileKeepsItsMode) {
    for (const std::string kind : kKinds) {
        const std::string expected = Expected(kind);
        for (mode_t mode : {0600, 0640, 0755}) {
            SCOPED_TRACE(kind + " mode " + std::to_string(mode));
            const std::string target = File("out" + kind);
            WriteBytes(target, "old");
            ASSERT_EQ(::chmod(target.c_str(), mode), 0);
            const TRun run = Convert(target);
            EXPECT_EQ(run.Status, 0) << run.Err;
            EXPECT_TRUE(Holds(target, expected));
            EXPECT_EQ(Lstat(target).st_mode & 07777, mode);
        }
    }
    EXPECT_EQ(Tree(dir_.Path()), (std::set<std::string>{"in.htm", "out.xls", "out.txt"}));
}

TEST_F(TargetFileTest, AReplacedFileKeepsItsOwnerAndGroupWherePermitted) {
    if (!RunningAsRoot()) GTEST_SKIP() << "only the superuser may give a file to another user";
    for (const std::string kind : kKinds) {
        SCOPED_TRACE(kind);
        const std::string target = File("theirs" + kind);
        WriteBytes(target, "old");
        ASSERT_EQ(::chown(target.c_str(), test::kNobody, test::kNogroup), 0);
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
        const TRun run = Convert(target);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(Holds(target, Expected(kind)));
        const struct stat info = Lstat(target);
        EXPECT_EQ(info.st_uid, test::kNobody);
        EXPECT_EQ(info.st_gid, test::kNogroup);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
    }
}

TEST_F(TargetFileTest, AReadOnlyTargetIsRefusedAndLeftAsItWas) {
    for (const std::string kind : kKinds) {
        SCOPED_TRACE(kind);
        const std::string target = File("locked" + kind);
        WriteBytes(target, "old");
        ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
        GiveToOrdinaryUser(dir_.Path());
        const auto before = Tree(dir_.Path());
        const TRun run = Convert(target, true);
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Err, "quarvel: " + target + ": File access denied\n");
        EXPECT_TRUE(Holds(target, "old"));
        EXPECT_EQ(Tree(dir_.Path()), before);
    }
}

TEST_F(TargetFileTest, ASymbolicLinkIsFollowedToTheFileItNames) {
    fs::create_directories(dir_.Path() / "sub" / "deeper");
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
        std::string named;                                        // the file written
        bool existed;
    } cases[] = {
        {"a link beside its file", {{"out", "real"}}, "real", true},
        // Each relative link counts from its own folder; the temporary file goes beside the last.
        {"a chain of relative links", {{"out", "sub/hop"}, {"sub/hop", "deeper/real"}}, "sub/deeper/real", true},
        {"an absolute link", {{"out", File("sub/abs")}}, "sub/abs", true},
        // A link to a file that does not exist yet creates that file, as the shell's > would.
        {"a dangling link", {{"out", "sub/new"}}, "sub/new", false},
    };
    for (const std::string kind : kKinds) {
        const std::string expected = Expected(kind);
        for (const auto& c : cases) {
            SCOPED_TRACE(kind + ", " + c.name);
            for (const auto& [link, to] : c.links) {
                const std::string value = to + kind;
                fs::remove(File(link + kind));
                ASSERT_EQ(::symlink(value.c_str(), File(link + kind).c_str()), 0);
            }
            const std::string named = File(c.named + kind);
            fs::remove(named);
            if (c.existed) WriteBytes(named, std::string(9000, 'o'));
            const TRun run = Convert(File("out" + kind));
            EXPECT_EQ(run.Status, 0) << run.Err;
            EXPECT_TRUE(Holds(named, expected));
            for (const auto& [link, to] : c.links) {
                EXPECT_TRUE(S_ISLNK(Lstat(File(link + kind)).st_mode)) << link;
                EXPECT_EQ(fs::read_symlink(File(link + kind)).string(), to + kind);
            }
            for (const std::string& name : Tree(dir_.Path()))
                EXPECT_NE(fs::path(name).filename().string()[0], '.') << "left behind: " << name;
        }
    }
}

TEST_F(TargetFileTest, AFileWithSeveralHardLinksIsWrittenInPlace) {
    for (const std::string kind : kKinds) {
        SCOPED_TRACE(kind);
        const std::string a = File("a" + kind), b = File("b" + kind);
        WriteBytes(a, std::string(20000, 'o'));
        ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
        const ino_t inode = Lstat(a).st_ino;
        const TRun run = Convert(b);
        EXPECT_EQ(run.Status, 0) << run.Err;
        const std::string expected = Expected(kind);
        EXPECT_TRUE(Holds(a, expected));
        EXPECT_TRUE(Holds(b, expected));
        EXPECT_EQ(Lstat(a).st_ino, inode);
        EXPECT_EQ(Lstat(b).st_nlink, 2u);
    }
    EXPECT_EQ(Tree(dir_.Path()), (std::set<std::string>{"in.htm", "a.xls", "b.xls", "a.txt", "b.txt"}));
}

TEST_F(TargetFileTest, AFifoIsWrittenInPlace) {
    for (const std::string kind : kKinds) {
        SCOPED_TRACE(kind);
        const std::string fifo = File("pipe" + kind), got = File("got" + kind);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // The reader: a child process copying what comes through into a file.
        const pid_t reader = ::fork();
        ASSERT_GE(reader, 0);
        if (reader == 0) {
            const int in = ::open(fifo.c_str(), O_RDONLY);
            const int out = ::open(got.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
                if (::write(out, buffer, static_cast<size_t>(n)) != n) ::_exit(1);
            }
            ::_exit(n == 0 ? 0 : 1);
        }
        const TRun run = Convert(fifo);
        // A reader that got nothing would wait for ever: it is given a few seconds.
        int status = 0;
        pid_t ended = 0;
        for (int wait = 0; wait < 500 && (ended = ::waitpid(reader, &status, WNOHANG)) == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ended == 0) {
            ::kill(reader, SIGKILL);
            ::waitpid(reader, &status, 0);
            ADD_FAILURE() << "nothing came through the FIFO";
        }
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_TRUE(Holds(got, Expected(kind)));
        EXPECT_TRUE(S_ISFIFO(Lstat(fifo).st_mode));
    }
}

TEST_F(TargetFileTest, ACharacterDeviceIsWrittenInPlace) {
    // A node of the null device of our own, so that no mistake can replace the system's /dev/null.
    for (const std::string kind : kKinds) {
        SCOPED_TRACE(kind);
        const std::string device = File("null" + kind);
        if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            GTEST_SKIP() << "cannot make a device node here (needs the superuser)";
        const TRun run = Convert(device);
        EXPECT_EQ(run.Status, 0) << run.Err;
        const struct stat info = Lstat(device);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_EQ(info.st_rdev, makedev(1, 3));
    }
    EXPECT_EQ(Tree(dir_.Path()), (std::set<std::string>{"in.htm", "null.xls", "null.txt"}));
}

TEST_F(TargetFileTest, TargetsThatCannotBeFilesGetTheirOwnMessage) {
    fs::create_directory(dir_.Path() / "folder.xls");
    fs::create_directory(dir_.Path() / "folder.txt");
    WriteBytes(File("folder.xls/inside"), "keep");
    WriteBytes(File("plain"), "a file");
    const struct {
        std::string target;
        const char* message;
    } cases[] = {
        {File("folder.xls"), "Is a directory"},
        {File("folder.txt"), "Is a directory"},
        {File("folder.txt/"), "Is a directory"},
        {File("plain/out.xls"), "Not a directory"},
        {File("plain/out.txt"), "Not a directory"},
        {File("none/out.xls"), "File not found"},
    };
    const auto before = Tree(dir_.Path());
    for (const auto& c : cases) {
        const TRun run = Convert(c.target);
        EXPECT_EQ(run.Status, 1) << c.target;
        EXPECT_EQ(run.Err, "quarvel: " + c.target + ": " + c.message + "\n");
    }
    EXPECT_EQ(Tree(dir_.Path()), before);
    EXPECT_EQ(ReadBytes(File("folder.xls/inside")), "keep");
}

TEST_F(TargetFileTest, ASignalDuringAConversionLeavesTheOldTargetAndNoTemporaryFile) {
    // Large enough that the temporary file exists for a good while (it is synced before the rename).
    std::string grid;
    for (int row = 0; row < 40000; ++row) {
        for (int col = 0; col < 50; ++col) grid += std::to_string(row * 50 + col) + (col == 49 ? "\r\n" : "\t");
    }
    WriteBytes(File("big.tsv"), grid);
    for (const std::string kind : kKinds) {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SCOPED_TRACE(kind + " " + strsignal(signal));
            const std::string target = File("out" + kind);
            WriteBytes(target, "old");
            TQuarvelProcess quarvel({"/n", File("big.tsv"), target});
            // Waits for the temporary file beside the target.
            bool seen = false;
            while (!seen && quarvel.Running()) {
                for (const auto& entry : fs::directory_iterator(dir_.Path()))
                    if (entry.path().filename().string().rfind(".out" + kind + ".", 0) == 0) seen = true;
                if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ASSERT_TRUE(seen) << "the conversion ended before its temporary file was seen";
            ASSERT_EQ(::kill(quarvel.Pid(), signal), 0);
            const TRun run = quarvel.Wait();
            EXPECT_EQ(run.Status, 128 + signal) << run.Err;
            EXPECT_EQ(Tree(dir_.Path()), (std::set<std::string>{"in.htm", "big.tsv", "out" + kind}));
            EXPECT_TRUE(Holds(target, "old"));
            fs::remove(target);
        }
    }
}

}  // namespace
}  // namespace quarvel
