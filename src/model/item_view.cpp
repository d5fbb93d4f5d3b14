#include "model/item_view.h"

#include "jobs/text_translation.h"
#include "model/item_file_defs.h"
#include "model/nv_item_array.h"

#include <algorithm>
#include <set>

namespace {
constexpr const char* kContext = "CItemView";
constexpr int kImeiBytes = 9;
constexpr int kMeidBytes = 7;
constexpr std::string_view kItemFileFolder = "modem/mmode/";

const std::vector<CItemView>& Views() {
    using K = CItemView::EKind;
    static const std::vector<CItemView> views = {
        {K::Imei, TrNoop("CItemView", "IMEI"), {{550, 0, 1, kImeiBytes, 0}}},
        {K::Meid, TrNoop("CItemView", "MEID"), {{1943, 0, 1, kMeidBytes, 0}}},
        {K::Bands, TrNoop("CItemView", "LTE bands"), {{6828, 0, 8, 2, 1}}},
        {K::Bands, TrNoop("CItemView", "RF bands"), {{1877, 0, 8, 1, 1}}},
        // GSM/WCDMA/CDMA: one 64-bit mask split over three items, each after its NAM byte.
        {K::Bands, TrNoop("CItemView", "Band preference bits"), {{441, 1, 2, 1, 0}, {946, 1, 2, 1, 16}, {2954, 1, 4, 1, 32}}},
        // Item files below modem/mmode/, by name.
        {K::Bands, TrNoop("CItemView", "LTE bands"), {{-1, 0, 8, 1, 1}}, "lte_bandpref"},
        {K::Bands, TrNoop("CItemView", "LTE bands"), {{-1, 0, 8, 3, 65}}, "lte_bandpref_extn_65_256"},
        {K::Bands, TrNoop("CItemView", "NR SA bands"), {{-1, 0, 8, 8, 1}}, "nr_band_pref"},
        {K::Bands, TrNoop("CItemView", "NR NSA bands"), {{-1, 0, 8, 8, 1}}, "nr_nsa_band_pref"},
        {K::Bands, TrNoop("CItemView", "NR bands"), {{-1, 0, 8, 4, 1}}, "nr5g_bandpref"},
    };
    return views;
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Spaces and dashes people put between digit groups.
std::string WithoutSeparators(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '-' && c != '\t') out += c;
    return out;
}

bool Bit(const std::vector<uint8_t>& value, size_t bit) { return (value[bit / 8] >> (bit % 8)) & 1; }

std::string RangesText(const std::vector<std::pair<int, int>>& ranges) {
    std::string out;
    for (const auto& [low, high] : ranges) {
        if (!out.empty()) out += ", ";
        out += std::to_string(low) + "-" + std::to_string(high);
    }
    return out;
}
}  // namespace

const CItemView* CItemView::ForId(int id) {
    for (const CItemView& view : Views())
        for (const SPart& part : view.m_parts)
            if (part.id == id) return &view;
    return nullptr;
}

const CItemView* CItemView::ForPath(std::string_view path) {
    (void)ItemFileSubscription(path, &path);
    for (const CItemView& view : Views()) {
        if (!view.m_file) continue;
        const std::string_view name = view.m_file;
        const size_t tail = kItemFileFolder.size() + name.size();
        if (path.size() >= tail && path.substr(path.size() - tail, kItemFileFolder.size()) == kItemFileFolder &&
            path.substr(path.size() - name.size()) == name && (path.size() == tail || path[path.size() - tail - 1] == '/'))
            return &view;
    }
    return nullptr;
}

const char* CItemView::Key() const {
    switch (m_kind) {
    case EKind::Imei: return "imei";
    case EKind::Meid: return "meid";
    case EKind::Bands: break;
    }
    return "bands";
}

std::string CItemView::Caption() const { return TrText(kContext, m_caption); }

std::vector<int> CItemView::Records(const CNVItemArray& items, int itemIndex) const {
    const CNVItem& shown = items[itemIndex];
    std::vector<int> found;
    for (const SPart& part : m_parts) {
        int at = part.id == shown.Id() ? itemIndex : -1;
        for (int i = 0; at < 0 && i < items.GetSize(); ++i)
            if (items[i].Id() == part.id && items[i].Subscription() == shown.Subscription()) at = i;
        found.push_back(at);
    }
    return found;
}

int CItemView::CheckDigit(std::string_view digits14) {
    // Luhn: from the right of the 14 digits, every other digit (starting with the last) doubled.
    int sum = 0;
    for (size_t i = 0; i < 14 && i < digits14.size(); ++i) {
        int d = digits14[13 - i] - '0';
        if (i % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return (10 - sum % 10) % 10;
}

int CItemView::Words(const SPart& part, const std::vector<uint8_t>& value) {
    if (static_cast<int>(value.size()) <= part.offset) return 0;
    return std::min(part.maxWords, (static_cast<int>(value.size()) - part.offset) / part.wordBytes);
}

std::vector<std::pair<int, int>> CItemView::Ranges(const std::vector<std::vector<uint8_t>>& values) const {
    // The numbers each present part can hold, joined where they meet.
    std::vector<std::pair<int, int>> ranges;
    for (size_t i = 0; i < m_parts.size() && i < values.size(); ++i) {
        const int bits = Words(m_parts[i], values[i]) * m_parts[i].wordBytes * 8;
        if (bits == 0) continue;
        if (!ranges.empty() && ranges.back().second + 1 == m_parts[i].first) ranges.back().second += bits;
        else ranges.emplace_back(m_parts[i].first, m_parts[i].first + bits - 1);
    }
    return ranges;
}

CItemView::SShown CItemView::Show(const std::vector<std::vector<uint8_t>>& values) const {
    SShown shown;
    const std::vector<uint8_t> none;
    const std::vector<uint8_t>& first = values.empty() ? none : values[0];
    const size_t at = static_cast<size_t>(m_parts[0].offset);
    if (m_kind == EKind::Imei) {
        if (first.size() < at + kImeiBytes) {
            shown.fits = false;
            shown.text = TrText(kContext, "(too short for an IMEI)");
            return shown;
        }
        const uint8_t* b = first.data() + at;
        std::string digits(1, static_cast<char>('0' + (b[1] >> 4)));
        for (int i = 2; i < kImeiBytes; ++i) {
            digits += static_cast<char>('0' + (b[i] & 15));
            digits += static_cast<char>('0' + (b[i] >> 4));
        }
        if (b[0] != 0x08 || (b[1] & 15) != 0xA || !AllDigits(digits)) {
            const bool blank = std::all_of(b, b + kImeiBytes, [](uint8_t x) { return x == 0 || x == 0xFF; });
            shown.text = blank ? TrText(kContext, "(not set)") : TrText(kContext, "(the bytes hold no IMEI)");
            return shown;
        }
        const int check = CheckDigit(digits);
        shown.readable = true;
        shown.number = shown.entry = digits;
        shown.checkDigitOk = digits[14] - '0' == check;
        shown.text = digits + " " +
                     (shown.checkDigitOk ? TrText(kContext, "(check digit correct)")
                                         : FillText(TrText(kContext, "(check digit wrong: should be %1)"),
                                                    {std::to_string(check)}));
        return shown;
    }
    if (m_kind == EKind::Meid) {
        if (first.size() < at + kMeidBytes) {
            shown.fits = false;
            shown.text = TrText(kContext, "(too short for a MEID)");
            return shown;
        }
        static const char kHex[] = "0123456789ABCDEF";
        for (int i = kMeidBytes - 1; i >= 0; --i) {
            shown.number += kHex[first[at + static_cast<size_t>(i)] >> 4];
            shown.number += kHex[first[at + static_cast<size_t>(i)] & 15];
        }
        shown.readable = true;
        shown.text = shown.entry = shown.number;
        return shown;
    }
    if (Ranges(values).empty()) {
        shown.fits = false;
        shown.text = TrText(kContext, "(too short for a band mask)");
        return shown;
    }
    shown.readable = true;
    for (size_t i = 0; i < m_parts.size() && i < values.size(); ++i) {
        const SPart& part = m_parts[i];
        const size_t bits = static_cast<size_t>(Words(part, values[i]) * part.wordBytes * 8);
        for (size_t k = 0; k < bits; ++k)
            if (Bit(values[i], static_cast<size_t>(part.offset) * 8 + k)) shown.bands.push_back(part.first + static_cast<int>(k));
    }
    for (int band : shown.bands) shown.entry += (shown.entry.empty() ? "" : " ") + std::to_string(band);
    shown.text = shown.bands.empty() ? TrText(kContext, "none") : shown.entry;
    return shown;
}

std::string CItemView::Set(std::string_view text, std::vector<std::vector<uint8_t>>& values, bool force) const {
    values.resize(m_parts.size());
    std::vector<uint8_t>& first = values[0];
    const size_t at = static_cast<size_t>(m_parts[0].offset);
    if (m_kind == EKind::Imei) {
        const std::string digits = WithoutSeparators(text);
        if (digits.size() != 15 || !AllDigits(digits))
            return TrText(kContext, "An IMEI is 15 digits, the last the check digit of the first 14 "
                                    "(e.g. 990016878573987).");
        const int check = CheckDigit(digits);
        if (digits[14] - '0' != check && !force)
            return FillText(TrText(kContext, "The check digit of %1 is wrong: the last digit should be %2. An IMEI "
                                             "is 15 digits, the last the check digit of the first 14."),
                            {digits, std::to_string(check)});
        if (first.size() < at + kImeiBytes)
            return FillText(TrText(kContext, "The item holds %1 bytes; an IMEI takes %2."),
                            {std::to_string(first.size()), std::to_string(kImeiBytes)});
        uint8_t* b = first.data() + at;
        b[0] = 0x08;
        b[1] = static_cast<uint8_t>(((digits[0] - '0') << 4) | 0xA);
        for (int i = 2; i < kImeiBytes; ++i)
            b[i] = static_cast<uint8_t>((digits[static_cast<size_t>(2 * i - 3)] - '0') |
                                        ((digits[static_cast<size_t>(2 * i - 2)] - '0') << 4));
        return {};
    }
    if (m_kind == EKind::Meid) {
        std::string hex = WithoutSeparators(text);
        if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.erase(0, 2);
        if (hex.size() != 2 * kMeidBytes ||
            !std::all_of(hex.begin(), hex.end(), [](char c) { return HexDigit(c) >= 0; }))
            return TrText(kContext, "A MEID is 14 hexadecimal digits, the most significant first (e.g. A0000012345678).");
        if (first.size() < at + kMeidBytes)
            return FillText(TrText(kContext, "The item holds %1 bytes; a MEID takes %2."),
                            {std::to_string(first.size()), std::to_string(kMeidBytes)});
        for (size_t i = 0; i < kMeidBytes; ++i)
            first[at + kMeidBytes - 1 - i] = static_cast<uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
        return {};
    }

    const std::vector<std::pair<int, int>> ranges = Ranges(values);
    if (ranges.empty()) return TrText(kContext, "The item is too short to hold a band mask.");
    const std::string accepted =
        FillText(TrText(kContext, "Type band numbers (%1) separated by spaces or commas, a range as 1-8, "
                                  "or none (e.g. %2)."),
                 {RangesText(ranges), std::to_string(ranges[0].first) + " " + std::to_string(ranges[0].first + 2)});
    std::set<int> bands;
    std::string list(text);
    std::replace(list.begin(), list.end(), ',', ' ');
    std::replace(list.begin(), list.end(), '\t', ' ');
    const size_t start = list.find_first_not_of(' ');
    const bool none = start != std::string::npos && list.compare(start, 4, "none") == 0 &&
                      list.find_first_not_of(' ', start + 4) == std::string::npos;
    for (size_t i = none ? list.size() : 0; i < list.size();) {
        if (list[i] == ' ') {
            ++i;
            continue;
        }
        const size_t end = std::min(list.find(' ', i), list.size());
        const std::string word = list.substr(i, end - i);
        i = end;
        const size_t dash = word.find('-', 1);
        const std::string lowText = word.substr(0, dash), highText = dash == std::string::npos ? lowText : word.substr(dash + 1);
        if (!AllDigits(lowText) || !AllDigits(highText) || lowText.size() > 6 || highText.size() > 6)
            return FillText(TrText(kContext, "\"%1\" is no band number. %2"), {word, accepted});
        const int low = std::stoi(lowText), high = std::stoi(highText);
        const bool held = low <= high && std::any_of(ranges.begin(), ranges.end(), [low, high](const auto& r) {
                              return low >= r.first && high <= r.second;
                          });
        if (!held) return FillText(TrText(kContext, "Band %1 is not in this item. %2"), {word, accepted});
        for (int band = low; band <= high; ++band) bands.insert(band);
    }
    for (size_t p = 0; p < m_parts.size(); ++p) {
        const SPart& part = m_parts[p];
        const size_t bits = static_cast<size_t>(Words(part, values[p]) * part.wordBytes * 8);
        for (size_t k = 0; k < bits; ++k) {
            const size_t bit = static_cast<size_t>(part.offset) * 8 + k;
            const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
            if (bands.count(part.first + static_cast<int>(k))) values[p][bit / 8] |= mask;
            else values[p][bit / 8] &= static_cast<uint8_t>(~mask);
        }
    }
    return {};
}
