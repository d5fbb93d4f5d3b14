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
    std::vector<uint8_t> bytes;
    BuildNvPacketInto(packet, bytes);
    return bytes;
}

void BuildNvPacketInto(const SNvPacket& packet, std::vector<uint8_t>& bytes) {
    const bool sub = packet.subscription >= 0;
    bytes.assign(sub ? kSubscriptionNvPacketSize : kNvPacketSize, 0);
    size_t at = 1;
    bytes[0] = packet.command;
    if (sub) {
        bytes[0] = kDiagSubsystem;
        bytes[1] = kSubsystemNv;
        PutU16(&bytes[2], packet.command == kDiagNvWrite ? kSubsystemNvWrite : kSubsystemNvRead);
        at = kSubsystemHeaderSize;
    }
    PutU16(&bytes[at], packet.item);
    at += 2;
    if (sub) {
        PutU16(&bytes[at], static_cast<uint16_t>(packet.subscription));
        at += 2;
    }
    std::memcpy(&bytes[at], packet.data.data(), kNvDataSize);
    PutU16(&bytes[at + kNvDataSize], packet.status);
}

bool ParseNvPacket(const std::vector<uint8_t>& bytes, SNvPacket& packet) {
    size_t at = 1;
    if (bytes.size() == kNvPacketSize && bytes[0] != kDiagSubsystem) {
        packet.command = bytes[0];
        packet.subscription = -1;
    } else if (bytes.size() == kSubscriptionNvPacketSize && bytes[0] == kDiagSubsystem && bytes[1] == kSubsystemNv) {
        const uint16_t code = GetU16(&bytes[2]);
        if (code != kSubsystemNvRead && code != kSubsystemNvWrite) return false;
        packet.command = code == kSubsystemNvWrite ? kDiagNvWrite : kDiagNvRead;
        packet.subscription = GetU16(&bytes[6]);
        at = kSubsystemHeaderSize;
    } else {
        return false;
    }
    packet.item = GetU16(&bytes[at]);
    at += packet.subscription >= 0 ? 4 : 2;
    std::memcpy(packet.data.data(), &bytes[at], kNvDataSize);
    packet.status = GetU16(&bytes[at + kNvDataSize]);
    return true;
}

bool BuildNvRequest(uint8_t command, uint16_t item, int index, const uint8_t* value, int length,
                    std::vector<uint8_t>& request, int subscription) {
    const bool element = index >= 0;
    if (index > 255 || length < 0 || length > NvValueCapacity(element) || subscription > 0xFFFF) return false;
    SNvPacket packet;
    packet.command = command;
    packet.item = item;
    packet.subscription = subscription < 0 ? -1 : subscription;
    const size_t offset = element ? 1 : 0;
    if (element) packet.data[0] = static_cast<uint8_t>(index);
    if (value && length > 0) std::memcpy(packet.data.data() + offset, value, static_cast<size_t>(length));
    BuildNvPacketInto(packet, request);
    return true;
}

std::vector<uint8_t> BuildVersionRequest() { return {kDiagVersion}; }

std::vector<uint8_t> BuildModeRequest(uint16_t mode) {
    return {kDiagMode, static_cast<uint8_t>(mode), static_cast<uint8_t>(mode >> 8)};
}

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
    // A subsystem reply names its subsystem and command as the request did.
    const size_t header = request[0] == kDiagSubsystem ? std::min(request.size(), kSubsystemHeaderSize) : 1;
    if (reply[0] == request[0])
        return reply.size() >= header && std::equal(request.begin(), request.begin() + static_cast<long>(header),
                                                    reply.begin())
                   ? EDiagReplyKind::kAnswer
                   : EDiagReplyKind::kUnrelated;
    if (IsDiagErrorCode(reply[0])) {
        // An echo that names another command belongs to an earlier request; phones may cut it short.
        const size_t echoed = std::min(header, reply.size() - 1);
        if (!std::equal(request.begin(), request.begin() + static_cast<long>(echoed), reply.begin() + 1))
            return EDiagReplyKind::kUnrelated;
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

bool ParseVersionReply(const std::vector<uint8_t>& reply, SPhoneVersion& version) {
    // Command, compile date (11) and time (8), release date (11) and time (8), version folder
    // (8), then station class, air interface revision, model, firmware revision (u16), ...
    constexpr size_t kFolderAt = 39, kFolderSize = 8, kModelAt = 49;
    if (reply.size() != kDiagVersionReplySize || reply[0] != kDiagVersion) return false;
    version.software.clear();
    for (size_t i = kFolderAt; i < kFolderAt + kFolderSize && reply[i] != 0; ++i)
        version.software += static_cast<char>(reply[i] >= 0x20 && reply[i] < 0x7F ? reply[i] : '?');
    while (!version.software.empty() && version.software.back() == ' ') version.software.pop_back();
    version.model = reply[kModelAt];
    return true;
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
