#include "compound_check.h"
#include "compound_image.h"
#include "files/compound_file.h"
#include "files/compound_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>
#ifdef TESSIVA_HAVE_GSF
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf.h>
#endif

#include <functional>

using Bytes = std::vector<uint8_t>;

namespace {
Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 9));
    return b;
}

// Small and big streams, an empty one, an empty storage, names the format orders apart
// from byte order, and a storage of enough children for a tree of several levels; bigger
// than 7 MB with a DIFAT when large is set.
CCompoundNode Sample(bool large) {
    CCompoundNode root;
    root.Stream("small").SetBytes(Pattern(100, 1));
    root.Stream("Big").SetBytes(Pattern(large ? 8u << 20 : 70000, 2));
    root.Stream("cutoff").SetBytes(Pattern(4096, 3));
    root.Stream("empty");
    root.Storage("Empty storage");
    CCompoundNode& deep = root.Storage("a").Storage("b").Storage("c");
    deep.Stream("Ünïcode ✓").SetBytes(Pattern(4095, 4));
    CCompoundNode& many = root.Storage("many");
    for (int i = 0; i < 300; ++i) many.Stream(std::to_string(i * 37 % 1000)).SetBytes(Pattern(i % 5 * 50, 5));
    return root;
}

#ifdef TESSIVA_HAVE_GSF
// libgsf as the independent side.
void ReadWithGsf(GsfInfile* storage, CCompoundNode& node) {
    for (int i = 0; i < gsf_infile_num_children(storage); ++i) {
        GsfInput* child = gsf_infile_child_by_index(storage, i);
        ASSERT_NE(child, nullptr);
        const std::string name = gsf_infile_name_by_index(storage, i);
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            ReadWithGsf(GSF_INFILE(child), node.Storage(name));
        } else {
            Bytes& bytes = node.Stream(name).Bytes();
            bytes.resize(static_cast<size_t>(gsf_input_size(child)));
            if (!bytes.empty()) {
                ASSERT_NE(gsf_input_read(child, bytes.size(), bytes.data()), nullptr);
            }
        }
        g_object_unref(child);
    }
}

CCompoundNode GsfRead(const std::string& path) {
    gsf_init();
    CCompoundNode root;
    GsfInput* input = gsf_input_stdio_new(path.c_str(), nullptr);
    GsfInfile* file = input ? gsf_infile_msole_new(input, nullptr) : nullptr;
    EXPECT_NE(file, nullptr) << path;
    if (file) ReadWithGsf(file, root);
    if (file) g_object_unref(file);
    if (input) g_object_unref(input);
    return root;
}

void WriteWithGsf(GsfOutfile* parent, const CCompoundNode& node) {
    for (const auto& child : node.Children()) {
        GsfOutput* out = gsf_outfile_new_child(parent, child.Name().c_str(), child.IsStorage());
        if (child.IsStorage()) WriteWithGsf(GSF_OUTFILE(out), child);
        else gsf_output_write(out, child.Bytes().size(), child.Bytes().data());
        gsf_output_close(out);
        g_object_unref(out);
    }
}

void GsfWrite(const std::string& path, const CCompoundNode& root) {
    gsf_init();
    GsfOutput* sink = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* file = gsf_outfile_msole_new(sink);
    WriteWithGsf(file, root);
    gsf_output_close(GSF_OUTPUT(file));
    g_object_unref(file);
    g_object_unref(sink);
    MarkWrittenByTest(path);  // libgsf's trees are not ours to check
}
#endif

std::map<std::string, std::string> StreamsOf(const CCompoundNode& node, const std::string& prefix = "") {
    std::map<std::string, std::string> streams;
    for (const auto& child : node.Children()) {
        const std::string path = prefix + child.Name();
        if (child.IsStorage()) {
            streams.merge(StreamsOf(child, path + "/"));
            continue;
        }
        std::string hex;
        for (uint8_t b : child.Bytes()) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
        streams[path] = hex;
    }
    return streams;
}

Bytes WriteMemory(const CCompoundNode& tree) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(CCompoundFile::WriteMemory(tree, bytes, error)) << error;
    EXPECT_EQ(CompoundFaults(bytes), std::vector<std::string>());
    return bytes;
}
}  // namespace

// What we write, libgsf and olefile read; what libgsf writes, we read; all agree on every byte.
TEST(CompoundFile, IndependentReadersAndWritersAgree) {
    const std::string dir = MakeTempDir("cfb");
    for (bool large : {false, true}) {
        const CCompoundNode tree = Sample(large);
        std::string error;
        ASSERT_TRUE(CCompoundFile::Write(dir + "/ours.cfb", tree, error)) << error;
        EXPECT_EQ(CompoundFileFaults(dir + "/ours.cfb"), std::vector<std::string>()) << large;
#ifndef _WIN32
        EXPECT_TRUE(OleStreams(dir + "/ours.cfb") == StreamsOf(tree)) << large;  // python3-olefile
#endif
#ifdef TESSIVA_HAVE_GSF
        EXPECT_TRUE(GsfRead(dir + "/ours.cfb").SameContent(tree)) << large;
        GsfWrite(dir + "/theirs.cfb", tree);
        CCompoundNode back;
        ASSERT_TRUE(CCompoundFile::Read(dir + "/theirs.cfb", back, error)) << error;
        EXPECT_TRUE(back.SameContent(tree)) << large;
#endif
    }
}

// Children come in the format's order; names equal in that order can't be siblings; too
// deep a tree or a reserved character is refused before anything is written.
TEST(CompoundFile, WriterKeepsTheFormatsRules) {
    CCompoundNode tree;
    for (const char* name : {"bb", "B", "a", "AA", "c"}) tree.Stream(name);
    CCompoundNode back;
    std::string error;
    const Bytes bytes = WriteMemory(tree);
    ASSERT_TRUE(CCompoundFile::ReadMemory(bytes.data(), bytes.size(), back, error)) << error;
    std::string order;
    for (const auto& c : back.Children()) order += c.Name() + " ";
    EXPECT_EQ(order, "a B c AA bb ");

    const std::string dir = MakeTempDir("cfb");
    WriteFile(dir + "/old", "old");
    CCompoundNode twice, reserved, deep;
    twice.Stream("Name");
    twice.Stream("NAME");
    reserved.Stream("a/b");
    CCompoundNode* at = &deep;
    for (int i = 0; i <= CCompoundFile::kMaxDepth; ++i) at = &at->Storage("s");
    for (const auto* bad : {&twice, &reserved, &deep}) {
        EXPECT_FALSE(CCompoundFile::Write(dir + "/old", *bad, error));
        EXPECT_NE(error, "");
    }
    EXPECT_EQ(ReadFile(dir + "/old"), "old");
}

// Each rule of the reader, broken once; the message names what broke it.
TEST(CompoundFile, DamageIsRefusedWithTheEntryNamed) {
    CCompoundNode tree;
    tree.Stream("big1").SetBytes(Pattern(70000, 1));
    tree.Stream("big2").SetBytes(Pattern(5000, 2));
    tree.Storage("store").Stream("one").SetBytes(Pattern(100, 3));
    tree.Storage("store").Stream("two").SetBytes(Pattern(200, 4));
    const CCompoundImage good(WriteMemory(tree));
    const uint32_t fatSector = good.Header(Cfb::Header::kDifat);
    const uint32_t dirSector = good.Header(Cfb::Header::kFirstDir);
    using Edit = std::function<void(CCompoundImage&)>;
    const struct {
        const char* rule;
        Edit edit;
        const char* expected;
    } cases[] = {
        {"signature", [](auto& f) { f.bytes[0] = 'X'; }, "not a compound file"},
        {"sector shift", [](auto& f) { Cfb::SetU16(&f.bytes[Cfb::Header::kSectorShift], 10); }, "sectors of 2^10"},
        {"mini sector shift", [](auto& f) { Cfb::SetU16(&f.bytes[Cfb::Header::kMiniSectorShift], 7); }, "mini sector size"},
        {"FAT larger than the file", [](auto& f) { f.SetHeader(Cfb::Header::kFatSectors, 100000); }, "100000 FAT sectors"},
        {"DIFAT cut short", [](auto& f) { f.SetHeader(Cfb::Header::kFatSectors, 110); }, "ends after 109 of 110"},
        {"directory in a circle", [&](auto& f) { f.SetFat(dirSector, dirSector); }, "directory runs in a circle"},
        {"chain out of the file", [](auto& f) { f.SetField("big2", Cfb::Entry::kStart, 90000); }, "big2 holds 5000 bytes"},
        {"two streams share sectors", [&](auto& f) { f.SetField("big2", Cfb::Entry::kStart, f.Field("big1", Cfb::Entry::kStart)); },
         "big2 and the stream big1 both claim"},
        {"stream over the FAT", [&](auto& f) { f.SetField("big2", Cfb::Entry::kStart, fatSector); }, "big2 and the FAT both claim"},
        {"mini streams share", [](auto& f) { f.SetField("two", Cfb::Entry::kStart, f.Field("one", Cfb::Entry::kStart)); },
         "store/two and the stream store/one both claim"},
        {"size past the chain", [](auto& f) { f.SetField("big2", Cfb::Entry::kSize, 5600); }, "big2 holds 5600 bytes"},
        {"size past the file", [](auto& f) { f.SetField("big2", Cfb::Entry::kSize, 0x7FFFFFFF); }, "big2 claims 2147483647 bytes"},
        {"sizes past the mini stream", [](auto& f) { f.SetField("two", Cfb::Entry::kSize, 4000); }, "up to store/two claim more"},
        {"sibling loop", [](auto& f) { f.SetField("one", Cfb::Entry::kLeft, f.Field("store", Cfb::Entry::kChild)); }, "twice (in store)"},
        {"sibling past the directory", [](auto& f) { f.SetField("one", Cfb::Entry::kRight, 999); }, "names entry 999"},
        {"a name twice (the format ignores case)", [](auto& f) { f.Rename("two", "ONE"); }, "appears twice"},
        {"no name", [](auto& f) { Cfb::SetU16(&f.bytes[f.Entry("two") + Cfb::Entry::kNameLength], 0); }, "entry of store has no name"},
        {"unknown kind", [](auto& f) { f.bytes[f.Entry("two") + Cfb::Entry::kType] = 0; }, "neither a storage nor a stream"},
        {"no root", [](auto& f) { f.bytes[f.Entry(0u) + Cfb::Entry::kType] = 1; }, "no root entry"},
    };
    for (const auto& c : cases) {
        CCompoundImage damaged = good;
        c.edit(damaged);
        CCompoundNode read;
        std::string error;
        EXPECT_FALSE(CCompoundFile::ReadMemory(damaged.bytes.data(), damaged.bytes.size(), read, error)) << c.rule;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.rule << ": " << error;
        EXPECT_TRUE(read.Children().empty()) << c.rule;
    }

    CCompoundWriter writer;
    uint32_t parent = CCompoundWriter::kRoot;
    for (int i = 0; i <= CCompoundFile::kMaxDepth; ++i) parent = writer.AddStorage(parent, "deep");
    Bytes deep;
    ASSERT_TRUE(writer.Finish([&](const uint8_t* d, size_t n) { return deep.insert(deep.end(), d, d + n), true; }));
    CCompoundNode read;
    std::string error;
    EXPECT_FALSE(CCompoundFile::ReadMemory(deep.data(), deep.size(), read, error));
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
}

// A sibling tree as deep as it is long (every entry a right child) is read without recursion.
TEST(CompoundFile, DegenerateSiblingTreeOfManyChildrenReads) {
    CCompoundNode tree;
    constexpr int kChildren = 40000;
    CCompoundNode& storage = tree.Storage("s");
    for (int i = 0; i < kChildren; ++i) storage.Append(CCompoundNode(std::to_string(i), false));
    CCompoundImage image(WriteMemory(tree));
    // Entries 2.. are the streams in the order added, which is the format's order here.
    std::vector<uint32_t> ids;
    for (uint32_t id = 2; id < kChildren + 2u; ++id) ids.push_back(id);
    std::sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) {
        const std::string x = std::to_string(a - 2), y = std::to_string(b - 2);
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    image.SetField("s", Cfb::Entry::kChild, ids.front());
    for (size_t i = 0; i < ids.size(); ++i) {
        const size_t at = image.Entry(ids[i]);
        Cfb::SetU32(&image.bytes[at + Cfb::Entry::kLeft], Cfb::kNoEntry);
        Cfb::SetU32(&image.bytes[at + Cfb::Entry::kRight], i + 1 < ids.size() ? ids[i + 1] : Cfb::kNoEntry);
    }
    CCompoundNode back;
    std::string error;
    ASSERT_TRUE(CCompoundFile::ReadMemory(image.bytes.data(), image.bytes.size(), back, error)) << error;
    EXPECT_TRUE(back.SameContent(tree));
}
