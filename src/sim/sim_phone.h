#pragma once
#include "sim/sim_file_system.h"
#include "sim/sim_nv_store.h"
#include "phone/diag_commands.h"

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
    bool subscriptions = true;           // false: the subscription NV command is unknown
    uint8_t efsSubsystem = kEfsSubsystem;  // the one subsystem of the file system; 0: none
    std::set<std::string> efsFail;       // files that fail half way (see CSimFileSystem)
    bool efsFull = false;                // no space left for data or folders
    std::set<std::string> efsHidden;     // files readdir does not list
    std::set<std::string> efsUnlistable; // folders opendir refuses
    std::set<std::string> efsEndless;    // folders whose subfolders never end
    size_t efsLongName = 0;              // characters of one more entry in every listing; 0: none
    int efsJournal = 0;                  // writes before the journal is full until a sync; 0: no limit
    bool efsRefuseSync = false;          // the sync request answers an error
    bool efsKeepUnsynced = false;        // a reset keeps file writes that were not synced
    std::chrono::milliseconds hang{5000};  // silence after a request that hangs modems
    bool shortSpcReply = false;          // the SPC answer lacks its verdict byte
};

// A phone as the diagnostic protocol sees it: one request payload in, one reply payload
// out, or nothing while the phone sulks after a wrong SPC code.
class CSimPhone {
public:
    using Clock = std::chrono::steady_clock;

    CSimPhone(CSimNvStore& store, SSimPhoneOptions options);

    // Subscriptions the phone keeps records for: 0 (the store given), 1 and 2.
    static constexpr int kSubscriptions = 3;

    std::optional<std::vector<uint8_t>> Answer(const std::vector<uint8_t>& request, Clock::time_point now);
    // Safe to ask from another thread than the one serving the line.
    bool IsSpcAccepted() const { return m_spcAccepted.load(); }
    // The last mode the phone was put in (online until told otherwise; a reset brings it back
    // online), and how many resets it had.
    uint16_t Mode() const { return m_mode.load(); }
    int Resets() const { return m_resets.load(); }

    // The records of a subscription: 0 is the store given, 1 and 2 the phone's own, with
    // the same definitions. Touch them only while the line is not served.
    CSimNvStore& Subscription(int subscription);
    CSimFileSystem& Files() { return m_files; }

private:
    std::vector<uint8_t> AnswerSubsystem(const std::vector<uint8_t>& request);
    std::vector<uint8_t> AnswerNv(const std::vector<uint8_t>& request);
    std::vector<uint8_t> AnswerMode(const std::vector<uint8_t>& request);

    CSimNvStore& m_store;
    CSimNvStore m_subscriptions[kSubscriptions - 1];
    CSimFileSystem m_files;
    SSimPhoneOptions m_options;
    Clock::time_point m_silentUntil{};
    std::atomic<bool> m_spcAccepted{false};
    std::atomic<uint16_t> m_mode{kModeOnline};
    std::atomic<int> m_resets{0};
};
