#pragma once
#include "model/nv_item_array.h"

#include <string>
#include <vector>

// A CSV item list: the header "NV Item Name;NV ID", then one "name;ID" line per item (the
// records of an array item give one line), CR LF between lines and none after the last.
class CItemListFile {
public:
    static constexpr const char* kHeader = "NV Item Name;NV ID";

    // The file's bytes for list.
    static std::string Format(const CNVItemArray& list);
    // Writes the list through a temporary file; false with a reason in error.
    static bool Write(const std::string& path, const CNVItemArray& list, std::string& error);
};
