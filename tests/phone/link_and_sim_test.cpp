// The library's calls and the simulated phone at the level of requests and frames.
#include "phone/diag_commands.h"
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/qlib.h"
#include "phone_test_support.h"
#include "phone/serial_transport.h"

#include <cstring>
#include <fcntl.h>
#include <thread>
#include <filesystem>
#include <unistd.h>

namespace {
using Bytes = std::vector<uint8_t>;

// A raw client of the simulated phone: frames out, decoded payloads in.
struct SRawClient {
    explicit SRawClient(const std::string& device) { EXPECT_TRUE(port->Open(device, error)) << error; }
    void Send(const Bytes& bytes) {
        EXPECT_TRUE(port->Write(bytes.data(), bytes.size(), Deadline(), error)) << error;
    }
    // The next reply, or an empty payload when none comes in time.
    Bytes Receive(std::chrono::milliseconds wait = std::chrono::milliseconds(1000)) {
        Bytes payload;
        uint8_t buffer[512];
        const auto deadline = ISerialTransport::Clock::now() + wait;
        while (!decoder.PopFrame(payload)) {
            const long n = port->Read(buffer, sizeof buffer, deadline, error);
            if (n <= 0) return {};
            decoder.Feed(buffer, static_cast<size_t>(n));
        }
        return payload;
    }
    static ISerialTransport::Clock::time_point Deadline() {
        return ISerialTransport::Clock::now() + std::chrono::seconds(1);
    }
    std::unique_ptr<ISerialTransport> port = CreateSerialTransport();
    CDiagFrameDecoder decoder;
    std::string error;
};
}  // namespace

TEST_F(PhoneDocTest, SimulatedPhoneAnswersOnlyWholeGoodFramesAndSurvivesGarbage) {
    StartPhone([](CSimNvStore& s) { s.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4}); });
    doc.Phone().Disconnect();
    SRawClient client(sim->server.DevicePath());
    Bytes bad = EncodeDiagFrame(BuildVersionRequest(), true);
    bad[1] ^= 0xFF;  // CRC no longer checks
    client.Send(bad);
    client.Send({0x7D, 0x7D, 0x00, 0x13, 0x7E, 0x7E, 0x55});  // noise, then the start of garbage
    client.Send(EncodeDiagFrame(Bytes{0x7B, 1, 2}, true));    // a good frame of an unknown command
    EXPECT_EQ(client.Receive(), (Bytes{kDiagBadCommand, 0x7B, 1, 2}));
    Bytes read;
    ASSERT_TRUE(BuildNvRequest(kDiagNvRead, 10, -1, nullptr, 0, read));
    const Bytes frame = EncodeDiagFrame(read, false);  // without a leading flag, in two pieces
    client.Send(Bytes(frame.begin(), frame.begin() + 50));
    client.Send(Bytes(frame.begin() + 50, frame.end()));
    const Bytes reply = client.Receive();
    SNvPacket packet;
    ASSERT_TRUE(ParseNvPacket(reply, packet));
    EXPECT_EQ(packet.item, 10);
    EXPECT_EQ(packet.status, kNvDone);
    EXPECT_EQ(packet.data[3], 4);
    client.Send(EncodeDiagFrame(Bytes(read.begin(), read.begin() + 20), true));  // a short NV packet
    EXPECT_EQ(client.Receive()[0], kDiagBadLength);
    EXPECT_GE(sim->server.DroppedFrames(), 1u);

    // --link replaces an older link but never a file that happens to be at that path.
    const std::string file = m_dir + "/backup.brt";
    WriteFile(file, "keep me");
    std::string error;
    EXPECT_FALSE(sim->server.MakeLink(file, error));
    ASSERT_FALSE(std::filesystem::is_symlink(file));  // reading the device would block
    EXPECT_EQ(ReadFile(file), "keep me");
    const std::string link = m_dir + "/phone";
    ASSERT_EQ(::symlink("/nowhere", link.c_str()), 0);
    EXPECT_TRUE(sim->server.MakeLink(link, error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim->server.DevicePath());
}

TEST_F(PhoneDocTest, LibraryCallsCheckTheirArguments) {
    StartPhone([](CSimNvStore& s) {
        s.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
        s.Put(20, 1, {0x21, 0x22});
    });
    // The library's own calls, on a connection of the test's.
    doc.Phone().Disconnect();
    void* const phone = QLIB_ConnectServerByName(sim->server.DevicePath().c_str());
    ASSERT_NE(phone, nullptr) << QLibLastError();
    const std::shared_ptr<void> closed(phone, QLIB_DisconnectServer);
    uint8_t buffer[200] = {};
    unsigned short status = 99;
    // More than one request can carry: refused before anything is sent, the link stays good.
    EXPECT_EQ(QLIB_DIAG_NV_READ_F(phone, 10, buffer, 129, &status), 0);
    EXPECT_NE(QLibLastError().find("do not fit"), std::string::npos);
    EXPECT_EQ(QLIB_DIAG_NV_WRITE_ARRAY_F(phone, 20, 0, buffer, 128, &status), 0);
    EXPECT_EQ(QLIB_HasLinkFailed(phone), 0);
    // A status pointer may be left out; the element read takes its index.
    EXPECT_EQ(QLIB_DIAG_NV_READ_F(phone, 10, buffer, 4, nullptr), 1);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(QLIB_DIAG_NV_READ_ARRAY_F(phone, 20, 1, buffer, 2, &status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(buffer[0], 0x21);
    // Status words pass unchanged; a read that is not "done" leaves the buffer alone.
    EXPECT_EQ(QLIB_DIAG_NV_READ_ARRAY_F(phone, 20, 2, buffer, 2, &status), 1);
    EXPECT_EQ(status, kNvNotActive);
    EXPECT_EQ(buffer[0], 0x21);
    // Calls on no connection fail without touching their outputs.
    unsigned char accepted = 7;
    EXPECT_EQ(QLIB_DIAG_SPC_F(nullptr, buffer, &accepted), 0);
    EXPECT_EQ(accepted, 7);
    EXPECT_EQ(QLIB_DIAG_NV_WRITE_F(reinterpret_cast<void*>(0x5555), 10, buffer, 4, &status), 0);
    EXPECT_EQ(QLIB_IsPhoneConnected(nullptr), 0);
    QLIB_DisconnectServer(nullptr);
    char text[8];
    EXPECT_EQ(QLIB_GetLastError(text, sizeof text), std::strlen("Not connected to a phone."));
    EXPECT_STREQ(text, "Not con");
}

// A public client reads the directory number as a plain item with the NAM in data[0] and the
// ten digits right after it; the sample must answer it in full, and the ESN command from item 0.
TEST_F(PhoneDocTest, SampleDirectoryNumberAndEsnAsOtherClientsReadThem) {
    doc.SetDirectory(SourceDir() + "/examples");
    ASSERT_TRUE(doc.LoadDefinitions().IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(SourceDir() + "/examples/sample.cnv").IsCompleted());
    const CNVItemArray sample = doc.Items();
    StartPhone([&](CSimNvStore& s) {
        s.SetDefinitions(doc.Definitions());
        s.LoadRecords(sample);
    });
    doc.Phone().Disconnect();
    SRawClient client(sim->server.DevicePath());
    for (uint8_t nam : {0, 1}) {
        Bytes read(kNvPacketSize, 0);
        read[0] = kDiagNvRead;
        read[1] = 178;
        read[3] = nam;
        client.Send(EncodeDiagFrame(read, true));
        SNvPacket packet;
        ASSERT_TRUE(ParseNvPacket(client.Receive(), packet));
        EXPECT_EQ(packet.status, kNvDone);
        EXPECT_EQ(packet.data[0], nam);
        const std::string number(packet.data.begin() + 1, packet.data.begin() + 11);
        EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
        EXPECT_EQ(number.size(), 10u);
    }
    const Bytes* esn = sim->store.Find(0, CSimNvStore::kPlain);
    ASSERT_NE(esn, nullptr);
    client.Send(EncodeDiagFrame(BuildEsnRequest(), true));
    EXPECT_EQ(client.Receive(), (Bytes{kDiagEsn, (*esn)[0], (*esn)[1], (*esn)[2], (*esn)[3]}));
}

// ReadReply waits before it reads; what it returns is what Read would: bytes already there
// (even past the deadline), bytes that come while it waits, nothing at the deadline, and a
// port that went away.
TEST(SerialTransportTest, ReadReplyWaitsFirstAndReturnsWhatReadWould) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    std::unique_ptr<ISerialTransport> port = CreateSerialTransport();
    std::string error;
    ASSERT_TRUE(port->Open(ptsname(master), error)) << error;
    const auto in = [](int ms) { return ISerialTransport::Clock::now() + std::chrono::milliseconds(ms); };
    uint8_t buffer[16];
    ASSERT_EQ(::write(master, "abc", 3), 3);
    long got = 0;
    for (int k = 0; k < 200 && got == 0; ++k) {  // until the terminal has passed them on
        got = port->ReadReply(buffer, sizeof buffer, in(-1), error);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(got, 3);
    std::thread writer([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(::write(master, "abc", 3), 3);
    });
    EXPECT_EQ(port->ReadReply(buffer, sizeof buffer, in(5000), error), 3) << error;
    writer.join();
    EXPECT_EQ(port->ReadReply(buffer, sizeof buffer, in(50), error), 0);
    ::close(master);
    EXPECT_EQ(port->ReadReply(buffer, sizeof buffer, in(500), error), -1);
    EXPECT_NE(error.find("went away"), std::string::npos) << error;
}
