#include "doc/item_comparison.h"

#include "model/nv_item_array.h"
#include "model/nv_type_catalog.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <map>

std::string PastDefinitionName() { return TrText("ItemComparison", "(bytes past the definition)"); }

bool SelectRecordType(CNVTypeCatalog& catalog, const CNVItem& item) {
    if (!item.TypeName().empty()) return catalog.SelectType(item.TypeName());
    catalog.SelectRawBytes(item.Size());
    return true;
}

std::string PastDefinitionHex(const CNVItem& item, int definedSize) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t k = static_cast<size_t>(std::max(definedSize, 0)); k < item.Value().size(); ++k) {
        if (!hex.empty()) hex += ' ';
        hex += kDigits[item.Value()[k] >> 4];
        hex += kDigits[item.Value()[k] & 15];
    }
    return hex;
}

bool DecodeRecordFields(CNVTypeCatalog& catalog, const CNVItem& item, std::vector<SFieldText>& fields) {
    fields.clear();
    if (!SelectRecordType(catalog, item)) return false;
    const bool hasValue = item.Size() >= 1;
    std::vector<uint8_t> bytes = hasValue ? item.Value() : std::vector<uint8_t>();
    bytes.resize(std::max(bytes.size(), static_cast<size_t>(catalog.RecordSize())), 0);
    catalog.SetRecordBytes(bytes.data(), bytes.size());
    for (int i = 0; i < catalog.FieldCount(); ++i) {
        const CNVField& f = catalog.Field(i);
        fields.push_back({catalog.FieldDisplayName(i), hasValue ? f.DecText() : "", hasValue ? f.HexText() : "",
                          f.TypeName()});
    }
    if (const std::string past = PastDefinitionHex(item, catalog.RecordSize()); !past.empty())
        fields.push_back({PastDefinitionName(), "", past, ""});
    return true;
}

namespace {
using SKey = std::pair<int, int>;  // ID, element index

std::map<SKey, const CNVItem*> ByKey(const CNVItemArray& items) {
    std::map<SKey, const CNVItem*> map;
    for (const auto& r : items) map.emplace(SKey{r.Id(), r.Index()}, &r);
    return map;
}

bool Decode(CNVTypeCatalog& catalog, const CNVItem& item, std::vector<SFieldText>& fields,
            std::set<std::string>& unknown) {
    if (DecodeRecordFields(catalog, item, fields)) return true;
    unknown.insert(item.TypeName());
    return false;
}
}  // namespace

SItemComparison CompareItems(const CNVItemArray& itemsA, const CNVItemArray& itemsB, CNVTypeCatalog& catalog) {
    SItemComparison result;
    const auto a = ByKey(itemsA), b = ByKey(itemsB);
    std::vector<SFieldText> fa, fb;
    for (const auto& [key, record] : a) {
        const auto other = b.find(key);
        if (other == b.end()) {
            result.onlyA.push_back(record);
            continue;
        }
        if (record->Active() == other->second->Active() && record->Value() == other->second->Value()) continue;
        SItemComparison::SChange change{record, other->second, false, {}};
        change.decoded = Decode(catalog, *record, fa, result.unknownTypes) &&
                         Decode(catalog, *other->second, fb, result.unknownTypes);
        if (change.decoded)
            // The row of bytes past the definition may be on one side only.
            for (size_t i = 0; i < std::max(fa.size(), fb.size()); ++i) {
                SFieldText x = i < fa.size() ? fa[i] : SFieldText{fb[i].name, "", "", fb[i].type};
                SFieldText y = i < fb.size() ? fb[i] : SFieldText{fa[i].name, "", "", fa[i].type};
                if (x.dec != y.dec || x.hex != y.hex) change.fields.emplace_back(std::move(x), std::move(y));
            }
        result.changes.push_back(std::move(change));
    }
    for (const auto& [key, record] : b)
        if (!a.count(key)) result.onlyB.push_back(record);
    return result;
}

CNVItemArray CopyRecordsInto(const CNVItemArray& into, const std::vector<const CNVItem*>& records) {
    std::map<std::pair<int, int>, const CNVItem*> replacing;
    for (const CNVItem* r : records) replacing[{r->Id(), r->Index()}] = r;
    CNVItemArray result;
    result.Reserve(into.GetSize() + static_cast<int>(records.size()));
    for (const CNVItem& r : into) {
        const auto it = replacing.find({r.Id(), r.Index()});
        if (it == replacing.end()) {
            result.Add(r);
            continue;
        }
        result.Add(*it->second);
        replacing.erase(it);
    }
    for (const auto& [key, r] : replacing) result.Add(*r);
    result.SortById();
    return result;
}
