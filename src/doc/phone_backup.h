#pragma once
#include "doc/download_report.h"
#include "doc/phone_image.h"
#include "jobs/job_outcome.h"

#include <memory>
#include <string>
#include <vector>

class CDiagLink;
class CEfsClient;
struct SEfsFile;
class CJobControl;
class CNVItemArray;

// What a backup of the whole phone reads.
struct SPhoneBackupOptions {
    // -1: every subscription the phone answers; 0: the default records only; 1: and those of
    // subscription 1; 2: and those of subscriptions 1 and 2.
    int subscriptions = -1;
    // Also the IDs scanFrom..scanTo no definition names, of each subscription read, kept
    // aside as undefined records: by default every ID a phone's own tools ask for.
    static constexpr int kDefaultScanTo = 8191;
    bool scan = true;
    int scanFrom = 0, scanTo = kDefaultScanTo;
    bool files = true;
    std::vector<std::string> roots;  // folders of item files read besides /nv/item_files/
    // Item files asked for by path (NVItemFiles.def): phones hide some from their listings.
    std::vector<std::string> knownFiles;
};

// A backup of the whole phone into a numbered-items file (.qcn, or its XML form .xqcn):
// every defined item (each element of an array), the same items of the subscriptions, the
// scan, the item files below the roots and those known by path (with the copies of each
// subscription read: PATH_Subscription01, PATH_Subscription02), and Mobile_Property_Info
// from the phone's version reply.
// Records are read before the folders are walked, so a listing that breaks the link costs
// no record. A folder the phone will not list is a failed row; the walk goes on. What the
// phone does not hold (not active) is left out; what it could not give is reported, and the
// file is written all the same with everything that was read.
class CPhoneBackup {
public:
    static constexpr const char* kItemFilesRoot = "/nv/item_files/";

    CPhoneBackup(CJobControl& jobs, std::shared_ptr<CDiagLink> link, const CNVItemArray& defs);

    // Failed when anything meant to be read was not, or path could not be written.
    SOutcome Run(const std::string& path, const SPhoneBackupOptions& options);
    const CDownloadReport& Report() const { return m_report; }

private:
    // The job body: the phone into backup.
    SOutcome ReadPhone(const SPhoneBackupOptions& options, SNumberedBackup& backup);
    // The subscriptions beyond the default one to read.
    std::vector<int> Subscriptions(const SPhoneBackupOptions& options);
    // What to read: the definitions' records of each subscription, then the scan.
    std::vector<SImageRecord> Wanted(const SPhoneBackupOptions& options, const std::vector<int>& subscriptions) const;
    // The item files below the roots and those known by path (and their copies of the
    // subscriptions read), with their modes; the report tells a phone without a file
    // system and the folders that could not be listed.
    void ListItemFiles(const SPhoneBackupOptions& options, const std::vector<int>& subscriptions, CEfsClient& efs,
                       std::vector<SEfsFile>& files);

    CJobControl& m_jobs;
    std::shared_ptr<CDiagLink> m_link;
    const CNVItemArray& m_defs;
    CDownloadReport m_report;
};
