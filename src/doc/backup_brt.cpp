// BRT files: the store and the read jobs.
#include "doc/backup_files.h"
#include "doc/backup_reader.h"

#include "files/backup_input.h"

#include "files/brt_file.h"
#include "doc/doc_files.h"
#include "model/item_list_ops.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"

SOutcome CBackupFiles::StoreBrtFile(const std::string& path, const CNVItemArray& all) {
    return StoreHoldable(all, "BRT", TrText("CBackupFiles", "Storing NV Items in BRT file"),
                         [&](const CNVItemArray& list) { return StoreBrt(path, list); });
}

SOutcome CBackupFiles::StoreBrt(const std::string& path, const CNVItemArray& list) {
    const std::string question = TrText("CBackupFiles", "Are you sure you want to stop saving NV Items to BRT File?\n");
    CNVItemArray w = list;
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    ::RemoveInactive(w);
    std::string refusal;
    // Records the definitions don't know are kept raw, under limits of their own.
    const auto limitsOf = [this](const CNVItem& r) -> const SSaveLimits& {
        return IsUndefined(r) ? CBrtFile::kRawLimits : CBrtFile::kLimits;
    };
    if (!CheckRecordsFit(w, limitsOf, refusal)) return m_jobs.FailJob(refusal);
    // The count is that of the records really written, whatever the order of the list.
    const auto groups = CBrtFile::GroupRecords(w);
    CBrtFile file;
    if (!file.Create(path)) return m_jobs.FailJob(CantWriteMessage(path, file.Error()));
    file.WriteCount(static_cast<uint32_t>(groups.size()));
    if (m_jobs.ConfirmStop(question)) {
        file.Cancel();
        return m_jobs.PostJobStopped();
    }
    m_jobs.SetRange(w.GetSize());
    for (const auto& group : groups) {
        if (!file.WriteRecord(static_cast<uint32_t>(w[group.first].Id()), CBrtFile::RecordData(w, group))) break;
        if (m_jobs.ConfirmStop(question)) {
            file.Cancel();
            return m_jobs.PostJobStopped();
        }
        m_jobs.SetPosition(group.last + 1);
    }
    if (!file.Commit()) return m_jobs.FailJob(CantWriteMessage(path, file.Error()));
    return m_jobs.PostJobCompleted();
}

SOutcome CBackupReader::ReadBrt(CBackupInput& input, const std::string& path, CNVItemArray& loaded) {
    const std::string question =
        TrText("CBackupFiles", "Are you sure you want to stop loading NV Items from BRT File?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!input.ReadAll(bytes, error)) return m_jobs.FailJob(CantOpenMessage(path, error));
    CBrtFile file;
    file.OpenMemory(bytes.data(), bytes.size());
    uint32_t n = 0;
    if (!file.ReadCount(n)) return m_jobs.FailJob(WrongDataMessage("BRT", file.Error()));
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(static_cast<int>(n));
    loaded.RemoveAll();
    loaded.Reserve(static_cast<int>(n));
    m_undefined = CUndefinedRecords();
    uint32_t id = 0;
    std::vector<uint8_t> data;
    for (uint32_t k = 0; k < n; ++k) {
        if (!file.ReadRecord(id, data)) return m_jobs.FailJob(WrongDataMessage("BRT", file.Error()));
        if (id >= static_cast<uint32_t>(CNVItemArray::kMaxIds)) {
            // No other kind could hold it: told and left out, as before.
            m_jobs.Note(NotDefinedMessage(id));
        } else if (m_itemDefs.ContainsId(static_cast<int>(id))) {
            loaded.Add(LoadedRecord(static_cast<int>(id), data));
            if (const std::string damage = TooManyRecords("BRT", loaded.GetSize()); !damage.empty())
                return m_jobs.FailJob(damage);
        } else {
            // The slots as one value, up to the last byte that holds anything.
            m_undefined.Add(static_cast<int>(id), Carried(data));
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(static_cast<int>(k + 1));
    }
    return m_jobs.PostJobCompleted();
}
