// The atomic writer of output files, as a unit: positioned writes, writing in place, targets that
// cannot seek, the removal of temporary files by signals, the sync switch. What the program makes of
// it for each kind of target is tested end to end in tests/quarvel/TargetFileTests.cpp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "tests/platform/PlatformSupport.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;
using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(AtomicFile, PositionedWritesAppearOnlyOnCommit) {
    TTempDir dir;
    const std::string target = dir.File("out.bin");
    WriteBytes(target, "old");
    TAtomicFile file(target);
    EXPECT_FALSE(file.InPlace());
    file.Write("hello ", 6);
    file.WriteAt(0, "J", 1);     // back over written bytes; Write's position stays
    file.Write("world", 5);
    file.WriteAt(15, "!", 1);    // past the end: the gap reads as zeros
    EXPECT_EQ(file.Size(), 16u);
    EXPECT_EQ(ReadBytes(target), "old");
    const std::string temp = fs::path(file.TemporaryPath()).filename().string();
    EXPECT_EQ(temp.rfind(".out.bin.", 0), 0u) << temp;
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"out.bin", temp}));
    file.Commit();
    EXPECT_EQ(ReadBytes(target), "Jello world\0\0\0\0!"s);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"out.bin"});
    EXPECT_THROW(file.Write("x", 1), Error);
}

TEST(AtomicFile, AHardLinkedFileIsWrittenInPlaceAndEmptiedOnlyByTheFirstByte) {
    TTempDir dir;
    const std::string a = dir.File("a"), b = dir.File("b");
    WriteBytes(a, "the old content");
    ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
    const ino_t inode = Inode(a);
    {
        TAtomicFile abandoned(a);
        EXPECT_TRUE(abandoned.InPlace());
        EXPECT_EQ(abandoned.TemporaryPath(), "");
    }  // destroyed before any byte went out
    EXPECT_EQ(ReadBytes(b), "the old content");
    TAtomicFile file(b);
    file.Write("new", 3);
    file.WriteAt(0, "N", 1);
    file.Commit();
    EXPECT_EQ(ReadBytes(a), "New");
    EXPECT_EQ(ReadBytes(b), "New");
    EXPECT_EQ(Inode(a), inode);
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"a", "b"}));
    // Nothing written at all still empties it.
    TAtomicFile empty(a);
    empty.Commit();
    EXPECT_EQ(ReadBytes(b), "");
}

// Reads the FIFO at `path` to its end in a child process; Collect returns what came through.
class TFifoReader {
public:
    explicit TFifoReader(const std::string& path) : into_(path + ".got") {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int in = ::open(path.c_str(), O_RDONLY);
            const int out = ::open(into_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            char buffer[4096];
            ssize_t got;
            while ((got = ::read(in, buffer, sizeof buffer)) > 0) {
                if (::write(out, buffer, static_cast<size_t>(got)) != got) ::_exit(1);
            }
            ::_exit(got == 0 ? 0 : 1);
        }
    }
    ~TFifoReader() {
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    std::string Collect() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return ReadBytes(into_);
    }

private:
    std::string into_;
    pid_t pid_ = -1;
};

TEST(AtomicFile, ATargetThatCannotSeekGetsSequentialBytesAtOnceAndTheRestThroughASpool) {
    TTempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        // Sequential bytes go straight through; a write further on starts the spool, which the
        // commit sends; bytes already sent cannot be written again.
        TFifoReader reader(fifo);
        TAtomicFile file(fifo);
        EXPECT_TRUE(file.InPlace());
        EXPECT_TRUE(file.Seekable());
        file.Write("abc", 3);
        EXPECT_FALSE(file.Seekable());
        file.WriteAt(6, "z", 1);
        file.WriteAt(3, "d", 1);
        file.Commit();
        EXPECT_EQ(reader.Collect(), "abcd\0\0z"s);
    }
    {
        TFifoReader reader(fifo);
        TAtomicFile file(fifo);
        file.Write("abc", 3);
        EXPECT_THROW_MSG(file.WriteAt(1, "x", 1), FileError, "I/O error " + std::to_string(ESPIPE));
        EXPECT_EQ(reader.Collect(), "abc");
    }
    {
        // A caller that patches gets everything through the spool.
        TFifoReader reader(fifo);
        TAtomicFile file(fifo, TAtomicFileOptions{true, true});
        file.Write("abc", 3);
        file.WriteAt(0, "A", 1);
        EXPECT_TRUE(file.Seekable());
        file.Commit();
        EXPECT_EQ(reader.Collect(), "Abc");
    }
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// ---------------------------------------------------------------------------------------------------
// Signals

void (*HandlerOf(int signal))(int) {
    struct sigaction action {};
    ::sigaction(signal, nullptr, &action);
    return action.sa_handler;
}

TEST(AtomicFileSignals, TheHandlerIsInstalledOnlyWhileATemporaryFileExists) {
    TTempDir dir;
    const auto hup = ::signal(SIGHUP, SIG_IGN);  // an ignored signal stays ignored
    ASSERT_EQ(HandlerOf(SIGTERM), SIG_DFL);
    {
        TAtomicFile first(dir.File("a"));
        EXPECT_NE(HandlerOf(SIGTERM), SIG_DFL);
        EXPECT_NE(HandlerOf(SIGINT), SIG_DFL);
        EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
        TAtomicFile second(dir.File("b"));
        first.Commit();
        EXPECT_NE(HandlerOf(SIGTERM), SIG_DFL) << "the second file still needs it";
        second.Abort();
        EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
        EXPECT_EQ(HandlerOf(SIGINT), SIG_DFL);
        EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    }
    {
        // Written in place: there is no temporary file to remove.
        ASSERT_EQ(::link(dir.File("a").c_str(), dir.File("a2").c_str()), 0);
        TAtomicFile inPlace(dir.File("a"));
        EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
    }
    ::signal(SIGHUP, hup);
}

TEST(AtomicFileSignals, EachSignalRemovesTheTemporaryFilesAndEndsTheProcess) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TTempDir dir;
        WriteBytes(dir.File("kept"), "old");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Several targets in sequence, then two open at once when the signal comes.
            for (int each : {SIGINT, SIGTERM, SIGHUP}) ::signal(each, SIG_DFL);
            try {
                for (int i = 0; i < 3; ++i) WriteFileAtomic(dir.File("done"), "round " + std::to_string(i));
                TAtomicFile kept(dir.File("kept"));
                kept.Write(std::string(100000, 'k'));
                TAtomicFile fresh(dir.File("fresh"));
                fresh.Write("f", 1);
                ::raise(signal);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(4);  // the signal did not end the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"done", "kept"}));
        EXPECT_EQ(ReadBytes(dir.File("kept")), "old");
        EXPECT_EQ(ReadBytes(dir.File("done")), "round 2");
    }
}

// ---------------------------------------------------------------------------------------------------
// Sync switch

TEST(AtomicFile, SyncIsOnUnlessQuarvelNoSyncIsSet) {
    const char* saved = std::getenv("QUARVEL_NO_SYNC");
    const std::string before = saved ? saved : "";
    const struct {
        const char* value;  // nullptr: unset
        bool sync;
    } cases[] = {{nullptr, true}, {"", true}, {"0", true}, {"1", false}, {"yes", false}};
    for (const auto& c : cases) {
        if (c.value) {
            ::setenv("QUARVEL_NO_SYNC", c.value, 1);
        } else {
            ::unsetenv("QUARVEL_NO_SYNC");
        }
#ifdef QUARVEL_NO_SYNC_DEFAULT
        EXPECT_FALSE(TAtomicFile::SyncEnabled()) << (c.value ? c.value : "unset");
#else
        EXPECT_EQ(TAtomicFile::SyncEnabled(), c.sync) << (c.value ? c.value : "unset");
#endif
    }
    if (saved) {
        ::setenv("QUARVEL_NO_SYNC", before.c_str(), 1);
    } else {
        ::unsetenv("QUARVEL_NO_SYNC");
    }
}

}  // namespace
}  // namespace quarvel
