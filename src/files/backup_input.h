#pragma once
#include "files/backup_kind.h"
#include "files/backup_tree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CInputFile;
class QFile;

// A backup file opened once: the bytes read ahead at the open tell its kind and form, and
// the reader takes the rest from the same open file, so a path replaced meanwhile is never
// half one file and half another.
class CBackupInput {
public:
    CBackupInput();
    ~CBackupInput();
    CBackupInput(const CBackupInput&) = delete;
    CBackupInput& operator=(const CBackupInput&) = delete;

    // CByteReader::OpenFile (the checked open), then the look ahead; false with the reason when
    // the file can't be opened, Kind() then going by the name alone.
    bool Open(const std::string& path, std::string& error);
    // By the first bytes (the compound-file signature, the CNV header, XML), then by the name.
    EBackupKind Kind() const { return m_kind; }
    // The whole file in memory.
    bool ReadAll(std::vector<uint8_t>& bytes, std::string& error);
    // A compound file or its XML form as a tree, told apart by content (an .xqcn name without
    // the compound signature is XML too); XML is parsed as it is read. bytes, when given,
    // keeps a compound file's bytes for a reader of its own.
    bool ReadTree(CCompoundNode& tree, EBackupForm& form, std::string& error, std::vector<uint8_t>* bytes = nullptr);

    // The kind of a file starting with head and named path.
    static EBackupKind KindOf(const uint8_t* head, size_t size, const std::string& path);

private:
    std::unique_ptr<CInputFile> m_input;  // owns the handle m_file reads
    std::unique_ptr<QFile> m_file;
    EBackupKind m_kind = EBackupKind::Unknown;
    bool m_xml = false;  // the tree is XML
};
