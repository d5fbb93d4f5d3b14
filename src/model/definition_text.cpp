#include "model/definition_text.h"

int CountDefinitionFields(std::string_view def) {
    int count = 0;
    for (size_t i = 1; i < def.size(); ++i)
        if (def[i] == ';') ++count;
    return count;
}

SDefinitionParts SplitDefinition(std::string_view def) {
    SDefinitionParts parts;
    const int count = CountDefinitionFields(def);
    parts.fields.reserve(static_cast<size_t>(count));
    size_t start = 0;
    for (int n = 0; n < count; ++n) {
        const size_t end = def.find(';', start);
        parts.fields.emplace_back(def.substr(start, end - start));
        start = end + 1;
    }
    parts.tail = std::string(def.substr(start));
    return parts;
}

std::string JoinDefinition(const std::vector<std::string>& fields, std::string_view tail) {
    size_t length = tail.size();
    for (const auto& f : fields) length += f.size() + 1;
    std::string def;
    def.reserve(length);
    for (const auto& f : fields) {
        def += f;
        def += ';';
    }
    def += tail;
    return def;
}

std::string_view FieldTypeText(std::string_view field) {
    const size_t blank = field.find(' ');
    return blank == std::string_view::npos ? std::string_view() : field.substr(0, blank);
}

std::string_view FieldNameText(std::string_view field) {
    const size_t blank = field.find(' ');
    return blank == std::string_view::npos ? field : field.substr(blank + 1);
}

std::pair<std::string, std::string> SplitTypeLine(const std::string& line) {
    const size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) return {std::string(), line};
    return {line.substr(0, semicolon), line.substr(semicolon + 1)};
}
