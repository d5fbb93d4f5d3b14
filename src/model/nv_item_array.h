#pragma once
#include "model/nv_item.h"

#include <vector>

// Ordered array of item records held by value.
class CNVItemArray {
public:
    static constexpr int kMaxIds = 65536;  // valid IDs are 0..65535, the 16 bits of the NV commands

    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    const CNVItem& GetAt(int position) const;
    CNVItem& GetAt(int position);
    const CNVItem& operator[](int position) const { return GetAt(position); }
    CNVItem& operator[](int position) { return GetAt(position); }

    void Add(const CNVItem& item) { m_items.push_back(item); }
    void Add(CNVItem&& item) { m_items.push_back(std::move(item)); }
    void InsertAt(int position, const CNVItem& item);
    void RemoveAt(int position);
    void RemoveAll() { m_items.clear(); }
    void Append(const CNVItemArray& other);
    void Copy(const CNVItemArray& other) { m_items = other.m_items; }
    void Reserve(int n) { m_items.reserve(static_cast<size_t>(n)); }
    // Keeps the records for which keep(record) is true, in order, in linear time.
    template <class Pred> void KeepIf(Pred keep);

    // Binary search on an array sorted by id; -1 when absent.
    int FindById(int id) const;
    bool ContainsId(int id) const { return FindById(id) != -1; }
    int CountDistinctIds() const;

    void SortById();
    void SortByName();
    void SortByGroup();
    void SortByFileName();
    void SortByType();
    void SortByActive();
    void SortBySize();
    // Every run of adjacent records with the same id into ascending index order.
    void OrderArrayRuns();

    std::vector<CNVItem>::iterator begin() { return m_items.begin(); }
    std::vector<CNVItem>::iterator end() { return m_items.end(); }
    std::vector<CNVItem>::const_iterator begin() const { return m_items.begin(); }
    std::vector<CNVItem>::const_iterator end() const { return m_items.end(); }

    bool operator==(const CNVItemArray&) const = default;

private:
    std::vector<CNVItem> m_items;
};

template <class Pred> void CNVItemArray::KeepIf(Pred keep) {
    std::vector<CNVItem> kept;
    kept.reserve(m_items.size());
    for (auto& item : m_items)
        if (keep(static_cast<const CNVItem&>(item))) kept.push_back(std::move(item));
    m_items = std::move(kept);
}

// Case-insensitive byte comparison (A-Z mapped onto a-z) used by the sorts.
int CompareNoCase(const std::string& a, const std::string& b);
