#pragma once
#include "files/compound_format.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes a compound file (version 3, 512-byte sectors) to a sink in one pass. Entries are
// added as they come: a small stream's bytes go into the mini stream at once; a big
// stream's bytes are borrowed and copied into its own run of sectors when the file is
// written, never held twice. Finish sorts each storage's children (O(n log n)), builds a
// balanced red-black tree of them and writes, in order, the header, the big streams, the
// mini stream, the mini FAT, the directory, the FAT and its list. Memory: the directory,
// the mini stream and the FAT, not the data.
class CCompoundWriter {
public:
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;
    static constexpr uint32_t kRoot = 0;

    CCompoundWriter();
    // The new entry's number, for children of a storage; names are checked by Finish.
    uint32_t AddStorage(uint32_t parent, const std::string& name);
    // Bytes under the mini stream cutoff are copied now; larger ones must outlive Finish.
    uint32_t AddStream(uint32_t parent, const std::string& name, const uint8_t* data, size_t size);
    // False with Error() on a name the format can't hold, a name twice in a storage, or a
    // failed write of the sink.
    bool Finish(const Sink& sink);
    const std::string& Error() const { return m_error; }

private:
    struct SEntry {
        std::u16string name;
        uint32_t parent = Cfb::kNoEntry;
        uint8_t type = Cfb::Entry::kStorage;
        uint8_t colour = Cfb::Entry::kBlack;
        uint32_t left = Cfb::kNoEntry, right = Cfb::kNoEntry, child = Cfb::kNoEntry;
        uint32_t start = Cfb::kEndOfChain;
        uint64_t size = 0;
        const uint8_t* data = nullptr;  // a big stream's borrowed bytes
    };

    bool Fail(const std::string& reason);
    std::string PathOf(uint32_t id) const;
    bool BuildTrees();
    uint32_t Balance(const std::vector<uint32_t>& sorted, size_t begin, size_t end, int depth, int fullDepth);

    std::vector<SEntry> m_entries;
    std::vector<uint8_t> m_miniStream;
    std::vector<uint32_t> m_miniFat;
    std::string m_error;
};
