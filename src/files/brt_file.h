#pragma once
#include "model/nv_item_array.h"
#include "files/record_file.h"
#include "files/save_limits.h"

#include <cstdint>
#include <string>
#include <vector>

// A BRT file: a 32-bit record count, then per record the item ID, the data size S and S
// bytes of 128-byte slots. Little-endian, no checksum.
class CBrtFile : public CRecordFile {
public:
    static constexpr int kSlotSize = 128;
    // More slots than any definition can have elements: the record is damaged.
    static constexpr uint32_t kMaxSlots = 256;
    // More records than any backup of a phone holds: the count is damaged.
    static constexpr uint32_t kMaxRecords = 5000 * kMaxSlots;
    // The smallest record: ID, size and one slot (a record without data is damage).
    static constexpr size_t kMinRecordSize = 8 + kSlotSize;
    static const SSaveLimits kLimits;
    // A record of an item no definition names is kept whole, in as many slots as it fills.
    static const SSaveLimits kRawLimits;

    // One record as the store writes it: positions first..last of the working list.
    struct SGroup {
        int first;
        int last;
    };
    // The records a store of list writes: one per record with active 1 and no count, one
    // per run of up to count elements of the same ID.
    static std::vector<SGroup> GroupRecords(const CNVItemArray& list);
    // The S data bytes of one record: the values in slots (a plain value in as many as it
    // fills), one element in the shifted form.
    static std::vector<uint8_t> RecordData(const CNVItemArray& list, const SGroup& group);

    // ---- writing ----
    bool Create(const std::string& path);
    bool WriteCount(uint32_t n);
    bool WriteRecord(uint32_t id, const std::vector<uint8_t>& data);
    bool Commit();

    // ---- reading ----
    // Reads the whole file; false when it can't be opened or read (Error() says why).
    bool Open(const std::string& path);
    // Reads size bytes at data, which must outlive the reading; the same checks as a file.
    void OpenMemory(const uint8_t* data, size_t size);
    // A file promising more records is refused; the document passes the number of records
    // its definitions hold.
    void SetMaxRecords(uint32_t n) { m_maxRecords = n; }
    // Format errors below leave a reason in Error().
    bool ReadCount(uint32_t& n);
    bool ReadRecord(uint32_t& id, std::vector<uint8_t>& data);

private:
    uint32_t m_count = 0;
    uint32_t m_read = 0;
    uint32_t m_maxRecords = kMaxRecords;
};
