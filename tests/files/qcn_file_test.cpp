#include "file_bytes.h"
#include "files/compound_file.h"
#include "files/qcn_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {
// A compound file of any shape: "a/b/c" are storages, a leading "=" makes the last part a
// stream, so odd layouts can be made.
void MakeCompoundFile(const std::string& path, const std::vector<std::string>& entries) {
    CCompoundNode root;
    for (const auto& entry : entries) {
        const bool stream = entry[0] == '=';
        const std::string full = stream ? entry.substr(1) : entry;
        CCompoundNode* node = &root;
        for (size_t start = 0;;) {
            const size_t slash = full.find('/', start);
            const std::string name = full.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (slash == std::string::npos) {
                if (!stream) node->Storage(name);
                else {
                    Bytes bytes(134, 0);
                    bytes[0] = 7;
                    node->Stream(name).SetBytes(bytes);
                }
                break;
            }
            node = &node->Storage(name);
            start = slash + 1;
        }
    }
    std::string error;
    ASSERT_TRUE(CCompoundFile::Write(path, root, error)) << error;
}

// The item storages a load would take, or "!" and the reason.
std::string StorageNames(const std::string& path) {
    CQcnFile file;
    std::vector<std::string> names;
    if (!file.Open(path) || !file.OpenFirstLevels() || !file.ListItemStorages(names)) return "!" + file.Error();
    std::string text;
    for (const auto& n : names) text += n + " ";
    file.CommitAndClose();
    return text;
}

// Reads everything a load reads; false on damage, with the reason in error.
bool ReadAll(const std::string& path, std::string* error = nullptr) {
    CQcnFile file;
    struct SKeepError {
        CQcnFile& file;
        std::string* error;
        ~SKeepError() {
            if (error) *error = file.Error();
        }
    } keep{file, error};
    std::vector<std::string> storages, streams;
    if (!file.Open(path) || !file.OpenFirstLevels() || !file.ListItemStorages(storages)) return false;
    CQcnFile::SElement element;
    for (const auto& s : storages) {
        if (!file.OpenItemStorage(s) || !file.ListStreams(streams)) return false;
        for (const auto& name : streams)
            if (!file.ReadElement(name, element)) return false;
    }
    return file.CommitAndClose();
}
}  // namespace

TEST(QcnFile, WrittenItemsReadBackWithHeaderWordsAndZeroFilledBlocks) {
    const std::string path = MakeTempDir("qcn") + "/a.qcn";
    CQcnFile file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.CreateLevel("00000000"));
    ASSERT_TRUE(file.CreateLevel("default"));
    const Bytes full(128, 0x5A);
    // Element 0 of item 20 is not written: its other elements still get storage 20.
    const CNVItemArray list = List({Rec(10, -1, 0, 1, full), Rec(20, 0, 3, 0, {1}), Rec(20, 1, 3, 1, {2, 3}),
                                    Rec(20, 2, 3, 1, {4}), Rec(30, -1, 0, -1, {}), Rec(441, -1, 0, 1, {9, 8, 7, 6})});
    int lastProgress = -1;
    ASSERT_TRUE(file.WriteItems(list, [&](int i) { lastProgress = i; }));
    EXPECT_EQ(lastProgress, list.GetSize() - 1);
    std::vector<int> steps;
    ASSERT_TRUE(file.CommitAndClose([&](int s) { steps.push_back(s); })) << file.Error();
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));

    EXPECT_EQ(StorageNames(path), "10 20 441 ");
    CQcnFile in;
    ASSERT_TRUE(in.Open(path));
    ASSERT_TRUE(in.OpenFirstLevels());
    std::vector<std::string> streams;
    ASSERT_TRUE(in.OpenItemStorage("20"));
    ASSERT_TRUE(in.ListStreams(streams));
    EXPECT_EQ(streams, (std::vector<std::string>{"1", "2"}));
    CQcnFile::SElement e;
    ASSERT_TRUE(in.ReadElement("1", e));
    EXPECT_EQ(e.id, 20);
    EXPECT_EQ(e.index, 1);
    EXPECT_EQ(e.length, 128);
    Bytes block(128, 0);
    block[0] = 2;
    block[1] = 3;
    EXPECT_EQ(e.block, block);
    ASSERT_TRUE(in.OpenItemStorage("10"));
    ASSERT_TRUE(in.ReadElement("0", e));
    EXPECT_EQ(e.block, full);
    EXPECT_EQ(e.index, 0);  // a non-array record's index -1 is written as 0
}

// Read from memory as from a file; elements past what the definitions hold are refused.
TEST(QcnFile, ElementsPastTheDefinitionsAreRefused) {
    const std::string path = MakeTempDir("qcn") + "/a.qcn";
    {
        CQcnFile file;
        ASSERT_TRUE(file.Create(path) && file.CreateLevel("00000000") && file.CreateLevel("default"));
        ASSERT_TRUE(file.WriteItems(List({Rec(20, 0, 2, 1, {3}), Rec(20, 1, 2, 1, {4})})));
        ASSERT_TRUE(file.CommitAndClose());
    }
    const Bytes bytes = ReadBytes(path);
    CQcnFile in;
    ASSERT_TRUE(in.OpenMemory(bytes.data(), bytes.size()) && in.OpenFirstLevels() && in.OpenItemStorage("20"));
    in.SetMaxElements(1);
    CQcnFile::SElement e;
    EXPECT_TRUE(in.ReadElement("0", e));
    EXPECT_EQ(e.block[0], 3);
    EXPECT_FALSE(in.ReadElement("1", e));
    EXPECT_NE(in.Error().find("more than the 1 elements the definitions can hold"), std::string::npos) << in.Error();
}

TEST(QcnFile, SameElementTwiceIsRefusedAndLeavesNoFile) {
    const std::string path = MakeTempDir("qcn") + "/a.qcn";
    CQcnFile file;
    ASSERT_TRUE(file.Create(path) && file.CreateLevel("00000000") && file.CreateLevel("default"));
    EXPECT_FALSE(file.WriteItems(List({Rec(20, 1, 3, 1, {1}), Rec(10, -1, 0, 1, {1}), Rec(20, 1, 3, 1, {2})})));
    EXPECT_NE(file.Error().find("NV Item ID = 20 holds element 1 twice"), std::string::npos) << file.Error();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(QcnFile, ItemStorageListStopsAtTheFirstStreamAndLevelNamesDoNotMatter) {
    const std::string dir = MakeTempDir("qcn");
    // Children come in the format's order, by name length, then name: 5, 7, 8 (a stream), 9.
    MakeCompoundFile(dir + "/a.qcn", {"00000000", "00000000/default", "00000000/default/5", "00000000/default/7",
                                      "00000000/default/9", "=00000000/default/8"});
    EXPECT_EQ(StorageNames(dir + "/a.qcn"), "5 7 ");
    MakeCompoundFile(dir + "/b.qcn", {"x", "x/y", "x/y/12", "x/y/3"});
    EXPECT_EQ(StorageNames(dir + "/b.qcn"), "3 12 ");
    MakeCompoundFile(dir + "/c.qcn", {"=a", "b", "b/c"});  // the root lists a stream first
    EXPECT_EQ(StorageNames(dir + "/c.qcn").substr(0, 1), "!");
    MakeCompoundFile(dir + "/d.qcn", {"x", "x/y", "x/y/12", "x/y/ab"});
    EXPECT_EQ(StorageNames(dir + "/d.qcn"), "12 ");
    WriteFile(dir + "/e.qcn", "not a compound file");
    EXPECT_EQ(StorageNames(dir + "/e.qcn").substr(0, 1), "!");
    EXPECT_EQ(StorageNames(dir + "/missing.qcn").substr(0, 1), "!");
}

TEST(QcnFile, TruncatedFilesAreRefusedAndMutatedOnesReadOrAreRefusedWithAReason) {
    const std::string dir = MakeTempDir("qcn");
    const std::string path = dir + "/good.qcn";
    {
        CQcnFile file;
        ASSERT_TRUE(file.Create(path) && file.CreateLevel("00000000") && file.CreateLevel("default"));
        ASSERT_TRUE(file.WriteItems(List({Rec(10, -1, 0, 1, {1, 2}), Rec(20, 0, 2, 1, {3}), Rec(20, 1, 2, 1, {4})})));
        ASSERT_TRUE(file.CommitAndClose());
    }
    const Bytes good = ReadBytes(path);
    ASSERT_TRUE(ReadAll(path));
    // A cut into what the streams hold is refused with a reason; only the padding after the
    // last stream's bytes, inside the last sector, may go.
    const size_t lastSector = good.size() - 512;
    bool reads = false;
    for (size_t length = 0; length < good.size(); ++length) {
        WriteFile(dir + "/cut.qcn", AsString(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(length))));
        std::string error;
        const bool read = ReadAll(dir + "/cut.qcn", &error);
        if (read && !reads) {
            EXPECT_GT(length, lastSector) << "the first cut that reads";
        }
        EXPECT_TRUE(read || !reads) << "length " << length << ": refused after a shorter cut read";
        EXPECT_TRUE(read || !error.empty()) << "length " << length;
        reads = read;
    }
    // Changed bytes may fall where nothing is read; a file that is refused says why.
    std::mt19937 random(5);
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes bad = good;
        for (int k = 0; k < 4; ++k) bad[random() % bad.size()] = static_cast<uint8_t>(random());
        WriteFile(dir + "/bad.qcn", AsString(bad));
        std::string error;
        if (ReadAll(dir + "/bad.qcn", &error)) continue;
        ++refused;
        EXPECT_FALSE(error.empty()) << "round " << round;
    }
    EXPECT_GT(refused, 0);
}

// A damaged file is refused with a reason in the message, nothing on stderr.
TEST(QcnFile, DamageIsExplainedInTheLoadMessage) {
    const std::string dir = MakeTempDir("qcn");
    const std::string path = dir + "/good.qcn";
    {
        CQcnFile file;
        ASSERT_TRUE(file.Create(path) && file.CreateLevel("00000000") && file.CreateLevel("default"));
        ASSERT_TRUE(file.WriteItems(List({Rec(10, -1, 0, 1, {1, 2}), Rec(20, 0, 2, 1, {3}), Rec(20, 1, 2, 1, {4})})));
        ASSERT_TRUE(file.CommitAndClose());
    }
    const Bytes good = ReadBytes(path);
    int explained = 0;
    ::testing::internal::CaptureStderr();
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        Bytes bad = good;
        for (int k = 0; k < 4; ++k) bad[random() % bad.size()] = static_cast<uint8_t>(random());
        WriteFile(dir + "/bad.qcn", AsString(bad));
        std::string error;
        if (!ReadAll(dir + "/bad.qcn", &error)) {
            EXPECT_NE(error, "");
            explained += error.find("damaged") != std::string::npos;
        }
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_GT(explained, 0);
}
