#include "model/utf8_codec.h"

namespace {
constexpr uint16_t kReplacement = 0xFFFD;

// Length of the sequence a lead byte starts and the allowed range of its second byte
// (which rules out overlong forms, surrogates and values above U+10FFFF); 0 when invalid.
int SequenceLength(uint8_t lead, uint8_t& low, uint8_t& high) {
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

void Append(std::vector<uint8_t>& out, uint32_t cp, size_t maxBytes, bool& full) {
    uint8_t seq[4];
    size_t len = 0;
    if (cp < 0x80) {
        seq[len++] = static_cast<uint8_t>(cp);
    } else if (cp < 0x800) {
        seq[len++] = static_cast<uint8_t>(0xC0 | (cp >> 6));
        seq[len++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        seq[len++] = static_cast<uint8_t>(0xE0 | (cp >> 12));
        seq[len++] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        seq[len++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    } else {
        seq[len++] = static_cast<uint8_t>(0xF0 | (cp >> 18));
        seq[len++] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
        seq[len++] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        seq[len++] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    }
    if (out.size() + len > maxBytes) {
        full = true;
        return;
    }
    out.insert(out.end(), seq, seq + len);
}
}  // namespace

std::vector<uint16_t> Utf8ToUtf16(const uint8_t* bytes, size_t n, size_t maxUnits) {
    std::vector<uint16_t> out;
    size_t i = 0;
    while (i < n && out.size() < maxUnits) {
        const uint8_t lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        uint8_t low, high;
        const int len = SequenceLength(lead, low, high);
        if (len == 0) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        uint32_t cp = lead & (0x7F >> len);
        int j = 1;
        for (; j < len; ++j) {
            if (i + static_cast<size_t>(j) >= n) break;
            const uint8_t c = bytes[i + static_cast<size_t>(j)];
            if (c < (j == 1 ? low : 0x80) || c > (j == 1 ? high : 0xBF)) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        i += static_cast<size_t>(j);
        if (j < len) {
            out.push_back(kReplacement);
        } else if (cp >= 0x10000) {
            if (out.size() + 2 > maxUnits) break;
            cp -= 0x10000;
            out.push_back(static_cast<uint16_t>(0xD800 | (cp >> 10)));
            out.push_back(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<uint16_t>(cp));
        }
    }
    return out;
}

std::vector<uint8_t> Utf16ToUtf8(const uint16_t* units, size_t n, size_t maxBytes) {
    std::vector<uint8_t> out;
    bool full = false;
    for (size_t i = 0; i < n && !full; ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        Append(out, cp, maxBytes, full);
    }
    return out;
}
