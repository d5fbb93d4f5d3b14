#pragma once
#include "model/input_file.h"

#include <cstdint>
#include <string>

// Reads a text file whole line by line, and a CR before the LF is dropped, so CR LF and LF
// files read the same. Opened as every input is (CInputFile): a pipe, device or a file over
// the size bound is refused with the reason in Error().
class CTextLineReader {
public:
    bool Open(const std::string& path, uint64_t limit = CInputFile::kMaxFileSize);
    bool IsOpen() const { return m_file.IsOpen(); }
    // False at the end of the file or on a read error. A last line without line break is
    // still returned.
    bool ReadLine(std::string& line);
    // Bytes consumed so far, and the file's size.
    int64_t Position() const { return m_position; }
    int64_t FileSize() const { return static_cast<int64_t>(m_file.Size()); }
    bool HasError() const { return m_failed; }
    const std::string& Error() const { return m_file.Error(); }
    void Close() { m_file.Close(); }

private:
    bool Fill();

    CInputFile m_file;
    std::string m_buffer;
    size_t m_start = 0;  // the next line begins here in m_buffer
    bool m_end = false;
    bool m_failed = false;
    int64_t m_position = 0;
};
