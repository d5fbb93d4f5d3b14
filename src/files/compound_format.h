#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Fixed facts of the compound file format shared by its reader and writer: the header's
// fields, the special sector numbers, the directory entry and how names are ordered.
namespace Cfb {
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
constexpr size_t kEntrySize = 128;
constexpr size_t kHeaderDifat = 109;  // FAT sector numbers held by the header itself
constexpr uint32_t kMiniCutoff = 4096;  // smaller streams live in the mini stream
constexpr unsigned kMiniShift = 6;
constexpr uint32_t kMiniSectorSize = 1u << kMiniShift;
constexpr size_t kMaxNameUnits = 31;  // UTF-16 code units, the terminating zero not counted

// Special sector numbers; every number up to kMaxRegular names a sector.
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;

// Header field offsets.
namespace Header {
constexpr size_t kMinorVersion = 24, kMajorVersion = 26, kByteOrder = 28, kSectorShift = 30, kMiniSectorShift = 32,
                 kDirSectors = 40, kFatSectors = 44, kFirstDir = 48, kMiniCutoff = 56, kFirstMiniFat = 60,
                 kMiniFatSectors = 64, kFirstDifat = 68, kDifatSectors = 72, kDifat = 76;
}

// Directory entry field offsets and object types.
namespace Entry {
constexpr size_t kNameLength = 64, kType = 66, kColour = 67, kLeft = 68, kRight = 72, kChild = 76, kStart = 116,
                 kSize = 120;
constexpr uint8_t kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5;
constexpr uint8_t kRed = 0, kBlack = 1;
}

uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
uint64_t GetU64(const uint8_t* p);
void SetU16(uint8_t* p, uint16_t v);
void SetU32(uint8_t* p, uint32_t v);
void SetU64(uint8_t* p, uint64_t v);

// Names are held as UTF-8 by callers and as UTF-16 in the file. Unpaired surrogates in a
// file's name come back as U+FFFD.
std::u16string ToUtf16(const std::string& utf8);
std::string ToUtf8(const std::u16string& utf16);
// The format's order of sibling names: the shorter name first, then code unit by code unit
// after simple upper-casing. Equal names under this order can't be siblings.
int CompareNames(const std::u16string& a, const std::u16string& b);
// 1..31 code units and none of / \ : ! (which the format reserves).
bool IsValidName(const std::u16string& name);
}  // namespace Cfb
