#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Requests and replies of the phone's file system (the EFS2 subsystem) as payloads, for the
// client and the simulated phone alike. Numbers little-endian; paths and names travel with
// a terminating zero.

inline constexpr uint8_t kEfsSubsystem = 0x13;
// The subsystem some phones answer instead.
inline constexpr uint8_t kEfsAltSubsystem = 0x3E;
// Data bytes of one read or write request: each frame stays small.
inline constexpr size_t kEfsChunk = 1024;

enum EEfsCommand : uint16_t {
    kEfsHello = 0,
    kEfsOpen = 2,
    kEfsClose = 3,
    kEfsRead = 4,
    kEfsWrite = 5,
    kEfsUnlink = 8,
    kEfsMkdir = 9,
    kEfsRmdir = 10,
    kEfsOpenDir = 11,
    kEfsReadDir = 12,
    kEfsCloseDir = 13,
    kEfsRename = 14,  // old path, new path: replaces a file there
    kEfsStat = 15,
    kEfsFStat = 17,
    kEfsOldPut = 26,  // never sent: it hangs some modems
    kEfsPut = 38,     // a whole file in one request, of any type
    kEfsSync = 48,
    kEfsSyncStatus = 49,
};

// Flags of open, as POSIX.
inline constexpr int32_t kEfsReadOnly = 0x0;
inline constexpr int32_t kEfsWriteOnly = 0x1;
inline constexpr int32_t kEfsReadWrite = 0x2;
inline constexpr int32_t kEfsAccessMask = 0x3;
inline constexpr int32_t kEfsCreate = 0x40;
inline constexpr int32_t kEfsExclusive = 0x80;
inline constexpr int32_t kEfsTruncate = 0x200;
// An item file rather than a regular one.
inline constexpr int32_t kEfsItemFileFlag = 0x40000;
// Put only: folders on the way made. Some modems crash when open gets it with the item-file flag.
inline constexpr int32_t kEfsMakeFolders = 0x80000;
// Data bytes put sends in one request; larger files go by open, write and close.
inline constexpr size_t kEfsPutMax = 6144;

// File types in a mode.
inline constexpr int32_t kEfsTypeMask = 0170000;
inline constexpr int32_t kEfsDirectoryType = 0040000;
inline constexpr int32_t kEfsRegularType = 0100000;
inline constexpr int32_t kEfsLinkType = 0120000;
inline constexpr int32_t kEfsItemFileType = 0160000;

// Entry types of a readdir reply.
enum EEfsEntryType : int32_t {
    kEfsEntryFile = 0,
    kEfsEntryDirectory = 1,
    kEfsEntryLink = 2,
    kEfsEntryImmovable = 3,
};

// errno values of replies: POSIX numbers.
enum EEfsErrno : int32_t {
    kEfsOk = 0,
    kEfsNotPermitted = 1,
    kEfsNoEntry = 2,
    kEfsIoError = 5,
    kEfsBadHandle = 9,
    kEfsNoAccess = 13,
    kEfsExists = 17,
    kEfsNotFolder = 20,
    kEfsIsFolder = 21,
    kEfsInvalid = 22,
    kEfsTooManyOpen = 24,
    kEfsNoSpace = 28,
    kEfsNameTooLong = 36,
    kEfsNotEmpty = 39,
};

// One request or reply after the 4-byte subsystem header: its numeric fields in order
// (32 bits each, except mkdir's mode, put's and sync's 16-bit and 8-bit fields), then a path
// or name, the data of read and write, or put's data and then its path.
struct SEfsMessage {
    uint8_t subsystem = kEfsSubsystem;
    uint16_t command = kEfsHello;
    std::vector<int32_t> fields;
    std::string text;
    std::vector<uint8_t> data;

    int32_t Field(size_t i) const { return i < fields.size() ? fields[i] : 0; }
};

// Missing fields are sent as 0. Unknown commands give an empty vector.
std::vector<uint8_t> EncodeEfsRequest(const SEfsMessage& message);
std::vector<uint8_t> EncodeEfsReply(const SEfsMessage& message);
// False unless bytes hold the header and every field of a known command (and a request's
// path its terminating zero).
bool DecodeEfsRequest(const std::vector<uint8_t>& bytes, SEfsMessage& message);
bool DecodeEfsReply(const std::vector<uint8_t>& bytes, SEfsMessage& message);

// The position of the errno among a reply's fields; -1 for a command without one (hello).
int EfsErrnoField(uint16_t command);
// The hello request clients send: windows of 0x100000, versions 1/1/1, every feature.
SEfsMessage EfsHelloRequest(uint8_t subsystem);
// "no such file (errno 2)", "no space left on the phone (errno 28)" and the like.
std::string EfsErrnoText(int32_t error);
// True when a mode names a folder.
inline bool IsEfsFolderMode(int32_t mode) { return (mode & kEfsTypeMask) == kEfsDirectoryType; }
inline bool IsEfsItemFileMode(int32_t mode) { return (mode & kEfsTypeMask) == kEfsItemFileType; }
// True for a path below /nv/item_files/ or /nv/reg_files/: the modem's configuration, item
// files whatever a listing says.
bool IsItemFilePath(const std::string& path);
// Longest path sent to the phone.
inline constexpr size_t kEfsMaxPath = 1024;
// Why path can't name a file of the phone (empty when it can): it must be absolute, at most
// kEfsMaxPath bytes, without empty, "." or ".." parts or control characters.
std::string EfsPathProblem(const std::string& path);
// The mode a file at path is written with when nothing else tells: an item file or a regular
// file, 0644.
int32_t EfsModeOfPath(const std::string& path);
