// Placeholder until the type catalogue lands.
#include "nv_type_catalog.h"
CNVTypeCatalog::CNVTypeCatalog(CJobControl& jobs) : m_jobs(jobs) {}
std::string CNVTypeCatalog::TypeFilePath() const { return m_dir + "/NVTypes.typ"; }
bool CNVTypeCatalog::LoadTypeFile() { return false; }
bool CNVTypeCatalog::ImportDefinitionFile(const std::string&) { return false; }
bool CNVTypeCatalog::SelectType(const std::string&) { return false; }
void CNVTypeCatalog::SetRecordBytes(const uint8_t*) {}
const std::vector<uint8_t>& CNVTypeCatalog::GetRecordBytes() { return m_recordBytes; }
CNVField& CNVTypeCatalog::Field(int i) { return m_fields.at(static_cast<size_t>(i)); }
std::string CNVTypeCatalog::FieldDisplayName(int) const { return {}; }
bool CNVTypeCatalog::IsTypeName(const std::string&) const { return false; }
bool CNVTypeCatalog::IsDataTypeName(const std::string&) const { return false; }
std::string CNVTypeCatalog::Definition(const std::string&) const { return {}; }
int CNVTypeCatalog::CountFields(const std::string&) { return 0; }
std::string CNVTypeCatalog::GetFieldText(const std::string&, int) { return {}; }
std::string CNVTypeCatalog::FieldTypeOf(const std::string&, int) { return {}; }
std::string CNVTypeCatalog::FieldNameOf(const std::string&, int) { return {}; }
int CNVTypeCatalog::ReadDefinitionFile() { return 0; }
int CNVTypeCatalog::ConvertDefinitions() { return 0; }
std::string CNVTypeCatalog::UnknownTypeMessage(const std::string& t) {
    return "ERROR NVType\n" + t + "\nNot defined in NVTypesDefine.def file!";
}
