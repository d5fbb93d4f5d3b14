#pragma once
#include "files/numbered_backup.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CNVItemArray;

// Where the document's records came from; it decides the layout of a QCN save.
enum class EBackupOrigin { None, Brt, Cnv, TessivaQcn, Numbered, Xqcn };

// "brt", "cnv", "tessiva", "numbered", "xqcn"; "" for None.
const char* BackupOriginName(EBackupOrigin origin);

// What a numbered-items backup holds beyond the document's records: the tree as read,
// the records no definition covers (kept aside, unchanged), the item files, and each loaded
// record's place and full 128 bytes, so a save puts edited records back where they were.
// Every other load resets it.
class CNumberedState {
public:
    EBackupOrigin Origin() const { return m_origin; }
    bool IsNumbered() const { return m_origin == EBackupOrigin::Numbered || m_origin == EBackupOrigin::Xqcn; }
    // Forgets everything; the document now comes from origin.
    void Reset(EBackupOrigin origin);
    // After a numbered load (and the Remember calls): backup (its records are dropped) and
    // the records no item of the document stands for.
    void Take(EBackupOrigin origin, SNumberedBackup&& backup, std::vector<SNumberedRecord>&& keptAside);
    // A record that became the document's item of that element index (-1: a plain item).
    void Remember(const SNumberedRecord& record, int index);

    const std::vector<SNumberedRecord>& KeptAside() const { return m_keptAside; }
    const std::vector<SItemFile>& ItemFiles() const { return m_backup.itemFiles; }
    // The content of item file file; its place and Dir bytes stay.
    void SetItemFileData(size_t file, std::vector<uint8_t> data) { m_backup.itemFiles.at(file).data = std::move(data); }

    // The backup to encode: the active records of list (their loaded place and bytes kept,
    // index byte and value written over them) and the kept-aside records.
    SNumberedBackup BackupFor(const CNVItemArray& list) const;

    // The key of a record: subscription, ID and element index (-1 for a plain item).
    static uint64_t Key(int subscription, uint32_t id, int index);

private:
    EBackupOrigin m_origin = EBackupOrigin::None;
    SNumberedBackup m_backup;  // records empty
    std::vector<SNumberedRecord> m_keptAside;
    std::unordered_map<uint64_t, SNumberedRecord> m_loaded;
};
