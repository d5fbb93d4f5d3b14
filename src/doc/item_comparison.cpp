#include "doc/item_comparison.h"

#include "model/nv_item_array.h"
#include "model/nv_type_catalog.h"

#include <algorithm>
#include <map>

bool DecodeRecordFields(CNVTypeCatalog& catalog, const CNVItem& item, std::vector<SFieldText>& fields) {
    fields.clear();
    if (!catalog.SelectType(item.TypeName())) return false;
    const bool hasValue = item.Size() >= 1;
    std::vector<uint8_t> bytes = hasValue ? item.Value() : std::vector<uint8_t>();
    bytes.resize(std::max(bytes.size(), static_cast<size_t>(catalog.RecordSize())), 0);
    catalog.SetRecordBytes(bytes.data(), bytes.size());
    for (int i = 0; i < catalog.FieldCount(); ++i) {
        const CNVField& f = catalog.Field(i);
        fields.push_back({catalog.FieldDisplayName(i), hasValue ? f.DecText() : "", hasValue ? f.HexText() : "",
                          f.TypeName()});
    }
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
            for (size_t i = 0; i < fa.size() && i < fb.size(); ++i)
                if (fa[i].dec != fb[i].dec || fa[i].hex != fb[i].hex) change.fields.emplace_back(fa[i], fb[i]);
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
