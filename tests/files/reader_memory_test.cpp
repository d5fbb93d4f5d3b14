#include "file_bytes.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

// 40 MB of BRT records without data once loaded as 5 million items in 1.9 GB. Loading it
// now takes a small multiple of the file: the command-line tool refuses it within 400 MB
// of address space.
TEST(ReaderMemory, EmptyBrtRecordsAreRefusedWithinALimitedAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit";
#endif
    const std::string cli = BinDir() + "/tessiva-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "tessiva-cli is not built";
    const std::string dir = MakeTempDir("memory");
    for (const char* name : {"NVItemsDefine.def", "NVTypes.typ"})
        std::filesystem::copy_file(SourceDir() + "/examples/" + name, dir + "/" + name);
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
