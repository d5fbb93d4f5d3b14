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
// A target that exists and is not a regular file (a device, a pipe) is written directly; a
// pipe nothing reads from is refused rather than waited on.
// No file grows past what Tessiva reads (kMaxFileSize): what Tessiva writes, it reads.
// The temporary file is named ".NAME.xxxxxx.tessiva-partial" and locked while it is
// written; one left by a save that was killed is removed by the next save into its folder.
// Keeps the running CRC-16 of the bytes written.
class CSafeFileWriter {
public:
    enum class ETarget {
        Replace,  // the file at the path is replaced (a link: the file it names)
        New,      // a name of Tessiva's own: nothing is ever replaced; when the name is
                  // taken, before Open or meanwhile, the file goes to "NAME-2.EXT", "NAME-3.EXT"...
    };

    static constexpr uint64_t kMaxFileSize = 512ull << 20;
    static constexpr const char* kPartialSuffix = ".tessiva-partial";

    // The system calls of each step, replaceable so that tests can make any one of them fail.
    // Each returns what the system call does (-1 and errno on failure).
    struct SCalls {
        int (*createTemporary)(const std::string& path);  // exclusively, for writing
        int (*openExisting)(const std::string& path);     // a device or pipe
        long long (*write)(int fd, const uint8_t* data, size_t n);
        int (*sync)(int fd);
        int (*size)(int fd, uint64_t& size);
        int (*close)(int fd);
        int (*rename)(const std::string& from, const std::string& to, bool replace);
        int (*syncFolder)(const std::string& folder);
    };
    static const SCalls& SystemCalls();
    // Every writer makes calls, not the system's, until it is called again with nullptr.
    static void UseCalls(const SCalls* calls);

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

    bool Open(const std::string& path, ETarget target = ETarget::Replace);
    bool IsOpen() const;
    bool Write(const void* data, size_t n);
    bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    bool WriteU16(uint16_t value);
    bool WriteU32(uint32_t value);
    bool Commit();
    void Cancel();

    // The file written: after a Commit of a New target, the name it really got.
    const std::string& Path() const { return m_path; }
    uint16_t Crc() const { return m_crc; }
    uint64_t BytesWritten() const { return m_written; }
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }
    // The cause told when a file would grow past kMaxFileSize.
    static std::string TooLargeText();

    // Removes the temporary files of saves into folder that were killed half way.
    static void RemoveStalePartials(const std::string& folder);

private:
    bool Flush();
    bool FinishTemporary();
    bool FinishDirect();
    bool RenameIntoPlace();
    void CloseFile();
    void SetError(const std::string& what);
    void SetSystemError(int error);

    int m_fd = -1;
    int m_lock = -1;           // holds the temporary file's lock until it is renamed
    bool m_direct = false;     // writing straight into a device or pipe
    ETarget m_target = ETarget::Replace;
    std::string m_path;        // the target
    std::string m_temporary;   // beside the target; empty when direct
    std::vector<uint8_t> m_buffer;
    uint16_t m_crc = 0;
    uint64_t m_written = 0;
    std::string m_error;
};
