#pragma once
// A structural check of compound files, written from the published file format alone (it
// shares nothing with our reader or writer), so a fault both of them share can't hide:
// header fields, every sector and mini sector owned exactly once by the FAT, the DIFAT, the
// directory, the mini FAT, the mini stream or one stream, chains exactly as long as their
// sizes, every directory entry reached once, names of at most 31 characters, and each
// storage's children a red-black tree in the format's order (shorter names first, then
// upper-cased UTF-16 units).
#include <cstdint>
#include <string>
#include <vector>

// Every rule the bytes break, one sentence each; empty for a sound file.
std::vector<std::string> CompoundFaults(const std::vector<uint8_t>& bytes);
// The same of a file; a file that can't be read is one fault.
std::vector<std::string> CompoundFileFaults(const std::string& path);
