#include "files/cnv_file.h"

#include "model/crc16.h"
#include "jobs/text_translation.h"

namespace {
const uint8_t kHeader[CCnvFile::kHeaderSize] = {0x43, 0x4E, 0x56, 0x2A, 0x01, 0x00, 0xFF, 0xFF};
const uint8_t kPadding[3] = {0xFF, 0xFF, 0xFF};

size_t PaddingOf(size_t length) { return (4 - length % 4) % 4; }
}  // namespace

// L is 16-bit; an element's L also counts its index byte, and the index is one byte.
const SSaveLimits CCnvFile::kLimits = {"CNV", 0xFFFF, 0xFFFE, 255};

bool CCnvFile::Create(const std::string& path, CSafeFileWriter::ETarget target) {
    return CreateFile(path, target) && m_writer.Write(kHeader, sizeof kHeader);
}

bool CCnvFile::WriteRecord(uint16_t id, const std::vector<uint8_t>& value, int indexByte) {
    const bool element = indexByte >= 0;
    const size_t length = value.size() + (element ? 1 : 0);
    if (length > 0xFFFF) return false;
    bool ok = m_writer.WriteU16(id) && m_writer.WriteU16(static_cast<uint16_t>(length));
    if (element) {
        const uint8_t index = static_cast<uint8_t>(indexByte & 0xFF);
        ok = ok && m_writer.Write(&index, 1);
    }
    return ok && m_writer.Write(value) && m_writer.Write(kPadding, PaddingOf(length));
}

bool CCnvFile::Finish() {
    const uint8_t end[4] = {0xFF, 0xFF, 0x02, 0x00};
    bool ok = m_writer.Write(end, sizeof end);
    const uint16_t crc = m_writer.Crc();
    const uint8_t trailer[2] = {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc & 0xFF)};
    ok = ok && m_writer.Write(trailer, sizeof trailer) && m_writer.Commit();
    if (!ok) {
        m_error = m_writer.Error();
        m_writer.Cancel();
    }
    return ok;
}

bool CCnvFile::Open(const std::string& path) {
    if (!ReadWholeFile(path)) return false;
    Rewind();
    return true;
}

void CCnvFile::OpenMemory(const uint8_t* data, size_t size) {
    UseBytes(data, size);
    Rewind();
}

bool CCnvFile::ChecksumOk() const {
    return m_reader.Size() >= kHeaderSize + kTailSize && Crc16(m_reader.Data(), m_reader.Size()) == kCrcGoodResidue;
}

bool CCnvFile::ReadRecord(uint16_t& id, std::vector<uint8_t>& data) {
    m_error.clear();
    // Records end where the end marker, 0x02 0x00 and the trailer begin.
    const size_t size = m_reader.Size();
    const size_t recordsEnd = size >= kHeaderSize + kTailSize ? size - kTailSize : 0;
    const size_t at = m_reader.Position();
    const std::string number = std::to_string(m_record + 1);
    const std::string offset = std::to_string(at);
    if (at + 2 > recordsEnd + 2) return Fail(TrText("CCnvFile", "The end marker is missing."));
    uint16_t first = 0;
    if (!m_reader.PeekU16(first)) return Fail(TrText("CCnvFile", "The end marker is missing."));
    // The marker is where the tail begins; 0xFFFF before it is the ID of item 65535.
    if (first == kEndMarker && at >= recordsEnd) return false;
    if (m_record >= m_maxRecords)
        return Fail(FillText(TrText("CCnvFile",
                                    "The file holds more than the %1 records the definitions can hold: "
                                    "record %2 (offset %3) is one too many."),
                             {std::to_string(m_maxRecords), number, offset}));
    uint16_t length = 0;
    if (at + 4 > recordsEnd)
        return Fail(FillText(TrText("CCnvFile", "The end marker is missing: record %1 (offset %2) runs past it."),
                             {number, offset}));
    m_reader.ReadU16(id);
    m_reader.ReadU16(length);
    const size_t padded = length + PaddingOf(length);
    if (at + 4 + padded > recordsEnd)
        return Fail(
            FillText(TrText("CCnvFile", "The %1 data bytes of record %2 (offset %3), ID %4, run past the end marker."),
                     {std::to_string(length), number, offset, std::to_string(id)}));
    data.clear();
    m_reader.ReadBytes(length, data);
    m_reader.Skip(padded - length);
    ++m_record;
    return true;
}
