#pragma once
#include "record_file.h"
#include "save_limits.h"

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
    bool Create(const std::string& path);  // writes the header
    // An element record carries its index byte before the value.
    bool WriteRecord(uint16_t id, const std::vector<uint8_t>& value, int indexByte = -1);
    bool Finish();  // end marker, trailer, then the file replaces the target

    // ---- reading ----
    // Reads the whole file; false when it can't be opened or read (Error() says why).
    bool Open(const std::string& path);
    // Crc16 over the whole file gives the intact-file residue, and the file is long enough.
    bool ChecksumOk() const;
    // Goes to the first record.
    void Rewind() { m_reader.Seek(kHeaderSize); }
    // The next record; false at the end marker (Error() empty) or on damage (Error() says why).
    bool ReadRecord(uint16_t& id, std::vector<uint8_t>& data);

private:
    int m_record = 0;
};
