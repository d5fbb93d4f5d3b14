#pragma once
#include "phone/diag_commands.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CDiagLink;

// Reads kept in flight unless told otherwise, and the most a connection takes.
inline constexpr int kDefaultReadWindow = 8;
inline constexpr int kMaxReadWindow = 64;

// One NV record to read: a plain item (index < 0) or an array element, of the default
// records (subscription < 0) or of a subscription's.
struct SNvRead {
    uint16_t item = 0;
    int index = -1;
    int subscription = -1;
};

// The phone's answer to one read.
struct SNvReadResult {
    bool ok = false;       // the phone answered; status tells the rest
    bool asked = true;     // false: not asked, the link had failed before
    uint16_t status = 0;
    uint8_t refused = 0;   // the error code when the phone refused the request
    std::array<uint8_t, kNvDataSize> data{};  // as the reply carries them: an element's index first
    std::string error;     // why not ok
};

// Reads NV records keeping up to the link's window of requests in flight. Replies are matched
// to requests by command, item, element and subscription, never by their position; a reply
// that matches nothing in flight is skipped. A reply missing or out of order, or "bad
// command" to a command the phone answered before, drops the link to one request at a time
// for the rest of the connection and asks again for every request left without its reply.
// A phone that answers in order but names another item fails those records, as one at a time.
class CNvReader {
public:
    explicit CNvReader(CDiagLink& link);

    // Called for each read in order of reads; false stops the reading.
    using FDone = std::function<bool(size_t i, const SNvReadResult& result)>;
    // False when done stopped it. After the link failed the rest are failed at once.
    bool Read(const std::vector<SNvRead>& reads, const FDone& done);
    // True when this reader made the link fall back to one request at a time.
    bool FellBack() const { return m_fellBack; }

    // The note of an outcome after a fall back.
    static std::string OneAtATimeText();

private:
    struct SSlot {
        std::vector<uint8_t> request;
        std::chrono::steady_clock::time_point sent;
        bool answered = false;
        SNvReadResult result;
    };
    // One request and its reply alone, as the link always did.
    void ReadOne(const SNvRead& read, SNvReadResult& result);
    // Reads from first on with requests in flight; returns the index reached, or SIZE_MAX when stopped.
    size_t ReadInFlight(const std::vector<SNvRead>& reads, size_t first, const FDone& done);
    // The request in flight the reply in m_frame answers; SIZE_MAX for none.
    size_t Match(const std::vector<SNvRead>& reads, size_t first, size_t next);
    // True when the reply names a request sent lately (a duplicate or a late reply).
    bool NamesRecentRequest(const std::vector<SNvRead>& reads, size_t next, const SNvPacket& packet) const;
    // One request at a time from now on, once the coming replies of the window were let in.
    void FallBack(size_t newest, size_t coming);

    CDiagLink& m_link;
    std::vector<SSlot> m_slots;
    std::vector<uint8_t> m_frame;
    std::vector<uint16_t> m_foreign;  // items named by replies matching nothing since the last match
    bool m_fellBack = false;
};
