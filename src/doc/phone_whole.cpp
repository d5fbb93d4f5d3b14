// The whole phone, both ways: a backup of every record and item file, and a restore of one.
#include "doc/phone_session.h"

#include "doc/phone_restore.h"
#include "jobs/job_control.h"
#include "phone/qlib.h"

SOutcome CPhoneSession::BackupPhone(const std::string& path, const SPhoneBackupOptions& options) {
    CPhoneBackup backup(m_jobs, QLibLink(Handle()), m_itemDefs);
    const SOutcome outcome = backup.Run(path, options);
    m_report = backup.Report();
    return outcome;
}

SOutcome CPhoneSession::RestoreImage(const SPhoneImage& image, bool offline) {
    CPhoneRestore restore(m_jobs, QLibLink(Handle()));
    SRestoreSettings settings;
    settings.backupFolder = m_backupFolder;
    settings.backup = m_backupBeforeDownload;
    settings.verify = m_verifyWrites;
    settings.offline = offline;
    settings.confirmWithoutBackup = m_confirmWithoutBackup;
    const SOutcome outcome = restore.Run(image, settings);
    m_report = restore.Report();
    return outcome;
}
