#pragma once
#include "sim/sim_nv_store.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// How the simulated phone behaves beyond its store.
struct SSimPhoneOptions {
    std::string spcCode = "000000";
    std::chrono::milliseconds spcPenalty{10000};
    std::set<int> readOnly;              // writes answer status 7
    std::set<int> unreadable;            // reads get an error reply
    std::set<int> answerForOther;        // reads answered with the next item's number
    std::map<int, uint16_t> readStatus;  // reads answered with this status word
    std::set<int> corruptWrites;         // writes answer done but store other bytes
    bool shortSpcReply = false;          // the SPC answer lacks its verdict byte
};

// A phone as the diagnostic protocol sees it: one request payload in, one reply payload
// out, or nothing while the phone sulks after a wrong SPC code.
class CSimPhone {
public:
    using Clock = std::chrono::steady_clock;

    CSimPhone(CSimNvStore& store, SSimPhoneOptions options);

    std::optional<std::vector<uint8_t>> Answer(const std::vector<uint8_t>& request, Clock::time_point now);
    // Safe to ask from another thread than the one serving the line.
    bool IsSpcAccepted() const { return m_spcAccepted.load(); }

private:
    std::vector<uint8_t> AnswerNv(const std::vector<uint8_t>& request);

    CSimNvStore& m_store;
    SSimPhoneOptions m_options;
    Clock::time_point m_silentUntil{};
    std::atomic<bool> m_spcAccepted{false};
};
