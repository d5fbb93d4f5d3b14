#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes a file through a temporary file beside the target that replaces the target only
// when Commit succeeds; a cancelled or failed write leaves the previous file as it was.
// Every write is checked; the first failure is kept and makes Commit fail. Commit writes
// out what is buffered, syncs the file, checks that the disk holds every byte written,
// syncs the folder and only then renames, so a full disk never replaces a good file with a
// cut-off one. Error() names the cause ("No space left on device").
// A target that exists and is not a regular file (a device, a pipe) is written directly.
// Keeps the running CRC-16 of the bytes written.
class CSafeFileWriter {
public:
    CSafeFileWriter();
    ~CSafeFileWriter();  // without Commit: the temporary file is discarded
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // The whole of bytes as the file at path, replacing it only when complete; false with the reason.
    static bool WriteWholeFile(const std::string& path, const void* data, size_t n, std::string& error);
    static bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
        return WriteWholeFile(path, bytes.data(), bytes.size(), error);
    }
    static bool WriteWholeFile(const std::string& path, const std::string& text, std::string& error) {
        return WriteWholeFile(path, text.data(), text.size(), error);
    }

    bool Open(const std::string& path);
    bool IsOpen() const;
    bool Write(const void* data, size_t n);
    bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    bool WriteU16(uint16_t value);
    bool WriteU32(uint32_t value);
    bool Commit();
    void Cancel();

    uint16_t Crc() const { return m_crc; }
    uint64_t BytesWritten() const { return m_written; }
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

private:
    bool Flush();
    bool FinishTemporary();
    bool FinishDirect();
    void CloseFile();
    void SetError(const std::string& what);
    void SetSystemError(int error);

    int m_fd = -1;
    bool m_direct = false;     // writing straight into a device or pipe
    std::string m_path;        // the target
    std::string m_temporary;   // beside the target; empty when direct
    std::vector<uint8_t> m_buffer;
    uint16_t m_crc = 0;
    uint64_t m_written = 0;
    std::string m_error;
};
