#pragma once
#include "phone/efs_commands.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class CDiagLink;

// The phone's answer to one file system request.
struct SEfsAnswer {
    bool ok = false;             // a reply came that was no refusal
    std::vector<uint8_t> reply;  // its bytes
    std::string error;           // why not ok
};

// Keeps file system reads in flight on a link, up to its window: a listing's entries and a
// file's chunks. Replies are matched to requests by command and what they answer (the
// listing's handle and sequence number, the file's handle and offset), never by position; a
// reply that matches nothing in flight is skipped. A reply missing or overtaking others, or
// "bad command" to a command the phone answered before, drops the link to one request at a
// time for the rest of the connection, and the requests without their reply are asked again.
// At a window of 1 every request goes alone, as the link always sent them.
class CEfsWindow {
public:
    CEfsWindow(CDiagLink& link, uint8_t subsystem);

    // The request numbered i (from 0), or false when none is to go now: asked again after
    // each answer, and the run ends when nothing is in flight and none is to go.
    using FNext = std::function<bool(size_t i, SEfsMessage& request)>;
    // Each answer, in the order of the requests; false sends no more (the replies still on
    // their way are let in and dropped).
    using FDone = std::function<bool(size_t i, const SEfsAnswer& answer)>;
    void Run(const FNext& next, const FDone& done);
    // True when this window made the link fall back to one request at a time.
    bool FellBack() const { return m_fellBack; }

    // True for the commands whose replies name what they answer, so they may go in flight.
    static bool InFlight(uint16_t command);

private:
    struct SSlot {
        SEfsMessage request;
        std::vector<uint8_t> bytes;
        std::chrono::steady_clock::time_point sent;
        bool inFlight = false;
        bool answered = false;
        SEfsAnswer answer;
    };
    void AskAlone(SSlot& slot);
    // The slot in flight the frame answers, or m_slots.size() for none.
    size_t Match() const;
    void FallBack();

    CDiagLink& m_link;
    uint8_t m_subsystem;
    std::deque<SSlot> m_slots;  // from the oldest request not yet given to done
    std::vector<uint8_t> m_frame;
    bool m_fellBack = false;
};
