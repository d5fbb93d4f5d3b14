#include "files/brt_file.h"
#include "file_bytes.h"
#include "model/item_list_ops.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {
// Writes list as a store does (inactive records removed first) and returns the file's bytes.
Bytes Store(const CNVItemArray& input, const std::string& path) {
    CNVItemArray w = input;
    RemoveInactive(w);
    const auto groups = CBrtFile::GroupRecords(w);
    CBrtFile file;
    EXPECT_TRUE(file.Create(path));
    file.WriteCount(static_cast<uint32_t>(groups.size()));
    for (const auto& g : groups) file.WriteRecord(static_cast<uint32_t>(w[g.first].Id()), CBrtFile::RecordData(w, g));
    EXPECT_TRUE(file.Commit()) << file.Error();
    return ReadBytes(path);
}

// Reads every record; false with the reason when the file is damaged.
bool ReadAll(const std::string& path, std::vector<std::pair<uint32_t, Bytes>>& records, std::string& error) {
    CBrtFile file;
    records.clear();
    if (!file.Open(path)) {
        error = file.Error();
        return false;
    }
    uint32_t n = 0;
    if (!file.ReadCount(n)) {
        error = file.Error();
        return false;
    }
    for (uint32_t k = 0; k < n; ++k) {
        uint32_t id = 0;
        Bytes data;
        if (!file.ReadRecord(id, data)) {
            error = file.Error();
            return false;
        }
        records.emplace_back(id, data);
    }
    return true;
}
}  // namespace

TEST(BrtFile, GoldenBytesForPlainItemArrayInSlotsAndTheOneElementForm) {
    const std::string dir = MakeTempDir("brt");
    // Plain item 10; array 20 of four elements with 0 and 2 active; array 30 with only
    // element 1 active; item 40 not active at all.
    const CNVItemArray list = List({Rec(10, -1, 0, 1, {1, 2, 3, 4}), Rec(20, 0, 4, 1, {0xAA, 0xBB, 0xCC}),
                                    Rec(20, 1, 4, 0, {0, 0, 0}), Rec(20, 2, 4, 1, {0xDD, 0xEE, 0xFF}),
                                    Rec(20, 3, 4, 0, {0, 0, 0}), Rec(30, 0, 2, 0, {0, 0}),
                                    Rec(30, 1, 2, 1, {0x11, 0x22}), Rec(40, -1, 0, 0, {9})});
    Bytes expected;
    PutU32(expected, 3);
    PutU32(expected, 10);
    PutU32(expected, 128);
    PutPadded(expected, {1, 2, 3, 4}, 128);
    PutU32(expected, 20);
    PutU32(expected, 256);
    PutPadded(expected, {0xAA, 0xBB, 0xCC}, 128);  // packed: old element 2 lands in slot 1
    PutPadded(expected, {0xDD, 0xEE, 0xFF}, 128);
    PutU32(expected, 30);
    PutU32(expected, 128);
    PutPadded(expected, {0, 0x11, 0x22}, 128);  // one element: shifted by a zero byte
    EXPECT_EQ(Store(list, dir + "/a.brt"), expected);

    Bytes empty;
    PutU32(empty, 0);
    EXPECT_EQ(Store(List({Rec(40, -1, 0, 0, {9})}), dir + "/b.brt"), empty);
    EXPECT_EQ(Store(CNVItemArray{}, dir + "/c.brt"), empty);
}

TEST(BrtFile, CountIsTheNumberOfRecordsWrittenWhenElementsAreInterleaved) {
    const std::string dir = MakeTempDir("brt");
    // Elements of item 20 separated by item 10, as after a sort by another column.
    const CNVItemArray list =
        List({Rec(20, 0, 2, 1, {1}), Rec(10, -1, 0, 1, {2}), Rec(20, 1, 2, 1, {3})});
    Store(list, dir + "/a.brt");
    std::vector<std::pair<uint32_t, Bytes>> records;
    std::string error;
    ASSERT_TRUE(ReadAll(dir + "/a.brt", records, error)) << error;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(ReadBytes(dir + "/a.brt").size(), 4u + 3 * (8 + 128));
}

TEST(BrtFile, ArrayRunLongerThanItsCountStartsANewRecord) {
    const CNVItemArray list = List({Rec(20, 0, 2, 1, {1}), Rec(20, 1, 2, 1, {2}), Rec(20, 2, 2, 1, {3})});
    const auto groups = CBrtFile::GroupRecords(list);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].last, 1);
    EXPECT_EQ(groups[1].first, 2);
}

TEST(BrtFile, ReaderRejectsEveryTruncationAndDamagedSizes) {
    const std::string dir = MakeTempDir("brt");
    const CNVItemArray list = List({Rec(10, -1, 0, 1, {1, 2}), Rec(20, 0, 2, 1, {3}), Rec(20, 1, 2, 1, {4})});
    const Bytes good = Store(list, dir + "/good.brt");
    std::vector<std::pair<uint32_t, Bytes>> records;
    std::string error;
    ASSERT_TRUE(ReadAll(dir + "/good.brt", records, error));
    for (size_t length = 0; length < good.size(); ++length) {
        WriteFile(dir + "/cut.brt", AsString(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(length))));
        error.clear();
        EXPECT_FALSE(ReadAll(dir + "/cut.brt", records, error)) << "length " << length;
        EXPECT_FALSE(error.empty());
    }

    // Each damaged file is refused with its reason; a record without data would otherwise
    // load as one more copy of its item for every 8 bytes of file.
    auto record = [](uint32_t id, uint32_t size, size_t present) {
        Bytes b;
        PutU32(b, id);
        PutU32(b, size);
        b.resize(b.size() + present);
        return b;
    };
    auto file = [](uint32_t count, std::initializer_list<Bytes> records) {
        Bytes b;
        PutU32(b, count);
        for (const auto& r : records) b.insert(b.end(), r.begin(), r.end());
        return b;
    };
    const struct {
        Bytes bytes;
        const char* reason;
    } damaged[] = {
        {file(1, {record(10, 100, 200)}), "not a multiple of 128"},
        {file(1, {record(10, 0xFFFFFF80u, 128)}), "more than 256 slots"},
        {file(1, {record(10, 257 * 128, 257 * 128)}), "more than 256 slots"},
        {file(2, {record(10, 128, 128), record(0, 0, 128)}), "record 2 of 2 (ID 0) holds no data"},
        {file(0x7FFFFFFF, {}), "promises 2147483647 records"},
    };
    for (const auto& d : damaged) {
        WriteFile(dir + "/bad.brt", AsString(d.bytes));
        EXPECT_FALSE(ReadAll(dir + "/bad.brt", records, error));
        EXPECT_NE(error.find(d.reason), std::string::npos) << error;
    }
    // Just below the 257 slots refused above: a whole array of 256 elements reads.
    WriteFile(dir + "/full.brt", AsString(file(1, {record(10, 256 * 128, 256 * 128)})));
    ASSERT_TRUE(ReadAll(dir + "/full.brt", records, error)) << error;
    EXPECT_EQ(records[0].second.size(), 256u * 128);

    // More records than the definitions can hold is refused before any is read.
    CBrtFile limited;
    const Bytes two = file(2, {record(10, 128, 128), record(11, 128, 128)});
    limited.OpenMemory(two.data(), two.size());
    limited.SetMaxRecords(1);
    uint32_t n = 0;
    EXPECT_FALSE(limited.ReadCount(n));
    EXPECT_NE(limited.Error().find("more than the 1 the definitions can hold"), std::string::npos) << limited.Error();
    limited.OpenMemory(two.data(), two.size());
    limited.SetMaxRecords(2);
    EXPECT_TRUE(limited.ReadCount(n));
    EXPECT_EQ(n, 2u);

    EXPECT_FALSE(ReadAll(dir + "/missing.brt", records, error));
}

TEST(BrtFile, RandomBytesEndWithoutCrashOrHang) {
    const std::string dir = MakeTempDir("brt");
    std::mt19937 random(7);
    std::vector<std::pair<uint32_t, Bytes>> records;
    std::string error;
    for (int round = 0; round < 300; ++round) {
        Bytes bytes(random() % 700);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        if (bytes.size() >= 4 && round % 2) bytes[1] = bytes[2] = bytes[3] = 0;  // a small count now and then
        WriteFile(dir + "/r.brt", AsString(bytes));
        ReadAll(dir + "/r.brt", records, error);
    }
}
