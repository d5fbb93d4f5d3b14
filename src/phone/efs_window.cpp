#include "phone/efs_window.h"

#include "phone/diag_commands.h"
#include "phone/diag_link.h"

#include <algorithm>

CEfsWindow::CEfsWindow(CDiagLink& link, uint8_t subsystem) : m_link(link), m_subsystem(subsystem) {}

bool CEfsWindow::InFlight(uint16_t command) { return command == kEfsReadDir || command == kEfsRead; }

void CEfsWindow::AskAlone(SSlot& slot) {
    uint8_t refused = 0;
    slot.answer.ok = m_link.Request(slot.bytes, slot.answer.reply, refused);
    if (!slot.answer.ok) slot.answer.error = m_link.LastError();
    slot.answered = true;
}

size_t CEfsWindow::Match() const {
    const size_t none = m_slots.size();
    if (m_frame.empty()) return none;
    if (IsDiagErrorCode(m_frame[0])) {
        // A refusal echoes the request, perhaps cut short.
        const size_t echoed = m_frame.size() - 1;
        for (size_t k = 0; k < m_slots.size() && echoed > 0; ++k) {
            const SSlot& s = m_slots[k];
            const size_t n = std::min(echoed, s.bytes.size());
            if (s.inFlight && !s.answered &&
                std::equal(s.bytes.begin(), s.bytes.begin() + static_cast<long>(n), m_frame.begin() + 1))
                return k;
        }
        return none;
    }
    SEfsMessage reply;
    if (m_frame[0] != kDiagSubsystem || m_frame.size() < 2 || m_frame[1] != m_subsystem || !DecodeEfsReply(m_frame, reply))
        return none;
    for (size_t k = 0; k < m_slots.size(); ++k) {
        const SSlot& s = m_slots[k];
        if (!s.inFlight || s.answered || s.request.command != reply.command) continue;
        // A listing's entry names its handle and sequence number; a chunk its handle and offset.
        const int32_t key = reply.command == kEfsRead ? s.request.Field(2) : s.request.Field(1);
        if (reply.Field(0) == s.request.Field(0) && reply.Field(1) == key) return k;
    }
    return none;
}

void CEfsWindow::FallBack() {
    // Replies still on their way would answer the requests asked again: they are let in and
    // dropped first, until every one came or the newest request's time is up.
    size_t coming = 0;
    auto newest = std::chrono::steady_clock::time_point{};
    for (const SSlot& s : m_slots) {
        if (!s.inFlight || s.answered) continue;
        ++coming;
        newest = std::max(newest, s.sent);
    }
    const auto deadline = newest + m_link.Timeout();
    while (coming > 0 && m_link.Receive(m_frame, deadline) > 0)
        if (Match() < m_slots.size()) --coming;
    m_link.FallBackToOneAtATime();
    m_fellBack = true;
    for (SSlot& s : m_slots) s.inFlight = false;
}

void CEfsWindow::Run(const FNext& next, const FDone& done) {
    m_slots.clear();
    size_t first = 0, count = 0;
    bool stopped = false;
    for (;;) {
        for (; !m_slots.empty() && m_slots.front().answered; ++first) {
            if (!stopped && !done(first, m_slots.front().answer)) stopped = true;
            m_slots.pop_front();
        }
        if (stopped) {
            // Only the replies still on their way are waited for.
            std::erase_if(m_slots, [](const SSlot& s) { return !s.inFlight; });
        } else {
            const size_t window = m_link.HasFailed() ? 1 : static_cast<size_t>(m_link.Window());
            // A request that can't go in flight goes alone, after the others were answered.
            while (m_slots.size() < window && (m_slots.empty() || m_slots.back().inFlight)) {
                SSlot s;
                if (!next(count, s.request)) break;
                ++count;
                s.request.subsystem = m_subsystem;
                s.bytes = EncodeEfsRequest(s.request);
                if (window > 1 && InFlight(s.request.command)) {
                    s.sent = std::chrono::steady_clock::now();
                    s.inFlight = m_link.Send(s.bytes);
                }
                m_slots.push_back(std::move(s));
            }
        }
        if (m_slots.empty()) return;
        SSlot& front = m_slots.front();
        if (!front.inFlight) {
            AskAlone(front);  // the last of the slots: nothing else is in flight
            continue;
        }
        const int got = m_link.Receive(m_frame, front.sent + m_link.Timeout());
        if (got < 0 || (got == 0 && m_link.LastReceived() < front.sent)) {
            // The link is gone, or nothing at all came since the oldest request went: a
            // silent phone, which one more timeout one at a time would not make speak.
            if (got == 0) m_link.FailSilent();
            for (SSlot& s : m_slots) s.inFlight = false;
            continue;
        }
        if (got == 0) {
            FallBack();  // the oldest request's reply is missing
            continue;
        }
        const size_t k = Match();
        if (k == m_slots.size()) continue;
        SSlot& s = m_slots[k];
        const bool refusal = IsDiagErrorCode(m_frame[0]);
        // A reply that overtakes others, or "bad command" to a command the phone took before:
        // the phone lost track of the requests. They are asked again, this one too.
        if (k != 0 || (refusal && m_frame[0] == kDiagBadCommand && m_link.HasAnswered(s.bytes))) {
            s.answered = true;  // not waited for: its reply came
            FallBack();
            s.answered = false;
            continue;
        }
        s.inFlight = false;
        s.answered = true;
        s.answer.ok = !refusal;
        s.answer.reply = m_frame;
        if (refusal) s.answer.error = CDiagLink::RefusalText(m_frame[0]);
        else m_link.NoteAnswered(s.bytes);
    }
}
