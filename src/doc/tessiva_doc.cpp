#include "doc/tessiva_doc.h"

#include "model/item_list_ops.h"
#include "doc/item_merge.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"

#include <algorithm>

CTessivaDoc::CTessivaDoc(CJobControl& jobs)
    : m_typeCatalog(jobs),
      m_defReader(jobs),
      m_jobs(jobs),
      m_selection(m_items, m_allEntries, m_selectedEntries),
      m_files(jobs, m_items, m_itemDefs, m_selection),
      m_session(jobs, {m_phone, m_comPort, m_portName, m_requestTimeoutMs}, m_items, m_itemDefs, m_defReader, m_files,
                m_selection) {
    m_typeCatalog.SetTypeFileStore(m_typeFile);
}

CTessivaDoc::~CTessivaDoc() {
    if (m_phone) Disconnect();
}

IMessageSink& CTessivaDoc::Messages() { return m_jobs.Messages(); }

int CTessivaDoc::Keep(SOutcome outcome) {
    m_lastOutcome = std::move(outcome);
    return m_lastOutcome.Result();
}

int CTessivaDoc::KeepInStep(SOutcome outcome, const std::string& path) {
    if (outcome.IsCompleted()) {
        m_modified = false;
        m_documentPath = path;
    }
    return Keep(std::move(outcome));
}

void CTessivaDoc::SetDirectory(const std::string& dir) {
    m_dir = dir.empty() ? "." : dir;
    m_typeCatalog.SetDirectory(m_dir);
}

std::string CTessivaDoc::DefinitionsPath() const { return m_dir + "/NVItemsDefine.def"; }

bool CTessivaDoc::LoadDefinitions() {
    CNVItemArray defs;
    if (!m_defReader.StartReadDefinitions(DefinitionsPath(), defs)) return false;
    defs.SortById();
    m_itemDefs = std::move(defs);
    return true;
}

bool CTessivaDoc::LoadDescriptionFiles() { return LoadDefinitions() && m_typeCatalog.LoadTypeFile(); }

// ---- list operations ----

int CTessivaDoc::RemoveInactive(CNVItemArray& list) { return ::RemoveInactive(list); }

void CTessivaDoc::SortByNameKeepWholeArrays(CNVItemArray& list) { ::SortByNameKeepWholeArrays(list); }

void CTessivaDoc::CollectAllItems(CNVItemArray& list) const { list.Copy(m_items); }

void CTessivaDoc::ReplaceItems(const CNVItemArray& list) {
    if (&list != &m_items) m_items.Copy(list);
    m_items.SortById();
}

void CTessivaDoc::CollectSelectedItems(CNVItemArray& list) const { m_selection.CollectSelectedItems(list); }

// ---- backups ----

SOutcome CTessivaDoc::LoadBackup(const std::string& path) {
    KeepInStep(m_files.LoadBackup(path), path);
    return m_lastOutcome;
}

SOutcome CTessivaDoc::SaveBackup(const std::string& path, bool selectedOnly, CBackupFiles::ESaveLayout layout) {
    if (selectedOnly)
        Keep(m_files.SaveBackup(path, m_selection.ItemsForSave(), layout));
    else
        KeepInStep(m_files.SaveBackup(path, m_items, layout), path);
    return m_lastOutcome;
}

int CTessivaDoc::SaveAllActiveToBrt(const std::string& path) { return KeepInStep(m_files.StoreBrtFile(path, m_items), path); }

int CTessivaDoc::SaveSelectedActiveToBrt(const std::string& path) {
    return StartStoreBrt(path, m_selection.ItemsForSave());
}

int CTessivaDoc::StartStoreBrt(const std::string& path, const CNVItemArray& list) {
    return Keep(m_files.StoreBrtFile(path, list));
}

int CTessivaDoc::StartLoadBrt(const std::string& path) { return KeepInStep(m_files.LoadBrtFile(path), path); }

int CTessivaDoc::SaveAllActiveToCnv(const std::string& path) { return KeepInStep(m_files.StoreCnvFile(path, m_items), path); }

int CTessivaDoc::SaveSelectedActiveToCnv(const std::string& path) {
    return StartStoreCnv(path, m_selection.ItemsForSave());
}

int CTessivaDoc::StartStoreCnv(const std::string& path, const CNVItemArray& list) {
    return Keep(m_files.StoreCnvFile(path, list));
}

int CTessivaDoc::StartLoadCnv(const std::string& path) { return KeepInStep(m_files.LoadCnvFile(path), path); }

bool CTessivaDoc::WriteItemList(const CNVItemArray& list) { return m_files.WriteItemList(list, m_fileChooser); }

bool CTessivaDoc::SaveAllActiveToQcn(const std::string& path) { return KeepInStep(m_files.SaveQcn(path, m_items), path) != 0; }

bool CTessivaDoc::SaveSelectedActiveToQcn(const std::string& path) {
    return SaveQcn(path, m_selection.ItemsForSave());
}

bool CTessivaDoc::SaveQcn(const std::string& path, const CNVItemArray& list, CBackupFiles::ESaveLayout layout) {
    // A save of the whole document brings it in step with that file.
    if (&list == &m_items) return KeepInStep(m_files.SaveQcn(path, list, layout), path) != 0;
    return Keep(m_files.SaveQcn(path, list, layout)) != 0;
}

bool CTessivaDoc::SaveAllActiveToXqcn(const std::string& path) {
    return KeepInStep(m_files.SaveNumbered(path, m_items, EBackupForm::Xml), path) != 0;
}

bool CTessivaDoc::SaveSelectedActiveToXqcn(const std::string& path) {
    return Keep(m_files.SaveNumbered(path, m_selection.ItemsForSave(), EBackupForm::Xml)) != 0;
}

bool CTessivaDoc::LoadQcn(const std::string& path) { return KeepInStep(m_files.LoadQcnFile(path), path) != 0; }

void CTessivaDoc::CompleteArrayElements() { m_files.Completion().CompleteArrayElements(m_items); }

int CTessivaDoc::StartFillUp(int expand) { return Keep(m_files.Completion().StartFillUp(m_items, expand)); }

bool CTessivaDoc::MergeItems(const CNVItemArray& previous) {
    m_items = MergeItemArrays(std::move(m_items), previous, m_overwritePrompt);
    m_items.SortById();
    return true;
}

SOutcome CTessivaDoc::AddFromCnv(const std::string& path) {
    if (Keep(m_files.AddCnvFile(path, m_overwritePrompt))) m_modified = true;
    return m_lastOutcome;
}

// ---- edits ----

bool CTessivaDoc::SetItemValue(int itemIndex, const std::vector<uint8_t>& bytes) {
    if (itemIndex < 0 || itemIndex >= m_items.GetSize()) return false;
    CNVItem& item = m_items[itemIndex];
    int size = item.Size();
    if (size < 1) {
        const int def = m_itemDefs.FindById(item.Id());
        size = def >= 0 && m_itemDefs[def].Size() > 0 ? m_itemDefs[def].Size() : static_cast<int>(bytes.size());
    }
    // The record keeps its size; bytes past the end of the rebuilt value stay as they were.
    std::vector<uint8_t> value = item.Value();
    value.resize(static_cast<size_t>(size), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), value.size()), value.begin());
    item.SetValue(value);
    item.SetActive(CNVItem::kActive);
    m_modified = true;
    return true;
}

// ---- phone ----

bool CTessivaDoc::Connect() { return m_session.Connect(); }

bool CTessivaDoc::Disconnect() { return m_session.Disconnect(); }

bool CTessivaDoc::CheckConnected() { return m_session.CheckConnected(); }

int CTessivaDoc::StartUpload(const std::string& path) {
    bool taken = false;
    SOutcome outcome = m_session.Upload(path, taken);
    if (taken) {
        m_modified = false;
        m_documentPath.clear();
    }
    Keep(std::move(outcome));
    return taken ? 1 : 0;
}

SOutcome CTessivaDoc::DownloadAllActive() {
    Keep(m_session.Download(m_items, true));
    return m_lastOutcome;
}

SOutcome CTessivaDoc::DownloadSelectedActive() {
    CNVItemArray selected;
    m_selection.CollectSelectedItems(selected);
    Keep(m_session.Download(selected));
    return m_lastOutcome;
}

int CTessivaDoc::StartDownload(const CNVItemArray& list) { return Keep(m_session.Download(list)); }

int CTessivaDoc::SendSpcCode(const std::string& code) {
    const bool accepted = m_session.SendSpcCode(code);
    Keep(accepted ? SOutcome::Done() : SOutcome::Fail(TrText("CTessivaDoc", "The phone did not take the SPC code.")));
    return accepted ? 1 : 0;
}
