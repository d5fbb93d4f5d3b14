// Reads in flight against phones in memory that answer late, twice, out of order, for other
// items, with "bad command", lose requests, go silent or go away: every record, listing and
// file ends right or failed honestly, once each, in order.
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
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

    static bool IsEfs(const Bytes& request) {
        return request.size() >= 4 && request[0] == kDiagSubsystem && request[1] == kEfsSubsystem;
    }
    // An NV request's item; a listing's entry 100 + its sequence number, a file's chunk 200 +
    // its number, other file system requests 300 + their command.
    static uint16_t ItemOf(const Bytes& request) {
        SEfsMessage q;
        if (IsEfs(request) && DecodeEfsRequest(request, q))
            return static_cast<uint16_t>(q.command == kEfsReadDir ? 100 + q.Field(1)
                                         : q.command == kEfsRead  ? 200 + q.Field(2) / static_cast<int32_t>(kEfsChunk)
                                                                  : 300 + q.command);
        SNvPacket p;
        return ParseNvPacket(request, p) ? p.item : 0xFFFF;
    }
    // The phone's answer: the item's low byte and A5 after an element's index. Its file
    // system holds the folder /d of three files of kFileSize bytes; item names another
    // handle.
    static Bytes Answer(const Bytes& request, int item = -1) {
        if (IsEfs(request)) return AnswerEfs(request, item);
        SNvPacket p;
        if (!ParseNvPacket(request, p)) return BuildErrorReply(kDiagBadLength, request);
        const size_t at = p.item >= 20 ? 1 : 0;  // items from 20 on are arrays
        p.data[at] = static_cast<uint8_t>(p.item);
        p.data[at + 1] = 0xA5;
        if (item >= 0) p.item = static_cast<uint16_t>(item);
        return BuildNvPacket(p);
    }
    static constexpr size_t kFileSize = 2500;
    static uint8_t FileByte(size_t at) { return static_cast<uint8_t>(at * 7 + 3); }
    static Bytes AnswerEfs(const Bytes& request, int handle) {
        SEfsMessage q;
        if (!DecodeEfsRequest(request, q)) return BuildErrorReply(kDiagBadLength, request);
        SEfsMessage a = q.command == kEfsHello ? EfsHelloRequest(q.subsystem) : SEfsMessage{q.subsystem, q.command, {0}, {}, {}};
        const int32_t mine = handle >= 0 ? handle : q.Field(0);
        if (q.command == kEfsOpenDir || q.command == kEfsOpen) a.fields = {7, 0};
        if (q.command == kEfsReadDir) {
            a.fields = {mine, q.Field(1), 0, kEfsEntryFile, 0100644, static_cast<int32_t>(kFileSize), 0, 0, 0};
            if (q.Field(1) <= 3) a.text = "f" + std::to_string(q.Field(1));
        }
        if (q.command == kEfsRead) {
            const size_t from = std::min(static_cast<size_t>(q.Field(2)), kFileSize);
            const size_t n = std::min(kEfsChunk, kFileSize - from);
            a.fields = {mine, q.Field(2), static_cast<int32_t>(n), 0};
            for (size_t k = from; k < from + n; ++k) a.data.push_back(FileByte(k));
        }
        return EncodeEfsReply(a);
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
void Silent(CQueuePhone&, std::deque<Bytes>& held) { held.clear(); }

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

// The folder /d's listing and the file /d/f1 read: "right" or the failure. The file's
// outcome is under item 1.
std::map<uint16_t, std::string> ListAndRead(CEfsClient& efs) {
    std::map<uint16_t, std::string> out;
    std::vector<SEfsEntry> entries;
    out[0] = efs.ListFolder("/d", entries) ? "right" : "failed: " + efs.LastError();
    if (out[0] == "right" && (entries.size() != 3 || entries[2].name != "f3" || entries[2].size != CQueuePhone::kFileSize))
        out[0] = "wrong listing";
    std::vector<uint8_t> data;
    out[1] = efs.ReadFile("/d/f1", data, CQueuePhone::kFileSize) ? "right" : "failed: " + efs.LastError();
    for (size_t k = 0; k < data.size() && out[1] == "right"; ++k)
        if (data.size() != CQueuePhone::kFileSize || data[k] != CQueuePhone::FileByte(k)) out[1] = "wrong data";
    return out;
}

struct SRow {
    const char* name;
    CQueuePhone::FRule rule;
    std::map<uint16_t, std::string> otherwise;  // items whose outcome is not "right"
    bool fellBack = false;
    bool linkFails = false;
    bool oneAtATime = false;
    int goneAfter = -1;
    bool files = false;  // a listing and a file read rather than the NV reads
    int requests = -1;   // sent on the link, when it matters
};
}  // namespace

TEST(NvReader, EveryReplyIsMatchedByWhatItAnswersAndEveryRecordEndsOnce) {
    const std::string gone = "failed: gone";
    std::map<uint16_t, std::string> allGone;
    for (uint16_t item : {6, 7, 8, 9, 20, 21}) allGone[item] = gone;
    const std::string silentText = "The phone on memory did not answer within 2000 ms.";
    std::map<uint16_t, std::string> silent;
    for (const SNvRead& read : Reads()) silent[read.item] = "failed: " + silentText;
    const CQueuePhone::FRule swapPairs = [](CQueuePhone& phone, std::deque<Bytes>& held) {
        for (size_t k = 0; k + 1 < held.size(); k += 2) std::swap(held[k], held[k + 1]);
        Each(Plain)(phone, held);
        held.clear();
    };
    const std::vector<SRow> rows = {
        {"in order", Each(Plain), {}},
        {"every pair the other way round", swapPairs, {}, true},
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
        {"a silent phone: one timeout for the window, not one more alone", Silent, silent, false, true, false, -1, false, 4},
        {"files in order", Each(Plain), {}, false, false, false, -1, true},
        {"files: every pair the other way round", swapPairs, {}, true, false, false, -1, true},
        {"files: a reply for another handle before each", Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) < 300) phone.Put(CQueuePhone::Answer(r, 99));
             Plain(phone, r);
         }),
         {}, false, false, false, -1, true},
        {"files: every reply twice", Each([](CQueuePhone& phone, const Bytes& r) {
             Plain(phone, r);
             Plain(phone, r);
         }),
         {}, false, false, false, -1, true},
        {"files: the second chunk's reply missing the first time", Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) != 201 || phone.asked[201] > 1) Plain(phone, r);
         }),
         {}, true, false, false, -1, true},
        {"files: bad command to the second entry after the phone listed the first",
         Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) == 102 && phone.asked[102] == 1) phone.Put(BuildErrorReply(kDiagBadCommand, r));
             else Plain(phone, r);
         }),
         {}, true, false, false, -1, true},
        {"files: the port goes away after the third entry", Each(Plain), {{0, "failed: /d: gone"}, {1, "failed: /d/f1: gone"}},
         false, true, false, 5, true},
        {"files: a phone that loses what comes while it is busy", Each(Plain), {}, true, false, true, -1, true},
        // Hello and the folder's opening answered, then nothing: one timeout for the window.
        {"files: a silent phone", Each([](CQueuePhone& phone, const Bytes& r) {
             if (CQueuePhone::ItemOf(r) >= 300) Plain(phone, r);
         }),
         {{0, "failed: /d: " + silentText}, {1, "failed: /d/f1: " + silentText}}, false, true, false, -1, true, 6},
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
        if (row.files) {
            CEfsClient efs(std::shared_ptr<CDiagLink>(&link, [](CDiagLink*) {}));
            const std::map<uint16_t, std::string> outcomes = ListAndRead(efs);
            for (const auto& [what, outcome] : outcomes)
                EXPECT_EQ(outcome, row.otherwise.count(what) ? row.otherwise.at(what) : "right") << row.name << ", " << what;
            EXPECT_EQ(efs.FellBack(), row.fellBack) << row.name;
            EXPECT_EQ(link.TakesOneAtATime(), row.fellBack) << row.name;
            EXPECT_EQ(link.HasFailed(), row.linkFails) << row.name;
            if (row.requests >= 0) {
                EXPECT_EQ(link.Requests(), static_cast<size_t>(row.requests)) << row.name;
            }
            continue;
        }
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
        if (row.requests >= 0) {
            EXPECT_EQ(link.Requests(), static_cast<size_t>(row.requests)) << row.name;
        }
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
