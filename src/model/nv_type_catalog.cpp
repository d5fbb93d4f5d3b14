#include "model/nv_type_catalog.h"

#include "model/definition_text.h"
#include "jobs/job_control.h"
#include "model/nv_type_converter.h"
#include "model/text_line_reader.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <stdexcept>

namespace {
const char* const kReadStopQuestion =
    TrNoop("CNVTypeCatalog",
           "If you stop reading of NVTypesDefine.def file Tessiva will return to old version of NV Types.\n"
           "Do you want to stop reading of this file?");
const char* const kConvertStopQuestion =
    TrNoop("CNVTypeCatalog",
           "If you stop NV Types converting Tessiva will return to old version of NV Types.\n"
           "Do you want to stop NV Types converting?");
// Where no store gives a reason of its own.
const char* const kNoStore = TrNoop("CNVTypeCatalog", "no place to keep NVTypes.typ");

// The length of a text field is in the last brace pair of its name: arr{0}.label{16}.
std::string TextLength(std::string_view name) {
    const size_t open = name.rfind('{');
    if (open == std::string_view::npos) return {};
    const size_t close = name.find('}', open + 1);
    return std::string(name.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
}

std::string FirstLines(const std::vector<std::string>& lines, size_t shown) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < shown; ++i) text += "\n" + lines[i];
    if (lines.size() > shown)
        text.append("\n").append(
            FillText(TrText("CNVTypeCatalog", "... and %1 more"), {std::to_string(lines.size() - shown)}));
    return text;
}
}  // namespace

CNVTypeCatalog::CNVTypeCatalog(CJobControl& jobs, ITypeFileStore* store) : m_jobs(jobs), m_store(store) {}

std::string CNVTypeCatalog::TypeFilePath() const { return m_dir + "/NVTypes.typ"; }

std::string CNVTypeCatalog::UnknownTypeMessage(const std::string& typeName) {
    return FillText(TrText("CNVTypeCatalog", "ERROR NVType\n%1\nNot defined in NVTypesDefine.def file!"), {typeName});
}

// ---- definition text ----

int CNVTypeCatalog::CountFields(const std::string& def) { return CountDefinitionFields(def); }

std::string CNVTypeCatalog::GetFieldText(const std::string& def, int n) {
    if (n < 1) return {};
    size_t start = 0;
    for (int k = 1; k < n; ++k) {
        const size_t semicolon = def.find(';', start);
        if (semicolon == std::string::npos) return {};
        start = semicolon + 1;
    }
    const size_t end = def.find(';', start);
    return end == std::string::npos ? std::string() : def.substr(start, end - start);
}

std::string CNVTypeCatalog::FieldTypeOf(const std::string& def, int n) {
    return std::string(FieldTypeText(GetFieldText(def, n)));
}

std::string CNVTypeCatalog::FieldNameOf(const std::string& def, int n) {
    return std::string(FieldNameText(GetFieldText(def, n)));
}

bool CNVTypeCatalog::IsDataTypeName(const std::string& name) const { return CNVField::DataTypeSize(name) >= 0; }

// Every listed name has an entry in the map and the map holds no other names.
bool CNVTypeCatalog::IsTypeName(const std::string& name) const { return m_definitions.count(name) != 0; }

std::string CNVTypeCatalog::Definition(const std::string& name) const {
    const auto found = m_definitions.find(name);
    return found == m_definitions.end() ? std::string() : found->second;
}

// ---- NVTypes.typ ----

ITypeFileStore* CNVTypeCatalog::Store() const { return m_store; }

SOutcome CNVTypeCatalog::LoadTypeFile() {
    std::string text, reason;
    ITypeFileStore* store = Store();
    if (!store || !store->ReadTypeFile(TypeFilePath(), text, reason))
        return SOutcome::Fail(
            FillText(TrText("CNVTypeCatalog", "Can't open NVTypes.typ file.\n%1: %2"), {TypeFilePath(), reason}));
    LoadTypeText(text);
    return SOutcome::Done();
}

void CNVTypeCatalog::LoadTypeText(std::string_view text) {
    std::map<std::string, std::string> definitions;
    std::vector<std::string> names;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "END;") break;
        if (line == "END") continue;
        auto [name, def] = SplitTypeLine(line);
        names.push_back(name);
        definitions.emplace(std::move(name), std::move(def));
    }
    m_definitions = std::move(definitions);
    m_typeNames = std::move(names);
}

std::string CNVTypeCatalog::TypeFileText() const {
    std::string text;
    for (const auto& name : m_typeNames) text.append(name).append(";").append(Definition(name)).append("\r\n");
    return text + "END;\r\n";
}

SOutcome CNVTypeCatalog::WriteTypeFile() {
    const std::string target = TypeFilePath();
    std::string reason = TrText("CNVTypeCatalog", kNoStore);
    ITypeFileStore* store = Store();
    if (store && store->WriteTypeFile(target, TypeFileText(), reason)) return SOutcome::Done();
    return m_jobs.FailJob(FillText(TrText("CNVTypeCatalog", "Can't write NVTypes.typ file.\n%1: %2"), {target, reason}));
}

// ---- import ----

bool CNVTypeCatalog::ImportDefinitionFile(const std::string& path) {
    // The catalogue in force stays so until the new one is complete and written.
    std::map<std::string, std::string> oldDefinitions = m_definitions;
    std::vector<std::string> oldNames = m_typeNames;
    m_definitions.clear();
    m_defPath = path;
    m_lastImport = m_jobs.Run(TrText("CNVTypeCatalog", "Reading of NVTypesDefine.def file"),
                              [this] { return ReadDefinitionFile(); });
    if (m_lastImport.IsCompleted())
        m_lastImport =
            m_jobs.Run(TrText("CNVTypeCatalog", "Converting NV Types"), [this] { return ConvertDefinitions(); });
    const bool imported = m_lastImport.IsCompleted();
    if (!imported) {
        m_definitions = std::move(oldDefinitions);
        m_typeNames = std::move(oldNames);
    }
    return imported;
}

SOutcome CNVTypeCatalog::ReadDefinitionFile() {
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    CTextLineReader file;
    if (!file.Open(m_defPath))
        return m_jobs.FailJob(FillText(TrText("CNVTypeCatalog", "Can't open a file\n%1: %2"), {m_defPath, file.Error()}));
    m_typeNames.clear();
    const std::string question = TrText("CNVTypeCatalog", kReadStopQuestion);
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(100);
    std::string line;
    int lineNumber = 0;
    while (file.ReadLine(line)) {
        ++lineNumber;
        if (line.empty() || line[0] != '#') {
            auto [name, def] = SplitTypeLine(line);
            // "END" closes the type list of NVTypes.typ and 5000 slots hold the list and it.
            if (name == "END")
                return m_jobs.FailJob(FillText(TrText("CNVTypeCatalog",
                                                      "Line %1 of %2 defines a type named END, which is reserved.\n"
                                                      "The NV types were not imported."),
                                               {std::to_string(lineNumber), m_defPath}));
            if (static_cast<int>(m_typeNames.size()) >= kMaxTypes)
                return m_jobs.FailJob(FillText(
                    TrText("CNVTypeCatalog", "%1 defines more than %2 NV types.\nThe NV types were not imported."),
                    {m_defPath, std::to_string(kMaxTypes)}));
            m_typeNames.push_back(name);
            m_definitions.emplace(std::move(name), std::move(def));
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        if (file.FileSize() > 0)
            m_jobs.SetPosition(static_cast<int>((static_cast<double>(file.Position()) + 1) / file.FileSize() * 100));
    }
    if (file.HasError())
        return m_jobs.FailJob(FillText(TrText("CNVTypeCatalog", "Can't read the file %1."), {m_defPath}));
    return m_jobs.PostJobCompleted();
}

SOutcome CNVTypeCatalog::ConvertDefinitions() {
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    const std::vector<std::string> names = m_typeNames;
    const int n = static_cast<int>(names.size());
    const std::string question = TrText("CNVTypeCatalog", kConvertStopQuestion);
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(2 * n);

    CNVTypeConverter converter(m_definitions);
    for (int i = 0; i < n; ++i) {
        converter.ExpandArrays(names[static_cast<size_t>(i)]);
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(i + 1);
    }
    for (int i = 0; i < n; ++i) {
        converter.ExpandCompounds(names[static_cast<size_t>(i)]);
        if (converter.TotalLength() > kMaxTotalLength)
            return m_jobs.FailJob(
                FillText(TrText("CNVTypeCatalog",
                                "The converted NV types would take more than %1 MB.\nThe NV types were not imported."),
                         {std::to_string(kMaxTotalLength >> 20)}));
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(n + i);
    }
    // A wrong file (item definitions, say) yields only bad types: it must not replace good ones.
    int failed = 0;
    for (const auto& [name, def] : m_definitions)
        if (def.find(kBadDefinition) != std::string::npos) ++failed;
    const int read = static_cast<int>(m_definitions.size());
    const std::vector<std::string> problems = converter.Problems();
    const std::string counts =
        FillText(TrText("CNVTypeCatalog", "%1 NV types were read, %2 of them could not be converted."),
                 {std::to_string(read), std::to_string(failed)});
    if (failed == read)
        return m_jobs.FailJob(FillText(TrText("CNVTypeCatalog", "%1\nNVTypes.typ was not changed."), {counts}));
    if (failed > 0 && m_confirmImport &&
        !m_confirmImport(read, failed,
                         FillText(TrText("CNVTypeCatalog", "%1%2\n\nReplace NVTypes.typ with these types?"),
                                  {counts, FirstLines(problems, 10)})))
        return m_jobs.PostJobStopped(TrText("CNVTypeCatalog", "The NV types were not imported."));
    // The file in force stays at hand as NVTypes.typ.bak.
    std::string reason = TrText("CNVTypeCatalog", kNoStore);
    ITypeFileStore* store = Store();
    if (!store || !store->KeepCopy(TypeFilePath(), TypeFilePath() + ".bak", reason))
        return m_jobs.FailJob(FillText(
            TrText("CNVTypeCatalog", "Can't keep the previous NVTypes.typ as NVTypes.typ.bak.\n%1"), {reason}));
    if (SOutcome written = WriteTypeFile(); !written.IsCompleted()) return written;
    if (!problems.empty())
        m_jobs.Note(
            FillText(TrText("CNVTypeCatalog", "These NV types could not be converted and were written as \"%1\":%2"),
                     {kBadDefinition, FirstLines(problems, 10)}));
    return m_jobs.PostJobCompleted();
}

// ---- the selected type ----

bool CNVTypeCatalog::SelectType(const std::string& name) {
    if (!IsTypeName(name)) return false;
    SDefinitionParts parts = SplitDefinition(Definition(name));
    std::vector<CNVField> fields(parts.fields.size());
    std::vector<std::string> fieldNames;
    fieldNames.reserve(parts.fields.size());
    int64_t recordSize = 0;
    for (size_t j = 0; j < parts.fields.size(); ++j) {
        std::string type(FieldTypeText(parts.fields[j]));
        const std::string_view fieldName = FieldNameText(parts.fields[j]);
        if (CNVField::IsTextTypeName(type)) type.append("[").append(TextLength(fieldName)).append("]");
        fields[j].SetType(type);
        recordSize += fields[j].Size();
        if (recordSize > kMaxRecordSize) return false;
        fieldNames.emplace_back(fieldName);
    }
    m_typeName = name;
    m_fields = std::move(fields);
    m_fieldNames = std::move(fieldNames);
    m_fieldCount = static_cast<int32_t>(m_fields.size());
    m_recordSize = static_cast<int32_t>(recordSize);
    m_recordBytes.assign(static_cast<size_t>(m_recordSize), 0);
    return true;
}

void CNVTypeCatalog::SelectRawBytes(int size) {
    const size_t n = static_cast<size_t>(std::max(size, 0));
    m_fields.assign(n, CNVField());
    m_fieldNames.resize(n);
    for (size_t j = 0; j < n; ++j) {
        m_fields[j].SetType("byte");
        m_fieldNames[j] = "byte[" + std::to_string(j) + "]";
    }
    m_typeName.clear();
    m_fieldCount = static_cast<int32_t>(n);
    m_recordSize = static_cast<int32_t>(n);
    m_recordBytes.assign(n, 0);
}

void CNVTypeCatalog::SetRecordBytes(const uint8_t* bytes) { SetRecordBytes(bytes, static_cast<size_t>(m_recordSize)); }

void CNVTypeCatalog::SetRecordBytes(const uint8_t* bytes, size_t length) {
    m_recordBytes.assign(static_cast<size_t>(m_recordSize), 0);
    if (bytes) std::copy_n(bytes, std::min(length, m_recordBytes.size()), m_recordBytes.begin());
    size_t offset = 0;
    for (auto& field : m_fields) {
        field.SetBytes(m_recordBytes.data() + offset);
        offset += static_cast<size_t>(field.Size());
    }
}

const std::vector<uint8_t>& CNVTypeCatalog::GetRecordBytes() {
    size_t offset = 0;
    for (const auto& field : m_fields) {
        std::copy(field.Bytes().begin(), field.Bytes().end(), m_recordBytes.begin() + static_cast<long>(offset));
        offset += field.Bytes().size();
    }
    return m_recordBytes;
}

CNVField& CNVTypeCatalog::Field(int i) {
    if (i < 0 || i >= m_fieldCount) throw std::invalid_argument("CNVTypeCatalog::Field: index out of range");
    return m_fields[static_cast<size_t>(i)];
}

std::string CNVTypeCatalog::FieldDisplayName(int i) const {
    if (i < 0 || i >= m_fieldCount) throw std::invalid_argument("CNVTypeCatalog::FieldDisplayName: index out of range");
    std::string shown = m_fieldNames[static_cast<size_t>(i)];
    std::replace(shown.begin(), shown.end(), '{', '[');
    std::replace(shown.begin(), shown.end(), '}', ']');
    return shown;
}
