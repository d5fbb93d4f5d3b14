#include "doc/phone_write.h"

#include "doc/backup_folder.h"
#include "doc/phone_progress.h"
#include "files/backup_tree.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"
#include "model/item_file_defs.h"
#include "phone/diag_commands.h"
#include "phone/diag_link.h"

#include <algorithm>
#include <map>
#include <utility>
#include <filesystem>
#include <system_error>

namespace {
using EResult = CDownloadReport::EResult;

void AddRecord(CDownloadReport& report, const SImageRecord& r, EResult result, std::string detail = {}) {
    report.AddRecord(r.record.subscription, static_cast<int>(r.record.id), r.index, r.name, result, std::move(detail));
}

int CountOf(const std::vector<bool>& flags) { return static_cast<int>(std::count(flags.begin(), flags.end(), true)); }

// The backup as read again: the same records and files, byte for byte. Empty when so.
std::string Compare(const SNumberedBackup& saved, const SNumberedBackup& read) {
    if (read.records.size() != saved.records.size() || read.itemFiles.size() != saved.itemFiles.size())
        return TrText("CPhoneWrite", "it holds other records or files than were saved");
    // New records are saved in ID order within each subscription: compare as sets.
    const auto key = [](const SNumberedRecord& r) { return std::tie(r.subscription, r.id, r.data); };
    std::vector<const SNumberedRecord*> a, b;
    for (const auto& r : saved.records) a.push_back(&r);
    for (const auto& r : read.records) b.push_back(&r);
    const auto less = [&](const SNumberedRecord* x, const SNumberedRecord* y) { return key(*x) < key(*y); };
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    for (size_t i = 0; i < a.size(); ++i)
        if (key(*a[i]) != key(*b[i])) return TrText("CPhoneWrite", "a record reads back different");
    for (const SItemFile& f : saved.itemFiles) {
        const auto it = std::find_if(read.itemFiles.begin(), read.itemFiles.end(),
                                     [&](const SItemFile& g) { return g.path == f.path && g.area == f.area; });
        if (it == read.itemFiles.end() || it->data != f.data) return TrText("CPhoneWrite", "an item file reads back different");
    }
    return {};
}
}  // namespace

CPhoneWrite::CPhoneWrite(CJobControl& jobs, std::shared_ptr<CDiagLink> link)
    : m_jobs(jobs), m_link(link), m_efs(std::move(link)) {}

std::string CPhoneWrite::Text(EText which) const {
    if (m_operation == CDownloadReport::EOperation::Download) {
        switch (which) {
        case EText::BackupCaption: return TrText("CPhoneWrite", "Backing Up NV Items from Mobile Phone");
        case EText::BackupStop: return TrText("CPhoneWrite", "Are you sure you want to stop backing up NV Items from Mobile Phone?");
        case EText::WriteCaption: return TrText("CPhoneWrite", "Download NV Items to Mobile Phone");
        case EText::WriteStop: return TrText("CPhoneWrite", "Are you sure you want to stop downloading NV Items to Mobile Phone?");
        case EText::Stopped: return TrText("CPhoneWrite", "the download was stopped");
        }
    }
    switch (which) {
    case EText::BackupCaption: return TrText("CPhoneWrite", "Backing Up the Phone before the Restore");
    case EText::BackupStop: return TrText("CPhoneWrite", "Are you sure you want to stop backing up the phone before the restore?");
    case EText::WriteCaption: return TrText("CPhoneWrite", "Restoring the Phone");
    case EText::WriteStop: return TrText("CPhoneWrite", "Are you sure you want to stop restoring the phone?");
    case EText::Stopped: break;
    }
    return TrText("CPhoneWrite", "the restore was stopped");
}

void CPhoneWrite::NotWritten(const SPhoneImage& image, const std::string& why) {
    for (size_t i = 0; i < image.records.size(); ++i)
        if (m_writeRecord[i]) AddRecord(m_report, image.records[i], EResult::NotWritten, why);
    for (size_t i = 0; i < image.files.size(); ++i)
        if (m_writeFile[i]) m_report.AddFile(image.files[i].path, EResult::NotWritten, why);
    m_writeRecord.assign(m_writeRecord.size(), false);
    m_writeFile.assign(m_writeFile.size(), false);
}

SOutcome CPhoneWrite::Run(const SPhoneImage& image, const SWriteSettings& settings) {
    m_report = CDownloadReport();
    m_operation = settings.operation;
    m_report.operation = settings.operation;
    for (const auto& [reason, count] : settings.skipped) m_report.Skip(reason, count);
    if (!m_link) return SOutcome::Fail(TrText("CPhoneWrite", "Not connected to a phone."));
    m_writeRecord.assign(image.records.size(), true);
    m_writeFile.assign(image.files.size(), true);
    m_unreadRecord.assign(image.records.size(), false);
    m_unreadFile.assign(image.files.size(), false);
    m_saved = SNumberedBackup();
    m_absent.clear();
    m_syncWaited = false;
    for (size_t i = 0; i < image.records.size(); ++i) {
        if (image.records[i].problem.empty()) continue;
        AddRecord(m_report, image.records[i], EResult::Failed, image.records[i].problem);
        m_writeRecord[i] = false;
    }
    // A backup's paths are checked before anything is sent: a file outside the phone's tree
    // is never written.
    for (size_t i = 0; i < image.files.size(); ++i) {
        if (const std::string problem = EfsPathProblem(image.files[i].path); !problem.empty()) {
            m_report.AddFile(image.files[i].path, EResult::Failed, problem);
            m_writeFile[i] = false;
        }
    }
    if (CountOf(m_writeFile) > 0 && !m_efs.Hello()) {
        m_report.filesError = m_efs.LastError();
        for (size_t i = 0; i < image.files.size(); ++i)
            if (m_writeFile[i]) m_report.AddFile(image.files[i].path, EResult::NotWritten, m_report.filesError);
        m_writeFile.assign(image.files.size(), false);
    }
    if (CountOf(m_writeRecord) + CountOf(m_writeFile) == 0) return m_report.Outcome();

    if (settings.backup) {
        const SOutcome backup = m_jobs.Run(Text(EText::BackupCaption),
                                           [&] { return BackUp(image, settings.backupFolder); });
        if (backup.IsStopped() || !m_report.backupError.empty()) {
            m_report.stopped = backup.IsStopped();
            NotWritten(image, backup.IsStopped() ? TrText("CPhoneWrite", "the backup was stopped")
                                                 : TrText("CPhoneWrite", "the backup could not be saved"));
            return m_report.Outcome();
        }
        const int unread = CountOf(m_unreadRecord) + CountOf(m_unreadFile);
        std::vector<std::string> names;
        for (size_t i = 0; i < image.records.size(); ++i)
            if (m_unreadRecord[i]) names.push_back(image.records[i].name);
        for (size_t i = 0; i < image.files.size(); ++i)
            if (m_unreadFile[i]) names.push_back(image.files[i].path);
        // No write without a backup, unless the user knowingly wants it (no question when
        // the link is gone anyway).
        if (unread > 0 && (m_link->HasFailed() || !settings.confirmWithoutBackup ||
                           !settings.confirmWithoutBackup(FillText(
                               TrText("CPhoneWrite", "%1 records or item files could not be read from the phone "
                                                       "(%2): the backup does not hold their current state, and "
                                                       "restoring the backup can't bring it back.\n\nWrite them anyway?"),
                               {std::to_string(unread), CDownloadReport::FewNames(names)})))) {
            const std::string why = TrText("CPhoneWrite", "its current state could not be backed up");
            for (size_t i = 0; i < image.records.size(); ++i)
                if (m_unreadRecord[i] && m_writeRecord[i]) {
                    AddRecord(m_report, image.records[i], EResult::NotWritten, why);
                    m_writeRecord[i] = false;
                }
            for (size_t i = 0; i < image.files.size(); ++i)
                if (m_unreadFile[i] && m_writeFile[i]) {
                    m_report.AddFile(image.files[i].path, EResult::NotWritten, why);
                    m_writeFile[i] = false;
                }
        }
    }
    // Everything already as the backup has it: nothing is written, the phone is not restarted.
    if (CountOf(m_writeRecord) + CountOf(m_writeFile) == 0) return m_report.Outcome();
    if (settings.offline && !m_link->SetMode(kModeOffline)) {
        NotWritten(image, FillText(TrText("CPhoneWrite", "the phone did not go offline: %1"), {m_link->LastError()}));
        return m_report.Outcome();
    }
    (void)m_jobs.Run(Text(EText::WriteCaption), [&] { return Write(image, settings.verify); });
    // What is not committed is lost when the phone starts again.
    if (settings.offline && !m_link->HasFailed()) SyncFiles();
    SOutcome outcome = m_report.Outcome();
    // The modem reads its new configuration when it starts again.
    if (settings.offline && !m_link->SetMode(kModeReset)) {
        outcome.state = SOutcome::EState::Failed;
        outcome.reason = FillText(TrText("CPhoneWrite", "%1 The phone did not take the reset: %2"),
                                  {m_report.Summary(), m_link->LastError()});
    }
    return outcome;
}

SOutcome CPhoneWrite::BackUp(const SPhoneImage& image, const std::string& folder) {
    const std::string question = Text(EText::BackupStop);
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    CPhoneProgress progress(m_jobs, CountOf(m_writeRecord), CountOf(m_writeFile));
    uint32_t esn = 0;
    const bool haveEsn = m_link->ReadEsn(esn);
    SNumberedBackup saved;
    bool incomplete = false;
    std::vector<size_t> chosen;
    std::vector<SNvRead> reads;
    for (size_t i = 0; i < image.records.size(); ++i)
        if (m_writeRecord[i]) {
            chosen.push_back(i);
            reads.push_back(ImageRead(image.records[i]));
        }
    // Per subscription, the records asked and those the phone refused as of no subscription it keeps.
    std::map<int, std::pair<int, int>> refusals;
    CNvReader reader(*m_link);
    const bool read = reader.Read(reads, [&](size_t k, const SNvReadResult& result) {
        const size_t i = chosen[k];
        const SImageRecord& r = image.records[i];
        if (r.record.subscription > 0) {
            auto& [asked, refused] = refusals[r.record.subscription];
            ++asked;
            refused += (result.ok && result.status == kNvBadParameter) ||
                       (!result.ok && result.refused == kDiagBadCommand);
        }
        std::string unread;
        if (!result.ok) {
            incomplete = incomplete || m_link->HasFailed();  // the phone was never asked for the rest
            unread = result.error;
        } else if (result.status == kNvNotActive) {
            // Nothing to keep, and the write may go on: restoring the backup just can't take it away again.
            AddRecord(m_report, r, EResult::NotBackedUp,
                      TrText("CPhoneWrite", "not active on the phone: restoring the backup can't make it so again"));
        } else if (result.status != kNvDone) {
            unread = CDownloadReport::StatusText(result.status);
        } else if (std::equal(result.data.begin(), result.data.begin() + static_cast<std::ptrdiff_t>(r.compared),
                              r.record.data.begin())) {
            // The phone holds it already: nothing to write, nothing to keep.
            AddRecord(m_report, r, EResult::Unchanged);
            m_writeRecord[i] = false;
        } else {
            SNumberedRecord copy = r.record;
            copy.data = result.data;
            copy.position = -1;
            saved.records.push_back(copy);
        }
        if (!unread.empty()) {
            AddRecord(m_report, r, EResult::NotBackedUp, std::move(unread));
            m_unreadRecord[i] = true;
        }
        progress.RecordDone();
        return !m_jobs.ConfirmStop(question);
    });
    if (!read) return m_jobs.PostJobStopped();
    if (reader.FellBack()) m_jobs.Note(CNvReader::OneAtATimeText(), SNote::EKind::Information);
    // A subscription whose every record the phone refused is one it does not keep: its copies
    // of item files would be files nothing reads, reported as restored.
    for (size_t i = 0; i < image.files.size(); ++i) {
        const int subscription = ItemFileSubscription(image.files[i].path);
        const auto it = refusals.find(subscription);
        if (!m_writeFile[i] || it == refusals.end() || it->second.second < it->second.first) continue;
        m_report.AddFile(image.files[i].path, EResult::NotWritten,
                         FillText(TrText("CPhoneWrite", "the phone does not keep subscription %1"),
                                  {std::to_string(subscription)}));
        m_writeFile[i] = false;
    }
    std::vector<uint8_t> content;
    for (size_t i = 0; i < image.files.size(); ++i) {
        if (!m_writeFile[i]) continue;
        const SItemFile& f = image.files[i];
        const bool read = m_efs.ReadFile(f.path, content);
        SEfsStat stat;
        // The same bytes as the same type: nothing to write (a file of the wrong type is rewritten).
        if (read && content == f.data && m_efs.Stat(f.path, stat) &&
            (stat.mode & kEfsTypeMask) == (ModeOfItemFile(f) & kEfsTypeMask)) {
            m_report.AddFile(f.path, EResult::Unchanged);
            m_writeFile[i] = false;
        } else if (read) {
            saved.itemFiles.push_back(MakeItemFile(f.area, f.path, std::move(content), f.attributes));
        } else if (m_efs.LastErrno() == kEfsNoEntry) {
            m_absent.push_back(f.path);
            m_report.AddFile(f.path, EResult::NotBackedUp,
                             TrText("CPhoneWrite", "not on the phone: restoring the backup leaves the new file"));
        } else {
            incomplete = incomplete || m_link->HasFailed();
            m_report.AddFile(f.path, EResult::NotBackedUp, m_efs.LastError());
            m_unreadFile[i] = true;
        }
        progress.FileDone();
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    }

    // Nothing left to write: no backup is needed.
    if (CountOf(m_writeRecord) + CountOf(m_writeFile) == 0) return m_jobs.PostJobCompleted();
    m_report.backupError = MakeBackupFolder(folder);
    if (m_report.backupError.empty()) (void)SaveBackup(saved, NewBackupPath(folder, haveEsn, esn, incomplete, ".qcn"));
    m_saved = std::move(saved);
    if (!m_report.backupError.empty()) return m_jobs.FailJob("");
    return m_jobs.PostJobCompleted();
}

bool CPhoneWrite::SaveBackup(const SNumberedBackup& saved, std::string path) {
    CCompoundNode tree;
    std::string error;
    if (!EncodeNumbered(saved, tree, error) || !WriteNewBackupTree(path, tree, EBackupForm::Compound, error)) {
        m_report.backupError = FillText(TrText("CPhoneWrite", "Can't write %1: %2"), {path, error});
        return false;
    }
    // It must read back whole before anything is written.
    CCompoundNode again;
    EBackupForm form = EBackupForm::Compound;
    SNumberedBackup read;
    std::string damage;
    if (!ReadBackupTree(path, again, form, error) || !DecodeNumbered(again, read, error)) damage = error;
    else damage = Compare(saved, read);
    if (damage.empty()) {
        m_report.backupPath = path;
        return true;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // no broken file for "Restore Last Backup" to find
    m_report.backupError =
        FillText(TrText("CPhoneWrite", "The backup %1 does not read back whole: %2."), {path, damage});
    return false;
}

SOutcome CPhoneWrite::Write(const SPhoneImage& image, bool verify) {
    const std::string question = Text(EText::WriteStop);
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    const auto stop = [&] {
        m_report.stopped = true;
        NotWritten(image, Text(EText::Stopped));
        return m_jobs.PostJobStopped();
    };
    const auto linkFailed = [&] {
        NotWritten(image, CDownloadReport::NotAttemptedText());
        return m_jobs.FailJob("");
    };
    if (m_jobs.ConfirmStop(question)) return stop();
    CPhoneProgress progress(m_jobs, CountOf(m_writeRecord), CountOf(m_writeFile));
    std::array<uint8_t, SNumberedRecord::kDataSize> back{};
    for (size_t i = 0; i < image.records.size(); ++i) {
        if (!m_writeRecord[i]) continue;
        m_writeRecord[i] = false;
        const SImageRecord& r = image.records[i];
        uint16_t status = 0, readStatus = 0;
        if (!WriteImageRecord(*m_link, r, status)) {
            AddRecord(m_report, r, EResult::Failed, m_link->LastError());
        } else if (status == kNvReadOnly) {
            AddRecord(m_report, r, EResult::Protected, CDownloadReport::ProtectedText(r.name));
        } else if (status != kNvDone) {
            AddRecord(m_report, r, EResult::Failed, CDownloadReport::StatusText(status));
        } else if (!verify) {
            AddRecord(m_report, r, EResult::Written);
        } else if (!ReadImageRecord(*m_link, r, back, readStatus)) {
            AddRecord(m_report, r, EResult::Failed, CDownloadReport::ReadBackFailedText(m_link->LastError()));
        } else if (readStatus != kNvDone) {
            AddRecord(m_report, r, EResult::Failed, CDownloadReport::ReadBackAnsweredText(readStatus));
        } else if (!std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(r.compared), r.record.data.begin())) {
            AddRecord(m_report, r, EResult::Failed, CDownloadReport::ReadBackDiffersText());
        } else {
            AddRecord(m_report, r, EResult::Verified);
        }
        progress.RecordDone();
        if (m_link->HasFailed()) return linkFailed();
        if (m_jobs.ConfirmStop(question)) return stop();
    }
    // The records committed before the files come; each file area committed after its files.
    if (m_report.Count(EResult::Verified) + m_report.Count(EResult::Written) > 0) SyncFiles();
    std::vector<uint8_t> content;
    const std::string* area = nullptr;
    for (size_t i = 0; i < image.files.size(); ++i) {
        if (!m_writeFile[i]) continue;
        m_writeFile[i] = false;
        const SItemFile& f = image.files[i];
        if (area && *area != f.area) SyncFiles();
        area = &f.area;
        if (!WriteItemFile(f)) {
            const std::string why = m_efs.LastError();
            m_report.AddFile(f.path, EResult::Failed, why);
            if (!m_link->HasFailed()) PutBack(f);
        } else if (!verify) {
            m_report.AddFile(f.path, EResult::Written);
        } else if (!m_efs.ReadFile(f.path, content)) {
            m_report.AddFile(f.path, EResult::Failed, CDownloadReport::ReadBackFailedText(m_efs.LastError()));
        } else if (content != f.data) {
            m_report.AddFile(f.path, EResult::Failed, CDownloadReport::ReadBackDiffersText());
        } else {
            m_report.AddFile(f.path, EResult::Verified);
        }
        progress.FileDone();
        if (m_link->HasFailed()) return linkFailed();
        if (m_jobs.ConfirmStop(question)) return stop();
    }
    if (area) SyncFiles();
    return m_jobs.PostJobCompleted();
}

bool CPhoneWrite::WriteItemFile(const SItemFile& f) {
    if (m_efs.WriteFile(f.path, f.data, ModeOfItemFile(f))) return true;
    if (m_efs.LastErrno() != kEfsNoSpace) return false;
    // The journal may be full rather than the phone: committed, it takes the file.
    SyncFiles();
    if (m_efs.WriteFile(f.path, f.data, ModeOfItemFile(f))) return true;
    return false;
}

void CPhoneWrite::PutBack(const SItemFile& f) {
    const auto old = std::find_if(m_saved.itemFiles.begin(), m_saved.itemFiles.end(),
                                  [&](const SItemFile& g) { return g.path == f.path; });
    const bool absent = std::find(m_absent.begin(), m_absent.end(), f.path) != m_absent.end();
    if (!m_efs.LastWriteTouched()) return;  // refused before it changed anything
    bool back = false;
    if (old != m_saved.itemFiles.end()) back = m_efs.WriteFile(f.path, old->data, ModeOfItemFile(f));
    else if (absent) back = m_efs.RemoveFile(f.path) || m_efs.LastErrno() == kEfsNoEntry;
    else return;  // no backup of it: nothing was taken that could be put back
    if (back) m_report.putBack.push_back(f.path);
    else m_report.notPutBack.emplace_back(f.path, m_efs.LastError());
}

void CPhoneWrite::SyncFiles() {
    if (!m_efs.Hello()) return;  // no file system: nothing to commit
    switch (m_efs.Sync()) {
    case EEfsSync::Synced: break;
    case EEfsSync::Waited:
        if (!std::exchange(m_syncWaited, true))
            m_report.notes.push_back(FillText(
                TrText("CPhoneWrite", "The phone refused to sync its file system; Tessiva waited %1 s instead."),
                {std::to_string(m_efs.SyncFallback().count() / 1000)}));
        break;
    case EEfsSync::Failed:
        if (m_report.syncError.empty()) m_report.syncError = m_efs.LastError();
        break;
    }
}
