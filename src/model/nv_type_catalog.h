#pragma once
#include "jobs/job_outcome.h"
#include "model/nv_field.h"
#include "model/type_file_store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class CJobControl;

// The type catalogue: type name to a flat list of fields. Imported from NVTypesDefine.def
// (two jobs: read, convert), kept in NVTypes.typ, loaded at start.
class CNVTypeCatalog {
public:
    // store: where NVTypes.typ is read and written; without one the file can't be used.
    explicit CNVTypeCatalog(CJobControl& jobs, ITypeFileStore* store = nullptr);

    // Folder holding NVTypes.typ ("." by default).
    void SetDirectory(const std::string& dir) { m_dir = dir; }
    std::string TypeFilePath() const;
    // Where NVTypes.typ is read and written; without one the default store registered by
    // the files layer is used.
    void SetTypeFileStore(ITypeFileStore& store) { m_store = &store; }

    // Loads NVTypes.typ; on failure the catalogue in memory stays as it was.
    SOutcome LoadTypeFile();
    // The catalogue from the text of an NVTypes.typ (CR LF or LF lines, up to "END;").
    void LoadTypeText(std::string_view text);
    // The text of NVTypes.typ for the catalogue in memory.
    std::string TypeFileText() const;
    // Reads and converts NVTypesDefine.def and writes NVTypes.typ. False when stopped or
    // failed; the catalogue in memory is then the one from before the import.
    bool ImportDefinitionFile(const std::string& path);
    // How the last import ended.
    const SOutcome& LastImport() const { return m_lastImport; }
    // Asked (from the import's worker) before NVTypes.typ is replaced by types of which
    // some could not be converted: the counts and the text to show; false keeps the file.
    using ImportConfirmation = std::function<bool(int read, int failed, const std::string& text)>;
    void SetImportConfirmation(ImportConfirmation confirm) { m_confirmImport = std::move(confirm); }

    // False for an unknown type, and for a (hand-edited) type over kMaxRecordSize bytes.
    bool SelectType(const std::string& name);
    // A value without a type: size fields of one "byte" each, named byte[0], byte[1], ...
    void SelectRawBytes(int size);
    // bytes must hold at least RecordSize() bytes.
    void SetRecordBytes(const uint8_t* bytes);
    // An item value of any length: missing bytes are taken as zero, extra ones ignored.
    void SetRecordBytes(const uint8_t* bytes, size_t length);
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
    // The type list in file order, duplicates included.
    const std::vector<std::string>& TypeNames() const { return m_typeNames; }

    // Definition-text helpers (field numbers count from 1).
    static int CountFields(const std::string& def);
    static std::string GetFieldText(const std::string& def, int n);
    static std::string FieldTypeOf(const std::string& def, int n);
    static std::string FieldNameOf(const std::string& def, int n);

    // Job bodies.
    SOutcome ReadDefinitionFile();
    SOutcome ConvertDefinitions();

    // Message for a type the catalogue lacks ("ERROR NVType\n%s\nNot defined in NVTypesDefine.def file!").
    static std::string UnknownTypeMessage(const std::string& typeName);

    static constexpr int kMaxTypes = 4999;  // one slot of 5000 is the "END" marker
    static constexpr const char* kBadDefinition = "Bad Parametr";
    // Limits that keep a hostile definitions file from exhausting memory.
    static constexpr size_t kMaxFieldsPerType = 65536;
    static constexpr size_t kMaxDefinitionLength = size_t{4} << 20;
    static constexpr size_t kMaxTotalLength = size_t{256} << 20;
    static constexpr int kMaxRecordSize = 1 << 20;

private:
    SOutcome m_lastImport;
    ImportConfirmation m_confirmImport;
    SOutcome WriteTypeFile();
    ITypeFileStore* Store() const;

    CJobControl& m_jobs;
    ITypeFileStore* m_store = nullptr;
    std::string m_dir = ".";

    std::string m_typeName;
    int32_t m_recordSize = 0;
    int32_t m_fieldCount = 0;
    std::vector<uint8_t> m_recordBytes;
    std::vector<CNVField> m_fields;
    std::vector<std::string> m_fieldNames;  // converted names of m_fields
    std::map<std::string, std::string> m_definitions;
    std::vector<std::string> m_typeNames;  // file order, duplicates kept, without the "END" slot
    std::string m_defPath;
};
