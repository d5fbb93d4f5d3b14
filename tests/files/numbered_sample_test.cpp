// examples/sample-numbered.qcn and .xqcn are made here. The test fails when the samples no
// longer match what this code makes; TESSIVA_WRITE_SAMPLES=1 rewrites them.
#include "files/backup_tree.h"
#include "files/compound_file.h"
#include "files/numbered_backup.h"
#include "files/xqcn_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {
// Items of examples/NVItemsDefine.def with values fitting their types in NVTypesDefine.def.
SNumberedBackup SampleBackup() {
    SNumberedBackup backup;
    auto add = [&](uint32_t id, std::vector<uint8_t> data, int subscription = 0) {
        SNumberedRecord r;
        r.id = id;
        r.subscription = subscription;
        std::copy(data.begin(), data.end(), r.data.begin());
        backup.records.push_back(r);
    };
    auto text = [](std::vector<uint8_t>& out, const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) out.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    };
    add(0, {0xC7, 0x21, 0x3F, 0x8A});                        // NV_ESN_I, uint32
    add(81, {1});                                            // NV_AUTO_LOCK_I, boolean
    add(81, {0}, 1);                                         // the same for the first subscription
    add(1943, {0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xA0, 0x00});  // NV_MEID_I, uint64
    for (uint8_t k = 0; k < 2; ++k) {                        // NV_DIR_NUMBER_I[2]: index (the NAM), dir_number[10]
        std::vector<uint8_t> d = {k};
        text(d, k ? "8585559876" : "8585551234", 10);
        add(178, d);
    }
    const char* dials[][2] = {{"8005550100", "Voicemail"}, {"8005550199", "Office"}};
    for (uint8_t k = 0; k < 2; ++k) {                        // NV_DIAL_I[10]: index, address, num_digits, digits[32], letters[12]
        std::vector<uint8_t> d = {k, static_cast<uint8_t>(k + 1), static_cast<uint8_t>(std::strlen(dials[k][0]))};
        text(d, dials[k][0], 32);
        text(d, dials[k][1], 12);
        add(57, d);
    }
    add(7001, {0x11, 0x22, 0x33, 0x44});                     // an ID no definition knows
    backup.itemFiles.push_back(MakeItemFile("NV_Items", "/nv/item_files/modem/mmode/lte_bandpref",
                                            {0xDF, 0x38, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00}));
    backup.itemFiles.push_back(MakeItemFile("Provisioning_Item_Files", "/nv/item_files/ims/IMS_enable", {0x01}));
    backup.itemFiles.push_back(MakeItemFile("EFS_Backup", "/nv/item_files/modem/uim/uimdrv/feature_support_hotswap",
                                            {0x01}, 0x81B6));
    return backup;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST(NumberedSample, ExamplesAreWhatTheCodeMakes) {
    CCompoundNode tree;
    std::string error;
    ASSERT_TRUE(EncodeNumbered(SampleBackup(), tree, error)) << error;

    const std::string examples = std::string(TESSIVA_SOURCE_DIR) + "/examples/";
    const bool write = std::getenv("TESSIVA_WRITE_SAMPLES") != nullptr;
    const std::string target = write ? examples : MakeTempDir("sample") + "/";
    ASSERT_TRUE(CCompoundFile::Write(target + "sample-numbered.qcn", tree, error)) << error;
    ASSERT_TRUE(CXqcnFile::Write(target + "sample-numbered.xqcn", tree, error)) << error;

    // The compound sample must read back as this tree, the XML one byte for byte.
    for (const char* name : {"sample-numbered.qcn", "sample-numbered.xqcn"}) {
        CCompoundNode stored;
        EBackupForm form{};
        ASSERT_TRUE(ReadBackupTree(examples + name, stored, form, error)) << name << ": " << error;
        EXPECT_TRUE(stored.SameContent(tree)) << name << " is stale; rerun with TESSIVA_WRITE_SAMPLES=1";
    }
    EXPECT_EQ(Slurp(examples + "sample-numbered.xqcn"), Slurp(target + "sample-numbered.xqcn"));
}
