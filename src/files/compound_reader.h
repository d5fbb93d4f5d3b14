#pragma once
#include "files/compound_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a compound file held in memory (the bytes are borrowed and must outlive the
// reader). Open checks the whole file before anything is read from it: the header, the
// FAT through its list (DIFAT), the directory and its tree, the mini FAT, and every chain
// of every stream reachable from the root (in bounds, no cycle, no sector of two owners,
// long enough for the stream's size). So a stream read after a successful Open can't fail,
// and damage is told once, naming the entry. Nothing recurses with the input's shape, and
// memory stays a fraction of the file's size.
class CCompoundReader {
public:
    static constexpr uint32_t kRoot = 0;
    // Deeper nesting of storages than this is taken as damage.
    static constexpr int kMaxDepth = 32;

    struct SEntry {
        std::u16string name;
        uint32_t parent = Cfb::kNoEntry;
        bool storage = false;
        uint32_t start = Cfb::kEndOfChain;
        uint64_t size = 0;
        std::vector<uint32_t> children;  // of a storage, in the format's order of names
    };

    bool Open(const uint8_t* data, size_t size);
    const std::string& Error() const { return m_error; }

    const SEntry& Entry(uint32_t id) const { return m_entries[id]; }
    std::string NameOf(uint32_t id) const { return Cfb::ToUtf8(m_entries[id].name); }
    // Slash-separated names below the root.
    std::string PathOf(uint32_t id) const;
    // The child of storage named name (as the format compares names), or kNoEntry.
    uint32_t FindChild(uint32_t storage, const std::string& name) const;
    // The first min(size, limit) bytes of a stream.
    bool ReadStream(uint32_t id, std::vector<uint8_t>& out, uint64_t limit = UINT64_MAX) const;

private:
    bool Fail(const std::string& reason);
    bool ReadHeader();
    bool ReadFat();
    bool ReadDirectory();
    bool ReadTree();
    bool ParseEntry(uint32_t id, uint32_t parent);
    bool CheckStreams();
    // Sector chains: Claim marks a sector as owner's, refusing a second owner or a cycle.
    bool Claim(std::vector<uint32_t>& owners, uint32_t sector, uint32_t owner);
    bool WalkToEnd(uint32_t start, uint32_t owner, std::vector<uint32_t>& sectors);
    bool WalkStream(uint32_t id);
    std::string OwnerName(uint32_t owner) const;
    const uint8_t* SectorData(uint32_t sector) const;
    size_t SectorBytes(uint32_t sector) const;
    const uint8_t* EntryData(uint32_t id) const;

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    std::string m_error;
    unsigned m_shift = 9;
    size_t m_sectorSize = 512;
    uint32_t m_sectorCount = 0;
    bool m_wideSizes = false;  // version 4: all 64 bits of a stream's size count
    std::vector<uint32_t> m_fat, m_miniFat;
    std::vector<uint32_t> m_owners, m_miniOwners;
    std::vector<uint32_t> m_dirSectors, m_miniStream;  // sectors of the directory and of the mini stream
    uint64_t m_miniStreamSize = 0;
    uint32_t m_entryCount = 0;
    std::vector<SEntry> m_entries;
    std::vector<uint32_t> m_streams;  // reachable streams, in tree order
};
