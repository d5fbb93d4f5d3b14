// What every reader of a path asks before reading: a regular file of bounded size.
#include "files/backup_tree.h"
#include "files/brt_file.h"
#include "files/byte_reader.h"
#include "files/cnv_file.h"
#include "files/qcn_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

TEST(InputCheck, EveryKindRefusesPipesFoldersAndHugeFilesUnread) {
    using Read = std::function<bool(const std::string&, std::string&)>;
    const std::pair<const char*, Read> kinds[] = {
        {"brt", [](const std::string& p, std::string& e) { CBrtFile f; return f.Open(p) || (e = f.Error(), false); }},
        {"cnv", [](const std::string& p, std::string& e) { CCnvFile f; return f.Open(p) || (e = f.Error(), false); }},
        {"qcn", [](const std::string& p, std::string& e) { CQcnFile f; return f.Open(p) || (e = f.Error(), false); }},
        {"xqcn", [](const std::string& p, std::string& e) {
             CCompoundNode tree;
             EBackupForm form{};
             return ReadBackupTree(p, tree, form, e);
         }},
    };
    const std::string dir = MakeTempDir("input");
    for (const auto& [ext, read] : kinds) {
        const std::string base = dir + "/" + ext;
        ASSERT_EQ(mkfifo((base + "-pipe." + ext).c_str(), 0600), 0);  // opening it would block
        std::filesystem::create_directory(base + "-folder." + ext);
        WriteFile(base + "-huge." + ext, "");
        std::filesystem::resize_file(base + "-huge." + ext, CByteReader::kMaxFileSize + 1);  // sparse
        const std::pair<std::string, const char*> cases[] = {
            {"-pipe.", "not a regular file"}, {"-folder.", "not a regular file"}, {"-huge.", "files over 512 MB"}};
        for (const auto& [name, expected] : cases) {
            std::string error;
            EXPECT_FALSE(read(base + name + ext, error)) << ext << name;
            EXPECT_NE(error.find(expected), std::string::npos) << ext << name << ": " << error;
        }
    }
    // An .xqcn that is no XML is told so, not taken for a compound file.
    std::string error;
    CCompoundNode tree;
    EBackupForm form{};
    WriteFile(dir + "/empty.xqcn", "");
    EXPECT_FALSE(ReadBackupTree(dir + "/empty.xqcn", tree, form, error));
    EXPECT_NE(error.find("empty file"), std::string::npos) << error;
    WriteFile(dir + "/utf16.xqcn", std::string("\xFF\xFE<\0?\0", 6));
    EXPECT_FALSE(ReadBackupTree(dir + "/utf16.xqcn", tree, form, error));
    EXPECT_NE(error.find("not an XQCN file (expected XML)"), std::string::npos) << error;
}
