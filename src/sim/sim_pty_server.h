#pragma once
#include "phone/diag_frame_decoder.h"
#include "sim/sim_phone.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// How the simulated line behaves.
struct SSimLineOptions {
    // Each way: a request reaches the phone this long after it was sent, and its reply the
    // client as long after the phone answered. Requests queue and are answered in order,
    // so requests in flight overlap the delay.
    std::chrono::milliseconds latency{0};
    std::chrono::microseconds work{0};      // the phone's time for each request
    bool oneAtATime = false;                // requests that reach a busy phone are lost
    bool noise = false;                     // junk (closed by a flag) before each reply
    bool split = false;                     // replies written in small pieces with pauses
    long silentAfter = -1;                  // answer this many requests, then nothing
};

// Serves a simulated phone on a pseudo-terminal. The slave side stays open here as well, so
// that a client may close the device and open it again.
class CSimPtyServer {
public:
    CSimPtyServer(CSimPhone& phone, SSimLineOptions options);
    ~CSimPtyServer();
    CSimPtyServer(const CSimPtyServer&) = delete;
    CSimPtyServer& operator=(const CSimPtyServer&) = delete;

    bool Open(std::string& error);
    const std::string& DevicePath() const { return m_devicePath; }
    // A symbolic link to the device (replacing an older link at that path).
    bool MakeLink(const std::string& path, std::string& error);

    // Serves until Wake() (or Stop()); call Run on one thread, or Start for a thread of its own.
    void Run();
    void Start();
    // Ends Run; callable from a signal handler.
    void Wake();
    // Ends the service and closes the pseudo-terminal: to its client the phone is gone.
    void Stop();

    long Answered() const { return m_answered.load(); }
    long Received() const { return m_received.load(); }
    size_t DroppedFrames() const;

private:
    using Clock = CSimPhone::Clock;
    // A reply and when it reaches the client.
    struct SDue {
        Clock::time_point at;
        std::vector<uint8_t> payload;
    };
    bool WaitOrWoken(std::chrono::milliseconds pause);
    // Takes a request received now: answered (or lost) as the phone's timing says.
    void Take(const std::vector<uint8_t>& request, Clock::time_point now);
    void Send(const std::vector<uint8_t>& bytes);
    void Reply(const std::vector<uint8_t>& payload);

    CSimPhone& m_phone;
    SSimLineOptions m_options;
    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_devicePath;
    std::string m_linkPath;
    CDiagFrameDecoder m_decoder;
    mutable std::mutex m_decoderMutex;
    std::atomic<long> m_answered{0};
    std::atomic<long> m_received{0};
    std::thread m_thread;
    unsigned m_noiseSeed = 12345;
    std::deque<SDue> m_due;
    Clock::time_point m_busyUntil{};
};
