#include "files/qcn_file.h"

#include "files/byte_reader.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <utility>

using Cfb::kNoEntry;

const SSaveLimits CQcnFile::kLimits = {"QCN", kBlockSize, kBlockSize - 1, 255};

CQcnFile::CQcnFile() = default;

CQcnFile::~CQcnFile() { Release(); }

bool CQcnFile::Fail(const std::string& reason) {
    if (m_error.empty()) m_error = reason;
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
    m_out.reset();
    m_levels = 0;
    m_itemStorages.clear();
    m_writtenElements.clear();
    m_in.reset();
    m_inLevel2 = m_inItem = kNoEntry;
    m_bytes.clear();
    m_bytes.shrink_to_fit();
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
    m_out = std::make_unique<CCompoundWriter>();
    return true;
}

bool CQcnFile::CreateLevel(const std::string& name) {
    if (!m_out || m_levels >= 2) return Fail(TrText("CQcnFile", "no level to create"));
    m_outLevel2 = m_out->AddStorage(m_levels == 0 ? CCompoundWriter::kRoot : m_outLevel2, name);
    ++m_levels;
    return true;
}

bool CQcnFile::CreateItemStorage(int id) {
    if (!m_out || m_levels < 2) return Fail(TrText("CQcnFile", "the levels are missing"));
    if (!m_itemStorages.count(id)) m_itemStorages.emplace(id, m_out->AddStorage(m_outLevel2, std::to_string(id)));
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
    uint8_t bytes[kStreamSize] = {};
    const uint16_t words[3] = {static_cast<uint16_t>(id & 0xFFFF), static_cast<uint16_t>(index & 0xFFFF), kBlockSize};
    for (int w = 0; w < 3; ++w) Cfb::SetU16(bytes + 2 * w, words[w]);
    std::copy(value.begin(), value.end(), bytes + 6);
    // A 134-byte stream lives in the mini stream: the writer copies it now.
    m_out->AddStream(m_itemStorages[id], std::to_string(index), bytes, sizeof bytes);
    return true;
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
    m_in = std::make_unique<CCompoundReader>();
    if (m_in->Open(data, size)) return true;
    const std::string reason = m_in->Error();
    m_in.reset();
    return Fail(reason);
}

bool CQcnFile::OpenFirstLevels() {
    m_inLevel2 = kNoEntry;
    // The first child of a storage, when it is a storage itself.
    auto first = [this](uint32_t storage) {
        if (storage == kNoEntry) return kNoEntry;
        const auto& children = m_in->Entry(storage).children;
        return !children.empty() && m_in->Entry(children.front()).storage ? children.front() : kNoEntry;
    };
    if (m_in) m_inLevel2 = first(first(CCompoundReader::kRoot));
    if (m_inLevel2 == kNoEntry)
        return Fail(TrText("CQcnFile", "It holds no storage of items: its first two levels are not storages."));
    return true;
}

bool CQcnFile::ListItemStorages(std::vector<std::string>& names) {
    names.clear();
    if (!m_in || m_inLevel2 == kNoEntry) return Fail(TrText("CQcnFile", "the levels are not open"));
    for (uint32_t child : m_in->Entry(m_inLevel2).children) {
        std::string name = m_in->NameOf(child);
        if (!IsDigits(name) || !m_in->Entry(child).storage) break;
        names.push_back(std::move(name));
    }
    return true;
}

bool CQcnFile::OpenItemStorage(const std::string& name) {
    m_itemName = name;
    m_inItem = m_in && m_inLevel2 != kNoEntry ? m_in->FindChild(m_inLevel2, name) : kNoEntry;
    if (!m_in || m_inLevel2 == kNoEntry) return Fail(TrText("CQcnFile", "the levels are not open"));
    if (m_inItem == kNoEntry || !m_in->Entry(m_inItem).storage) {
        m_inItem = kNoEntry;
        return Fail(FillText(TrText("CQcnFile", "The storage of item %1 can't be opened."), {name}));
    }
    return true;
}

bool CQcnFile::ListStreams(std::vector<std::string>& names) {
    names.clear();
    if (m_inItem == kNoEntry) return Fail(TrText("CQcnFile", "no item storage is open"));
    for (uint32_t child : m_in->Entry(m_inItem).children) {
        std::string name = m_in->NameOf(child);
        if (IsDigits(name) && !m_in->Entry(child).storage) names.push_back(std::move(name));
    }
    return true;
}

bool CQcnFile::ReadElement(const std::string& name, SElement& element) {
    element = SElement{};
    element.block.assign(kBlockSize, 0);
    if (m_inItem == kNoEntry) return Fail(TrText("CQcnFile", "no item storage is open"));
    if (m_elementsRead >= m_maxElements)
        return Fail(FillText(TrText("CQcnFile",
                                    "The file holds more than the %1 elements the definitions can hold: "
                                    "the stream %2 of item %3 is one too many."),
                             {std::to_string(m_maxElements), name, m_itemName}));
    const uint32_t stream = m_in->FindChild(m_inItem, name);
    if (stream == kNoEntry || m_in->Entry(stream).storage)
        return Fail(FillText(TrText("CQcnFile", "The stream %1 of item %2 can't be opened."), {name, m_itemName}));
    std::vector<uint8_t> bytes;
    if (!m_in->ReadStream(stream, bytes, kStreamSize) || bytes.size() < 6)
        return Fail(FillText(TrText("CQcnFile",
                                    "The stream %1 of item %2 is shorter than its 6 header bytes "
                                    "or can't be read."),
                             {name, m_itemName}));
    element.id = Cfb::GetU16(bytes.data());
    element.index = Cfb::GetU16(bytes.data() + 2);
    element.length = Cfb::GetU16(bytes.data() + 4);
    std::copy(bytes.begin() + 6, bytes.end(), element.block.begin());
    ++m_elementsRead;
    return true;
}

bool CQcnFile::CommitAndClose(const Progress& progress) {
    auto step = [&](int position) {
        if (progress) progress(position);
    };
    bool ok = true;
    step(1);
    if (m_out) {
        // The steps the caller shows: ordering the directory, writing, replacing the file.
        step(2);
        ok = m_out->Finish([this](const uint8_t* data, size_t n) { return m_writer.Write(data, n); });
        step(3);
        if (!ok && m_writer.Error().empty()) Fail(m_out->Error());
        step(4);
        ok = ok && m_writer.Commit();
        step(5);
        if (!ok)
            Fail(m_writer.Error().empty() ? TrText("CSafeFileWriter", "The file could not be written.")
                                          : m_writer.Error());
    } else {
        for (int position = 2; position <= 5; ++position) step(position);
    }
    step(6);
    Release();
    step(7);
    return ok && m_error.empty();
}
