// Reads in flight through the document against the simulated phone on its line: the same
// records and item files as one request at a time, on a phone that takes a window and on one that loses
// what comes while it is busy.
#include "doc/phone_image.h"
#include "phone/nv_reader.h"
#include "phone_test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace {
using Bytes = std::vector<uint8_t>;
using Records = std::map<std::tuple<int, uint32_t, int>, std::array<uint8_t, 128>>;

void FillPhone(CSimNvStore& s) {
    for (int id = 0; id < 300; id += 3) s.Put(id, CSimNvStore::kPlain, {static_cast<uint8_t>(id), 0x5A});
    s.Put(20, 1, {0x21, 0x21});
}

const std::string kNote = "the phone takes one request at a time";

int NotesSaying(const SOutcome& outcome, const std::string& text) {
    int n = 0;
    for (const SNote& note : outcome.notes) n += note.text == text ? 1 : 0;
    return n;
}
}  // namespace

TEST_F(PhoneDocTest, ReadsInFlightGiveWhatOneAtATimeGivesAndFallBackOnAPhoneThatLosesRequests) {
    struct {
        const char* name;
        SSimLineOptions line;
        int window;
        bool note;
    } rows[] = {
        {"one at a time", {}, 1, false},
        {"a window on a phone that queues", {std::chrono::milliseconds(1), std::chrono::microseconds(100)}, 8, false},
        {"a window on a phone that loses requests while busy",
         {std::chrono::milliseconds(1), std::chrono::microseconds(300), true}, 8, true},
    };
    Records first;
    std::map<std::string, Bytes> firstFiles;
    CNVItemArray uploaded;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        doc.Phone().Settings().readWindow = row.window;
        // The fall back waits out the replies still coming: a shorter wait than a phone that answers needs.
        if (row.note) doc.Phone().Settings().requestTimeoutMs = 1000;
        StartPhone(FillPhone, {}, row.line);
        sim->phone.Subscription(1).Put(10, CSimNvStore::kPlain, {0x11, 0, 0, 0x11});
        // Item files of no, one, several chunks and a chunk's size exactly, in folders.
        for (size_t size : {0, 5, 1024, 3000, 5000}) {
            Bytes data(size);
            for (size_t k = 0; k < size; ++k) data[k] = static_cast<uint8_t>(k * 31 + size);
            const std::string folder = std::string(CPhoneBackup::kItemFilesRoot) + "modem/f" + std::to_string(size % 3);
            ASSERT_TRUE(sim->phone.Files().PutFile(folder + "/file" + std::to_string(size), data));
        }
        SPhoneBackupOptions options;
        options.scan = true;
        options.scanTo = 299;
        const std::string path = m_dir + "/phone.qcn";
        const SPhoneOutcome backup = doc.Phone().BackupPhone(path, options);
        ASSERT_TRUE(backup.IsCompleted()) << backup.report.Summary();
        EXPECT_EQ(NotesSaying(backup, kNote), row.note ? 1 : 0);
        SPhoneImage image;
        std::string error;
        ASSERT_TRUE(ReadNumberedImage(path, doc.Definitions(), image, error)) << error;
        Records records;
        for (const SImageRecord& r : image.records)
            EXPECT_TRUE(records.emplace(std::tuple(r.record.subscription, r.record.id, r.index), r.record.data).second)
                << "twice: " << r.record.id;
        EXPECT_TRUE(records.count({1, 10u, -1}));  // the subscription's record
        EXPECT_TRUE(records.count({0, 297u, -1}));  // the scan's last
        std::map<std::string, Bytes> files;
        for (const SItemFile& f : image.files) {
            files[f.path] = f.data;
            const Bytes* kept = sim->phone.Files().Find(f.path);
            EXPECT_TRUE(kept && *kept == f.data) << f.path;
        }
        EXPECT_EQ(files.size(), 5u);
        if (first.empty()) {
            first = records;
            firstFiles = files;
        }
        EXPECT_EQ(records, first);
        EXPECT_EQ(files, firstFiles);

        // The upload on the same connection: no second note.
        const SOutcome upload = doc.Upload(doc.DefinitionsPath());
        ASSERT_TRUE(upload.IsCompleted()) << upload.reason;
        EXPECT_EQ(NotesSaying(upload, kNote), 0);
        if (uploaded.IsEmpty()) uploaded = doc.Items();
        ASSERT_EQ(doc.Items().GetSize(), uploaded.GetSize());
        for (int i = 0; i < uploaded.GetSize(); ++i) {
            EXPECT_EQ(doc.Items()[i].Value(), uploaded[i].Value()) << doc.Items()[i].Name();
            EXPECT_EQ(doc.Items()[i].Active(), uploaded[i].Active()) << doc.Items()[i].Name();
        }
        doc.Phone().Disconnect();
        sim.reset();
    }
}
