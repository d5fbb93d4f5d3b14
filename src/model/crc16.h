#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// CRC-16/GENIBUS (poly 0x1021, init 0xFFFF, xorout 0xFFFF, not reflected) of the CNV files.
// `running` is the result of a previous call, so pieces chain to the CRC of the whole.
uint16_t Crc16(const uint8_t* bytes, size_t length, uint16_t running = 0);

// Crc16 over a whole file, trailer included, when the file is intact.
inline constexpr uint16_t kCrcGoodResidue = 0xE2F0;

// Appends Crc16 of the file's bytes, high byte first. False with reason when the file
// cannot be read or written.
bool AppendCrcTrailer(const std::string& path, std::string* error = nullptr);
