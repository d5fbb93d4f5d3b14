#pragma once
#include "doc/download_report.h"
#include "doc/phone_backup.h"
#include "doc/phone_write.h"
#include "jobs/job_outcome.h"

#include "phone/qlib_connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

class CDiagLink;
class CJobControl;
class CNVDefineReader;
class CNVItemArray;
class CNumberedState;

// The phone: the port, the connection, upload, download and the SPC code.
class CPhoneSession {
public:
    CPhoneSession(CJobControl& jobs, const CNVItemArray& defs, CNVDefineReader& reader);

    void SetComPort(int n) { m_comPort = n; }
    int ComPort() const { return m_comPort; }
    // A device name or path; empty means the COM port number.
    void SetPortName(const std::string& device) { m_portName = device; }
    const std::string& PortName() const { return m_portName; }
    // Per request on the next connection; 0 keeps the library's.
    void SetRequestTimeout(unsigned ms) { m_timeoutMs = ms; }
    // Reads kept in flight on the next connection (1: one request at a time).
    void SetReadWindow(int window) { m_readWindow = window; }

    // Completed when the phone answers on the port; a port that can't be opened fails with
    // the library's reason and leaves no connection.
    SOutcome Connect();
    void Disconnect();
    bool IsConnected() const { return m_connection != nullptr; }
    // The open connection; null when there is none.
    CQLibConnection* Connection() const { return m_connection.get(); }
    // True when the phone still answers; otherwise the connection is closed.
    bool CheckConnected();

    // Reads the items of the list file from the phone into read: every item of the list
    // when the upload ran to its end, also when some could not be read (the outcome then
    // says so); nothing when the list could not be read or the upload was stopped.
    SOutcome Upload(const std::string& listPath, CNVItemArray& read);
    SOutcome UploadItems(const CNVItemArray& list, CNVItemArray& result);
    // Writes the active records of list, of any subscription, under the write rules of
    // RestoreImage. Failed when any record was not written, failed, was refused or read back
    // different; LastReport() tells record by record. Records of undefined items are not sent;
    // given the whole document's numbered state, the report also counts its kept-aside records
    // and item files, which a download never sends.
    SOutcome Download(const CNVItemArray& list, const CNumberedState* wholeDocument = nullptr);
    const CDownloadReport& LastReport() const { return m_report; }
    void ClearReport() { m_report = CDownloadReport(); }

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
    // The whole phone into path (.qcn, .xqcn); LastReport() tells record by record and file
    // by file.
    SOutcome BackupPhone(const std::string& path, const SPhoneBackupOptions& options);
    // Writes every record and item file of image under the write rules (CPhoneWrite): first,
    // when backups are on, the phone's state of exactly what will be overwritten goes to a
    // numbered QCN in the backup folder, which must read back whole (nothing is written
    // otherwise); what could not be read is written only when the confirmation says so; what
    // the phone holds already is not written; each write is read back when verification is
    // on. With offline, the phone goes offline before and is reset after.
    SOutcome RestoreImage(const SPhoneImage& image, bool offline);
    // Failed with the reason when the phone did not take the code.
    SOutcome SendSpcCode(const std::string& code);

private:
    // The link of the connection; null when there is none.
    std::shared_ptr<CDiagLink> Link() const;
    // The library's handle of the connection; null when there is none.
    void* Handle() const { return m_connection ? m_connection->Handle() : nullptr; }
    SWriteSettings WriteSettings(CDownloadReport::EOperation operation, bool offline) const;
    SOutcome Write(const SPhoneImage& image, const SWriteSettings& settings);

    CJobControl& m_jobs;
    const CNVItemArray& m_itemDefs;
    CNVDefineReader& m_defReader;
    int32_t m_comPort = 0;
    std::string m_portName;
    unsigned m_timeoutMs = 0;
    int m_readWindow = 1;
    std::unique_ptr<CQLibConnection> m_connection;
    std::string m_backupFolder;
    bool m_backupBeforeDownload = true;
    bool m_verifyWrites = true;
    CDownloadReport m_report;
    FConfirm m_confirmWithoutBackup;
};
