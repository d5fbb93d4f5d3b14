#include "doc/phone_image.h"
#include "files/cnv_file.h"
#include "phone/diag_commands.h"
#include "phone_test_support.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <map>

namespace {
using Bytes = std::vector<uint8_t>;
using EResult = CDownloadReport::EResult;

CNVItem Record(int id, int index, int count, const Bytes& value, int16_t active, const std::string& name) {
    CNVItem r;
    r.SetId(id);
    r.SetIndex(index);
    r.SetCount(count);
    r.SetValue(value);
    r.SetActive(active);
    r.SetName(name);
    return r;
}

// Records of a loaded file: active and inactive ones, an empty one and array elements.
CNVItemArray LoadedItems() {
    CNVItemArray items;
    items.Add(Record(10, -1, 0, {1, 2, 3, 4}, 1, "Plain Ten"));
    items.Add(Record(20, 0, 3, {0xA0, 0xA1}, 1, "Array Twenty [ 0 ]"));
    items.Add(Record(20, 1, 3, {0xB0, 0xB1}, 0, "Array Twenty [ 1 ]"));
    items.Add(Record(20, 2, 3, {0xC0, 0xC1}, 1, "Array Twenty [ 2 ]"));
    items.Add(Record(30, -1, 0, {3}, -1, "Thirty"));
    items.Add(Record(31, -1, 0, {}, 1, "Thirty One"));
    items.Add(Record(40, -1, 0, {4, 4}, 1, "Forty"));
    items.Add(Record(50, -1, 0, {5, 5, 5}, 1, "Fifty"));
    return items;
}

// The records of a numbered backup by ID and index (-1 for a plain item), their trailing
// zeros left out.
std::map<std::pair<int, int>, Bytes> BackupRecords(const std::string& path, const CNVItemArray& defs) {
    std::map<std::pair<int, int>, Bytes> records;
    SPhoneImage image;
    std::string error;
    EXPECT_TRUE(ReadNumberedImage(path, defs, image, error)) << path << ": " << error;
    for (const SImageRecord& r : image.records) {
        Bytes data(r.record.data.begin() + (r.index >= 0 ? 1 : 0), r.record.data.end());
        while (!data.empty() && data.back() == 0) data.pop_back();
        records[{static_cast<int>(r.record.id), r.index}] = data;
    }
    return records;
}

// After the records, the phone commits its file system: the hello, the sync and its status.
constexpr int kSyncRequests = 4;
}  // namespace

TEST_F(PhoneDocTest, DownloadWritesOnlyActiveRecordsWithValues) {
    StartPhone();
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted());
    EXPECT_TRUE(t.frontend.Messages().empty());
    EXPECT_EQ(t.frontend.captions.back(), "Download NV Items to Mobile Phone");
    EXPECT_EQ(t.frontend.range.load(), 5);
    // The probe, the ESN, five reads for the backup, five writes and their five read-backs.
    EXPECT_EQ(sim->server.Received(), 1 + 1 + 5 + 5 + 5 + kSyncRequests);
    EXPECT_EQ(Report().Count(EResult::Verified), 5);
    sim->server.Stop();
    EXPECT_EQ(sim->store.Count(), 5u);
    EXPECT_EQ(*sim->store.Find(10, CSimNvStore::kPlain), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(*sim->store.Find(20, 0), (Bytes{0xA0, 0xA1}));
    EXPECT_EQ(*sim->store.Find(20, 2), (Bytes{0xC0, 0xC1}));
    EXPECT_EQ(sim->store.Find(20, 1), nullptr);
    EXPECT_EQ(sim->store.Find(30, CSimNvStore::kPlain), nullptr);
    EXPECT_EQ(sim->store.Find(31, CSimNvStore::kPlain), nullptr);
    // The database is not touched.
    EXPECT_EQ(doc.Items(), LoadedItems());
}

TEST_F(PhoneDocTest, SubscriptionRecordsAreSentToTheirSubscription) {
    StartPhone();
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    CNVItemArray items = LoadedItems();
    CNVItem other = Record(10, -1, 0, {9, 9, 9, 9}, 1, "Subscription 1: Plain Ten");
    other.SetSubscription(1);
    items.Add(other);
    ASSERT_TRUE(doc.SetRecords(items).IsCompleted());
    const SOutcome outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
    EXPECT_TRUE(outcome.IsCompleted()) << outcome.reason;
    // probe, ESN, backup reads, writes, read-backs
    EXPECT_EQ(sim->server.Received(), 1 + 1 + 6 + 6 + 6 + kSyncRequests);
    EXPECT_TRUE(t.frontend.Messages().empty());
    EXPECT_TRUE(outcome.notes.empty());
    sim->server.Stop();
    EXPECT_EQ(*sim->store.Find(10, CSimNvStore::kPlain), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(*sim->phone.Subscription(1).Find(10, CSimNvStore::kPlain), (Bytes{9, 9, 9, 9}));
}

// A value longer than its definition goes whole and is verified whole; a record of an item
// no definition names is not sent, and the report counts it with the reason.
TEST_F(PhoneDocTest, DownloadWritesWholeValuesAndCountsWhatItSkips) {
    StartPhone();
    CNVItemArray records;
    records.Add(Record(10, -1, 0, {1, 2, 3, 4, 0, 2}, 1, "Plain Ten"));
    records.Add(Record(7777, 0, 0, {5}, 1, "NV Item 7777"));
    ASSERT_TRUE(doc.SetRecords(records).IsCompleted());
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted());
    const CDownloadReport& report = Report();
    EXPECT_EQ(report.Count(EResult::Verified), 1);
    EXPECT_NE(report.Summary().find("1 skipped (kept aside: not defined)"), std::string::npos) << report.Summary();
    EXPECT_NE(report.Json().find("\"skipped\":[{\"reason\":\"kept aside: not defined\",\"count\":1}]"),
              std::string::npos);
    sim->server.Stop();
    EXPECT_EQ(*sim->store.Find(10, CSimNvStore::kPlain), (Bytes{1, 2, 3, 4, 0, 2}));
    EXPECT_EQ(sim->store.Find(7777, CSimNvStore::kPlain), nullptr);
}

TEST_F(PhoneDocTest, WriteProtectedRecordsAreReportedAndTheJobGoesOn) {
    SSimPhoneOptions options;
    options.readOnly = {20, 40};
    StartPhone([](CSimNvStore&) {}, options);
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    // The job runs to its end, but a download that left records unwritten is no success.
    const SOutcome outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
    EXPECT_TRUE(outcome.IsFailed());
    EXPECT_TRUE(outcome.failed.empty());
    ASSERT_EQ(outcome.refused.size(), 3u);
    EXPECT_EQ(outcome.refused[2].id, 40);
    EXPECT_TRUE(t.frontend.lastCompleted.load());
    // One report at the end instead of a box per record.
    EXPECT_TRUE(t.frontend.Messages().empty());
    std::vector<std::string> texts;
    for (const auto& row : Report().RowsOf(EResult::Protected)) texts.push_back(row.detail);
    const std::vector<std::string> expected = {
        "Array Twenty [ 0 ] is write protected. It can't be downloaded to Mobile Phone!",
        "Array Twenty [ 2 ] is write protected. It can't be downloaded to Mobile Phone!",
        "Forty is write protected. It can't be downloaded to Mobile Phone!"};
    EXPECT_EQ(texts, expected);
    sim->server.Stop();
    EXPECT_NE(sim->store.Find(50, CSimNvStore::kPlain), nullptr);
}

TEST_F(PhoneDocTest, DownloadSelectedTakesTheSelectedTreeInOrder) {
    StartPhone();
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    using ETree = CTessivaDoc::ETree;
    ASSERT_TRUE(doc.MoveEntries(ETree::Items, "Alpha", {"Fifty"}).IsCompleted());
    ASSERT_TRUE(doc.MoveEntries(ETree::Items, "Beta", {"Array Twenty [ 1 ]"}).IsCompleted());  // not active
    ASSERT_TRUE(doc.MoveEntries(ETree::Items, "Alpha", {"Plain Ten"}).IsCompleted());
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::SelectedActive)).IsCompleted());
    EXPECT_EQ(t.frontend.range.load(), 2);
    EXPECT_EQ(sim->server.Received(), 1 + 1 + 2 * 3 + kSyncRequests);
    sim->server.Stop();
    EXPECT_EQ(sim->store.Count(), 2u);
    EXPECT_NE(sim->store.Find(50, CSimNvStore::kPlain), nullptr);
}

TEST_F(PhoneDocTest, DownloadStopAndFailures) {
    StartPhone();
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    t.frontend.cancelCaption = "Download NV Items to Mobile Phone";
    t.frontend.cancelAtPosition = 1;
    t.frontend.answers = {true};
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsStopped());
    EXPECT_EQ(t.frontend.Questions(),
              std::vector<std::string>{"Are you sure you want to stop downloading NV Items to Mobile Phone?"});
    // The stop is seen after the record in hand: one write and its read-back.
    EXPECT_EQ(sim->server.Received(), 1 + 1 + 5 + 2);
    EXPECT_TRUE(Report().stopped);
    EXPECT_EQ(Report().Count(EResult::NotWritten), 4);

    // A phone gone: nothing could be backed up, so nothing is written, and the report says so per record.
    sim->server.Stop();
    t.frontend.ClearRecords();
    const SOutcome gone = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
    EXPECT_TRUE(gone.IsFailed());
    EXPECT_EQ(Report().Count(EResult::NotBackedUp), 5);
    EXPECT_EQ(Report().Count(EResult::NotWritten), 5);
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, SpcCodeAcceptedRejectedAndCut) {
    SSimPhoneOptions options;
    options.spcCode = "123456";
    options.spcPenalty = std::chrono::milliseconds(0);
    StartPhone([](CSimNvStore&) {}, options);
    EXPECT_TRUE(doc.Phone().SendSpcCode("123456").IsCompleted());
    EXPECT_TRUE(doc.Phone().SendSpcCode("12345678").IsCompleted());  // only the first six go out
    const SOutcome wrong = doc.Phone().SendSpcCode("654321");
    EXPECT_TRUE(wrong.IsFailed());
    EXPECT_EQ(wrong.reason, "     WRONG SPC CODE \nPhone will be time out for 10 sec");
    EXPECT_EQ(wrong.caption, "ERROR");
    EXPECT_TRUE(t.frontend.Messages().empty());
    EXPECT_FALSE(sim->phone.IsSpcAccepted());
}

TEST_F(PhoneDocTest, AnSpcAnswerThatCannotBeReadIsNoWrongCode) {
    SSimPhoneOptions options;
    options.shortSpcReply = true;
    StartPhone([](CSimNvStore&) {}, options);
    const SOutcome outcome = doc.Phone().SendSpcCode("000000");
    EXPECT_TRUE(outcome.IsFailed());
    EXPECT_NE(outcome.reason.find("the phone's answer to the SPC code could not be read"), std::string::npos)
        << outcome.reason;
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, EmptySpcCodeIsSixZeroBytes) {
    SSimPhoneOptions options;
    options.spcCode = std::string(6, '\0');
    StartPhone([](CSimNvStore&) {}, options);
    EXPECT_TRUE(doc.Phone().SendSpcCode("").IsCompleted());
    EXPECT_TRUE(sim->phone.IsSpcAccepted());
}

TEST_F(PhoneDocTest, WrongSpcSilencesThePhoneAndAFailedCallCountsAsRejected) {
    SSimPhoneOptions options;
    options.spcPenalty = std::chrono::seconds(30);
    doc.Phone().Settings().requestTimeoutMs = kSilentTimeoutMs;
    StartPhone([](CSimNvStore&) {}, options);
    const SOutcome wrong = doc.Phone().SendSpcCode("999999");
    EXPECT_TRUE(wrong.IsFailed());
    // The phone now says nothing: the check fails after one timeout and drops the connection.
    EXPECT_FALSE(doc.Phone().CheckConnected());
    EXPECT_FALSE(doc.Phone().IsConnected());
    const SOutcome none = doc.Phone().SendSpcCode("000000");  // no connection at all: not sent, so not "wrong"
    EXPECT_TRUE(none.IsFailed());
    EXPECT_NE(none.reason.find("was not sent"), std::string::npos) << none.reason;
}

TEST_F(PhoneDocTest, ConnectReportsPortsThatCannotBeOpened) {
    doc.Phone().Settings().portName = m_dir + "/no-such-port";
    std::vector<std::string> reasons;
    const auto connect = [&] {
        const SOutcome outcome = doc.Phone().Connect();
        EXPECT_TRUE(outcome.IsFailed());
        EXPECT_FALSE(doc.Phone().IsConnected());
        reasons.push_back(outcome.reason);
    };
    connect();
    // A terminal of this system is refused before it is opened (or set to raw mode).
    for (const char* notSerial : {"/dev/null", "/dev/tty"}) {
        doc.Phone().Settings().portName = notSerial;
        connect();
    }
    doc.Phone().Settings().portName = "";
    doc.Phone().Settings().comPort = 0;
    connect();
    const std::vector<std::string> expected = {"Port " + m_dir + "/no-such-port does not exist.",
                                               "/dev/null is not a serial port.", "/dev/tty is not a serial port.",
                                               "No port chosen."};
    EXPECT_EQ(reasons, expected);
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, ConnectDisconnectAndABusyPort) {
    StartPhone();
    EXPECT_TRUE(doc.Phone().CheckConnected());
    // A second connection to the same port is refused while the first holds it.
    void* second = QLIB_ConnectServerByName(sim->server.DevicePath().c_str());
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(QLibLastError(), "Port " + sim->server.DevicePath() + " is busy: another program is using it.");
    // Connect while connected closes the old handle first, so the port is free for the new one.
    EXPECT_TRUE(doc.Phone().Connect().IsCompleted());
    EXPECT_TRUE(doc.Phone().CheckConnected());
    doc.Phone().Disconnect();
    EXPECT_FALSE(doc.Phone().IsConnected());
    EXPECT_FALSE(doc.Phone().CheckConnected());
    // A closed handle is safe to ask.
    void* own = QLIB_ConnectServerByName(sim->server.DevicePath().c_str());
    ASSERT_NE(own, nullptr);
    QLIB_DisconnectServer(own);
    EXPECT_EQ(QLIB_IsPhoneConnected(own), 0);
    // The simulated phone keeps its line: a client may come back.
    EXPECT_TRUE(doc.Phone().Connect().IsCompleted());
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, ElementsPastIndex255AreNeverSentWithAWrappedIndex) {
    // 0x101 = 257 elements: element 256 would travel as index 0.
    // The definitions reader refuses arrays over 256 elements; definitions built by hand
    // must still never wrap. The file serves as the upload's item list.
    WriteFile(m_dir + "/NVItemsDefine.def", "# big\nBig Array;70;nv70;Beta;1[101];uint8\n");
    CNVItemArray defs;
    CNVItem def;
    def.SetName("Big Array");
    def.SetId(70);
    def.SetFileName("nv70");
    def.SetGroup("Beta");
    def.SetTypeName("uint8");
    def.Resize(1);
    def.SetCount(257);
    def.SetActive(0);
    for (int k = 0; k < 257; ++k) {
        def.SetIndex(k);
        defs.Add(def);
    }
    doc.SetDefinitions(defs);
    StartPhone([](CSimNvStore& s) { s.Put(70, 0, {7}); });
    ASSERT_TRUE(doc.Upload(doc.DefinitionsPath()).IsCompleted());
    ASSERT_EQ(doc.Items().GetSize(), 257);
    EXPECT_EQ(doc.Items()[0].Active(), 1);
    EXPECT_EQ(doc.Items()[256].Index(), 256);
    EXPECT_EQ(doc.Items()[256].Active(), -1);
    EXPECT_EQ(sim->server.Received(), 1 + 256);

    CNVItemArray last = doc.Items();
    last[256].SetValue(Bytes{9});
    last[256].SetActive(1);
    last.KeepIf([](const CNVItem& r) { return r.Index() == 256; });
    ASSERT_TRUE(doc.SetRecords(last).IsCompleted());
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsFailed());
    ASSERT_EQ(Report().RowsOf(EResult::Failed).size(), 1u);
    EXPECT_EQ(Report().RowsOf(EResult::Failed)[0].detail, "the index does not fit one byte");
    sim->server.Stop();
    EXPECT_EQ(*sim->store.Find(70, 0), Bytes{7});
}

TEST_F(PhoneDocTest, BackupHoldsThePreviousValuesVerificationCatchesBadWritesAndTheBackupRestores) {
    SSimPhoneOptions options;
    options.readOnly = {40};
    options.corruptWrites = {50};
    StartPhone(
        [](CSimNvStore& s) {
            s.Put(0, CSimNvStore::kPlain, {0x0D, 0x0C, 0x0B, 0x0A});
            s.Put(10, CSimNvStore::kPlain, {9, 9, 9, 9});
            s.Put(20, 0, {1, 1});
            s.Put(40, CSimNvStore::kPlain, {7, 7});
            s.Put(50, CSimNvStore::kPlain, {8, 8, 8});
        },
        options);
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    const SOutcome outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
    EXPECT_TRUE(outcome.IsFailed());
    const CDownloadReport& report = Report();
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.failed[0].id, 50);
    EXPECT_EQ(outcome.failed[0].reason, "read-back differs");
    ASSERT_EQ(outcome.refused.size(), 1u);
    EXPECT_EQ(report.Count(EResult::Verified), 3);  // 10, 20[0], 20[2]
    EXPECT_EQ(report.Summary(), "3 record(s) written, 3 verified, 1 write protected, 1 failed.");
    // 20[2] was never on the phone: nothing to keep, and the report says so.
    ASSERT_EQ(report.RowsOf(EResult::NotBackedUp).size(), 1u);
    EXPECT_EQ(report.RowsOf(EResult::NotBackedUp)[0].index, 2);

    // Exactly the records about to be written, with the phone's values before the download.
    const std::string backup = report.backupPath;
    EXPECT_EQ(std::filesystem::path(backup).parent_path(), m_dir + "/backups");
    EXPECT_NE(backup.find("-esn-0a0b0c0d.qcn"), std::string::npos) << backup;
    const std::map<std::pair<int, int>, Bytes> expected = {
        {{10, -1}, {9, 9, 9, 9}}, {{20, 0}, {1, 1}}, {{40, -1}, {7, 7}}, {{50, -1}, {8, 8, 8}}};
    EXPECT_EQ(BackupRecords(backup, doc.Definitions()), expected);
    EXPECT_EQ(doc.Phone().LastBackupPath(), backup);
    const std::string json = report.Json();
    EXPECT_NE(json.find("\"verified\":3,\"written\":0,\"protected\":1,\"failed\":1"), std::string::npos) << json;

    // The restore writes the old values back, and is itself backed up first.
    EXPECT_TRUE(Kept(doc.Phone().Restore(backup)).IsFailed());  // 40 and 50 again
    EXPECT_EQ(*sim->store.Find(10, CSimNvStore::kPlain), (Bytes{9, 9, 9, 9}));
    EXPECT_EQ(*sim->store.Find(20, 0), (Bytes{1, 1}));
    EXPECT_NE(Report().backupPath, backup);
    EXPECT_EQ(doc.Phone().LastBackupPath(), Report().backupPath);
    EXPECT_EQ(doc.Items(), LoadedItems());
}

TEST_F(PhoneDocTest, ARestoreWritesEachArrayElementAsItself) {
    StartPhone();
    const std::string backup = m_dir + "/backup.cnv";
    CCnvFile file;
    ASSERT_TRUE(file.Create(backup));
    ASSERT_TRUE(file.WriteRecord(10, {1, 2, 3, 4}, -1));
    ASSERT_TRUE(file.WriteRecord(20, {0xA0, 0xA1}, 0));
    ASSERT_TRUE(file.WriteRecord(20, {0xC0, 0xC1}, 2));
    ASSERT_TRUE(file.Finish());
    (void)Kept(doc.Phone().Restore(backup));
    EXPECT_EQ(Report().Count(EResult::Verified), 3) << Report().Summary();
    EXPECT_EQ(*sim->store.Find(20, 0), (Bytes{0xA0, 0xA1}));
    EXPECT_EQ(*sim->store.Find(20, 2), (Bytes{0xC0, 0xC1}));
    EXPECT_EQ(sim->store.Find(20, 1), nullptr);

    // A backup that can't be read writes nothing and leaves no report of the restore before.
    const SOutcome missing = Kept(doc.Phone().Restore(m_dir + "/missing.cnv"));
    EXPECT_TRUE(missing.IsFailed());
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_TRUE(Report().Rows().empty());
}

TEST_F(PhoneDocTest, ABackupCutShortByTheLinkIsKeptButNeverTheLastBackup) {
    SSimLineOptions line;
    line.silentAfter = 4;  // the probe, the ESN and two reads of the backup
    StartPhone(
        [](CSimNvStore& s) {
            s.Put(10, CSimNvStore::kPlain, {9, 9, 9, 9});
            s.Put(20, 0, {1, 1});
        },
        {}, line);
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    EXPECT_FALSE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted());
    const std::string backup = Report().backupPath;
    EXPECT_NE(backup.find("-incomplete"), std::string::npos) << backup;
    EXPECT_EQ(BackupRecords(backup, doc.Definitions()).size(), 2u);
    EXPECT_EQ(doc.Phone().LastBackupPath(), "");
}

TEST_F(PhoneDocTest, NothingIsWrittenWithoutABackupAndTheSettingsTurnBothStepsOff) {
    StartPhone();
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    WriteFile(m_dir + "/file", "");
    doc.Phone().Settings().backupFolder = m_dir + "/file/backups";  // a folder that can't be made
    const SOutcome outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
    EXPECT_TRUE(outcome.IsFailed());
    EXPECT_EQ(outcome.reason.rfind("Nothing was written: the backup could not be saved.", 0), 0u) << outcome.reason;
    EXPECT_EQ(Report().Count(EResult::NotWritten), 5);
    EXPECT_EQ(sim->store.Count(), 0u);

    doc.Phone().Settings().backupBeforeWrite = false;
    doc.Phone().Settings().verifyWrites = false;
    const int before = sim->server.Received();
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsCompleted());
    EXPECT_EQ(sim->server.Received() - before, 5 + kSyncRequests);  // the writes alone
    EXPECT_EQ(Report().Summary(), "5 record(s) written, 0 write protected, 0 failed.");
    EXPECT_TRUE(Report().backupPath.empty());
}

// A record whose current value the phone would not tell (no reply, an error reply, a failure
// status) is written only when the user confirms; one never written on the phone goes on.
TEST_F(PhoneDocTest, RecordsTheBackupLacksAreWrittenOnlyWhenConfirmed) {
    const struct {
        const char* name;
        std::optional<bool> answer;  // none: nobody to ask
        bool written;
    } cases[] = {{"no one asked", std::nullopt, false}, {"declined", false, false}, {"confirmed", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SSimPhoneOptions options;
        options.unreadable = {10};
        options.readStatus = {{20, kNvFailed}};
        StartPhone([](CSimNvStore& s) { s.Put(50, CSimNvStore::kPlain, {8, 8, 8}); }, options);
        ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
        doc.Phone().Settings().verifyWrites = false;  // the unreadable records could not be read back either
        std::vector<std::string> questions;
        if (c.answer)
            doc.Phone().Settings().confirmWithoutBackup = [&](const std::string& q) {
                questions.push_back(q);
                return *c.answer;
            };
        const SOutcome outcome = Kept(doc.Download(CTessivaDoc::EScope::AllActive));
        const CDownloadReport& report = Report();
        EXPECT_EQ(outcome.IsCompleted(), c.written);
        EXPECT_EQ(questions.size(), c.answer ? 1u : 0u);
        // The question names what it is about.
        for (const std::string& q : questions) EXPECT_NE(q.find("(Plain Ten, Array Twenty [ 0 ], Array Twenty [ 2 ])"), std::string::npos) << q;
        EXPECT_EQ(report.Count(EResult::NotBackedUp), 4);  // 10, 20[0], 20[2] unread; 40 never written
        const auto notWritten = report.RowsOf(EResult::NotWritten);
        EXPECT_EQ(notWritten.size(), c.written ? 0u : 3u);
        for (const auto& row : notWritten) EXPECT_EQ(row.detail, "its current state could not be backed up");
        const std::vector<std::string> lines = report.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "not in the backup: Forty (ID 40): not active on the phone: restoring the backup can't "
                            "make it so again"),
                  lines.end());
        sim->server.Stop();
        EXPECT_EQ(sim->store.Find(10, CSimNvStore::kPlain) != nullptr, c.written);
        EXPECT_EQ(sim->store.Find(20, 0) != nullptr, c.written);
        EXPECT_EQ(*sim->store.Find(50, CSimNvStore::kPlain), (Bytes{5, 5, 5}));
        EXPECT_NE(sim->store.Find(40, CSimNvStore::kPlain), nullptr);
        doc.Phone().Settings().confirmWithoutBackup = nullptr;
        doc.Phone().Disconnect();
    }
}

TEST_F(PhoneDocTest, RecordsAfterTheLinkFailedAreNotWrittenRatherThanFailed) {
    SSimLineOptions line;
    line.silentAfter = 1 + 1 + 5 + 2;  // the probe, the ESN, the backup reads and two writes
    StartPhone([](CSimNvStore&) {}, {}, line);
    ASSERT_TRUE(doc.SetRecords(LoadedItems()).IsCompleted());
    doc.Phone().Settings().verifyWrites = false;
    EXPECT_TRUE(Kept(doc.Download(CTessivaDoc::EScope::AllActive)).IsFailed());
    const CDownloadReport& report = Report();
    EXPECT_EQ(report.Count(EResult::Written), 2);
    EXPECT_EQ(report.Count(EResult::Failed), 1);  // the write that got no answer
    const auto notWritten = report.RowsOf(EResult::NotWritten);
    ASSERT_EQ(notWritten.size(), 2u);
    for (const auto& row : notWritten) EXPECT_EQ(row.detail, "not attempted: the link to the phone failed");
}
