// BRT backups, read from memory through the same checks as a file.
#include "files/brt_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CBrtFile file;
    file.OpenMemory(data, size);
    uint32_t n = 0;
    if (!file.ReadCount(n)) return 0;
    FUZZ_CHECK(n <= CBrtFile::kMaxRecords && n * CBrtFile::kMinRecordSize <= size);
    uint32_t id = 0;
    std::vector<uint8_t> record;
    size_t total = 0;
    for (uint32_t k = 0; k < n && file.ReadRecord(id, record); ++k) {
        FUZZ_CHECK(!record.empty() && record.size() % CBrtFile::kSlotSize == 0);
        total += record.size();
    }
    FUZZ_CHECK(total <= size);  // what is read is never more than the input
    return 0;
}
