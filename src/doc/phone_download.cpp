// Download: a backup of what is about to be overwritten, the writes, their read-back and one
// report of it all.
#include "doc/phone_session.h"

#include "doc/backup_folder.h"
#include "doc/numbered_state.h"
#include "doc/undefined_records.h"
#include "model/nv_item_array.h"

#include "files/cnv_file.h"
#include "phone/diag_commands.h"
#include "jobs/job_control.h"
#include "phone/qlib.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace {
constexpr int kMaxIndex = 255;

using EResult = CDownloadReport::EResult;

bool IsToBeWritten(const CNVItem& record) { return record.Size() > 0 && record.Active() == CNVItem::kActive; }

int IndexOf(const CNVItem& record) { return record.Count() > 0 ? record.Index() : -1; }

std::string NoBackupText() { return TrText("CPhoneSession", "its current value could not be backed up"); }

// The saved backup read again: whole, and holding exactly the records saved. Empty when so.
std::string CheckBackupFile(const std::string& path, const CNVItemArray& saved, uint64_t bytesWritten) {
    CCnvFile file;
    if (!file.Open(path)) return file.Error();
    if (file.FileSize() != bytesWritten)
        return FillText(TrText("CPhoneSession", "the file holds %1 of the %2 bytes saved"),
                        {std::to_string(file.FileSize()), std::to_string(bytesWritten)});
    if (!file.ChecksumOk()) return TrText("CPhoneSession", "its checksum does not match");
    file.Rewind();
    uint16_t id = 0;
    std::vector<uint8_t> data;
    for (const CNVItem& record : saved) {
        if (!file.ReadRecord(id, data))
            return file.Error().empty() ? TrText("CPhoneSession", "records are missing") : file.Error();
        const size_t skip = record.Count() > 0 ? 1 : 0;  // an element's index byte
        if (id != record.Id() || data.size() < skip || (skip && data[0] != static_cast<uint8_t>(record.Index())) ||
            !std::equal(data.begin() + static_cast<std::ptrdiff_t>(skip), data.end(), record.Value().begin(),
                        record.Value().end()))
            return TrText("CPhoneSession", "a record reads back different");
    }
    if (file.ReadRecord(id, data) || !file.Error().empty())
        return TrText("CPhoneSession", "it holds more than was saved");
    return {};
}

// One read of a plain item or an array element into buffer (record.Size() bytes).
bool ReadRecord(void* phone, const CNVItem& record, std::vector<uint8_t>& buffer, uint16_t& status) {
    buffer.assign(static_cast<size_t>(record.Size()) + 1, 0);
    const auto id = static_cast<unsigned short>(record.Id());
    if (record.Count() == 0) return QLIB_DIAG_NV_READ_F(phone, id, buffer.data(), record.Size(), &status) != 0;
    return QLIB_DIAG_NV_READ_ARRAY_F(phone, id, static_cast<unsigned char>(record.Index()), buffer.data(),
                                     record.Size(), &status) != 0;
}

std::string IndexTooLarge() { return TrText("CPhoneSession", "the index does not fit one byte"); }

}  // namespace

SOutcome CPhoneSession::Download(const CNVItemArray& list, const CNumberedState* wholeDocument) {
    m_report = CDownloadReport();
    // The link can't address a subscription: its records stay out, and the user is told.
    int skipped = 0, undefined = 0;
    CNVItemArray plain, work;
    for (const CNVItem& record : list) {
        if (record.Subscription() != 0) {
            skipped += record.Active() == CNVItem::kActive;
            continue;
        }
        if (CUndefinedRecords::IsUndefined(record, m_itemDefs)) {
            undefined += record.Active() == CNVItem::kActive;
            continue;
        }
        plain.Add(record);
        if (IsToBeWritten(record)) work.Add(record);
    }
    if (skipped > 0)
        m_jobs.Note(
            FillText(skipped == 1 ? TrText("CPhoneSession",
                                           "%1 record of subscriptions 1 and 2 was not sent: the phone "
                                           "link can't address a subscription.")
                                  : TrText("CPhoneSession",
                                           "%1 records of subscriptions 1 and 2 were not sent: the "
                                           "phone link can't address a subscription."),
                     {std::to_string(skipped)}),
            SNote::EKind::Information);
    const int keptAside = wholeDocument ? static_cast<int>(wholeDocument->KeptAside().size()) : 0;
    m_report.Skip(TrText("CPhoneSession", "kept aside: not defined"), undefined + keptAside);
    if (wholeDocument)
        m_report.Skip(TrText("CPhoneSession", "item file: use Restore"),
                      static_cast<int>(wholeDocument->ItemFiles().size()));
    m_report.Skip(TrText("CPhoneSession", "subscription: the link can't address it"), skipped);
    if (m_backupBeforeDownload && work.GetSize() > 0) {
        const SOutcome backup = m_jobs.Run(TrText("CPhoneSession", "Backing Up NV Items from Mobile Phone"),
                                           [&] { return BackUpItems(work); });
        if (backup.IsStopped() || !m_report.backupError.empty()) {
            m_report.stopped = backup.IsStopped();
            const std::string why = backup.IsStopped() ? TrText("CPhoneSession", "the backup was stopped")
                                                       : TrText("CPhoneSession", "the backup could not be saved");
            for (const CNVItem& r : work) m_report.Add(r.Id(), IndexOf(r), r.Name(), EResult::NotWritten, why);
            return m_report.Outcome();
        }
        // No write without a backup, unless the user knowingly wants it (no question when
        // the link is gone anyway).
        if (!m_notBackedUp.empty() && (QLIB_HasLinkFailed(Handle()) || !ConfirmWritesWithoutBackup(work))) {
            plain.KeepIf([&](const CNVItem& r) {
                if (!IsToBeWritten(r) || !m_notBackedUp.count({r.Id(), IndexOf(r)})) return true;
                m_report.Add(r.Id(), IndexOf(r), r.Name(), EResult::NotWritten, NoBackupText());
                return false;
            });
        }
    }
    (void)m_jobs.Run(TrText("CPhoneSession", "Download NV Items to Mobile Phone"),
                     [&] { return DownloadItems(plain); });
    return m_report.Outcome();
}

bool CPhoneSession::ConfirmWritesWithoutBackup(const CNVItemArray& work) {
    if (!m_confirmWithoutBackup) return false;
    const std::string count = std::to_string(m_notBackedUp.size());
    std::vector<std::string> names;
    for (const CNVItem& r : work)
        if (m_notBackedUp.count({r.Id(), IndexOf(r)})) names.push_back(r.Name());
    return m_confirmWithoutBackup(FillText(
        m_notBackedUp.size() == 1
            ? TrText("CPhoneSession", "%1 record could not be read from the phone (%2): the backup does not hold its "
                                      "current value, and restoring the backup can't bring it back.\n\n"
                                      "Write it anyway?")
            : TrText("CPhoneSession", "%1 records could not be read from the phone (%2): the backup does not hold their "
                                      "current values, and restoring the backup can't bring them back.\n\n"
                                      "Write them anyway?"),
        {count, CDownloadReport::FewNames(names)}));
}

SOutcome CPhoneSession::BackUpItems(const CNVItemArray& list) {
    m_notBackedUp.clear();
    const std::string question =
        TrText("CPhoneSession", "Are you sure you want to stop backing up NV Items from Mobile Phone?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(list.GetSize());
    unsigned esn = 0;
    const bool haveEsn = QLIB_DIAG_ESN_F(Handle(), &esn) != 0;
    CNVItemArray saved;
    bool incomplete = false;
    std::vector<uint8_t> buffer;
    for (int i = 0; i < list.GetSize(); ++i) {
        const CNVItem& record = list[i];
        const int index = IndexOf(record);
        uint16_t status = 0;
        std::string unread;  // why the current value is unknown
        if (index > kMaxIndex) {
            // Can't be written either: the download reports it as failed.
            m_report.Add(record.Id(), index, record.Name(), EResult::NotBackedUp, IndexTooLarge());
        } else if (!ReadRecord(Handle(), record, buffer, status)) {
            incomplete = true;  // the link failed: the phone was never asked for the rest
            unread = QLibLastError();
        } else if (status == kNvNotActive) {
            // Nothing to keep, and the write may go on: a restore just can't take the new value away again.
            m_report.Add(record.Id(), index, record.Name(), EResult::NotBackedUp,
                         TrText("CPhoneSession", "its earlier state (not active) can't be restored by a download"));
        } else if (status != kNvDone) {
            unread = CDownloadReport::StatusText(status);
        } else {
            CNVItem copy = record;
            copy.SetValue(buffer.data(), record.Size());
            saved.Add(std::move(copy));
        }
        if (!unread.empty()) {
            m_report.Add(record.Id(), index, record.Name(), EResult::NotBackedUp, std::move(unread));
            m_notBackedUp.insert({record.Id(), index});
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(i + 1);
    }

    m_report.backupError = MakeBackupFolder(m_backupFolder);
    if (m_report.backupError.empty()) {
        std::string path = NewBackupPath(m_backupFolder, haveEsn, esn, incomplete, ".cnv");
        CCnvFile file;
        bool written = file.Create(path, CSafeFileWriter::ETarget::New);
        for (int i = 0; written && i < saved.GetSize(); ++i) {
            const CNVItem& r = saved[i];
            written = file.WriteRecord(static_cast<uint16_t>(r.Id()), r.Value(), IndexOf(r));
        }
        // The file appears under its name only once it is complete; it must read back whole
        // before anything is written.
        if (written && file.Finish()) {
            path = file.WrittenPath();  // another name when that one was taken meanwhile
            const std::string damage = CheckBackupFile(path, saved, file.BytesWritten());
            if (damage.empty()) {
                m_report.backupPath = path;
            } else {
                std::error_code ignored;
                std::filesystem::remove(path, ignored);  // no broken file for "Restore Last Backup" to find
                m_report.backupError =
                    FillText(TrText("CPhoneSession", "The backup %1 does not read back whole: %2."), {path, damage});
            }
        } else {
            file.Cancel();
            m_report.backupError = FillText(TrText("CPhoneSession", "Can't write %1: %2"), {path, file.Error()});
        }
    }
    if (!m_report.backupError.empty()) return m_jobs.FailJob("");
    return m_jobs.PostJobCompleted();
}

SOutcome CPhoneSession::DownloadItems(const CNVItemArray& list) {
    const std::string question =
        TrText("CPhoneSession", "Are you sure you want to stop downloading NV Items to Mobile Phone?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    const auto notWritten = [&](int from, const std::string& why) {
        for (int k = from; k < list.GetSize(); ++k) {
            const CNVItem& r = list[k];
            if (IsToBeWritten(r)) m_report.Add(r.Id(), IndexOf(r), r.Name(), EResult::NotWritten, why);
        }
    };
    const auto stop = [&](int from) {
        m_report.stopped = true;
        notWritten(from, TrText("CPhoneSession", "the download was stopped"));
        return m_jobs.PostJobStopped();
    };
    if (m_jobs.ConfirmStop(question)) return stop(0);
    m_jobs.SetRange(list.GetSize());
    std::vector<uint8_t> readBack;
    for (int i = 0; i < list.GetSize(); ++i) {
        const CNVItem& record = list[i];
        if (IsToBeWritten(record)) {
            const auto id = static_cast<unsigned short>(record.Id());
            const int index = IndexOf(record);
            uint16_t status = 0;
            bool ok = false;
            if (record.Count() == 0) {
                ok = QLIB_DIAG_NV_WRITE_F(Handle(), id, record.Value().data(), record.Size(), &status) != 0;
            } else if (record.Index() >= 0 && record.Index() <= kMaxIndex) {
                // A larger index does not fit its byte and would overwrite another element.
                ok = QLIB_DIAG_NV_WRITE_ARRAY_F(Handle(), id, static_cast<unsigned char>(record.Index()),
                                                record.Value().data(), record.Size(), &status) != 0;
            }
            EResult result = EResult::Failed;
            std::string detail;
            if (!ok) {
                detail = index > kMaxIndex ? IndexTooLarge() : QLibLastError();
            } else if (status == kNvReadOnly) {
                result = EResult::Protected;
                detail = CDownloadReport::ProtectedText(record.Name());
            } else if (status != kNvDone) {
                detail = CDownloadReport::StatusText(status);
            } else if (!m_verifyWrites) {
                result = EResult::Written;
            } else if (uint16_t readStatus = 0; !ReadRecord(Handle(), record, readBack, readStatus)) {
                detail = CDownloadReport::ReadBackFailedText(QLibLastError());
            } else if (readStatus != kNvDone) {
                detail = CDownloadReport::ReadBackAnsweredText(readStatus);
            } else if (!std::equal(record.Value().begin(), record.Value().begin() + record.Size(), readBack.begin())) {
                detail = CDownloadReport::ReadBackDiffersText();
            } else {
                result = EResult::Verified;
            }
            m_report.Add(record.Id(), index, record.Name(), result, std::move(detail));
            if (QLIB_HasLinkFailed(Handle())) {
                notWritten(i + 1, CDownloadReport::NotAttemptedText());
                return m_jobs.FailJob("");
            }
        }
        if (m_jobs.ConfirmStop(question)) return stop(i + 1);
        m_jobs.SetPosition(i + 1);
    }
    return m_jobs.PostJobCompleted();
}

std::string CPhoneSession::LastBackupPath() const { return NewestBackup(m_backupFolder); }
