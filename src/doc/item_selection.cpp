#include "doc/item_selection.h"

#include "model/item_list_ops.h"
#include "model/nv_item_array.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {
// A record by ID, element index and subscription: a subscription's record of an item is not
// its default one.
struct SRecordKey {
    int id, index, subscription;
    bool operator==(const SRecordKey&) const = default;
};
struct SRecordKeyHash {
    size_t operator()(const SRecordKey& k) const {
        return std::hash<uint64_t>()((static_cast<uint64_t>(static_cast<uint32_t>(k.id)) << 32) ^
                                     (static_cast<uint64_t>(static_cast<uint32_t>(k.index)) << 2) ^
                                     static_cast<uint64_t>(k.subscription));
    }
};
SRecordKey KeyOf(const CNVItem& item) { return {item.Id(), item.Index(), item.Subscription()}; }
}  // namespace

CItemSelection::CItemSelection(SDocRecords& records)
    : m_items(records.items), m_all(records.all), m_selected(records.selected) {}

void CItemSelection::Clear() {
    m_all.ClearEntries();
    m_selected.ClearEntries();
}

void CItemSelection::ListAllItems() {
    m_selected.ClearEntries();
    m_all.LoadEntriesFromItems(m_items);
}

void CItemSelection::CollectSelectedItems(CNVItemArray& list) const {
    CNVItemArray collected;
    collected.Reserve(m_selected.GetCount());
    for (const auto& entry : m_selected.Entries())
        if (entry.itemIndex >= 0 && entry.itemIndex < m_items.GetSize()) collected.Add(m_items[entry.itemIndex]);
    list = std::move(collected);
}

CNVItemArray CItemSelection::ItemsForSave() const {
    CNVItemArray list;
    CollectSelectedItems(list);
    SortByNameKeepWholeArrays(list);
    return list;
}

std::vector<int> CItemSelection::SelectIds(const std::vector<int>& ids) {
    const std::unordered_set<int> wanted(ids.begin(), ids.end());
    std::unordered_set<int> found;
    Clear();
    for (int i = 0; i < m_items.GetSize(); ++i) {
        const CNVItem& r = m_items[i];
        if (wanted.count(r.Id())) {
            m_selected.AddEntry(r.Name(), r.Group(), i);
            found.insert(r.Id());
        } else {
            m_all.AddEntry(r.Name(), r.Group(), i);
        }
    }
    std::vector<int> missing;
    for (int id : ids)
        if (!found.count(id) && std::find(missing.begin(), missing.end(), id) == missing.end()) missing.push_back(id);
    return missing;
}

void CItemSelection::Reselect(const CNVItemArray& chosenBefore) {
    std::unordered_map<SRecordKey, int, SRecordKeyHash> byKey;
    byKey.reserve(static_cast<size_t>(m_items.GetSize()));
    for (int i = 0; i < m_items.GetSize(); ++i) byKey.emplace(KeyOf(m_items[i]), i);
    std::vector<char> taken(static_cast<size_t>(m_items.GetSize()), 0);
    Clear();
    for (const CNVItem& record : chosenBefore) {
        const auto it = byKey.find(KeyOf(record));
        if (it == byKey.end() || taken[static_cast<size_t>(it->second)]) continue;
        taken[static_cast<size_t>(it->second)] = 1;
        const CNVItem& now = m_items[it->second];
        m_selected.AddEntry(now.Name(), now.Group(), it->second);
    }
    for (int i = 0; i < m_items.GetSize(); ++i)
        if (!taken[static_cast<size_t>(i)]) m_all.AddEntry(m_items[i].Name(), m_items[i].Group(), i);
}

void CItemSelection::RelistByName(const CNVItemArray& chosen) {
    m_all.LoadEntriesFromItems(m_items);
    m_selected.ClearEntries();
    MoveEntriesByName(m_all, m_selected, chosen);
}

void CItemSelection::MoveEntriesByName(CTreeEntryList& from, CTreeEntryList& to, const CNVItemArray& chosen) {
    // For each chosen name: how many records want it, and the positions in `from` that carry it,
    // taken in order by the records of that name.
    struct SNeed {
        size_t wanted = 0;
        size_t next = 0;
        std::vector<size_t> positions;
    };
    std::unordered_map<std::string_view, SNeed> needs;
    for (const CNVItem& record : chosen) ++needs[record.Name()].wanted;
    const std::vector<CTreeEntry>& entries = from.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        auto it = needs.find(entries[i].name);
        if (it != needs.end() && it->second.positions.size() < it->second.wanted) it->second.positions.push_back(i);
    }
    std::vector<bool> taken(entries.size(), false);
    for (const CNVItem& record : chosen) {
        SNeed& need = needs[record.Name()];
        int index = -1;
        if (need.next < need.positions.size()) {
            const size_t position = need.positions[need.next++];
            taken[position] = true;
            index = entries[position].itemIndex;
        }
        to.AddEntry(record.Name(), record.Group(), index);
    }
    std::vector<CTreeEntry> kept;
    kept.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        if (!taken[i]) kept.push_back(entries[i]);
    from.ClearEntries();
    for (CTreeEntry& entry : kept) from.AddEntry(entry.name, entry.group, entry.itemIndex);
}
