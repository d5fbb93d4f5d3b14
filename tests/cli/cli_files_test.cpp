#include "files/backup_tree.h"
#include "files/compound_file.h"
#include "files/numbered_backup.h"
#include "jobs/job_control.h"
#include "doc/tessiva_doc.h"
#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {
std::string Examples() { return SourceDir() + "/examples"; }
std::string Cli() { return BinDir() + "/tessiva-cli --dir '" + Examples() + "' "; }
std::string Sample(const char* ext) { return "'" + Examples() + "/sample." + ext + "'"; }
std::string Q(const std::string& path) { return "'" + path + "'"; }

// Runs python over a JSON output file and returns what the expression prints.
std::string PyJson(const std::string& jsonPath, const std::string& expression) {
    std::string out, err;
    RunCommand("/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(" + expression + ")' " +
                   Q(jsonPath),
               &out, &err);
    return out + err;
}

// A CNV file of two records made through the document: item 82 (lock code "9999") and
// item 2818 (debug level 3), which the samples do not hold.
std::string MakeAddFile(const std::string& dir) {
    STestJobs t;
    CTessivaDoc doc(t.jobs);
    doc.SetDirectory(Examples());
    CNVItem code, level;
    code.SetId(82);
    code.SetActive(1);
    code.SetValue(std::vector<uint8_t>{'9', '9', '9', '9'});
    level.SetId(2818);
    level.SetActive(1);
    level.SetValue(std::vector<uint8_t>{3});
    CNVItemArray records;
    records.Add(code);
    records.Add(level);
    EXPECT_TRUE(doc.SetRecords(records).IsCompleted());
    const std::string path = dir + "/add.cnv";
    EXPECT_TRUE(doc.SaveBackup(path).IsCompleted());
    return path;
}
}  // namespace

TEST(CliFiles, DumpShowsTheSameRecordsForEveryKindOfTheSample) {
    std::string cnv, brt, qcn, err;
    ASSERT_EQ(RunCommand(Cli() + "dump " + Sample("cnv"), &cnv, &err), 0) << err;
    ASSERT_EQ(RunCommand(Cli() + "dump " + Sample("brt"), &brt, &err), 0) << err;
    ASSERT_EQ(RunCommand(Cli() + "dump " + Sample("qcn"), &qcn, &err), 0) << err;
    EXPECT_EQ(cnv, brt);
    EXPECT_EQ(cnv, qcn);
    EXPECT_THAT(cnv, HasSubstr("NV_LOCK_CODE_I"));
    EXPECT_THAT(cnv, HasSubstr("digits[4]"));
    EXPECT_EQ(err, "");

    const std::string dir = MakeTempDir("cli-dump");
    std::string json;
    ASSERT_EQ(RunCommand(Cli() + "dump --json " + Sample("cnv"), &json, &err), 0) << err;
    WriteFile(dir + "/d.json", json);
    EXPECT_EQ(PyJson(dir + "/d.json", "len(d[\"items\"]), sum(i[\"active\"] for i in d[\"items\"])"), "166 156\n");
    EXPECT_THAT(json, HasSubstr("{\"id\":0,\"index\":-1,\"active\":1,\"size\":4,\"name\":\"NV_ESN_I\",\"group\":"
                                "\"Security\",\"fileName\":\"nvm/num/0\",\"type\":\"uint32\",\"value\":\"c3b2a180\","
                                "\"fields\":[{\"name\":\"value\",\"dec\":\"2158080707\",\"hex\":\"80A1B2C3\","
                                "\"type\":\"uint32\"}],\"subscription\":0}"));
}

TEST(CliFiles, DumpOfAnUnknownTypeAFailedLoadAndAWrongKind) {
    const std::string dir = MakeTempDir("cli-dump");
    std::filesystem::copy_file(Examples() + "/NVTypes.typ", dir + "/NVTypes.typ");
    WriteFile(dir + "/NVItemsDefine.def", "NV_ESN_I;0;nvm/num/0;Security;4;uint32\n"
                                          "NV_ODD_I;1;nvm/num/1;Security;4[2];no_such_type\n");
    const std::string cli = BinDir() + "/tessiva-cli --dir " + Q(dir) + " ";
    std::string out, err;
    ASSERT_EQ(RunCommand(cli + "dump --json " + Sample("cnv"), &out, &err), 0) << err;
    EXPECT_THAT(out, HasSubstr("\"name\":\"NV_ODD_I [ 1 ]\",\"group\":\"Security\",\"fileName\":\"nvm/num/1\","
                               "\"type\":\"no_such_type\",\"value\":\"000000\",\"fields\":null,\"subscription\":0}"));
    // Once per type, however many records have it; the records the definitions lack are told
    // on one line and kept, listed under "undefined".
    EXPECT_EQ(err.find("ERROR NVType no_such_type Not defined in NVTypesDefine.def file!"),
              err.rfind("ERROR NVType no_such_type"));
    EXPECT_THAT(err, HasSubstr("\nNV Item ID = 5 Is not defined in NVItemsDefine.def file So it can't be edit by "
                               "Tessiva and 153 more\n"));
    WriteFile(dir + "/d.json", out);
    EXPECT_EQ(PyJson(dir + "/d.json", "len(d[\"undefined\"]), len([i for i in d[\"items\"] if i[\"id\"] == 82])"),
              "154 0\n");

    const std::vector<uint8_t> good = ReadBytes(Examples() + "/sample.brt");
    WriteFile(dir + "/cut.BRT", std::string(good.begin(), good.begin() + 500));
    EXPECT_EQ(RunCommand(cli + "dump " + Q(dir + "/cut.BRT"), &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_THAT(err, HasSubstr("Wrong data in BRT File."));
    EXPECT_EQ(RunCommand(cli + "dump " + Q(dir + "/file.txt"), &out, &err), 2);
    EXPECT_EQ(RunCommand(cli + "dump", &out, &err), 2);
}

TEST(CliFiles, ConvertReproducesTheSampleAndSavesChosenItems) {
    const std::string dir = MakeTempDir("cli-convert");
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli() + "convert " + Sample("qcn") + " " + Q(dir + "/a.brt"), &out, &err), 0) << err;
    EXPECT_EQ(ReadBytes(dir + "/a.brt"), ReadBytes(Examples() + "/sample.brt"));
    ASSERT_EQ(RunCommand(Cli() + "convert " + Sample("brt") + " " + Q(dir + "/a.cnv"), &out, &err), 0) << err;
    EXPECT_EQ(ReadBytes(dir + "/a.cnv"), ReadBytes(Examples() + "/sample.cnv"));

    ASSERT_EQ(RunCommand(Cli() + "convert " + Sample("cnv") + " " + Q(dir + "/s.qcn") + " --ids 2300,82", &out, &err), 0)
        << err;
    ASSERT_EQ(RunCommand(Cli() + "dump --json " + Q(dir + "/s.qcn"), &out, &err), 0) << err;
    WriteFile(dir + "/s.json", out);
    EXPECT_EQ(PyJson(dir + "/s.json", "sorted(set(i[\"id\"] for i in d[\"items\"]))"), "[82, 2300]\n");

    EXPECT_EQ(RunCommand(Cli() + "convert " + Sample("cnv") + " " + Q(dir + "/x.cnv") + " --ids 8x", &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli() + "convert " + Sample("cnv") + " " + Q(dir + "/x.txt"), &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli() + "convert " + Sample("cnv") + " " + Q(dir + "/no/such/x.cnv"), &out, &err), 1);
    EXPECT_THAT(err, HasSubstr("Can't write the file"));
}

TEST(CliFiles, ListWritesOneLinePerItem) {
    const std::string dir = MakeTempDir("cli-list");
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli() + "list " + Sample("qcn") + " " + Q(dir + "/all.csv"), &out, &err), 0) << err;
    const std::string all = ReadFile(dir + "/all.csv");
    EXPECT_EQ(all.rfind("NV Item Name;NV ID\r\nNV_ESN_I;0\r\nNV_ESN_CHKSUM_I;1\r\n", 0), 0u);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 110);  // 111 lines, none after the last
    ASSERT_EQ(RunCommand(Cli() + "list " + Sample("brt") + " " + Q(dir + "/s.csv") + " --ids 57,5", &out, &err), 0)
        << err;
    EXPECT_EQ(ReadFile(dir + "/s.csv"), "NV Item Name;NV ID\r\nNV_CURR_NAM_I;5\r\nNV_DIAL_I ;57");
}

TEST(CliFiles, MergeAnswersEveryPromptWithTheOption) {
    const std::string dir = MakeTempDir("cli-merge");
    const std::string add = MakeAddFile(dir);
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli() + "merge " + Sample("brt") + " " + Q(add) + " " + Q(dir + "/o.cnv"), &out, &err), 0)
        << err;
    EXPECT_THAT(out, HasSubstr("1 conflict(s), taken from ADD"));
    ASSERT_EQ(RunCommand(Cli() + "merge " + Sample("qcn") + " " + Q(add) + " " + Q(dir + "/s.qcn") +
                             " --on-conflict skip",
                         &out, &err),
              0)
        << err;
    EXPECT_THAT(out, HasSubstr("1 conflict(s), kept from BASE"));

    // Against the sample: the overwrite changed item 82 and added 2818; the skip only added 2818.
    ASSERT_EQ(RunCommand(Cli() + "diff " + Sample("cnv") + " " + Q(dir + "/o.cnv"), &out, &err), 1) << err;
    EXPECT_THAT(out, HasSubstr("only in B: 2818 -1 NV_DEBUG_LEVEL_I"));
    EXPECT_THAT(out, HasSubstr("differs:   82 -1 NV_LOCK_CODE_I: active Y -> Y, value 31323334 -> 39393939"));
    EXPECT_THAT(out, HasSubstr("digits[4] (string): 1234 (1234) -> 9999 (9999)"));
    ASSERT_EQ(RunCommand(Cli() + "diff " + Sample("cnv") + " " + Q(dir + "/s.qcn"), &out, &err), 1) << err;
    EXPECT_THAT(out, HasSubstr("only in B: 2818"));
    EXPECT_THAT(out, Not(HasSubstr("differs")));

    EXPECT_EQ(RunCommand(Cli() + "merge " + Sample("brt") + " " + Sample("qcn") + " " + Q(dir + "/x.cnv"), &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli() + "merge " + Sample("brt") + " " + Q(add) + " " + Q(dir + "/x.cnv") +
                             " --on-conflict ask",
                         &out, &err),
              2);
}

TEST(CliFiles, DiffExitStatusAndJson) {
    const std::string dir = MakeTempDir("cli-diff");
    std::string out, err;
    EXPECT_EQ(RunCommand(Cli() + "diff " + Sample("brt") + " " + Sample("qcn"), &out, &err), 0) << err;
    EXPECT_EQ(out, "The backups hold the same items.\n");

    const std::string add = MakeAddFile(dir);
    ASSERT_EQ(RunCommand(Cli() + "merge " + Sample("cnv") + " " + Q(add) + " " + Q(dir + "/o.brt"), &out, &err), 0);
    ASSERT_EQ(RunCommand(Cli() + "diff --json " + Q(dir + "/o.brt") + " " + Sample("cnv"), &out, &err), 1) << err;
    WriteFile(dir + "/d.json", out);
    EXPECT_EQ(PyJson(dir + "/d.json", "d[\"equal\"], [r[\"id\"] for r in d[\"onlyInA\"]], d[\"onlyInB\"], "
                                      "[(c[\"id\"], c[\"a\"][\"value\"], c[\"fields\"][0][\"b\"][\"dec\"]) "
                                      "for c in d[\"different\"]]"),
              "False [2818] [] [(82, '39393939', '1234')]\n");

    WriteFile(dir + "/bad.cnv", "CNV*");
    EXPECT_EQ(RunCommand(Cli() + "diff " + Sample("cnv") + " " + Q(dir + "/bad.cnv"), &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli() + "diff " + Sample("cnv") + " " + Q(dir + "/a.csv"), &out, &err), 2);
}

TEST(CliFiles, NumberedBackupsConvertStreamForStreamAndDumpWhatTheyKeep) {
    const std::string dir = MakeTempDir("cli-numbered");
    // The sample, with a Feature_Mask and an empty second subscription as field files have them.
    CCompoundNode tree;
    EBackupForm form{};
    std::string error, out, err;
    ASSERT_TRUE(ReadBackupTree(Examples() + "/sample-numbered.qcn", tree, form, error)) << error;
    CCompoundNode& def = tree.Storage("00000000").Storage("default");
    def.Stream("Feature_Mask").SetBytes({2, 0, 0x0F, 0xF0});
    def.Storage("NV_NUMBERED_ITEMS").Stream("NV_ITEM_ARRAY_SIM_2");
    const std::string a = dir + "/a.qcn";
    ASSERT_TRUE(CCompoundFile::Write(a, tree, error)) << error;
    const auto original = OleStreams(a);
    ASSERT_GE(original.size(), 12u);

    ASSERT_EQ(RunCommand(Cli() + "convert " + Q(a) + " " + Q(dir + "/b.qcn"), &out, &err), 0) << err;
    EXPECT_EQ(OleStreams(dir + "/b.qcn"), original);
    ASSERT_EQ(RunCommand(Cli() + "convert " + Q(a) + " " + Q(dir + "/a.xqcn"), &out, &err), 0) << err;
    ASSERT_EQ(RunCommand(Cli() + "convert " + Q(dir + "/a.xqcn") + " " + Q(dir + "/c.qcn"), &out, &err), 0) << err;
    EXPECT_EQ(OleStreams(dir + "/c.qcn"), original);
    // Chosen by hand, Tessiva's layout drops what it can't hold and says so.
    ASSERT_EQ(RunCommand(Cli() + "convert " + Q(a) + " " + Q(dir + "/t.qcn") + " --layout tessiva", &out, &err), 0);
    EXPECT_THAT(out + err, HasSubstr("3 item files were left out"));
    EXPECT_EQ(RunCommand(Cli() + "convert " + Q(a) + " " + Q(dir + "/t.qcn") + " --layout other", &out, &err), 2);

    const std::string json = dir + "/a.json";
    ASSERT_EQ(RunCommand(Cli() + "dump --json " + Q(a), &out, &err), 0) << err;
    WriteFile(json, out);
    EXPECT_EQ(PyJson(json, "d[\"layout\"], [r[\"id\"] for r in d[\"undefined\"]], sorted(f[\"area\"] for f in d[\"itemFiles\"]),"
                           " sorted({(r[\"id\"], r[\"subscription\"]) for r in d[\"items\"] if r[\"active\"]})"),
              "numbered [7001] ['EFS_Backup', 'NV_Items', 'Provisioning_Item_Files'] "
              "[(0, 0), (57, 0), (81, 0), (81, 1), (178, 0), (1943, 0)]\n");
    ASSERT_EQ(RunCommand(Cli() + "dump --json " + Q(dir + "/a.xqcn"), &out, &err), 0) << err;
    WriteFile(json, out);
    EXPECT_EQ(PyJson(json, "d[\"layout\"], d[\"itemFiles\"][0][\"size\"]"), "xqcn 8\n");

    // Item files NVItemFiles.def names, and a subscription's copy of one, show as records.
    SNumberedBackup numbered;
    ASSERT_TRUE(DecodeNumbered(tree, numbered, error)) << error;
    numbered.itemFiles.push_back(
        MakeItemFile("NV_Items", "/nv/item_files/modem/mmode/lte_bandpref_Subscription01", {5, 0, 0, 0, 0, 0, 0, 0, 9}));
    ASSERT_TRUE(EncodeNumbered(numbered, tree, error) && WriteBackupTree(dir + "/f.qcn", tree, form, error)) << error;
    ASSERT_EQ(RunCommand(Cli() + "dump --json " + Q(dir + "/f.qcn"), &out, &err), 0) << err;
    WriteFile(json, out);
    EXPECT_EQ(PyJson(json, "sorted((f[\"path\"].split(\"/\")[-1], f[\"subscription\"], f.get(\"item\"), f.get(\"type\"), "
                           "[(x[\"name\"], x[\"dec\"], x[\"hex\"]) for x in f.get(\"fields\") or []]) "
                           "for f in d[\"itemFiles\"])"),
              "[('IMS_enable', 0, 'IMS_ENABLE', 'boolean', [('value', 'TRUE', 'TRUE')]), "
              "('feature_support_hotswap', 0, None, None, []), "
              "('lte_bandpref', 0, 'LTE_BANDPREF', 'uint64', [('value', '932063', 'E38DF')]), "
              "('lte_bandpref_Subscription01', 1, 'Subscription 1: LTE_BANDPREF', 'uint64', "
              "[('value', '5', '5'), ('(bytes past the definition)', '', '09')])]\n");
    ASSERT_EQ(RunCommand(Cli() + "dump " + Q(dir + "/f.qcn"), &out, &err), 0) << err;
    EXPECT_THAT(out, HasSubstr("Subscription 1: LTE_BANDPREF"));

    // A compound file in neither layout is refused with what it holds.
    CCompoundNode other;
    other.Storage("Pictures").Stream("One").SetBytes({1});
    ASSERT_TRUE(CCompoundFile::Write(dir + "/o.qcn", other, error)) << error;
    EXPECT_EQ(RunCommand(Cli() + "dump " + Q(dir + "/o.qcn"), &out, &err), 1);
    EXPECT_THAT(out + err, HasSubstr("Pictures (storage)"));
}

// Inputs that never end and outputs that nothing reads: refused at once with the reason,
// never waited on (each command is given 20 seconds; the timeout's exit status is 124).
TEST(CliFiles, PipesAndDevicesAreRefusedNotWaitedOn) {
    const std::string dir = MakeTempDir("cli-pipes");
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo.qcn").c_str(), 0600), 0);
    const std::string zeroDefs = MakeTempDir("cli-zero-defs");
    std::filesystem::copy_file(Examples() + "/NVTypes.typ", zeroDefs + "/NVTypes.typ");
    std::filesystem::create_symlink("/dev/zero", zeroDefs + "/NVItemsDefine.def");
    const std::string timeout = "timeout 20 ";
    const struct {
        std::string command;
        const char* reason;
    } cases[] = {
        {Cli() + "import-types /dev/zero", "not a regular file"},
        {Cli() + "import-types " + Q(dir + "/fifo"), "not a regular file"},
        {BinDir() + "/tessiva-cli --dir " + Q(zeroDefs) + " defs", "not a regular file"},
        {Cli() + "dump " + Q(dir + "/fifo.qcn"), "not a regular file"},
        {Cli() + "convert " + Sample("qcn") + " " + Q(dir + "/fifo.qcn"), "no program reads from this pipe"},
        {Cli() + "list " + Sample("qcn") + " " + Q(dir + "/fifo"), "no program reads from this pipe"},
    };
    for (const auto& c : cases) {
        std::string out, err;
        EXPECT_EQ(RunCommand(timeout + c.command, &out, &err), 1) << c.command;
        EXPECT_THAT(err, HasSubstr(c.reason)) << c.command;
    }
}
