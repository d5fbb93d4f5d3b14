#include "files/compound_writer.h"

#include "jobs/text_translation.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace Cfb;

namespace {
constexpr unsigned kShift = 9;
constexpr size_t kSectorSize = size_t{1} << kShift;
constexpr size_t kPerFatSector = kSectorSize / 4;
constexpr size_t kPerDifatSector = kPerFatSector - 1;
constexpr size_t kEntriesPerSector = kSectorSize / kEntrySize;

uint64_t SectorsFor(uint64_t bytes, uint64_t unit) { return (bytes + unit - 1) / unit; }

int FloorLog2(size_t n) {
    int log = 0;
    while (n >>= 1) ++log;
    return log;
}
}  // namespace

CCompoundWriter::CCompoundWriter() {
    SEntry root;
    root.name = u"Root Entry";
    root.type = Entry::kRoot;
    m_entries.push_back(root);
}

bool CCompoundWriter::Fail(const std::string& reason) {
    if (m_error.empty()) m_error = reason;
    return false;
}

std::string CCompoundWriter::PathOf(uint32_t id) const {
    std::string path;
    for (uint32_t at = id; at != kRoot && at < m_entries.size(); at = m_entries[at].parent) {
        const std::string name = ToUtf8(m_entries[at].name);
        path = path.empty() ? name : name + "/" + path;
    }
    return path;
}

uint32_t CCompoundWriter::AddStorage(uint32_t parent, const std::string& name) {
    SEntry e;
    e.name = ToUtf16(name);
    e.parent = parent;
    e.start = 0;
    m_entries.push_back(std::move(e));
    return static_cast<uint32_t>(m_entries.size() - 1);
}

uint32_t CCompoundWriter::AddStream(uint32_t parent, const std::string& name, const uint8_t* data, size_t size) {
    SEntry e;
    e.name = ToUtf16(name);
    e.parent = parent;
    e.type = Entry::kStream;
    e.size = size;
    if (size >= kMiniCutoff) {
        e.data = data;
    } else if (size > 0) {
        e.start = static_cast<uint32_t>(m_miniFat.size());
        m_miniStream.insert(m_miniStream.end(), data, data + size);
        m_miniStream.resize(static_cast<size_t>(SectorsFor(m_miniStream.size(), kMiniSectorSize) * kMiniSectorSize), 0);
        const auto sectors = static_cast<uint32_t>(SectorsFor(size, kMiniSectorSize));
        for (uint32_t i = 1; i < sectors; ++i) m_miniFat.push_back(e.start + i);
        m_miniFat.push_back(kEndOfChain);
    }
    m_entries.push_back(std::move(e));
    return static_cast<uint32_t>(m_entries.size() - 1);
}

uint32_t CCompoundWriter::Balance(const std::vector<uint32_t>& sorted, size_t begin, size_t end, int depth,
                                  int fullDepth) {
    if (begin >= end) return kNoEntry;
    const size_t mid = begin + (end - begin) / 2;
    SEntry& e = m_entries[sorted[mid]];
    // Halves differ by one at most, so every level above fullDepth is full: those nodes are
    // black, the few below red, and every path holds the same number of black nodes.
    e.colour = depth >= fullDepth ? Entry::kRed : Entry::kBlack;
    e.left = Balance(sorted, begin, mid, depth + 1, fullDepth);
    e.right = Balance(sorted, mid + 1, end, depth + 1, fullDepth);
    return sorted[mid];
}

bool CCompoundWriter::BuildTrees() {
    // Children grouped by parent in one counting pass, then each group sorted by name; a
    // group added in the format's order (as numbered items are) is only checked.
    const size_t n = m_entries.size();
    std::vector<uint32_t> first(n + 1, 0);
    for (size_t i = 1; i < n; ++i) {
        const uint32_t parent = m_entries[i].parent;
        if (parent >= n || m_entries[parent].type == Entry::kStream)
            return Fail(FillText(TrText("CCompoundFile", "The entry %1 has no storage to be in."),
                                 {ToUtf8(m_entries[i].name)}));
        if (!IsValidName(m_entries[i].name))
            return Fail(FillText(
                TrText("CCompoundFile",
                       "The name \"%1\" can't be stored in a compound file (1 to 31 characters, no / \\ : !)."),
                {PathOf(static_cast<uint32_t>(i))}));
        ++first[parent + 1];
    }
    for (size_t p = 0; p < n; ++p) first[p + 1] += first[p];
    std::vector<uint32_t> order(n > 0 ? n - 1 : 0), next(first.begin(), first.end() - 1);
    for (size_t i = 1; i < n; ++i) order[next[m_entries[i].parent]++] = static_cast<uint32_t>(i);
    auto before = [this](uint32_t a, uint32_t b) { return CompareNames(m_entries[a].name, m_entries[b].name) < 0; };
    std::vector<uint32_t> siblings;
    for (size_t parent = 0; parent < n; ++parent) {
        if (first[parent] == first[parent + 1]) continue;
        siblings.assign(order.begin() + first[parent], order.begin() + first[parent + 1]);
        if (!std::is_sorted(siblings.begin(), siblings.end(), before)) std::sort(siblings.begin(), siblings.end(), before);
        for (size_t i = 1; i < siblings.size(); ++i)
            if (CompareNames(m_entries[siblings[i - 1]].name, m_entries[siblings[i]].name) == 0)
                return Fail(FillText(TrText("CCompoundFile", "The name %1 appears twice."), {PathOf(siblings[i])}));
        m_entries[parent].child = Balance(siblings, 0, siblings.size(), 0, FloorLog2(siblings.size() + 1));
    }
    return true;
}

bool CCompoundWriter::Finish(const Sink& sink) {
    if (!m_error.empty() || !BuildTrees()) return false;
    // Sectors in the order they are written.
    uint64_t next = 0;
    for (SEntry& e : m_entries)
        if (e.type == Entry::kStream && e.size >= kMiniCutoff) {
            if (e.size > 0xFFFFFFFFu)  // the size field of 512-byte sector files holds 32 bits
                return Fail(FillText(TrText("CCompoundFile", "The stream %1 is too large for a compound file."),
                                     {PathOf(static_cast<uint32_t>(&e - m_entries.data()))}));
            e.start = static_cast<uint32_t>(next);
            next += SectorsFor(e.size, kSectorSize);
        }
    const uint64_t miniStreamSectors = SectorsFor(m_miniStream.size(), kSectorSize);
    m_entries[kRoot].start = m_miniStream.empty() ? kEndOfChain : static_cast<uint32_t>(next);
    m_entries[kRoot].size = m_miniStream.size();
    next += miniStreamSectors;
    const uint64_t miniFatStart = next, miniFatSectors = SectorsFor(m_miniFat.size(), kPerFatSector);
    next += miniFatSectors;
    const uint64_t dirStart = next, dirSectors = SectorsFor(m_entries.size(), kEntriesPerSector);
    next += dirSectors;
    // The FAT covers itself and its list too.
    uint64_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const uint64_t fat = SectorsFor(next + fatSectors + difatSectors, kPerFatSector);
        const uint64_t difat = fat > kHeaderDifat ? SectorsFor(fat - kHeaderDifat, kPerDifatSector) : 0;
        if (fat == fatSectors && difat == difatSectors) break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const uint64_t fatStart = next, difatStart = fatStart + fatSectors, total = difatStart + difatSectors;
    if (total > kMaxRegular || m_entries.size() > kMaxRegular)
        return Fail(TrText("CCompoundFile", "The compound file would be larger than the format can hold."));

    std::vector<uint32_t> fat(static_cast<size_t>(fatSectors * kPerFatSector), kFree);
    auto chain = [&](uint64_t start, uint64_t count) {
        for (uint64_t i = 0; i < count; ++i) fat[start + i] = i + 1 < count ? static_cast<uint32_t>(start + i + 1) : kEndOfChain;
    };
    for (const SEntry& e : m_entries)
        if (e.type == Entry::kStream && e.size >= kMiniCutoff) chain(e.start, SectorsFor(e.size, kSectorSize));
    if (miniStreamSectors) chain(m_entries[kRoot].start, miniStreamSectors);
    chain(miniFatStart, miniFatSectors);
    chain(dirStart, dirSectors);
    for (uint64_t i = 0; i < fatSectors; ++i) fat[fatStart + i] = kFatSector;
    for (uint64_t i = 0; i < difatSectors; ++i) fat[difatStart + i] = kDifatSector;

    bool ok = true;
    std::array<uint8_t, kSectorSize> sector{};
    auto put = [&](const uint8_t* data, size_t n) { ok = ok && (n == 0 || sink(data, n)); };
    auto pad = [&](uint64_t written) {
        const size_t rest = static_cast<size_t>(SectorsFor(written, kSectorSize) * kSectorSize - written);
        sector.fill(0);
        put(sector.data(), rest);
    };
    auto putTable = [&](const uint32_t* values, size_t n, uint64_t sectors) {
        for (uint64_t s = 0; s < sectors; ++s) {
            for (size_t i = 0; i < kPerFatSector; ++i) {
                const size_t at = static_cast<size_t>(s * kPerFatSector + i);
                SetU32(sector.data() + 4 * i, at < n ? values[at] : kFree);
            }
            put(sector.data(), kSectorSize);
        }
    };

    sector.fill(0);
    std::memcpy(sector.data(), kSignature, sizeof kSignature);
    SetU16(sector.data() + Header::kMinorVersion, 0x3E);
    SetU16(sector.data() + Header::kMajorVersion, 3);
    SetU16(sector.data() + Header::kByteOrder, 0xFFFE);
    SetU16(sector.data() + Header::kSectorShift, kShift);
    SetU16(sector.data() + Header::kMiniSectorShift, kMiniShift);
    SetU32(sector.data() + Header::kFatSectors, static_cast<uint32_t>(fatSectors));
    SetU32(sector.data() + Header::kFirstDir, static_cast<uint32_t>(dirStart));
    SetU32(sector.data() + Header::kMiniCutoff, kMiniCutoff);
    SetU32(sector.data() + Header::kFirstMiniFat, miniFatSectors ? static_cast<uint32_t>(miniFatStart) : kEndOfChain);
    SetU32(sector.data() + Header::kMiniFatSectors, static_cast<uint32_t>(miniFatSectors));
    SetU32(sector.data() + Header::kFirstDifat, difatSectors ? static_cast<uint32_t>(difatStart) : kEndOfChain);
    SetU32(sector.data() + Header::kDifatSectors, static_cast<uint32_t>(difatSectors));
    for (size_t i = 0; i < kHeaderDifat; ++i)
        SetU32(sector.data() + Header::kDifat + 4 * i, i < fatSectors ? static_cast<uint32_t>(fatStart + i) : kFree);
    put(sector.data(), kHeaderSize);

    for (const SEntry& e : m_entries)
        if (e.type == Entry::kStream && e.size >= kMiniCutoff) {
            put(e.data, static_cast<size_t>(e.size));
            pad(e.size);
        }
    put(m_miniStream.data(), m_miniStream.size());
    pad(m_miniStream.size());
    putTable(m_miniFat.data(), m_miniFat.size(), miniFatSectors);

    for (uint64_t s = 0; s < dirSectors; ++s) {
        sector.fill(0);
        for (size_t k = 0; k < kEntriesPerSector; ++k) {
            uint8_t* p = sector.data() + k * kEntrySize;
            const size_t id = static_cast<size_t>(s * kEntriesPerSector + k);
            if (id >= m_entries.size()) {
                SetU32(p + Entry::kLeft, kNoEntry);
                SetU32(p + Entry::kRight, kNoEntry);
                SetU32(p + Entry::kChild, kNoEntry);
                continue;
            }
            const SEntry& e = m_entries[id];
            for (size_t i = 0; i < e.name.size(); ++i) SetU16(p + 2 * i, e.name[i]);
            SetU16(p + Entry::kNameLength, static_cast<uint16_t>(2 * (e.name.size() + 1)));
            p[Entry::kType] = e.type;
            p[Entry::kColour] = e.colour;
            SetU32(p + Entry::kLeft, e.left);
            SetU32(p + Entry::kRight, e.right);
            SetU32(p + Entry::kChild, e.child);
            SetU32(p + Entry::kStart, e.size == 0 && e.type == Entry::kStream ? kEndOfChain : e.start);
            SetU64(p + Entry::kSize, e.size);
        }
        put(sector.data(), kSectorSize);
    }
    putTable(fat.data(), fat.size(), fatSectors);
    for (uint64_t s = 0; s < difatSectors; ++s) {
        for (size_t i = 0; i < kPerDifatSector; ++i) {
            const uint64_t f = kHeaderDifat + s * kPerDifatSector + i;
            SetU32(sector.data() + 4 * i, f < fatSectors ? static_cast<uint32_t>(fatStart + f) : kFree);
        }
        SetU32(sector.data() + 4 * kPerDifatSector,
               s + 1 < difatSectors ? static_cast<uint32_t>(difatStart + s + 1) : kEndOfChain);
        put(sector.data(), kSectorSize);
    }
    return ok || Fail(TrText("CCompoundFile", "The compound file could not be written."));
}
