// The subscription, mode and file system commands of the link against the bytes a phone
// exchanges: each row scripts the requests the link must send and the replies it gets.
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "scripted_phone.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>


namespace {
using Bytes = std::vector<uint8_t>;

using scripted::CScriptedPhone;

const std::string kHello13 = "4B 13 00 00 " + std::string("00 00 10 00 ") + "00 00 10 00 00 00 10 00 00 00 10 00 "
                             "00 00 10 00 00 00 10 00 01 00 00 00 01 00 00 00 01 00 00 00 FF FF FF FF";
std::string On3E(std::string hex) { return hex.replace(3, 2, "3E"); }


std::string Status(bool ok, uint16_t status) { return ok ? "status " + std::to_string(status) : "failed"; }
}  // namespace

TEST(SubsystemLink, RequestsAndRepliesAsThePhoneHasThem) {
    const Bytes value = {0xAB, 0xCD};
    // Larger than one put: open, write, close beside it.
    const auto writeLarge = [](CDiagLink&, CEfsClient& efs) -> std::string {
        const bool written = efs.WriteFile("/f", Bytes(kEfsPutMax + 1, 0xEE), kEfsRegularType | 0644);
        return written ? "written" : efs.LastError() + (efs.LastWriteTouched() ? " (touched)" : "");
    };
    const std::vector<scripted::SScript> rows = {
        {"read of item 550 of the second subscription",
         {{"4B 30 01 00 26 02 01 00 00*128 00 00", "4B 30 01 00 26 02 01 00 08 9A 09 10 86 87 75 93 78 00*119 00 00"}},
         [](CDiagLink& link, CEfsClient&) {
             uint8_t imei[9] = {};
             uint16_t status = 99;
             const bool ok = link.ReadNv(550, -1, imei, 9, status, 1);
             return Status(ok, status) + (imei[8] == 0x78 ? " value" : "");
         },
         "status 0 value"},
        {"write of an element of the third subscription: its index in data[0], the status passed on",
         {{"4B 30 02 00 14 00 02 00 01 AB CD 00*125 00 00", "4B 30 02 00 14 00 02 00 01 AB CD 00*125 06 00"}},
         [&](CDiagLink& link, CEfsClient&) {
             uint16_t status = 99;
             const bool ok = link.WriteNv(20, 1, value.data(), 2, status, 2);
             return Status(ok, status);
         },
         "status 6"},
        {"a reply of another subscription is no answer",
         {{"4B 30 01 00 0A 00 01 00 00*128 00 00", "4B 30 01 00 0A 00 00 00 00*128 00 00"}},
         [](CDiagLink& link, CEfsClient&) {
             uint16_t status = 99;
             const bool ok = link.ReadNv(10, -1, nullptr, 0, status, 1);
             return Status(ok, status) + " " + link.LastError();
         },
         "failed The phone answered for another item"},
        {"mode: offline, echoed", {{"29 01 00", "29 01 00"}},
         [](CDiagLink& link, CEfsClient&) { return std::string(link.SetMode(1) ? "offline" : "failed"); }, "offline"},
        {"the file system on 0x3E after 0x13 is refused",
         {{kHello13, "13 " + kHello13},
          {On3E(kHello13), On3E(kHello13)},
          {"4B 3E 0F 00 '/nv' 00", "4B 3E 0F 00 00 00 00 00 ED 41 00 00 00 00 00 00 01 00 00 00 00*12"}},
         [](CDiagLink&, CEfsClient& efs) {
             SEfsStat stat;
             return efs.Stat("/nv", stat) && stat.IsFolder() ? "folder on " + std::to_string(efs.Subsystem()) : efs.LastError();
         },
         "folder on 62"},
        {"a file read in 1024-byte chunks up to a short one",
         {{kHello13, kHello13},
          {"4B 13 02 00 00 00 00 00 00 00 00 00 '/f' 00", "4B 13 02 00 05 00 00 00 00 00 00 00"},
          {"4B 13 04 00 05 00 00 00 00 04 00 00 00 00 00 00", "4B 13 04 00 05 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 AA*1024"},
          {"4B 13 04 00 05 00 00 00 00 04 00 00 00 04 00 00", "4B 13 04 00 05 00 00 00 00 04 00 00 03 00 00 00 00 00 00 00 01 02 03"},
          {"4B 13 03 00 05 00 00 00", "4B 13 03 00 00 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             Bytes data;
             return efs.ReadFile("/f", data) ? std::to_string(data.size()) + " bytes" : efs.LastError();
         },
         "1027 bytes"},
        {"a chunk refused half way fails the file, which is still closed; the old one stays",
         {{kHello13, kHello13},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/f.tessiva-new' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 EE*1024", "4B 13 05 00 06 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 04 00 00 EE*1024", "4B 13 05 00 06 00 00 00 00 04 00 00 FF FF FF FF 05 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"},
          {"4B 13 08 00 '/f.tessiva-new' 00", "4B 13 08 00 00 00 00 00"}},
         writeLarge,
         "/f: input/output error (errno 5)"},
        {"no room for the file beside the old one: written in place",
         {{kHello13, kHello13},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/f.tessiva-new' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 EE*1024", "4B 13 05 00 06 00 00 00 00 00 00 00 FF FF FF FF 1C 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"},
          {"4B 13 08 00 '/f.tessiva-new' 00", "4B 13 08 00 00 00 00 00"},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/f' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 EE*1024", "4B 13 05 00 06 00 00 00 00 00 00 00 FF FF FF FF 1C 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"}},
         writeLarge,
         "/f: no space left on the phone (errno 28) (touched)"},
        {"an item file goes whole in one put with the item-file and make-folders flags",
         {{kHello13, kHello13},
          {"4B 13 26 00 03 00 00 00 41 02 0C 00 A4 01 01 02 03 '/nv/item_files/x' 00", "4B 13 26 00 00 00 00 00 03 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             return efs.WriteFile("/nv/item_files/x", {1, 2, 3}, kEfsItemFileType | 0644) ? "written" : efs.LastError();
         },
         "written"},
        {"a phone without put gets folders, then open with the item-file flag alone, beside it, and a rename",
         {{kHello13, kHello13},
          {"4B 13 26 00 01 00 00 00 41 02 0C 00 A4 01 09 '/n/x' 00", "13 4B 13 26 00"},
          {"4B 13 09 00 ED 01 '/n' 00", "4B 13 09 00 00 00 00 00"},
          {"4B 13 02 00 41 02 04 00 A4 01 00 00 '/n/x.tessiva-new' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 09", "4B 13 05 00 06 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"},
          {"4B 13 0E 00 '/n/x.tessiva-new' 00 '/n/x' 00", "4B 13 0E 00 00 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             return efs.WriteFile("/n/x", {9}, kEfsItemFileType | 0644) ? "written" : efs.LastError();
         },
         "written"},
        {"a phone without rename has the file written in place, and is not asked again",
         {{kHello13, kHello13},
          {"4B 13 26 00 01 00 00 00 41 02 08 00 A4 01 09 '/x' 00", "13 4B 13 26 00"},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/x.tessiva-new' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 09", "4B 13 05 00 06 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"},
          {"4B 13 0E 00 '/x.tessiva-new' 00 '/x' 00", "13 4B 13 0E 00"},
          {"4B 13 08 00 '/x.tessiva-new' 00", "4B 13 08 00 00 00 00 00"},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/x' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 09", "4B 13 05 00 06 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"},
          {"4B 13 02 00 41 02 00 00 A4 01 00 00 '/x' 00", "4B 13 02 00 06 00 00 00 00 00 00 00"},
          {"4B 13 05 00 06 00 00 00 00 00 00 00 09", "4B 13 05 00 06 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"},
          {"4B 13 03 00 06 00 00 00", "4B 13 03 00 00 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             const auto write = [&] { return efs.WriteFile("/x", {9}, kEfsRegularType | 0644); };
             return write() && write() ? "written twice" : efs.LastError();
         },
         "written twice"},
        {"a sync polls its status until the phone says done",
         {{kHello13, kHello13},
          {"4B 13 30 00 01 00 '/' 00", "4B 13 30 00 01 00 07 00 00 00 00 00 00 00"},
          {"4B 13 31 00 01 00 07 00 00 00 '/' 00", "4B 13 31 00 01 00 00 00 00 00 00"},
          {"4B 13 31 00 01 00 07 00 00 00 '/' 00", "4B 13 31 00 01 00 01 00 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) { return efs.Sync() == EEfsSync::Synced ? "synced" : efs.LastError(); },
         "synced"},
        {"a listing ends at the empty name, not at entry type 0",
         {{kHello13, kHello13},
          {"4B 13 0B 00 '/d' 00", "4B 13 0B 00 07 00 00 00 00 00 00 00"},
          {"4B 13 0C 00 07 00 00 00 01 00 00 00",
           "4B 13 0C 00 07 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 A4 81 00 00 08 00 00 00 00*12 'a' 00"},
          {"4B 13 0C 00 07 00 00 00 02 00 00 00",
           "4B 13 0C 00 07 00 00 00 02 00 00 00 00 00 00 00 01 00 00 00 ED 41 00 00 00 00 00 00 00*12 'b' 00"},
          {"4B 13 0C 00 07 00 00 00 03 00 00 00", "4B 13 0C 00 07 00 00 00 03 00 00 00 00*28 00"},
          {"4B 13 0D 00 07 00 00 00", "4B 13 0D 00 00 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             std::vector<SEfsEntry> entries;
             if (!efs.ListFolder("/d", entries)) return efs.LastError();
             std::string names;
             for (const auto& e : entries) names += e.name + (e.IsFolder() ? "/ " : ":" + std::to_string(e.size) + " ");
             return names;
         },
         "a:8 b/ "},
        {"errno of a missing file becomes its reason",
         {{kHello13, kHello13},
          {"4B 13 02 00 00 00 00 00 00 00 00 00 '/f' 00", "4B 13 02 00 FF FF FF FF 02 00 00 00"}},
         [](CDiagLink&, CEfsClient& efs) {
             Bytes data;
             return efs.ReadFile("/f", data) ? "read" : efs.LastError();
         },
         "/f: no such file (errno 2)"},
    };
    scripted::RunScripts(rows);
}
