// Backup and restore of the whole phone against the simulated phone, in both backup forms.
#include "phone/efs_client.h"
#include "phone_test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace {
using Bytes = std::vector<uint8_t>;
using EResult = CDownloadReport::EResult;
using EKind = CDownloadReport::EKind;

// Everything of the phone a restore must bring back.
struct SPhoneState {
    std::map<std::pair<int, int>, Bytes> records[CSimPhone::kSubscriptions];
    std::map<std::string, Bytes> files;
    bool operator==(const SPhoneState&) const = default;
};

SPhoneState StateOf(CSimPhone& phone) {
    SPhoneState state;
    for (int s = 0; s < CSimPhone::kSubscriptions; ++s) state.records[s] = phone.Subscription(s).Values();
    for (const std::string& path : phone.Files().FilePaths()) state.files[path] = *phone.Files().Find(path);
    return state;
}

Bytes Pattern(size_t size, int seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + seed);
    return data;
}
}  // namespace

TEST_F(PhoneDocTest, BackupThenRestoreBringsTheWholePhoneBackAndTheRestoresOwnBackupUndoesIt) {
    const std::string kept = "/nv/item_files/modem/big", gone = "/nv/item_files/ims/enable", other = "/other/c";
    for (const std::string name : {"whole.qcn", "whole.xqcn"}) {
        SCOPED_TRACE(name);
        StartPhone([](CSimNvStore& s) {
            s.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
            s.Put(20, 0, {0xA0, 0xA1});
            s.Put(20, 2, {0xC0, 0xC1});
            s.Put(50, CSimNvStore::kPlain, {5, 6, 7});
            s.Put(99, CSimNvStore::kPlain, {9, 9, 9});  // no definition names it: found by the scan
        });
        sim->phone.Subscription(1).Put(10, CSimNvStore::kPlain, {0x11, 0, 0, 0x11});
        sim->phone.Subscription(1).Put(20, 1, {0x21, 0x21});
        sim->phone.Files().PutFile(kept, Pattern(3000, 1));
        sim->phone.Files().PutFile(gone, {1});
        sim->phone.Files().PutFile(other, {1, 2, 3, 4, 5});
        const SPhoneState original = StateOf(sim->phone);

        SPhoneBackupOptions options;
        options.scan = true;
        options.scanFrom = 90;
        options.scanTo = 100;
        options.roots = {"/other"};
        const std::string path = m_dir + "/" + name;
        ASSERT_TRUE(Kept(doc.Phone().BackupPhone(path, options)).IsCompleted()) << Report().Summary();
        const CDownloadReport& backup = Report();
        EXPECT_EQ(backup.Count(EResult::Read, EKind::Record), 5);
        EXPECT_EQ(backup.Count(EResult::Read, EKind::SubscriptionRecord), 2);
        EXPECT_EQ(backup.Count(EResult::Read, EKind::File), 3);

        // Every kind of change: values, a subscription's record, a file rewritten shorter, a
        // file and its folder removed.
        sim->store.Put(10, CSimNvStore::kPlain, {4, 3, 2, 1});
        sim->store.Put(99, CSimNvStore::kPlain, {8, 8, 8});
        sim->phone.Subscription(1).Put(20, 1, {0x12, 0x12});
        sim->phone.Files().PutFile(kept, {7});
        CEfsClient efs(doc.Phone().Link());
        ASSERT_TRUE(efs.RemoveFile(gone) && efs.RemoveFolder("/nv/item_files/ims")) << efs.LastError();
        const SPhoneState changed = StateOf(sim->phone);

        ASSERT_TRUE(Kept(doc.Phone().Restore(path, true)).IsCompleted()) << Report().Summary();
        EXPECT_EQ(StateOf(sim->phone), original);
        EXPECT_EQ(sim->phone.Resets(), 1);  // offline before, reset after
        const CDownloadReport& restore = Report();
        // What changed is written and verified; what the phone still held is left alone.
        EXPECT_EQ(restore.Count(EResult::Verified, EKind::Record), 2);
        EXPECT_EQ(restore.Count(EResult::Unchanged, EKind::Record), 3);
        EXPECT_EQ(restore.Count(EResult::Verified, EKind::SubscriptionRecord), 1);
        EXPECT_EQ(restore.Count(EResult::Unchanged, EKind::SubscriptionRecord), 1);
        EXPECT_EQ(restore.Count(EResult::Verified, EKind::File), 2);
        EXPECT_EQ(restore.Count(EResult::Unchanged, EKind::File), 1);

        // The restore's own backup holds what it overwrote; the file it made anew stays.
        SPhoneState expected = changed;
        expected.files[gone] = original.files.at(gone);
        ASSERT_TRUE(Kept(doc.Phone().Restore(restore.backupPath)).IsCompleted()) << Report().Summary();
        EXPECT_EQ(StateOf(sim->phone), expected);
        doc.Phone().Disconnect();
        sim.reset();
    }
}

// A scan takes both ends of its range and nothing past them, at the ends of the ID space too.
TEST_F(PhoneDocTest, AScanTakesTheFirstAndLastIdOfItsRangeAndNothingBeyond) {
    const struct {
        int from, to;
        std::vector<int> found;
    } cases[] = {
        {90, 100, {90, 95, 100}},
        {95, 95, {95}},
        {91, 99, {95}},
        {0, 3, {0, 1}},
        {65533, 65535, {65534, 65535}},
        {65535, 70000, {65535}},
    };
    StartPhone([](CSimNvStore& s) {
        for (int id : {0, 1, 89, 90, 95, 100, 101, 65532, 65534, 65535}) s.Put(id, CSimNvStore::kPlain, {static_cast<uint8_t>(id), 7});
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        SPhoneBackupOptions options;
        options.subscriptions = 0;
        options.files = false;
        options.scan = true;
        options.scanFrom = c.from;
        options.scanTo = c.to;
        ASSERT_TRUE(Kept(doc.Phone().BackupPhone(m_dir + "/scan.qcn", options)).IsCompleted()) << Report().Summary();
        std::vector<int> found;
        for (const auto& row : Report().RowsOf(EResult::Read)) found.push_back(row.id);
        EXPECT_EQ(found, c.found);
    }
}
