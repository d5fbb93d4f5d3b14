#pragma once
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
// The definition of path, or null.
const SItemFileDef* FindItemFileDef(const std::vector<SItemFileDef>& defs, const std::string& path);
