#include "model/nv_field.h"

#include "jobs/text_translation.h"
#include "model/utf8_codec.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {
enum class EKind { Boolean, U8, Byte, U16, U32, U64, I8, I16, I32, I64, String, Utf16, Utf8, Unknown };

struct SDataType {
    const char* name;
    EKind kind;
    int size;
};

const SDataType kDataTypes[] = {
    {"boolean", EKind::Boolean, 1}, {"uint8", EKind::U8, 1},     {"uint1", EKind::U8, 1},
    {"byte", EKind::Byte, 1},       {"uint16", EKind::U16, 2},   {"word", EKind::U16, 2},
    {"uint2", EKind::U16, 2},       {"uint32", EKind::U32, 4},   {"dword", EKind::U32, 4},
    {"uint4", EKind::U32, 4},       {"uint64", EKind::U64, 8},   {"qword", EKind::U64, 8},
    {"int8", EKind::I8, 1},         {"int1", EKind::I8, 1},      {"sint7", EKind::I8, 1},
    {"int16", EKind::I16, 2},       {"int2", EKind::I16, 2},     {"sint15", EKind::I16, 2},
    {"int32", EKind::I32, 4},       {"int4", EKind::I32, 4},     {"sint31", EKind::I32, 4},
    {"int64", EKind::I64, 8},       {"string", EKind::String, 0}, {"utf16", EKind::Utf16, 0},
    {"utf8", EKind::Utf8, 0},
};

const SDataType* FindDataType(std::string_view name) {
    for (const auto& t : kDataTypes)
        if (name == t.name) return &t;
    return nullptr;
}

EKind KindOf(std::string_view name) {
    const SDataType* t = FindDataType(name);
    return t ? t->kind : EKind::Unknown;
}

// C-locale white space, as scanf skips it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// scanf-style number reading: leading white space, an optional sign, then digits up to
// the first non-digit; hexadecimal also takes a 0x prefix. The value wraps modulo 2^64,
// so a number too wide for its field keeps its low-order bits once narrowed. A text
// without a number reads as zero: the field is cleared rather than keeping a stale value.
uint64_t ScanNumber(const std::string& text, int base) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (base == 16 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0 || d >= base) break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    return negative ? (~value + 1) : value;
}

template <class T> std::string Decimal(T value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// Upper-case hexadecimal without leading zeros or prefix.
std::string Hex(uint64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LastTwo(const std::string& s) { return s.size() > 2 ? s.substr(s.size() - 2) : s; }

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Little-endian number of the first n bytes; a buffer shorter than its type (a damaged
// catalogue entry such as "uint64[2]") reads as zero-extended.
uint64_t ReadLE(const std::vector<uint8_t>& bytes, size_t n) {
    uint64_t v = 0;
    for (size_t i = std::min(n, bytes.size()); i-- > 0;) v = (v << 8) | bytes[i];
    return v;
}

void WriteLE(std::vector<uint8_t>& bytes, uint64_t v, size_t n) {
    for (size_t i = 0; i < n && i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One byte per 16-bit unit, up to the first zero unit. A unit above 0xFF has no byte of
// its own and shows as '?', so nothing the user sees can hide a NUL.
std::string UnitsToText(const std::vector<uint16_t>& units) {
    std::string text;
    for (uint16_t u : units) {
        if (u == 0) break;
        text += u <= 0xFF ? static_cast<char>(u) : '?';
    }
    return text;
}
}  // namespace

int CNVField::DataTypeSize(std::string_view typeName) {
    const SDataType* t = FindDataType(typeName);
    return t ? t->size : -1;
}

bool CNVField::IsTextTypeName(std::string_view typeName) {
    const EKind k = KindOf(typeName);
    return k == EKind::String || k == EKind::Utf16 || k == EKind::Utf8;
}

void CNVField::SetType(const std::string& text) {
    const size_t open = text.find('[');
    if (open != std::string::npos) {
        m_typeName = text.substr(0, open);
        const size_t close = text.find(']', open + 1);
        const std::string inner = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        // A negative, missing or absurd length comes from a damaged catalogue; keep it sane.
        const auto n = static_cast<int64_t>(ScanNumber(inner, 10));
        const int length = static_cast<int>(std::clamp<int64_t>(n, 0, kMaxTextLength));
        m_size = m_typeName == "string" ? length : 2 * length;
    } else {
        m_typeName = text;
        m_size = std::max(0, DataTypeSize(text));
    }
    m_bytes.assign(static_cast<size_t>(m_size), 0);
    m_decText.clear();
    m_hexText.clear();
}

void CNVField::SetBytes(const uint8_t* src) {
    if (m_size > 0) std::memcpy(m_bytes.data(), src, static_cast<size_t>(m_size));
    FormatValue();
}

void CNVField::SetDecText(const std::string& text) {
    m_decText = text;
    ParseDecText();
    FormatValue();
}

void CNVField::SetHexText(const std::string& text) {
    std::string dec;
    switch (KindOf(m_typeName)) {
    case EKind::Boolean: {
        const std::string upper = UpperAscii(text);
        dec = (upper == "TRUE" || upper == "1") ? "TRUE" : "FALSE";
        break;
    }
    case EKind::U32: dec = Decimal(static_cast<uint32_t>(ScanNumber(text, 16))); break;
    case EKind::U8:
    case EKind::Byte:
    case EKind::U16: dec = Decimal(static_cast<uint16_t>(ScanNumber(text, 16))); break;
    case EKind::U64: dec = Decimal(ScanNumber(text, 16)); break;
    case EKind::I32: dec = Decimal(static_cast<int32_t>(static_cast<uint32_t>(ScanNumber(text, 16)))); break;
    case EKind::I8: dec = Decimal(static_cast<int8_t>(static_cast<uint8_t>(ScanNumber(text, 16)))); break;
    case EKind::I16: dec = Decimal(static_cast<int16_t>(static_cast<uint16_t>(ScanNumber(text, 16)))); break;
    case EKind::I64: dec = Decimal(static_cast<int64_t>(ScanNumber(text, 16))); break;
    case EKind::String:
    case EKind::Utf16:
    case EKind::Utf8:
    case EKind::Unknown: dec = text; break;
    }
    m_hexText = text;
    SetDecText(dec);
}

void CNVField::FormatValue() {
    const auto& b = m_bytes;
    const EKind kind = KindOf(m_typeName);
    // Numeric types read exactly their own width, whatever the buffer holds.
    const uint64_t raw = ReadLE(b, static_cast<size_t>(std::max(0, DataTypeSize(m_typeName))));
    switch (kind) {
    case EKind::Boolean: m_decText = raw ? "TRUE" : "FALSE"; break;
    case EKind::U8:
    case EKind::Byte: SetTexts(Decimal(raw), LastTwo(Hex(raw))); return;
    // %hx of the sign-extended value, so -1 shows FF.
    case EKind::I8: {
        const auto v = static_cast<int8_t>(raw);
        SetTexts(Decimal(v), LastTwo(Hex(static_cast<uint16_t>(v))));
        return;
    }
    // In the field's own width, so -12 shows FFF4.
    case EKind::I16: {
        const auto v = static_cast<int16_t>(raw);
        SetTexts(Decimal(v), Hex(static_cast<uint16_t>(v)));
        return;
    }
    case EKind::I32: SetTexts(Decimal(static_cast<int32_t>(raw)), Hex(raw)); return;
    case EKind::I64: SetTexts(Decimal(static_cast<int64_t>(raw)), Hex(raw)); return;
    case EKind::U16:
    case EKind::U32:
    case EKind::U64: SetTexts(Decimal(raw), Hex(raw)); return;
    case EKind::String: {
        const auto end = std::find(b.begin(), b.end(), uint8_t{0});
        m_decText.assign(b.begin(), end);
        break;
    }
    case EKind::Utf16: {
        std::vector<uint16_t> units(b.size() / 2);
        for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        m_decText = UnitsToText(units);
        break;
    }
    case EKind::Utf8: m_decText = UnitsToText(Utf8ToUtf16(b.data(), b.size(), b.size())); break;
    case EKind::Unknown: m_decText.clear(); break;
    }
    m_hexText = m_decText;
}

void CNVField::SetTexts(std::string dec, std::string hex) {
    m_decText = std::move(dec);
    m_hexText = std::move(hex);
}

void CNVField::ParseDecText() {
    m_bytes.assign(static_cast<size_t>(m_size), 0);
    auto& b = m_bytes;
    switch (KindOf(m_typeName)) {
    case EKind::Boolean: {
        const std::string upper = UpperAscii(m_decText);
        WriteLE(b, upper == "TRUE" || upper == "1" ? 1 : 0, 1);
        return;
    }
    case EKind::U8:
    case EKind::I8: WriteLE(b, ScanNumber(m_decText, 10), 1); return;
    case EKind::Byte: {
        const auto v = static_cast<int32_t>(static_cast<uint32_t>(ScanNumber(m_decText, 10)));
        WriteLE(b, v > 256 ? 0 : static_cast<uint8_t>(v), 1);
        return;
    }
    case EKind::U16:
    case EKind::I16: WriteLE(b, ScanNumber(m_decText, 10), 2); return;
    case EKind::U32:
    case EKind::I32: WriteLE(b, ScanNumber(m_decText, 10), 4); return;
    case EKind::U64:
    case EKind::I64: WriteLE(b, ScanNumber(m_decText, 10), 8); return;
    case EKind::String: std::copy_n(m_decText.begin(), std::min(m_decText.size(), b.size()), b.begin()); return;
    case EKind::Utf16:
        for (size_t i = 0; i < b.size() / 2 && i < m_decText.size(); ++i) b[2 * i] = static_cast<uint8_t>(m_decText[i]);
        return;
    case EKind::Utf8: {
        // Characters widen as Latin-1 (one byte to the unit of the same value).
        std::vector<uint16_t> units;
        for (size_t i = 0; i < m_decText.size() && i < b.size(); ++i) units.push_back(static_cast<uint8_t>(m_decText[i]));
        const std::vector<uint8_t> encoded = Utf16ToUtf8(units.data(), units.size(), b.size());
        std::copy(encoded.begin(), encoded.end(), b.begin());
        return;
    }
    case EKind::Unknown: return;
    }
}

namespace {
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Smallest and largest value of a numeric kind.
struct SRange {
    int64_t low;
    uint64_t high;
};
SRange RangeOf(EKind kind) {
    switch (kind) {
    case EKind::U8:
    case EKind::Byte: return {0, 0xFF};
    case EKind::U16: return {0, 0xFFFF};
    case EKind::U32: return {0, 0xFFFFFFFFu};
    case EKind::U64: return {0, UINT64_MAX};
    case EKind::I8: return {INT8_MIN, INT8_MAX};
    case EKind::I16: return {INT16_MIN, INT16_MAX};
    case EKind::I32: return {INT32_MIN, INT32_MAX};
    case EKind::I64: return {INT64_MIN, INT64_MAX};
    default: return {0, 0};
    }
}

bool IsBooleanWord(std::string_view text) {
    const std::string upper = UpperAscii(std::string(Trimmed(text)));
    return upper == "TRUE" || upper == "FALSE" || upper == "1" || upper == "0";
}

// Characters a text field holds; a utf8 character beyond ASCII takes two bytes.
size_t TextCapacity(EKind kind, int size) { return kind == EKind::Utf16 ? static_cast<size_t>(size) / 2 : static_cast<size_t>(size); }
size_t TextLengthIn(EKind kind, const std::string& text) {
    if (kind != EKind::Utf8) return text.size();
    size_t n = 0;
    for (char c : text) n += static_cast<uint8_t>(c) < 0x80 ? 1 : 2;
    return n;
}
}  // namespace

std::string CNVField::DecTextRefusal(const std::string& text) const {
    const EKind kind = KindOf(m_typeName);
    switch (kind) {
    case EKind::Unknown: return {};
    case EKind::Boolean: return IsBooleanWord(text) ? std::string() : TrText("CNVField", "Enter TRUE, FALSE, 1 or 0.");
    case EKind::String:
    case EKind::Utf16:
    case EKind::Utf8: {
        const size_t capacity = TextCapacity(kind, m_size);
        if (TextLengthIn(kind, text) <= capacity) return {};
        return FillText(kind == EKind::Utf8 ? TrText("CNVField", "Enter at most %1 bytes of text.")
                                            : TrText("CNVField", "Enter at most %1 characters."),
                        {std::to_string(capacity)});
    }
    default: break;
    }
    const SRange range = RangeOf(kind);
    const std::string hint =
        FillText(TrText("CNVField", "Enter a whole number from %1 to %2."),
                 {Decimal(range.low), range.low < 0 ? Decimal(static_cast<int64_t>(range.high)) : Decimal(range.high)});
    std::string_view t = Trimmed(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return hint;
    const char* end = t.data() + t.size();
    if (t.front() == '-') {
        int64_t v = 0;
        const auto r = std::from_chars(t.data(), end, v);
        return r.ec == std::errc() && r.ptr == end && v >= range.low ? std::string() : hint;
    }
    uint64_t v = 0;
    const auto r = std::from_chars(t.data(), end, v);
    return r.ec == std::errc() && r.ptr == end && v <= range.high ? std::string() : hint;
}

std::string CNVField::HexTextRefusal(const std::string& text) const {
    const EKind kind = KindOf(m_typeName);
    if (kind == EKind::Boolean || kind == EKind::String || kind == EKind::Utf16 || kind == EKind::Utf8 ||
        kind == EKind::Unknown)
        return DecTextRefusal(text);
    // Signed fields take the bit pattern of their own width.
    const int width = DataTypeSize(m_typeName);
    const uint64_t high = width >= 8 ? UINT64_MAX : (uint64_t{1} << (8 * width)) - 1;
    const std::string hint = FillText(TrText("CNVField", "Enter a hexadecimal number from 0 to %1."), {Hex(high)});
    std::string_view t = Trimmed(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
    if (t.empty()) return hint;
    uint64_t v = 0;
    const char* end = t.data() + t.size();
    const auto r = std::from_chars(t.data(), end, v, 16);
    return r.ec == std::errc() && r.ptr == end && v <= high ? std::string() : hint;
}
