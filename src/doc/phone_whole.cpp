// The whole phone, both ways: a backup of every record and item file, and a restore of one.
#include "doc/phone_session.h"

#include "doc/phone_write.h"
#include "jobs/job_control.h"
#include "phone/qlib.h"

SOutcome CPhoneSession::BackupPhone(const std::string& path, const SPhoneBackupOptions& options) {
    CPhoneBackup backup(m_jobs, QLibLink(Handle()), m_itemDefs);
    const SOutcome outcome = backup.Run(path, options);
    m_report = backup.Report();
    return outcome;
}

SOutcome CPhoneSession::RestoreImage(const SPhoneImage& image, bool offline) {
    return Write(image, WriteSettings(CDownloadReport::EOperation::Restore, offline));
}

SWriteSettings CPhoneSession::WriteSettings(CDownloadReport::EOperation operation, bool offline) const {
    SWriteSettings settings;
    settings.operation = operation;
    settings.backupFolder = m_backupFolder;
    settings.backup = m_backupBeforeDownload;
    settings.verify = m_verifyWrites;
    settings.offline = offline;
    settings.confirmWithoutBackup = m_confirmWithoutBackup;
    return settings;
}

SOutcome CPhoneSession::Write(const SPhoneImage& image, const SWriteSettings& settings) {
    CPhoneWrite write(m_jobs, QLibLink(Handle()));
    const SOutcome outcome = write.Run(image, settings);
    m_report = write.Report();
    return outcome;
}
