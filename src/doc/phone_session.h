#pragma once
#include "doc/download_report.h"
#include "doc/phone_backup.h"
#include "jobs/job_outcome.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>

class CBackupFiles;
class CItemSelection;
class CJobControl;
class CNVDefineReader;
class CNVItemArray;

// The phone: the port, the connection, upload, download and the SPC code. The handle and
// the port live in the document under the names the rest of the program knows.
class CPhoneSession {
public:
    struct SLink {
        void*& handle;         // null when not connected
        int32_t& comPort;      // "Com n"
        std::string& portName; // a device name or path; empty means comPort
        unsigned& timeoutMs;   // per request on the next connection; 0 keeps the library's
    };
    CPhoneSession(CJobControl& jobs, SLink link, CNVItemArray& items, const CNVItemArray& defs,
                  CNVDefineReader& reader, CBackupFiles& files, CItemSelection& selection);

    bool Connect();
    bool Disconnect();
    bool CheckConnected();

    // Reads the items of the list file from the phone. The records replace the document's
    // when the upload ran to its end (taken is then true), also when some could not be read.
    SOutcome Upload(const std::string& listPath, bool& taken);
    SOutcome UploadItems(const CNVItemArray& list, CNVItemArray& result);
    // Writes the active records of list: first, when backups are on, the phone's values of
    // exactly those records go to a CNV file in the backup folder, which must read back whole
    // (nothing is written otherwise); a record whose value could not be read is written only
    // when the confirmation says so. Each accepted write is read back when verification is on.
    // Failed when any record was not written, failed, was refused or read back different;
    // LastReport() tells record by record. Records of undefined items are not sent; with
    // wholeDocument the report also counts the document's kept-aside records and item files,
    // which a download never sends.
    SOutcome Download(const CNVItemArray& list, bool wholeDocument = false);
    // The job bodies: the reads and the save of the backup, and the writes.
    SOutcome BackUpItems(const CNVItemArray& list);
    SOutcome DownloadItems(const CNVItemArray& list);
    const CDownloadReport& LastReport() const { return m_report; }

    // The folder of the backups made before downloads; the front end gives it.
    void SetBackupFolder(const std::string& folder) { m_backupFolder = folder; }
    const std::string& BackupFolder() const { return m_backupFolder; }
    void SetBackupBeforeDownload(bool on) { m_backupBeforeDownload = on; }
    bool BacksUpBeforeDownload() const { return m_backupBeforeDownload; }
    void SetVerifyWrites(bool on) { m_verifyWrites = on; }
    // Asked (with the question) whether records that could not be backed up are written all
    // the same; without it they are not.
    using FConfirm = std::function<bool(const std::string& question)>;
    void SetConfirmWritesWithoutBackup(FConfirm confirm) { m_confirmWithoutBackup = std::move(confirm); }
    bool VerifiesWrites() const { return m_verifyWrites; }
    // The newest backup of the folder, empty when there is none.
    std::string LastBackupPath() const;
    // Writes the whole backup at path (any kind: every subscription's records, kept-aside
    // records, item files) with RestoreImage; the document's records stay as they are.
    SOutcome RestoreBackup(std::string path, bool offline = false);
    // The whole phone into path (.qcn, .xqcn); LastReport() tells record by record and file
    // by file.
    SOutcome BackupPhone(const std::string& path, const SPhoneBackupOptions& options);
    // Writes every record and item file of image under the download's safety rules (the
    // backup, verification and confirmation settings above); with offline, the phone goes
    // offline before and is reset after.
    SOutcome RestoreImage(const SPhoneImage& image, bool offline);
    // False when the phone did not take the code (after the message).
    bool SendSpcCode(const std::string& code);

private:
    bool ConfirmWritesWithoutBackup();

    CJobControl& m_jobs;
    SLink m_link;
    CNVItemArray& m_items;
    const CNVItemArray& m_itemDefs;
    CNVDefineReader& m_defReader;
    CBackupFiles& m_files;
    CItemSelection& m_selection;
    std::string m_backupFolder;
    bool m_backupBeforeDownload = true;
    bool m_verifyWrites = true;
    CDownloadReport m_report;
    FConfirm m_confirmWithoutBackup;
    std::set<std::pair<int, int>> m_notBackedUp;  // (ID, index) of the last backup's unread records
};
