#pragma once
#include "doc/download_report.h"
#include "doc/phone_image.h"
#include "jobs/job_outcome.h"
#include "phone/efs_client.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDiagLink;
class CJobControl;

// How a write goes about it: the safety rules, and which operation it is (its captions,
// questions and report).
struct SWriteSettings {
    CDownloadReport::EOperation operation = CDownloadReport::EOperation::Restore;
    std::string backupFolder;
    bool backup = true;   // first a backup of exactly what will be overwritten
    bool verify = true;   // every write read back and compared
    bool offline = false; // the phone offline before, reset after
    // Asked (with the question) whether what could not be backed up is written all the same;
    // without it, it is not.
    std::function<bool(const std::string& question)> confirmWithoutBackup;
    // What the caller left out by the operation's meaning, counted by reason, for the report.
    std::vector<std::pair<std::string, int>> skipped;
};

// The one way anything is written to the phone: records of any subscription and item files
// (their folders made), for a download, a restore or one file. Before the first write, the
// phone's current state of exactly those records and files goes into a numbered QCN in the
// backups folder, which must read back whole; nothing is written otherwise. What the phone
// holds already is not written again.
class CPhoneWrite {
public:
    CPhoneWrite(CJobControl& jobs, std::shared_ptr<CDiagLink> link);

    // Failed when anything was not written, was refused or read back different.
    SOutcome Run(const SPhoneImage& image, const SWriteSettings& settings);
    const CDownloadReport& Report() const { return m_report; }

private:
    // The job bodies.
    SOutcome BackUp(const SPhoneImage& image, const std::string& folder);
    SOutcome Write(const SPhoneImage& image, bool verify);
    // The operation's own words: its job captions, stop questions and stop reason.
    enum class EText { BackupCaption, BackupStop, WriteCaption, WriteStop, Stopped };
    std::string Text(EText which) const;
    // The backup saved and read again; false with m_report.backupError set.
    bool SaveBackup(const SNumberedBackup& saved, std::string path);
    // Everything still to be written is not, for why.
    void NotWritten(const SPhoneImage& image, const std::string& why);
    // The file written whole as its type; on ENOSPC the journal is synced and it is tried once more.
    bool WriteItemFile(const SItemFile& f);
    // A file whose write failed gets its content from the safety backup again (or goes, when
    // it was not there before); the report tells which.
    void PutBack(const SItemFile& f);
    // The phone commits its file system's journal; the report tells a refusal or a failure.
    void SyncFiles();

    CJobControl& m_jobs;
    std::shared_ptr<CDiagLink> m_link;
    CEfsClient m_efs;
    CDownloadReport m_report;
    std::vector<bool> m_writeRecord, m_writeFile;    // still to be written
    std::vector<bool> m_unreadRecord, m_unreadFile;  // their current state is not in the backup
    SNumberedBackup m_saved;                         // the safety backup as saved
    std::vector<std::string> m_absent;               // files not on the phone before the restore
    bool m_syncWaited = false;
    CDownloadReport::EOperation m_operation = CDownloadReport::EOperation::Restore;
};
