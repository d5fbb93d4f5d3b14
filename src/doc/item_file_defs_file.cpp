#include "doc/item_file_defs_file.h"

#include "files/byte_reader.h"
#include "jobs/text_translation.h"

#include <filesystem>
#include <string_view>

namespace {
constexpr size_t kShownLines = 5;
}  // namespace

void LoadItemFileDefs(const std::string& path, std::vector<SItemFileDef>& defs, std::vector<SNote>& notes) {
    defs.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!CByteReader::ReadFile(path, bytes, error)) {
        notes.push_back({SNote::EKind::Warning, FillText(TrText("CItemFileDefs", "Can't read %1: %2"), {path, error})});
        return;
    }
    std::vector<int> bad;
    defs = ParseItemFileDefs(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), bad);
    if (bad.empty()) return;
    std::string lines;
    for (size_t i = 0; i < bad.size() && i < kShownLines; ++i) lines += (i ? ", " : "") + std::to_string(bad[i]);
    if (bad.size() > kShownLines) lines += ", ...";
    notes.push_back({SNote::EKind::Warning,
                     FillText(TrText("CItemFileDefs", "%1 lines of %2 are not \"name;path;group;size;type\" and were "
                                                      "left out (line %3)."),
                              {std::to_string(bad.size()), path, lines})});
}
