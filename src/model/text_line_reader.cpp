#include "model/text_line_reader.h"

bool CTextLineReader::Open(const std::string& path) {
    m_in.open(path, std::ios::binary);
    if (!m_in) return false;
    m_in.seekg(0, std::ios::end);
    m_size = static_cast<int64_t>(m_in.tellg());
    m_in.seekg(0, std::ios::beg);
    m_position = 0;
    return m_in.good();
}

bool CTextLineReader::ReadLine(std::string& line) {
    line.clear();
    if (!m_in.good()) return false;
    if (!std::getline(m_in, line)) return false;
    m_position += static_cast<int64_t>(line.size());
    if (!m_in.eof()) ++m_position;  // the line feed
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
