// Numbered-items backups: a compound file read from memory, its layout told, its records and
// item files decoded, and the tree written back, as a load and a save do.
#include "files/backup_tree.h"
#include "fuzz_support.h"
#include "files/numbered_backup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCompoundNode tree;
    EBackupForm form = EBackupForm::Compound;
    std::string error, found;
    if (!ReadBackupTree(data, size, tree, form, error)) return 0;
    if (DetectQcnLayout(tree, found) != EQcnLayout::Numbered) return 0;
    SNumberedBackup backup;
    if (!DecodeNumbered(tree, backup, error)) return 0;
    for (const auto& record : backup.records) FUZZ_CHECK(record.subscription >= 0 && record.subscription <= 2);
    CCompoundNode again;
    FUZZ_CHECK(EncodeNumbered(backup, again, error));
    return 0;
}
