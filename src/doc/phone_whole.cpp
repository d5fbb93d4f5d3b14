// The whole phone, both ways: a backup of every record and item file, and a restore of one.
#include "doc/phone_session.h"

#include "doc/backup_files.h"
#include "doc/item_selection.h"
#include "doc/tree_entry_list.h"
#include "model/nv_item_array.h"
#include "doc/phone_restore.h"
#include "jobs/job_control.h"
#include "phone/qlib.h"

SOutcome CPhoneSession::BackupPhone(const std::string& path, const SPhoneBackupOptions& options) {
    CPhoneBackup backup(m_jobs, QLibLink(m_link.handle), m_itemDefs);
    const SOutcome outcome = backup.Run(path, options);
    m_report = backup.Report();
    return outcome;
}

SOutcome CPhoneSession::RestoreImage(const SPhoneImage& image, bool offline) {
    CPhoneRestore restore(m_jobs, QLibLink(m_link.handle));
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

SOutcome CPhoneSession::RestoreBackup(std::string path, bool offline) {
    // By value: path may be the last report's backup, which the new report replaces.
    m_report = CDownloadReport();
    SPhoneImage image;
    std::string error;
    if (!ReadNumberedImage(path, m_itemDefs, image, error)) {
        if (!error.empty()) return SOutcome::Fail(error);
        // Another kind: loaded as the window loads it, array elements completed.
        CNVItemArray items;
        CTreeEntryList all, selected;
        CItemSelection selection(items, all, selected);
        CBackupFiles files(m_jobs, items, m_itemDefs, selection);
        const SOutcome load = files.LoadBackup(path);
        if (!load.IsCompleted()) return load;
        image = ImageOfRecords(items, m_itemDefs);
    }
    return RestoreImage(image, offline);
}
