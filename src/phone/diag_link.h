#pragma once
#include "phone/diag_commands.h"
#include "phone/diag_frame_decoder.h"
#include "phone/serial_transport.h"

#include <atomic>
#include <bitset>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One connection to a phone: requests go out one at a time, each waits for its reply until
// the timeout. A timeout or a lost port marks the link failed; every later request then
// fails at once, so a phone that went away costs one timeout, not one per item. The input is
// flushed on connect and after a timeout, a bad frame or an unexpected reply, not per request.
// Callable from any thread; calls on one link are serialised.
class CDiagLink {
public:
    explicit CDiagLink(std::unique_ptr<ISerialTransport> transport);

    bool Open(const std::string& device);
    void Close();
    const std::string& Device() const { return m_device; }

    void SetTimeout(std::chrono::milliseconds timeout) { m_timeoutMs = timeout.count(); }
    std::chrono::milliseconds Timeout() const { return std::chrono::milliseconds(m_timeoutMs.load()); }
    bool HasFailed() const { return m_failed.load(); }
    // The reason of the last failed call, as a sentence.
    std::string LastError() const;

    // The version request: true when the phone answers.
    bool Probe();
    // The version request, and what its reply tells.
    bool ReadVersion(SPhoneVersion& version);
    // The error code of the phone's reply when the last call failed by the phone's refusal
    // (bad command, bad parameters, ...); 0 when it failed otherwise or did not fail.
    uint8_t LastRefusal() const;
    // Requests sent since the link was made.
    size_t Requests() const { return m_requests.load(); }
    // index < 0: a plain item. status receives the phone's status word unchanged; on status 0
    // a read copies length value bytes into buffer. subscription >= 0 goes through the
    // subsystem command of a subscription's records (0 the first, 1 the second, ...).
    bool ReadNv(uint16_t item, int index, uint8_t* buffer, int length, uint16_t& status, int subscription = -1);
    bool WriteNv(uint16_t item, int index, const uint8_t* value, int length, uint16_t& status,
                 int subscription = -1);
    bool SendSpc(const uint8_t* code, bool& accepted);
    bool ReadEsn(uint32_t& esn);
    // The mode command (offline, reset, ...): true when the phone echoes it.
    bool SetMode(uint16_t mode);

    // Any request and its reply. False when the phone refused it (refused then holds the
    // error code of its reply, e.g. bad command for an unknown subsystem) or the exchange
    // failed (refused 0).
    bool Request(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply, uint8_t& refused);

    // For readers that keep several requests in flight (CNvReader). The window asked for:
    // 1 sends one request at a time. A phone found to take one request at a time keeps to
    // that until the next connection.
    void SetWindow(int window) { m_window = window < 1 ? 1 : window; }
    int Window() const { return m_oneAtATime ? 1 : m_window.load(); }
    bool TakesOneAtATime() const { return m_oneAtATime.load(); }
    // Falls back to one request at a time; replies still on their way are dropped before
    // the next request.
    void FallBackToOneAtATime();
    // True when the phone answered a request of this command (subsystem) on this connection.
    bool HasAnswered(const std::vector<uint8_t>& request) const;
    void NoteAnswered(const std::vector<uint8_t>& request);
    // Sends a request without waiting for its reply; false when the link failed.
    bool Send(const std::vector<uint8_t>& request);
    // The next frame received before deadline: 1 a frame, 0 none came, -1 the link failed.
    int Receive(std::vector<uint8_t>& frame, ISerialTransport::Clock::time_point deadline);
    // When Receive last gave a frame.
    ISerialTransport::Clock::time_point LastReceived() const { return m_lastReceived; }
    // Marks the link failed as a phone that did not answer within the timeout: a window
    // whose oldest request had no reply while nothing at all came is a silent phone, not
    // one that takes one request at a time.
    void FailSilent();
    // Reasons of failed requests, as LastError() tells them.
    static std::string RefusalText(uint8_t code);
    static std::string OtherItemText(uint16_t item);

private:
    bool Exchange(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply);
    bool NvExchange(uint8_t command, uint16_t item, int index, const uint8_t* value, int length, uint16_t& status,
                    uint8_t* readBuffer, int subscription);
    bool Fail(const std::string& error);
    bool FailLink(const std::string& error);
    bool FailNoAnswer();

    mutable std::mutex m_mutex;
    std::unique_ptr<ISerialTransport> m_transport;
    CDiagFrameDecoder m_decoder;
    std::string m_device;
    std::atomic<long long> m_timeoutMs{2000};
    std::atomic<bool> m_failed{false};
    std::atomic<size_t> m_requests{0};
    std::atomic<int> m_window{1};
    std::atomic<bool> m_oneAtATime{false};
    std::bitset<512> m_answered;  // by command, and 256 + subsystem for subsystem commands
    bool m_flushPending = true;  // the input may hold bytes that are no reply to the next request
    uint8_t m_refusedCode = 0;  // of the last exchange
    ISerialTransport::Clock::time_point m_lastReceived{};
    std::string m_lastError;
    std::vector<uint8_t> m_readBuffer;
    std::vector<uint8_t> m_request, m_frame, m_reply;
};
