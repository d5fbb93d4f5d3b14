#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Incremental decoder of diagnostic frames: takes bytes as they arrive, in any pieces, and
// yields the payloads of whole frames whose CRC checks. Empty frames (7E 7E), frames shorter
// than command + CRC, bad CRCs, bad escapes and overlong runs of noise are dropped.
class CDiagFrameDecoder {
public:
    void Feed(const uint8_t* bytes, size_t length);
    // The oldest decoded payload (CRC removed); false when none is waiting.
    bool PopFrame(std::vector<uint8_t>& payload);
    bool HasFrame() const { return !m_frames.empty(); }
    // No payload waiting and no frame half received.
    bool IsIdle() const { return m_frames.empty() && m_current.empty() && !m_escaped && !m_overflow; }
    // Forgets a half-received frame and every waiting payload.
    void Reset();
    // Frames dropped since construction.
    size_t DroppedFrames() const { return m_dropped; }

private:
    void EndFrame();

    std::vector<uint8_t> m_current;
    std::vector<uint8_t> m_spare;  // reused for the next frame
    bool m_escaped = false;
    bool m_overflow = false;
    std::deque<std::vector<uint8_t>> m_frames;
    size_t m_dropped = 0;
};
