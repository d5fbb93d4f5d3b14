#include "doc/phone_file_change.h"

#include "doc/backup_folder.h"
#include "doc/download_report.h"
#include "jobs/text_translation.h"
#include "phone/efs_client.h"

#include <utility>

CPhoneFileChange::CPhoneFileChange(CEfsClient& efs, std::string backupFolder)
    : m_efs(efs), m_backupFolder(std::move(backupFolder)) {}

bool CPhoneFileChange::ReadOld(const std::string& path, std::vector<uint8_t>& old) {
    if (m_efs.ReadFile(path, old)) return true;
    m_error = FillText(TrText("CPhoneFileChange", "Can't back up %1: %2. The phone's file was left as it was."),
                       {path, m_efs.LastError()});
    return false;
}

bool CPhoneFileChange::KeepCopy(const std::string& path, const std::vector<uint8_t>& old) {
    std::string copy;
    if (const std::string error = SavePhoneFileCopy(m_backupFolder, path, old, copy); !error.empty()) {
        m_error = FillText(TrText("CPhoneFileChange", "Can't back up %1 into %2: %3. The phone's file was left as it was."),
                           {path, copy, error});
        return false;
    }
    m_copy = copy;
    return true;
}

bool CPhoneFileChange::Put(const std::string& path, const std::vector<uint8_t>& data, int32_t mode) {
    m_error.clear();
    m_copy.clear();
    m_unchanged = false;
    SEfsStat stat;
    const bool exists = m_efs.Stat(path, stat);
    if (!exists && m_efs.LastErrno() != kEfsNoEntry) {
        m_error = m_efs.LastError();
        return false;
    }
    if (exists && stat.IsFolder()) {
        m_error = FillText(TrText("CPhoneFileChange", "%1 is a folder on the phone; nothing was written."), {path});
        return false;
    }
    const int32_t oldMode = exists && (stat.mode & kEfsTypeMask) ? stat.mode : EfsModeOfPath(path);
    m_mode = mode ? mode : oldMode;
    std::vector<uint8_t> old;
    if (exists) {
        if (!ReadOld(path, old)) return false;
        if (old == data && (oldMode & kEfsTypeMask) == (m_mode & kEfsTypeMask)) {
            m_unchanged = true;  // no write, and no copy of what stays
            return true;
        }
        if (!KeepCopy(path, old)) return false;
    }
    bool written = m_efs.WriteFile(path, data, m_mode);
    if (!written && m_efs.LastErrno() == kEfsNoSpace) {
        // The journal may be full rather than the phone: committed, it takes the file.
        (void)m_efs.Sync();
        written = m_efs.WriteFile(path, data, m_mode);
    }
    if (!written) {
        m_error = FillText("%1.", {m_efs.LastError()});  // a reason that is a sentence ends once
        if (m_efs.LastWriteTouched()) Undo(path, exists ? &old : nullptr, oldMode);
        return false;
    }
    std::vector<uint8_t> back;
    if (!m_efs.ReadFile(path, back)) m_error = CDownloadReport::ReadBackFailedText(m_efs.LastError());
    else if (back != data) m_error = CDownloadReport::ReadBackDiffersText();
    if (!m_error.empty()) m_error = FillText(TrText("CPhoneFileChange", "%1: %2."), {path, m_error});
    else Synced(path);
    return m_error.empty();
}

void CPhoneFileChange::Synced(const std::string& path) {
    // Not committed, the change may be lost when the phone starts again.
    if (m_efs.Sync() == EEfsSync::Failed)
        m_error = FillText(TrText("CPhoneFileChange", "%1 was changed, but the phone's file system could not be synced: %2."),
                           {path, m_efs.LastError()});
}

void CPhoneFileChange::Undo(const std::string& path, const std::vector<uint8_t>* old, int32_t oldMode) {
    const bool undone = old ? m_efs.WriteFile(path, *old, oldMode)
                            : m_efs.RemoveFile(path) || m_efs.LastErrno() == kEfsNoEntry;
    if (undone) {
        (void)m_efs.Sync();
        m_error += " " + (old ? TrText("CPhoneFileChange", "The phone's old file was put back.")
                              : TrText("CPhoneFileChange", "What was written of it was removed."));
    } else {
        m_error += " " + FillText(old ? TrText("CPhoneFileChange", "The phone's old file could not be put back: %1.")
                                      : TrText("CPhoneFileChange", "What was written of it could not be removed: %1."),
                                  {m_efs.LastError()});
    }
}

bool CPhoneFileChange::Remove(const std::string& path) {
    m_error.clear();
    m_copy.clear();
    m_unchanged = false;
    SEfsStat stat;
    if (!m_efs.Stat(path, stat)) {
        m_error = m_efs.LastError();
        return false;
    }
    m_mode = stat.mode;
    std::vector<uint8_t> old;
    if (!stat.IsFolder() && !(ReadOld(path, old) && KeepCopy(path, old))) return false;
    if (!(stat.IsFolder() ? m_efs.RemoveFolder(path) : m_efs.RemoveFile(path))) {
        m_error = m_efs.LastError();
        return false;
    }
    Synced(path);
    return m_error.empty();
}
