// CNV files: store and load jobs.
#include "cnv_file.h"
#include "doc_files.h"
#include "item_list_ops.h"
#include "job_control.h"
#include "tessiva_doc.h"

namespace {
const char* const kChecksumMessage = "Wrong data in CNV File.\nNV Items can't be loaded from this file.";
const char* const kErrorCaption = "ERROR";
}  // namespace

int CTessivaDoc::SaveAllActiveToCnv(const std::string& path) { return StartStoreCnv(path, m_items); }

int CTessivaDoc::SaveSelectedActiveToCnv(const std::string& path) {
    CNVItemArray list = SelectedItemsForSave(*this);
    return StartStoreCnv(path, list);
}

int CTessivaDoc::StartStoreCnv(const std::string& path, CNVItemArray& list) {
    if (list.IsEmpty()) return 0;
    m_jobPath = path;
    m_jobItems = &list;
    // A stopped store leaves the previous file: it is replaced only by a complete one.
    const int result = m_jobs.Run("Storing NV Items in CNV file", [this] { StoreCnv(); });
    m_jobItems = nullptr;
    return result;
}

int CTessivaDoc::StoreCnv() {
    static const char* const kQuestion = "Are you sure you want to stop saving NV Items to CNV File?";
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    CNVItemArray w = *m_jobItems;
    ::RemoveInactive(w);
    std::string refusal;
    if (!CheckRecordsFit(w, CCnvFile::kLimits, refusal)) return m_jobs.FailJob(refusal);
    CCnvFile file;
    if (!file.Create(m_jobPath)) return m_jobs.FailJob(CantWriteMessage(m_jobPath, file.Error()));
    if (m_jobs.ConfirmStop(kQuestion)) {
        file.Cancel();
        return m_jobs.PostJobStopped();
    }
    m_jobs.SetRange(w.GetSize());
    for (int i = 0; i < w.GetSize(); ++i) {
        const CNVItem& r = w[i];
        if (r.Active() == CNVItem::kActive &&
            !file.WriteRecord(static_cast<uint16_t>(r.Id() & 0xFFFF), r.Value(), r.Count() > 0 ? r.Index() : -1))
            break;
        if (m_jobs.ConfirmStop(kQuestion)) {
            file.Cancel();
            return m_jobs.PostJobStopped();
        }
        m_jobs.SetPosition(i + 1);
    }
    if (!file.Finish()) return m_jobs.FailJob(CantWriteMessage(m_jobPath, file.Error()));
    return m_jobs.PostJobCompleted();
}

int CTessivaDoc::StartLoadCnv(const std::string& path) {
    m_jobPath = path;
    m_selectedEntries.ClearEntries();
    if (!m_jobs.Run("Loading NV Items from CNV file", [this] { LoadCnv(); })) {
        m_items.RemoveAll();
        return 0;
    }
    CompleteArrayElements();
    if (!StartFillUp(0)) {
        m_items.RemoveAll();
        return 0;
    }
    return FinishLoad();
}

int CTessivaDoc::LoadCnv() {
    static const char* const kQuestion = "Are you sure you want to stop loading NV Items from CNV File?";
    m_jobs.WaitForDialog();
    CCnvFile file;
    if (!file.Open(m_jobPath)) return m_jobs.FailJob(CantOpenMessage(m_jobPath, file.Error()));
    if (!file.ChecksumOk()) {
        m_jobs.ShowMessage(kChecksumMessage, EMessageIcon::Error, kErrorCaption);
        return m_jobs.FailJob("");
    }
    m_jobs.EnableCancel();
    file.Rewind();
    if (m_jobs.ConfirmStop(kQuestion)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(static_cast<int>(file.FileSize()));
    m_items.RemoveAll();
    CNVItemArray loaded;
    uint16_t id = 0;
    std::vector<uint8_t> data;
    while (file.ReadRecord(id, data)) {
        if (m_itemDefs.ContainsId(id)) {
            loaded.Add(LoadedRecord(id, data));
        } else {
            m_jobs.ShowMessage(NotDefinedMessage(id), EMessageIcon::Error);
        }
        if (m_jobs.ConfirmStop(kQuestion)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(static_cast<int>(file.Position()));
    }
    if (!file.Error().empty()) {
        m_jobs.ShowMessage(WrongDataMessage("CNV", file.Error()), EMessageIcon::Error, kErrorCaption);
        return m_jobs.FailJob("");
    }
    m_items = std::move(loaded);
    return m_jobs.PostJobCompleted();
}
