#include "phone/diag_frame_decoder.h"

#include "phone/diag_framing.h"

void CDiagFrameDecoder::Feed(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        if (!m_escaped && !m_overflow) {
            // A run of plain bytes goes in whole.
            const size_t end = DiagPlainRunEnd(bytes, i, length);
            m_current.insert(m_current.end(), bytes + i, bytes + end);
            if (m_current.size() > kDiagMaxFrame) {
                m_overflow = true;
                m_current.clear();
            }
            if (end == length) break;
            i = end;
        }
        const uint8_t b = bytes[i++];
        if (b == kDiagFlag) {
            EndFrame();
        } else if (m_overflow) {
            // Skips to the next flag.
        } else if (m_escaped) {
            m_current.push_back(static_cast<uint8_t>(b ^ kDiagEscapeXor));
            m_escaped = false;
        } else {
            m_escaped = true;  // b is the escape
        }
        if (m_current.size() > kDiagMaxFrame) {
            m_overflow = true;
            m_current.clear();
        }
    }
}

void CDiagFrameDecoder::EndFrame() {
    const bool empty = m_current.empty() && !m_escaped && !m_overflow;
    bool good = !m_overflow && !m_escaped && m_current.size() >= 3;
    if (good) {
        const size_t n = m_current.size() - 2;
        const uint16_t crc = static_cast<uint16_t>(m_current[n] | (m_current[n + 1] << 8));
        good = DiagCrc(m_current.data(), n) == crc;
    }
    if (good) {
        m_current.resize(m_current.size() - 2);
        m_frames.push_back(std::move(m_current));
        // The buffer of a payload already taken: frames in a steady stream allocate nothing.
        m_current = std::move(m_spare);
    } else if (!empty) {
        ++m_dropped;
    }
    m_current.clear();
    m_escaped = false;
    m_overflow = false;
}

bool CDiagFrameDecoder::PopFrame(std::vector<uint8_t>& payload) {
    if (m_frames.empty()) return false;
    payload.swap(m_frames.front());
    m_spare = std::move(m_frames.front());
    m_frames.pop_front();
    return true;
}

void CDiagFrameDecoder::Reset() {
    m_current.clear();
    m_escaped = false;
    m_overflow = false;
    m_frames.clear();
}
