#include "files/byte_reader.h"

#include "jobs/text_translation.h"

#include <QFile>

#include <filesystem>

bool CByteReader::CheckFile(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
#ifdef _WIN32
    const fs::path where(QFile::decodeName(path.c_str()).toStdU16String());
#else
    const fs::path where(path);  // the native bytes
#endif
    const fs::file_status status = fs::status(where, ec);
    if (ec || !fs::exists(status)) return true;  // opening it says why it can't be read
    if (!fs::is_regular_file(status)) {
        error = TrText("CByteReader", "It is not a regular file (a folder, device or pipe); it was not read.");
        return false;
    }
    const uintmax_t size = fs::file_size(where, ec);
    if (!ec && size > kMaxFileSize) {
        error = FillText(TrText("CByteReader", "The file is %1 MB; files over %2 MB are not read."),
                         {std::to_string(size >> 20), std::to_string(kMaxFileSize >> 20)});
        return false;
    }
    return true;
}

bool CByteReader::ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (!CheckFile(path, error)) return false;
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    return ReadRest(file, bytes, error);
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
