// Backups of any kind, the end of a load, "Add NV Items from CNV File" and CSV item lists.
#include "backup_files.h"

#include "doc_files.h"
#include "file_chooser.h"
#include "item_list_file.h"
#include "item_merge.h"
#include "item_selection.h"
#include "job_control.h"
#include "nv_item_array.h"

CBackupFiles::CBackupFiles(CJobControl& jobs, CNVItemArray& items, const CNVItemArray& defs,
                           CItemSelection& selection)
    : m_jobs(jobs), m_items(items), m_itemDefs(defs), m_selection(selection), m_completion(jobs, defs) {}

IMessageSink& CBackupFiles::Messages() { return m_jobs.Messages(); }

SOutcome CBackupFiles::LoadBackup(const std::string& path) {
    switch (DetectBackupKind(path)) {
    case EBackupKind::Brt: return LoadBrtFile(path);
    case EBackupKind::Cnv: return LoadCnvFile(path);
    case EBackupKind::Qcn: return LoadQcnFile(path);
    case EBackupKind::Unknown: break;
    }
    const std::string reason = path + " is not a BRT, CNV or QCN backup.";
    Messages().ShowMessage(CantOpenMessage(path, "not a BRT, CNV or QCN backup"), EMessageIcon::Error);
    return SOutcome::Fail(reason);
}

SOutcome CBackupFiles::SaveBackup(const std::string& path, const CNVItemArray& list) {
    switch (BackupKindOfName(path)) {
    case EBackupKind::Brt: return StoreBrtFile(path, list);
    case EBackupKind::Cnv: return StoreCnvFile(path, list);
    case EBackupKind::Qcn: return SaveQcn(path, list);
    case EBackupKind::Unknown: break;
    }
    const std::string reason = "Can't tell the kind of " + path + " from its name: it should end in .brt, .cnv or .qcn.";
    Messages().ShowMessage(reason, EMessageIcon::Error);
    return SOutcome::Fail(reason);
}

bool CBackupFiles::HasSomethingToSave(const CNVItemArray& list) {
    for (const CNVItem& r : list)
        if (r.Active() == CNVItem::kActive) return true;
    Messages().ShowMessage(kNothingToSave, EMessageIcon::Error);
    return false;
}

SOutcome CBackupFiles::FinishLoad(CNVItemArray&& loaded) {
    loaded.SortById();
    m_items = std::move(loaded);
    m_selection.ListAllItems();
    return SOutcome::Done();
}

SOutcome CBackupFiles::AddCnvFile(const std::string& path, IOverwritePrompt* prompt) {
    CNVItemArray loaded;
    SOutcome outcome = m_jobs.Run("Loading NV Items from CNV file", [&] { return LoadCnv(path, loaded); });
    if (!outcome.IsCompleted()) return outcome;
    // Only the records the file holds take part: elements it lacks are not invented here,
    // where they would overwrite the document's own.
    m_completion.CompleteArrayElements(loaded, false);
    outcome = m_completion.StartFillUp(loaded, 0);
    if (!outcome.IsCompleted()) return outcome;
    CNVItemArray chosen;
    m_selection.CollectSelectedItems(chosen);
    CNVItemArray merged = MergeItemArrays(std::move(loaded), m_items, prompt);
    // Elements of items new to the document are completed as after a load.
    m_completion.AddMissingElements(merged);
    merged.SortById();
    m_items = std::move(merged);
    m_selection.Reselect(chosen);
    return outcome;
}

bool CBackupFiles::WriteItemList(const CNVItemArray& list, IFileChooser* chooser) {
    SFileDialogRequest request;
    request.filterLabel = "BRT list files (*.csv)";
    request.filterPattern = "*.csv";
    request.defaultExtension = "csv";
    request.initialName = "*.csv";
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    std::string path;
    if (!chooser || !chooser->ChooseSaveFile(request, path)) return false;
    std::string error;
    if (CItemListFile::Write(path, list, error)) return true;
    Messages().ShowMessage(CantWriteMessage(path, error), EMessageIcon::Error);
    return false;
}
