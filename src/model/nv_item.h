#pragma once
#include "model/shared_text.h"

#include <cstdint>
#include <string>
#include <vector>

// One NV item record: a definition, or an item with a value. An array item of N elements
// is N records sharing the id with index 0..N-1.
class CNVItem {
public:
    enum : int16_t { kActive = 1, kNotActive = 0, kUnreadable = -1 };

    int Size() const { return m_size; }
    int Id() const { return m_id; }
    const std::vector<uint8_t>& Value() const { return m_value; }
    uint8_t* ValueData() { return m_value.data(); }
    int16_t Active() const { return m_active; }
    const std::string& Name() const { return m_name.Str(); }
    const std::string& Group() const { return m_group.Str(); }
    const std::string& FileName() const { return m_fileName.Str(); }
    const std::string& TypeName() const { return m_typeName.Str(); }
    int Count() const { return m_count; }
    int Index() const { return m_index; }
    // 0 for the phone's default items; 1 or 2 for a record of that subscription.
    int Subscription() const { return m_subscription; }

    void SetId(int id) { m_id = id; }
    void SetActive(int16_t active) { m_active = active; }
    void SetName(std::string_view name) { m_name = CSharedText(name); }
    void SetGroup(std::string_view group) { m_group = CSharedText(group); }
    void SetFileName(std::string_view fileName) { m_fileName = CSharedText(fileName); }
    void SetTypeName(std::string_view typeName) { m_typeName = CSharedText(typeName); }
    // The texts of another record, shared rather than looked up again.
    void SetTextsOf(const CNVItem& other) {
        m_group = other.m_group;
        m_fileName = other.m_fileName;
        m_typeName = other.m_typeName;
    }
    void SetCount(int count) { m_count = count; }
    void SetIndex(int index) { m_index = index; }
    void SetSubscription(int subscription) { m_subscription = subscription; }

    // size := n and the value := a copy of n bytes.
    void SetValue(const uint8_t* bytes, int n);
    void SetValue(const std::vector<uint8_t>& bytes) { SetValue(bytes.data(), static_cast<int>(bytes.size())); }
    // size := n, keeping the old bytes up to the smaller size; new bytes are zero.
    void Resize(int n);

    // What the names and groups of a subscription's records start with ("Subscription 1: "),
    // so the trees show them apart; empty for the default records.
    static std::string SubscriptionPrefix(int subscription);

    // "Y", "N" or "X" as the item list shows the active state.
    const char* ActiveText() const;

    bool operator==(const CNVItem&) const = default;

private:
    int32_t m_size = -1;
    int32_t m_id = -1;
    std::vector<uint8_t> m_value;
    int16_t m_active = 0;
    CSharedText m_name;
    CSharedText m_group;
    CSharedText m_fileName;
    CSharedText m_typeName;
    int32_t m_count = 0;
    int32_t m_index = -1;
    int32_t m_subscription = 0;
};
