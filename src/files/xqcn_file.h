#pragma once
#include "files/byte_reader.h"
#include "files/compound_node.h"
#include "files/safe_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QIODevice;

// The XML form of a compound file (.xqcn): one outer <Storage Name='file name'> holding the
// tree, storages as <Storage Name=...>, streams as <Stream Length=N Name=... Value='hex'/>.
// Reading yields the same tree a compound file gives (root name empty, children in the
// order written); the outer storage's name is only a label and is returned apart.
// Reading is strict about what matters (element kinds, names, Length against the bytes
// given, two-digit hex) and lenient about what doesn't (quotes, whitespace, hex case).
// Both directions stream: a file is parsed as it is read, straight into the tree, and
// written element by element through the safe writer.
class CXqcnFile {
public:
    static constexpr uint64_t kMaxFileSize = CByteReader::kMaxFileSize;
    static constexpr int kMaxDepth = 32;
    // The longest name read or written, in UTF-8 bytes.
    static constexpr size_t kMaxName = 4096;

    static bool Read(const std::string& path, CCompoundNode& root, std::string& error, std::string* outerName = nullptr);
    static bool ReadMemory(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error,
                           std::string* outerName = nullptr);
    // Reads from an open device; what a file's reader and ReadBackupTree end in.
    static bool ReadDevice(QIODevice& device, CCompoundNode& root, std::string& error, std::string* outerName = nullptr);
    // The outer storage is named after the file, with its extension. File_Version is
    // written as the outer storage's last child, the rest in the tree's order.
    static bool Write(const std::string& path, const CCompoundNode& root, std::string& error);
    // Writes and commits through a writer the caller opened; the outer storage is named outerName.
    static bool Write(CSafeFileWriter& file, const std::string& outerName, const CCompoundNode& root, std::string& error);
    static bool WriteMemory(const CCompoundNode& root, const std::string& outerName, std::vector<uint8_t>& bytes,
                            std::string& error);

    // True when the bytes begin (after an optional byte order mark and whitespace) with '<'.
    static bool LooksLikeXml(const uint8_t* data, size_t size);
    // The reasons for input that is no XML at all.
    static std::string EmptyFile();
    static std::string NotXml();
};
