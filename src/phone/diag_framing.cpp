#include "phone/diag_framing.h"

#include <array>

namespace {
constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        uint16_t c = static_cast<uint16_t>(n);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0x8408) : static_cast<uint16_t>(c >> 1);
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();
}  // namespace

uint16_t DiagCrc(const uint8_t* bytes, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

void AppendDiagEscaped(std::vector<uint8_t>& out, const uint8_t* bytes, size_t length) {
    // Runs of plain bytes go in whole: a frame costs a few copies, not one call per byte.
    size_t i = 0;
    while (i < length) {
        size_t end = i;
        while (end < length && bytes[end] != kDiagFlag && bytes[end] != kDiagEscape) ++end;
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
