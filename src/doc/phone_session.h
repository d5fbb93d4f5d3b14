#pragma once
#include "job_outcome.h"

#include <cstdint>
#include <string>

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
    // Writes the active records of list. Failed when any write failed or was refused.
    SOutcome Download(const CNVItemArray& list);
    SOutcome DownloadItems(const CNVItemArray& list);
    // False when the phone did not take the code (after the message).
    bool SendSpcCode(const std::string& code);

private:
    CJobControl& m_jobs;
    SLink m_link;
    CNVItemArray& m_items;
    const CNVItemArray& m_itemDefs;
    CNVDefineReader& m_defReader;
    CBackupFiles& m_files;
    CItemSelection& m_selection;
};
