// Backups of any kind, the end of a load, "Add NV Items from CNV File" and CSV item lists.
#include "doc/backup_files.h"

#include "doc/doc_files.h"
#include "doc/doc_records.h"
#include "doc/file_chooser.h"
#include "files/item_list_file.h"
#include "doc/item_merge.h"
#include "doc/item_selection.h"
#include "jobs/job_control.h"
#include "model/nv_item_array.h"
#include "jobs/text_translation.h"

CBackupFiles::CBackupFiles(CJobControl& jobs, SDocRecords& records, const CNVItemArray& defs,
                           CItemSelection& selection)
    : m_jobs(jobs), m_items(records.items), m_itemDefs(defs), m_selection(selection), m_completion(jobs, defs) {}

namespace {
// The active records of list; without subscriptions, those of the default subscription only.
int ActiveRecords(const CNVItemArray& list, bool subscriptions) {
    int active = 0;
    for (const CNVItem& r : list) active += r.Active() == CNVItem::kActive && (subscriptions || r.Subscription() == 0);
    return active;
}

SOutcome Counted(SOutcome outcome, const CNVItemArray& list, bool subscriptions) {
    if (outcome.IsCompleted()) outcome.records = ActiveRecords(list, subscriptions);
    return outcome;
}
}  // namespace

SOutcome CBackupFiles::LoadBackup(const std::string& path) {
    switch (DetectBackupKind(path)) {
    case EBackupKind::Brt: return Counted(LoadBrtFile(path), m_items, true);
    case EBackupKind::Cnv: return Counted(LoadCnvFile(path), m_items, true);
    case EBackupKind::Qcn:
    case EBackupKind::Xqcn: return Counted(LoadQcnFile(path), m_items, true);
    case EBackupKind::Unknown: break;
    }
    return SOutcome::Fail(CantOpenMessage(path, TrText("CBackupFiles", "not a BRT, CNV, QCN or XQCN backup")));
}

bool CBackupFiles::SavesNumbered(ESaveLayout layout) const {
    return layout == ESaveLayout::Numbered || (layout == ESaveLayout::AsLoaded && m_numbered.IsNumbered());
}

SOutcome CBackupFiles::SaveBackup(const std::string& path, const CNVItemArray& list, ESaveLayout layout,
                                  EBackupKind kind) {
    // Only the numbered-items layout holds the records of other subscriptions.
    switch (kind != EBackupKind::Unknown ? kind : BackupKindOfName(path)) {
    case EBackupKind::Brt: return Counted(StoreBrtFile(path, list), list, false);
    case EBackupKind::Cnv: return Counted(StoreCnvFile(path, list), list, false);
    case EBackupKind::Qcn: {
        return Counted(SaveQcn(path, list, layout), list, SavesNumbered(layout));
    }
    case EBackupKind::Xqcn: return Counted(SaveNumbered(path, list, EBackupForm::Xml), list, true);
    case EBackupKind::Unknown: break;
    }
    const std::string reason = FillText(
        TrText("CBackupFiles", "Can't tell the kind of %1 from its name: it should end in .brt, .cnv, .qcn or .xqcn."),
        {path});
    return SOutcome::Fail(reason);
}

std::string CBackupFiles::LoadCnvCaption() { return TrText("CBackupFiles", "Loading NV Items from CNV file"); }

std::string CBackupFiles::SavingCaption(const char* kind) {
    return FillText(TrText("CBackupFiles", "Saving NV Items to %1 file.\nPlease wait."), {kind});
}

std::string CBackupFiles::NothingToSave() { return TrText("CBackupFiles", "There are no items to save."); }

bool CBackupFiles::HasSomethingToSave(const CNVItemArray& list) {
    for (const CNVItem& r : list)
        if (r.Active() == CNVItem::kActive) return true;
    return false;
}

std::string CBackupFiles::TooManyRecords(const char* kind, int loaded) const {
    if (loaded <= m_itemDefs.GetSize()) return {};
    return WrongDataMessage(
        kind, FillText(TrText("CBackupFiles",
                              "The file holds more records of defined items (%1) than NVItemsDefine.def defines."),
                       {std::to_string(loaded)}));
}

SOutcome CBackupFiles::FinishLoad(CNVItemArray&& loaded, CNumberedState&& state) {
    loaded.SortById();
    m_items = std::move(loaded);
    m_numbered = std::move(state);
    m_selection.ListAllItems();
    return SOutcome::Done();
}

SOutcome CBackupFiles::FinishLoad(CNVItemArray&& loaded, EBackupOrigin origin) {
    CNumberedState state;
    state.Reset(origin);
    return FinishLoad(std::move(loaded), std::move(state));
}

// Undefined records are kept, listed and editable: their note informs, it warns of no loss.
SOutcome CBackupFiles::FinishLoadWithUndefined(CNVItemArray&& loaded, EBackupOrigin origin) {
    const std::string told = m_undefined.Message();
    m_undefined.MoveInto(loaded);
    SOutcome outcome = FinishLoad(std::move(loaded), origin);
    if (!told.empty()) outcome.Note(told, SNote::EKind::Information);
    return outcome;
}

SOutcome CBackupFiles::FinishUpload(CNVItemArray&& read) {
    int kept = 0;
    for (const CNVItem& r : m_items)
        if (IsUndefined(r) && r.Subscription() == 0) {
            read.Add(r);
        } else if (r.Subscription() != 0) {
            read.Add(r);
            ++kept;
        }
    read.SortById();
    m_items = std::move(read);
    m_selection.ListAllItems();
    SOutcome outcome = SOutcome::Done();
    if (kept > 0)
        outcome.Note(FillText(TrText("CBackupFiles",
                                     "%1 records of subscriptions 1 and 2 were left as they "
                                     "were: the phone link can't address a subscription."),
                              {std::to_string(kept)}));
    return outcome;
}

SOutcome CBackupFiles::StoreHoldable(const CNVItemArray& all, const char* kind, const std::string& caption,
                                    const std::function<SOutcome(const CNVItemArray&)>& store) {
    CNVItemArray fitting;
    int leftOut = 0;
    const CNVItemArray& list = Holdable(all, fitting, leftOut);
    if (!HasSomethingToSave(list)) return SOutcome::Fail(NothingToSave());
    SOutcome outcome = m_jobs.Run(caption, [&] { return store(list); });
    if (outcome.IsCompleted()) NoteLeftOut(outcome, kind, leftOut);
    return outcome;
}

const CNVItemArray& CBackupFiles::Holdable(const CNVItemArray& list, CNVItemArray& fitting, int& leftOut) const {
    leftOut = static_cast<int>(m_numbered.KeptAside().size());
    int subscribed = 0;
    for (const CNVItem& r : list) subscribed += r.Subscription() != 0 && r.Active() == CNVItem::kActive;
    leftOut += subscribed;
    if (subscribed == 0) return list;
    fitting.Reserve(list.GetSize());
    for (const CNVItem& r : list)
        if (r.Subscription() == 0) fitting.Add(r);
    return fitting;
}

void CBackupFiles::NoteLeftOut(SOutcome& outcome, const char* kind, int records) const {
    const size_t files = m_numbered.ItemFiles().size();
    if (records == 0 && files == 0) return;
    outcome.Note(
        FillText(
            TrText("CBackupFiles",
                   "%1 records and %2 item files were left out: a %3 file can't hold subscriptions, records kept "
                   "aside or item files.\nSave in the numbered-items layout (QCN or XQCN) to keep them."),
            {std::to_string(records), std::to_string(files), kind}),
        SNote::EKind::Warning);
}

SOutcome CBackupFiles::AddCnvFile(const std::string& path, IOverwritePrompt* prompt) {
    CNVItemArray loaded;
    SOutcome outcome = m_jobs.Run(LoadCnvCaption(), [&] { return LoadCnv(path, loaded); });
    if (!outcome.IsCompleted()) return outcome;
    // Only the records the file holds take part: elements it lacks are not invented here,
    // where they would overwrite the document's own.
    m_completion.CompleteArrayElements(loaded, false);
    outcome = m_completion.StartFillUp(loaded, 0);
    if (!outcome.IsCompleted()) return outcome;
    if (const std::string told = m_undefined.Message(); !told.empty()) outcome.Note(told, SNote::EKind::Information);
    m_undefined.MoveInto(loaded);
    CNVItemArray chosen;
    m_selection.CollectSelectedItems(chosen);
    std::optional<CNVItemArray> merged = MergeItemArrays(std::move(loaded), m_items, prompt);
    if (!merged) return SOutcome::Stop(TrText("CBackupFiles", "The merge was cancelled; nothing was changed."));
    // Elements of items new to the document are completed as after a load.
    m_completion.AddMissingElements(*merged);
    merged->SortById();
    m_items = std::move(*merged);
    m_selection.Reselect(chosen);
    return outcome;
}

SOutcome CBackupFiles::WriteItemList(const CNVItemArray& list, IFileChooser* chooser) {
    SFileDialogRequest request;
    request.title = TrText("CBackupFiles", "Create CSV File");
    request.filterLabel = TrText("CBackupFiles", "BRT list files (*.csv)");
    request.filterPattern = "*.csv";
    request.defaultExtension = "csv";
    request.initialName = "*.csv";
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    std::string path;
    if (!chooser || !chooser->ChooseSaveFile(request, path)) return SOutcome::Stop();
    std::string error;
    if (CItemListFile::Write(path, list, error)) return SOutcome::Done();
    return SOutcome::Fail(CantWriteMessage(path, error));
}
