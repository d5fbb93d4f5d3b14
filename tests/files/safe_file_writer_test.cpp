#include "file_bytes.h"
#include "files/safe_file_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST(SafeFileWriter, CommitFailsWithTheReasonWhenTheFolderWentAway) {
    const std::string dir = MakeTempDir("safe") + "/gone";
    std::filesystem::create_directory(dir);
    CSafeFileWriter w;
    ASSERT_TRUE(w.Open(dir + "/f.bin"));
    ASSERT_TRUE(w.Write("new", 3));
    std::filesystem::remove_all(dir);
    EXPECT_FALSE(w.Commit());
    EXPECT_FALSE(w.Error().empty());
    EXPECT_FALSE(std::filesystem::exists(dir));
}
