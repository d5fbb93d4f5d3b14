#include "file_bytes.h"
#include "files/safe_file_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SafeFileWriter, CancelAndFailedWritesLeaveThePreviousFile) {
    const std::string dir = MakeTempDir("safe");
    const std::string path = dir + "/f.bin";
    WriteFile(path, "old");
    {
        CSafeFileWriter w;
        ASSERT_TRUE(w.Open(path));
        ASSERT_TRUE(w.Write("new", 3));
        w.Cancel();
    }
    EXPECT_EQ(ReadFile(path), "old");
    {
        CSafeFileWriter w;  // destroyed without Commit
        ASSERT_TRUE(w.Open(path));
        w.Write("new", 3);
    }
    EXPECT_EQ(ReadFile(path), "old");
    {
        const std::string big(300000, 'x');
        CSafeFileWriter w;
        ASSERT_TRUE(w.Open(path));
        CFileSizeLimit limit(100000);
        w.Write(big.data(), big.size());
        EXPECT_FALSE(w.Commit());
        EXPECT_FALSE(w.Error().empty());
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);

    CSafeFileWriter w;
    ASSERT_TRUE(w.Open(path));
    ASSERT_TRUE(w.Write("new", 3));
    ASSERT_TRUE(w.Commit());
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_FALSE(w.Open(dir + "/missing/f.bin"));
    EXPECT_FALSE(w.Error().empty());
}

// Each way a save can fail underneath: Commit fails, names the cause, and leaves no file
// half-written or left over.
TEST(SafeFileWriter, CommitFailsWithTheCause) {
    struct SCase {
        const char* name;
        const char* cause;
        std::function<std::string(const std::string& dir)> target;  // where to write
        std::function<void(const std::string& dir)> beforeCommit;
    };
    const auto none = [](const std::string&) {};
    const SCase cases[] = {
        // Small enough to sit in a buffer until the end: the last flush is checked too.
        {"full device", "No space left on device", [](const std::string&) { return std::string("/dev/full"); }, none},
        {"folder removed", "No such file or directory", [](const std::string& dir) { return dir + "/sub/f.bin"; },
         [](const std::string& dir) { std::filesystem::remove_all(dir + "/sub"); }},
        {"target is a folder", "Is a directory", [](const std::string& dir) { return dir + "/sub"; }, none},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = MakeTempDir("safe_fail");
        std::filesystem::create_directory(dir + "/sub");
        const std::string path = c.target(dir);
        CSafeFileWriter w;
        if (w.Open(path)) {
            w.Write("new", 3);
            c.beforeCommit(dir);
            EXPECT_FALSE(w.Commit());
        }
        EXPECT_NE(w.Error().find(c.cause), std::string::npos) << w.Error();
        EXPECT_FALSE(w.IsOpen());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            EXPECT_TRUE(entry.is_directory()) << "left over: " << entry.path();
    }
}

namespace {
// Makes one step of the writer fail, the first time it is called, with a cause; the other
// calls go to the system.
enum class EStep { Write, Sync, Size, Close, Rename, FolderSync };
struct SFault {
    EStep step;
    int error;  // 0: the step "succeeds" wrongly (a size check that finds a byte missing)
    bool fired;
} g_fault;

bool Fires(EStep step) {
    if (g_fault.step != step || g_fault.fired) return false;
    g_fault.fired = true;
    errno = g_fault.error;
    return true;
}

const CSafeFileWriter::SCalls kFaultyCalls = {
    [](const std::string& p) { return CSafeFileWriter::SystemCalls().createTemporary(p); },
    [](const std::string& p) { return CSafeFileWriter::SystemCalls().openExisting(p); },
    [](int fd, const uint8_t* d, size_t n) { return Fires(EStep::Write) ? -1 : CSafeFileWriter::SystemCalls().write(fd, d, n); },
    [](int fd) { return Fires(EStep::Sync) ? -1 : CSafeFileWriter::SystemCalls().sync(fd); },
    [](int fd, uint64_t& size) {
        const int result = CSafeFileWriter::SystemCalls().size(fd, size);
        if (Fires(EStep::Size)) size -= 1;
        return result;
    },
    [](int fd) {
        const int result = CSafeFileWriter::SystemCalls().close(fd);  // the handle goes whatever close says
        return Fires(EStep::Close) ? -1 : result;
    },
    [](const std::string& from, const std::string& to, bool replace) {
        return Fires(EStep::Rename) ? -1 : CSafeFileWriter::SystemCalls().rename(from, to, replace);
    },
    [](const std::string& folder) { return Fires(EStep::FolderSync) ? -1 : CSafeFileWriter::SystemCalls().syncFolder(folder); },
};

struct SUseFaultyCalls {
    explicit SUseFaultyCalls(SFault fault) {
        g_fault = fault;
        CSafeFileWriter::UseCalls(&kFaultyCalls);
    }
    ~SUseFaultyCalls() { CSafeFileWriter::UseCalls(nullptr); }
};

size_t EntriesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
}
}  // namespace

// Every step of a save failing in turn, for a small file (written out by Commit's flush) and
// a big one (written out by Write): the old file stays, the cause is told, nothing is left over.
TEST(SafeFileWriter, EachFailingStepKeepsTheOldFileAndTellsTheCause) {
    const struct {
        const char* name;
        SFault fault;
        const char* cause;
    } cases[] = {
        {"write", {EStep::Write, ENOSPC, false}, "No space left on device"},
        {"sync", {EStep::Sync, EIO, false}, "Input/output error"},
        {"size check", {EStep::Size, 0, false}, "the disk holds"},
        {"close", {EStep::Close, EDQUOT, false}, "Disk quota exceeded"},
        {"folder sync", {EStep::FolderSync, EIO, false}, "Input/output error"},
        {"rename", {EStep::Rename, EACCES, false}, "Permission denied"},
    };
    for (const size_t size : {size_t{3}, size_t{200000}}) {
        for (const auto& c : cases) {
            for (const auto target : {CSafeFileWriter::ETarget::Replace, CSafeFileWriter::ETarget::New}) {
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(size) + " bytes" +
                             (target == CSafeFileWriter::ETarget::New ? ", new name" : ""));
                const std::string dir = MakeTempDir("safe_fault");
                const std::string path = dir + "/f.bin";
                WriteFile(path, "old");
                const std::string data(size, 'n');
                bool committed = false;
                CSafeFileWriter w;
                {
                    SUseFaultyCalls faulty(c.fault);
                    ASSERT_TRUE(w.Open(path, target));
                    w.Write(data.data(), data.size());
                    committed = w.Commit();
                }
                EXPECT_FALSE(committed);
                EXPECT_NE(w.Error().find(c.cause), std::string::npos) << w.Error();
                EXPECT_FALSE(w.IsOpen());
                EXPECT_EQ(ReadFile(path), "old");
                EXPECT_EQ(EntriesIn(dir), 1u);
            }
        }
    }
}

// Files of names of Tessiva's own: a name taken before the save or during it gets another
// name, and the writer says which; nothing that was there is replaced or followed.
TEST(SafeFileWriter, ANewFileNeverReplacesOne) {
    const std::string dir = MakeTempDir("safe_new");
    const std::string path = dir + "/b.qcn";
    WriteFile(path, "first");
    std::filesystem::create_symlink(dir + "/elsewhere", dir + "/b-2.qcn");  // dangling: not followed either
    CSafeFileWriter early, late;
    ASSERT_TRUE(early.Open(dir + "/c.qcn", CSafeFileWriter::ETarget::New));
    ASSERT_TRUE(late.Open(dir + "/c.qcn", CSafeFileWriter::ETarget::New));
    ASSERT_TRUE(early.Write("early", 5));
    ASSERT_TRUE(late.Write("late", 4));
    ASSERT_TRUE(late.Commit());
    ASSERT_TRUE(early.Commit());
    EXPECT_EQ(late.Path(), dir + "/c.qcn");
    EXPECT_EQ(early.Path(), dir + "/c-2.qcn");
    EXPECT_EQ(ReadFile(dir + "/c.qcn"), "late");
    EXPECT_EQ(ReadFile(dir + "/c-2.qcn"), "early");

    std::string error;
    CSafeFileWriter w;
    ASSERT_TRUE(w.Open(path, CSafeFileWriter::ETarget::New));
    ASSERT_TRUE(w.Write("second", 6));
    ASSERT_TRUE(w.Commit()) << w.Error();
    EXPECT_EQ(w.Path(), dir + "/b-3.qcn");
    EXPECT_EQ(ReadFile(path), "first");
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/b-2.qcn"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/elsewhere"));
    EXPECT_EQ(ReadFile(dir + "/b-3.qcn"), "second");
}

// Many saves racing for one name each end in a file of their own holding their own bytes.
TEST(SafeFileWriter, RacingNewFilesEachKeepTheirOwnBytes) {
    const std::string dir = MakeTempDir("safe_race");
    constexpr int kWriters = 8;
    std::vector<std::string> paths(kWriters);
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i)
        threads.emplace_back([&, i] {
            CSafeFileWriter w;
            const std::string bytes(1000 + i, static_cast<char>('a' + i));
            if (w.Open(dir + "/backup.cnv", CSafeFileWriter::ETarget::New) && w.Write(bytes.data(), bytes.size()) &&
                w.Commit())
                paths[i] = w.Path();
        });
    for (auto& t : threads) t.join();
    std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kWriters));
    for (int i = 0; i < kWriters; ++i) EXPECT_EQ(ReadFile(paths[i]), std::string(1000 + i, static_cast<char>('a' + i)));
    EXPECT_EQ(EntriesIn(dir), static_cast<size_t>(kWriters));
}

// A killed save's temporary file is recognisable and goes with the next save into its
// folder; a live save's stays and still commits.
TEST(SafeFileWriter, TheNextSaveRemovesWhatAKilledOneLeft) {
    const std::string dir = MakeTempDir("safe_stale");
    const std::string stale = dir + "/.f.bin.k1ll3d" + CSafeFileWriter::kPartialSuffix;
    WriteFile(stale, "half");
    WriteFile(dir + "/.f.bin.keep", "not ours");
    CSafeFileWriter live;
    ASSERT_TRUE(live.Open(dir + "/g.bin"));
    ASSERT_TRUE(live.Write("live", 4));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(dir + "/.f.bin.keep"));
    ASSERT_EQ(EntriesIn(dir), 2u);  // the live save's temporary file and the one not ours
    std::string error;
    ASSERT_TRUE(CSafeFileWriter::WriteWholeFile(dir + "/f.bin", std::string("new"), error)) << error;
    EXPECT_EQ(EntriesIn(dir), 3u);
    ASSERT_TRUE(live.Commit()) << live.Error();
    EXPECT_EQ(ReadFile(dir + "/g.bin"), "live");
    EXPECT_EQ(EntriesIn(dir), 3u);
}

// Outputs that are no files: a pipe nothing reads from is refused at once, one with a
// reader is written; nothing grows past what Tessiva reads back.
TEST(SafeFileWriter, PipesWithoutReadersAndOversizedFilesAreRefused) {
    const std::string dir = MakeTempDir("safe_pipe");
    const std::string pipe = dir + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    CSafeFileWriter w;
    EXPECT_FALSE(w.Open(pipe));
    EXPECT_EQ(w.Error(), "no program reads from this pipe");
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(w.Open(pipe)) << w.Error();
    ASSERT_TRUE(w.Write("abc", 3));
    ASSERT_TRUE(w.Commit()) << w.Error();
    char got[4] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 3);
    close(reader);

    ASSERT_TRUE(w.Open(dir + "/big"));
    const char byte = 'x';
    ASSERT_TRUE(w.Write(&byte, 1));
    // The size is checked before a byte is looked at.
    EXPECT_FALSE(w.Write(&byte, CSafeFileWriter::kMaxFileSize));
    EXPECT_EQ(w.Error(), CSafeFileWriter::TooLargeText());
    EXPECT_FALSE(w.Commit());
    EXPECT_FALSE(std::filesystem::exists(dir + "/big"));
}
