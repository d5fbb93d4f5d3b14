// CNV backups, read from memory; the records are read whatever the checksum says, so the
// fuzzer need not forge one to get past it.
#include "files/cnv_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCnvFile file;
    file.OpenMemory(data, size);
    file.ChecksumOk();
    uint16_t id = 0;
    std::vector<uint8_t> record;
    size_t total = 0, records = 0;
    while (file.ReadRecord(id, record)) {
        total += record.size() + 4;
        FUZZ_CHECK(++records <= CCnvFile::kMaxRecords);
    }
    FUZZ_CHECK(total <= size);
    return 0;
}
