#include "files/xqcn_value_filter.h"

#include <cstring>

namespace {
constexpr qint64 kChunk = 1 << 16;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

CXqcnValueFilter::CXqcnValueFilter(QIODevice& source) : m_source(source) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 CXqcnValueFilter::bytesAvailable() const {
    return static_cast<qint64>(m_out.size() - m_outPos) + QIODevice::bytesAvailable() +
           (m_source.atEnd() ? 0 : 1);
}

qint64 CXqcnValueFilter::readData(char* data, qint64 maxSize) {
    // Reads on until there is something to give: a long value yields nothing for a while.
    char chunk[kChunk];
    while (m_outPos == m_out.size()) {
        if (m_tooLong) return -1;
        m_out.clear();
        m_outPos = 0;
        const qint64 n = m_source.read(chunk, kChunk);
        if (n < 0) return -1;
        if (n == 0) return 0;
        for (qint64 i = 0; i < n; ++i) {
            const EState before = m_state;
            Feed(chunk[i]);
            m_run = m_state == before && !(m_state == EState::Value && m_capture) ? m_run + 1 : 0;
            if (m_run > kMaxMarkup) m_tooLong = true;
            if (m_tooLong) return -1;
        }
    }
    const qint64 n = std::min<qint64>(maxSize, static_cast<qint64>(m_out.size() - m_outPos));
    std::memcpy(data, m_out.data() + m_outPos, static_cast<size_t>(n));
    m_outPos += static_cast<size_t>(n);
    return n;
}

void CXqcnValueFilter::HexDigit(char c) {
    SValue& value = m_values.back();
    if (!value.ok) return;
    const int digit = HexValue(c);
    if (IsSpace(c)) {
        value.ok = m_digits != 1;
        m_digits = 0;
    } else if (digit < 0 || m_digits == 2) {
        value.ok = false;
    } else if (m_digits++ == 0) {
        value.bytes.push_back(static_cast<uint8_t>(digit << 4));
    } else {
        value.bytes.back() = static_cast<uint8_t>(value.bytes.back() | digit);
    }
}

void CXqcnValueFilter::Feed(char c) {
    switch (m_state) {
    case EState::Text:
        if (c == '<') m_state = EState::Open;
        Emit(c);
        return;
    case EState::Open:
        Emit(c);
        m_word.clear();
        m_tail.clear();
        if (c == '?') {
            m_skipUntil = "?>";
            m_state = EState::Skip;
        } else if (c == '!') {
            m_state = EState::Bang;
        } else if (c == '/') {
            m_skipUntil = ">";
            m_state = EState::Skip;
        } else {
            m_word = c;
            m_state = EState::TagName;
        }
        return;
    case EState::Bang:
        Emit(c);
        m_word += c;
        if (m_word == "--") {
            m_skipUntil = "-->";
        } else if (m_word == "[CDATA[") {
            m_skipUntil = "]]>";
        } else if (std::strncmp("--", m_word.c_str(), m_word.size()) == 0 ||
                   std::strncmp("[CDATA[", m_word.c_str(), m_word.size()) == 0) {
            return;
        } else {
            m_skipUntil = ">";
        }
        m_tail.clear();
        m_state = c == '>' && m_skipUntil == ">" ? EState::Text : EState::Skip;
        return;
    case EState::Skip:
        Emit(c);
        m_tail += c;
        if (m_tail.size() > m_skipUntil.size()) m_tail.erase(0, 1);
        if (m_tail == m_skipUntil) m_state = EState::Text;
        return;
    case EState::TagName:
        if (!IsSpace(c) && c != '/' && c != '>') {
            m_word += c;
            Emit(c);
            return;
        }
        m_inStream = m_word == "Stream";
        m_state = EState::Tag;
        [[fallthrough]];
    case EState::Tag:
        Emit(c);
        if (c == '>') {
            m_state = EState::Text;
        } else if (!IsSpace(c) && c != '/') {
            m_word = c;
            m_state = EState::AttrName;
        }
        return;
    case EState::AttrName:
        Emit(c);
        if (c == '=' || IsSpace(c)) m_state = c == '=' ? EState::AfterEq : EState::AfterName;
        else if (c == '>') m_state = EState::Text;
        else m_word += c;
        return;
    case EState::AfterName:
        Emit(c);
        if (c == '=') m_state = EState::AfterEq;
        else if (c == '>') m_state = EState::Text;
        else if (!IsSpace(c)) m_state = EState::Tag;
        return;
    case EState::AfterEq:
        Emit(c);
        if (c == '\'' || c == '"') {
            m_quote = c;
            m_capture = m_inStream && m_word == "Value";
            if (m_capture) {
                m_values.emplace_back();
                m_digits = 0;
            }
            m_state = EState::Value;
        } else if (c == '>') {
            m_state = EState::Text;
        } else if (!IsSpace(c)) {
            m_state = EState::Tag;
        }
        return;
    case EState::Value:
        if (c != m_quote) {
            if (m_capture) HexDigit(c);
            else Emit(c);
            return;
        }
        if (m_capture) {
            if (m_digits == 1) m_values.back().ok = false;
            const std::string placeholder = "#" + std::to_string(m_given++);
            m_out += placeholder;
        }
        Emit(c);
        m_state = EState::Tag;
        return;
    }
}

bool CXqcnValueFilter::Take(QStringView text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (m_values.empty() || text != QString(QLatin1Char('#') + QString::number(m_taken))) return false;
    SValue value = std::move(m_values.front());
    m_values.pop_front();
    ++m_taken;
    bytes = std::move(value.bytes);
    return value.ok;
}
