// The link against a phone in memory whose answers are well-formed but wrong.
#include "phone/diag_commands.h"
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace {
using Bytes = std::vector<uint8_t>;

// A port in memory: reads take what the phone put in m_pending, at once; none left is a timeout.
class CMemoryPort : public ISerialTransport {
public:
    bool Open(const std::string&, std::string&) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    long Read(uint8_t* buffer, size_t size, Clock::time_point, std::string&) override {
        const size_t n = std::min(size, m_pending.size());
        std::copy_n(m_pending.begin(), n, buffer);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(n));
        return static_cast<long>(n);
    }

protected:
    CDiagFrameDecoder m_decoder;  // of the requests
    Bytes m_pending;
};

// Every NV request for an element is answered at once: done, 0x11 0x22 after the index byte,
// then passed through alter.
class CAlteringPhone : public CMemoryPort {
public:
    explicit CAlteringPhone(std::function<void(SNvPacket&)> alter) : m_alter(std::move(alter)) {}
    void DiscardInput() override { m_pending.clear(); }
    bool Write(const uint8_t* bytes, size_t length, Clock::time_point, std::string&) override {
        m_decoder.Feed(bytes, length);
        Bytes request;
        SNvPacket packet;
        while (m_decoder.PopFrame(request)) {
            if (!ParseNvPacket(request, packet)) continue;
            packet.data[1] = 0x11;
            packet.data[2] = 0x22;
            packet.status = kNvDone;
            m_alter(packet);
            const Bytes frame = EncodeDiagFrame(BuildNvPacket(packet), false);
            m_pending.insert(m_pending.end(), frame.begin(), frame.end());
        }
        return true;
    }

private:
    std::function<void(SNvPacket&)> m_alter;
};
}  // namespace

TEST(DiagLink, AReplyForAnotherItemOrElementIsRefusedAndTheLinkGoesOn) {
    const struct {
        const char* what;
        std::function<void(SNvPacket&)> alter;
        const char* error;  // empty: the read succeeds
    } cases[] = {
        {"as asked", [](SNvPacket&) {}, ""},
        {"another element", [](SNvPacket& p) { p.data[0] = 2; }, "The phone answered for another item (20)."},
        {"another item", [](SNvPacket& p) { p.item = 21; }, "The phone answered for another item (21)."},
    };
    for (const auto& c : cases) {
        CDiagLink link(std::make_unique<CAlteringPhone>(c.alter));
        ASSERT_TRUE(link.Open("memory"));
        uint8_t value[2] = {};
        uint16_t status = 99;
        const bool read = link.ReadNv(20, 1, value, 2, status);
        EXPECT_EQ(read, !*c.error) << c.what;
        EXPECT_EQ(link.LastError(), c.error) << c.what;
        EXPECT_EQ(value[0], read ? 0x11 : 0) << c.what;  // nothing is stored from a wrong reply
        EXPECT_FALSE(link.HasFailed()) << c.what;
    }
}

namespace {
// Answers each NV read with the item's low byte; its input can be given stale bytes ahead of a
// reply, or a reply held back past the timeout and delivered later. Counts the flushes.
class CLatePhone : public CMemoryPort {
public:
    void DiscardInput() override {
        m_pending.clear();
        ++flushes;
    }
    bool Write(const uint8_t* bytes, size_t length, Clock::time_point, std::string&) override {
        m_decoder.Feed(bytes, length);
        Bytes request;
        SNvPacket packet;
        while (m_decoder.PopFrame(request)) {
            if (!ParseNvPacket(request, packet)) continue;
            packet.data[0] = static_cast<uint8_t>(packet.item);
            packet.status = kNvDone;
            Bytes reply = std::exchange(staleBeforeNext, {});
            const Bytes frame = EncodeDiagFrame(BuildNvPacket(packet), false);
            reply.insert(reply.end(), frame.begin(), frame.end());
            Bytes& to = std::exchange(holdNext, false) ? m_late : m_pending;
            to.insert(to.end(), reply.begin(), reply.end());
        }
        return true;
    }
    void DeliverLateReply() { m_pending.insert(m_pending.end(), m_late.begin(), m_late.end()); }

    int flushes = 0;
    bool holdNext = false;
    Bytes staleBeforeNext;

private:
    Bytes m_late;
};
}  // namespace

TEST(DiagLink, TheInputIsFlushedOnlyAfterAFaultAndStaleRepliesNeverAnswerARequest) {
    auto owned = std::make_unique<CLatePhone>();
    CLatePhone& phone = *owned;
    CDiagLink link(std::move(owned));
    const auto read = [&](uint16_t item) {
        uint8_t value = 0;
        uint16_t status = 99;
        return link.ReadNv(item, -1, &value, 1, status) && status == kNvDone ? value : -1;
    };
    ASSERT_TRUE(link.Open("memory"));
    for (uint16_t item = 1; item <= 3; ++item) EXPECT_EQ(read(item), item);
    EXPECT_EQ(phone.flushes, 1);  // on connect only: a clean line has nothing to drop

    // An old ESN reply and line noise ahead of the reply: skipped, and the input flushed before
    // the next request.
    phone.staleBeforeNext = EncodeDiagFrame(Bytes{kDiagEsn, 1, 2, 3, 4}, false);
    phone.staleBeforeNext.insert(phone.staleBeforeNext.end(), {0x55, 0x66, kDiagFlag});
    EXPECT_EQ(read(4), 4);
    EXPECT_EQ(phone.flushes, 1);
    EXPECT_EQ(read(5), 5);
    EXPECT_EQ(phone.flushes, 2);

    // A reply that comes after the timeout waits in the input for the next connection.
    phone.holdNext = true;
    EXPECT_EQ(read(6), -1);
    EXPECT_TRUE(link.HasFailed());
    phone.DeliverLateReply();
    ASSERT_TRUE(link.Open("memory"));
    EXPECT_EQ(read(7), 7);
    EXPECT_EQ(read(8), 8);
    EXPECT_EQ(phone.flushes, 3);
}
