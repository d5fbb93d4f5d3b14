#pragma once
#include "backup_kind.h"
#include "item_completion.h"
#include "job_outcome.h"

#include <string>

class CItemSelection;
class CJobControl;
class CNVItemArray;
class IFileChooser;
class IMessageSink;
class IOverwritePrompt;

// Backup files of every kind: loading them into the document's records, saving records to
// them, the CSV item lists and "Add NV Items from CNV File". Every load ends in FinishLoad,
// which takes the loaded records only when the whole load completed.
class CBackupFiles {
public:
    CBackupFiles(CJobControl& jobs, CNVItemArray& items, const CNVItemArray& defs, CItemSelection& selection);

    // Any kind, chosen by the file's content first and its extension second.
    SOutcome LoadBackup(const std::string& path);
    // Saves the active records of list as the kind the path's extension names.
    SOutcome SaveBackup(const std::string& path, const CNVItemArray& list);

    SOutcome LoadBrtFile(const std::string& path);
    SOutcome LoadCnvFile(const std::string& path);
    SOutcome LoadQcnFile(const std::string& path);
    SOutcome StoreBrtFile(const std::string& path, const CNVItemArray& list);
    SOutcome StoreCnvFile(const std::string& path, const CNVItemArray& list);
    SOutcome SaveQcn(const std::string& path, const CNVItemArray& list);

    // The job bodies. Loads fill `loaded` and leave the document alone.
    SOutcome StoreBrt(const std::string& path, const CNVItemArray& list);
    SOutcome LoadBrt(const std::string& path, CNVItemArray& loaded);
    SOutcome StoreCnv(const std::string& path, const CNVItemArray& list);
    SOutcome LoadCnv(const std::string& path, CNVItemArray& loaded);

    // Adds the records of a CNV file to the document's, asking prompt about each record whose
    // item is already there; the selection stays as it was.
    SOutcome AddCnvFile(const std::string& path, IOverwritePrompt* prompt);

    // The CSV item list of list, written where the chooser says.
    bool WriteItemList(const CNVItemArray& list, IFileChooser* chooser);

    // The end of every successful load: the records sorted by ID, all listed in "NV Items".
    SOutcome FinishLoad(CNVItemArray&& loaded);

    CItemCompletion& Completion() { return m_completion; }

    static constexpr const char* kNothingToSave = "There are no items to save.";

private:
    IMessageSink& Messages();
    // A save without a single active record writes nothing: it would leave an empty file
    // where the user expects a backup. Shows the refusal; true when there is something to save.
    bool HasSomethingToSave(const CNVItemArray& list);

    CJobControl& m_jobs;
    CNVItemArray& m_items;
    const CNVItemArray& m_itemDefs;
    CItemSelection& m_selection;
    CItemCompletion m_completion;
};
