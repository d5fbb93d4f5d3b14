#pragma once
#include "doc/backup_reader.h"
#include "files/numbered_backup.h"

#include "phone/nv_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDiagLink;
class CNVItemArray;

// One record of the phone as a backup holds it: the 128 data bytes an NV read returns (an
// array element's index first), how to read it again, and how much of it a read must match.
struct SImageRecord {
    SNumberedRecord record;
    int index = -1;  // read as this array element; -1: a plain read
    size_t compared = SNumberedRecord::kDataSize;  // leading data bytes a read-back must match
    std::string name;                              // as the report names it
    std::string problem;                           // why the link can't carry it; empty when it can
};

// What a restore writes and a backup reads: the records of every subscription, those no
// definition names included, and the item files.
struct SPhoneImage {
    std::vector<SImageRecord> records;
    std::vector<SItemFile> files;
};

// Every record of a numbered backup with its 128 bytes as read, and its item files. An
// undefined item is read as an array when its ID comes more than once in a subscription.
SPhoneImage ImageOfNumbered(SNumberedBackup&& backup, const CNVItemArray& defs);
// The active records of a backup of another kind (CNV, BRT, Tessiva's QCN), loaded.
SPhoneImage ImageOfRecords(const CNVItemArray& records, const CNVItemArray& defs);
// What a restore writes of a backup read: a numbered-items backup's records as read, byte for
// byte, kept-aside ones and item files too; of another kind its active records.
SPhoneImage ImageOfBackup(SBackupContent&& content, const CNVItemArray& defs);
// The numbered-items backup at path, compound file or XML, for checks of what a backup holds.
// False with error empty when path holds another kind or layout; false with error for damage.
bool ReadNumberedImage(const std::string& path, const CNVItemArray& defs, SPhoneImage& image, std::string& error);
// The mode (type and permission bits) a file of a backup is written with: an item file for the
// entries of NV_Items and Provisioning_Item_Files and for paths below /nv/item_files/ and
// /nv/reg_files/; otherwise what EFS_Backup's header recorded, a regular file 0644 without it.
int32_t ModeOfItemFile(const SItemFile& file);
// A file read from the phone, as a backup keeps it: an item file in NV_Items, any other in
// EFS_Backup with its mode in the header.
SItemFile BackupItemFile(const std::string& path, std::vector<uint8_t> data, int32_t mode);

// The definitions' name of the item, "NV item 7001" for one they do not name.
std::string ItemName(uint32_t id, const CNVItemArray& defs);

// The record's current 128 bytes on the phone (an element's index first, the rest zero when
// the phone holds less); false when the exchange failed (the link's LastError() tells why).
bool ReadImageRecord(CDiagLink& link, const SImageRecord& r, std::array<uint8_t, SNumberedRecord::kDataSize>& data,
                     uint16_t& status);
// The reads of the records (an element's by its index), for a CNvReader.
std::vector<SNvRead> ImageReads(const std::vector<SImageRecord>& records);
SNvRead ImageRead(const SImageRecord& r);
// Writes the record's 128 bytes as they are.
bool WriteImageRecord(CDiagLink& link, const SImageRecord& r, uint16_t& status);
