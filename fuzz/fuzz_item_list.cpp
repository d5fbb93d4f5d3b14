// CSV item lists: the IDs read back, and a list written and read again.
#include "fuzz_support.h"
#include "files/item_list_file.h"
#include "model/nv_define_reader.h"

#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CNVItemArray list;
    bool header = true;
    ForEachLine(AsText(data, size), [&](const std::string& line) {
        if (std::exchange(header, false)) return;
        int id = 0;
        if (line.empty() || line[0] == '#' || !CNVDefineReader::ParseListLine(line, id)) return;
        if (id < 0 || id >= CNVItemArray::kMaxIds) return;
        CNVItem item;
        item.SetId(id);
        item.SetName(line.substr(0, line.find(';')));
        list.Add(std::move(item));
    });
    // What Format writes, the reader gives back: one line per run of an ID.
    const std::string text = CItemListFile::Format(list);
    std::vector<int> ids;
    header = true;
    ForEachLine(text, [&](const std::string& line) {
        int id = 0;
        if (!std::exchange(header, false) && CNVDefineReader::ParseListLine(line, id)) ids.push_back(id);
    });
    std::vector<int> expected;
    for (const auto& item : list)
        if (expected.empty() || expected.back() != item.Id()) expected.push_back(item.Id());
    FUZZ_CHECK(ids == expected);
    return 0;
}
