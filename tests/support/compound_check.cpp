#include "compound_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {
constexpr uint32_t kMaxRegular = 0xFFFFFFFA, kDifSect = 0xFFFFFFFC, kFatSect = 0xFFFFFFFD, kEnd = 0xFFFFFFFE,
                   kFree = 0xFFFFFFFF, kNone = 0xFFFFFFFF;
enum : uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };
enum : uint8_t { kRed = 0, kBlack = 1 };
constexpr uint64_t kAnyLength = ~uint64_t{0};

struct SEntry {
    std::u16string name;
    uint16_t nameBytes = 0;
    uint8_t type = 0, colour = 0;
    uint32_t left = kNone, right = kNone, child = kNone, start = 0;
    uint64_t size = 0;
    bool timesZero = true;
};

// The format's upper case of one UTF-16 unit: letters of ASCII, Latin-1, Greek and Cyrillic
// (the names a backup holds); other units compare as they are.
char16_t Upper(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    return c;
}

// The format's order of sibling names: the shorter first, then unit by unit upper-cased.
int Compare(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        const char16_t x = Upper(a[i]), y = Upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

std::string Narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

class CChecker {
public:
    explicit CChecker(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    std::vector<std::string> Run() {
        if (!Header()) return m_faults;
        Fat();
        Directory();
        if (m_entries.empty()) return m_faults;
        Tree();
        Streams();
        for (size_t s = 0; s < m_owner.size(); ++s)
            if (m_owner[s].empty()) Fault("sector " + std::to_string(s) + " belongs to nothing");
        return m_faults;
    }

private:
    uint16_t U16(size_t at) const { return at + 2 <= m_bytes.size() ? static_cast<uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8) : 0; }
    uint32_t U32(size_t at) const { return static_cast<uint32_t>(U16(at) | U16(at + 2) << 16); }
    uint64_t U64(size_t at) const { return U32(at) | uint64_t{U32(at + 4)} << 32; }
    size_t Offset(uint32_t sector) const { return (size_t{sector} + 1) * m_sectorSize; }
    void Fault(std::string text) {
        if (m_faults.size() < 50) m_faults.push_back(std::move(text));
    }
    // Marks a sector as owned; false (and a fault) when it is outside the file or owned already.
    bool Own(uint32_t sector, const std::string& owner) {
        if (sector >= m_owner.size()) {
            Fault(owner + " names sector " + std::to_string(sector) + " past the file's end");
            return false;
        }
        if (!m_owner[sector].empty()) {
            Fault("sector " + std::to_string(sector) + " belongs to both " + m_owner[sector] + " and " + owner);
            return false;
        }
        m_owner[sector] = owner;
        return true;
    }
    uint32_t Next(uint32_t sector) const { return sector < m_fat.size() ? m_fat[sector] : kFree; }

    bool Header() {
        static const uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (m_bytes.size() < 512 || !std::equal(std::begin(kSignature), std::end(kSignature), m_bytes.begin())) {
            Fault("no compound-file header");
            return false;
        }
        for (size_t i = 8; i < 24; ++i)
            if (m_bytes[i]) Fault("the header's class ID is not zero");
        const uint16_t major = U16(26), shift = U16(30);
        if (U16(28) != 0xFFFE) Fault("the byte order mark is not FFFE");
        if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) {
            Fault("version " + std::to_string(major) + " with sectors of 2^" + std::to_string(shift));
            return false;
        }
        m_sectorSize = size_t{1} << shift;
        if (U16(32) != 6) Fault("mini sectors are not of 64 bytes");
        for (size_t i = 34; i < 40; ++i)
            if (m_bytes[i]) Fault("reserved header bytes are not zero");
        if (major == 3 && U32(40) != 0) Fault("a version 3 file gives a directory sector count");
        if (U32(56) != 4096) Fault("the mini stream cutoff is not 4096");
        if (m_bytes.size() < m_sectorSize || (m_bytes.size() - m_sectorSize) % m_sectorSize) {
            Fault("the file is not a whole number of sectors: " + std::to_string(m_bytes.size()) + " bytes");
            return false;
        }
        for (size_t i = 512; i < m_sectorSize; ++i)
            if (m_bytes[i]) {
                Fault("the header sector is not zero after the header");
                break;
            }
        m_owner.assign((m_bytes.size() - m_sectorSize) / m_sectorSize, std::string());
        return true;
    }

    void Fat() {
        const uint32_t fatSectors = U32(44);
        std::vector<uint32_t> list;
        for (size_t i = 0; i < 109; ++i) {
            const uint32_t s = U32(76 + 4 * i);
            if (i < fatSectors) list.push_back(s);
            else if (s != kFree) Fault("header DIFAT entry " + std::to_string(i) + " past the FAT's sectors is not free");
        }
        uint32_t difat = U32(68), counted = 0;
        const size_t perDifat = m_sectorSize / 4 - 1;
        while (difat != kEnd && counted <= m_owner.size()) {
            if (!Own(difat, "the DIFAT")) return;
            m_difat.push_back(difat);
            ++counted;
            for (size_t i = 0; i < perDifat; ++i) {
                const uint32_t s = U32(Offset(difat) + 4 * i);
                if (list.size() < fatSectors) list.push_back(s);
                else if (s != kFree) Fault("a DIFAT entry past the FAT's sectors is not free");
            }
            difat = U32(Offset(difat) + 4 * perDifat);
        }
        if (counted != U32(72)) Fault("the header counts " + std::to_string(U32(72)) + " DIFAT sectors, the chain " + std::to_string(counted));
        if (list.size() != fatSectors) {
            Fault("the DIFAT lists " + std::to_string(list.size()) + " of " + std::to_string(fatSectors) + " FAT sectors");
            return;
        }
        for (uint32_t s : list) {
            if (!Own(s, "the FAT")) return;
            for (size_t i = 0; i < m_sectorSize / 4; ++i) m_fat.push_back(U32(Offset(s) + 4 * i));
        }
        if (m_fat.size() < m_owner.size()) Fault("the FAT is shorter than the file");
        for (uint32_t s : list)
            if (Next(s) != kFatSect) Fault("FAT sector " + std::to_string(s) + " is not marked as one");
        for (uint32_t s : m_difat)
            if (Next(s) != kDifSect) Fault("DIFAT sector " + std::to_string(s) + " is not marked as one");
        for (size_t s = m_owner.size(); s < m_fat.size(); ++s)
            if (m_fat[s] != kFree) {
                Fault("the FAT gives sector " + std::to_string(s) + " past the file's end");
                break;
            }
    }

    // The sectors of a chain, each owned; a fault when it is not exactly `count` long.
    std::vector<uint32_t> Chain(uint32_t start, uint64_t count, const std::string& owner) {
        std::vector<uint32_t> chain;
        for (uint32_t s = start; s != kEnd; s = Next(s)) {
            if (s > kMaxRegular || !Own(s, owner)) {
                if (s <= kMaxRegular) return chain;
                Fault(owner + "'s chain holds the mark " + std::to_string(s));
                return chain;
            }
            chain.push_back(s);
        }
        if (count != kAnyLength && chain.size() != count)
            Fault(owner + " takes " + std::to_string(chain.size()) + " sectors for " + std::to_string(count));
        return chain;
    }

    void Directory() {
        const std::vector<uint32_t> sectors = Chain(U32(48), kAnyLength, "the directory");
        if (U16(26) == 4 && sectors.size() != U32(40)) Fault("the header counts " + std::to_string(U32(40)) + " directory sectors");
        for (uint32_t s : sectors)
            for (size_t at = Offset(s); at < Offset(s) + m_sectorSize; at += 128) {
                SEntry e;
                e.nameBytes = U16(at + 64);
                e.type = m_bytes[at + 66];
                e.colour = m_bytes[at + 67];
                e.left = U32(at + 68);
                e.right = U32(at + 72);
                e.child = U32(at + 76);
                e.start = U32(at + 116);
                e.size = U64(at + 120);
                e.timesZero = U64(at + 100) == 0 && U64(at + 108) == 0;
                const std::string id = "entry " + std::to_string(m_entries.size());
                if (e.nameBytes > 64 || e.nameBytes % 2) {
                    Fault(id + "'s name is longer than 31 characters or odd: " + std::to_string(e.nameBytes) + " bytes");
                    e.nameBytes = 0;
                }
                for (size_t i = 0; i + 2 < e.nameBytes; i += 2) e.name += static_cast<char16_t>(U16(at + i));
                if (e.nameBytes && U16(at + e.nameBytes - 2) != 0) Fault(id + "'s name has no terminating zero");
                m_entries.push_back(std::move(e));
            }
        if (m_entries.empty()) Fault("the directory is empty");
    }

    const std::string& Named(uint32_t id) {
        m_nameText = Narrow(m_entries[id].name) + " (entry " + std::to_string(id) + ")";
        return m_nameText;
    }

    // The sibling tree under storage `parent`: order, colours, every entry once.
    void Tree() {
        const SEntry& root = m_entries[0];
        if (root.type != kRoot) Fault("entry 0 is not the root");
        if (root.left != kNone || root.right != kNone) Fault("the root has siblings");
        m_seen.assign(m_entries.size(), false);
        m_seen[0] = true;
        std::vector<uint32_t> storages{0};
        while (!storages.empty()) {
            const uint32_t parent = storages.back();
            storages.pop_back();
            const uint32_t top = m_entries[parent].child;
            if (top == kNone) continue;
            std::vector<uint32_t> members;
            if (!Walk(top, parent, members)) continue;
            if (m_entries[top].colour != kBlack) Fault("the tree under " + Named(parent) + " has a red top");
            int height = -1;
            BlackHeight(top, parent, 0, height);
            for (uint32_t id : members)
                if (m_entries[id].type == kStorage) storages.push_back(id);
        }
        for (uint32_t id = 0; id < m_entries.size(); ++id) {
            const SEntry& e = m_entries[id];
            if (e.type == kUnused) {
                if (e.nameBytes || e.left != kNone || e.right != kNone || e.child != kNone || e.size)
                    Fault("unused entry " + std::to_string(id) + " is not blank");
            } else if (!m_seen[id]) {
                Fault(Named(id) + " is reached from no storage");
            }
        }
    }

    // In order, with the keys strictly rising; false when an entry comes twice or is bad.
    bool Walk(uint32_t top, uint32_t parent, std::vector<uint32_t>& members) {
        std::vector<uint32_t> stack;
        uint32_t at = top;
        const std::u16string* last = nullptr;
        while (at != kNone || !stack.empty()) {
            while (at != kNone) {
                if (at >= m_entries.size() || m_seen[at]) {
                    Fault("the tree under " + Named(parent) + " reaches entry " + std::to_string(at) + " twice or past the end");
                    return false;
                }
                m_seen[at] = true;
                stack.push_back(at);
                at = m_entries[at].left;
            }
            const uint32_t id = stack.back();
            stack.pop_back();
            Entry(id, parent);
            if (last && Compare(*last, m_entries[id].name) >= 0)
                Fault(Named(id) + " is out of the format's order under " + Narrow(m_entries[parent].name));
            last = &m_entries[id].name;
            members.push_back(id);
            at = m_entries[id].right;
        }
        return true;
    }

    // The black nodes from here to each empty link are as many on every path; no red
    // entry has a red child.
    void BlackHeight(uint32_t top, uint32_t parent, int blacks, int& height) {
        std::vector<std::pair<uint32_t, int>> stack{{top, blacks}};
        bool unequal = false;
        while (!stack.empty()) {
            const auto [id, above] = stack.back();
            stack.pop_back();
            const SEntry& e = m_entries[id];
            if (e.colour > kBlack) Fault(Named(id) + " has colour " + std::to_string(e.colour));
            const int count = above + (e.colour == kBlack);
            for (uint32_t next : {e.left, e.right}) {
                if (next == kNone) {
                    if (height < 0) height = count;
                    else if (height != count && !unequal) {
                        Fault("the tree under " + Named(parent) + " has paths of " + std::to_string(height) + " and " +
                              std::to_string(count) + " black entries");
                        unequal = true;
                    }
                    continue;
                }
                if (e.colour == kRed && m_entries[next].colour == kRed) Fault(Named(id) + " and its child are both red");
                stack.push_back({next, count});
            }
        }
    }

    void Entry(uint32_t id, uint32_t parent) {
        const SEntry& e = m_entries[id];
        const std::string name = Named(id);
        if (e.type != kStorage && e.type != kStream) Fault(name + " under " + Narrow(m_entries[parent].name) + " is of type " + std::to_string(e.type));
        if (e.name.empty()) Fault(name + " has no name");
        if (e.name.size() > 31) Fault(name + " is longer than 31 characters");
        for (char16_t c : e.name)
            if (c == u'/' || c == u'\\' || c == u':' || c == u'!') Fault(name + " holds a character names can't");
        if (e.type == kStream && e.child != kNone) Fault(name + " is a stream with children");
        if (e.type == kStream && !e.timesZero) Fault(name + " is a stream with times");
        if (e.type == kStorage && (e.start != 0 || e.size != 0)) Fault(name + " is a storage with a start or size");
        if (U16(26) == 3 && e.size > 0x7FFFFFFF) Fault(name + " is too big for version 3");
    }

    void Streams() {
        const SEntry& root = m_entries[0];
        const uint64_t miniSectors = (root.size + 63) / 64;
        Chain(root.size ? root.start : kEnd, (root.size + m_sectorSize - 1) / m_sectorSize, "the mini stream");
        const uint32_t miniFatSectors = U32(64);
        std::vector<uint32_t> miniFat;
        for (uint32_t s : Chain(miniFatSectors ? U32(60) : kEnd, miniFatSectors, "the mini FAT"))
            for (size_t i = 0; i < m_sectorSize / 4; ++i) miniFat.push_back(U32(Offset(s) + 4 * i));
        if (!miniFatSectors && U32(60) != kEnd) Fault("no mini FAT, yet the header names its first sector");
        if (miniFat.size() < miniSectors) Fault("the mini FAT is shorter than the mini stream");
        for (size_t s = miniSectors; s < miniFat.size(); ++s)
            if (miniFat[s] != kFree) {
                Fault("the mini FAT gives mini sector " + std::to_string(s) + " past the mini stream");
                break;
            }
        std::vector<bool> miniOwned(miniSectors, false);
        for (uint32_t id = 1; id < m_entries.size(); ++id) {
            const SEntry& e = m_entries[id];
            if (e.type != kStream || !m_seen[id]) continue;
            const std::string name = Named(id);
            if (e.size == 0) {
                if (e.start != kEnd && e.start != 0) Fault(name + " is empty but starts at sector " + std::to_string(e.start));
            } else if (e.size >= 4096) {
                Chain(e.start, (e.size + m_sectorSize - 1) / m_sectorSize, name);
            } else {
                uint64_t length = 0;
                bool broken = false;
                for (uint32_t s = e.start; s != kEnd && !broken; s = s < miniFat.size() ? miniFat[s] : kFree, ++length) {
                    broken = s >= miniSectors || miniOwned[s];
                    if (broken) Fault(name + " names mini sector " + std::to_string(s) + (s >= miniSectors ? " past the mini stream" : " another owns"));
                    else miniOwned[s] = true;
                }
                if (!broken && length != (e.size + 63) / 64)
                    Fault(name + " takes " + std::to_string(length) + " mini sectors for " + std::to_string(e.size) + " bytes");
            }
        }
        for (size_t s = 0; s < miniOwned.size(); ++s)
            if (!miniOwned[s]) {
                Fault("mini sector " + std::to_string(s) + " belongs to no stream");
                break;
            }
    }

    const std::vector<uint8_t>& m_bytes;
    size_t m_sectorSize = 512;
    std::vector<std::string> m_owner;  // per sector: what owns it
    std::vector<uint32_t> m_fat, m_difat;
    std::vector<SEntry> m_entries;
    std::vector<bool> m_seen;
    std::vector<std::string> m_faults;
    std::string m_nameText;
};
}  // namespace

std::vector<std::string> CompoundFaults(const std::vector<uint8_t>& bytes) { return CChecker(bytes).Run(); }

std::vector<std::string> CompoundFileFaults(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {"can't read " + path};
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return CompoundFaults(bytes);
}
