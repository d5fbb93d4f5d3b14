#include "phone/diag_link.h"

#include "phone/diag_commands.h"
#include "phone/diag_framing.h"
#include "jobs/text_translation.h"

#include <cstring>

CDiagLink::CDiagLink(std::unique_ptr<ISerialTransport> transport)
    : m_transport(std::move(transport)), m_readBuffer(kDiagMaxFrame) {}

bool CDiagLink::Open(const std::string& device) {
    std::lock_guard lock(m_mutex);
    m_device = device;
    m_decoder.Reset();
    m_failed = false;
    m_oneAtATime = false;
    m_answered.reset();
    m_flushPending = true;  // whatever the port held before this connection is not ours
    std::string error;
    if (!m_transport->Open(device, error)) {
        m_failed = true;
        m_lastError = error;
        return false;
    }
    return true;
}

void CDiagLink::Close() {
    std::lock_guard lock(m_mutex);
    m_transport->Close();
    m_failed = true;
    m_lastError = TrText("CDiagLink", "The connection is closed.");
}

std::string CDiagLink::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

namespace {
size_t AnsweredBit(const std::vector<uint8_t>& request) {
    return request.size() >= 2 && request[0] == kDiagSubsystem ? 256 + request[1] : request[0];
}
}  // namespace

std::string CDiagLink::RefusalText(uint8_t code) {
    return FillText(TrText("CDiagLink", "The phone refused the request: %1."), {DiagErrorText(code)});
}

std::string CDiagLink::OtherItemText(uint16_t item) {
    return FillText(TrText("CDiagLink", "The phone answered for another item (%1)."), {std::to_string(item)});
}

void CDiagLink::FallBackToOneAtATime() {
    std::lock_guard lock(m_mutex);
    m_oneAtATime = true;
    m_flushPending = true;
}

bool CDiagLink::HasAnswered(const std::vector<uint8_t>& request) const {
    std::lock_guard lock(m_mutex);
    return !request.empty() && m_answered.test(AnsweredBit(request));
}

void CDiagLink::NoteAnswered(const std::vector<uint8_t>& request) {
    std::lock_guard lock(m_mutex);
    if (!request.empty()) m_answered.set(AnsweredBit(request));
}

bool CDiagLink::Send(const std::vector<uint8_t>& request) {
    std::lock_guard lock(m_mutex);
    if (m_failed) return false;
    if (m_flushPending) {
        m_transport->DiscardInput();
        m_decoder.Reset();
        m_flushPending = false;
    }
    EncodeDiagFrameInto(request.data(), request.size(), true, m_frame);
    ++m_requests;
    std::string error;
    const auto deadline = ISerialTransport::Clock::now() + std::chrono::milliseconds(m_timeoutMs.load());
    return m_transport->Write(m_frame.data(), m_frame.size(), deadline, error) || FailLink(error);
}

int CDiagLink::Receive(std::vector<uint8_t>& frame, ISerialTransport::Clock::time_point deadline) {
    std::lock_guard lock(m_mutex);
    for (;;) {
        if (m_failed) return -1;
        if (m_decoder.PopFrame(frame)) {
            m_lastReceived = ISerialTransport::Clock::now();
            return 1;
        }
        std::string error;
        const long n = m_transport->Read(m_readBuffer.data(), m_readBuffer.size(), deadline, error);
        if (n < 0) {
            FailLink(error);
            return -1;
        }
        if (n == 0) return 0;
        m_decoder.Feed(m_readBuffer.data(), static_cast<size_t>(n));
    }
}

bool CDiagLink::Fail(const std::string& error) {
    m_lastError = error;
    return false;
}

bool CDiagLink::FailLink(const std::string& error) {
    m_failed = true;
    m_lastError = error;
    return false;
}

bool CDiagLink::FailNoAnswer() {
    return FailLink(FillText(TrText("CDiagLink", "The phone on %1 did not answer within %2 ms."),
                             {m_device, std::to_string(m_timeoutMs.load())}));
}

void CDiagLink::FailSilent() {
    std::lock_guard lock(m_mutex);
    m_flushPending = true;
    FailNoAnswer();
}

bool CDiagLink::Exchange(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply) {
    m_refusedCode = 0;
    if (m_failed) return false;  // m_lastError still tells why
    const auto timeout = std::chrono::milliseconds(m_timeoutMs.load());
    const auto deadline = ISerialTransport::Clock::now() + timeout;
    // After a fault the input may hold noise or a late reply: dropped before the request goes
    // out. On a clean line there is nothing to drop and the flush would cost a system call.
    if (m_flushPending || !m_decoder.IsIdle()) {
        m_transport->DiscardInput();
        m_decoder.Reset();
        m_flushPending = false;
    }
    const size_t dropped = m_decoder.DroppedFrames();
    EncodeDiagFrameInto(request.data(), request.size(), true, m_frame);
    ++m_requests;
    std::string error;
    if (!m_transport->Write(m_frame.data(), m_frame.size(), deadline, error)) return FailLink(error);
    for (bool first = true;; first = false) {
        while (m_decoder.PopFrame(reply)) {
            const EDiagReplyKind kind = ClassifyReply(request, reply);
            // A bad frame or a frame after the reply: the line carries more than our replies.
            if (kind != EDiagReplyKind::kUnrelated && (m_decoder.HasFrame() || m_decoder.DroppedFrames() != dropped))
                m_flushPending = true;
            switch (kind) {
            case EDiagReplyKind::kAnswer:
                m_answered.set(AnsweredBit(request));
                return true;
            case EDiagReplyKind::kError:
                m_refusedCode = reply[0];
                return Fail(RefusalText(reply[0]));
            case EDiagReplyKind::kUnrelated:
                m_flushPending = true;  // skipped by its echo; whatever follows it goes next time
                break;
            }
        }
        const long n = first ? m_transport->ReadReply(m_readBuffer.data(), m_readBuffer.size(), deadline, error)
                             : m_transport->Read(m_readBuffer.data(), m_readBuffer.size(), deadline, error);
        if (n < 0) return FailLink(error);
        if (n == 0) {
            m_flushPending = true;  // the reply may still come
            return FailNoAnswer();
        }
        m_decoder.Feed(m_readBuffer.data(), static_cast<size_t>(n));
    }
}

bool CDiagLink::Probe() {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> reply;
    return Exchange(BuildVersionRequest(), reply);
}

bool CDiagLink::ReadVersion(SPhoneVersion& version) {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t>& reply = m_reply;
    if (!Exchange(BuildVersionRequest(), reply)) return false;
    if (!ParseVersionReply(reply, version)) return Fail(TrText("CDiagLink", "The phone sent a malformed version reply."));
    return true;
}

uint8_t CDiagLink::LastRefusal() const {
    std::lock_guard lock(m_mutex);
    return m_refusedCode;
}

bool CDiagLink::NvExchange(uint8_t command, uint16_t item, int index, const uint8_t* value, int length,
                           uint16_t& status, uint8_t* readBuffer, int subscription) {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t>& request = m_request;  // kept between calls: no allocation per item
    if (!BuildNvRequest(command, item, index, value, length, request, subscription))
        return Fail(
            FillText(TrText("CDiagLink", "NV item %1: %2 bytes do not fit in one request (at most %3)."),
                     {std::to_string(item), std::to_string(length), std::to_string(NvValueCapacity(index >= 0))}));
    std::vector<uint8_t>& reply = m_reply;
    if (!Exchange(request, reply)) return false;
    SNvPacket packet;
    if (!ParseNvPacket(reply, packet)) return Fail(TrText("CDiagLink", "The phone sent a malformed NV reply."));
    if (packet.item != item || (index >= 0 && packet.data[0] != index) ||
        (subscription >= 0 && packet.subscription != subscription)) {
        m_flushPending = true;  // perhaps a late reply: the one to this request may follow
        return Fail(OtherItemText(packet.item));
    }
    status = packet.status;
    if (readBuffer && status == kNvDone && length > 0)
        std::memcpy(readBuffer, packet.data.data() + (index >= 0 ? 1 : 0), static_cast<size_t>(length));
    return true;
}

bool CDiagLink::ReadNv(uint16_t item, int index, uint8_t* buffer, int length, uint16_t& status, int subscription) {
    return NvExchange(kDiagNvRead, item, index, nullptr, length, status, buffer, subscription);
}

bool CDiagLink::WriteNv(uint16_t item, int index, const uint8_t* value, int length, uint16_t& status,
                        int subscription) {
    return NvExchange(kDiagNvWrite, item, index, value, length, status, nullptr, subscription);
}

bool CDiagLink::SetMode(uint16_t mode) {
    std::lock_guard lock(m_mutex);
    const std::vector<uint8_t> request = BuildModeRequest(mode);
    std::vector<uint8_t> reply;
    if (!Exchange(request, reply)) return false;
    if (reply != request) return Fail(TrText("CDiagLink", "The phone sent a malformed mode reply."));
    return true;
}

bool CDiagLink::Request(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply, uint8_t& refused) {
    std::lock_guard lock(m_mutex);
    refused = 0;
    if (request.empty()) return Fail(TrText("CDiagLink", "An empty request."));
    const bool ok = Exchange(request, reply);
    refused = m_refusedCode;
    return ok;
}

bool CDiagLink::SendSpc(const uint8_t* code, bool& accepted) {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> reply;
    if (!Exchange(BuildSpcRequest(code), reply)) return false;
    if (reply.size() < 2) return Fail(TrText("CDiagLink", "The phone sent a malformed SPC reply."));
    accepted = reply[1] != 0;
    return true;
}

bool CDiagLink::ReadEsn(uint32_t& esn) {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> reply;
    if (!Exchange(BuildEsnRequest(), reply)) return false;
    if (!ParseEsnReply(reply, esn)) return Fail(TrText("CDiagLink", "The phone sent a malformed ESN reply."));
    return true;
}
