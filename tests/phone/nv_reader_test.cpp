// Reads in flight against phones in memory that answer late, twice, out of order, for other
// items, with "bad command", lose requests or go away: every record ends right or failed
// honestly, once each, in order.
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"
#include "phone/nv_reader.h"
#include "scripted_phone.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

namespace {
using scripted::Bytes;

// A phone in memory that holds the requests it receives until the link waits for a reply;
// then its rule turns them into reply bytes. No bytes waiting is a timeout at once.
class CQueuePhone : public scripted::CMemoryLine {
public:
    using FRule = std::function<void(CQueuePhone&, std::deque<Bytes>& held)>;
    explicit CQueuePhone(FRule rule) : m_rule(std::move(rule)) {}

    bool Write(const uint8_t* bytes, size_t length, Clock::time_point, std::string&) override {
        m_decoder.Feed(bytes, length);
        Bytes request;
        while (m_decoder.PopFrame(request)) {
            ++asked[ItemOf(request)];
            // A phone busy with a request loses the next.
            if (oneAtATime && (!m_held.empty() || !m_pending.empty())) continue;
            m_held.push_back(request);
        }
        return true;
    }
    long Read(uint8_t* buffer, size_t size, Clock::time_point, std::string& error) override {
        if (m_pending.empty() && !m_held.empty()) m_rule(*this, m_held);
        if (m_pending.empty() && goneAfter >= 0 && replies >= goneAfter) {
            error = "gone";
            return -1;
        }
        return TakePending(buffer, size);
    }

    static uint16_t ItemOf(const Bytes& request) {
        SNvPacket p;
        return ParseNvPacket(request, p) ? p.item : 0xFFFF;
    }
    // The phone's answer: the item's low byte and A5 after an element's index.
    static Bytes Answer(const Bytes& request, int item = -1) {
        SNvPacket p;
        if (!ParseNvPacket(request, p)) return BuildErrorReply(kDiagBadLength, request);
        const size_t at = p.item >= 20 ? 1 : 0;  // items from 20 on are arrays
        p.data[at] = static_cast<uint8_t>(p.item);
        p.data[at + 1] = 0xA5;
        if (item >= 0) p.item = static_cast<uint16_t>(item);
        return BuildNvPacket(p);
    }
    void Put(const Bytes& payload) {
        if (goneAfter >= 0 && replies >= goneAfter) return;
        ++replies;
        const Bytes frame = EncodeDiagFrame(payload, false);
        m_pending.insert(m_pending.end(), frame.begin(), frame.end());
    }

    bool oneAtATime = false;
    int goneAfter = -1;  // replies before the port goes away
    int replies = 0;
    std::map<uint16_t, int> asked;  // requests by item

private:
    FRule m_rule;
    std::deque<Bytes> m_held;
};

// Answers every held request in order, each through answer.
CQueuePhone::FRule Each(std::function<void(CQueuePhone&, const Bytes&)> answer) {
    return [answer](CQueuePhone& phone, std::deque<Bytes>& held) {
        for (const Bytes& r : held) answer(phone, r);
        held.clear();
    };
}
void Plain(CQueuePhone& phone, const Bytes& r) { phone.Put(CQueuePhone::Answer(r)); }

// Items 1 to 8, item 9 of subscription 1, then elements 1 of item 20 and 2 of item 21.
std::vector<SNvRead> Reads() {
    std::vector<SNvRead> reads;
    for (uint16_t item = 1; item <= 8; ++item) reads.push_back({item, -1, -1});
    reads.push_back({9, -1, 1});
    reads.push_back({20, 1, -1});
    reads.push_back({21, 2, -1});
    return reads;
}

// The same item's reply for another element, or for the default records, with other bytes.
Bytes OtherElementOrSubscription(const Bytes& request) {
    SNvPacket p;
    ParseNvPacket(CQueuePhone::Answer(request), p);
    if (p.subscription >= 0) p.subscription = -1;
    else ++p.data[0];
    std::fill(p.data.begin() + 1, p.data.end(), 0xEE);
    return BuildNvPacket(p);
}

// What a read gave: "right", "wrong value", or the failure.
std::string Outcome(const SNvRead& read, const SNvReadResult& r) {
    if (!r.ok) return r.refused ? "refused " + std::to_string(r.refused) : "failed: " + r.error;
    const size_t at = read.index >= 0 ? 1 : 0;
    const bool right = r.status == kNvDone && r.data[at] == static_cast<uint8_t>(read.item) && r.data[at + 1] == 0xA5 &&
                       (read.index < 0 || r.data[0] == read.index);
    return right ? "right" : "wrong value";
}

struct SRow {
    const char* name;
    CQueuePhone::FRule rule;
    std::map<uint16_t, std::string> otherwise;  // items whose outcome is not "right"
    bool fellBack = false;
    bool linkFails = false;
    bool oneAtATime = false;
    int goneAfter = -1;
};
}  // namespace

TEST(NvReader, EveryReplyIsMatchedByWhatItAnswersAndEveryRecordEndsOnce) {
    const std::string gone = "failed: gone";
    std::map<uint16_t, std::string> allGone;
    for (uint16_t item : {6, 7, 8, 9, 20, 21}) allGone[item] = gone;
    const std::vector<SRow> rows = {
        {"in order", Each(Plain), {}},
        {"every pair the other way round",
         [](CQueuePhone& phone, std::deque<Bytes>& held) {
             for (size_t k = 0; k + 1 < held.size(); k += 2) std::swap(held[k], held[k + 1]);
             Each(Plain)(phone, held);
             held.clear();
         },
         {}, true},
        {"a reply for an item never asked for before each",
         Each([](CQueuePhone& phone, const Bytes& r) {
             phone.Put(CQueuePhone::Answer(r, 999));
             Plain(phone, r);
         }),
         {}},
        {"the same item's reply for another element or subscription first",
         Each([](CQueuePhone& phone, const Bytes& r) {
             SNvPacket p;
             if (ParseNvPacket(r, p) && (p.item >= 20 || p.subscription >= 0)) phone.Put(OtherElementOrSubscription(r));
             Plain(phone, r);
         }),
         {}},
        {"every reply twice", Each([](CQueuePhone& phone, const Bytes& r) {
             Plain(phone, r);
             Plain(phone, r);
         }),
         {}},
        {"the reply to item 3 missing the first time", Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) != 3 || phone.asked[3] > 1) Plain(phone, r);
         }),
         {}, true},
        {"the reply to item 8 missing the first time: the last in flight",
         Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) != 8 || phone.asked[8] > 1) Plain(phone, r);
         }),
         {}, true},
        {"bad command to item 4 after the phone took the command",
         Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) == 4 && phone.asked[4] == 1) phone.Put(BuildErrorReply(kDiagBadCommand, r));
             else Plain(phone, r);
         }),
         {}, true},
        {"bad parameters for item 5 is the phone's answer",
         Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) == 5) phone.Put(BuildErrorReply(kDiagBadParameters, Bytes(r.begin(), r.begin() + 3)));
             else Plain(phone, r);
         }),
         {{5, "refused 20"}}},
        {"item 5 always answered as another item, in order",
         Each([](CQueuePhone& phone, const Bytes& r) {
             phone.Put(CQueuePhone::Answer(r, CQueuePhone::ItemOf(r) == 5 ? 999 : -1));
         }),
         {{5, "failed: The phone answered for another item (999)."}}},
        {"the last item answered as another item, in order",
         Each([](CQueuePhone& phone, const Bytes& r) {
             phone.Put(CQueuePhone::Answer(r, CQueuePhone::ItemOf(r) == 21 ? 999 : -1));
         }),
         {{21, "failed: The phone answered for another item (999)."}}},
        {"the port goes away after five replies", Each(Plain), allGone, false, true, false, 5},
        {"a phone that loses what comes while it is busy", Each(Plain), {}, true, false, true},
    };
    const std::vector<SNvRead> reads = Reads();
    for (const SRow& row : rows) {
        auto owned = std::make_unique<CQueuePhone>(row.rule);
        CQueuePhone& phone = *owned;
        phone.oneAtATime = row.oneAtATime;
        phone.goneAfter = row.goneAfter;
        CDiagLink link(std::move(owned));
        ASSERT_TRUE(link.Open("memory"));
        link.SetWindow(4);
        CNvReader reader(link);
        std::vector<size_t> order;
        ASSERT_TRUE(reader.Read(reads, [&](size_t i, const SNvReadResult& r) {
            order.push_back(i);
            const std::string expected = row.otherwise.count(reads[i].item) ? row.otherwise.at(reads[i].item) : "right";
            EXPECT_EQ(Outcome(reads[i], r), expected) << row.name << ", item " << reads[i].item;
            return true;
        })) << row.name;
        ASSERT_EQ(order.size(), reads.size()) << row.name;
        for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i) << row.name;
        EXPECT_EQ(reader.FellBack(), row.fellBack) << row.name;
        EXPECT_EQ(link.TakesOneAtATime(), row.fellBack) << row.name;
        EXPECT_EQ(link.HasFailed(), row.linkFails) << row.name;
    }
}

TEST(NvReader, AFallBackLastsTheConnectionAndStoppingEndsAtOnce) {
    auto owned = std::make_unique<CQueuePhone>(Each(Plain));
    CQueuePhone& phone = *owned;
    phone.oneAtATime = true;
    CDiagLink link(std::move(owned));
    ASSERT_TRUE(link.Open("memory"));
    link.SetWindow(4);
    const std::vector<SNvRead> reads = Reads();
    const auto all = [](size_t, const SNvReadResult& r) { return r.ok; };
    CNvReader first(link);
    ASSERT_TRUE(first.Read(reads, all));
    EXPECT_TRUE(first.FellBack());
    // The next reader on the connection asks one at a time and tells nothing new.
    CNvReader second(link);
    ASSERT_TRUE(second.Read(reads, all));
    EXPECT_FALSE(second.FellBack());
    EXPECT_EQ(link.Window(), 1);
    // A new connection tries the window again.
    ASSERT_TRUE(link.Open("memory"));
    EXPECT_EQ(link.Window(), 4);

    phone.oneAtATime = false;
    size_t calls = 0;
    CNvReader stopped(link);
    EXPECT_FALSE(stopped.Read(reads, [&](size_t i, const SNvReadResult&) {
        ++calls;
        return i < 2;
    }));
    EXPECT_EQ(calls, 3u);
}
