#pragma once
#include "model/nv_item_array.h"
#include "files/compound_reader.h"
#include "files/compound_writer.h"
#include "files/safe_file_writer.h"
#include "files/save_limits.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A QCN file: a compound file with the storages "00000000" / "default" / one per item ID,
// each holding one 134-byte stream per element named by its index: ID, index and 128 as
// 16-bit words, then the 128-byte value block. Written through a temporary file, holding
// only the directory and the small streams until then; read whole into memory and checked
// whole before anything is taken from it.
class CQcnFile {
public:
    static constexpr int kBlockSize = 128;
    static constexpr int kStreamSize = 6 + kBlockSize;
    static const SSaveLimits kLimits;

    struct SElement {
        uint16_t id = 0;
        uint16_t index = 0;
        uint16_t length = 0;
        std::vector<uint8_t> block;  // kBlockSize bytes
    };
    using Progress = std::function<void(int)>;

    CQcnFile();
    ~CQcnFile();
    CQcnFile(const CQcnFile&) = delete;
    CQcnFile& operator=(const CQcnFile&) = delete;

    // ---- writing ----
    bool Create(const std::string& path);
    // The first call makes level 1 in the root, the second level 2 in level 1.
    bool CreateLevel(const std::string& name);
    // Makes the storage of an item in level 2 the current one; an item's storage is made once.
    bool CreateItemStorage(int id);
    // One element stream in the storage of id.
    bool WriteElement(int id, int index, const std::vector<uint8_t>& value);
    // Every record of list with active 1; progress gets the position of each record.
    bool WriteItems(const CNVItemArray& list, const Progress& progress = {});

    // ---- reading ----
    bool Open(const std::string& path);
    // Reads size bytes at data, which must outlive the reading; Open ends here too.
    bool OpenMemory(const uint8_t* data, size_t size);
    // Opens the first element of the root and the first of that as levels 1 and 2.
    bool OpenFirstLevels();
    // Item storages of level 2 in enumeration order, up to the first element that is not a
    // storage named by digits.
    bool ListItemStorages(std::vector<std::string>& names);
    bool OpenItemStorage(const std::string& name);
    // Streams of the current item storage whose names are digits.
    bool ListStreams(std::vector<std::string>& names);
    bool ReadElement(const std::string& name, SElement& element);
    // A file holding more elements is refused at the first one too many; the document passes
    // the number of records its definitions hold.
    void SetMaxElements(uint32_t n) { m_maxElements = n; }
    static constexpr uint32_t kMaxElements = 5000 * 256;

    // Writing: closes every level and replaces the target file. Reading: releases the file.
    // progress gets 1..7 as the steps pass.
    bool CommitAndClose(const Progress& progress = {});

    // The reason of the first failure.
    const std::string& Error() const { return m_error; }

    static bool IsDigits(const std::string& name);
    // The number a digit name spells, saturating far above any item ID.
    static int NumberOf(const std::string& name);

private:
    bool Fail(const std::string& reason);
    void Release();
    bool OpenInput(const uint8_t* data, size_t size);

    std::string m_path;
    std::string m_error;
    // writing
    CSafeFileWriter m_writer;
    std::unique_ptr<CCompoundWriter> m_out;
    int m_levels = 0;
    uint32_t m_outLevel2 = 0;
    std::map<int, uint32_t> m_itemStorages;
    std::set<std::pair<int, int>> m_writtenElements;
    // reading
    std::vector<uint8_t> m_bytes;
    std::unique_ptr<CCompoundReader> m_in;
    uint32_t m_inLevel2 = Cfb::kNoEntry;
    uint32_t m_inItem = Cfb::kNoEntry;
    std::string m_itemName;
    uint32_t m_elementsRead = 0;
    uint32_t m_maxElements = kMaxElements;
};
