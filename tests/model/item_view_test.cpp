#include "model/item_view.h"

#include <gtest/gtest.h>

namespace {
using Bytes = std::vector<uint8_t>;
using Values = std::vector<Bytes>;

const std::string kMmode = "/nv/item_files/modem/mmode/";

// A little-endian mask of size bytes with the given bits set.
Bytes Mask(size_t size, std::initializer_list<int> bits) {
    Bytes b(size, 0);
    for (int bit : bits) b[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(1u << (bit % 8));
    return b;
}

const CItemView& View(int id, const std::string& file = {}) {
    const CItemView* view = file.empty() ? CItemView::ForId(id) : CItemView::ForPath(kMmode + file);
    EXPECT_NE(view, nullptr) << id << file;
    static const CItemView none(CItemView::EKind::Bands, "", {{-1, 0, 8, 1, 1}});
    return view ? *view : none;
}

struct SCase {
    int id;
    std::string file;
    Values values;
    std::string text;
};

// Each pair both ways: the bytes show as the text, and the text typed over zeros gives the bytes.
TEST(ItemView, BytesAndTextBothWays) {
    const SCase cases[] = {
        {550, "", {{0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x78, 0x00}}, "990016878573987"},
        {550, "", {{0x08, 0x3A, 0x25, 0x90, 0x09, 0x10, 0x67, 0x41, 0x18, 0x00}}, "352099001761481"},
        {1943, "", {{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x00}}, "07F6E5D4C3B2A1"},
        {6828, "", {{0xD5, 0x00, 0x08, 0x00, 0xA0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, "1 3 5 7 8 20 38 40 41"},
        {6828, "", {Mask(16, {0, 63, 64, 127})}, "1 64 65 128"},
        {6828, "", {Mask(8, {63})}, "64"},  // a record of one word: bands 1-64
        {1877, "", {Mask(8, {0, 63})}, "1 64"},
        {441, "", {Mask(4, {8, 23}), Mask(4, {8, 23}), Mask(6, {8, 39})}, "0 15 16 31 32 63"},
        {0, "lte_bandpref", {Mask(8, {0, 63})}, "1 64"},
        {0, "lte_bandpref_extn_65_256", {Mask(24, {1, 191})}, "66 256"},
        {0, "nr_band_pref", {Mask(64, {0, 77, 511})}, "1 78 512"},
        {0, "nr_nsa_band_pref", {Mask(64, {511})}, "512"},
        {0, "nr5g_bandpref", {Mask(32, {0, 255})}, "1 256"},
        {0, "nr5g_bandpref", {Bytes(32, 0)}, "none"},
    };
    for (const SCase& c : cases) {
        const CItemView& view = View(c.id, c.file);
        const CItemView::SShown shown = view.Show(c.values);
        EXPECT_TRUE(shown.readable) << c.text;
        EXPECT_EQ(shown.text.substr(0, c.text.size()), c.text);
        Values typed;
        for (const Bytes& v : c.values) typed.emplace_back(v.size(), 0);
        EXPECT_EQ(view.Set(c.text, typed), "") << c.text;
        EXPECT_EQ(typed, c.values) << c.text;
    }
}

TEST(ItemView, ImeiCheckDigit) {
    const CItemView& imei = View(550);
    const Values right = {{0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x78, 0x00}};
    EXPECT_EQ(imei.Show(right).text, "990016878573987 (check digit correct)");
    EXPECT_TRUE(imei.Show(right).checkDigitOk);

    Values wrong = right;
    wrong[0][8] = 0x68;  // last digit 6
    const CItemView::SShown shown = imei.Show(wrong);
    EXPECT_EQ(shown.text, "990016878573986 (check digit wrong: should be 7)");
    EXPECT_FALSE(shown.checkDigitOk);
    EXPECT_EQ(shown.number, "990016878573986");

    Values typed = right;
    const std::string refusal = imei.Set("990016878573986", typed);
    EXPECT_NE(refusal.find("should be 7"), std::string::npos) << refusal;
    EXPECT_EQ(typed, right);
    EXPECT_EQ(imei.Set("990016878573986", typed, true), "");
    EXPECT_EQ(typed, wrong);
    // The digits people write in groups.
    EXPECT_EQ(imei.Set("99-001687-857398-7", typed), "");
    EXPECT_EQ(typed, right);
}

TEST(ItemView, UnreadableBytesAndRefusedTexts) {
    const struct {
        int id;
        std::string file;
        Values values;
        std::string text;
        std::string shownPrefix;
    } cases[] = {
        {550, "", {Bytes(10, 0)}, "12345678901234", "(not set)"},
        {550, "", {{0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0xB8, 0x00}}, "99001687857398x", "(the bytes hold no IMEI)"},
        {550, "", {Bytes(5, 0)}, "990016878573987", "(too short"},
        {1943, "", {Bytes(8, 0)}, "07F6E5D4C3B2A", "00000000000000"},
        {1943, "", {Bytes(8, 0)}, "07F6E5D4C3B2AG", "00000000000000"},
        {6828, "", {Bytes(16, 0)}, "0", "none"},
        {6828, "", {Bytes(16, 0)}, "129", "none"},
        {6828, "", {Bytes(16, 0)}, "1 3 x", "none"},
        {6828, "", {Bytes(16, 0)}, "8-3", "none"},
        {6828, "", {Bytes(8, 0)}, "65", "none"},  // one word holds bands 1-64
        {6828, "", {Bytes(7, 0)}, "1", "(too short"},
        {0, "lte_bandpref_extn_65_256", {Bytes(24, 0)}, "64", "none"},
        {441, "", {Bytes(4, 0), {}, {}}, "16", "none"},  // 946 is not in the backup
    };
    for (const auto& c : cases) {
        const CItemView& view = View(c.id, c.file);
        const CItemView::SShown shown = view.Show(c.values);
        EXPECT_EQ(shown.text.substr(0, c.shownPrefix.size()), c.shownPrefix) << c.text;
        EXPECT_EQ(shown.fits, c.shownPrefix != "(too short") << c.text;
        Values typed = c.values;
        EXPECT_NE(view.Set(c.text, typed), "") << c.text;
        EXPECT_EQ(typed, c.values) << c.text;
    }
}

// Bits and bytes outside the list stay: the NAM bytes, trailing bytes and a record's bytes
// past the words the view reads.
TEST(ItemView, SettingAListKeepsWhatNoListNames) {
    const struct {
        int id;
        std::string file;
        Values before;
        std::string text;
        Values after;
    } cases[] = {
        {1877, "", {{0xFF, 0, 0, 0, 0, 0, 0, 0x80, 0xFF}}, "2", {{0x02, 0, 0, 0, 0, 0, 0, 0, 0xFF}}},
        {6828, "", {Mask(20, {0, 130, 159})}, "1-3 128", {Mask(20, {0, 1, 2, 127, 130, 159})}},
        {441, "", {{0x01, 0xFF, 0xFF, 0xEE}, {0x02, 0, 0, 0xDD}, {0x03, 0, 0, 0, 0, 0xCC}}, "0 17 33",
         {{0x01, 0x01, 0x00, 0xEE}, {0x02, 0x02, 0, 0xDD}, {0x03, 0x02, 0, 0, 0, 0xCC}}},
        {0, "lte_bandpref", {Mask(9, {70, 71})}, "none", {Mask(9, {70, 71})}},
        {1943, "", {{0, 0, 0, 0, 0, 0, 0, 0x5A}}, "A0000012345678", {{0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xA0, 0x5A}}},
    };
    for (const auto& c : cases) {
        Values typed = c.before;
        EXPECT_EQ(View(c.id, c.file).Set(c.text, typed), "") << c.text;
        EXPECT_EQ(typed, c.after) << c.text;
    }
}

TEST(ItemView, FoundByIdAndPath) {
    EXPECT_EQ(CItemView::ForId(946), CItemView::ForId(2954));
    EXPECT_EQ(CItemView::ForId(441)->Parts().size(), 3u);
    EXPECT_EQ(CItemView::ForId(10), nullptr);
    const CItemView* lte = CItemView::ForPath(kMmode + "lte_bandpref");
    ASSERT_NE(lte, nullptr);
    EXPECT_EQ(CItemView::ForPath(kMmode + "lte_bandpref_Subscription01"), lte);
    EXPECT_NE(CItemView::ForPath(kMmode + "lte_bandpref_extn_65_256_Subscription01"), lte);
    for (const std::string& other : {kMmode + "lte_bandpref_Subscription", kMmode + "xlte_bandpref",
                                     kMmode + "lte_bandpref.bak", std::string("/nv/item_files/ims/lte_bandpref")})
        EXPECT_EQ(CItemView::ForPath(other), nullptr) << other;
}
}  // namespace
