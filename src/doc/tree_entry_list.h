#pragma once
#include "doc/tree_entry.h"

#include <string>
#include <unordered_map>
#include <vector>

class CNVItemArray;

// The ordered entries of one tree ("NV Items" or "Selected NV Items"). Entry order is the
// order of the tree's nodes and of the selected records.
class CTreeEntryList {
public:
    void ClearEntries();
    void LoadEntriesFromItems(const CNVItemArray& items);
    void AddEntry(const std::string& name, const std::string& group, int index);
    // Among the entries of its group, before the first of a later record (by index); the
    // only entry of its group goes before the first later record of any group.
    void InsertEntryInOrder(const std::string& name, const std::string& group, int index);
    // Drops the first entry with exactly this name.
    void RemoveEntryByName(const std::string& name);
    // Appends, in other's order, copies of other's entries of this group.
    void AddGroupEntriesFrom(const CTreeEntryList& other, const std::string& group);
    void RemoveGroupEntries(const std::string& group);
    // Item index of the first entry with this name, or -1.
    int FindItemIndexByName(const std::string& name) const;

    const std::vector<CTreeEntry>& Entries() const { return m_entries; }
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    const CTreeEntry& GetAt(int i) const { return m_entries.at(static_cast<size_t>(i)); }

private:
    void Changed() { m_nameIndexValid = false; }

    std::vector<CTreeEntry> m_entries;
    // First position of each name, rebuilt on demand so lookups per node stay linear overall.
    mutable std::unordered_map<std::string, int> m_nameIndex;
    mutable bool m_nameIndexValid = false;
};
