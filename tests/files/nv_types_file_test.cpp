#include "model/nv_type_catalog.h"
#include "files/nv_types_file.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {
class TypesFileTest : public ::testing::Test {
protected:
    TypesFileTest() { catalog.SetDirectory(dir); }
    bool Import(const std::string& text) {
        WriteFile(dir + "/NVTypesDefine.def", text);
        return catalog.ImportDefinitionFile(dir + "/NVTypesDefine.def");
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    STestJobs t;
    std::string dir = MakeTempDir("typesfile");
    CNVTypesFile typeFile;
    CNVTypeCatalog catalog{t.jobs, &typeFile};
};

// The save goes through the crash-safe writer: its temporary file has a name of its own,
// so whatever sits at the old fixed name stays, and a failure names its real cause.
TEST_F(TypesFileTest, SaveLeavesOtherFilesAloneAndKeepsPermissions) {
    fs::create_directory(dir + "/NVTypes.typ.tmp");
    WriteFile(dir + "/NVTypes.typ.tmp/keep", "x");
    ASSERT_TRUE(Import("A;uint8 a;\n")) << catalog.LastImport().reason;
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ"), "A;uint8 a;\r\nEND;\r\n");
    EXPECT_TRUE(fs::exists(dir + "/NVTypes.typ.tmp/keep"));

    ASSERT_EQ(chmod((dir + "/NVTypes.typ").c_str(), 0640), 0);
    ASSERT_TRUE(Import("B;uint16 b;\n"));
    struct stat st {};
    ASSERT_EQ(stat((dir + "/NVTypes.typ").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ.bak"), "A;uint8 a;\r\nEND;\r\n");  // the previous catalogue
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"NVTypes.typ", "NVTypes.typ.bak", "NVTypes.typ.tmp", "NVTypesDefine.def"}));

    // A folder at the target's name: the import fails, says why, and leaves nothing behind.
    fs::remove(dir + "/NVTypes.typ");
    fs::create_directory(dir + "/NVTypes.typ");
    EXPECT_FALSE(Import("C;uint8 c;\n"));
    const std::string message = catalog.LastImport().reason;
    EXPECT_THAT(message, HasSubstr("Can't write NVTypes.typ file.\n" + dir + "/NVTypes.typ: "));
    EXPECT_THAT(message, ::testing::Not(HasSubstr(".tmp")));
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"NVTypes.typ", "NVTypes.typ.bak", "NVTypes.typ.tmp", "NVTypesDefine.def"}));
    EXPECT_TRUE(catalog.IsTypeName("B"));
}

// An empty NVTypes.typ is what a failed save of old left: the good copy in the .bak stays.
TEST_F(TypesFileTest, AnEmptyTypeFileNeverReplacesTheBackupCopy) {
    WriteFile(dir + "/NVTypes.typ", "");
    WriteFile(dir + "/NVTypes.typ.bak", "A;uint8 a;\r\nEND;\r\n");
    ASSERT_TRUE(Import("B;uint16 b;\n"));
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ.bak"), "A;uint8 a;\r\nEND;\r\n");
    EXPECT_EQ(ReadFile(dir + "/NVTypes.typ"), "B;uint16 b;\r\nEND;\r\n");
}
}  // namespace
