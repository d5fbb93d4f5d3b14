#pragma once
#include "model/nv_item.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of NVItemFiles.def: an item file of the phone's file system the editor knows,
// "name;path;group;size;type" (size hexadecimal, type a name of the type catalogue). A
// backup asks the phone for each path by stat, so files hidden from listings are kept too.
struct SItemFileDef {
    std::string name;
    std::string path;
    std::string group;
    int size = 0;
    std::string type;
};

// Every good line of text; "#" lines and blank lines are skipped. A line without five
// fields, an absolute path, a name or a hexadecimal size is bad: its number goes to badLines.
std::vector<SItemFileDef> ParseItemFileDefs(std::string_view text, std::vector<int>& badLines);
// The definition of path, or of the file path is a subscription copy of; null when none.
const SItemFileDef* FindItemFileDef(const std::vector<SItemFileDef>& defs, std::string_view path);

// A subscription's copy of an item file is its path with "_SubscriptionNN" appended, NN the
// subscription in two digits. The subscription of path, 0 when it is no copy; base, when
// given, becomes the path of the file copied.
int ItemFileSubscription(std::string_view path, std::string_view* base = nullptr);
// path's copy of subscription; path itself for subscription 0.
std::string SubscriptionCopyPath(std::string_view path, int subscription);

// An item file as a record of its definition's name, group and type, with data as its value,
// named apart for a subscription as that subscription's records are.
CNVItem ItemFileRecord(const SItemFileDef& def, const std::vector<uint8_t>& data, int subscription);
