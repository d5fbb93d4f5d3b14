#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text form of a type definition: fields each ended by ";" (type, a blank, name).

struct SDefinitionParts {
    std::vector<std::string> fields;  // the counted fields, without their ";"
    std::string tail;                 // whatever follows the last counted field's ";"
};

// Number of ";" in def, counted from its second character (a leading ";" is not a field end).
int CountDefinitionFields(std::string_view def);
// All counted fields of def in one pass; JoinDefinition(parts) gives def back.
SDefinitionParts SplitDefinition(std::string_view def);
std::string JoinDefinition(const std::vector<std::string>& fields, std::string_view tail);

// Type: the text before the first blank (empty without one). Name: the text after it
// (the whole text without one).
std::string_view FieldTypeText(std::string_view field);
std::string_view FieldNameText(std::string_view field);

// A line of NVTypesDefine.def or NVTypes.typ: the name before the first ";" (empty without
// one) and the definition after it (the whole line without one).
std::pair<std::string, std::string> SplitTypeLine(const std::string& line);
