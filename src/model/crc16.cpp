#include "model/crc16.h"

#include "jobs/text_translation.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
// Table k gives a byte's effect on the register after k more bytes: eight bytes take one step.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;
constexpr CrcTables MakeTables() {
    CrcTables t{};
    for (unsigned n = 0; n < 256; ++n) {
        uint16_t r = static_cast<uint16_t>(n << 8);
        for (int bit = 0; bit < 8; ++bit) r = static_cast<uint16_t>((r & 0x8000) ? (r << 1) ^ 0x1021 : (r << 1));
        t[0][n] = r;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (unsigned n = 0; n < 256; ++n) t[k][n] = static_cast<uint16_t>((t[k - 1][n] << 8) ^ t[0][t[k - 1][n] >> 8]);
    return t;
}
constexpr CrcTables kTables = MakeTables();
}  // namespace

uint16_t Crc16(const uint8_t* bytes, size_t length, uint16_t running) {
    // Saves run every byte of the file through here.
    const auto& t = kTables;
    uint16_t reg = static_cast<uint16_t>(~running);
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint8_t* b = bytes + i;
        reg = static_cast<uint16_t>(t[7][(reg >> 8) ^ b[0]] ^ t[6][(reg & 0xFF) ^ b[1]] ^ t[5][b[2]] ^ t[4][b[3]] ^
                                    t[3][b[4]] ^ t[2][b[5]] ^ t[1][b[6]] ^ t[0][b[7]]);
    }
    for (; i < length; ++i) reg = static_cast<uint16_t>((reg << 8) ^ t[0][((reg >> 8) ^ bytes[i]) & 0xFF]);
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
