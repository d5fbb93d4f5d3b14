// The rules every write to a phone keeps, whichever operation of the document writes (the
// download of its records, the restore of a backup) and whatever it writes (records of any
// subscription, item files): no write without a backup, what the backup lacks is written only
// when confirmed, each write is read back, and a value is written whole or not at all.
#include "files/backup_tree.h"
#include "files/cnv_file.h"
#include "files/numbered_backup.h"
#include "phone_test_support.h"

#include <functional>
#include <optional>

namespace {
using Bytes = std::vector<uint8_t>;
using EResult = CDownloadReport::EResult;

const std::string kFile = "/nv/item_files/conf";

// A plain item of 128 bytes and an array of 127-byte elements besides the usual ones.
class WriteSafety : public PhoneDocTest {
protected:
    void SetUp() override {
        PhoneDocTest::SetUp();
        WriteFile(m_dir + "/NVItemsDefine.def",
                  std::string(kPhoneTestDefinitions) + "Full;90;nv90;Delta;80;uint8\nElements;91;nv91;Delta;7f[2];uint8\n");
        ASSERT_TRUE(doc.LoadDefinitions().IsCompleted());
    }

    // What was on the phone: 10 and 20[0] in subscriptions 0..2, and the item file.
    void StartFilledPhone(const SSimPhoneOptions& options = {}) {
        StartPhone(
            [](CSimNvStore& s) {
                s.Put(10, CSimNvStore::kPlain, {9, 9, 9, 9});
                s.Put(20, 0, {1, 1});
            },
            options);
        for (int sub = 1; sub < CSimPhone::kSubscriptions; ++sub)
            sim->phone.Subscription(sub).Put(10, CSimNvStore::kPlain, Bytes(4, static_cast<uint8_t>(0x90 + sub)));
        sim->phone.Files().PutFile(kFile, {1, 2, 3});
    }

    // A numbered backup of new values: 10 and 20[0], 10 of subscriptions 1 and 2, the item file.
    std::string NumberedBackup() {
        SNumberedBackup backup;
        backup.hasStream = {true, true, true};
        const auto add = [&](uint32_t id, int sub, Bytes data) {
            SNumberedRecord r;
            r.id = id;
            r.subscription = sub;
            std::copy(data.begin(), data.end(), r.data.begin());
            backup.records.push_back(r);
        };
        add(10, 0, {1, 2, 3, 4});
        add(20, 0, {0, 0xA0, 0xA1});
        add(10, 1, {0x11, 0x11, 0x11, 0x11});
        add(10, 2, {0x22, 0x22, 0x22, 0x22});
        backup.itemFiles.push_back(MakeItemFile("NV_Items", kFile, {7, 7}));
        CCompoundNode tree;
        std::string error;
        const std::string path = m_dir + "/new.qcn";
        EXPECT_TRUE(EncodeNumbered(backup, tree, error) && WriteBackupTree(path, tree, EBackupForm::Compound, error)) << error;
        return path;
    }
    // The same records for the document to download: subscription 0's only.
    void SetDownloadRecords() {
        CNVItemArray items;
        CNVItem ten, twenty;
        ten.SetId(10);
        ten.SetName("Plain Ten");
        ten.SetValue({1, 2, 3, 4});
        ten.SetActive(1);
        twenty.SetId(20);
        twenty.SetIndex(0);
        twenty.SetCount(3);
        twenty.SetName("Array Twenty [ 0 ]");
        twenty.SetValue({0xA0, 0xA1});
        twenty.SetActive(1);
        items.Add(ten);
        items.Add(twenty);
        ASSERT_TRUE(doc.SetRecords(items).IsCompleted());
    }

    // What each of the phone's values is now: "old", "new" or something else.
    std::map<std::string, std::string> Changes() {
        sim->server.Stop();
        const auto state = [](const Bytes* now, const Bytes& old, const Bytes& fresh) {
            return !now ? "none" : *now == old ? "old" : *now == fresh ? "new" : "other";
        };
        std::map<std::string, std::string> changes;
        changes["10"] = state(sim->store.Find(10, CSimNvStore::kPlain), {9, 9, 9, 9}, {1, 2, 3, 4});
        changes["20"] = state(sim->store.Find(20, 0), {1, 1}, {0xA0, 0xA1});
        changes["sub1"] = state(sim->phone.Subscription(1).Find(10, CSimNvStore::kPlain), Bytes(4, 0x91), Bytes(4, 0x11));
        changes["sub2"] = state(sim->phone.Subscription(2).Find(10, CSimNvStore::kPlain), Bytes(4, 0x92), Bytes(4, 0x22));
        changes["file"] = state(sim->phone.Files().Find(kFile), {1, 2, 3}, {7, 7});
        return changes;
    }
};
}  // namespace

TEST_F(WriteSafety, EveryWriteKeepsTheRulesForRecordsAndItemFilesAlike) {
    const auto declined = [](std::vector<std::string>& asked) {
        return [&asked](const std::string& q) { return asked.push_back(q), false; };
    };
    const auto confirmed = [](std::vector<std::string>& asked) {
        return [&asked](const std::string& q) { return asked.push_back(q), true; };
    };
    using FAnswer = std::function<SPhoneSettings::FConfirm(std::vector<std::string>&)>;
    const struct {
        const char* name;
        std::function<void(SSimPhoneOptions&)> phone;
        bool noBackupFolder;
        FAnswer answer;  // null: nobody to ask
        bool verify;
        // 10, 20[0], 10 of subscriptions 1 and 2, the file: N new, . old, x other (reported)
        std::string changed;
        size_t asked;
        bool completed;
    } cases[] = {
        {"all well", [](auto&) {}, false, nullptr, true, "NNNNN", 0, true},
        {"no backup, no write", [](auto&) {}, true, confirmed, true, ".....", 0, false},
        {"unread, nobody to ask", [](auto& o) { o.unreadable = {10}, o.efsFail = {kFile}; }, false, nullptr, true, ".N...", 0, false},
        {"unread, declined", [](auto& o) { o.unreadable = {10}, o.efsFail = {kFile}; }, false, declined, true, ".N...", 1, false},
        // (what could not be read for the backup could not be read back either)
        {"unread, confirmed", [](auto& o) { o.readStatus = {{10, kNvFailed}}; }, false, confirmed, false, "NNNNN", 1, true},
        {"read-back differs", [](auto& o) { o.corruptWrites = {10}; }, false, nullptr, true, "xNxxN", 0, false},
    };
    for (bool restore : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(restore ? "restore: " : "download: ") + c.name);
            SSimPhoneOptions options;
            c.phone(options);
            StartFilledPhone(options);
            const std::string backup = NumberedBackup();
            SetDownloadRecords();
            doc.Phone().Settings().backupFolder = m_dir + (c.noBackupFolder ? "/def.csv/backups" : "/backups");
            WriteFile(m_dir + "/def.csv", "");
            std::vector<std::string> asked;
            doc.Phone().Settings().confirmWithoutBackup = c.answer ? c.answer(asked) : nullptr;
            doc.Phone().Settings().verifyWrites = c.verify;
            const SOutcome outcome = restore ? Kept(doc.Phone().Restore(backup)) : Kept(doc.Download(CTessivaDoc::EScope::AllActive));
            EXPECT_EQ(outcome.IsCompleted(), c.completed) << outcome.reason;
            EXPECT_EQ(asked.size(), c.asked);
            const std::map<std::string, std::string> changes = Changes();
            const char* keys[] = {"10", "20", "sub1", "sub2", "file"};
            for (size_t k = 0; k < 5; ++k) {
                // The download writes subscription 0's records alone.
                const char want = !restore && k >= 2 ? '.' : c.changed[k];
                SCOPED_TRACE(keys[k]);
                if (want == 'N') EXPECT_EQ(changes.at(keys[k]), "new");
                else if (want == '.') EXPECT_EQ(changes.at(keys[k]), "old");
                else EXPECT_EQ(changes.at(keys[k]), "other");  // written, and reported
            }
            if (c.changed[0] == 'x') {
                const auto failed = Report().RowsOf(EResult::Failed);
                ASSERT_EQ(failed.size(), restore ? 3u : 1u);
                for (const auto& row : failed) EXPECT_EQ(row.detail, "read-back differs");
            }
            if (c.noBackupFolder) {
                EXPECT_EQ(Report().Count(EResult::NotWritten), restore ? 5 : 2);
            }
            doc.Phone().Settings().confirmWithoutBackup = nullptr;
            doc.Phone().Settings().verifyWrites = true;
            doc.Phone().Disconnect();
            sim.reset();
        }
    }
}

// A value goes whole in one 128-byte request (an element's index takes the first byte), or
// it is not sent: never cut to fit.
TEST_F(WriteSafety, ValuesUpTo128BytesAreWrittenWholeAndLongerOnesNever) {
    const struct {
        int id, index;
        size_t size;
        bool fits;
    } cases[] = {
        {90, -1, 127, true}, {90, -1, 128, true}, {90, -1, 129, false},
        {91, 1, 126, true},  {91, 1, 127, true},  {91, 1, 128, false},
    };
    for (bool restore : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(restore ? "restore " : "download ") + std::to_string(c.id) + " of " + std::to_string(c.size));
            StartPhone();
            Bytes value(c.size);
            for (size_t i = 0; i < c.size; ++i) value[i] = static_cast<uint8_t>(0x80 + i);
            SOutcome outcome;
            if (restore) {
                const std::string path = m_dir + "/long.cnv";
                CCnvFile file;
                ASSERT_TRUE(file.Create(path) && file.WriteRecord(static_cast<uint16_t>(c.id), value, c.index) && file.Finish());
                outcome = Kept(doc.Phone().Restore(path));
            } else {
                CNVItem r;
                r.SetId(c.id);
                r.SetIndex(c.index);
                r.SetCount(c.index >= 0 ? 2 : 0);
                r.SetValue(value);
                r.SetActive(1);
                CNVItemArray items;
                items.Add(r);
                ASSERT_TRUE(doc.SetRecords(items).IsCompleted());
                outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
            }
            EXPECT_EQ(outcome.IsCompleted(), c.fits) << outcome.reason;
            EXPECT_EQ(Report().Count(EResult::Verified), c.fits ? 1 : 0) << Report().Summary();
            sim->server.Stop();
            const Bytes* held = sim->store.Find(c.id, c.index >= 0 ? c.index : CSimNvStore::kPlain);
            if (c.fits) {
                ASSERT_NE(held, nullptr);
                EXPECT_EQ(Bytes(held->begin(), held->begin() + static_cast<std::ptrdiff_t>(std::min(held->size(), c.size))), value);
                EXPECT_GE(held->size(), c.size);
            } else {
                EXPECT_EQ(held, nullptr);
            }
            doc.Phone().Disconnect();
            sim.reset();
        }
    }
}

// The download and the restore of one backup write the same: its subscription records too.
TEST_F(WriteSafety, TheDownloadOfANumberedBackupWritesItsSubscriptionRecordsAsTheRestoreDoes) {
    StartFilledPhone();
    ASSERT_TRUE(doc.LoadBackup(NumberedBackup()).IsCompleted());
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted()) << Report().Summary();
    const std::map<std::string, std::string> changes = Changes();
    EXPECT_EQ(changes.at("sub1"), "new");
    EXPECT_EQ(changes.at("sub2"), "new");
}

// A backup of a dual-SIM phone restored onto a phone without its subscriptions: the
// subscriptions' copies of an item file are not written (nothing would read them), the rest is.
TEST_F(WriteSafety, SubscriptionCopiesOfItemFilesGoOnlyToAPhoneThatKeepsTheSubscription) {
    SNumberedBackup backup;
    backup.hasStream = {true, true, true};
    for (int sub = 0; sub < 3; ++sub) {
        SNumberedRecord r;
        r.id = 10;
        r.subscription = sub;
        r.data.fill(static_cast<uint8_t>(0x40 + sub));
        backup.records.push_back(r);
        backup.itemFiles.push_back(MakeItemFile("NV_Items", sub == 0 ? kFile : kFile + "_Subscription0" + std::to_string(sub),
                                                {static_cast<uint8_t>(sub)}));
    }
    CCompoundNode tree;
    std::string error;
    const std::string path = m_dir + "/dual.qcn";
    ASSERT_TRUE(EncodeNumbered(backup, tree, error) && WriteBackupTree(path, tree, EBackupForm::Compound, error)) << error;
    for (const bool keeps : {true, false}) {
        SCOPED_TRACE(keeps ? "a phone that keeps subscriptions 1 and 2" : "a phone without subscriptions");
        SSimPhoneOptions options;
        options.subscriptions = keeps;
        StartFilledPhone(options);
        const SPhoneOutcome outcome = doc.Phone().Restore(path);
        std::string notWritten;
        for (const auto& row : outcome.report.RowsOf(EResult::NotWritten))
            if (row.file) notWritten += row.path + ": " + row.detail + "\n";
        for (int sub = 1; sub < 3; ++sub) {
            const std::string copy = kFile + "_Subscription0" + std::to_string(sub);
            EXPECT_EQ(sim->phone.Files().Find(copy) != nullptr, keeps) << copy;
            const std::string row = copy + ": the phone does not keep subscription " + std::to_string(sub) + "\n";
            EXPECT_EQ(notWritten.find(row) != std::string::npos, !keeps) << notWritten;
        }
        ASSERT_NE(sim->phone.Files().Find(kFile), nullptr);
        EXPECT_EQ(*sim->phone.Files().Find(kFile), Bytes{0});
        EXPECT_EQ(outcome.IsCompleted(), keeps) << outcome.report.Summary();
        doc.Phone().Disconnect();
        sim.reset();
    }
}
