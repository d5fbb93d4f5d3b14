#include "files/compound_format.h"

#include <QChar>
#include <QString>

#include <algorithm>

namespace Cfb {
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t GetU64(const uint8_t* p) { return GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32); }

void SetU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void SetU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

void SetU64(uint8_t* p, uint64_t v) {
    SetU32(p, static_cast<uint32_t>(v & 0xFFFFFFFF));
    SetU32(p + 4, static_cast<uint32_t>(v >> 32));
}

std::u16string ToUtf16(const std::string& utf8) {
    // Names are nearly always ASCII: no detour through QString for them.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::u16string(utf8.begin(), utf8.end());
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

std::string ToUtf8(const std::u16string& utf16) {
    if (std::all_of(utf16.begin(), utf16.end(), [](char16_t c) { return c < 0x80; }))
        return std::string(utf16.begin(), utf16.end());
    return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size())).toStdString();
}

namespace {
char16_t Upper(char16_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 'a' + 'A') : c;
    // Simple (one to one) upper-casing; surrogates stay as they are.
    if (QChar::isSurrogate(c)) return c;
    const char32_t upper = QChar::toUpper(static_cast<char32_t>(c));
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}
}  // namespace

int CompareNames(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        const char16_t x = Upper(a[i]), y = Upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

bool IsValidName(const std::u16string& name) {
    if (name.empty() || name.size() > kMaxNameUnits) return false;
    for (char16_t c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || c == 0) return false;
    return true;
}
}  // namespace Cfb
