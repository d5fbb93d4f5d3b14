#pragma once
#include "model/nv_item_array.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The simulated phone's NV memory: a value per item, or per element of an array item.
// Definitions, when given, tell which items are arrays and how long their values are;
// without them an item is an array only when the store holds elements of it.
class CSimNvStore {
public:
    static constexpr int kPlain = -1;

    void SetDefinitions(const CNVItemArray& defs);
    // Takes the active records (a loaded backup).
    void LoadRecords(const CNVItemArray& items);
    // Every stored value as an active record, in ID and index order, named and sized from
    // the definitions where they know the item.
    void ExportRecords(CNVItemArray& out) const;

    bool IsArray(int id) const;
    // Value length of the item from the definitions, or -1.
    int DefinedSize(int id) const;
    // Elements of the item from the definitions: 0 for a plain item, -1 for an unknown one.
    int DefinedCount(int id) const;
    const CNVItemArray& Definitions() const { return m_defs; }
    const std::vector<uint8_t>* Find(int id, int index) const;
    void Put(int id, int index, std::vector<uint8_t> value);
    size_t Count() const { return m_values.size(); }
    // Every value by ID and element index (-1 for a plain item).
    const std::map<std::pair<int, int>, std::vector<uint8_t>>& Values() const { return m_values; }
    bool operator==(const CSimNvStore& other) const { return m_values == other.m_values; }

    // A plain text form, one "id;index;hex" line per value (index -1 for a plain item), for
    // stores kept without definitions. False with a sentence in error.
    bool LoadText(const std::string& path, std::string& error);
    bool SaveText(const std::string& path, std::string& error) const;

private:
    struct SShape {
        int def = -1;  // position of the item's first record in m_defs
        bool array = false;
    };

    CNVItemArray m_defs;
    std::map<int, SShape> m_shapes;
    std::map<std::pair<int, int>, std::vector<uint8_t>> m_values;
};
