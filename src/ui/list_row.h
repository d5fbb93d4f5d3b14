#pragma once
#include <array>
#include <string>

// One row of the item list: the seven column texts and the record's position in m_items.
struct SListRow {
    static constexpr int kColumnCount = 7;
    enum EColumn { kName, kId, kActive, kFileName, kGroup, kSize, kType };

    std::array<std::string, kColumnCount> texts;
    int itemIndex = -1;
};
