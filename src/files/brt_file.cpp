#include "files/brt_file.h"

#include "jobs/text_translation.h"

#include <algorithm>

const SSaveLimits CBrtFile::kLimits = {"BRT", kSlotSize, kSlotSize - 1, -1};
const SSaveLimits CBrtFile::kRawLimits = {"BRT", kSlotSize * static_cast<int>(kMaxSlots), kSlotSize - 1, -1};

std::vector<CBrtFile::SGroup> CBrtFile::GroupRecords(const CNVItemArray& list) {
    std::vector<SGroup> groups;
    const int n = list.GetSize();
    for (int i = 0; i < n; ++i) {
        const CNVItem& r = list[i];
        if (r.Active() != CNVItem::kActive) continue;
        int last = i;
        if (r.Count() > 0) {
            while (last + 1 < n && last + 1 - i < r.Count() && list[last + 1].Id() == r.Id()) ++last;
        }
        groups.push_back({i, last});
        i = last;
    }
    return groups;
}

std::vector<uint8_t> CBrtFile::RecordData(const CNVItemArray& list, const SGroup& group) {
    // Every byte of each value goes in, those past the definition too.
    const CNVItem& first = list[group.first];
    const int n = group.last - group.first + 1;
    if (first.Count() == 0) {
        const auto& v = first.Value();
        std::vector<uint8_t> data(std::max<size_t>(1, (v.size() + kSlotSize - 1) / kSlotSize) * kSlotSize, 0);
        std::copy(v.begin(), v.end(), data.begin());
        return data;
    }
    std::vector<uint8_t> data(static_cast<size_t>(kSlotSize) * static_cast<size_t>(n), 0);
    if (n == 1) {
        // One stored element: a zero byte, then the value.
        const auto& v = first.Value();
        std::copy_n(v.begin(), std::min(v.size(), static_cast<size_t>(kSlotSize - 1)), data.begin() + 1);
        return data;
    }
    for (int k = 0; k < n; ++k) {
        const auto& v = list[group.first + k].Value();
        std::copy_n(v.begin(), std::min(v.size(), static_cast<size_t>(kSlotSize)),
                    data.begin() + static_cast<ptrdiff_t>(k) * kSlotSize);
    }
    return data;
}

bool CBrtFile::Create(const std::string& path) { return CreateFile(path); }

bool CBrtFile::WriteCount(uint32_t n) { return m_writer.WriteU32(n); }

bool CBrtFile::WriteRecord(uint32_t id, const std::vector<uint8_t>& data) {
    return m_writer.WriteU32(id) && m_writer.WriteU32(static_cast<uint32_t>(data.size())) && m_writer.Write(data);
}

bool CBrtFile::Commit() {
    if (m_writer.Commit()) return true;
    m_error = m_writer.Error();
    return false;
}

bool CBrtFile::Open(const std::string& path) {
    m_count = m_read = 0;
    return ReadWholeFile(path);
}

void CBrtFile::OpenMemory(const uint8_t* data, size_t size) {
    m_count = m_read = 0;
    UseBytes(data, size);
}

bool CBrtFile::ReadCount(uint32_t& n) {
    if (!m_reader.ReadU32(n)) return Fail(TrText("CBrtFile", "The file is shorter than its record count."));
    const uint64_t room = m_reader.Remaining() / kMinRecordSize;
    if (n > room)
        return Fail(FillText(TrText("CBrtFile", "The file promises %1 records, but its %2 bytes can hold at most %3."),
                             {std::to_string(n), std::to_string(m_reader.Size()), std::to_string(room)}));
    if (n > m_maxRecords)
        return Fail(
            FillText(TrText("CBrtFile", "The file promises %1 records, more than the %2 the definitions can hold."),
                     {std::to_string(n), std::to_string(m_maxRecords)}));
    m_count = n;
    m_read = 0;
    return true;
}

bool CBrtFile::ReadRecord(uint32_t& id, std::vector<uint8_t>& data) {
    const std::string number = std::to_string(m_read + 1);
    const std::string count = std::to_string(m_count);
    uint32_t size = 0;
    if (m_read >= m_count) return Fail(FillText(TrText("CBrtFile", "All %1 records have been read."), {count}));
    if (!m_reader.ReadU32(id) || !m_reader.ReadU32(size))
        return Fail(FillText(TrText("CBrtFile", "The file ends inside record %1 of %2."), {number, count}));
    const std::string idText = std::to_string(id);
    const std::string sizeText = std::to_string(size);
    if (size == 0)
        return Fail(
            FillText(TrText("CBrtFile", "The record %1 of %2 (ID %3) holds no data."), {number, count, idText}));
    if (size % kSlotSize != 0)
        return Fail(
            FillText(TrText("CBrtFile", "The data size %1 of record %2 of %3 (ID %4) is not a multiple of 128."),
                     {sizeText, number, count, idText}));
    if (size / kSlotSize > kMaxSlots)
        return Fail(FillText(TrText("CBrtFile", "The data size %1 of record %2 of %3 (ID %4) is more than %5 slots."),
                             {sizeText, number, count, idText, std::to_string(kMaxSlots)}));
    data.clear();
    if (!m_reader.ReadBytes(size, data))
        return Fail(FillText(TrText("CBrtFile",
                                    "The file ends inside record %1 of %2 (ID %3): it holds %4 data bytes, "
                                    "the file only %5 more."),
                             {number, count, idText, sizeText, std::to_string(m_reader.Remaining())}));
    ++m_read;
    return true;
}
