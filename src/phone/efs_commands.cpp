#include "phone/efs_commands.h"

#include "phone/diag_commands.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <cstdio>

namespace {
// DataText: put's data, as long as its first field says, then its path. Texts: two paths,
// each ending in a zero, held in text with the zero between them.
enum class ETail { None, Text, Data, DataText, Texts };

// What follows the header of each command, one way and the other: the width in bytes of
// each numeric field, then the tail.
struct SLayout {
    uint16_t command;
    const char* requestWidths;
    ETail requestTail;
    const char* replyWidths;
    ETail replyTail;
    int errnoField;  // among the reply's fields
};

constexpr SLayout kLayouts[] = {
    {kEfsHello, "4444444444", ETail::None, "4444444444", ETail::None, -1},
    {kEfsOpen, "44", ETail::Text, "44", ETail::None, 1},          // flags, mode, path -> fd, errno
    {kEfsClose, "4", ETail::None, "4", ETail::None, 0},           // fd -> errno
    {kEfsRead, "444", ETail::None, "4444", ETail::Data, 3},       // fd, size, offset -> fd, offset, bytes, errno, data
    {kEfsWrite, "44", ETail::Data, "4444", ETail::None, 3},       // fd, offset, data -> fd, offset, bytes, errno
    {kEfsUnlink, "", ETail::Text, "4", ETail::None, 0},           // path -> errno
    {kEfsMkdir, "2", ETail::Text, "4", ETail::None, 0},           // mode, path -> errno
    {kEfsRmdir, "", ETail::Text, "4", ETail::None, 0},            // path -> errno
    {kEfsOpenDir, "", ETail::Text, "44", ETail::None, 1},         // path -> handle, errno
    {kEfsReadDir, "44", ETail::None, "444444444", ETail::Text, 2},// handle, sequence -> handle, sequence, errno, type,
                                                                  // mode, size, atime, mtime, ctime, name
    {kEfsCloseDir, "4", ETail::None, "4", ETail::None, 0},        // handle -> errno
    {kEfsRename, "", ETail::Texts, "4", ETail::None, 0},          // old path, new path -> errno
    {kEfsStat, "", ETail::Text, "4444444", ETail::None, 0},       // path -> errno, mode, size, links, atime, mtime, ctime
    {kEfsFStat, "4", ETail::None, "4444444", ETail::None, 0},     // fd -> the same as stat
    {kEfsPut, "2242", ETail::DataText, "222", ETail::None, 1},    // length, 0, flags, mode, data, path -> ?, errno, written
    {kEfsSync, "2", ETail::Text, "244", ETail::None, 2},          // sequence, path -> sequence, token, error
    {kEfsSyncStatus, "24", ETail::Text, "214", ETail::None, 2},   // sequence, token, path -> sequence, status, error
};

const SLayout* FindLayout(uint16_t command) {
    for (const SLayout& layout : kLayouts)
        if (layout.command == command) return &layout;
    return nullptr;
}

std::vector<uint8_t> Encode(const SEfsMessage& message, bool reply) {
    const SLayout* layout = FindLayout(message.command);
    if (!layout) return {};
    std::vector<uint8_t> bytes = {kDiagSubsystem, message.subsystem, static_cast<uint8_t>(message.command),
                                  static_cast<uint8_t>(message.command >> 8)};
    const std::string widths = reply ? layout->replyWidths : layout->requestWidths;
    for (size_t i = 0; i < widths.size(); ++i) {
        const auto value = static_cast<uint32_t>(message.Field(i));
        for (int b = 0; b < widths[i] - '0'; ++b) bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
    switch (reply ? layout->replyTail : layout->requestTail) {
    case ETail::DataText: bytes.insert(bytes.end(), message.data.begin(), message.data.end()); [[fallthrough]];
    case ETail::Text:
    case ETail::Texts:
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
    const std::string widths = reply ? layout->replyWidths : layout->requestWidths;
    size_t at = kSubsystemHeaderSize;
    size_t need = at;
    for (const char w : widths) need += static_cast<size_t>(w - '0');
    if (bytes.size() < need) return false;
    message = SEfsMessage();
    message.subsystem = bytes[1];
    message.command = command;
    for (const char w : widths) {
        const size_t width = static_cast<size_t>(w - '0');
        uint32_t value = 0;
        for (size_t b = 0; b < width; ++b) value |= static_cast<uint32_t>(bytes[at + b]) << (8 * b);
        // Two-byte fields are signed (mkdir's mode, put's errno), one-byte ones not.
        message.fields.push_back(width == 2 ? static_cast<int16_t>(value) : static_cast<int32_t>(value));
        at += width;
    }
    auto rest = bytes.begin() + static_cast<long>(at);
    switch (reply ? layout->replyTail : layout->requestTail) {
    case ETail::DataText: {
        const auto length = static_cast<size_t>(static_cast<uint16_t>(message.Field(0)));
        if (static_cast<size_t>(bytes.end() - rest) < length) return false;
        message.data.assign(rest, rest + static_cast<long>(length));
        rest += static_cast<long>(length);
        [[fallthrough]];
    }
    case ETail::Text: {
        // A request's path must end; a reply's name is taken up to its zero or the end.
        const auto end = std::find(rest, bytes.end(), 0);
        if (end == bytes.end() && !reply) return false;
        message.text.assign(rest, end);
        break;
    }
    case ETail::Texts: {
        // Exactly two paths, each ended.
        const auto first = std::find(rest, bytes.end(), 0);
        if (first == bytes.end() || std::find(first + 1, bytes.end(), 0) != bytes.end() - 1) return false;
        message.text.assign(rest, bytes.end() - 1);
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

std::string EfsPathProblem(const std::string& path) {
    if (path.empty()) return TrText("EfsCommands", "the path is empty");
    if (path[0] != '/') return TrText("EfsCommands", "the path is not absolute");
    if (path.size() > kEfsMaxPath)
        return FillText(TrText("EfsCommands", "the path is longer than %1 bytes"), {std::to_string(kEfsMaxPath)});
    if (std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return TrText("EfsCommands", "the path holds control characters");
    for (size_t at = 1; at <= path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, end - at);
        if (part.empty() || part == "." || part == "..")
            return TrText("EfsCommands", "the path has an empty, \".\" or \"..\" part");
        at = end + 1;
    }
    return {};
}

bool IsItemFilePath(const std::string& path) {
    return path.rfind("/nv/item_files/", 0) == 0 || path.rfind("/nv/reg_files/", 0) == 0;
}

int32_t EfsModeOfPath(const std::string& path) {
    return (IsItemFilePath(path) ? kEfsItemFileType : kEfsRegularType) | 0644;
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
