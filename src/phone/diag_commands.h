#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Requests and replies of the diagnostic protocol as payloads (framing is separate).
// Numbers are little-endian; structures are packed.

enum EDiagCommand : uint8_t {
    kDiagVersion = 0x00,
    kDiagEsn = 0x01,
    kDiagNvRead = 0x26,
    kDiagNvWrite = 0x27,
    kDiagMode = 0x29,
    kDiagSpc = 0x41,
    kDiagSubsystem = 0x4B,
};

// Subsystem requests: 4B, the subsystem, a u16 command code, then the command's fields.
inline constexpr size_t kSubsystemHeaderSize = 4;
inline constexpr uint8_t kSubsystemNv = 0x30;
inline constexpr uint16_t kSubsystemNvRead = 1;
inline constexpr uint16_t kSubsystemNvWrite = 2;

// Modes of the mode command.
enum EPhoneMode : uint16_t {
    kModeOffline = 1,
    kModeReset = 2,
    kModeFactoryTest = 3,
    kModeOnline = 4,
    kModeLowPower = 5,
};

// First byte of a reply that refuses a request; the request's bytes follow it.
enum EDiagError : uint8_t {
    kDiagBadCommand = 0x13,
    kDiagBadParameters = 0x14,
    kDiagBadLength = 0x15,
    kDiagNotAccepted = 0x16,
    kDiagBadMode = 0x18,
    kDiagSpcLocked = 0x42,
    kDiagBadSecurityMode = 0x47,
};

// NV status word of a read or write reply.
enum ENvStatus : uint16_t {
    kNvDone = 0,
    kNvBusy = 1,
    kNvBadCommand = 2,
    kNvFull = 3,
    kNvFailed = 4,
    kNvNotActive = 5,
    kNvBadParameter = 6,
    kNvReadOnly = 7,
    kNvBadTarget = 8,
    kNvNoMemory = 9,
    kNvNotAllocated = 10,
};

inline constexpr size_t kNvPacketSize = 133;
// The subscription NV packet: the subsystem header, item, subscription, data and status.
inline constexpr size_t kSubscriptionNvPacketSize = 138;
inline constexpr size_t kNvDataSize = 128;
inline constexpr size_t kDiagVersionReplySize = 55;
inline constexpr size_t kSpcCodeSize = 6;
// The ESN reply: the command byte, then the ESN as a little-endian u32.
inline constexpr size_t kDiagEsnReplySize = 5;

// The packet of NV read and write requests and of their replies: 133 bytes for the plain
// commands, 138 for the subsystem command of a subscription's records. command is
// kDiagNvRead or kDiagNvWrite either way.
struct SNvPacket {
    uint8_t command = kDiagNvRead;
    uint16_t item = 0;
    std::array<uint8_t, kNvDataSize> data{};
    uint16_t status = 0;
    int subscription = -1;  // -1: the plain commands; 0, 1, ...: the subsystem command
};

std::vector<uint8_t> BuildNvPacket(const SNvPacket& packet);
// The same into bytes, reusing its storage.
void BuildNvPacketInto(const SNvPacket& packet, std::vector<uint8_t>& bytes);
// False unless bytes are exactly one packet of either form.
bool ParseNvPacket(const std::vector<uint8_t>& bytes, SNvPacket& packet);

// Value bytes one request can carry: 128 for a plain item, 127 for an array element (its
// index takes the first data byte).
inline constexpr int NvValueCapacity(bool element) { return element ? 127 : 128; }

// An NV read or write request; index < 0 for a plain item, 0..255 for an array element;
// subscription < 0 for the plain commands. value may be null (a read); false when the value
// does not fit or the subscription is out of range.
bool BuildNvRequest(uint8_t command, uint16_t item, int index, const uint8_t* value, int length,
                    std::vector<uint8_t>& request, int subscription = -1);
// The mode command: 29 and the mode as u16; the phone echoes it.
std::vector<uint8_t> BuildModeRequest(uint16_t mode);
std::vector<uint8_t> BuildVersionRequest();
std::vector<uint8_t> BuildEsnRequest();
// False unless reply is an ESN reply.
bool ParseEsnReply(const std::vector<uint8_t>& reply, uint32_t& esn);
// What a version reply tells of the phone: its software (the version folder name, padding
// dropped) and its model number.
struct SPhoneVersion {
    std::string software;
    uint16_t model = 0;
};
// False unless reply is a whole version reply.
bool ParseVersionReply(const std::vector<uint8_t>& reply, SPhoneVersion& version);
// The 6 code bytes as given.
std::vector<uint8_t> BuildSpcRequest(const uint8_t* code);

enum class EDiagReplyKind {
    kAnswer,     // the reply to this request's command
    kError,      // the phone refused the request
    kUnrelated,  // something else (log traffic, a stale reply): keep waiting
};
EDiagReplyKind ClassifyReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply);
bool IsDiagErrorCode(uint8_t code);
// "bad parameters (0x14)" and the like.
std::string DiagErrorText(uint8_t code);
// "not active (5)" and the like.
std::string NvStatusText(uint16_t status);

// Phone side: an error reply echoing the request, and the version reply.
std::vector<uint8_t> BuildErrorReply(uint8_t code, const std::vector<uint8_t>& request);
std::vector<uint8_t> BuildVersionReply();
std::vector<uint8_t> BuildEsnReply(uint32_t esn);
