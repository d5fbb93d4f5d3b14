#include "files/nv_types_file.h"

#include <filesystem>

#include "files/byte_reader.h"
#include "model/nv_type_catalog.h"
#include "files/safe_file_writer.h"

bool CNVTypesFile::ReadTypeFile(const std::string& path, std::string& text, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!CByteReader::ReadFile(path, bytes, error)) return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

bool CNVTypesFile::WriteTypeFile(const std::string& path, const std::string& text, std::string& error) {
    return CSafeFileWriter::WriteWholeFile(path, text, error);
}

bool CNVTypesFile::KeepCopy(const std::string& path, const std::string& backupPath, std::string& error) {
    std::string text;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return true;
    if (!ReadTypeFile(path, text, error)) return false;
    // An empty file is what a failed save of old left behind: the copy kept before it is the good one.
    if (text.empty() && std::filesystem::exists(backupPath, ec)) return true;
    return WriteTypeFile(backupPath, text, error);
}
