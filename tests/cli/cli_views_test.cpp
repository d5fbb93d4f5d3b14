// show and set: records and item files read and typed as people write them, the backup
// written again as its own kind with nothing else changed.
#include "files/backup_tree.h"
#include "jobs/job_control.h"
#include "doc/tessiva_doc.h"
#include "test_support.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {
using Bytes = std::vector<uint8_t>;

std::string Examples() { return SourceDir() + "/examples"; }
std::string Cli() { return BinDir() + "/tessiva-cli --dir '" + Examples() + "' "; }
std::string Q(const std::string& path) { return "'" + path + "'"; }
const std::string kLte = "/nv/item_files/modem/mmode/lte_bandpref";

// A CNV of the items the views read, made through the document; change, when given, gives
// one record another value.
std::string MakeViewsFile(const std::string& dir, const std::string& name = "views.cnv",
                          const std::pair<int, Bytes>& change = {-1, {}}) {
    STestJobs t;
    CTessivaDoc doc(t.jobs);
    doc.SetDirectory(Examples());
    const std::pair<int, Bytes> values[] = {
        {550, {0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x78}},
        {1943, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x00}},
        {6828, {0xD5, 0x00, 0x08, 0x00, 0xA0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // 1786706919637, 0
        {441, {0x00, 0x01, 0x80}},
        {0, {0xC7, 0x21, 0x3F, 0x8A}},
    };
    CNVItemArray records;
    for (const auto& [id, value] : values) {
        CNVItem r;
        r.SetId(id);
        r.SetActive(1);
        r.SetValue(id == change.first ? change.second : value);
        records.Add(r);
    }
    EXPECT_TRUE(doc.SetRecords(records).IsCompleted());
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(doc.SaveBackup(path).IsCompleted());
    return path;
}

std::string Show(const std::string& file, const std::string& key, int* status = nullptr) {
    std::string out, err;
    const int rc = RunCommand(Cli() + "show " + Q(file) + " " + key, &out, &err);
    if (status) *status = rc;
    return out + err;
}

}  // namespace

TEST(CliViews, ShowReadsEachViewAndItsJson) {
    const std::string dir = MakeTempDir("cli-views");
    const std::string in = MakeViewsFile(dir);
    EXPECT_THAT(Show(in, "550"), HasSubstr("\nIMEI 990016878573987 (check digit correct)\n"));
    EXPECT_THAT(Show(in, "1943"), HasSubstr("\nMEID 07F6E5D4C3B2A1\n"));
    EXPECT_THAT(Show(in, "6828"), HasSubstr("\nLTE bands 1 3 5 7 8 20 38 40 41\n"));
    EXPECT_THAT(Show(in, "441"), HasSubstr("\nBand preference bits 0 15\n"));  // 946 and 2954 absent
    EXPECT_THAT(Show(Examples() + "/sample-numbered.qcn", kLte),
                HasSubstr("\nLTE bands 1 2 3 4 5 7 8 12 13 14 18 19 20\n"));

    EXPECT_THAT(Show(in, "550 --json"), HasSubstr("\"view\":\"imei\",\"text\":\"IMEI 990016878573987 (check digit "
                                                  "correct)\",\"imei\":\"990016878573987\",\"imeiCheckDigitOk\":true}"));
    EXPECT_THAT(Show(in, "1943 --json"), HasSubstr("\"meid\":\"07F6E5D4C3B2A1\"}"));
    EXPECT_THAT(Show(in, "6828 --json"), HasSubstr("\"bands\":[1,3,5,7,8,20,38,40,41]}"));
    const std::string plain = Show(in, "0 --json");
    EXPECT_THAT(plain, HasSubstr("\"id\":0,"));
    EXPECT_EQ(plain.find("\"view\""), std::string::npos);

    // The first subscription's record, and what no backup holds.
    EXPECT_THAT(Show(Examples() + "/sample-numbered.qcn", "81 --subscription 1 --json"),
                HasSubstr("\"id\":81,\"index\":-1,\"subscription\":1,"));
    int status = 0;
    EXPECT_THAT(Show(in, "1877", &status), HasSubstr("no record of item 1877"));
    EXPECT_EQ(status, 1);
    EXPECT_THAT(Show(Examples() + "/sample-numbered.qcn", kLte + " --subscription 1", &status),
                HasSubstr(kLte + "_Subscription01"));
    EXPECT_EQ(status, 1);
}

TEST(CliViews, SetWritesTheEncodedBytesAndNothingElse) {
    const std::string dir = MakeTempDir("cli-views");
    const std::string in = MakeViewsFile(dir);
    // Each file as the document writes the backup with that one record's value changed.
    const struct {
        std::string key, value;
        Bytes bytes;
        std::string shown;
    } cases[] = {
        {"550", "imei=352099001761481", {0x08, 0x3A, 0x25, 0x90, 0x09, 0x10, 0x67, 0x41, 0x18},
         "IMEI 352099001761481 (check digit correct)"},
        {"550", "imei=990016878573986 --force", {0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x68},
         "IMEI 990016878573986 (check digit wrong: should be 7)"},
        {"6828", "bands=1,3,66", {0x05, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}, "LTE bands 1 3 66"},
        {"1943", "meid=0x07F6E5D4C3B2A2", {0xA2, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x00}, "MEID 07F6E5D4C3B2A2"},
        {"550", "'hex=089A091086877593 79'", {0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x79},
         "IMEI 990016878573997 (check digit wrong: should be 5)"},
        {"441", "field=1:1", {0x00, 0x01, 0x00}, "Band preference bits 0"},
    };
    for (const auto& c : cases) {
        const std::string out = dir + "/out.cnv";
        std::string stdout_, err;
        ASSERT_EQ(RunCommand(Cli() + "set " + Q(in) + " " + Q(out) + " " + c.key + " " + c.value, &stdout_, &err), 0)
            << c.value << err;
        EXPECT_THAT(Show(out, c.key), HasSubstr("\n" + c.shown + "\n")) << c.value;
        const std::string expected = MakeViewsFile(dir, "expected.cnv", {std::stoi(c.key), c.bytes});
        EXPECT_EQ(ReadFile(out), ReadFile(expected)) << c.value;
        std::filesystem::remove(out);
    }
    EXPECT_THAT(Show(dir + "/views.cnv", "6828 --json"), HasSubstr("\"bands\":[1,3,5,7,8,20,38,40,41]"));
}

TEST(CliViews, ARefusedValueWritesNothing) {
    const std::string dir = MakeTempDir("cli-views");
    const std::string in = MakeViewsFile(dir);
    const std::string out = dir + "/out.cnv";
    const struct {
        std::string args;
        int status;
        std::string said;
    } cases[] = {
        {"550 imei=990016878573986", 1, "should be 7"},
        {"550 imei=99001687857398", 1, "15 digits"},
        {"6828 bands=1,129", 1, "1-128"},
        {"6828 imei=352099001761481", 1, "bands="},
        {"1943 meid=07F6E5D4C3B2", 1, "14 hexadecimal digits"},
        {"550 hex=0899", 1, "holds 9 bytes"},
        {"550 field=12:1", 1, "does not exist"},
        {"0 field=0:4294967296", 1, "4294967295"},
        {"0 bands=1", 1, "not set with bands="},
        {"550 digits=1", 2, "VALUE is"},
        {"550 imei=352099001761481 --subscription 3", 2, "--subscription"},
    };
    for (const auto& c : cases) {
        std::string stdout_, err;
        EXPECT_EQ(RunCommand(Cli() + "set " + Q(in) + " " + Q(out) + " " + c.args, &stdout_, &err), c.status) << c.args;
        EXPECT_THAT(err, HasSubstr(c.said)) << c.args;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
    }
}

// A numbered backup: the item file set, every other stream of the tree as it was.
TEST(CliViews, SetOfAnItemFileKeepsTheRestOfANumberedBackup) {
    const std::string dir = MakeTempDir("cli-views");
    for (const char* name : {"sample-numbered.qcn", "sample-numbered.xqcn"}) {
        const std::string in = Examples() + "/" + name;
        const std::string out = dir + "/" + name;
        std::string stdout_, err;
        ASSERT_EQ(RunCommand(Cli() + "set " + Q(in) + " " + Q(out) + " " + kLte + " bands=1,3,64", &stdout_, &err), 0)
            << err;
        EXPECT_THAT(Show(out, kLte), HasSubstr("\nLTE bands 1 3 64\n"));

        CCompoundNode before, after;
        EBackupForm form{};
        ASSERT_TRUE(ReadBackupTree(in, before, form, err)) << err;
        ASSERT_TRUE(ReadBackupTree(out, after, form, err)) << err;
        // The XML form names its outer storage after the file.
        if (std::string(name).ends_with(".xqcn")) after.Children().at(0).SetName(before.Children().at(0).Name());
        std::vector<CCompoundNode*> found;
        const Bytes old = {0xDF, 0x38, 0x0E, 0, 0, 0, 0, 0};
        const std::function<void(CCompoundNode&)> find = [&](CCompoundNode& node) {
            if (node.IsStream() && node.Bytes() == old) found.push_back(&node);
            for (CCompoundNode& child : node.Children()) find(child);
        };
        find(before);
        ASSERT_EQ(found.size(), 1u) << name;
        found[0]->SetBytes({0x05, 0, 0, 0, 0, 0, 0, 0x80});
        EXPECT_TRUE(before.SameContent(after)) << name;
    }
}
