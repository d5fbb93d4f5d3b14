#include "record_file.h"

bool CRecordFile::CreateFile(const std::string& path) {
    m_error.clear();
    if (m_writer.Open(path)) return true;
    m_error = m_writer.Error();
    return false;
}

bool CRecordFile::ReadWholeFile(const std::string& path) {
    m_error.clear();
    if (!CByteReader::ReadFile(path, m_bytes, m_error)) return false;
    m_reader = CByteReader(m_bytes);
    return true;
}

bool CRecordFile::Fail(const std::string& reason) {
    m_error = reason;
    return false;
}
