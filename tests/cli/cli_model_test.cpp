#include "model/nv_define_reader.h"
#include "model/nv_type_catalog.h"
#include "files/nv_types_file.h"
#include "test_support.h"

#include <filesystem>
#include <set>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {
std::string Examples() { return SourceDir() + "/examples"; }
std::string Cli(const std::string& dir) { return BinDir() + "/tessiva-cli --dir '" + dir + "' "; }

// A folder holding the sample NVTypes.typ and NVItemsDefine.def.
std::string SampleDir() {
    const std::string dir = MakeTempDir("cli-model");
    for (const char* f : {"NVTypes.typ", "NVItemsDefine.def"})
        std::filesystem::copy_file(Examples() + "/" + f, dir + "/" + f);
    return dir;
}

TEST(CliModel, ImportTypesReproducesTheSampleTypeFile) {
    const std::string dir = MakeTempDir("cli-import");
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli(dir) + "import-types '" + Examples() + "/NVTypesDefine.def'", &out, &err), 0) << err;
    EXPECT_THAT(out, HasSubstr("Imported 99 NV types"));
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ"), ReadFile(Examples() + "/NVTypes.typ"));

    const std::string before = ReadFile(dir + "/NVTypes.typ");
    EXPECT_EQ(RunCommand(Cli(dir) + "import-types '" + dir + "/missing.def'", &out, &err), 1);
    EXPECT_THAT(err, HasSubstr("Can't open a file"));
    EXPECT_EQ(RunCommand(Cli(dir) + "import-types", &out, &err), 2);
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ"), before);
}

TEST(CliModel, SampleDefinitionsAgreeWithTheSampleCatalogue) {
    STestJobs t;
    CNVDefineReader reader(t.jobs);
    CNVItemArray defs;
    ASSERT_TRUE(reader.StartReadDefinitions(Examples() + "/NVItemsDefine.def", defs).IsCompleted());
    EXPECT_TRUE(t.jobs.TakeNotes().empty());
    CNVTypesFile typeFile;
    CNVTypeCatalog catalog(t.jobs, &typeFile);
    catalog.SetDirectory(Examples());
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());
    std::set<int> ids;
    std::set<std::string> groups;
    for (const auto& d : defs) {
        ids.insert(d.Id());
        groups.insert(d.Group());
        ASSERT_TRUE(catalog.SelectType(d.TypeName())) << d.Name();
        EXPECT_EQ(catalog.RecordSize(), d.Size()) << d.Name();
        EXPECT_GT(catalog.FieldCount(), 0) << d.Name();
        EXPECT_LE(d.Size(), d.Count() > 0 ? 127 : 128) << d.Name();
        // The element index of a per-NAM array is the NAM: a NAM byte of its own would go twice.
        if (d.Count() > 0) {
            EXPECT_NE(catalog.FieldDisplayName(0), "nam") << d.Name();
        }
    }
    EXPECT_GE(ids.size(), 200u);
    EXPECT_GE(groups.size(), 10u);
    for (const auto& name : catalog.TypeNames()) EXPECT_NE(catalog.Definition(name), "Bad Parametr") << name;
}

TEST(CliModel, DefsListsTheSampleDefinitionsSortedById) {
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli(SampleDir()) + "defs --json", &out, &err), 0) << err;
    EXPECT_THAT(out, HasSubstr("{\"id\":441,\"index\":-1,\"count\":0,\"size\":3,\"name\":\"NV_BAND_PREF_I\""));
    EXPECT_THAT(out, HasSubstr("{\"id\":178,\"index\":1,\"count\":2,\"size\":10,\"name\":\"NV_DIR_NUMBER_I\""));
    EXPECT_LT(out.find("\"id\":0,"), out.find("\"id\":10,"));
    EXPECT_LT(out.find("\"id\":441,"), out.find("\"id\":1943,"));
}

TEST(CliModel, DecodeShowsAndEditsFields) {
    const std::string dir = SampleDir();
    std::string out, err;
    ASSERT_EQ(RunCommand(Cli(dir) + "decode nv_band_pref_type 01ff --json", &out, &err), 0) << err;
    EXPECT_EQ(out,
              "{\"type\":\"nv_band_pref_type\",\"size\":3,\"fields\":[\n"
              "{\"name\":\"nam\",\"dec\":\"1\",\"hex\":\"1\",\"type\":\"uint8\"},\n"
              "{\"name\":\"band\",\"dec\":\"255\",\"hex\":\"FF\",\"type\":\"uint16\"}\n"
              "],\"value\":\"01ff00\"}\n");

    // Edits apply in the order given, mixing both kinds.
    ASSERT_EQ(RunCommand(Cli(dir) + "decode nv_banner_type '' --set-hex 0=first --set 0=Hello --json", &out, &err), 0);
    EXPECT_THAT(out, HasSubstr("\"dec\":\"Hello\""));
    EXPECT_THAT(out, HasSubstr("\"value\":\"48656c6c6f00"));
    ASSERT_EQ(RunCommand(Cli(dir) + "decode nv_band_pref_type 00 --set 1=70000 --set-hex 0=1FF --json", &out, &err), 0);
    EXPECT_THAT(out, HasSubstr("\"value\":\"ff7011\""));
    ASSERT_EQ(RunCommand(Cli(dir) + "decode nv_band_pref_type 00 --set-hex 0=1FF --set 0=7 --json", &out, &err), 0);
    EXPECT_THAT(out, HasSubstr("\"value\":\"070000\""));

    // Longer than the type: the first bytes count and the rest is mentioned.
    ASSERT_EQ(RunCommand(Cli(dir) + "decode uint8 0102", &out, &err), 0);
    EXPECT_THAT(out, HasSubstr("value 01"));
    EXPECT_THAT(err, HasSubstr("the rest is ignored"));
}

TEST(CliModel, DecodeRejectsBadInput) {
    const std::string dir = SampleDir();
    std::string out, err;
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 123", &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 zz", &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 00 --set x=1", &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 00 --set 1", &out, &err), 2);
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 00 --set 1=5", &out, &err), 2);
    EXPECT_THAT(err, HasSubstr("field 1 does not exist"));
    EXPECT_EQ(RunCommand(Cli(dir) + "decode nv_nothing_type 00", &out, &err), 1);
    EXPECT_THAT(err, HasSubstr("ERROR NVType nv_nothing_type Not defined in NVTypesDefine.def file!"));
    std::filesystem::remove(dir + "/NVTypes.typ");
    EXPECT_EQ(RunCommand(Cli(dir) + "decode uint8 00", &out, &err), 1);
    EXPECT_THAT(err, HasSubstr("Can't open NVTypes.typ file."));
}
}  // namespace
