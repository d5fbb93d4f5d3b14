// The files our writer makes, against the independent structural check (support/compound_check),
// at the sizes and counts where sector, mini-stream and directory arithmetic turns over.
#include "compound_check.h"
#include "compound_image.h"
#include "files/compound_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

using Bytes = std::vector<uint8_t>;

namespace {
Bytes Written(const CCompoundNode& tree) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(CCompoundFile::WriteMemory(tree, bytes, error)) << error;
    return bytes;
}

std::string Faults(const Bytes& bytes) {
    std::string text;
    for (const std::string& f : CompoundFaults(bytes)) text += f + "\n";
    return text;
}

// A name of n characters from a seed: letters of both cases, digits, Latin-1 and Cyrillic, so
// the format's order (length, then upper case) differs from the order of the bytes.
std::string Name(size_t n, uint32_t seed) {
    static const char* const kLetters[] = {"a", "B", "c", "Z", "_", "0", "9", "é", "É", "ж", "Ж", "~"};
    std::string name;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        name += kLetters[(seed >> 16) % std::size(kLetters)];
    }
    return name;
}
}  // namespace

TEST(CompoundStructure, StreamSizesAroundEveryBoundaryMakeSoundFiles) {
    const size_t sizes[] = {0, 1, 63, 64, 65, 4095, 4096, 4097, 512 * 109, 512 * 128 + 1};
    CCompoundNode all;
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        CCompoundNode one;
        one.Stream("s").SetBytes(Bytes(size, 0x5A));
        EXPECT_EQ(Faults(Written(one)), "");
        // Beside a small and a big stream, so both the mini stream and the FAT are shared.
        one.Stream("small").SetBytes(Bytes(100, 1));
        one.Stream("big").SetBytes(Bytes(5000, 2));
        EXPECT_EQ(Faults(Written(one)), "");
        all.Storage("n" + std::to_string(size)).Stream("s").SetBytes(Bytes(size, 0x33));
    }
    EXPECT_EQ(Faults(Written(all)), "");
    EXPECT_EQ(Faults(Written(CCompoundNode())), "");
}

TEST(CompoundStructure, ManyEntriesMakeOrderedRedBlackTrees) {
    for (int count : {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 1000, 40000}) {
        SCOPED_TRACE(count);
        CCompoundNode tree;
        CCompoundNode& storage = tree.Storage("s");
        for (int i = 0; i < count; ++i) {
            const std::string name = Name(1 + static_cast<size_t>(i) % 31, static_cast<uint32_t>(i)) + std::to_string(i);
            if (i % 9 == 0) storage.Storage(name.substr(0, 31)).Stream("x");
            else storage.Append(CCompoundNode(name.substr(0, 31), false));
        }
        EXPECT_EQ(Faults(Written(tree)), "");
    }
}

// 31 characters is the longest name: written and sound; one more is refused.
TEST(CompoundStructure, NamesOfThirtyOneCharactersAreTheLongest) {
    for (const std::string& name : {std::string(31, 'n'), Name(31, 7), std::string(30, 'x') + "Ж"}) {
        CCompoundNode tree;
        tree.Storage(name).Stream(name).SetBytes({1, 2, 3});
        const Bytes bytes = Written(tree);
        EXPECT_EQ(Faults(bytes), "") << name;
        CCompoundNode back;
        std::string error;
        ASSERT_TRUE(CCompoundFile::ReadMemory(bytes.data(), bytes.size(), back, error)) << error;
        EXPECT_TRUE(back.SameContent(tree)) << name;
    }
    CCompoundNode tooLong;
    tooLong.Stream(std::string(32, 'n'));
    Bytes bytes;
    std::string error;
    EXPECT_FALSE(CCompoundFile::WriteMemory(tooLong, bytes, error));
    EXPECT_NE(error, "");
}

// The check itself: each rule broken once in a sound file is found, so a pass above means
// something.
TEST(CompoundStructure, TheCheckFindsEachRuleBroken) {
    CCompoundNode tree;
    tree.Stream("big").SetBytes(Bytes(5000, 1));
    CCompoundNode& s = tree.Storage("s");
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) s.Stream(name).SetBytes(Bytes(70, 2));
    const CCompoundImage good(Written(tree));
    ASSERT_EQ(Faults(good.bytes), "");
    const auto field = [](CCompoundImage& f, const std::string& name, size_t at, uint32_t v) { f.SetField(name, at, v); };
    using Edit = std::function<void(CCompoundImage&)>;
    const struct {
        const char* rule;
        Edit edit;
        const char* found;
    } cases[] = {
        {"siblings out of order", [](auto& f) { f.Rename("a", "h"); }, "out of the format's order"},
        {"byte order, not the format's", [](auto& f) { f.Rename("a", "_"); f.Rename("b", "A"); }, "out of the format's order"},
        {"a name of 32", [](auto& f) { f.Rename("g", std::string(32, 'z')); }, "longer than 31"},
        {"red top", [](auto& f) { f.bytes[f.Entry(f.Field("s", Cfb::Entry::kChild)) + Cfb::Entry::kColour] = 0; }, "red top"},
        {"black heights differ",
         [](auto& f) {
             for (const char* n : {"a", "b", "c", "d", "e", "f", "g"}) f.bytes[f.Entry(n) + Cfb::Entry::kColour] = 1;
             const uint32_t top = f.Field("s", Cfb::Entry::kChild);
             const size_t at = f.Entry(top);
             Cfb::SetU32(&f.bytes[at + Cfb::Entry::kLeft], Cfb::kNoEntry);
         },
         "black entries"},
        {"red under red",
         [](auto& f) {
             for (const char* n : {"a", "b", "c", "d", "e", "f", "g"}) f.bytes[f.Entry(n) + Cfb::Entry::kColour] = 0;
             f.bytes[f.Entry(f.Field("s", Cfb::Entry::kChild)) + Cfb::Entry::kColour] = 1;
         },
         "both red"},
        {"an entry reached twice",
         [&](auto& f) { field(f, "a", Cfb::Entry::kLeft, f.Field("s", Cfb::Entry::kChild)); }, "twice"},
        {"an entry reached from nowhere", [&](auto& f) { field(f, "s", Cfb::Entry::kChild, Cfb::kNoEntry); }, "reached from no storage"},
        {"a sector owned twice", [&](auto& f) { f.SetFat(f.Field("big", Cfb::Entry::kStart), f.Header(Cfb::Header::kFirstDir)); },
         "belongs to both"},
        {"a sector owned by nothing", [&](auto& f) { f.bytes.resize(f.bytes.size() + 512, 0); }, "belongs to nothing"},
        {"a chain too short", [&](auto& f) { field(f, "big", Cfb::Entry::kSize, 6000); }, "takes"},
        {"a mini sector owned twice", [&](auto& f) { field(f, "b", Cfb::Entry::kStart, f.Field("a", Cfb::Entry::kStart)); },
         "another owns"},
        {"a mini sector owned by nothing", [&](auto& f) { field(f, "g", Cfb::Entry::kSize, 0); }, "belongs to no stream"},
        {"mini stream cutoff", [](auto& f) { f.SetHeader(56, 4095); }, "cutoff"},
    };
    for (const auto& c : cases) {
        CCompoundImage bad = good;
        c.edit(bad);
        EXPECT_NE(Faults(bad.bytes).find(c.found), std::string::npos) << c.rule << ":\n" << Faults(bad.bytes);
    }
}
