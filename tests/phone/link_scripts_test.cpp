// The link and the file system client one request at a time against replies that go wrong
// on the line: each script ends with the right answer or an honest failure, and the next
// request is never answered by what was left of the last.
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "scripted_phone.h"

#include <gtest/gtest.h>

#include <functional>

using scripted::CScriptedPhone;

namespace {
// Read requests and done replies of NV items 10 and 12 (value 0A and 0C).
const std::string kRead10 = "26 0A 00 00*128 00 00", kRead12 = "26 0C 00 00*128 00 00";
const std::string kReply10 = "26 0A 00 0A 00*127 00 00", kReply11 = "26 0B 00 0B 00*127 00 00",
                  kReply12 = "26 0C 00 0C 00*127 00 00";
const std::string kHello = "4B 13 00 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 "
                           "01 00 00 00 01 00 00 00 01 00 00 00 FF FF FF FF";
// The opening of folder /d as handle 7, an entry "a" at sequence 1, and the listing's close.
const std::string kOpenDir = "4B 13 0B 00 '/d' 00", kOpenDirReply = "4B 13 0B 00 07 00 00 00 00 00 00 00";
const std::string kReadDir1 = "4B 13 0C 00 07 00 00 00 01 00 00 00";
const std::string kReadDir2 = "4B 13 0C 00 07 00 00 00 02 00 00 00";
const std::string kEntryA = "4B 13 0C 00 07 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 A4 81 00 00 08 00 00 00 00*12 'a' 00";
const std::string kCloseDir = "4B 13 0D 00 07 00 00 00", kCloseDirReply = "4B 13 0D 00 00 00 00 00";
// File /f opened as descriptor 5, one chunk of 3 bytes, closed.
const std::string kOpenFile = "4B 13 02 00 00 00 00 00 00 00 00 00 '/f' 00", kOpenFileReply = "4B 13 02 00 05 00 00 00 00 00 00 00";
const std::string kReadChunk = "4B 13 04 00 05 00 00 00 00 04 00 00 00 00 00 00";
const std::string kCloseFile = "4B 13 03 00 05 00 00 00", kCloseFileReply = "4B 13 03 00 00 00 00 00";

std::string Nv(CDiagLink& link, uint16_t item) {
    uint8_t value = 0;
    uint16_t status = 99;
    if (!link.ReadNv(item, -1, &value, 1, status)) return std::to_string(item) + " failed: " + link.LastError() + " ";
    return std::to_string(item) + " status " + std::to_string(status) + " value " + std::to_string(value) + " ";
}

// The reads one after the other.
std::string Nvs(CDiagLink& link, std::initializer_list<uint16_t> items) {
    std::string said;
    for (uint16_t item : items) said += Nv(link, item);
    return said;
}

std::string List(CEfsClient& efs) {
    std::vector<SEfsEntry> entries;
    if (!efs.ListFolder("/d", entries)) return "failed: " + efs.LastError();
    std::string names;
    for (const SEfsEntry& e : entries) names += e.name + " ";
    return names;
}

std::string ReadF(CEfsClient& efs) {
    std::vector<uint8_t> data;
    return efs.ReadFile("/f", data) ? std::to_string(data.size()) + " bytes" : "failed: " + efs.LastError();
}

}  // namespace

TEST(LinkScripts, RepliesThatGoWrongOnTheLineEndRightOrFailHonestly) {
    const std::vector<scripted::SScript> rows = {
        {"a reply for another item, then the right one: the read fails and the next is not answered by it",
         {{kRead10, kReply11 + " | then: " + kReply10}, {kRead12, kReply12}},
         [](CDiagLink& link, CEfsClient&) { return Nvs(link, {10, 12}); },
         "10 failed: The phone answered for another item (11). 12 status 0 value 12"},
        {"a reply after the timeout is dropped when the link is made again",
         {{kRead10, "late: " + kReply10}, {kRead12, kReply12}},
         [](CDiagLink& link, CEfsClient&) {
             std::string said = Nv(link, 10);
             said += link.HasFailed() && link.Open("scripted") ? "again " : "";
             return said + Nv(link, 12);
         },
         "did not answer within 2000 ms. again 12 status 0 value 12"},
        {"half a frame, then the reply after a flag",
         {{kRead10, "half: " + kReply11 + " | raw: 7E | " + kReply10}, {kRead12, kReply12}},
         [](CDiagLink& link, CEfsClient&) { return Nvs(link, {10, 12}); },
         "10 status 0 value 10 12 status 0 value 12"},
        {"half a frame and nothing more is a phone that did not answer",
         {{kRead10, "half: " + kReply10}},
         [](CDiagLink& link, CEfsClient&) {
             const std::string said = Nv(link, 10);
             return said + (link.HasFailed() ? "link failed" : "");
         },
         "did not answer within 2000 ms. link failed"},
        {"noise before the reply",
         {{kRead10, "raw: 55 66 7D 7E 00 7E | " + kReply10}, {kRead12, kReply12}},
         [](CDiagLink& link, CEfsClient&) { return Nvs(link, {10, 12}); },
         "10 status 0 value 10 12 status 0 value 12"},
        {"every reply twice",
         {{kRead10, kReply10 + " | " + kReply10}, {kRead12, kReply12 + " | " + kReply12}},
         [](CDiagLink& link, CEfsClient&) { return Nvs(link, {10, 12}); },
         "10 status 0 value 10 12 status 0 value 12"},
        {"a reply of another file system command first is skipped",
         {{kHello, kHello},
          {kOpenDir, "4B 13 0F 00 00*28 | " + kOpenDirReply},
          {kReadDir1, kEntryA},
          {kReadDir2, "4B 13 0C 00 07 00 00 00 02 00 00 00 00*28 00"},
          {kCloseDir, kCloseDirReply}},
         [](CDiagLink&, CEfsClient& efs) { return List(efs); },
         "a "},
        {"a listing answered for an earlier sequence number fails, and is closed",
         {{kHello, kHello}, {kOpenDir, kOpenDirReply}, {kReadDir1, kEntryA}, {kReadDir2, kEntryA}, {kCloseDir, kCloseDirReply}},
         [](CDiagLink&, CEfsClient& efs) { return List(efs); },
         "failed: /d: the phone answered for another entry of the listing"},
        {"a listing answered for another folder's handle fails, and is closed",
         {{kHello, kHello},
          {kOpenDir, kOpenDirReply},
          {kReadDir1, "4B 13 0C 00 08 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 A4 81 00 00 08 00 00 00 00*12 'x' 00"},
          {kCloseDir, kCloseDirReply}},
         [](CDiagLink&, CEfsClient& efs) { return List(efs); },
         "failed: /d: the phone answered for another entry of the listing"},
        {"a chunk answered for another file fails the read, and the file is closed",
         {{kHello, kHello},
          {kOpenFile, kOpenFileReply},
          {kReadChunk, "4B 13 04 00 06 00 00 00 00 00 00 00 03 00 00 00 00 00 00 00 01 02 03"},
          {kCloseFile, kCloseFileReply}},
         [](CDiagLink&, CEfsClient& efs) { return ReadF(efs); },
         "failed: /f: the phone sent a malformed file system reply"},
        {"a chunk of the right file reads",
         {{kHello, kHello},
          {kOpenFile, kOpenFileReply},
          {kReadChunk, "4B 13 04 00 05 00 00 00 00 00 00 00 03 00 00 00 00 00 00 00 01 02 03"},
          {kCloseFile, kCloseFileReply}},
         [](CDiagLink&, CEfsClient& efs) { return ReadF(efs); },
         "3 bytes"},
    };
    scripted::RunScripts(rows);
}
