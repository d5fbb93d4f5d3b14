#include "model/shared_text.h"

#include <mutex>
#include <unordered_set>

namespace {
struct SHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

struct SPool {
    std::mutex mutex;
    // Node-based: an element's address never changes while others are added.
    std::unordered_set<std::string, SHash, std::equal_to<>> texts;
    const std::string* empty = &*texts.emplace().first;
};

SPool& Pool() {
    static SPool* pool = new SPool;  // outlives every record, static ones included
    return *pool;
}
}  // namespace

CSharedText::CSharedText() : m_text(Pool().empty) {}

CSharedText::CSharedText(std::string_view text) {
    SPool& pool = Pool();
    if (text.empty()) {
        m_text = pool.empty;
        return;
    }
    std::lock_guard lock(pool.mutex);
    auto it = pool.texts.find(text);
    if (it == pool.texts.end()) it = pool.texts.emplace(text).first;
    m_text = &*it;
}
