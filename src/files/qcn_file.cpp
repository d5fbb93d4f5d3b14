#include "files/qcn_file.h"

#include "files/gsf_notes.h"

#include "files/byte_reader.h"
#include "jobs/text_translation.h"

#include <gsf/gsf.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {
void Unref(void* object) {
    if (object) g_object_unref(object);
}

// Closes an output that is still open; false when the close failed.
bool CloseOutput(GsfOutput* output) {
    return !output || gsf_output_is_closed(output) || gsf_output_close(output);
}

bool IsStorage(GsfInput* child) {
    return child && GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
}

// The first child of parent when it is a storage.
GsfInfile* FirstStorage(GsfInfile* parent) {
    if (!parent || gsf_infile_num_children(parent) < 1) return nullptr;
    GsfInput* child = gsf_infile_child_by_index(parent, 0);
    if (IsStorage(child)) return GSF_INFILE(child);
    Unref(child);
    return nullptr;
}
}  // namespace

const SSaveLimits CQcnFile::kLimits = {"QCN", kBlockSize, kBlockSize - 1, 255};

CQcnFile::CQcnFile() { InitGsf(); }

CQcnFile::~CQcnFile() { Release(); }

bool CQcnFile::Fail(const std::string& reason) {
    if (m_error.empty()) m_error = m_gsfNotes.empty() ? reason : reason + "\nlibgsf: " + m_gsfNotes;
    return false;
}

bool CQcnFile::IsDigits(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int CQcnFile::NumberOf(const std::string& name) {
    long value = 0;
    for (char c : name) {
        if (c < '0' || c > '9') break;
        if (value < 100000000) value = value * 10 + (c - '0');
    }
    return static_cast<int>(value);
}

void CQcnFile::Release() {
    for (auto& [id, storage] : m_itemStorages) {
        CloseOutput(storage);
        Unref(storage);
    }
    m_itemStorages.clear();
    m_writtenElements.clear();
    CloseOutput(m_outLevel2);
    Unref(m_outLevel2);
    CloseOutput(m_outLevel1);
    Unref(m_outLevel1);
    if (m_outRoot) CloseOutput(GSF_OUTPUT(m_outRoot));
    Unref(m_outRoot);
    Unref(m_sink);
    m_outLevel2 = m_outLevel1 = m_sink = nullptr;
    m_outRoot = nullptr;
    Unref(m_inItem);
    Unref(m_inLevel2);
    Unref(m_inLevel1);
    Unref(m_inRoot);
    Unref(m_input);
    m_inItem = m_inLevel2 = m_inLevel1 = m_inRoot = nullptr;
    m_input = nullptr;
    m_bytes.clear();
    m_elementsRead = 0;
    m_writer.Cancel();
}

// ---- writing ----

bool CQcnFile::Create(const std::string& path) {
    Release();
    m_error.clear();
    m_path = path;
    // The target's temporary file is made now, so a folder that can't be written fails at once.
    if (!m_writer.Open(path)) return Fail(m_writer.Error());
    m_sink = gsf_output_memory_new();
    m_outRoot = m_sink ? gsf_outfile_msole_new(m_sink) : nullptr;
    if (!m_outRoot) return Fail(TrText("CQcnFile", "the compound file could not be made"));
    return true;
}

bool CQcnFile::CreateLevel(const std::string& name) {
    if (!m_outRoot || m_outLevel2) return Fail(TrText("CQcnFile", "no level to create"));
    GsfOutfile* parent = m_outLevel1 ? GSF_OUTFILE(m_outLevel1) : m_outRoot;
    GsfOutput* level = gsf_outfile_new_child(parent, name.c_str(), TRUE);
    if (!level) return Fail(FillText(TrText("CQcnFile", "the storage %1 could not be made"), {name}));
    (m_outLevel1 ? m_outLevel2 : m_outLevel1) = level;
    return true;
}

bool CQcnFile::CreateItemStorage(int id) {
    if (!m_outLevel2) return Fail(TrText("CQcnFile", "the levels are missing"));
    if (m_itemStorages.count(id)) return true;
    GsfOutput* storage = gsf_outfile_new_child(GSF_OUTFILE(m_outLevel2), std::to_string(id).c_str(), TRUE);
    if (!storage)
        return Fail(FillText(TrText("CQcnFile", "the storage of item %1 could not be made"), {std::to_string(id)}));
    m_itemStorages.emplace(id, storage);
    return true;
}

bool CQcnFile::WriteElement(int id, int index, const std::vector<uint8_t>& value) {
    if (index < 0) index = 0;
    if (value.size() > static_cast<size_t>(kBlockSize))
        return Fail(TrText("CQcnFile", "a value longer than 128 bytes"));
    if (!CreateItemStorage(id)) return false;
    if (!m_writtenElements.emplace(id, index).second)
        return Fail(FillText(TrText("CQcnFile", "NV Item ID = %1 holds element %2 twice.\nNothing was saved."),
                             {std::to_string(id), std::to_string(index)}));
    GsfOutput* stream =
        gsf_outfile_new_child(GSF_OUTFILE(m_itemStorages[id]), std::to_string(index).c_str(), FALSE);
    if (!stream)
        return Fail(FillText(TrText("CQcnFile", "the stream of item %1 could not be made"), {std::to_string(id)}));
    std::vector<uint8_t> bytes;
    bytes.reserve(kStreamSize);
    AppendU16(bytes, static_cast<uint16_t>(id & 0xFFFF));
    AppendU16(bytes, static_cast<uint16_t>(index & 0xFFFF));
    AppendU16(bytes, kBlockSize);
    bytes.insert(bytes.end(), value.begin(), value.end());
    bytes.resize(kStreamSize, 0);
    const bool ok = gsf_output_write(stream, bytes.size(), bytes.data()) && gsf_output_close(stream);
    Unref(stream);
    return ok || Fail(FillText(TrText("CQcnFile", "the stream of item %1 could not be written"), {std::to_string(id)}));
}

bool CQcnFile::WriteItems(const CNVItemArray& list, const Progress& progress) {
    for (int i = 0; i < list.GetSize(); ++i) {
        if (progress) progress(i);
        const CNVItem& item = list[i];
        if (item.Active() != CNVItem::kActive) continue;
        if (!WriteElement(item.Id(), item.Index(), item.Value())) return false;
    }
    return true;
}

// ---- reading ----

bool CQcnFile::Open(const std::string& path) {
    Release();
    m_error.clear();
    m_path = path;
    std::string reason;
    if (!CByteReader::ReadFile(path, m_bytes, reason)) return Fail(reason);
    return OpenInput(m_bytes.data(), m_bytes.size());
}

bool CQcnFile::OpenMemory(const uint8_t* data, size_t size) {
    Release();
    m_error.clear();
    m_path.clear();
    return OpenInput(data, size);
}

bool CQcnFile::OpenInput(const uint8_t* data, size_t size) {
    m_gsfNotes.clear();
    CGsfNotesScope notes(m_gsfNotes);
    m_input = gsf_input_memory_new(data, static_cast<gsf_off_t>(size), FALSE);
    GError* error = nullptr;
    m_inRoot = m_input ? gsf_infile_msole_new(m_input, &error) : nullptr;
    if (!m_inRoot) {
        const std::string detail = error && error->message ? error->message : "";
        if (error) g_error_free(error);
        return Fail(detail.empty() ? TrText("CQcnFile", "It is not a compound file.")
                                   : FillText(TrText("CQcnFile", "It is not a compound file (%1)."), {detail}));
    }
    return true;
}

bool CQcnFile::OpenFirstLevels() {
    CGsfNotesScope notes(m_gsfNotes);
    Unref(m_inLevel1);
    Unref(m_inLevel2);
    m_inLevel1 = FirstStorage(m_inRoot);
    m_inLevel2 = FirstStorage(m_inLevel1);
    if (!m_inLevel1 || !m_inLevel2)
        return Fail(TrText("CQcnFile", "It holds no storage of items: its first two levels are not storages."));
    return true;
}

bool CQcnFile::ListItemStorages(std::vector<std::string>& names) {
    CGsfNotesScope notes(m_gsfNotes);
    names.clear();
    if (!m_inLevel2) return Fail(TrText("CQcnFile", "the levels are not open"));
    const int n = gsf_infile_num_children(m_inLevel2);
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(m_inLevel2, i);
        if (!name || !IsDigits(name)) break;
        GsfInput* child = gsf_infile_child_by_index(m_inLevel2, i);
        if (!child) return Fail(FillText(TrText("CQcnFile", "The storage %1 can't be opened."), {name}));
        const bool storage = IsStorage(child);
        Unref(child);
        if (!storage) break;
        names.emplace_back(name);
    }
    return true;
}

bool CQcnFile::OpenItemStorage(const std::string& name) {
    CGsfNotesScope notes(m_gsfNotes);
    Unref(m_inItem);
    m_inItem = nullptr;
    m_itemName = name;
    if (!m_inLevel2) return Fail(TrText("CQcnFile", "the levels are not open"));
    GsfInput* child = gsf_infile_child_by_name(m_inLevel2, name.c_str());
    if (!IsStorage(child)) {
        Unref(child);
        return Fail(FillText(TrText("CQcnFile", "The storage of item %1 can't be opened."), {name}));
    }
    m_inItem = GSF_INFILE(child);
    return true;
}

bool CQcnFile::ListStreams(std::vector<std::string>& names) {
    CGsfNotesScope notes(m_gsfNotes);
    names.clear();
    if (!m_inItem) return Fail(TrText("CQcnFile", "no item storage is open"));
    const int n = gsf_infile_num_children(m_inItem);
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(m_inItem, i);
        if (!name || !IsDigits(name)) continue;
        GsfInput* child = gsf_infile_child_by_index(m_inItem, i);
        if (!child)
            return Fail(FillText(TrText("CQcnFile", "The stream %1 of item %2 can't be opened."), {name, m_itemName}));
        const bool stream = !IsStorage(child);
        Unref(child);
        if (stream) names.emplace_back(name);
    }
    return true;
}

bool CQcnFile::ReadElement(const std::string& name, SElement& element) {
    CGsfNotesScope notes(m_gsfNotes);
    element = SElement{};
    element.block.assign(kBlockSize, 0);
    if (!m_inItem) return Fail(TrText("CQcnFile", "no item storage is open"));
    if (m_elementsRead >= m_maxElements)
        return Fail(FillText(TrText("CQcnFile",
                                    "The file holds more than the %1 elements the definitions can hold: "
                                    "the stream %2 of item %3 is one too many."),
                             {std::to_string(m_maxElements), name, m_itemName}));
    GsfInput* stream = gsf_infile_child_by_name(m_inItem, name.c_str());
    if (!stream)
        return Fail(FillText(TrText("CQcnFile", "The stream %1 of item %2 can't be opened."), {name, m_itemName}));
    const gsf_off_t size = gsf_input_size(stream);
    uint8_t header[6];
    bool ok = size >= 6 && gsf_input_read(stream, sizeof header, header) != nullptr;
    if (ok) {
        element.id = static_cast<uint16_t>(header[0] | (header[1] << 8));
        element.index = static_cast<uint16_t>(header[2] | (header[3] << 8));
        element.length = static_cast<uint16_t>(header[4] | (header[5] << 8));
        const size_t take = static_cast<size_t>(std::min<gsf_off_t>(size - 6, kBlockSize));
        ok = take == 0 || gsf_input_read(stream, take, element.block.data()) != nullptr;
    }
    Unref(stream);
    if (!ok)
        return Fail(FillText(TrText("CQcnFile",
                                    "The stream %1 of item %2 is shorter than its 6 header bytes "
                                    "or can't be read."),
                             {name, m_itemName}));
    ++m_elementsRead;
    return true;
}

bool CQcnFile::CommitAndClose(const Progress& progress) {
    auto step = [&](int position) {
        if (progress) progress(position);
    };
    bool ok = true;
    if (m_outRoot) {
        // Children first: a storage is complete only when everything in it is closed.
        step(1);
        for (auto& [id, storage] : m_itemStorages) ok = CloseOutput(storage) && ok;
        step(2);
        ok = CloseOutput(m_outLevel2) && ok;
        step(3);
        ok = CloseOutput(m_outLevel1) && ok;
        step(4);
        ok = CloseOutput(GSF_OUTPUT(m_outRoot)) && ok;  // also closes the memory sink
        step(5);
        if (!ok) Fail(TrText("CCompoundFile", "The compound file could not be completed."));
        if (ok) {
            const auto* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(m_sink));
            const auto size = static_cast<size_t>(gsf_output_size(m_sink));
            ok = bytes && m_writer.Write(bytes, size) && m_writer.Commit();
            if (!ok)
                Fail(m_writer.Error().empty() ? TrText("CSafeFileWriter", "The file could not be written.")
                                              : m_writer.Error());
        }
    } else {
        for (int position = 1; position <= 5; ++position) step(position);
    }
    step(6);
    Release();
    step(7);
    return ok && m_error.empty();
}
