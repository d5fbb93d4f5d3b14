#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Framing of the phone's diagnostic serial link: payload + CRC, escaped, closed by a flag.
inline constexpr uint8_t kDiagFlag = 0x7E;
inline constexpr uint8_t kDiagEscape = 0x7D;
inline constexpr uint8_t kDiagEscapeXor = 0x20;
// Decoded frames (payload + CRC) longer than this are line noise, not replies. The largest
// frame sent is a file system put: 6 KB of data and its path.
inline constexpr size_t kDiagMaxFrame = 8192;

// CRC-16/X-25 (reflected 0x1021, init 0xFFFF, final XOR 0xFFFF), not the CRC of CNV files.
uint16_t DiagCrc(const uint8_t* bytes, size_t length);

// The position of the first flag or escape byte from from on; length when there is none.
size_t DiagPlainRunEnd(const uint8_t* bytes, size_t from, size_t length);

// Appends bytes with 0x7E and 0x7D escaped.
void AppendDiagEscaped(std::vector<uint8_t>& out, const uint8_t* bytes, size_t length);

// escape(payload + CRC low byte first) + 0x7E, with a leading 0x7E when asked (it makes the
// other side drop whatever half-received noise precedes the frame).
std::vector<uint8_t> EncodeDiagFrame(const uint8_t* payload, size_t length, bool leadingFlag);
// The same into frame, reusing its storage: the link encodes one frame per request.
void EncodeDiagFrameInto(const uint8_t* payload, size_t length, bool leadingFlag, std::vector<uint8_t>& frame);
inline std::vector<uint8_t> EncodeDiagFrame(const std::vector<uint8_t>& payload, bool leadingFlag) {
    return EncodeDiagFrame(payload.data(), payload.size(), leadingFlag);
}
