#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The whole of a file of this computer, at most limit bytes; false with a sentence in error.
// Checked as every input is (CInputFile): a device, pipe or folder is refused, never read, so
// an empty read of something that never ends can't pass for an empty file.
bool ReadHostFile(const std::string& path, size_t limit, std::vector<uint8_t>& data, std::string& error);

// The local time as it starts the names of backups: "20240501-143005".
std::string FileTimeStamp();
