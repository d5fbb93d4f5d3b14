#pragma once
#include "files/compound_node.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The numbered-items backup layout: under <8 digits>/default, NV_NUMBERED_ITEMS holds one
// stream of 136-byte records per subscription, and three optional areas hold item files.
//
// SNumberedBackup keeps the whole tree as read, so that everything the codec does not
// understand (File_Version, Mobile_Property_Info, Feature_Mask, other storages and
// streams, further 8-digit storages) is written back byte for byte. Encoding replaces only
// the record streams and the item-file streams, from `records` and `itemFiles`.
//
// Record order on save: every record keeps the place it was read from (`position`, its
// record number in its stream), whatever order the vector has; records made by the caller
// (position -1) follow those of their subscription in ID order, ties in the order given.
// Removing a record from the vector removes it from the file. So an unchanged load saves
// byte-identical streams, and an edit changes only that record's 136 bytes.

struct SNumberedRecord {
    static constexpr size_t kSize = 136;
    static constexpr size_t kDataSize = 128;

    uint32_t id = 0;
    uint16_t flags = 1;                 // the u16 at offset 2; 1 in every file seen
    int subscription = 0;               // 0: NV_ITEM_ARRAY, 1: NV_ITEM_ARRAY_SIM_1, 2: _SIM_2
    std::array<uint8_t, kDataSize> data{};  // as an NV read returns it: arrays start with the element index
    int64_t position = -1;              // record number in its stream as read; -1 for a new record
};

// One file of a file area: EFS_Dir/<index> names it, EFS_Data/<index> holds it.
struct SItemFile {
    std::string area;               // NV_Items, Provisioning_Item_Files or EFS_Backup
    std::string index;              // 8 upper-case hex digits; empty: the next free one on save
    std::vector<uint8_t> dir;       // EFS_Dir bytes as read; they are what is saved
    std::vector<uint8_t> data;      // EFS_Data bytes
    std::string path;               // decoded from dir for the area
    uint32_t attributes = 0;        // EFS_Backup's header attributes; 0 elsewhere
};

struct SNumberedBackup {
    CCompoundNode tree;                 // the file as read; empty for a new file
    std::string storage = "00000000";   // the 8-digit storage the records come from
    std::array<bool, 3> hasStream{};    // which record streams the file holds (kept even when empty)
    std::vector<SNumberedRecord> records;
    std::vector<SItemFile> itemFiles;   // by area, then index
    // Shown, not saved: these streams go back from the tree as they were read.
    bool hasFileVersion = false;
    std::array<uint16_t, 3> fileVersion{};  // major, minor, revision
    bool hasFeatureMask = false;
    std::vector<uint8_t> featureMask;   // the bytes after its u16 length
    // Mobile_Property_Info of a new file (empty: NewPropertyInfo()); a file read keeps its own.
    std::vector<uint8_t> propertyInfo;
};

namespace Numbered {
inline constexpr const char* kItemsStorage = "NV_NUMBERED_ITEMS";
inline constexpr const char* kVersionStream = "File_Version";
inline constexpr const char* kPropertyStream = "Mobile_Property_Info";
inline constexpr const char* kFeatureStream = "Feature_Mask";
inline constexpr std::array<const char*, 3> kRecordStreams = {"NV_ITEM_ARRAY", "NV_ITEM_ARRAY_SIM_1", "NV_ITEM_ARRAY_SIM_2"};
inline constexpr std::array<const char*, 3> kAreas = {"NV_Items", "Provisioning_Item_Files", "EFS_Backup"};

// True for a name of 8 decimal digits, the name of the layout's first level.
bool IsStorageName(const std::string& name);
}  // namespace Numbered

// Fills backup from a tree of the numbered-items layout. On damage (a record stream not a
// multiple of 136 bytes, a record whose length field is not 136, a Dir without its Data,
// ...) gives false, a message naming the stream, and an empty backup.
bool DecodeNumbered(const CCompoundNode& tree, SNumberedBackup& backup, std::string& error);

// The tree to save: backup.tree with its record and item-file streams made from records
// and itemFiles. An empty backup.tree gives a new file: File_Version 2,0,0,
// 00000000/default with Mobile_Property_Info naming this program, all three record streams
// and all three item-file areas (each with EFS_Dir and EFS_Data), empty where nothing goes. False with a message
// for a subscription outside 0..2, an unknown area, or two item files of one area and index.
bool EncodeNumbered(const SNumberedBackup& backup, CCompoundNode& tree, std::string& error);

// An item file of area whose Dir bytes spell path as that area stores it.
SItemFile MakeItemFile(const std::string& area, const std::string& path, std::vector<uint8_t> data, uint32_t attributes = 0);

// Mobile_Property_Info as a new file has it: the phone's model number and software version
// when known (a backup of a phone), and this program.
std::vector<uint8_t> NewPropertyInfo(const std::string& softwareVersion = "", uint16_t model = 0);
