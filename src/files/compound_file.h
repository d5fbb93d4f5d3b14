#pragma once
#include "files/compound_node.h"
#include "files/safe_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a whole compound file into a CCompoundNode tree and writes a tree back as a
// compound file. The root node stands for the file's root storage (its own name is not
// stored). Children come back in the format's order of names (shorter first, then by
// upper-cased letters), so callers find them by name. Every stream is read whole; a
// damaged file gives false and a message naming the entry, never a partial tree. Writing
// goes through a temporary file beside the target that replaces it only when complete.
class CCompoundFile {
public:
    // Deeper nesting than this is taken as a damaged directory.
    static constexpr int kMaxDepth = 32;
    // The longest name a compound file can hold, in characters.
    static constexpr size_t kMaxName = 31;

    static bool Read(const std::string& path, CCompoundNode& root, std::string& error);
    static bool ReadMemory(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error);
    static bool Write(const std::string& path, const CCompoundNode& root, std::string& error);
    // Writes and commits through a writer the caller opened.
    static bool Write(CSafeFileWriter& file, const CCompoundNode& root, std::string& error);
    static bool WriteMemory(const CCompoundNode& root, std::vector<uint8_t>& bytes, std::string& error);

    // True when bytes start with the compound file signature.
    static bool HasSignature(const uint8_t* data, size_t size);
};
