#pragma once
#include "files/byte_reader.h"
#include "files/safe_file_writer.h"

#include <string>
#include <vector>

// What the BRT and CNV files share: a checked writer through a temporary file for saves,
// the whole file in memory behind a bounded reader for loads, and the last failure's reason.
class CRecordFile {
public:
    void Cancel() { m_writer.Cancel(); }
    size_t Position() const { return m_reader.Position(); }
    size_t FileSize() const { return m_reader.Size(); }
    uint64_t BytesWritten() const { return m_writer.BytesWritten(); }
    // The file written: for a new name, the one it really got (CSafeFileWriter::Path).
    const std::string& WrittenPath() const { return m_writer.Path(); }
    std::string Error() const { return m_error.empty() ? m_writer.Error() : m_error; }

protected:
    bool CreateFile(const std::string& path, CSafeFileWriter::ETarget target = CSafeFileWriter::ETarget::Replace);
    // Reads the whole file; false when it can't be opened or read (Error() says why).
    bool ReadWholeFile(const std::string& path);
    // Reads from bytes the caller keeps alive; the file readers end here too.
    void UseBytes(const uint8_t* data, size_t size);
    bool Fail(const std::string& reason);

    CSafeFileWriter m_writer;
    std::vector<uint8_t> m_bytes;  // the file read by ReadWholeFile
    CByteReader m_reader;          // over m_bytes or the caller's bytes
    std::string m_error;
};
