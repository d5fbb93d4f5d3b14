#include "doc/numbered_state.h"

#include "model/nv_item_array.h"

#include <algorithm>
#include <cstddef>

const char* BackupOriginName(EBackupOrigin origin) {
    switch (origin) {
    case EBackupOrigin::Brt: return "brt";
    case EBackupOrigin::Cnv: return "cnv";
    case EBackupOrigin::TessivaQcn: return "tessiva";
    case EBackupOrigin::Numbered: return "numbered";
    case EBackupOrigin::Xqcn: return "xqcn";
    case EBackupOrigin::None: break;
    }
    return "";
}

uint64_t CNumberedState::Key(int subscription, uint32_t id, int index) {
    // Index -1 and 0..255 fit in 9 bits once shifted by one.
    return (static_cast<uint64_t>(subscription & 0xFF) << 48) | (static_cast<uint64_t>(id) << 9) |
           static_cast<uint64_t>((index + 1) & 0x1FF);
}

void CNumberedState::Reset(EBackupOrigin origin) {
    m_origin = origin;
    m_backup = SNumberedBackup();
    m_keptAside.clear();
    m_loaded.clear();
}

void CNumberedState::Take(EBackupOrigin origin, SNumberedBackup&& backup, std::vector<SNumberedRecord>&& keptAside) {
    m_origin = origin;  // what Remember() learnt stays
    m_backup = std::move(backup);
    m_backup.records.clear();
    m_keptAside = std::move(keptAside);
}

void CNumberedState::Remember(const SNumberedRecord& record, int index) {
    m_loaded.emplace(Key(record.subscription, record.id, index), record);
}

SNumberedBackup CNumberedState::BackupFor(const CNVItemArray& list) const {
    SNumberedBackup backup = m_backup;
    backup.records.reserve(static_cast<size_t>(list.GetSize()) + m_keptAside.size());
    for (const CNVItem& item : list) {
        if (item.Active() != CNVItem::kActive) continue;
        const bool element = item.Count() > 0;
        // A plain record's index is -1, a repeat of an undefined item's its occurrence.
        const int index = element || item.Index() > 0 ? item.Index() : -1;
        SNumberedRecord record;
        const auto found = m_loaded.find(Key(item.Subscription(), static_cast<uint32_t>(item.Id()), index));
        if (found != m_loaded.end()) record = found->second;
        record.id = static_cast<uint32_t>(item.Id());
        record.subscription = item.Subscription();
        // Bytes past the value stay as read: the definition may know less of the item than the phone.
        size_t at = 0;
        if (element) record.data[at++] = static_cast<uint8_t>(index);
        const std::vector<uint8_t>& value = item.Value();
        const size_t n = std::min(value.size(), record.data.size() - at);
        std::copy_n(value.begin(), n, record.data.begin() + static_cast<std::ptrdiff_t>(at));
        backup.records.push_back(record);
    }
    backup.records.insert(backup.records.end(), m_keptAside.begin(), m_keptAside.end());
    return backup;
}
