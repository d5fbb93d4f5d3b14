// QCN backups (compound files), read from memory the way the document walks them.
#include "fuzz_support.h"
#include "files/qcn_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CQcnFile file;
    if (!file.OpenMemory(data, size) || !file.OpenFirstLevels()) return 0;
    std::vector<std::string> storages, streams;
    if (!file.ListItemStorages(storages)) return 0;
    CQcnFile::SElement element;
    for (const auto& storage : storages) {
        if (!file.OpenItemStorage(storage) || !file.ListStreams(streams)) return 0;
        for (const auto& name : streams) {
            if (!file.ReadElement(name, element)) return 0;
            FUZZ_CHECK(element.block.size() == CQcnFile::kBlockSize);
        }
    }
    file.CommitAndClose();
    return 0;
}
