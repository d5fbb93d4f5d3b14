#include "file_bytes.h"
#include "files/safe_file_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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
