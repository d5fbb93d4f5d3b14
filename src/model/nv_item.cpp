#include "model/nv_item.h"

#include <stdexcept>

void CNVItem::SetValue(const uint8_t* bytes, int n) {
    if (n < 0) throw std::invalid_argument("CNVItem::SetValue: negative size");
    m_value.assign(bytes, bytes + n);
    m_size = n;
}

void CNVItem::Resize(int n) {
    if (n < 0) throw std::invalid_argument("CNVItem::Resize: negative size");
    m_value.resize(static_cast<size_t>(n), 0);
    m_size = n;
}

std::string CNVItem::SubscriptionPrefix(int subscription) {
    return subscription > 0 ? "Subscription " + std::to_string(subscription) + ": " : std::string();
}

const char* CNVItem::ActiveText() const {
    if (m_active > 0) return "Y";
    if (m_active == 0) return "N";
    return "X";
}
