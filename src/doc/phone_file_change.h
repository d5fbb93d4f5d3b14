#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CEfsClient;

// One file of the phone replaced or removed, the same for the CLI's `efs put` and `efs rm`
// and the window's Phone Files: the phone's file is first copied into the backups folder
// (nothing changes when it can't be), then written and read back, or removed, then the
// phone's journal is synced. A write that fails after it touched the file puts the old
// content back (or removes what a new file left).
class CPhoneFileChange {
public:
    CPhoneFileChange(CEfsClient& efs, std::string backupFolder);

    // Creates or replaces path with data as mode says; mode 0 keeps the existing file's
    // type, or takes the one of its path (EfsModeOfPath). Nothing is written when the phone
    // holds those bytes as that type already (Unchanged()).
    bool Put(const std::string& path, const std::vector<uint8_t>& data, int32_t mode = 0);
    // A file, or an empty folder (no copy of a folder is needed).
    bool Remove(const std::string& path);

    // Of the last call: why it failed (a sentence), where the old file was copied (empty when
    // there was none), the mode written, and whether the bytes were already there.
    const std::string& Error() const { return m_error; }
    const std::string& CopyPath() const { return m_copy; }
    int32_t Mode() const { return m_mode; }
    bool Unchanged() const { return m_unchanged; }

private:
    // The phone's file read, and copied into the backups folder; false with m_error set.
    bool ReadOld(const std::string& path, std::vector<uint8_t>& old);
    bool KeepCopy(const std::string& path, const std::vector<uint8_t>& old);
    // The phone's journal committed; m_error says so when it could not be.
    void Synced(const std::string& path);
    // After a write that failed: the old content back, or the new file's remains removed.
    void Undo(const std::string& path, const std::vector<uint8_t>* old, int32_t oldMode);

    CEfsClient& m_efs;
    std::string m_backupFolder;
    std::string m_error, m_copy;
    int32_t m_mode = 0;
    bool m_unchanged = false;
};
