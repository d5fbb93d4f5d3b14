#include "files/cnv_file.h"
#include "model/crc16.h"
#include "file_bytes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {
const Bytes kHeader = {0x43, 0x4E, 0x56, 0x2A, 0x01, 0x00, 0xFF, 0xFF};

void PutTrailer(Bytes& body) {
    const uint16_t crc = Crc16(body.data(), body.size());
    Put(body, {crc >> 8, crc & 0xFF});
}

struct SRead {
    bool checksumOk = false;
    bool ok = false;
    std::string error;
    std::vector<std::pair<uint16_t, Bytes>> records;
};

SRead ReadAll(const std::string& path) {
    SRead r;
    CCnvFile file;
    if (!file.Open(path)) {
        r.error = file.Error();
        return r;
    }
    r.checksumOk = file.ChecksumOk();
    if (!r.checksumOk) return r;
    uint16_t id = 0;
    Bytes data;
    while (file.ReadRecord(id, data)) r.records.emplace_back(id, data);
    r.error = file.Error();
    r.ok = r.error.empty();
    return r;
}
}  // namespace

TEST(CnvFile, GoldenBytesWithPaddingIndexByteAndTrailer) {
    const std::string path = MakeTempDir("cnv") + "/a.cnv";
    CCnvFile file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.WriteRecord(10, {1, 2, 3, 4, 5}));   // plain item of 5 bytes: 3 bytes padding
    ASSERT_TRUE(file.WriteRecord(20, {0xAA, 0xBB, 0xCC}, 2));  // element: index byte, L = 4, no padding
    ASSERT_TRUE(file.WriteRecord(4999, {}));
    ASSERT_TRUE(file.Finish()) << file.Error();

    Bytes expected = kHeader;
    Put(expected, {10, 0, 5, 0, 1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF});
    Put(expected, {20, 0, 4, 0, 2, 0xAA, 0xBB, 0xCC});
    Put(expected, {0x87, 0x13, 0, 0});
    Put(expected, {0xFF, 0xFF, 0x02, 0x00});
    PutTrailer(expected);
    const Bytes written = ReadBytes(path);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(Crc16(written.data(), written.size()), kCrcGoodResidue);

    const SRead back = ReadAll(path);
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[1].second, (Bytes{2, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(back.records[2].first, 4999);
}

TEST(CnvFile, AnyChangedByteFailsTheChecksum) {
    const std::string dir = MakeTempDir("cnv");
    Bytes good = kHeader;
    Put(good, {10, 0, 2, 0, 7, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00});
    PutTrailer(good);
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x01;
        WriteFile(dir + "/bad.cnv", AsString(bad));
        EXPECT_FALSE(ReadAll(dir + "/bad.cnv").checksumOk) << "byte " << i;
    }
}

TEST(CnvFile, DamagedLayoutBehindAGoodChecksumIsReportedNotReadPast) {
    const std::string dir = MakeTempDir("cnv");
    auto body = [](std::initializer_list<int> records) {
        Bytes b = kHeader;
        Put(b, records);
        return b;
    };
    const struct {
        Bytes body;
        const char* reason;
    } damaged[] = {
        // L = 64 runs over the end.
        {body({10, 0, 0x40, 0, 1, 2, 3, 4, 0xFF, 0xFF, 0x02, 0x00}), "run past the end marker"},
        // L = 1 ends right at the marker; its three bytes of padding cross it.
        {body({10, 0, 1, 0, 7, 0xFF, 0xFF, 0x02, 0x00}),
         "The 1 data bytes of record 1 (offset 8), ID 10, run past the end marker."},
        {body({10, 0, 2, 0, 1, 2, 0xFF, 0xFF, 0x33, 0x44, 0x02, 0x00}), "end marker is missing"},
    };
    for (const auto& d : damaged) {
        Bytes bytes = d.body;
        PutTrailer(bytes);
        WriteFile(dir + "/x.cnv", AsString(bytes));
        const SRead r = ReadAll(dir + "/x.cnv");
        EXPECT_TRUE(r.checksumOk);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(d.reason), std::string::npos) << r.error;
    }

    // Records beyond what the definitions hold are refused at the first one too many.
    Bytes three = body({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0x02, 0x00});
    PutTrailer(three);
    CCnvFile limited;
    limited.OpenMemory(three.data(), three.size());
    limited.SetMaxRecords(2);
    uint16_t id = 0;
    Bytes data;
    EXPECT_TRUE(limited.ReadRecord(id, data) && limited.ReadRecord(id, data));
    EXPECT_FALSE(limited.ReadRecord(id, data));
    EXPECT_NE(limited.Error().find("record 3 (offset 16) is one too many"), std::string::npos) << limited.Error();

    // Every truncation of a good body, closed with a fitting checksum, still fails.
    const Bytes good = body({10, 0, 3, 0, 1, 2, 3, 0xFF, 20, 0, 2, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00});
    for (size_t length = 0; length < good.size(); ++length) {
        Bytes cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(length));
        PutTrailer(cut);
        WriteFile(dir + "/cut.cnv", AsString(cut));
        const SRead r = ReadAll(dir + "/cut.cnv");
        EXPECT_FALSE(r.ok) << "length " << length;
    }
}

TEST(CnvFile, RandomBytesBehindAGoodChecksumAreRefused) {
    const std::string dir = MakeTempDir("cnv");
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        Bytes body(random() % 300);
        for (auto& b : body) b = static_cast<uint8_t>(random());
        PutTrailer(body);  // past the checksum, so the record reader sees them
        WriteFile(dir + "/r.cnv", AsString(body));
        const SRead r = ReadAll(dir + "/r.cnv");
        EXPECT_FALSE(r.ok) << "round " << round;
        EXPECT_TRUE(!r.checksumOk || !r.error.empty()) << "round " << round;  // refused with a reason
    }
}
