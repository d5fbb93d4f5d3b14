// NVTypesDefine.def: the lines as the import job reads them, then both conversion passes.
#include "model/definition_text.h"
#include "fuzz_support.h"
#include "model/nv_type_catalog.h"
#include "model/nv_type_converter.h"

#include <map>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<std::string, std::string> definitions;
    std::vector<std::string> names;
    bool refused = false;
    ForEachLine(AsText(data, size), [&](const std::string& line) {
        if (refused || (!line.empty() && line[0] == '#')) return;
        auto [name, def] = SplitTypeLine(line);
        if (name == "END" || static_cast<int>(names.size()) >= CNVTypeCatalog::kMaxTypes) {
            refused = true;
            return;
        }
        names.push_back(name);
        definitions.emplace(std::move(name), std::move(def));
    });
    if (refused) return 0;
    CNVTypeConverter converter(definitions);
    for (const auto& name : names) converter.ExpandArrays(name);
    for (const auto& name : names) {
        converter.ExpandCompounds(name);
        if (converter.TotalLength() > CNVTypeCatalog::kMaxTotalLength) return 0;
    }
    for (const auto& [name, def] : definitions) {
        FUZZ_CHECK(def.size() <= CNVTypeCatalog::kMaxDefinitionLength || def == CNVTypeCatalog::kBadDefinition);
    }
    converter.Problems();
    return 0;
}
