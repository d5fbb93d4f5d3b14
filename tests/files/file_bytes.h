#pragma once
// Building expected file images byte by byte.
#include "model/nv_item_array.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <sys/resource.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Put(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}
inline void PutU16(Bytes& out, uint16_t v) { Put(out, {v & 0xFF, v >> 8}); }
inline void PutU32(Bytes& out, uint32_t v) { Put(out, {int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)}); }
// value followed by zeros up to n bytes
inline void PutPadded(Bytes& out, const Bytes& value, size_t n) {
    Bytes slot(n, 0);
    for (size_t i = 0; i < value.size() && i < n; ++i) slot[i] = value[i];
    out.insert(out.end(), slot.begin(), slot.end());
}
inline std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A record as a file job sees it: id, index, count, active and value.
inline CNVItem Rec(int id, int index, int count, int active, const Bytes& value, const std::string& name = "") {
    CNVItem r;
    r.SetId(id);
    r.SetIndex(index);
    r.SetCount(count);
    r.SetActive(static_cast<int16_t>(active));
    r.SetValue(value);
    r.SetName(name);
    return r;
}

inline CNVItemArray List(std::initializer_list<CNVItem> items) {
    CNVItemArray list;
    for (const auto& i : items) list.Add(i);
    return list;
}

// While it lives, files of this process can't grow past limit bytes (writes fail with EFBIG).
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t limit) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lower = m_old;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
