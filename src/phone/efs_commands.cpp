#include "phone/efs_commands.h"

#include "phone/diag_commands.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <cstdio>

namespace {
enum class ETail { None, Text, Data };

// What follows the header of each command, one way and the other.
struct SLayout {
    uint16_t command;
    uint8_t requestFields;
    ETail requestTail;
    uint8_t replyFields;
    ETail replyTail;
    int errnoField;  // among the reply's fields
};

constexpr SLayout kLayouts[] = {
    {kEfsHello, 10, ETail::None, 10, ETail::None, -1},
    {kEfsOpen, 2, ETail::Text, 2, ETail::None, 1},        // flags, mode, path -> fd, errno
    {kEfsClose, 1, ETail::None, 1, ETail::None, 0},       // fd -> errno
    {kEfsRead, 3, ETail::None, 4, ETail::Data, 3},        // fd, size, offset -> fd, offset, bytes, errno, data
    {kEfsWrite, 2, ETail::Data, 4, ETail::None, 3},       // fd, offset, data -> fd, offset, bytes, errno
    {kEfsUnlink, 0, ETail::Text, 1, ETail::None, 0},      // path -> errno
    {kEfsMkdir, 1, ETail::Text, 1, ETail::None, 0},       // mode (16 bits), path -> errno
    {kEfsRmdir, 0, ETail::Text, 1, ETail::None, 0},       // path -> errno
    {kEfsOpenDir, 0, ETail::Text, 2, ETail::None, 1},     // path -> handle, errno
    {kEfsReadDir, 2, ETail::None, 9, ETail::Text, 2},     // handle, sequence -> handle, sequence, errno, type,
                                                          // mode, size, atime, mtime, ctime, name
    {kEfsCloseDir, 1, ETail::None, 1, ETail::None, 0},    // handle -> errno
    {kEfsStat, 0, ETail::Text, 7, ETail::None, 0},        // path -> errno, mode, size, links, atime, mtime, ctime
};

const SLayout* FindLayout(uint16_t command) {
    for (const SLayout& layout : kLayouts)
        if (layout.command == command) return &layout;
    return nullptr;
}

size_t FieldWidth(uint16_t command, bool reply) { return command == kEfsMkdir && !reply ? 2 : 4; }

std::vector<uint8_t> Encode(const SEfsMessage& message, bool reply) {
    const SLayout* layout = FindLayout(message.command);
    if (!layout) return {};
    std::vector<uint8_t> bytes = {kDiagSubsystem, message.subsystem, static_cast<uint8_t>(message.command),
                                  static_cast<uint8_t>(message.command >> 8)};
    const size_t width = FieldWidth(message.command, reply);
    for (size_t i = 0; i < (reply ? layout->replyFields : layout->requestFields); ++i) {
        const auto value = static_cast<uint32_t>(message.Field(i));
        for (size_t b = 0; b < width; ++b) bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
    switch (reply ? layout->replyTail : layout->requestTail) {
    case ETail::Text:
        bytes.insert(bytes.end(), message.text.begin(), message.text.end());
        bytes.push_back(0);
        break;
    case ETail::Data: bytes.insert(bytes.end(), message.data.begin(), message.data.end()); break;
    case ETail::None: break;
    }
    return bytes;
}

bool Decode(const std::vector<uint8_t>& bytes, bool reply, SEfsMessage& message) {
    if (bytes.size() < kSubsystemHeaderSize || bytes[0] != kDiagSubsystem) return false;
    const auto command = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
    const SLayout* layout = FindLayout(command);
    if (!layout) return false;
    const size_t count = reply ? layout->replyFields : layout->requestFields;
    const size_t width = FieldWidth(command, reply);
    size_t at = kSubsystemHeaderSize;
    if (bytes.size() < at + count * width) return false;
    message = SEfsMessage();
    message.subsystem = bytes[1];
    message.command = command;
    for (size_t i = 0; i < count; ++i, at += width) {
        uint32_t value = 0;
        for (size_t b = 0; b < width; ++b) value |= static_cast<uint32_t>(bytes[at + b]) << (8 * b);
        message.fields.push_back(width == 2 ? static_cast<int16_t>(value) : static_cast<int32_t>(value));
    }
    const auto rest = bytes.begin() + static_cast<long>(at);
    switch (reply ? layout->replyTail : layout->requestTail) {
    case ETail::Text: {
        // A request's path must end; a reply's name is taken up to its zero or the end.
        const auto end = std::find(rest, bytes.end(), 0);
        if (end == bytes.end() && !reply) return false;
        message.text.assign(rest, end);
        break;
    }
    case ETail::Data: message.data.assign(rest, bytes.end()); break;
    case ETail::None: break;
    }
    return true;
}
}  // namespace

std::vector<uint8_t> EncodeEfsRequest(const SEfsMessage& message) { return Encode(message, false); }
std::vector<uint8_t> EncodeEfsReply(const SEfsMessage& message) { return Encode(message, true); }
bool DecodeEfsRequest(const std::vector<uint8_t>& bytes, SEfsMessage& message) { return Decode(bytes, false, message); }
bool DecodeEfsReply(const std::vector<uint8_t>& bytes, SEfsMessage& message) { return Decode(bytes, true, message); }

int EfsErrnoField(uint16_t command) {
    const SLayout* layout = FindLayout(command);
    return layout ? layout->errnoField : -1;
}

SEfsMessage EfsHelloRequest(uint8_t subsystem) {
    SEfsMessage hello;
    hello.subsystem = subsystem;
    hello.command = kEfsHello;
    hello.fields = {0x100000, 0x100000, 0x100000, 0x100000, 0x100000, 0x100000, 1, 1, 1, -1};
    return hello;
}

std::string EfsErrnoText(int32_t error) {
    const char* text = nullptr;
    switch (error) {
    case kEfsOk: text = TrNoop("EfsCommands", "done"); break;
    case kEfsNotPermitted: text = TrNoop("EfsCommands", "not permitted"); break;
    case kEfsNoEntry: text = TrNoop("EfsCommands", "no such file"); break;
    case kEfsIoError: text = TrNoop("EfsCommands", "input/output error"); break;
    case kEfsBadHandle: text = TrNoop("EfsCommands", "bad file handle"); break;
    case kEfsNoAccess: text = TrNoop("EfsCommands", "access denied"); break;
    case kEfsExists: text = TrNoop("EfsCommands", "already exists"); break;
    case kEfsNotFolder: text = TrNoop("EfsCommands", "not a folder"); break;
    case kEfsIsFolder: text = TrNoop("EfsCommands", "is a folder"); break;
    case kEfsInvalid: text = TrNoop("EfsCommands", "invalid argument"); break;
    case kEfsTooManyOpen: text = TrNoop("EfsCommands", "too many open files"); break;
    case kEfsNoSpace: text = TrNoop("EfsCommands", "no space left on the phone"); break;
    case kEfsNameTooLong: text = TrNoop("EfsCommands", "name too long"); break;
    case kEfsNotEmpty: text = TrNoop("EfsCommands", "folder not empty"); break;
    default: break;
    }
    char code[48];
    if (text) {
        std::snprintf(code, sizeof code, " (errno %d)", static_cast<int>(error));
        return TrText("EfsCommands", text) + code;
    }
    // Phones add codes of their own from 0x40000001.
    if (error >= 0x40000000) std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(error));
    else std::snprintf(code, sizeof code, "%d", static_cast<int>(error));
    return FillText(TrText("EfsCommands", "error %1 of the phone's file system"), {code});
}
