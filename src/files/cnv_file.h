#pragma once
#include "files/record_file.h"
#include "files/save_limits.h"

#include <cstdint>
#include <string>
#include <vector>

// A CNV file: "CNV*", 1, 0xFFFF; records of ID, length L, L data bytes and 0xFF padding to
// a multiple of 4; the end marker 0xFFFF, 0x02, 0x00; a CRC-16 trailer, high byte first.
class CCnvFile : public CRecordFile {
public:
    static constexpr uint16_t kEndMarker = 0xFFFF;
    static constexpr size_t kHeaderSize = 8;
    // End marker, 0x02 0x00 and the trailer.
    static constexpr size_t kTailSize = 6;
    static const SSaveLimits kLimits;

    // ---- writing ----
    // Writes the header; New: a name of Tessiva's own, never replacing a file (WrittenPath).
    bool Create(const std::string& path, CSafeFileWriter::ETarget target = CSafeFileWriter::ETarget::Replace);
    // An element record carries its index byte before the value.
    bool WriteRecord(uint16_t id, const std::vector<uint8_t>& value, int indexByte = -1);
    bool Finish();  // end marker, trailer, then the file replaces the target

    // ---- reading ----
    // Reads the whole file; false when it can't be opened or read (Error() says why).
    bool Open(const std::string& path);
    // Reads size bytes at data, which must outlive the reading; the same checks as a file.
    void OpenMemory(const uint8_t* data, size_t size);
    // A file holding more records is refused at the first one too many; the document passes
    // the number of records its definitions hold.
    void SetMaxRecords(uint32_t n) { m_maxRecords = n; }
    // Crc16 over the whole file gives the intact-file residue, and the file is long enough.
    bool ChecksumOk() const;
    // Goes to the first record.
    void Rewind() {
        m_reader.Seek(kHeaderSize);
        m_record = 0;
    }
    // The next record; false at the end marker, which opens the last 6 bytes (Error() empty),
    // or on damage (Error() says why).
    bool ReadRecord(uint16_t& id, std::vector<uint8_t>& data);

    // More records than any backup of a phone holds.
    static constexpr uint32_t kMaxRecords = 5000 * 256;

private:
    uint32_t m_record = 0;
    uint32_t m_maxRecords = kMaxRecords;
};
