#include "phone/nv_reader.h"

#include "jobs/text_translation.h"
#include "phone/diag_link.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr size_t kNone = SIZE_MAX;

// The reply's data as the link gives it: the value only when the phone read it.
void TakeData(const SNvRead& read, const SNvPacket* packet, SNvReadResult& out) {
    if (packet && packet->status == kNvDone) {
        out.data = packet->data;
        return;
    }
    out.data.fill(0);
    if (read.index >= 0) out.data[0] = static_cast<uint8_t>(read.index);
}

bool SameRecord(const SNvRead& read, const SNvPacket& packet) {
    return packet.item == read.item && (read.subscription < 0 ? packet.subscription < 0 : packet.subscription == read.subscription) &&
           (read.index < 0 || packet.data[0] == read.index);
}
}  // namespace

CNvReader::CNvReader(CDiagLink& link) : m_link(link) {}

std::string CNvReader::OneAtATimeText() { return TrText("CNvReader", "the phone takes one request at a time"); }

void CNvReader::ReadOne(const SNvRead& read, SNvReadResult& out) {
    out.data.fill(0);
    out.status = 0;
    out.refused = 0;
    out.error.clear();
    out.asked = !m_link.HasFailed();
    if (!out.asked) {
        out.ok = false;
    } else if (read.index < 0) {
        out.ok = m_link.ReadNv(read.item, -1, out.data.data(), static_cast<int>(kNvDataSize), out.status,
                               read.subscription);
    } else {
        out.data[0] = static_cast<uint8_t>(read.index);
        out.ok = m_link.ReadNv(read.item, read.index, out.data.data() + 1, static_cast<int>(kNvDataSize) - 1,
                               out.status, read.subscription);
    }
    if (out.ok) return;
    out.refused = m_link.LastRefusal();
    out.error = m_link.LastError();
}

bool CNvReader::Read(const std::vector<SNvRead>& reads, const FDone& done) {
    SNvReadResult result;
    for (size_t i = 0; i < reads.size();) {
        if (m_link.Window() > 1 && !m_link.HasFailed()) {
            i = ReadInFlight(reads, i, done);
            if (i == kNone) return false;
            continue;
        }
        ReadOne(reads[i], result);
        if (!done(i, result)) return false;
        ++i;
    }
    return true;
}

bool CNvReader::NamesRecentRequest(const std::vector<SNvRead>& reads, size_t next, const SNvPacket& packet) const {
    const size_t span = 4 * m_slots.size();
    for (size_t k = next > span ? next - span : 0; k < next; ++k)
        if (SameRecord(reads[k], packet)) return true;
    return false;
}

size_t CNvReader::Match(const std::vector<SNvRead>& reads, size_t first, size_t next) {
    const size_t window = m_slots.size();
    if (m_frame.empty()) return kNone;
    if (IsDiagErrorCode(m_frame[0])) {
        // A refusal echoes the request, perhaps cut short.
        const size_t echoed = m_frame.size() - 1;
        for (size_t k = first; k < next && echoed > 0; ++k) {
            const SSlot& s = m_slots[k % window];
            const size_t n = std::min(echoed, s.request.size());
            if (!s.answered && std::equal(s.request.begin(), s.request.begin() + static_cast<long>(n), m_frame.begin() + 1))
                return k;
        }
        return kNone;
    }
    SNvPacket packet;
    if (!ParseNvPacket(m_frame, packet) || packet.command != kDiagNvRead) return kNone;
    for (size_t k = first; k < next; ++k)
        if (!m_slots[k % window].answered && SameRecord(reads[k], packet)) return k;
    // A duplicate or late reply is skipped; any other may be a phone that names another item.
    if (!NamesRecentRequest(reads, next, packet)) m_foreign.push_back(packet.item);
    return kNone;
}

void CNvReader::FallBack(size_t newest, size_t coming) {
    // Replies still on their way would answer the requests asked again: they are let in and
    // dropped first, until as many came as were missing or the newest request's time is up.
    const auto deadline = m_slots[newest % m_slots.size()].sent + m_link.Timeout();
    while (coming > 0 && m_link.Receive(m_frame, deadline) > 0)
        if (!m_frame.empty() && (m_frame[0] == kDiagNvRead || m_frame[0] == kDiagSubsystem || IsDiagErrorCode(m_frame[0])))
            --coming;
    m_link.FallBackToOneAtATime();
    m_fellBack = true;
}

size_t CNvReader::ReadInFlight(const std::vector<SNvRead>& reads, size_t first, const FDone& done) {
    const size_t n = reads.size();
    const size_t window = static_cast<size_t>(m_link.Window());
    if (m_slots.size() != window) m_slots.assign(window, {});
    const auto timeout = m_link.Timeout();
    m_foreign.clear();
    size_t next = first;
    bool noted = false;
    const auto unanswered = [&](size_t to) {
        size_t missing = 0;
        for (size_t k = first; k < to; ++k) missing += m_slots[k % window].answered ? 0 : 1;
        return missing;
    };
    // The requests from first to before index had no reply; a phone that answers in order
    // answered them under the numbers it gave since the last match. False when it did not.
    const auto answeredUnderOtherNumbers = [&](size_t index) {
        const size_t missing = unanswered(index);
        if (missing == 0 || m_foreign.size() < missing) return missing == 0;
        size_t f = 0;
        for (size_t k = first; k < index; ++k) {
            SSlot& s = m_slots[k % window];
            if (s.answered) continue;
            s.answered = true;
            s.result.ok = false;
            s.result.asked = true;
            s.result.refused = 0;
            s.result.error = CDiagLink::OtherItemText(m_foreign[f++]);
            TakeData(reads[k], nullptr, s.result);
        }
        return true;
    };
    for (;;) {
        bool sent = true;
        while (next < n && next - first < window && sent) {
            SSlot& s = m_slots[next % window];
            const SNvRead& r = reads[next];
            s.answered = false;
            s.sent = std::chrono::steady_clock::now();
            if (!BuildNvRequest(kDiagNvRead, r.item, r.index, nullptr, 0, s.request, r.subscription)) {
                s.answered = true;  // can't be asked: an index past one byte would read another element
                s.result = {};
                s.result.error = TrText("CNvReader", "The request can't address this element.");
            } else if (!m_link.Send(s.request)) {
                sent = false;
                break;
            }
            ++next;
        }
        if (!sent) break;
        for (; first < next && m_slots[first % window].answered; ++first)
            if (!done(first, m_slots[first % window].result)) return kNone;
        if (first == n) return n;
        if (first == next) continue;
        const int got = m_link.Receive(m_frame, m_slots[first % window].sent + timeout);
        if (got < 0) break;
        if (got == 0) {
            // Nothing at all came since the oldest request went: the phone is silent, and one
            // more timeout one at a time would tell no more.
            if (m_link.LastReceived() < m_slots[first % window].sent) {
                m_link.FailSilent();
                for (size_t k = first; k < next; ++k) {
                    SSlot& s = m_slots[k % window];
                    if (s.answered) continue;
                    s.answered = true;
                    s.result = {};
                    s.result.error = m_link.LastError();
                    TakeData(reads[k], nullptr, s.result);
                }
                continue;
            }
            // The oldest request's reply is missing.
            if (answeredUnderOtherNumbers(next)) continue;
            FallBack(next - 1, unanswered(next));
            break;
        }
        const size_t k = Match(reads, first, next);
        if (k == kNone) continue;
        SSlot* s = &m_slots[k % window];
        const bool refusal = IsDiagErrorCode(m_frame[0]);
        // "Bad command" to a command the phone took before, or a reply that overtakes others:
        // the phone lost track of the requests. They are asked again, this one too.
        if ((refusal && m_frame[0] == kDiagBadCommand && m_link.HasAnswered(s->request)) ||
            !answeredUnderOtherNumbers(k)) {
            FallBack(next - 1, unanswered(next) - 1);
            break;
        }
        m_foreign.clear();
        s->answered = true;
        SNvReadResult& out = s->result;
        out.asked = true;
        out.error.clear();
        if (refusal) {
            out.ok = false;
            out.status = 0;
            out.refused = m_frame[0];
            out.error = CDiagLink::RefusalText(m_frame[0]);
            TakeData(reads[k], nullptr, out);
            continue;
        }
        SNvPacket packet;
        (void)ParseNvPacket(m_frame, packet);
        out.ok = true;
        out.refused = 0;
        out.status = packet.status;
        TakeData(reads[k], &packet, out);
        if (!noted) m_link.NoteAnswered(s->request);
        noted = true;
    }
    // The requests of the window without their reply, one at a time (failed when the link is gone).
    for (; first < next; ++first) {
        SSlot& s = m_slots[first % window];
        if (!s.answered) ReadOne(reads[first], s.result);
        if (!done(first, s.result)) return kNone;
    }
    return next;
}
