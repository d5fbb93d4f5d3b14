// Placeholder until the field codec lands.
#include "nv_field.h"
void CNVField::SetType(const std::string& text) { m_typeName = text; }
void CNVField::SetBytes(const uint8_t*) {}
void CNVField::SetDecText(const std::string&) {}
void CNVField::SetHexText(const std::string&) {}
void CNVField::FormatValue() {}
void CNVField::ParseDecText() {}
int CNVField::DataTypeSize(const std::string&) { return -1; }
