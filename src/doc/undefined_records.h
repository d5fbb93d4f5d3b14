#pragma once
#include "model/nv_item_array.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The records of one load whose items the definitions do not name. They are kept with every
// byte they carry, listed in their own group and saved back in every kind; the user is told
// once per load, not once per record.
class CUndefinedRecords {
public:
    static constexpr const char* kGroup = "Undefined items";

    // A record of item id; repeats of one ID get the next index, so each keeps its own place.
    void Add(int id, const std::vector<uint8_t>& value);
    // A record whose file gives its index (a QCN stream name).
    void Add(int id, int index, const std::vector<uint8_t>& value);
    int Count() const { return m_records.GetSize(); }
    // Appends the records to loaded; this is empty afterwards.
    void MoveInto(CNVItemArray& loaded);
    // The message for the first ID, then "and N more"; empty when there is nothing to tell.
    std::string Message() const;
    static std::string Message(int firstId, int count);

    // True for a record no definition names (defs sorted by ID).
    static bool IsUndefined(const CNVItem& record, const CNVItemArray& defs) { return !defs.ContainsId(record.Id()); }

private:
    CNVItemArray m_records;
    std::unordered_map<int, int> m_next;  // the next index of each ID
};
