#include "doc/tree_entry_list.h"

#include "model/nv_item_array.h"

#include <algorithm>

void CTreeEntryList::ClearEntries() {
    m_entries.clear();
    Changed();
}

void CTreeEntryList::LoadEntriesFromItems(const CNVItemArray& items) {
    m_entries.clear();
    m_entries.reserve(static_cast<size_t>(items.GetSize()));
    for (int i = 0; i < items.GetSize(); ++i) m_entries.push_back({items[i].Group(), items[i].Name(), i});
    Changed();
}

void CTreeEntryList::AddEntry(const std::string& name, const std::string& group, int index) {
    m_entries.push_back({group, name, index});
    if (m_nameIndexValid) m_nameIndex.emplace(name, static_cast<int>(m_entries.size()) - 1);
}

void CTreeEntryList::InsertEntryInOrder(const std::string& name, const std::string& group, int index) {
    const auto later = [index](const CTreeEntry& e) { return e.itemIndex > index; };
    auto at = m_entries.end();
    bool grouped = false;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->group != group) continue;
        grouped = true;
        if (later(*it)) {
            at = it;
            break;
        }
        at = it + 1;
    }
    // A group of its own goes where its record is among all.
    if (!grouped) at = std::find_if(m_entries.begin(), m_entries.end(), later);
    m_entries.insert(at, {group, name, index});
    Changed();
}

void CTreeEntryList::RemoveEntryByName(const std::string& name) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const CTreeEntry& e) { return e.name == name; });
    if (it == m_entries.end()) return;
    m_entries.erase(it);
    Changed();
}

void CTreeEntryList::AddGroupEntriesFrom(const CTreeEntryList& other, const std::string& group) {
    if (&other == this) return;
    for (const auto& entry : other.m_entries)
        if (entry.group == group) m_entries.push_back(entry);
    Changed();
}

void CTreeEntryList::RemoveGroupEntries(const std::string& group) {
    std::erase_if(m_entries, [&](const CTreeEntry& e) { return e.group == group; });
    Changed();
}

int CTreeEntryList::FindItemIndexByName(const std::string& name) const {
    if (!m_nameIndexValid) {
        m_nameIndex.clear();
        for (size_t i = 0; i < m_entries.size(); ++i) m_nameIndex.emplace(m_entries[i].name, static_cast<int>(i));
        m_nameIndexValid = true;
    }
    auto it = m_nameIndex.find(name);
    return it == m_nameIndex.end() ? -1 : m_entries[static_cast<size_t>(it->second)].itemIndex;
}
