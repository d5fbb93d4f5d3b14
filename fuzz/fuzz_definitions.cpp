// NVItemsDefine.def, line by line as the definitions job reads it.
#include "fuzz_support.h"
#include "model/nv_define_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CNVItemArray defs;
    ForEachLine(AsText(data, size), [&](const std::string& line) {
        const int before = defs.GetSize();
        const int room = CNVDefineReader::kMaxRecords - before;
        if (!CNVDefineReader::ParseDefinitionLine(line, defs, room)) {
            FUZZ_CHECK(defs.GetSize() == before);  // a refused line adds nothing
            return;
        }
        const int added = defs.GetSize() - before;
        FUZZ_CHECK(added >= 1 && added <= CNVDefineReader::kMaxElements && added <= room);
        const CNVItem& item = defs[before];
        FUZZ_CHECK(item.Id() >= 0 && item.Id() < CNVItemArray::kMaxIds);
        FUZZ_CHECK(item.Size() >= 0 && item.Size() <= CNVDefineReader::kMaxElementSize);
        FUZZ_CHECK(item.Count() == (added > 1 ? added : item.Count()));
    });
    return 0;
}
