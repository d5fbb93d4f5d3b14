// CNV files: the store and the read jobs.
#include "doc/backup_files.h"
#include "doc/backup_reader.h"

#include "files/backup_input.h"

#include "files/cnv_file.h"
#include "doc/doc_files.h"
#include "model/item_list_ops.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"

SOutcome CBackupFiles::StoreCnvFile(const std::string& path, const CNVItemArray& all) {
    return StoreHoldable(all, "CNV", TrText("CBackupFiles", "Storing NV Items in CNV file"),
                         [&](const CNVItemArray& list) { return StoreCnv(path, list); });
}

SOutcome CBackupFiles::StoreCnv(const std::string& path, const CNVItemArray& list) {
    const std::string question = TrText("CBackupFiles", "Are you sure you want to stop saving NV Items to CNV File?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    CNVItemArray w = list;
    ::RemoveInactive(w);
    std::string refusal;
    if (!CheckRecordsFit(w, CCnvFile::kLimits, refusal)) return m_jobs.FailJob(refusal);
    CCnvFile file;
    if (!file.Create(path)) return m_jobs.FailJob(CantWriteMessage(path, file.Error()));
    if (m_jobs.ConfirmStop(question)) {
        file.Cancel();
        return m_jobs.PostJobStopped();
    }
    m_jobs.SetRange(w.GetSize());
    for (int i = 0; i < w.GetSize(); ++i) {
        const CNVItem& r = w[i];
        if (r.Active() == CNVItem::kActive &&
            !file.WriteRecord(static_cast<uint16_t>(r.Id() & 0xFFFF), r.Value(), r.Count() > 0 ? r.Index() : -1))
            break;
        if (m_jobs.ConfirmStop(question)) {
            file.Cancel();
            return m_jobs.PostJobStopped();
        }
        m_jobs.SetPosition(i + 1);
    }
    if (!file.Finish()) return m_jobs.FailJob(CantWriteMessage(path, file.Error()));
    return m_jobs.PostJobCompleted();
}

SOutcome CBackupReader::ReadCnv(CBackupInput& input, const std::string& path, CNVItemArray& loaded) {
    const std::string question =
        TrText("CBackupFiles", "Are you sure you want to stop loading NV Items from CNV File?");
    m_jobs.WaitForDialog();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!input.ReadAll(bytes, error)) return m_jobs.FailJob(CantOpenMessage(path, error));
    CCnvFile file;
    file.OpenMemory(bytes.data(), bytes.size());
    if (!file.ChecksumOk()) {
        SOutcome failed =
            m_jobs.FailJob(TrText("CBackupFiles", "Wrong data in CNV File.\nNV Items can't be loaded from this file."));
        failed.caption = ErrorCaption();
        return failed;
    }
    m_jobs.EnableCancel();
    file.Rewind();
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(static_cast<int>(file.FileSize()));
    loaded.RemoveAll();
    m_undefined = CUndefinedRecords();
    uint16_t id = 0;
    std::vector<uint8_t> data;
    while (file.ReadRecord(id, data)) {
        if (m_itemDefs.ContainsId(id)) {
            loaded.Add(LoadedRecord(id, data));
            if (const std::string damage = TooManyRecords("CNV", loaded.GetSize()); !damage.empty())
                return m_jobs.FailJob(damage);
        } else {
            m_undefined.Add(id, data);
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(static_cast<int>(file.Position()));
    }
    if (!file.Error().empty()) {
        SOutcome failed = m_jobs.FailJob(WrongDataMessage("CNV", file.Error()));
        failed.caption = ErrorCaption();
        return failed;
    }
    return m_jobs.PostJobCompleted();
}
