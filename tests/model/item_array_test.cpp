#include "model/crc16.h"
#include "model/item_list_ops.h"
#include "model/nv_item_array.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {
CNVItem Item(int id, int index = -1, int count = 0, const std::string& name = "", int16_t active = 1) {
    CNVItem item;
    item.SetId(id);
    item.SetIndex(index);
    item.SetCount(count);
    item.SetName(name);
    item.SetActive(active);
    return item;
}

CNVItemArray Array(std::initializer_list<CNVItem> items) {
    CNVItemArray a;
    for (const auto& i : items) a.Add(i);
    return a;
}

// (id, index) of every record, in order.
std::vector<std::pair<int, int>> Keys(const CNVItemArray& a) {
    std::vector<std::pair<int, int>> keys;
    for (const auto& i : a) keys.emplace_back(i.Id(), i.Index());
    return keys;
}

std::vector<std::string> Names(const CNVItemArray& a) {
    std::vector<std::string> names;
    for (const auto& i : a) names.push_back(i.Name());
    return names;
}

TEST(NVItem, FreshRecordAndDeepValues) {
    CNVItem item;
    EXPECT_EQ(item.Size(), -1);
    EXPECT_EQ(item.Id(), -1);
    EXPECT_EQ(item.Index(), -1);
    EXPECT_EQ(item.Count(), 0);
    EXPECT_EQ(item.Active(), 0);
    EXPECT_STREQ(item.ActiveText(), "N");

    const uint8_t bytes[] = {1, 2, 3};
    item.SetValue(bytes, 3);
    CNVItem copy = item;
    copy.ValueData()[0] = 9;
    EXPECT_EQ(item.Value()[0], 1);
    item.Resize(5);
    EXPECT_EQ(item.Value(), (std::vector<uint8_t>{1, 2, 3, 0, 0}));
    item.Resize(2);
    EXPECT_EQ(item.Size(), 2);
    EXPECT_THROW(item.Resize(-1), std::invalid_argument);
    item.SetActive(-1);
    EXPECT_STREQ(item.ActiveText(), "X");
}

TEST(NVItemArray, PositionsOutsideTheArrayThrow) {
    CNVItemArray a = Array({Item(1), Item(2)});
    EXPECT_THROW(a.GetAt(2), std::invalid_argument);
    EXPECT_THROW(a.GetAt(-1), std::invalid_argument);
    EXPECT_THROW(a.RemoveAt(2), std::invalid_argument);
    a.InsertAt(2, Item(3));
    EXPECT_THROW(a.InsertAt(4, Item(4)), std::invalid_argument);
    a.Append(a);
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(1, -1), std::pair(2, -1), std::pair(3, -1), std::pair(1, -1),
                                     std::pair(2, -1), std::pair(3, -1)));
}

TEST(NVItemArray, FindByIdFindsEveryPresentIdAndNoAbsentOne) {
    EXPECT_EQ(CNVItemArray().FindById(0), -1);
    const CNVItemArray one = Array({Item(7)});
    EXPECT_EQ(one.FindById(7), 0);
    EXPECT_EQ(one.FindById(6), -1);
    EXPECT_EQ(one.FindById(8), -1);

    // Probe the search on many sorted arrays with gaps and array runs.
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        CNVItemArray a;
        std::vector<bool> present(80, false);
        int id = static_cast<int>(rng() % 3);
        const int n = 1 + static_cast<int>(rng() % 40);
        for (int k = 0; k < n && id < 80; ++k) {
            const int run = rng() % 4 == 0 ? 1 + static_cast<int>(rng() % 4) : 1;
            for (int e = 0; e < run; ++e) a.Add(Item(id, run > 1 ? e : -1, run > 1 ? run : 0));
            present[static_cast<size_t>(id)] = true;
            id += 1 + static_cast<int>(rng() % 3);
        }
        for (int key = -1; key < 80; ++key) {
            const int pos = a.FindById(key);
            if (key >= 0 && present[static_cast<size_t>(key)]) {
                ASSERT_GE(pos, 0) << "round " << round << " key " << key;
                EXPECT_EQ(a[pos].Id(), key);
            } else {
                ASSERT_EQ(pos, -1) << "round " << round << " key " << key;
            }
            EXPECT_EQ(a.ContainsId(key), pos != -1);
        }
    }
}

TEST(NVItemArray, SortsKeepArrayElementsInIndexOrder) {
    CNVItemArray a = Array({Item(9, 2, 3, "c"), Item(3, -1, 0, "D"), Item(9, 0, 3, "c"), Item(1, -1, 0, "a"),
                            Item(9, 1, 3, "c"), Item(4, 1, 2, "B"), Item(4, 0, 2, "B")});
    a.SortById();  // the array item with the highest ID ends the array
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(1, -1), std::pair(3, -1), std::pair(4, 0), std::pair(4, 1),
                                     std::pair(9, 0), std::pair(9, 1), std::pair(9, 2)));
    a.SortByName();  // case-insensitive
    EXPECT_THAT(Names(a), ElementsAre("a", "B", "B", "c", "c", "c", "D"));
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(1, -1), std::pair(4, 0), std::pair(4, 1), std::pair(9, 0),
                                     std::pair(9, 1), std::pair(9, 2), std::pair(3, -1)));

    CNVItemArray runs = Array({Item(5, 1), Item(5, 0), Item(2), Item(6, 2), Item(6, 0), Item(6, 1)});
    runs.OrderArrayRuns();
    EXPECT_THAT(Keys(runs), ElementsAre(std::pair(5, 0), std::pair(5, 1), std::pair(2, -1), std::pair(6, 0),
                                        std::pair(6, 1), std::pair(6, 2)));
}

TEST(NVItemArray, OtherSortKeys) {
    CNVItem x = Item(1), y = Item(2), z = Item(3);
    x.SetGroup("gsm");
    y.SetGroup("CDMA");
    z.SetGroup("Audio");
    x.SetActive(-1);
    y.SetActive(1);
    z.SetActive(0);
    x.Resize(8);
    y.Resize(1);
    z.Resize(4);
    x.SetTypeName("uint8");
    y.SetTypeName("Nv_type");
    z.SetTypeName("boolean");
    CNVItemArray a = Array({x, y, z});
    a.SortByGroup();
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(3, -1), std::pair(2, -1), std::pair(1, -1)));
    a.SortByActive();
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(1, -1), std::pair(3, -1), std::pair(2, -1)));
    a.SortBySize();
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(2, -1), std::pair(3, -1), std::pair(1, -1)));
    a.SortByType();
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(3, -1), std::pair(2, -1), std::pair(1, -1)));
}

TEST(NVItemArray, CountDistinctIds) {
    EXPECT_EQ(Array({Item(5), Item(5), Item(7)}).CountDistinctIds(), 2);
    EXPECT_EQ(CNVItemArray().CountDistinctIds(), 0);
    // IDs outside 0..65535 neither overflow the table nor vanish from the count.
    EXPECT_EQ(Array({Item(65536), Item(65536), Item(-3), Item(65535), Item(0)}).CountDistinctIds(), 4);
}

TEST(ItemListOps, RemoveInactiveKeepsOnlyPresentValues) {
    CNVItemArray a = Array({Item(1, -1, 0, "", 1), Item(2, -1, 0, "", -1), Item(3, -1, 0, "", 0), Item(4, -1, 0, "", 1)});
    EXPECT_EQ(RemoveInactive(a), 2);
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(1, -1), std::pair(4, -1)));
}

TEST(ItemListOps, SortByNameKeepWholeArrays) {
    // Elements 1 and 2 without element 0: neither. Elements 0 and 2: element 0 only.
    CNVItemArray a = Array({Item(20, 2, 3, "b"), Item(10, 1, 3, "a"), Item(30, -1, 0, "c"), Item(10, 2, 3, "a"),
                            Item(20, 0, 3, "b"), Item(40, -1, 0, "Cc"), Item(50, 0, -1, "d")});
    SortByNameKeepWholeArrays(a);
    EXPECT_THAT(Keys(a), ElementsAre(std::pair(20, 0), std::pair(30, -1), std::pair(40, -1)));

    CNVItemArray whole = Array({Item(8, 1, 2, "x"), Item(8, 0, 2, "x"), Item(9, -1, 0, "y")});
    SortByNameKeepWholeArrays(whole);
    EXPECT_THAT(Keys(whole), ElementsAre(std::pair(8, 0), std::pair(8, 1), std::pair(9, -1)));
}

TEST(Crc16, CheckValuesChainingAndTrailer) {
    const std::string digits = "123456789";
    const auto* d = reinterpret_cast<const uint8_t*>(digits.data());
    EXPECT_EQ(Crc16(d, digits.size()), 0xD64E);
    EXPECT_EQ(Crc16(d, 0), 0x0000);
    const uint8_t abc[] = {'a', 'b', 'c', 0xAE, 0xB5};
    EXPECT_EQ(Crc16(abc, 3), 0xAEB5);
    EXPECT_EQ(Crc16(abc, 5), kCrcGoodResidue);

    std::vector<uint8_t> data(5000);
    std::mt19937 rng(7);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    const uint16_t whole = Crc16(data.data(), data.size());
    for (size_t n = 0; n < 40; ++n) {  // every length of the eight-byte steps and their tail, bit by bit
        uint16_t reg = 0xFFFF;
        for (size_t i = 0; i < n; ++i)
            for (int bit = 7; bit >= 0; --bit) {
                const bool top = ((reg >> 15) ^ (data[i] >> bit)) & 1;
                reg = static_cast<uint16_t>((reg << 1) ^ (top ? 0x1021 : 0));
            }
        EXPECT_EQ(Crc16(data.data(), n), static_cast<uint16_t>(~reg)) << n;
    }
    for (size_t cut : {size_t{1}, size_t{1023}, size_t{1024}, size_t{4999}}) {
        const uint16_t first = Crc16(data.data(), cut);
        EXPECT_EQ(Crc16(data.data() + cut, data.size() - cut, first), whole) << cut;
    }

    const std::string dir = MakeTempDir("crc");
    WriteFile(dir + "/f", std::string(data.begin(), data.end()));
    ASSERT_TRUE(AppendCrcTrailer(dir + "/f"));
    const std::vector<uint8_t> closed = ReadBytes(dir + "/f");
    ASSERT_EQ(closed.size(), data.size() + 2);
    EXPECT_EQ(closed[data.size()], whole >> 8);
    EXPECT_EQ(Crc16(closed.data(), closed.size()), kCrcGoodResidue);
    std::string error;
    EXPECT_FALSE(AppendCrcTrailer(dir + "/missing", &error));
    EXPECT_FALSE(error.empty());
}
}  // namespace
