#include "sim/sim_nv_store.h"

#include "files/safe_file_writer.h"

#include <cstdio>
#include <fstream>
#include <sstream>

void CSimNvStore::SetDefinitions(const CNVItemArray& defs) {
    m_defs = defs;
    m_shapes.clear();
    for (int i = 0; i < m_defs.GetSize(); ++i) {
        auto [it, added] = m_shapes.try_emplace(m_defs[i].Id());
        if (added) it->second.def = i;
        if (m_defs[i].Count() > 0) it->second.array = true;
    }
}

void CSimNvStore::LoadRecords(const CNVItemArray& items) {
    for (const auto& record : items)
        if (record.Active() == CNVItem::kActive)
            Put(record.Id(), record.Count() > 0 ? record.Index() : kPlain, record.Value());
}

bool CSimNvStore::IsArray(int id) const {
    const auto shape = m_shapes.find(id);
    if (shape != m_shapes.end()) return shape->second.array;
    const auto it = m_values.lower_bound({id, 0});
    return it != m_values.end() && it->first.first == id;
}

int CSimNvStore::DefinedSize(int id) const {
    const auto shape = m_shapes.find(id);
    return shape == m_shapes.end() ? -1 : m_defs[shape->second.def].Size();
}

int CSimNvStore::DefinedCount(int id) const {
    const auto shape = m_shapes.find(id);
    return shape == m_shapes.end() ? -1 : m_defs[shape->second.def].Count();
}

const std::vector<uint8_t>* CSimNvStore::Find(int id, int index) const {
    const auto it = m_values.find({id, index});
    return it == m_values.end() ? nullptr : &it->second;
}

void CSimNvStore::Put(int id, int index, std::vector<uint8_t> value) { m_values[{id, index}] = std::move(value); }

void CSimNvStore::ExportRecords(CNVItemArray& out) const {
    out.RemoveAll();
    for (const auto& [key, value] : m_values) {
        const auto [id, index] = key;
        CNVItem record;
        const auto shape = m_shapes.find(id);
        if (shape != m_shapes.end()) {
            const CNVItem& def = m_defs[shape->second.def];
            record.SetName(def.Name());
            record.SetGroup(def.Group());
            record.SetFileName(def.FileName());
            record.SetTypeName(def.TypeName());
            record.SetCount(def.Count());
        } else if (index >= 0) {
            int count = 0;
            for (auto it = m_values.lower_bound({id, 0}); it != m_values.end() && it->first.first == id; ++it)
                count = it->first.second + 1;
            record.SetCount(count);
        }
        record.SetId(id);
        record.SetIndex(index);
        record.SetValue(value);
        const int size = DefinedSize(id);
        if (size >= 0) record.Resize(size);
        record.SetActive(CNVItem::kActive);
        out.Add(std::move(record));
    }
}

bool CSimNvStore::LoadText(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Can't open " + path + ".";
        return false;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        int id = 0, index = 0, used = 0;
        const bool good = std::sscanf(line.c_str(), "%d;%d;%n", &id, &index, &used) == 2 && used > 0 && id >= 0 &&
                          id < CNVItemArray::kMaxIds && index >= kPlain && index <= 255;
        const std::string hex = good ? line.substr(static_cast<size_t>(used)) : std::string();
        std::vector<uint8_t> value;
        bool hexGood = hex.size() % 2 == 0 && hex.size() <= 2 * 128 &&
                       hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        for (size_t i = 0; hexGood && i < hex.size(); i += 2)
            value.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        if (!good || !hexGood) {
            error = path + ", line " + std::to_string(lineNumber) + ": not an \"id;index;hex\" line.";
            return false;
        }
        Put(id, index, std::move(value));
    }
    if (in.bad()) {
        error = "Can't read " + path + ".";
        return false;
    }
    return true;
}

bool CSimNvStore::SaveText(const std::string& path, std::string& error) const {
    std::ostringstream text;
    text << "# id;index;value\n";
    char hex[3];
    for (const auto& [key, value] : m_values) {
        text << key.first << ';' << key.second << ';';
        for (uint8_t b : value) {
            std::snprintf(hex, sizeof hex, "%02x", b);
            text << hex;
        }
        text << '\n';
    }
    std::string reason;
    if (CSafeFileWriter::WriteWholeFile(path, text.str(), reason)) return true;
    error = "Can't write " + path + ": " + reason;
    return false;
}
