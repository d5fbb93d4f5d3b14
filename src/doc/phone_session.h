#pragma once
#include "doc/phone_backup.h"
#include "doc/phone_outcome.h"
#include "doc/phone_settings.h"
#include "doc/phone_write.h"
#include "jobs/job_outcome.h"

#include <memory>
#include <string>
#include <vector>

class CDiagLink;
class CJobControl;
class CNVDefineReader;
class CNVItemArray;
class CNumberedState;
struct SItemFileDef;

// The phone: its connection and every operation on it (upload, download, restore, the
// whole-phone backup, the SPC code). The settings say how it is reached and written; each
// operation returns how it ended with the notes of its steps; the writes and the backup
// return their report with it.
class CPhoneSession {
public:
    // The definitions and item-file definitions are the document's, read where they are.
    CPhoneSession(CJobControl& jobs, const CNVItemArray& defs, const std::vector<SItemFileDef>& fileDefs,
                  CNVDefineReader& reader);
    ~CPhoneSession();
    CPhoneSession(const CPhoneSession&) = delete;
    CPhoneSession& operator=(const CPhoneSession&) = delete;

    SPhoneSettings& Settings() { return m_settings; }
    const SPhoneSettings& Settings() const { return m_settings; }

    // Completed when the phone answers on the port; a port that can't be opened fails with
    // the reason and leaves no connection.
    SOutcome Connect();
    void Disconnect();
    bool IsConnected() const { return m_link != nullptr; }
    // True when the phone still answers; otherwise the connection is closed.
    bool CheckConnected();
    // The link of the connection, for clients of further commands (the phone's file
    // system); null when not connected.
    std::shared_ptr<CDiagLink> Link() const { return m_link; }

    // Reads the items of the list file from the phone into read: every item of the list
    // when the upload ran to its end, also when some could not be read (the outcome then
    // says so); nothing when the list could not be read or the upload was stopped.
    SOutcome Upload(const std::string& listPath, CNVItemArray& read);
    SOutcome UploadItems(const CNVItemArray& list, CNVItemArray& result);
    // Writes the active records of list, of any subscription, under the write rules of
    // RestoreImage. Failed when any record was not written, failed, was refused or read back
    // different; the report tells record by record. Records of undefined items are not sent;
    // given the whole document's numbered state, the report also counts its kept-aside records
    // and item files, which a download never sends.
    SPhoneOutcome Download(const CNVItemArray& list, const CNumberedState* wholeDocument = nullptr);
    // Writes the whole backup at path (any kind, read once): the records of every
    // subscription, kept-aside records and item files, under the rules of RestoreImage.
    SPhoneOutcome Restore(const std::string& path, bool offline = false);
    // Writes every record and item file of image under the write rules (CPhoneWrite): first,
    // when backups are on, the phone's state of exactly what will be overwritten goes to a
    // numbered QCN in the backup folder, which must read back whole (nothing is written
    // otherwise); what could not be read is written only when the confirmation says so; what
    // the phone holds already is not written; each write is read back when verification is
    // on. With offline, the phone goes offline before and is reset after.
    SPhoneOutcome RestoreImage(const SPhoneImage& image, bool offline);
    // The whole phone into path (.qcn, .xqcn): every defined record, the subscriptions', the
    // scan and the item files (those NVItemFiles.def names among them), as options say.
    SPhoneOutcome BackupPhone(const std::string& path, const SPhoneBackupOptions& options = {});
    // Failed with the reason when the phone did not take the code.
    SOutcome SendSpcCode(const std::string& code);

    // The newest backup of the backup folder, empty when there is none.
    std::string LastBackupPath() const;

private:
    // The outcome with the notes its steps left, in the order they were made.
    SOutcome Finish(SOutcome outcome);
    SWriteSettings WriteSettings(CDownloadReport::EOperation operation, bool offline) const;
    SPhoneOutcome Write(const SPhoneImage& image, const SWriteSettings& settings);

    CJobControl& m_jobs;
    const CNVItemArray& m_itemDefs;
    const std::vector<SItemFileDef>& m_itemFileDefs;
    CNVDefineReader& m_defReader;
    SPhoneSettings m_settings;
    std::shared_ptr<CDiagLink> m_link;
};
