#include "model/crc16.h"

#include "jobs/text_translation.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t r = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) r = static_cast<uint16_t>((r & 0x8000) ? (r << 1) ^ 0x1021 : (r << 1));
        table[i] = r;
    }
    return table;
}
const std::array<uint16_t, 256> kTable = MakeTable();
}  // namespace

uint16_t Crc16(const uint8_t* bytes, size_t length, uint16_t running) {
    uint16_t reg = static_cast<uint16_t>(~running);
    for (size_t i = 0; i < length; ++i)
        reg = static_cast<uint16_t>((reg << 8) ^ kTable[((reg >> 8) ^ bytes[i]) & 0xFF]);
    return static_cast<uint16_t>(~reg);
}

bool AppendCrcTrailer(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = FillText(TrText("CrcTrailer", "cannot open %1"), {path});
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error) *error = FillText(TrText("CrcTrailer", "cannot read %1"), {path});
        return false;
    }
    in.close();
    const uint16_t crc = Crc16(bytes.data(), bytes.size());
    const char trailer[2] = {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(trailer, 2);
    out.flush();
    if (!out) {
        if (error) *error = FillText(TrText("CrcTrailer", "cannot write %1"), {path});
        return false;
    }
    return true;
}
