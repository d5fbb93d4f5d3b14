// The link against a phone in memory whose answers are well-formed but wrong.
#include "phone/diag_commands.h"
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {
using Bytes = std::vector<uint8_t>;

// Every NV request for an element is answered at once: done, 0x11 0x22 after the index byte,
// then passed through alter.
class CAlteringPhone : public ISerialTransport {
public:
    explicit CAlteringPhone(std::function<void(SNvPacket&)> alter) : m_alter(std::move(alter)) {}
    bool Open(const std::string&, std::string&) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
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
    long Read(uint8_t* buffer, size_t size, Clock::time_point, std::string&) override {
        const size_t n = std::min(size, m_pending.size());
        std::copy_n(m_pending.begin(), n, buffer);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(n));
        return static_cast<long>(n);
    }

private:
    std::function<void(SNvPacket&)> m_alter;
    CDiagFrameDecoder m_decoder;
    Bytes m_pending;
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
