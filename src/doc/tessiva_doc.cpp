#include "doc/tessiva_doc.h"

#include "doc/backup_reader.h"
#include "doc/item_comparison.h"
#include "doc/item_file_defs_file.h"
#include "doc/phone_image.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"

#include <algorithm>

CTessivaDoc::CTessivaDoc(CJobControl& jobs)
    : m_jobs(jobs),
      m_typeCatalog(jobs),
      m_defReader(jobs),
      m_selection(m_records),
      m_files(jobs, m_records, m_itemDefs, m_selection),
      m_session(jobs, m_itemDefs, m_itemFileDefs, m_defReader) {
    m_typeCatalog.SetTypeFileStore(m_typeFile);
}

CTessivaDoc::~CTessivaDoc() = default;

SOutcome CTessivaDoc::Keep(SOutcome outcome) {
    // The notes of every step of the operation, in the order they were made.
    m_lastOutcome = m_jobs.Finish(std::move(outcome));
    return m_lastOutcome;
}

SOutcome CTessivaDoc::KeepInStep(SOutcome outcome, const std::string& path, bool replaced) {
    if (outcome.IsCompleted()) {
        m_modified = false;
        m_documentPath = path;
        // The steps were of records that are gone; after a save, undo or redo leads away
        // from the file.
        if (replaced) m_history.Clear();
        else m_history.MarkOthersModified();
    }
    return Keep(std::move(outcome));
}

void CTessivaDoc::Record(std::string name, CEditHistory::EPart part, SDocRecords&& before, int index) {
    CEditHistory::SStep step;
    step.name = std::move(name);
    step.part = part;
    step.index = index;
    step.other = std::move(before);
    step.otherModified = m_modified;
    m_history.Push(std::move(step));
    m_modified = true;
}

CNVItemArray CTessivaDoc::SelectedItems() const {
    CNVItemArray list;
    m_selection.CollectSelectedItems(list);
    return list;
}

// ---- description files ----

void CTessivaDoc::SetDirectory(const std::string& dir) {
    m_dir = dir.empty() ? "." : dir;
    m_typeCatalog.SetDirectory(m_dir);
}

std::string CTessivaDoc::DefinitionsPath() const { return m_dir + "/NVItemsDefine.def"; }

SOutcome CTessivaDoc::LoadDefinitions() {
    CNVItemArray defs;
    SOutcome read = m_defReader.StartReadDefinitions(DefinitionsPath(), defs);
    if (read.IsCompleted()) SetDefinitions(defs);
    if (read.IsCompleted()) LoadItemFileDefs(m_dir + "/NVItemFiles.def", m_itemFileDefs, read.notes);
    return Keep(std::move(read));
}

void CTessivaDoc::SetDefinitions(const CNVItemArray& defs) {
    m_itemDefs.Copy(defs);
    m_itemDefs.SortById();
}

SOutcome CTessivaDoc::LoadTypes() { return Keep(m_typeCatalog.LoadTypeFile()); }

SOutcome CTessivaDoc::ImportTypes(const std::string& path, CNVTypeCatalog::ImportConfirmation confirm) {
    m_typeCatalog.SetImportConfirmation(std::move(confirm));
    const bool imported = m_typeCatalog.ImportDefinitionFile(path);
    m_typeCatalog.SetImportConfirmation(nullptr);
    if (imported) return Keep(m_typeCatalog.LastImport());
    // What the import left behind is not trusted: the types of NVTypes.typ again.
    (void)m_typeCatalog.LoadTypeFile();
    SOutcome outcome = m_typeCatalog.LastImport();
    if (outcome.IsCompleted()) outcome = SOutcome::Fail();
    return Keep(std::move(outcome));
}

// ---- backups ----

SOutcome CTessivaDoc::LoadBackup(const std::string& path) {
    SOutcome outcome = m_files.LoadBackup(path);
    if (outcome.IsCompleted()) m_fileLayout = ESaveLayout::AsLoaded;
    return KeepInStep(std::move(outcome), path, true);
}

SOutcome CTessivaDoc::SaveBackup(const std::string& path, EScope scope, ESaveLayout layout, EBackupKind kind) {
    if (layout == ESaveLayout::AsLoaded) layout = m_fileLayout;
    if (scope == EScope::SelectedActive)
        return Keep(m_files.SaveBackup(path, m_selection.ItemsForSave(), layout, kind));
    SOutcome outcome = m_files.SaveBackup(path, m_records.items, layout, kind);
    // The next Save keeps the QCN layout the file now has.
    if (outcome.IsCompleted() && (kind != EBackupKind::Unknown ? kind : BackupKindOfName(path)) == EBackupKind::Qcn)
        m_fileLayout = m_files.SavesNumbered(layout) ? ESaveLayout::Numbered : ESaveLayout::Tessiva;
    return KeepInStep(std::move(outcome), path, false);
}

SOutcome CTessivaDoc::Merge(const std::string& path) {
    SDocRecords before = m_records;
    SOutcome outcome = m_files.AddCnvFile(path, m_overwritePrompt);
    if (outcome.IsCompleted())
        Record(TrText("CTessivaDoc", "Add NV Items from CNV File"), CEditHistory::EPart::Records, std::move(before));
    return Keep(std::move(outcome));
}

SOutcome CTessivaDoc::SetRecords(CNVItemArray records) {
    m_history.Clear();
    m_fileLayout = ESaveLayout::AsLoaded;
    m_documentPath.clear();
    m_modified = false;
    return Keep(m_files.FinishLoad(std::move(records), EBackupOrigin::None));
}

SOutcome CTessivaDoc::WriteItemList(const CNVItemArray& list) { return Keep(m_files.WriteItemList(list, m_fileChooser)); }

// ---- edits ----

SOutcome CTessivaDoc::SetValue(int itemIndex, const std::vector<uint8_t>& bytes) {
    if (itemIndex < 0 || itemIndex >= m_records.items.GetSize())
        return Keep(SOutcome::Fail(TrText("CTessivaDoc", "There is no such record.")));
    SDocRecords before;
    before.items.Add(m_records.items[itemIndex]);
    PutValue(itemIndex, bytes);
    Record(TrText("CTessivaDoc", "Value Edit"), CEditHistory::EPart::Value, std::move(before), itemIndex);
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::SetValues(const std::vector<std::pair<int, std::vector<uint8_t>>>& values) {
    if (values.size() == 1) return SetValue(values[0].first, values[0].second);
    for (const auto& [itemIndex, bytes] : values)
        if (itemIndex < 0 || itemIndex >= m_records.items.GetSize())
            return Keep(SOutcome::Fail(TrText("CTessivaDoc", "There is no such record.")));
    SDocRecords before = m_records;
    for (const auto& [itemIndex, bytes] : values) PutValue(itemIndex, bytes);
    Record(TrText("CTessivaDoc", "Value Edit"), CEditHistory::EPart::Records, std::move(before));
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::SetItemFile(size_t file, std::vector<uint8_t> data) {
    if (file >= m_files.Numbered().ItemFiles().size())
        return Keep(SOutcome::Fail(TrText("CTessivaDoc", "There is no such item file.")));
    m_files.Numbered().SetItemFileData(file, std::move(data));
    m_modified = true;
    return Keep(SOutcome::Done());
}

bool CTessivaDoc::ItemFileRecord(size_t file, CNVItem& record) const {
    const std::vector<SItemFile>& files = m_files.Numbered().ItemFiles();
    if (file >= files.size()) return false;
    const SItemFileDef* def = FindItemFileDef(m_itemFileDefs, files[file].path);
    if (!def) return false;
    record = ::ItemFileRecord(*def, files[file].data, ItemFileSubscription(files[file].path));
    return true;
}

std::vector<uint8_t> CTessivaDoc::EditableValue(int itemIndex) const {
    const CNVItem& item = m_records.items[itemIndex];
    std::vector<uint8_t> value = item.Value();
    if (item.Size() < 1) {
        const int def = m_itemDefs.FindById(item.Id());
        value.assign(def >= 0 && m_itemDefs[def].Size() > 0 ? static_cast<size_t>(m_itemDefs[def].Size()) : 0, 0);
    }
    return value;
}

void CTessivaDoc::PutValue(int itemIndex, const std::vector<uint8_t>& bytes) {
    CNVItem& item = m_records.items[itemIndex];
    // The record keeps its size; bytes past the end of the rebuilt value stay as they were.
    std::vector<uint8_t> value = EditableValue(itemIndex);
    if (value.empty()) value.resize(bytes.size(), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), value.size()), value.begin());
    item.SetValue(value);
    item.SetActive(CNVItem::kActive);
}

SOutcome CTessivaDoc::MoveEntries(ETree from, const std::string& group, const std::vector<std::string>& names) {
    CTreeEntryList& source = from == ETree::Items ? m_records.all : m_records.selected;
    CTreeEntryList& target = from == ETree::Items ? m_records.selected : m_records.all;
    SDocRecords before;
    before.all = m_records.all;
    before.selected = m_records.selected;
    if (names.empty()) {
        target.AddGroupEntriesFrom(source, group);
        source.RemoveGroupEntries(group);
    } else {
        for (const std::string& name : names) {
            // Back in "NV Items" a record takes its place again; the selection keeps the order it was made in.
            if (&target == &m_records.all)
                target.InsertEntryInOrder(name, group, source.FindItemIndexByName(name));
            else
                target.AddEntry(name, group, source.FindItemIndexByName(name));
            source.RemoveEntryByName(name);
        }
    }
    Record(TrText("CTessivaDoc", "Move"), CEditHistory::EPart::Entries, std::move(before));
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::Sort(ESortColumn column) {
    using SortFn = void (CNVItemArray::*)();
    static const SortFn sorts[] = {&CNVItemArray::SortByName,     &CNVItemArray::SortById,    &CNVItemArray::SortByActive,
                                   &CNVItemArray::SortByFileName, &CNVItemArray::SortByGroup, &CNVItemArray::SortBySize,
                                   &CNVItemArray::SortByType};
    const auto n = static_cast<size_t>(column);
    if (n >= std::size(sorts)) return Keep(SOutcome::Fail());
    CNVItemArray selected = SelectedItems();
    SDocRecords before = m_records;
    (m_records.items.*sorts[n])();
    (selected.*sorts[n])();
    m_selection.RelistByName(selected);
    // The order of the records is no change of their values.
    const bool modified = m_modified;
    Record(TrText("CTessivaDoc", "Sort"), CEditHistory::EPart::Records, std::move(before));
    m_modified = modified;
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::CopyFrom(const std::vector<const CNVItem*>& records) {
    if (records.empty()) return Keep(SOutcome::Done());
    const CNVItemArray selected = SelectedItems();
    SDocRecords before = m_records;
    m_records.items = CopyRecordsInto(m_records.items, records);
    m_selection.Reselect(selected);
    Record(TrText("CTessivaDoc", "Copy from Backup"), CEditHistory::EPart::Records, std::move(before));
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::Undo() {
    if (m_history.Undo(m_records, m_modified) == -2) return Keep(SOutcome::Fail());
    return Keep(SOutcome::Done());
}

SOutcome CTessivaDoc::Redo() {
    if (m_history.Redo(m_records, m_modified) == -2) return Keep(SOutcome::Fail());
    return Keep(SOutcome::Done());
}

// ---- phone ----

SOutcome CTessivaDoc::Upload(const std::string& listPath) {
    m_partialUpload.RemoveAll();
    CNVItemArray read;
    SOutcome outcome = m_session.Upload(listPath, read);
    if (outcome.IsCompleted()) {
        SOutcome taken = TakePhoneRecords(std::move(read));
        outcome.TakeNotes(taken);
    } else if (!outcome.IsStopped()) {
        m_partialUpload = std::move(read);
    }
    return Keep(std::move(outcome));
}

SOutcome CTessivaDoc::TakePartialUpload() {
    if (!HasPartialUpload()) return Keep(SOutcome::Fail());
    CNVItemArray read = std::move(m_partialUpload);
    m_partialUpload.RemoveAll();
    return TakePhoneRecords(std::move(read));
}

SOutcome CTessivaDoc::TakePhoneRecords(CNVItemArray&& read) {
    SOutcome outcome = m_files.FinishUpload(std::move(read));
    m_history.Clear();
    m_modified = true;  // what the phone holds is in no file yet
    m_documentPath.clear();
    return Keep(std::move(outcome));
}

SPhoneOutcome CTessivaDoc::Download(EScope scope) {
    SPhoneOutcome outcome = scope == EScope::AllActive ? m_session.Download(m_records.items, &m_files.Numbered())
                                                       : m_session.Download(SelectedItems());
    SOutcome& told = outcome;
    told = Keep(told);
    return outcome;
}
