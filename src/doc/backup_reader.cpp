// Backups of every kind read once: the dispatch by kind and the end every read shares.
#include "doc/backup_reader.h"

#include "doc/doc_files.h"
#include "files/backup_input.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"

SOutcome ReadBackup(CJobControl& jobs, const std::string& path, const CNVItemArray& defs, SBackupContent& content) {
    CBackupReader reader(jobs, defs);
    // The notes the jobs made come first, as the front end tells them in order.
    return jobs.Finish(reader.Read(path, content));
}

SNumberedBackup SBackupContent::TakeNumbered() {
    SNumberedBackup backup = numbered.BackupFor(CNVItemArray());
    backup.records = std::move(asRead);
    asRead.clear();
    return backup;
}

CBackupReader::CBackupReader(CJobControl& jobs, const CNVItemArray& defs)
    : m_jobs(jobs), m_itemDefs(defs), m_completion(jobs, defs) {}

std::string CBackupReader::LoadCnvCaption() { return TrText("CBackupFiles", "Loading NV Items from CNV file"); }

SOutcome CBackupReader::Read(const std::string& path, SBackupContent& content) {
    content = SBackupContent();
    CBackupInput input;
    std::string error;
    const bool opened = input.Open(path, error);
    content.kind = input.Kind();
    if (!opened) return SOutcome::Fail(CantOpenMessage(path, error));
    CNVItemArray loaded;
    SOutcome outcome;
    switch (content.kind) {
    case EBackupKind::Brt:
        outcome = m_jobs.Run(TrText("CBackupFiles", "Loading NV Items from BRT file"),
                             [&] { return ReadBrt(input, path, loaded); });
        if (outcome.IsCompleted()) outcome = m_completion.StartFillUp(loaded, 1);
        return Finish(std::move(outcome), std::move(loaded), EBackupOrigin::Brt, content);
    case EBackupKind::Cnv:
        outcome = m_jobs.Run(LoadCnvCaption(), [&] { return ReadCnv(input, path, loaded); });
        if (outcome.IsCompleted()) {
            m_completion.CompleteArrayElements(loaded);
            outcome = m_completion.StartFillUp(loaded, 0);
        }
        return Finish(std::move(outcome), std::move(loaded), EBackupOrigin::Cnv, content);
    case EBackupKind::Qcn:
    case EBackupKind::Xqcn: return ReadQcn(input, path, content);
    case EBackupKind::Unknown: break;
    }
    return SOutcome::Fail(CantOpenMessage(path, TrText("CBackupFiles", "not a BRT, CNV, QCN or XQCN backup")));
}

SOutcome CBackupReader::Finish(SOutcome filled, CNVItemArray&& loaded, EBackupOrigin origin, SBackupContent& content) {
    if (!filled.IsCompleted()) return filled;
    const std::string told = m_undefined.Message();
    m_undefined.MoveInto(loaded);
    loaded.SortById();
    content.records = std::move(loaded);
    content.numbered.Reset(origin);
    SOutcome outcome = SOutcome::Done();
    if (!told.empty()) outcome.Note(told, SNote::EKind::Information);
    return outcome;
}

SOutcome CBackupReader::ReadCnvToAdd(const std::string& path, CNVItemArray& records) {
    CBackupInput input;
    std::string error;
    if (!input.Open(path, error)) return SOutcome::Fail(CantOpenMessage(path, error));
    SOutcome outcome = m_jobs.Run(LoadCnvCaption(), [&] { return ReadCnv(input, path, records); });
    if (!outcome.IsCompleted()) return outcome;
    // Only the records the file holds take part: elements it lacks are not invented here,
    // where they would overwrite the document's own.
    m_completion.CompleteArrayElements(records, false);
    outcome = m_completion.StartFillUp(records, 0);
    if (!outcome.IsCompleted()) return outcome;
    if (const std::string told = m_undefined.Message(); !told.empty()) outcome.Note(told, SNote::EKind::Information);
    m_undefined.MoveInto(records);
    return outcome;
}

std::string CBackupReader::TooManyRecords(const char* kind, int loaded) const {
    if (loaded <= m_itemDefs.GetSize()) return {};
    return WrongDataMessage(
        kind, FillText(TrText("CBackupFiles",
                              "The file holds more records of defined items (%1) than NVItemsDefine.def defines."),
                       {std::to_string(loaded)}));
}
