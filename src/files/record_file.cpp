#include "files/record_file.h"

bool CRecordFile::CreateFile(const std::string& path, CSafeFileWriter::ETarget target) {
    m_error.clear();
    if (m_writer.Open(path, target)) return true;
    m_error = m_writer.Error();
    return false;
}

bool CRecordFile::ReadWholeFile(const std::string& path) {
    m_error.clear();
    if (!CByteReader::ReadFile(path, m_bytes, m_error)) return false;
    UseBytes(m_bytes.data(), m_bytes.size());
    return true;
}

void CRecordFile::UseBytes(const uint8_t* data, size_t size) {
    m_error.clear();
    m_reader = CByteReader(data, size);
}

bool CRecordFile::Fail(const std::string& reason) {
    m_error = reason;
    return false;
}
