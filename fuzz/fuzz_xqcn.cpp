// The XML form of a backup, read from memory; what reads must write and read back the same.
#include "fuzz_support.h"
#include "files/xqcn_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCompoundNode tree;
    std::string error;
    if (!CXqcnFile::ReadMemory(data, size, tree, error)) return 0;
    std::vector<uint8_t> bytes;
    FUZZ_CHECK(CXqcnFile::WriteMemory(tree, "fuzz", bytes, error));
    CCompoundNode again;
    FUZZ_CHECK(CXqcnFile::ReadMemory(bytes.data(), bytes.size(), again, error));
    FUZZ_CHECK(again.SameContent(tree));
    return 0;
}
