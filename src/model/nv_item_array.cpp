#include "model/nv_item_array.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_set>

namespace {
void CheckPosition(int position, size_t size, bool allowEnd) {
    const size_t limit = allowEnd ? size + 1 : size;
    if (position < 0 || static_cast<size_t>(position) >= limit)
        throw std::invalid_argument("CNVItemArray: position out of range");
}

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }
}  // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = Lower(static_cast<unsigned char>(a[i]));
        const unsigned char cb = Lower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

const CNVItem& CNVItemArray::GetAt(int position) const {
    CheckPosition(position, m_items.size(), false);
    return m_items[static_cast<size_t>(position)];
}

CNVItem& CNVItemArray::GetAt(int position) {
    CheckPosition(position, m_items.size(), false);
    return m_items[static_cast<size_t>(position)];
}

void CNVItemArray::InsertAt(int position, const CNVItem& item) {
    CheckPosition(position, m_items.size(), true);
    m_items.insert(m_items.begin() + position, item);
}

void CNVItemArray::RemoveAt(int position) {
    CheckPosition(position, m_items.size(), false);
    m_items.erase(m_items.begin() + position);
}

void CNVItemArray::Append(const CNVItemArray& other) {
    if (&other == this) {
        const std::vector<CNVItem> copy = other.m_items;
        m_items.insert(m_items.end(), copy.begin(), copy.end());
        return;
    }
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
}

int CNVItemArray::FindById(int key) const {
    if (m_items.empty()) return -1;
    int low = 0;
    int high = GetSize() - 1;
    int probe = high / 2;
    for (;;) {
        const int v = m_items[static_cast<size_t>(probe)].Id();
        if (high - low <= 1) {
            if (m_items[static_cast<size_t>(high)].Id() == key) return high;
            if (m_items[static_cast<size_t>(low)].Id() == key) return low;
            return -1;
        }
        if (v > key) {
            high = probe;
            probe = probe - (probe - low) / 2;
        } else if (v < key) {
            low = probe;
            probe = probe + (high - probe) / 2;
        } else {
            return probe;
        }
    }
}

int CNVItemArray::CountDistinctIds() const {
    std::vector<bool> seen(kMaxIds, false);
    std::unordered_set<int> outside;  // IDs no valid record carries, counted all the same
    int count = 0;
    for (const auto& item : m_items) {
        const int id = item.Id();
        if (id >= 0 && id < kMaxIds) {
            if (!seen[static_cast<size_t>(id)]) {
                seen[static_cast<size_t>(id)] = true;
                ++count;
            }
        } else if (outside.insert(id).second) {
            ++count;
        }
    }
    return count;
}

namespace {
template <class Less> void SortAndOrder(std::vector<CNVItem>& items, Less less, CNVItemArray& self) {
    std::stable_sort(items.begin(), items.end(), less);
    self.OrderArrayRuns();
}
}  // namespace

void CNVItemArray::SortById() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return a.Id() < b.Id(); }, *this);
}

void CNVItemArray::SortByName() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return CompareNoCase(a.Name(), b.Name()) < 0; }, *this);
}

void CNVItemArray::SortByGroup() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return CompareNoCase(a.Group(), b.Group()) < 0; }, *this);
}

void CNVItemArray::SortByFileName() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return CompareNoCase(a.FileName(), b.FileName()) < 0; },
                 *this);
}

void CNVItemArray::SortByType() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return CompareNoCase(a.TypeName(), b.TypeName()) < 0; },
                 *this);
}

void CNVItemArray::SortByActive() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return a.Active() < b.Active(); }, *this);
}

void CNVItemArray::SortBySize() {
    SortAndOrder(m_items, [](const CNVItem& a, const CNVItem& b) { return a.Size() < b.Size(); }, *this);
}

void CNVItemArray::OrderArrayRuns() {
    const size_t n = m_items.size();
    size_t start = 0;
    while (start < n) {
        size_t stop = start + 1;
        while (stop < n && m_items[stop].Id() == m_items[start].Id()) ++stop;
        if (stop - start >= 2)
            std::stable_sort(m_items.begin() + static_cast<long>(start), m_items.begin() + static_cast<long>(stop),
                             [](const CNVItem& a, const CNVItem& b) { return a.Index() < b.Index(); });
        start = stop;
    }
}
