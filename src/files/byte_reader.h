#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CInputFile;
class QFile;
class QIODevice;

// Bounds-checked little-endian reading of a file held in memory. Every read either
// succeeds completely or fails without moving the position.
class CByteReader {
public:
    // No file larger than this is read, whatever its kind.
    static constexpr uint64_t kMaxFileSize = 512ull << 20;
    // What every reader of a path asks first: a regular file (not a FIFO, device or folder,
    // which could block or never end) of at most kMaxFileSize bytes (CInputFile).
    static bool CheckFile(const std::string& path, std::string& error);
    // Reads the whole file so checked; false with a reason when it can't be opened or read.
    static bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
    // Opens path as CInputFile does and hands its handle to file, for readers that stream.
    static bool OpenFile(const std::string& path, CInputFile& input, QFile& file, std::string& error);
    // The rest of a file opened after CheckFile.
    static bool ReadRest(QIODevice& file, std::vector<uint8_t>& bytes, std::string& error);

    CByteReader() = default;
    explicit CByteReader(const std::vector<uint8_t>& bytes) : m_data(bytes.data()), m_size(bytes.size()) {}
    CByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Size() const { return m_size; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool AtEnd() const { return m_pos == m_size; }
    const uint8_t* Data() const { return m_data; }

    bool Seek(size_t position);
    bool Skip(size_t n);
    bool ReadU8(uint8_t& value);
    bool ReadU16(uint16_t& value);
    bool ReadU32(uint32_t& value);
    bool PeekU16(uint16_t& value) const;
    // Appends n bytes to out.
    bool ReadBytes(size_t n, std::vector<uint8_t>& out);

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
};

// Little-endian helpers for building file images.
void AppendU16(std::vector<uint8_t>& out, uint16_t value);
void AppendU32(std::vector<uint8_t>& out, uint32_t value);
