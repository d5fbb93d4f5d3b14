#pragma once
#include <cstdint>
#include <fstream>
#include <string>

// Reads a text file whole line by line: no length limit, and a CR before the LF is
// dropped, so CR LF and LF files read the same.
class CTextLineReader {
public:
    bool Open(const std::string& path);
    bool IsOpen() const { return m_in.is_open(); }
    // False at the end of the file. A last line without line break is still returned.
    bool ReadLine(std::string& line);
    // Bytes consumed so far, and the file's size.
    int64_t Position() const { return m_position; }
    int64_t FileSize() const { return m_size; }
    bool HasError() const { return m_in.bad(); }
    void Close() { m_in.close(); }

private:
    std::ifstream m_in;
    int64_t m_position = 0;
    int64_t m_size = 0;
};
