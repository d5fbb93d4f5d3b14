#include "doc/undefined_records.h"

#include "doc/doc_files.h"
#include "jobs/text_translation.h"

void CUndefinedRecords::Add(int id, const std::vector<uint8_t>& value) { Add(id, m_next[id], value); }

void CUndefinedRecords::Add(int id, int index, const std::vector<uint8_t>& value) {
    int& next = m_next[id];
    if (index >= next) next = index + 1;
    CNVItem record = LoadedRecord(id, value);
    record.SetIndex(index);
    const std::string name = "NV Item " + std::to_string(id);
    record.SetName(index > 0 ? ElementName(name, index) : name);
    record.SetGroup(kGroup);
    m_records.Add(std::move(record));
}

void CUndefinedRecords::MoveInto(CNVItemArray& loaded) {
    loaded.Reserve(loaded.GetSize() + m_records.GetSize());
    for (CNVItem& r : m_records) loaded.Add(std::move(r));
    m_records.RemoveAll();
    m_next.clear();
}

std::string CUndefinedRecords::Message() const {
    return m_records.IsEmpty() ? std::string() : Message(m_records[0].Id(), m_records.GetSize());
}

std::string CUndefinedRecords::Message(int firstId, int count) {
    if (count <= 0) return {};
    const std::string first = NotDefinedMessage(firstId);
    if (count == 1) return first;
    return FillText(TrText("CUndefinedRecords", "%1\nand %2 more"), {first, std::to_string(count - 1)});
}
