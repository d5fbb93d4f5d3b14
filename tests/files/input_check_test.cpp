// What every reader of a path asks before reading: a regular file of bounded size.
#include "files/backup_tree.h"
#include "files/brt_file.h"
#include "files/byte_reader.h"
#include "files/cnv_file.h"
#include "files/host_file.h"
#include "files/qcn_file.h"
#include "model/text_line_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
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

// Text and host files are checked as backups are, on the file opened: nothing that could
// block or never end is read, and the reason is told at once.
TEST(InputCheck, TextAndHostFilesRefuseWhatNeverEnds) {
    using Read = std::function<bool(const std::string&, std::string&)>;
    const std::pair<const char*, Read> readers[] = {
        {"text lines", [](const std::string& p, std::string& e) {
             CTextLineReader r;
             return r.Open(p) || (e = r.Error(), false);
         }},
        {"host file", [](const std::string& p, std::string& e) {
             std::vector<uint8_t> data;
             return ReadHostFile(p, 64u << 20, data, e);
         }},
        {"bytes", [](const std::string& p, std::string& e) {
             std::vector<uint8_t> data;
             return CByteReader::ReadFile(p, data, e);
         }},
    };
    const std::string dir = MakeTempDir("input_text");
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir + "/zero-link");
    WriteFile(dir + "/huge", "");
    std::filesystem::resize_file(dir + "/huge", CByteReader::kMaxFileSize + 1);  // sparse
    const std::pair<std::string, const char*> cases[] = {
        {dir + "/pipe", "not a regular file"},
        {dir + "/zero-link", "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {dir, "not a regular file"},
        {dir + "/huge", "files over"},
        {dir + "/missing", "No such file or directory"},
    };
    for (const auto& [name, read] : readers) {
        for (const auto& [path, expected] : cases) {
            std::string error;
            const auto start = std::chrono::steady_clock::now();
            EXPECT_FALSE(read(path, error)) << name << " " << path;
            EXPECT_NE(error.find(expected), std::string::npos) << name << " " << path << ": " << error;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << name << " " << path;
        }
    }
}

// Lines come out the same whatever the chunks they straddle, CR LF or LF, with or without a
// last line break.
TEST(InputCheck, TextLinesAcrossChunks) {
    const std::string dir = MakeTempDir("input_lines");
    const std::string longLine(200000, 'x');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\n", {"a", "b"}},
        {"\n\n", {"", ""}},
        {"a\r\n" + longLine + "\r\nc", {"a", longLine, "c"}},
        {longLine, {longLine}},
    };
    for (const auto& c : cases) {
        WriteFile(dir + "/t", c.text);
        CTextLineReader r;
        ASSERT_TRUE(r.Open(dir + "/t")) << r.Error();
        std::vector<std::string> lines;
        for (std::string line; r.ReadLine(line);) lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
        EXPECT_FALSE(r.HasError());
        EXPECT_EQ(r.Position(), static_cast<int64_t>(c.text.size()));
    }
}
