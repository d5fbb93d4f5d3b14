#include "phone/diag_framing.h"

#include <array>
#include <cstring>

namespace {
// Table k gives a byte's effect on the CRC after k more bytes: eight bytes take one step.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;
constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (unsigned n = 0; n < 256; ++n) {
        uint16_t c = static_cast<uint16_t>(n);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0x8408) : static_cast<uint16_t>(c >> 1);
        t[0][n] = c;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (unsigned n = 0; n < 256; ++n) t[k][n] = static_cast<uint16_t>((t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF]);
    return t;
}
constexpr CrcTables kCrc = MakeCrcTables();
}  // namespace

uint16_t DiagCrc(const uint8_t* bytes, size_t length) {
    // Every request and reply is checked: eight bytes a step keep that off the link's cost.
    uint16_t crc = 0xFFFF;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint8_t* b = bytes + i;
        crc = static_cast<uint16_t>(kCrc[7][(crc ^ b[0]) & 0xFF] ^ kCrc[6][((crc >> 8) ^ b[1]) & 0xFF] ^ kCrc[5][b[2]] ^
                                    kCrc[4][b[3]] ^ kCrc[3][b[4]] ^ kCrc[2][b[5]] ^ kCrc[1][b[6]] ^ kCrc[0][b[7]]);
    }
    for (; i < length; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kCrc[0][(crc ^ bytes[i]) & 0xFF]);
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

size_t DiagPlainRunEnd(const uint8_t* bytes, size_t from, size_t length) {
    // Eight bytes a step: frames hold few flags and escapes, and every byte of every request
    // and reply passes here.
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const auto hasZeroByte = [](uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
    size_t i = from;
    for (; i + 8 <= length; i += 8) {
        uint64_t w = 0;
        std::memcpy(&w, bytes + i, 8);
        if (hasZeroByte(w ^ (kOnes * kDiagFlag)) || hasZeroByte(w ^ (kOnes * kDiagEscape))) break;
    }
    while (i < length && bytes[i] != kDiagFlag && bytes[i] != kDiagEscape) ++i;
    return i;
}

void AppendDiagEscaped(std::vector<uint8_t>& out, const uint8_t* bytes, size_t length) {
    // Runs of plain bytes go in whole: a frame costs a few copies, not one call per byte.
    size_t i = 0;
    while (i < length) {
        const size_t end = DiagPlainRunEnd(bytes, i, length);
        out.insert(out.end(), bytes + i, bytes + end);
        if (end == length) break;
        out.push_back(kDiagEscape);
        out.push_back(static_cast<uint8_t>(bytes[end] ^ kDiagEscapeXor));
        i = end + 1;
    }
}

std::vector<uint8_t> EncodeDiagFrame(const uint8_t* payload, size_t length, bool leadingFlag) {
    std::vector<uint8_t> frame;
    EncodeDiagFrameInto(payload, length, leadingFlag, frame);
    return frame;
}

void EncodeDiagFrameInto(const uint8_t* payload, size_t length, bool leadingFlag, std::vector<uint8_t>& frame) {
    frame.clear();
    frame.reserve(length + length / 8 + 8);
    if (leadingFlag) frame.push_back(kDiagFlag);
    AppendDiagEscaped(frame, payload, length);
    const uint16_t crc = DiagCrc(payload, length);
    const uint8_t trailer[2] = {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
    AppendDiagEscaped(frame, trailer, 2);
    frame.push_back(kDiagFlag);
}
