#pragma once
#include <string>

// One record listed in a tree: its group, its name and its position in the document's items.
struct CTreeEntry {
    std::string group;
    std::string name;
    int itemIndex = -1;

    bool operator==(const CTreeEntry&) const = default;
};
