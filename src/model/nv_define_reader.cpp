#include "model/nv_define_reader.h"

#include "jobs/job_control.h"
#include "model/text_line_reader.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {
const char* const kBasicTypes[] = {"boolean", "uint32", "uint16", "uint8", "int32", "int16", "int8",
                                   "byte",    "word",   "dword",  "uint1", "uint2", "uint4", "int1",
                                   "int2",    "int4",   "sint31", "sint15", "sint7", "uint64", "int64"};

// Hex numbers saturate here, far above any size or count a line may give.
constexpr long kMaxSizeOrCount = 0x10000;

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Decimal as read by %d: leading white space, an optional sign, digits. False without digits.
bool ReadDecimal(const std::string& s, long& value) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    long v = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        if (v < 100000000) v = v * 10 + (s[i] - '0');  // saturates far outside the ID range
    }
    value = negative ? -v : v;
    return true;
}

// Hexadecimal as read by %x: leading white space, optional 0x; 0 without digits.
long ReadHex(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && i + 2 < s.size() &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])))
        i += 2;
    long v = 0;
    for (; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        if (v <= kMaxSizeOrCount) v = v * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return v;
}

constexpr size_t kShownLines = 10;

// firstBad holds up to kShownLines of the badCount line numbers.
std::string LineTooBadMessage(size_t badCount, const std::vector<int>& firstBad, const char* fileText) {
    std::string lines;
    for (size_t i = 0; i < firstBad.size(); ++i) {
        if (i) lines += ", ";
        lines += FillText(TrText("CNVDefineReader", "line %1"), {std::to_string(firstBad[i])});
    }
    if (badCount > firstBad.size())
        lines =
            FillText(TrText("CNVDefineReader", "%1 and %2 more"), {lines, std::to_string(badCount - firstBad.size())});
    return FillText(
        TrText("CNVDefineReader",
               "%1 line(s) of %2 could not be read (fewer than six fields, no ID, an ID outside "
               "0..65535, an element over %3 bytes, more than %4 elements, or more than %5 records "
               "in all) and were left out: %6."),
        {std::to_string(badCount), fileText, std::to_string(CNVDefineReader::kMaxElementSize),
         std::to_string(CNVDefineReader::kMaxElements), std::to_string(CNVDefineReader::kMaxRecords), lines});
}
}  // namespace

bool CNVDefineReader::IsBasicTypeName(const std::string& name) {
    for (const char* basic : kBasicTypes)
        if (name == basic) return true;
    return false;
}

std::string CNVDefineReader::GetField(const std::string& line, int k) {
    int field = 0;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ';') ++i;
        if (i >= line.size()) break;
        size_t end = line.find(';', i);
        if (end == std::string::npos) end = line.size();
        if (++field == k) {
            std::string text = line.substr(i, end - i);
            return (k == 1 || k == 3 || k == 4 || k == 6) ? Trim(text) : text;
        }
        i = end;
    }
    return {};
}

bool CNVDefineReader::ParseDefinitionLine(const std::string& line, CNVItemArray& out, int room) {
    // Six fields are needed: the sixth must exist (even if it trims to nothing).
    int fields = 0;
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && line[i] == ';') ++i;
        if (i >= line.size()) break;
        ++fields;
        while (i < line.size() && line[i] != ';') ++i;
    }
    if (fields < 6) return false;
    long id = 0;
    if (!ReadDecimal(GetField(line, 2), id) || id < 0 || id >= CNVItemArray::kMaxIds) return false;

    const std::string sizeField = GetField(line, 5);
    long size = 0;
    long count = 0;
    const size_t bracket = sizeField.find('[');
    if (bracket != std::string::npos) {
        size = ReadHex(sizeField.substr(0, bracket));
        std::string rest;
        for (char c : sizeField.substr(bracket))
            if (c != '[' && c != ']') rest += c;
        count = ReadHex(rest);
    } else {
        size = ReadHex(sizeField);
    }
    if (!IsBasicTypeName(GetField(line, 6))) --size;
    if (size > kMaxElementSize || count > kMaxElements || std::max(count, 1L) > room) return false;

    CNVItem item;
    item.SetName(GetField(line, 1));
    item.SetId(static_cast<int>(id));
    item.SetFileName(GetField(line, 3));
    item.SetGroup(GetField(line, 4));
    item.SetTypeName(GetField(line, 6));
    item.Resize(size < 0 ? 0 : static_cast<int>(size));
    item.SetCount(static_cast<int>(count));
    item.SetActive(0);
    if (count > 0) {
        for (int k = 0; k < count; ++k) {
            item.SetIndex(k);
            out.Add(item);
        }
    } else {
        item.SetIndex(-1);
        out.Add(item);
    }
    return true;
}

bool CNVDefineReader::ParseListLine(const std::string& line, int& id) {
    std::string s = line;
    const size_t first = s.find(';');
    if (first != std::string::npos) s = s.substr(first + 1);
    const size_t second = s.find(';');
    if (second != std::string::npos) s = s.substr(0, second);
    long value = 0;
    if (!ReadDecimal(s, value)) return false;
    id = static_cast<int>(value);
    return true;
}

SOutcome CNVDefineReader::StartReadDefinitions(const std::string& path, CNVItemArray& target) {
    m_path = path;
    m_target = &target;
    return m_jobs.Run(TrText("CNVDefineReader", "Reading of NVItemsDefine.def file"), [this] { return ReadDefinitions(); });
}

SOutcome CNVDefineReader::ReadDefinitions() {
    const std::string question = TrText("CNVDefineReader",
                                        "If you stop reading of NVItemsDefine.def file Tessiva will be closed.\n"
                                        "Do you want to stop reading of this file?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    CTextLineReader file;
    if (!file.Open(m_path))
        return m_jobs.FailJob(FillText(TrText("CNVDefineReader", "Can't open a file\n%1: %2"), {m_path, file.Error()}));
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(100);
    std::string line;
    int lineNumber = 0;
    size_t badCount = 0;
    std::vector<int> firstBad;
    const int before = m_target->GetSize();
    while (file.ReadLine(line)) {
        ++lineNumber;
        const bool blank = line.find_first_not_of(" \t;") == std::string::npos;
        if (!line.empty() && line[0] != '#' && !blank &&
            !ParseDefinitionLine(line, *m_target, kMaxRecords - (m_target->GetSize() - before))) {
            if (badCount++ < kShownLines) firstBad.push_back(lineNumber);
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        if (file.FileSize() > 0)
            m_jobs.SetPosition(static_cast<int>((static_cast<double>(file.Position()) + 1) / file.FileSize() * 100));
    }
    if (file.HasError())
        return m_jobs.FailJob(FillText(TrText("CNVDefineReader", "Can't read the file %1."), {m_path}));
    if (badCount > 0) m_jobs.Note(LineTooBadMessage(badCount, firstBad, "NVItemsDefine.def"));
    return m_jobs.PostJobCompleted();
}

SOutcome CNVDefineReader::StartReadItemList(const std::string& path, CNVItemArray& target) {
    m_path = path;
    m_target = &target;
    return m_jobs.Run(TrText("CNVDefineReader", "Loading list NV Items for uploading"), [this] { return ReadItemList(); });
}

SOutcome CNVDefineReader::ReadItemList() {
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    CTextLineReader file;
    if (!file.Open(m_path))
        return m_jobs.FailJob(FillText(TrText("CNVDefineReader", "Can't open a file!\n%1: %2"), {m_path, file.Error()}));
    if (m_jobs.IsStopRequested()) return m_jobs.PostJobStopped();
    m_jobs.SetRange(static_cast<int>(file.FileSize()));
    std::string line;
    file.ReadLine(line);  // the header
    int lineNumber = 1, badIds = 0, firstBad = 0;
    while (file.ReadLine(line)) {
        ++lineNumber;
        int id = 0;
        if (!line.empty() && line[0] != '#' && ParseListLine(line, id)) {
            if (id >= 0 && id < CNVItemArray::kMaxIds) {
                CNVItem item;
                item.SetId(id);
                item.Resize(0);
                m_target->Add(std::move(item));
            } else if (badIds++ == 0) {
                firstBad = lineNumber;
            }
        }
        if (m_jobs.IsStopRequested()) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(static_cast<int>(file.Position() + 1));
    }
    if (file.HasError())
        return m_jobs.FailJob(FillText(TrText("CNVDefineReader", "Can't read the file %1."), {m_path}));
    if (badIds > 0)
        m_jobs.Note(FillText(TrText("CNVDefineReader",
                                           "%1 ID(s) of the list %2 are outside 0..65535 and were left out; "
                                           "the first is on line %3."),
                                    {std::to_string(badIds), m_path, std::to_string(firstBad)}));
    return m_jobs.PostJobCompleted();
}

SOutcome CNVDefineReader::StartBuildItemsFromList(const std::string& path, const CNVItemArray& defs,
                                                  CNVItemArray& out) {
    CNVItemArray list;
    if (SOutcome read = StartReadItemList(path, list); !read.IsCompleted()) return read;
    m_target = &list;
    m_defs = &defs;
    m_out = &out;
    m_path = path;
    SOutcome built =
        m_jobs.Run(TrText("CNVDefineReader", "Creating Data Base by NV List"), [this] { return BuildItemsFromList(); });
    m_target = nullptr;  // the list lived only for this call
    return built;
}

SOutcome CNVDefineReader::BuildItemsFromList() {
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    std::vector<const CNVItem*> table(CNVItemArray::kMaxIds, nullptr);
    for (const auto& def : *m_defs)
        if (def.Id() >= 0 && def.Id() < CNVItemArray::kMaxIds) table[static_cast<size_t>(def.Id())] = &def;
    if (m_jobs.IsStopRequested()) return m_jobs.PostJobStopped();

    CNVItemArray entries;
    entries.Reserve(m_target->GetSize());
    m_jobs.SetRange(m_target->GetSize());
    int position = 0;
    for (const auto& listed : *m_target) {
        const int id = listed.Id();
        const CNVItem* def = (id >= 0 && id < CNVItemArray::kMaxIds) ? table[static_cast<size_t>(id)] : nullptr;
        if (!def || def->Name().empty()) {
            m_jobs.Note(FillText(TrText("CNVDefineReader", "NV ITEM %1 is not defined in NVItemsDefine.def file."),
                         {std::to_string(id)}));
        } else {
            CNVItem entry = listed;
            entry.SetName(def->Name());
            entry.SetFileName(def->FileName());
            entry.SetGroup(def->Group());
            entry.Resize(def->Size());
            entry.SetTypeName(def->TypeName());
            entry.SetCount(def->Count());
            entries.Add(std::move(entry));
            ++position;
        }
        if (m_jobs.IsStopRequested()) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(position);
    }
    m_out->RemoveAll();
    m_out->Append(entries);
    return m_jobs.PostJobCompleted();
}
