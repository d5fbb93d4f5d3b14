#include "model/text_line_reader.h"

#include <cstring>

namespace {
constexpr size_t kChunk = 1 << 16;
}  // namespace

bool CTextLineReader::Open(const std::string& path, uint64_t limit) {
    m_buffer.clear();
    m_start = 0;
    m_end = false;
    m_failed = false;
    m_position = 0;
    return m_file.Open(path, limit);
}

// More of the file after what is buffered; false at the end or on an error.
bool CTextLineReader::Fill() {
    if (m_end) return false;
    m_buffer.erase(0, m_start);
    m_start = 0;
    const size_t had = m_buffer.size();
    m_buffer.resize(had + kChunk);
    const long long n = m_file.Read(m_buffer.data() + had, kChunk);
    m_buffer.resize(had + static_cast<size_t>(n > 0 ? n : 0));
    if (n <= 0) {
        m_end = true;
        m_failed = n < 0;
    }
    return n > 0;
}

bool CTextLineReader::ReadLine(std::string& line) {
    line.clear();
    if (!m_file.IsOpen()) return false;
    size_t searched = m_start;
    for (;;) {
        const size_t lf = m_buffer.find('\n', searched);
        if (lf != std::string::npos) {
            line.assign(m_buffer, m_start, lf - m_start);
            m_position += static_cast<int64_t>(lf - m_start + 1);
            m_start = lf + 1;
            break;
        }
        const size_t before = m_buffer.size() - m_start;
        if (!Fill()) {
            if (m_failed || m_start == m_buffer.size()) return false;
            line.assign(m_buffer, m_start, std::string::npos);
            m_position += static_cast<int64_t>(line.size());
            m_start = m_buffer.size();
            break;
        }
        searched = before;  // Fill moved the unread part to the front
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
