#include "files/byte_reader.h"

#include "jobs/text_translation.h"
#include "model/input_file.h"

#include <QFile>


bool CByteReader::CheckFile(const std::string& path, std::string& error) {
    return CInputFile::Check(path, error, kMaxFileSize);
}

bool CByteReader::ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    CInputFile file;
    if (file.Open(path, kMaxFileSize) && file.ReadAll(bytes)) return true;
    error = file.Error();
    return false;
}

bool CByteReader::OpenFile(const std::string& path, CInputFile& input, QFile& file, std::string& error) {
    if (!input.Open(path, kMaxFileSize)) {
        error = input.Error();
        return false;
    }
    if (!file.open(input.Handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool CByteReader::ReadRest(QIODevice& file, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    // Checked again on the open file: the path may have been replaced meanwhile.
    const qint64 size = file.size() - file.pos();
    if (file.isSequential() || size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) {
        error = TrText("CByteReader", "The file changed while it was opened; it was not read.");
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(reinterpret_cast<char*>(bytes.data()) + done, size - done);
        if (n <= 0) {
            error = n < 0 ? file.errorString().toStdString()
                          : TrText("CByteReader", "the file got shorter while it was read");
            bytes.clear();
            return false;
        }
        done += n;
    }
    return true;
}

bool CByteReader::Seek(size_t position) {
    if (position > m_size) return false;
    m_pos = position;
    return true;
}

bool CByteReader::Skip(size_t n) {
    if (n > Remaining()) return false;
    m_pos += n;
    return true;
}

bool CByteReader::ReadU8(uint8_t& value) {
    if (Remaining() < 1) return false;
    value = m_data[m_pos++];
    return true;
}

bool CByteReader::PeekU16(uint16_t& value) const {
    if (Remaining() < 2) return false;
    value = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    return true;
}

bool CByteReader::ReadU16(uint16_t& value) {
    if (!PeekU16(value)) return false;
    m_pos += 2;
    return true;
}

bool CByteReader::ReadU32(uint32_t& value) {
    if (Remaining() < 4) return false;
    const uint8_t* p = m_data + m_pos;
    value = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
            (static_cast<uint32_t>(p[3]) << 24);
    m_pos += 4;
    return true;
}

bool CByteReader::ReadBytes(size_t n, std::vector<uint8_t>& out) {
    if (n > Remaining()) return false;
    out.insert(out.end(), m_data + m_pos, m_data + m_pos + n);
    m_pos += n;
    return true;
}

void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
}
