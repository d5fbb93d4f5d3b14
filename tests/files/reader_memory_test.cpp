#include "file_bytes.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {
// A folder holding the sample definitions, for the command-line tool's --dir.
std::string SampleDir(const std::string& tag) {
    const std::string dir = MakeTempDir(tag);
    for (const char* name : {"NVItemsDefine.def", "NVTypes.typ"})
        std::filesystem::copy_file(SourceDir() + "/examples/" + name, dir + "/" + name);
    return dir;
}
}  // namespace

// 40 MB of BRT records without data once loaded as 5 million items in 1.9 GB. Loading it
// now takes a small multiple of the file: the command-line tool refuses it within 400 MB
// of address space.
TEST(ReaderMemory, EmptyBrtRecordsAreRefusedWithinALimitedAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit";
#endif
    const std::string cli = BinDir() + "/tessiva-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "tessiva-cli is not built";
    const std::string dir = SampleDir("memory");
    constexpr uint32_t kRecords = 5'000'000;
    Bytes bytes;
    bytes.reserve(4 + 8 * size_t{kRecords});
    PutU32(bytes, kRecords);
    bytes.resize(4 + 8 * size_t{kRecords}, 0);  // ID 0, size 0, again and again
    WriteFile(dir + "/empty.brt", AsString(bytes));

    std::string out, err;
    const int status = RunCommand("ulimit -v 400000; '" + cli + "' --dir '" + dir + "' dump '" + dir + "/empty.brt'", &out, &err);
    EXPECT_EQ(status, 1) << err.substr(0, 400);
    EXPECT_THAT(err, ::testing::HasSubstr("Wrong data in BRT File."));
}

// An .xqcn whose name never ends (100 MB) once took 600 MB and echoed the name whole: it is
// refused within a limited address space, with a message of a line or two.
TEST(ReaderMemory, AnEndlessXqcnNameIsRefusedBriefly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit";
#endif
    const std::string cli = BinDir() + "/tessiva-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "tessiva-cli is not built";
    const std::string dir = SampleDir("memory_name");
    WriteFile(dir + "/long.xqcn", "<?xml version=\"1.0\"?>\r\n<Storage Name='f'><Storage Name='" +
                                      std::string(100u << 20, 'n') + "'/></Storage>");
    std::string out, err;
    const int status =
        RunCommand("ulimit -v 400000; '" + cli + "' --dir '" + dir + "' dump '" + dir + "/long.xqcn'", &out, &err);
    EXPECT_EQ(status, 1) << err.substr(0, 400);
    EXPECT_THAT(err, ::testing::HasSubstr("more than 64 KB"));
    EXPECT_LT(err.size(), 400u);
}
