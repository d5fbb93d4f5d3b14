// NVTypes.typ: every type selected and given the input's bytes as a value.
#include "fuzz_support.h"
#include "model/nv_type_catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SSilentJobs silent;
    CNVTypeCatalog catalog(silent.jobs);
    catalog.LoadTypeText(AsText(data, size));
    for (const auto& name : catalog.TypeNames()) {
        if (!catalog.SelectType(name)) continue;
        FUZZ_CHECK(catalog.RecordSize() <= CNVTypeCatalog::kMaxRecordSize);
        catalog.SetRecordBytes(data, size);
        const std::vector<uint8_t>& bytes = catalog.GetRecordBytes();
        FUZZ_CHECK(static_cast<int>(bytes.size()) == catalog.RecordSize());
        for (int i = 0; i < catalog.FieldCount(); ++i) catalog.FieldDisplayName(i);
    }
    return 0;
}
