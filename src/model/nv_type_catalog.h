#pragma once
#include "nv_field.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CJobControl;

// The type catalogue: type name to a flat list of fields. Imported from NVTypesDefine.def
// (two jobs: read, convert), kept in NVTypes.typ, loaded at start.
class CNVTypeCatalog {
public:
    explicit CNVTypeCatalog(CJobControl& jobs);

    // Folder holding NVTypes.typ ("." by default).
    void SetDirectory(const std::string& dir) { m_dir = dir; }
    std::string TypeFilePath() const;

    bool LoadTypeFile();
    bool ImportDefinitionFile(const std::string& path);

    bool SelectType(const std::string& name);
    // bytes must hold at least RecordSize() bytes.
    void SetRecordBytes(const uint8_t* bytes);
    const std::vector<uint8_t>& GetRecordBytes();

    const std::string& SelectedTypeName() const { return m_typeName; }
    int RecordSize() const { return m_recordSize; }
    int FieldCount() const { return m_fieldCount; }
    CNVField& Field(int i);
    // The converted field name with braces shown as brackets (hdr.data[3]).
    std::string FieldDisplayName(int i) const;

    bool IsTypeName(const std::string& name) const;
    bool IsDataTypeName(const std::string& name) const;
    std::string Definition(const std::string& name) const;

    // Definition-text helpers (field numbers count from 1).
    static int CountFields(const std::string& def);
    static std::string GetFieldText(const std::string& def, int n);
    static std::string FieldTypeOf(const std::string& def, int n);
    static std::string FieldNameOf(const std::string& def, int n);

    // Job bodies.
    int ReadDefinitionFile();
    int ConvertDefinitions();

    // Message for a type the catalogue lacks ("ERROR NVType\n%s\nNot defined in NVTypesDefine.def file!").
    static std::string UnknownTypeMessage(const std::string& typeName);

private:
    CJobControl& m_jobs;
    std::string m_dir = ".";

    std::string m_typeName;
    int32_t m_recordSize = 0;
    int32_t m_fieldCount = 0;
    std::vector<uint8_t> m_recordBytes;
    std::vector<CNVField> m_fields;
    std::vector<std::string> m_dataTypeNames;
    std::map<std::string, std::string> m_definitions;
    std::vector<std::string> m_typeNames;  // file order, duplicates kept, without the "END" slot
    std::string m_defPath;
};
