#include "model/item_file_defs.h"

#include <algorithm>

namespace {
// Longest path the phone's commands take; a size beyond any item file is a typing error.
constexpr size_t kMaxPath = 1024;
constexpr long kMaxSize = 64L << 20;
constexpr std::string_view kSubscriptionSuffix = "_Subscription";

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

bool ParseHexSize(const std::string& text, int& size) {
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    const long value = std::stol(text, nullptr, 16);
    if (value > kMaxSize) return false;
    size = static_cast<int>(value);
    return true;
}

bool ParseLine(std::string_view line, SItemFileDef& def) {
    std::vector<std::string> fields;
    for (size_t at = 0;;) {
        const size_t end = line.find(';', at);
        fields.push_back(Trimmed(line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at)));
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    if (fields.size() != 5 || fields[0].empty() || fields[1].size() < 2 || fields[1][0] != '/' ||
        fields[1].size() > kMaxPath || !ParseHexSize(fields[3], def.size))
        return false;
    def.name = fields[0];
    def.path = fields[1];
    def.group = fields[2];
    def.type = fields[4];
    return true;
}
}  // namespace

std::vector<SItemFileDef> ParseItemFileDefs(std::string_view text, std::vector<int>& badLines) {
    std::vector<SItemFileDef> defs;
    badLines.clear();
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = Trimmed(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (line.empty() || line[0] == '#') continue;
        SItemFileDef def;
        if (ParseLine(line, def)) defs.push_back(std::move(def));
        else badLines.push_back(number);
    }
    return defs;
}

const SItemFileDef* FindItemFileDef(const std::vector<SItemFileDef>& defs, std::string_view path) {
    (void)ItemFileSubscription(path, &path);
    const auto it = std::find_if(defs.begin(), defs.end(), [&](const SItemFileDef& d) { return d.path == path; });
    return it == defs.end() ? nullptr : &*it;
}

int ItemFileSubscription(std::string_view path, std::string_view* base) {
    const size_t suffix = path.rfind(kSubscriptionSuffix);
    if (suffix == std::string_view::npos || suffix == 0 || suffix + kSubscriptionSuffix.size() + 2 != path.size())
        return 0;
    const char tens = path[path.size() - 2], ones = path[path.size() - 1];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return 0;
    if (base) *base = path.substr(0, suffix);
    return (tens - '0') * 10 + (ones - '0');
}

std::string SubscriptionCopyPath(std::string_view path, int subscription) {
    std::string copy(path);
    if (subscription <= 0) return copy;
    copy += kSubscriptionSuffix;
    copy += static_cast<char>('0' + subscription / 10 % 10);
    copy += static_cast<char>('0' + subscription % 10);
    return copy;
}

CNVItem ItemFileRecord(const SItemFileDef& def, const std::vector<uint8_t>& data, int subscription) {
    CNVItem record;
    record.SetName(CNVItem::SubscriptionPrefix(subscription) + def.name);
    record.SetGroup(CNVItem::SubscriptionPrefix(subscription) + def.group);
    record.SetFileName(def.path);
    record.SetTypeName(def.type);
    record.SetValue(data);
    record.SetActive(CNVItem::kActive);
    record.SetSubscription(subscription);
    return record;
}
