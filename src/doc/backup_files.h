#pragma once
#include "files/backup_kind.h"
#include "files/backup_tree.h"
#include "doc/item_completion.h"
#include "jobs/job_outcome.h"
#include "doc/numbered_state.h"
#include "doc/undefined_records.h"

#include <functional>
#include <string>

class CItemSelection;
struct SDocRecords;
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
    // The layout of a QCN save: the one the document came in (Tessiva's unless it came from
    // a numbered-items file), or the one the user chose.
    enum class ESaveLayout { AsLoaded, Tessiva, Numbered };

    CBackupFiles(CJobControl& jobs, SDocRecords& records, const CNVItemArray& defs, CItemSelection& selection);

    // Any kind, read once (ReadBackup) and taken only when the whole read completed.
    SOutcome LoadBackup(const std::string& path);
    // Saves the active records of list as kind, or the kind the path's extension names.
    SOutcome SaveBackup(const std::string& path, const CNVItemArray& list, ESaveLayout layout = ESaveLayout::AsLoaded,
                        EBackupKind kind = EBackupKind::Unknown);

    SOutcome StoreBrtFile(const std::string& path, const CNVItemArray& list);
    SOutcome StoreCnvFile(const std::string& path, const CNVItemArray& list);
    SOutcome SaveQcn(const std::string& path, const CNVItemArray& list, ESaveLayout layout = ESaveLayout::AsLoaded);
    // True when a .qcn save in layout writes the numbered-items layout.
    bool SavesNumbered(ESaveLayout layout) const;
    // The numbered-items layout, as a compound file or as XML.
    SOutcome SaveNumbered(const std::string& path, const CNVItemArray& list, EBackupForm form);

    // The job bodies.
    SOutcome StoreBrt(const std::string& path, const CNVItemArray& list);
    SOutcome StoreCnv(const std::string& path, const CNVItemArray& list);

    // Adds the records of a CNV file to the document's, asking prompt about each record whose
    // item is already there; the selection stays as it was.
    SOutcome AddCnvFile(const std::string& path, IOverwritePrompt* prompt);

    // The CSV item list of list, written where the chooser says.
    SOutcome WriteItemList(const CNVItemArray& list, IFileChooser* chooser);

    // The end of every successful load: the records sorted by ID, all listed in "NV Items";
    // state replaces what the previous backup left beside the records.
    SOutcome FinishLoad(CNVItemArray&& loaded, CNumberedState&& state);
    SOutcome FinishLoad(CNVItemArray&& loaded, EBackupOrigin origin);
    // The end of an upload: the phone's records, and the subscription records, undefined and
    // kept-aside records and item files of the document as they were (the phone's list has none).
    SOutcome FinishUpload(CNVItemArray&& read);

    const CNumberedState& Numbered() const { return m_numbered; }
    CNumberedState& Numbered() { return m_numbered; }
    // True for a record of an item the definitions do not name.
    bool IsUndefined(const CNVItem& record) const { return CUndefinedRecords::IsUndefined(record, m_itemDefs); }

    // The refusal of a save without a single active record.
    static std::string NothingToSave();

private:
    // What a BRT, CNV or Tessiva QCN file can hold of list: without subscription records
    // (a copy in fitting when there are any). leftOut counts what stays out, the document's
    // kept-aside records and item files included.
    const CNVItemArray& Holdable(const CNVItemArray& list, CNVItemArray& fitting, int& leftOut) const;
    // A BRT or CNV save: what the kind can hold of all, stored by store as a job under caption.
    // A stopped store leaves the previous file: it is replaced only by a complete one.
    SOutcome StoreHoldable(const CNVItemArray& all, const char* kind, const std::string& caption,
                           const std::function<SOutcome(const CNVItemArray&)>& store);
    // One note after a save that left something out.
    void NoteLeftOut(SOutcome& outcome, const char* kind, int records) const;
    // A save without a single active record writes nothing: it would leave an empty file
    // where the user expects a backup. True when there is something to save.
    bool HasSomethingToSave(const CNVItemArray& list);
    // The caption of a save as a QCN or XQCN file, which can't be cancelled.
    static std::string SavingCaption(const char* kind);

    CJobControl& m_jobs;
    CNVItemArray& m_items;
    const CNVItemArray& m_itemDefs;
    CItemSelection& m_selection;
    CItemCompletion m_completion;
    CNumberedState m_numbered;
};
