#include "phone/diag_commands.h"

#include "jobs/text_translation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
void PutU16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v & 0xFF);
    at[1] = static_cast<uint8_t>(v >> 8);
}
uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

std::string WithCode(const std::string& text, unsigned code, bool hex) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, hex ? " (0x%02X)" : " (%u)", code);
    return text + std::string(buffer);
}
}  // namespace

std::vector<uint8_t> BuildNvPacket(const SNvPacket& packet) {
    std::vector<uint8_t> bytes(kNvPacketSize);
    bytes[0] = packet.command;
    PutU16(&bytes[1], packet.item);
    std::memcpy(&bytes[3], packet.data.data(), kNvDataSize);
    PutU16(&bytes[3 + kNvDataSize], packet.status);
    return bytes;
}

bool ParseNvPacket(const std::vector<uint8_t>& bytes, SNvPacket& packet) {
    if (bytes.size() != kNvPacketSize) return false;
    packet.command = bytes[0];
    packet.item = GetU16(&bytes[1]);
    std::memcpy(packet.data.data(), &bytes[3], kNvDataSize);
    packet.status = GetU16(&bytes[3 + kNvDataSize]);
    return true;
}

bool BuildNvRequest(uint8_t command, uint16_t item, int index, const uint8_t* value, int length,
                    std::vector<uint8_t>& request) {
    const bool element = index >= 0;
    if (index > 255 || length < 0 || length > NvValueCapacity(element)) return false;
    SNvPacket packet;
    packet.command = command;
    packet.item = item;
    const size_t offset = element ? 1 : 0;
    if (element) packet.data[0] = static_cast<uint8_t>(index);
    if (value && length > 0) std::memcpy(packet.data.data() + offset, value, static_cast<size_t>(length));
    request = BuildNvPacket(packet);
    return true;
}

std::vector<uint8_t> BuildVersionRequest() { return {kDiagVersion}; }

std::vector<uint8_t> BuildEsnRequest() { return {kDiagEsn}; }

bool ParseEsnReply(const std::vector<uint8_t>& reply, uint32_t& esn) {
    if (reply.size() != kDiagEsnReplySize || reply[0] != kDiagEsn) return false;
    esn = reply[1] | (reply[2] << 8) | (reply[3] << 16) | (static_cast<uint32_t>(reply[4]) << 24);
    return true;
}

std::vector<uint8_t> BuildEsnReply(uint32_t esn) {
    return {kDiagEsn, static_cast<uint8_t>(esn), static_cast<uint8_t>(esn >> 8), static_cast<uint8_t>(esn >> 16),
            static_cast<uint8_t>(esn >> 24)};
}

std::vector<uint8_t> BuildSpcRequest(const uint8_t* code) {
    std::vector<uint8_t> request(1 + kSpcCodeSize);
    request[0] = kDiagSpc;
    std::memcpy(&request[1], code, kSpcCodeSize);
    return request;
}

bool IsDiagErrorCode(uint8_t code) {
    switch (code) {
    case kDiagBadCommand:
    case kDiagBadParameters:
    case kDiagBadLength:
    case kDiagNotAccepted:
    case kDiagBadMode:
    case kDiagSpcLocked:
    case kDiagBadSecurityMode:
        return true;
    default:
        return false;
    }
}

EDiagReplyKind ClassifyReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply) {
    if (reply.empty() || request.empty()) return EDiagReplyKind::kUnrelated;
    if (reply[0] == request[0]) return EDiagReplyKind::kAnswer;
    if (IsDiagErrorCode(reply[0])) {
        // An echo that names another command belongs to an earlier request.
        if (reply.size() > 1 && reply[1] != request[0]) return EDiagReplyKind::kUnrelated;
        return EDiagReplyKind::kError;
    }
    return EDiagReplyKind::kUnrelated;
}

std::string DiagErrorText(uint8_t code) {
    const char* text = TrNoop("DiagCommands", "unknown error");
    switch (code) {
    case kDiagBadCommand: text = TrNoop("DiagCommands", "bad command"); break;
    case kDiagBadParameters: text = TrNoop("DiagCommands", "bad parameters"); break;
    case kDiagBadLength: text = TrNoop("DiagCommands", "bad length"); break;
    case kDiagNotAccepted: text = TrNoop("DiagCommands", "not accepted by the device"); break;
    case kDiagBadMode: text = TrNoop("DiagCommands", "not allowed in this mode"); break;
    case kDiagSpcLocked: text = TrNoop("DiagCommands", "locked until the SPC code is accepted"); break;
    case kDiagBadSecurityMode: text = TrNoop("DiagCommands", "bad security mode"); break;
    default: break;
    }
    return WithCode(TrText("DiagCommands", text), code, true);
}

std::string NvStatusText(uint16_t status) {
    static const char* const kTexts[] = {TrNoop("DiagCommands", "done"),
                                         TrNoop("DiagCommands", "busy"),
                                         TrNoop("DiagCommands", "bad command"),
                                         TrNoop("DiagCommands", "memory full"),
                                         TrNoop("DiagCommands", "failed"),
                                         TrNoop("DiagCommands", "not active"),
                                         TrNoop("DiagCommands", "bad parameter"),
                                         TrNoop("DiagCommands", "read only"),
                                         TrNoop("DiagCommands", "not valid for this target"),
                                         TrNoop("DiagCommands", "no memory"),
                                         TrNoop("DiagCommands", "not a valid allocation")};
    const char* text =
        status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : TrNoop("DiagCommands", "unknown status");
    return WithCode(TrText("DiagCommands", text), status, false);
}

std::vector<uint8_t> BuildErrorReply(uint8_t code, const std::vector<uint8_t>& request) {
    std::vector<uint8_t> reply(1 + request.size());
    reply[0] = code;
    std::copy(request.begin(), request.end(), reply.begin() + 1);
    return reply;
}

std::vector<uint8_t> BuildVersionReply() {
    // Command, then compile date and time, release date and time, version directory, and
    // identification bytes, as fixed-width text fields.
    std::vector<uint8_t> reply(kDiagVersionReplySize, 0);
    reply[0] = kDiagVersion;
    const char* text = "Jan 01 2024" "12:00:00" "Jan 01 2024" "12:00:00" "SIM00001";
    std::memcpy(&reply[1], text, std::strlen(text));
    return reply;
}
