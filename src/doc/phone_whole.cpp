// The whole phone, both ways: a backup of every record and item file, and a restore of one.
#include "doc/phone_session.h"

#include "doc/backup_reader.h"
#include "doc/phone_image.h"
#include "doc/phone_write.h"
#include "jobs/job_control.h"
#include "model/item_file_defs.h"

SPhoneOutcome CPhoneSession::BackupPhone(const std::string& path, const SPhoneBackupOptions& options) {
    SPhoneBackupOptions withKnown = options;
    for (const SItemFileDef& def : m_itemFileDefs) withKnown.knownFiles.push_back(def.path);
    CPhoneBackup backup(m_jobs, m_link, m_itemDefs);
    SOutcome outcome = backup.Run(path, withKnown);
    return SPhoneOutcome(Finish(std::move(outcome)), backup.Report());
}

SPhoneOutcome CPhoneSession::Restore(const std::string& path, bool offline) {
    SBackupContent content;
    SOutcome read = ReadBackup(m_jobs, path, m_itemDefs, content);
    if (!read.IsCompleted()) return SPhoneOutcome(Finish(std::move(read)), CDownloadReport());
    // A numbered backup goes as read: what its load tells of a document's records does not apply.
    if (content.numbered.IsNumbered()) read.notes.clear();
    SPhoneOutcome outcome = RestoreImage(ImageOfBackup(std::move(content), m_itemDefs), offline);
    outcome.TakeNotes(read);
    return outcome;
}

SPhoneOutcome CPhoneSession::RestoreImage(const SPhoneImage& image, bool offline) {
    return Write(image, WriteSettings(CDownloadReport::EOperation::Restore, offline));
}

SWriteSettings CPhoneSession::WriteSettings(CDownloadReport::EOperation operation, bool offline) const {
    SWriteSettings settings;
    settings.operation = operation;
    settings.backupFolder = m_settings.backupFolder;
    settings.backup = m_settings.backupBeforeWrite;
    settings.verify = m_settings.verifyWrites;
    settings.offline = offline;
    settings.confirmWithoutBackup = m_settings.confirmWithoutBackup;
    return settings;
}

SPhoneOutcome CPhoneSession::Write(const SPhoneImage& image, const SWriteSettings& settings) {
    CPhoneWrite write(m_jobs, m_link);
    SOutcome outcome = write.Run(image, settings);
    return SPhoneOutcome(Finish(std::move(outcome)), write.Report());
}
