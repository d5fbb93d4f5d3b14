// The whole phone against a simulated modem that behaves as real ones do: item files a type of
// their own, a journal that fills until a sync, a reset that keeps only what was synced,
// hidden item files and a folder that can't be listed.
#include "doc/phone_file_change.h"
#include "doc/phone_image.h"
#include "doc/phone_write.h"
#include "files/backup_tree.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "phone_test_support.h"
#include "real_modem_backup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <set>
#include <tuple>

namespace {
using Bytes = std::vector<uint8_t>;
using EResult = CDownloadReport::EResult;
using EKind = CDownloadReport::EKind;

using RealModem::Pattern;
using RealModem::RealisticBackup;

void WriteBackup(const SNumberedBackup& backup, const std::string& path) {
    CCompoundNode tree;
    std::string error;
    ASSERT_TRUE(EncodeNumbered(backup, tree, error) && WriteBackupTree(path, tree, EBackupForm::Compound, error)) << error;
}

// The records of backup in the phone's store.
void Fill(CSimNvStore& store, const SNumberedBackup& backup) {
    for (const SNumberedRecord& r : backup.records) {
        const bool array = store.IsArray(static_cast<int>(r.id));
        store.Put(static_cast<int>(r.id), array ? r.data[0] : CSimNvStore::kPlain,
                  Bytes(r.data.begin() + (array ? 1 : 0), r.data.end()));
    }
}
}  // namespace

TEST_F(PhoneDocTest, ARealBackupRestoredOfflineOntoAnErasedModemKeepsEveryItemFileAfterTheReset) {
    const SNumberedBackup backup = RealisticBackup();
    ASSERT_EQ(backup.records.size(), 60u);
    ASSERT_EQ(backup.itemFiles.size(), 67u);
    const std::string path = m_dir + "/real.qcn";
    WriteBackup(backup, path);
    // TESSIVA_REAL_BACKUP=FILE keeps a copy, to try the command-line tool on.
    if (const char* keep = std::getenv("TESSIVA_REAL_BACKUP")) WriteBackup(backup, keep);
    SSimPhoneOptions options;
    options.efsJournal = 100;  // full after 100 writes until a sync
    StartPhone([](CSimNvStore&) {}, options);

    const SOutcome outcome = Kept(doc.Phone().Restore(path, true));
    ASSERT_TRUE(outcome.IsCompleted()) << Report().Summary();
    sim->server.Stop();
    CSimFileSystem& files = sim->phone.Files();
    EXPECT_EQ(sim->phone.Resets(), 1);
    for (const SItemFile& f : backup.itemFiles) {
        SCOPED_TRACE(f.path);
        ASSERT_NE(files.Find(f.path), nullptr);
        EXPECT_EQ(*files.Find(f.path), f.data);
        EXPECT_EQ(files.ModeOf(f.path), ModeOfItemFile(f));
    }
    for (const SNumberedRecord& r : backup.records) {
        const bool array = sim->store.IsArray(static_cast<int>(r.id));
        EXPECT_NE(sim->store.Find(static_cast<int>(r.id), array ? r.data[0] : CSimNvStore::kPlain), nullptr) << r.id;
    }
    EXPECT_EQ(files.Count(kEfsOldPut), 0u);
    // For the record: what the restore asked of the file system.
    std::printf("restore of 60 records and 67 files: %zu puts, %zu opens, %zu syncs, %zu status polls\n",
                files.Count(kEfsPut), files.Count(kEfsOpen), files.Count(kEfsSync), files.Count(kEfsSyncStatus));
}

TEST_F(PhoneDocTest, ABackupPassesAFolderThePhoneWontListAndAsksForHiddenItemFilesByPath) {
    const std::string before = "/nv/item_files/a/x", locked = "/nv/item_files/locked", after = "/nv/item_files/modem/z",
                      hidden = "/nv/item_files/modem/mmode/lte_bandpref", other = "/other/plain";
    WriteFile(m_dir + "/NVItemFiles.def", "# name;path;group;size;type\nLTE_BANDPREF;" + hidden + ";Band;8;uint64\n");
    ASSERT_TRUE(doc.LoadDefinitions().IsCompleted());
    SSimPhoneOptions options;
    options.efsUnlistable = {locked};
    options.efsHidden = {hidden, after + "_Subscription01", hidden + "_Subscription02"};
    StartPhone(
        [&](CSimNvStore& s) {
            s.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
        },
        options);
    CSimFileSystem& files = sim->phone.Files();
    for (const std::string& f : {before, locked + "/y", after, hidden, after + "_Subscription01", hidden + "_Subscription02"})
        files.PutFile(f, Pattern(10, static_cast<int>(f.size())));
    files.PutFile(other, {1, 2}, kEfsRegularType | 0600);

    SPhoneBackupOptions backupOptions;
    backupOptions.scan = false;
    backupOptions.roots = {"/other"};
    const std::string out = m_dir + "/walk.qcn";
    EXPECT_TRUE(Kept(doc.Phone().BackupPhone(out, backupOptions)).IsFailed());
    const CDownloadReport& report = Report();
    std::set<std::string> read, failed;
    for (const auto& row : report.Rows()) {
        if (row.Kind() != EKind::File) continue;
        (row.result == EResult::Read ? read : failed).insert(row.path + (row.subscription ? " of " + std::to_string(row.subscription) : ""));
    }
    // The copies of each subscription the phone answers, told by their subscription.
    EXPECT_EQ(read, (std::set<std::string>{before, after, hidden, after + "_Subscription01 of 1",
                                           hidden + "_Subscription02 of 2", other}));
    EXPECT_EQ(failed, std::set<std::string>{locked});
    EXPECT_EQ(report.Count(EResult::Read, EKind::Record), 1);  // the records are read all the same

    // The backup keeps each file's type: item files in NV_Items, the regular one with its mode.
    SPhoneImage image;
    std::string error;
    ASSERT_TRUE(ReadNumberedImage(out, doc.Definitions(), image, error)) << error;
    for (const SItemFile& f : image.files)
        EXPECT_EQ(ModeOfItemFile(f), f.path == other ? (kEfsRegularType | 0600) : (kEfsItemFileType | 0644)) << f.path;
}

TEST_F(PhoneDocTest, ABackupWithNoOptionsScansForTheRecordsNoDefinitionNames) {
    const SNumberedBackup backup = RealisticBackup();
    StartPhone([&](CSimNvStore& s) { Fill(s, backup); });
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Kept(doc.Phone().BackupPhone(m_dir + "/scan.qcn")).IsCompleted()) << Report().Summary();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(Report().Count(EResult::Read, EKind::Record), 60);
    std::printf("default-scan backup: %lld ms\n", static_cast<long long>(ms.count()));
}

TEST_F(PhoneDocTest, ARestoreSyncsAFullJournalAndTriesTheFileOnceMore) {
    // A journal of 4 writes: the records fill it, every few files fill it again.
    SNumberedBackup backup;
    backup.hasStream = {true, true, true};
    for (int i = 0; i < 12; ++i)
        backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], "/nv/item_files/f" + std::to_string(i), Pattern(5, i)));
    const std::string path = m_dir + "/journal.qcn";
    WriteBackup(backup, path);
    SSimPhoneOptions options;
    options.efsJournal = 4;
    StartPhone([](CSimNvStore&) {}, options);
    ASSERT_TRUE(Kept(doc.Phone().Restore(path, false)).IsCompleted()) << Report().Summary();
    EXPECT_EQ(Report().Count(EResult::Verified, EKind::File), 12);
    sim->server.Stop();
    EXPECT_GE(sim->phone.Files().Syncs(), 3);
}

TEST_F(PhoneDocTest, EfsWritesMakeTheTypeAskedForInOneRequestWhenItFits) {
    StartPhone();
    CEfsClient efs(doc.Phone().Link());
    struct SCase {
        const char* name;
        size_t size;
        int32_t mode;
        size_t puts, opens;  // requests of the write
    };
    const SCase cases[] = {
        {"a small item file", 100, kEfsItemFileType | 0644, 1, 0},
        {"an item file of one whole put", kEfsPutMax, kEfsItemFileType | 0644, 1, 0},
        {"a 20 KB item file", 20 * 1024, kEfsItemFileType | 0644, 0, 1},
        {"a regular file keeps its bits", 10, kEfsRegularType | 0600, 1, 0},
        {"a large regular file", 9000, kEfsRegularType | 0640, 0, 1},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/nv/item_files/new/" + std::to_string(c.size) + "_" + std::to_string(c.mode);
        const Bytes data = Pattern(c.size, 3);
        const size_t puts = efs.Requests(kEfsPut), opens = efs.Requests(kEfsOpen);
        ASSERT_TRUE(efs.WriteFile(path, data, c.mode)) << efs.LastError();
        EXPECT_EQ(efs.Requests(kEfsPut) - puts, c.puts);
        EXPECT_EQ(efs.Requests(kEfsOpen) - opens, c.opens);
        SEfsStat stat;
        ASSERT_TRUE(efs.Stat(path, stat)) << efs.LastError();
        EXPECT_EQ(stat.mode, c.mode);
        Bytes back;
        ASSERT_TRUE(efs.ReadFile(path, back)) << efs.LastError();
        EXPECT_EQ(back, data);
    }
    EXPECT_EQ(efs.Sync(), EEfsSync::Synced);
    doc.Phone().Disconnect();
    sim->server.Stop();
    EXPECT_EQ(sim->phone.Files().Count(kEfsOldPut), 0u);
}

TEST_F(PhoneDocTest, APhoneThatRefusesSyncGetsThePauseInstead) {
    SSimPhoneOptions options;
    options.efsRefuseSync = true;
    StartPhone([](CSimNvStore&) {}, options);
    CEfsClient efs(doc.Phone().Link());
    efs.SetSyncTimes(std::chrono::milliseconds(1000), std::chrono::milliseconds(20));
    EXPECT_EQ(efs.Sync(), EEfsSync::Waited);
    EXPECT_FALSE(doc.Phone().Link()->HasFailed());
}

TEST_F(PhoneDocTest, AResetKeepsOnlyWhatWasSynced) {
    StartPhone();
    CEfsClient efs(doc.Phone().Link());
    ASSERT_TRUE(efs.WriteFile("/nv/item_files/kept", {1}, kEfsItemFileType | 0644));
    ASSERT_EQ(efs.Sync(), EEfsSync::Synced);
    ASSERT_TRUE(efs.WriteFile("/nv/item_files/lost", {2}, kEfsItemFileType | 0644));
    ASSERT_TRUE(efs.RemoveFile("/nv/item_files/kept"));
    ASSERT_TRUE(doc.Phone().Link()->SetMode(kModeReset));
    SEfsStat stat;
    EXPECT_TRUE(efs.Stat("/nv/item_files/kept", stat));
    EXPECT_FALSE(efs.Stat("/nv/item_files/lost", stat));
}

TEST_F(PhoneDocTest, AFileWriteThatFailsAfterTheFileWasOpenedPutsThePreviousContentBack) {
    const std::string large = "/nv/item_files/rfnv/00020001", small = "/nv/item_files/modem/mmode/lte_bandpref";
    SNumberedBackup backup;
    backup.hasStream = {true, true, true};
    backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], large, Pattern(8000, 1)));
    backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], small, Pattern(16, 2)));
    const std::string path = m_dir + "/big.qcn";
    WriteBackup(backup, path);
    SSimPhoneOptions options;
    options.efsFull = true;  // room for no more than the phone holds now
    StartPhone([](CSimNvStore&) {}, options);
    const Bytes oldLarge = Pattern(3000, 3), oldSmall = Pattern(8, 4);
    sim->phone.Files().PutFile(large, oldLarge);
    sim->phone.Files().PutFile(small, oldSmall);

    EXPECT_TRUE(Kept(doc.Phone().Restore(path, false)).IsFailed());
    const CDownloadReport& report = Report();
    EXPECT_EQ(report.Count(EResult::Failed, EKind::File), 2);
    // Only the file the phone had opened and cut short needed putting back.
    EXPECT_EQ(report.putBack, std::vector<std::string>{large});
    EXPECT_TRUE(report.notPutBack.empty());
    const std::vector<std::string> lines = report.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Put back from the backup after a failed write: " + large),
              lines.end());
    sim->server.Stop();
    EXPECT_EQ(*sim->phone.Files().Find(large), oldLarge);
    EXPECT_EQ(*sim->phone.Files().Find(small), oldSmall);
}

// A put of a file (efs put, Phone Files) cut off at any request leaves the phone's file old
// or new, never cut short: a file larger than one put is written beside it and renamed.
TEST_F(PhoneDocTest, AFilePutCutOffAnywhereLeavesTheOldFileOrTheNewOne) {
    const std::string path = "/nv/item_files/rfnv/00020000";
    const Bytes old = Pattern(20000, 1), fresh = Pattern(24000, 2);
    doc.Phone().Settings().requestTimeoutMs = kSilentTimeoutMs;
    const auto put = [&](long silentAfter) {
        SSimLineOptions line;
        line.silentAfter = silentAfter;
        StartPhone([](CSimNvStore&) {}, {}, line);
        sim->phone.Files().PutFile(path, old);
        CEfsClient efs(doc.Phone().Link());
        CPhoneFileChange change(efs, m_dir + "/backups");
        const bool done = change.Put(path, fresh);
        const long received = sim->server.Received();
        doc.Phone().Disconnect();
        sim->server.Stop();
        const Bytes* now = sim->phone.Files().Find(path);
        return std::make_tuple(done, received, now ? *now : Bytes{});
    };
    const auto [done, all, whole] = put(-1);
    ASSERT_TRUE(done);
    ASSERT_EQ(whole, fresh);
    for (long cut = 1; cut < all; cut += all / 10) {
        SCOPED_TRACE(cut);
        const auto [cutDone, received, now] = put(cut);
        EXPECT_FALSE(cutDone);
        EXPECT_TRUE(now == old || now == fresh) << now.size() << " bytes";
    }
}

TEST_F(PhoneDocTest, ABackupsFilePathsAreCheckedBeforeAnythingIsWritten) {
    StartPhone();
    const std::string good = "/nv/item_files/ok";
    struct SCase {
        std::string path;
        const char* reason;
    };
    const SCase bad[] = {
        {"", "the path is empty"},
        {"nv/item_files/x", "the path is not absolute"},
        {"/nv/item_files/../../../etc/x", "the path has an empty, \".\" or \"..\" part"},
        {"/nv//x", "the path has an empty, \".\" or \"..\" part"},
        {"/nv/x/", "the path has an empty, \".\" or \"..\" part"},
        {"/nv/" + std::string(3000, 'a'), "the path is longer than 1024 bytes"},
        {"/nv/a\nb", "the path holds control characters"},
    };
    SPhoneImage image;
    for (const SCase& c : bad) image.files.push_back(MakeItemFile(Numbered::kAreas[0], c.path, {1}));
    image.files.push_back(MakeItemFile(Numbered::kAreas[0], good, {2}));
    CPhoneWrite restore(t.jobs, doc.Phone().Link());
    SWriteSettings settings;
    settings.backupFolder = m_dir + "/backups";
    EXPECT_TRUE(restore.Run(image, settings).IsFailed());
    const CDownloadReport& report = restore.Report();
    ASSERT_GT(report.Rows().size(), std::size(bad));  // the good file also has its backup row
    for (size_t i = 0; i < std::size(bad); ++i) {
        SCOPED_TRACE(bad[i].path);
        EXPECT_EQ(report.Rows()[i].Kind(), EKind::File);  // never "record ID 0"
        EXPECT_EQ(report.Rows()[i].result, EResult::Failed);
        EXPECT_EQ(report.Rows()[i].detail, bad[i].reason);
    }
    EXPECT_EQ(report.Count(EResult::Verified, EKind::File), 1);
    EXPECT_NE(report.Json().find("{\"path\":\"\",\"result\":\"failed\""), std::string::npos);
    sim->server.Stop();
    EXPECT_EQ(sim->phone.Files().FilePaths(), std::vector<std::string>{good});
}

TEST_F(PhoneDocTest, AWrongSubscriptionReplyIsAFailureNotAPhoneWithoutSubscriptions) {
    SSimPhoneOptions options;
    options.answerForOther = {10};  // the first defined item, which tells whether a subscription is kept
    StartPhone([](CSimNvStore& s) { s.Put(30, CSimNvStore::kPlain, {3}); }, options);
    SPhoneBackupOptions backupOptions;
    backupOptions.scan = false;
    backupOptions.files = false;
    EXPECT_TRUE(Kept(doc.Phone().BackupPhone(m_dir + "/subs.qcn", backupOptions)).IsFailed());
    const auto failed = Report().RowsOf(EResult::Failed);
    EXPECT_TRUE(std::any_of(failed.begin(), failed.end(), [](const CDownloadReport::SRow& r) {
        return r.subscription == 1 && r.detail.find("does not answer the subscription command") != std::string::npos;
    }));
}

TEST_F(PhoneDocTest, RestoringAPhonesOwnFreshBackupWritesNothingAndNeedsNoSpcCode) {
    StartPhone([](CSimNvStore& s) {
        s.Put(0, CSimNvStore::kPlain, {0x12, 0x34, 0x56, 0x78});  // the ESN: locked for writes until the SPC code
        s.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
        s.Put(20, 1, {5, 6});
    });
    sim->phone.Files().PutFile("/nv/item_files/modem/mmode/lte_bandpref", {1, 0, 0, 0, 0, 0, 0, 0});
    SPhoneBackupOptions options;
    options.scanTo = 100;
    const std::string path = m_dir + "/own.qcn";
    ASSERT_TRUE(Kept(doc.Phone().BackupPhone(path, options)).IsCompleted()) << Report().Summary();
    const size_t before = doc.Phone().Link()->Requests();
    const SOutcome outcome = Kept(doc.Phone().Restore(path, true));
    ASSERT_TRUE(outcome.IsCompleted()) << Report().Summary();
    const CDownloadReport& report = Report();
    EXPECT_EQ(report.Count(EResult::Unchanged), static_cast<int>(report.Rows().size()));
    EXPECT_EQ(report.Count(EResult::Unchanged, EKind::File), 1);
    EXPECT_TRUE(report.backupPath.empty());  // nothing overwritten, nothing to keep
    // The reads of the comparison only: 4 records, the file read and its stat, and no reset.
    EXPECT_LE(doc.Phone().Link()->Requests() - before, 12u);

    // The download of the same backup is the same protocol: nothing to write either.
    ASSERT_TRUE(doc.LoadBackup(path).IsCompleted());
    const size_t loaded = doc.Phone().Link()->Requests();
    ASSERT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted()) << Report().Summary();
    EXPECT_EQ(Report().Count(EResult::Unchanged), static_cast<int>(Report().Rows().size()));
    EXPECT_EQ(Report().Rows().size(), 2u) << Report().Summary();
    EXPECT_TRUE(Report().backupPath.empty());
    // The ESN and the two defined records read (the undefined ones are kept aside).
    EXPECT_EQ(doc.Phone().Link()->Requests() - loaded, 3u);
    sim->server.Stop();
    EXPECT_EQ(sim->phone.Resets(), 0);
}
