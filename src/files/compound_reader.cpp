#include "files/compound_reader.h"

#include "jobs/text_translation.h"

#include <algorithm>
#include <cstring>

using namespace Cfb;

namespace {
// Owners of sectors besides directory entries (whose owner is their number).
constexpr uint32_t kNobody = 0xFFFFFFFF;
constexpr uint32_t kOwnFat = 0xFFFFFFFE;
constexpr uint32_t kOwnDifat = 0xFFFFFFFD;
constexpr uint32_t kOwnDirectory = 0xFFFFFFFC;
constexpr uint32_t kOwnMiniFat = 0xFFFFFFFB;

std::string Tr(const char* text) { return TrText("CCompoundFile", text); }

uint64_t SectorsFor(uint64_t bytes, uint64_t unit) { return (bytes + unit - 1) / unit; }
}  // namespace

bool CCompoundReader::Fail(const std::string& reason) {
    if (m_error.empty()) m_error = reason;
    return false;
}

const uint8_t* CCompoundReader::SectorData(uint32_t sector) const {
    return m_data + (static_cast<uint64_t>(sector) + 1) * m_sectorSize;
}

size_t CCompoundReader::SectorBytes(uint32_t sector) const {
    const uint64_t begin = (static_cast<uint64_t>(sector) + 1) * m_sectorSize;
    return begin >= m_size ? 0 : static_cast<size_t>(std::min<uint64_t>(m_sectorSize, m_size - begin));
}

std::string CCompoundReader::PathOf(uint32_t id) const {
    std::string path;
    for (uint32_t at = id; at != kRoot && at < m_entries.size(); at = m_entries[at].parent)
        path = path.empty() ? NameOf(at) : NameOf(at) + "/" + path;
    return path;
}

std::string CCompoundReader::OwnerName(uint32_t owner) const {
    switch (owner) {
    case kOwnFat: return Tr("the FAT");
    case kOwnDifat: return Tr("the FAT's list (DIFAT)");
    case kOwnDirectory: return Tr("the directory");
    case kOwnMiniFat: return Tr("the mini FAT");
    case kRoot: return Tr("the mini stream");
    default: return FillText(Tr("the stream %1"), {PathOf(owner)});
    }
}

bool CCompoundReader::Claim(std::vector<uint32_t>& owners, uint32_t sector, uint32_t owner) {
    // Names are made only for the message: building them for every sector would cost more
    // than the check.
    auto what = [&] { return OwnerName(owner); };
    if (sector >= owners.size())
        return Fail(FillText(Tr("The chain of %1 leads to sector %2, outside the file; the compound file is damaged."),
                             {what(), std::to_string(sector)}));
    uint32_t& slot = owners[sector];
    if (slot == owner)
        return Fail(FillText(Tr("The chain of %1 runs in a circle (sector %2); the compound file is damaged."),
                             {what(), std::to_string(sector)}));
    if (slot != kNobody)
        return Fail(FillText(Tr("%1 and %2 both claim sector %3; the compound file is damaged."),
                             {what(), OwnerName(slot), std::to_string(sector)}));
    slot = owner;
    return true;
}

bool CCompoundReader::Open(const uint8_t* data, size_t size) {
    *this = CCompoundReader();
    m_data = data;
    m_size = size;
    return ReadHeader() && ReadFat() && ReadDirectory() && ReadTree() && CheckStreams();
}

bool CCompoundReader::ReadHeader() {
    if (m_size < kHeaderSize || std::memcmp(m_data, kSignature, sizeof kSignature) != 0)
        return Fail(Tr("It is not a compound file (its first bytes are not a compound file's signature)."));
    const uint16_t major = GetU16(m_data + Header::kMajorVersion);
    m_shift = GetU16(m_data + Header::kSectorShift);
    if (!((major == 3 && m_shift == 9) || (major == 4 && m_shift == 12)))
        return Fail(FillText(Tr("It is not a readable compound file (version %1 with sectors of 2^%2 bytes)."),
                             {std::to_string(major), std::to_string(m_shift)}));
    if (GetU16(m_data + Header::kMiniSectorShift) != kMiniShift ||
        GetU32(m_data + Header::kMiniCutoff) != kMiniCutoff || GetU16(m_data + Header::kByteOrder) != 0xFFFE)
        return Fail(Tr("It is not a readable compound file (its header's byte order, mini sector size or mini "
                       "stream cutoff is not the format's)."));
    m_sectorSize = size_t{1} << m_shift;
    m_wideSizes = major == 4;
    const uint64_t sectors = m_size > m_sectorSize ? SectorsFor(m_size - m_sectorSize, m_sectorSize) : 0;
    m_sectorCount = static_cast<uint32_t>(std::min<uint64_t>(sectors, kMaxRegular + uint64_t{1}));
    m_owners.assign(m_sectorCount, kNobody);
    return true;
}

bool CCompoundReader::ReadFat() {
    const uint32_t fatCount = GetU32(m_data + Header::kFatSectors);
    if (fatCount > m_sectorCount)
        return Fail(FillText(Tr("The header claims %1 FAT sectors, more than the file holds; the compound file is damaged."),
                             {std::to_string(fatCount)}));
    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    for (size_t i = 0; i < kHeaderDifat && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(GetU32(m_data + Header::kDifat + 4 * i));
    const size_t perDifat = m_sectorSize / 4 - 1;
    uint32_t next = GetU32(m_data + Header::kFirstDifat);
    while (fatSectors.size() < fatCount) {
        if (next == kEndOfChain || next == kFree)
            return Fail(FillText(Tr("The FAT's list (DIFAT) ends after %1 of %2 FAT sectors; the compound file is damaged."),
                                 {std::to_string(fatSectors.size()), std::to_string(fatCount)}));
        if (!Claim(m_owners, next, kOwnDifat) || SectorBytes(next) < m_sectorSize)
            return Fail(Tr("The FAT's list (DIFAT) runs past the end of the file; the compound file is damaged."));
        const uint8_t* p = SectorData(next);
        for (size_t i = 0; i < perDifat && fatSectors.size() < fatCount; ++i) fatSectors.push_back(GetU32(p + 4 * i));
        next = GetU32(p + 4 * perDifat);
    }
    const size_t perSector = m_sectorSize / 4;
    m_fat.assign(fatSectors.size() * perSector, kFree);
    for (size_t f = 0; f < fatSectors.size(); ++f) {
        if (!Claim(m_owners, fatSectors[f], kOwnFat)) return false;
        const uint8_t* p = SectorData(fatSectors[f]);
        const size_t have = SectorBytes(fatSectors[f]) / 4;
        for (size_t i = 0; i < have; ++i) m_fat[f * perSector + i] = GetU32(p + 4 * i);
    }
    return true;
}

bool CCompoundReader::WalkToEnd(uint32_t start, uint32_t owner, std::vector<uint32_t>& sectors) {
    for (uint32_t at = start; at != kEndOfChain; at = m_fat[at]) {
        if (!Claim(m_owners, at, owner)) return false;
        if (at >= m_fat.size())
            return Fail(FillText(Tr("The FAT does not reach sector %1 of %2; the compound file is damaged."),
                                 {std::to_string(at), OwnerName(owner)}));
        sectors.push_back(at);
    }
    return true;
}

bool CCompoundReader::ReadDirectory() {
    if (!WalkToEnd(GetU32(m_data + Header::kFirstDir), kOwnDirectory, m_dirSectors))
        return false;
    for (uint32_t s : m_dirSectors)
        if (SectorBytes(s) < m_sectorSize)
            return Fail(Tr("The directory runs past the end of the file; the compound file is damaged."));
    m_entryCount = static_cast<uint32_t>(m_dirSectors.size() * (m_sectorSize / kEntrySize));
    if (m_entryCount == 0 || EntryData(kRoot)[Entry::kType] != Entry::kRoot)
        return Fail(Tr("The directory has no root entry; the compound file is damaged."));
    std::vector<uint32_t> miniFatSectors;
    const uint32_t firstMiniFat = GetU32(m_data + Header::kFirstMiniFat);
    if (firstMiniFat != kFree && !WalkToEnd(firstMiniFat, kOwnMiniFat, miniFatSectors))
        return false;
    const size_t perSector = m_sectorSize / 4;
    m_miniFat.assign(miniFatSectors.size() * perSector, kFree);
    for (size_t f = 0; f < miniFatSectors.size(); ++f) {
        const uint8_t* p = SectorData(miniFatSectors[f]);
        const size_t have = SectorBytes(miniFatSectors[f]) / 4;
        for (size_t i = 0; i < have; ++i) m_miniFat[f * perSector + i] = GetU32(p + 4 * i);
    }
    return true;
}

const uint8_t* CCompoundReader::EntryData(uint32_t id) const {
    const size_t perSector = m_sectorSize / kEntrySize;
    return SectorData(m_dirSectors[id / perSector]) + (id % perSector) * kEntrySize;
}

bool CCompoundReader::ParseEntry(uint32_t id, uint32_t parent) {
    const uint8_t* p = EntryData(id);
    SEntry& e = m_entries[id];
    e.parent = parent;
    const uint8_t type = p[Entry::kType];
    auto where = [&] { return parent == kRoot ? Tr("the root") : PathOf(parent); };
    if (type != Entry::kStorage && type != Entry::kStream)
        return Fail(FillText(Tr("Entry %1 of %2 is neither a storage nor a stream; the compound file is damaged."),
                             {std::to_string(id), where()}));
    const uint16_t nameBytes = GetU16(p + Entry::kNameLength);
    const size_t units = nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0 ? nameBytes / 2 - 1 : 0;
    e.name.resize(units);
    for (size_t i = 0; i < units; ++i) e.name[i] = static_cast<char16_t>(GetU16(p + 2 * i));
    if (e.name.empty())
        return Fail(parent == kRoot ? Tr("An entry of the root has no name.")
                                    : FillText(Tr("An entry of %1 has no name."), {where()}));
    if (!IsValidName(e.name))
        return Fail(FillText(Tr("The name %1 holds a character the format reserves (/ \\ : !); the compound file is damaged."),
                             {PathOf(id)}));
    e.storage = type == Entry::kStorage;
    e.start = GetU32(p + Entry::kStart);
    e.size = m_wideSizes ? GetU64(p + Entry::kSize) : GetU32(p + Entry::kSize);
    return true;
}

bool CCompoundReader::ReadTree() {
    m_entries.resize(m_entryCount);
    std::vector<bool> seen(m_entryCount, false);
    seen[kRoot] = true;
    const uint8_t* root = EntryData(kRoot);
    m_miniStreamSize = m_wideSizes ? GetU64(root + Entry::kSize) : GetU32(root + Entry::kSize);
    m_entries[kRoot].storage = true;
    m_entries[kRoot].start = GetU32(root + Entry::kStart);
    m_entries[kRoot].size = m_miniStreamSize;
    // Storages to list with their depth; each storage's children form a binary tree of
    // siblings, walked with a stack of its own.
    std::vector<std::pair<uint32_t, int>> storages{{kRoot, 0}};
    std::vector<uint32_t> siblings;
    while (!storages.empty()) {
        // Plain names, not a structured binding: the lambda below captures them.
        const uint32_t storage = storages.back().first;
        const int depth = storages.back().second;
        storages.pop_back();
        auto where = [&] { return storage == kRoot ? Tr("the root") : PathOf(storage); };
        std::vector<uint32_t>& children = m_entries[storage].children;
        // In order: a sound tree gives its children sorted, so sorting is needed only for
        // a tree that breaks the order.
        uint32_t at = GetU32(EntryData(storage) + Entry::kChild);
        siblings.clear();
        while (at != kNoEntry || !siblings.empty()) {
            while (at != kNoEntry) {
                if (at >= m_entryCount)
                    return Fail(FillText(
                        Tr("The directory of %1 names entry %2, past its %3 entries; the compound file is damaged."),
                        {where(), std::to_string(at), std::to_string(m_entryCount)}));
                if (seen[at])
                    return Fail(FillText(Tr("The directory reaches entry %1 twice (in %2); the compound file is damaged."),
                                         {std::to_string(at), where()}));
                seen[at] = true;
                if (!ParseEntry(at, storage)) return false;
                siblings.push_back(at);
                at = GetU32(EntryData(at) + Entry::kLeft);
            }
            children.push_back(siblings.back());
            siblings.pop_back();
            at = GetU32(EntryData(children.back()) + Entry::kRight);
        }
        auto before = [this](uint32_t a, uint32_t b) { return CompareNames(m_entries[a].name, m_entries[b].name) < 0; };
        if (!std::is_sorted(children.begin(), children.end(), before))
            std::sort(children.begin(), children.end(), before);
        for (size_t i = 0; i < children.size(); ++i) {
            const SEntry& child = m_entries[children[i]];
            if (i > 0 && CompareNames(m_entries[children[i - 1]].name, child.name) == 0)
                return Fail(
                    FillText(Tr("The name %1 appears twice; the compound file is damaged."), {PathOf(children[i])}));
            if (!child.storage) {
                m_streams.push_back(children[i]);
            } else if (depth + 1 > kMaxDepth) {
                return Fail(FillText(Tr("The storage %1 is nested too deeply; the compound file is damaged."),
                                     {PathOf(children[i])}));
            } else {
                storages.emplace_back(children[i], depth + 1);
            }
        }
    }
    return true;
}

bool CCompoundReader::WalkStream(uint32_t id) {
    const SEntry& e = m_entries[id];
    auto what = [&] { return OwnerName(id); };
    const bool mini = id != kRoot && e.size < kMiniCutoff;
    const uint64_t unit = mini ? kMiniSectorSize : m_sectorSize;
    const std::vector<uint32_t>& table = mini ? m_miniFat : m_fat;
    std::vector<uint32_t>& owners = mini ? m_miniOwners : m_owners;
    const uint64_t needed = SectorsFor(e.size, unit);
    uint32_t at = e.start;
    for (uint64_t n = 0; n < needed; ++n) {
        if (at >= table.size() || (mini && at >= owners.size()))
            return Fail(FillText(Tr("%1 holds %2 bytes, but its chain ends or leaves the file after %3; the "
                                    "compound file is damaged."),
                                 {what(), std::to_string(e.size), std::to_string(n * unit)}));
        if (!Claim(owners, at, id)) return false;
        if (!mini && SectorBytes(at) < std::min<uint64_t>(unit, e.size - n * unit))
            return Fail(FillText(Tr("%1 runs past the end of the file; the compound file is damaged."), {what()}));
        if (id == kRoot) m_miniStream.push_back(at);
        if (n + 1 < needed) at = table[at];
    }
    return true;
}

bool CCompoundReader::CheckStreams() {
    // The mini stream first: small streams are checked against what it holds.
    if (m_miniStreamSize > m_size)
        return Fail(FillText(Tr("The mini stream claims %1 bytes, more than the file holds; the compound file is damaged."),
                             {std::to_string(m_miniStreamSize)}));
    if (!WalkStream(kRoot)) return false;
    // Only whole mini sectors inside the mini stream can be read.
    m_miniOwners.assign(static_cast<size_t>(m_miniStreamSize / kMiniSectorSize), kNobody);
    const uint64_t capacity = uint64_t{m_sectorCount} * m_sectorSize;
    uint64_t regular = m_miniStream.size() * uint64_t{m_sectorSize}, mini = 0;
    for (uint32_t id : m_streams) {
        const SEntry& e = m_entries[id];
        if (e.size > m_size)
            return Fail(FillText(Tr("The stream %1 claims %2 bytes, more than the file holds."),
                                 {PathOf(id), std::to_string(e.size)}));
        (e.size < kMiniCutoff ? mini : regular) += e.size;
        if (regular > capacity || mini > m_miniStreamSize)
            return Fail(FillText(Tr("The streams up to %1 claim more bytes than the file holds; the compound file is damaged."),
                                 {PathOf(id)}));
        if (!WalkStream(id)) return false;
    }
    return true;
}

uint32_t CCompoundReader::FindChild(uint32_t storage, const std::string& name) const {
    if (storage >= m_entries.size()) return kNoEntry;
    const std::u16string key = ToUtf16(name);
    const auto& children = m_entries[storage].children;
    const auto it = std::lower_bound(children.begin(), children.end(), key, [this](uint32_t id, const std::u16string& k) {
        return CompareNames(m_entries[id].name, k) < 0;
    });
    return it != children.end() && CompareNames(m_entries[*it].name, key) == 0 ? *it : kNoEntry;
}

bool CCompoundReader::ReadStream(uint32_t id, std::vector<uint8_t>& out, uint64_t limit) const {
    out.clear();
    if (id == kRoot || id >= m_entries.size() || m_entries[id].storage) return false;
    const SEntry& e = m_entries[id];
    const size_t n = static_cast<size_t>(std::min(e.size, limit));
    out.resize(n);
    const bool mini = e.size < kMiniCutoff;
    const size_t unit = mini ? kMiniSectorSize : m_sectorSize;
    uint32_t at = e.start;
    for (size_t done = 0; done < n; done += unit) {
        const size_t piece = std::min(unit, n - done);
        const uint8_t* from = nullptr;
        if (mini) {
            if (at >= m_miniFat.size()) return false;
            const uint64_t offset = uint64_t{at} << kMiniShift;
            const uint64_t block = offset >> m_shift;
            if (block >= m_miniStream.size()) return false;
            from = SectorData(m_miniStream[block]) + (offset & (m_sectorSize - 1));
            at = m_miniFat[at];
        } else {
            if (at >= m_fat.size() || SectorBytes(at) < piece) return false;
            from = SectorData(at);
            at = m_fat[at];
        }
        std::memcpy(out.data() + done, from, piece);
    }
    return true;
}
