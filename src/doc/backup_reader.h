#pragma once
#include "doc/item_completion.h"
#include "doc/numbered_state.h"
#include "doc/undefined_records.h"
#include "files/backup_kind.h"
#include "files/backup_tree.h"
#include "jobs/job_outcome.h"
#include "model/nv_item_array.h"

#include <cstdint>
#include <string>
#include <vector>

class CBackupInput;
class CJobControl;

// What a backup holds, as a load gives it.
struct SBackupContent {
    // By the file's first bytes, then its name; set also when the file could not be read.
    EBackupKind kind = EBackupKind::Unknown;
    // The records by ID: array elements completed and filled up from the definitions, those
    // of items the definitions do not name beside them.
    CNVItemArray records;
    // Where they came from; of a numbered-items backup also its kept-aside records, item files
    // and the place of each record.
    CNumberedState numbered;
    // Every record of a numbered-items backup as read, in the file's order: what a restore
    // writes byte for byte.
    std::vector<SNumberedRecord> asRead;

    // A numbered-items backup as the file held it: the records as read (taken from asRead),
    // the item files and the other streams.
    SNumberedBackup TakeNumbered();
};

// Reads the backup at path against the definitions defs, in the jobs a load shows (progress,
// Stop). The file is opened once and its kind told from the bytes read ahead. Completed with
// content filled and the notes of the load; otherwise content holds its kind alone.
SOutcome ReadBackup(CJobControl& jobs, const std::string& path, const CNVItemArray& defs, SBackupContent& content);

// The reading of backups of every kind, ReadBackup's worker; and the CNV reading of
// "Add NV Items from CNV File".
class CBackupReader {
public:
    CBackupReader(CJobControl& jobs, const CNVItemArray& defs);

    SOutcome Read(const std::string& path, SBackupContent& content);
    // The records of a CNV file to add to others: the elements it holds (none invented),
    // filled up, those of undefined items kept and told.
    SOutcome ReadCnvToAdd(const std::string& path, CNVItemArray& records);

    // The caption of every job that loads a CNV file.
    static std::string LoadCnvCaption();

private:
    // The job bodies, which fill loaded.
    SOutcome ReadBrt(CBackupInput& input, const std::string& path, CNVItemArray& loaded);
    SOutcome ReadCnv(CBackupInput& input, const std::string& path, CNVItemArray& loaded);
    // Either QCN layout, compound or XML, told apart by content; any other tree is refused.
    SOutcome ReadQcn(CBackupInput& input, const std::string& path, SBackupContent& content);
    SOutcome ReadTessivaQcn(const std::vector<uint8_t>& bytes, const std::string& path, SBackupContent& content);
    SOutcome ReadNumbered(CCompoundNode&& tree, EBackupForm form, SBackupContent& content);
    // The end of a BRT, CNV or Tessiva QCN read that completed: the undefined records beside
    // the others, told once.
    SOutcome Finish(SOutcome filled, CNVItemArray&& loaded, EBackupOrigin origin, SBackupContent& content);
    // More records of defined items than the definitions have can only be damage; refusing
    // them keeps a hostile file from taking memory without bound. Empty when the count is fine.
    std::string TooManyRecords(const char* kind, int loaded) const;

    CJobControl& m_jobs;
    const CNVItemArray& m_itemDefs;
    CItemCompletion m_completion;
    CUndefinedRecords m_undefined;  // of the read under way
};
