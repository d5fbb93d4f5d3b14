// The simulated phone's subscriptions, file system, mode and protections through the
// library and the file system client, one row per behaviour or fault.
#include "doc/backup_reader.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "sim/sim_numbered_image.h"
#include "phone_test_support.h"

#include <gmock/gmock.h>

#include <functional>

using ::testing::HasSubstr;

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t size) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return data;
}

constexpr int32_t kItemFile = kEfsItemFileType | 0644, kRegular = kEfsRegularType | 0644;

std::string Result(bool ok, CEfsClient& efs) { return ok ? "ok" : efs.LastError(); }

// The outcomes of calls in the order made, joined by " | ".
struct SOutcomes {
    CEfsClient& efs;
    std::string text;
    void operator()(bool ok) { text += (text.empty() ? "" : " | ") + Result(ok, efs); }
};

struct SRow {
    const char* name;
    std::function<void(SSimPhoneOptions&)> options;
    std::function<std::string(CDiagLink& phone, CEfsClient& efs, SPhoneOnPty& sim)> act;
    std::string expected;  // found in what act gives
};
}  // namespace

TEST_F(PhoneDocTest, SimulatedPhoneSubsystemsAndTheirFaults) {
    const auto none = [](SSimPhoneOptions&) {};
    const std::vector<SRow> rows = {
        {"files written with their folders come back whole, listed below their root", none,
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty&) {
             Bytes back;
             SEfsWalk walk;
             const bool ok = efs.WriteFile("/nv/item_files/a/b/big", Pattern(3000), kItemFile) &&
                             efs.WriteFile("/nv/item_files/a/empty", {}, kItemFile) && efs.ListFiles("/nv", walk) &&
                             efs.ReadFile("/nv/item_files/a/b/big", back);
             std::string listed;
             for (const auto& f : walk.files) listed += f.path + ":" + std::to_string(f.size) + " ";
             return ok ? listed + (back == Pattern(3000) ? "same" : "differs") : efs.LastError();
         },
         "/nv/item_files/a/b/big:3000 /nv/item_files/a/empty:0 /nv/seed:3 same"},
        {"errno as POSIX gives it", none,
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty&) {
             SEfsStat stat;
             SOutcomes out{efs, {}};
             out(efs.MakeFolder("/nv"));
             out(efs.RemoveFolder("/nv"));
             out(efs.RemoveFile("/nv"));
             out(efs.Stat("/nv/seed/x", stat));
             return out.text;
         },
         "/nv: already exists (errno 17) | /nv: folder not empty (errno 39) | /nv: is a folder (errno 21) | "
         "/nv/seed/x: not a folder (errno 20)"},
        {"a file failing half way fails whole, read or written", [](SSimPhoneOptions& o) { o.efsFail = {"/nv/seed"}; },
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty& sim) {
             Bytes back;
             SOutcomes out{efs, {}};
             // By open, beside it: it fails half way, and the old file stays.
             out(efs.WriteFile("/nv/seed", Pattern(kEfsPutMax + 1), kRegular));
             out(efs.ReadFile("/nv/seed", back));
             return out.text + " " + std::to_string(back.size()) + " " +
                    std::to_string(sim.phone.Files().Find("/nv/seed")->size());
         },
         "/nv/seed: input/output error (errno 5) | /nv/seed: input/output error (errno 5) 0 3"},
        {"a transfer its progress hook stops fails whole and is told at each chunk", none,
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty&) {
             Bytes back;
             std::string seen;
             SOutcomes out{efs, {}};
             out(efs.WriteFile("/nv/seed", Pattern(3000), kRegular));
             efs.SetProgress([&seen](size_t bytes) {
                 seen += std::to_string(bytes) + " ";
                 return bytes < 2048;
             });
             out(efs.ReadFile("/nv/seed", back));
             out(efs.WriteFile("/nv/seed", Pattern(kEfsPutMax + 1), kRegular));  // chunks only past one put
             return seen + out.text + " " + std::to_string(back.size());
         },
         "1024 2048 1024 2048 ok | /nv/seed: stopped | /nv/seed: stopped 0"},
        {"a full file system", [](SSimPhoneOptions& o) { o.efsFull = true; },
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty&) {
             SOutcomes out{efs, {}};
             out(efs.WriteFile("/nv/new", {1}, kRegular));
             out(efs.MakeFolder("/x"));
             return out.text;
         },
         "/nv/new: no space left on the phone (errno 28) | /x: no space left on the phone (errno 28)"},
        {"a phone that knows only 0x3E", [](SSimPhoneOptions& o) { o.efsSubsystem = kEfsAltSubsystem; },
         [](CDiagLink&, CEfsClient& efs, SPhoneOnPty&) {
             Bytes back;
             SOutcomes out{efs, {}};
             out(efs.ReadFile("/nv/seed", back));
             return out.text + " on " + std::to_string(efs.Subsystem());
         },
         "ok on 62"},
        {"a phone without a file system still answers the rest", [](SSimPhoneOptions& o) { o.efsSubsystem = 0; },
         [](CDiagLink& phone, CEfsClient& efs, SPhoneOnPty&) {
             uint8_t value[4];
             uint16_t status = 0;
             SOutcomes out{efs, {}};
             out(efs.Hello());
             return out.text + " | " + std::to_string(int(phone.ReadNv(10, -1, value, 4, status)));
         },
         "The phone does not answer the file system commands. | 1"},
        {"subscriptions keep their own records; unknown ones are a bad parameter", none,
         [](CDiagLink& phone, CEfsClient&, SPhoneOnPty& sim) {
             uint8_t value[4] = {};
             unsigned short status = 99;
             const uint8_t written[2] = {0x51, 0x52};
             std::string out;
             for (unsigned short sub : {0, 1, 3}) {
                 phone.ReadNv(10, -1, value, 4, status, sub);
                 out += std::to_string(status) + ":" + std::to_string(value[0]) + " ";
             }
             phone.WriteNv(20, 1, written, 2, status, 2);
             const Bytes* kept = sim.phone.Subscription(2).Find(20, 1);
             return out + std::to_string(status) + (kept && (*kept)[0] == 0x51 ? " kept" : " lost");
         },
         "0:1 0:9 6:9 0 kept"},
        {"a phone without subscriptions refuses the command, the link stays",
         [](SSimPhoneOptions& o) { o.subscriptions = false; },
         [](CDiagLink& phone, CEfsClient&, SPhoneOnPty&) {
             uint8_t value[4];
             uint16_t status = 0;
             const int ok = phone.ReadNv(10, -1, value, 4, status, 1);
             return std::to_string(ok) + " " + phone.LastError() + " " + std::to_string(int(phone.HasFailed()));
         },
         "0 The phone refused the request: bad command (0x13). 0"},
        {"writes beyond an array's definition are a bad parameter; the ESN waits for the SPC code",
         [](SSimPhoneOptions& o) { o.spcPenalty = {}; },
         [](CDiagLink& phone, CEfsClient&, SPhoneOnPty&) {
             const uint8_t value[4] = {1, 2, 3, 4};
             const uint8_t code[6] = {'0', '0', '0', '0', '0', '0'};
             unsigned short beyond = 99, last = 99, esn = 99;
             bool accepted = false;
             phone.WriteNv(20, 3, value, 2, beyond);
             phone.WriteNv(20, 2, value, 2, last);
             const int locked = phone.WriteNv(0, -1, value, 4, esn);
             const std::string why = phone.LastError();
             phone.SendSpc(code, accepted);
             phone.WriteNv(0, -1, value, 4, esn);
             return std::to_string(beyond) + " " + std::to_string(last) + " " + std::to_string(locked) + " " + why +
                    " " + std::to_string(esn);
         },
         "6 0 0 The phone refused the request: locked until the SPC code is accepted (0x42). 0"},
        {"mode: offline, then a reset that forgets the SPC code", none,
         [](CDiagLink& phone, CEfsClient&, SPhoneOnPty& sim) {
             const uint8_t code[6] = {'0', '0', '0', '0', '0', '0'};
             bool accepted = false;
             phone.SendSpc(code, accepted);
             std::string out;
             for (unsigned short mode : {1, 2}) {
                 out += std::to_string(int(phone.SetMode(mode)));
                 out += std::to_string(sim.phone.Mode());
             }
             const int refused = phone.SetMode(9);
             return out + " " + std::to_string(sim.phone.Resets()) + std::to_string(sim.phone.IsSpcAccepted()) +
                    std::to_string(refused);
         },
         "1114 100"},
    };
    for (const SRow& row : rows) {
        SSimPhoneOptions options;
        row.options(options);
        StartPhone(
            [this](CSimNvStore& store) {
                store.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
                sim->phone.Subscription(1).Put(10, CSimNvStore::kPlain, {9, 9, 9, 9});
                sim->phone.Files().PutFile("/nv/seed", {1, 2, 3});
            },
            options);
        CEfsClient efs(doc.Phone().Link());
        EXPECT_THAT(row.act(*doc.Phone().Link(), efs, *sim), HasSubstr(row.expected)) << row.name;
        doc.Phone().Disconnect();
        sim->server.Stop();
    }
}

// A backup another tool made: records no definition names and a subscription's records are
// served like any other, and the item files of its three areas are the phone's files.
TEST_F(PhoneDocTest, SimulatedPhoneServesAWholeNumberedBackup) {
    CSimNumberedImage image;
    std::string error;
    StartPhone([&](CSimNvStore&) {
        const std::string path = SourceDir() + "/examples/sample-numbered.qcn";
        SBackupContent backup;
        ASSERT_TRUE(ReadBackup(t.jobs, path, doc.Definitions(), backup).IsCompleted());
        ASSERT_TRUE(image.Load(backup.TakeNumbered(), path, sim->phone, error)) << error;
    });
    uint8_t value[4] = {};
    unsigned short status = 99;
    CDiagLink& link = *doc.Phone().Link();
    ASSERT_TRUE(link.ReadNv(7001, -1, value, 4, status)) << link.LastError();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value[3], 0x44);
    ASSERT_TRUE(link.ReadNv(81, -1, value, 1, status, 1)) << link.LastError();
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(link.ReadNv(7001, -1, value, 1, status, 1));
    EXPECT_EQ(status, kNvNotActive);
    CEfsClient efs(doc.Phone().Link());
    SEfsWalk walk;
    ASSERT_TRUE(efs.ListFiles("/nv/item_files", walk)) << efs.LastError();
    std::vector<std::string> paths;
    for (const SEfsFile& f : walk.files) paths.push_back(f.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/nv/item_files/ims/IMS_enable",
                                               "/nv/item_files/modem/mmode/lte_bandpref",
                                               "/nv/item_files/modem/uim/uimdrv/feature_support_hotswap"}));
}
