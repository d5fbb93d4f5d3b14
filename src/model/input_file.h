#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A file of this computer opened for reading the one way every reader opens it: never
// blocking on the open (a FIFO without a writer), regular files only (a FIFO, device or
// folder could block or never end), at most a bounded size. Kind and size are checked on
// the open file, so a path swapped for a pipe or a device after a check is caught too.
class CInputFile {
public:
    // No file larger than this is read, whatever its kind.
    static constexpr uint64_t kMaxFileSize = 512ull << 20;
    // Between two chunks of a long read, a stop request is looked at.
    using StopCheck = std::function<bool()>;

    CInputFile() = default;
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // False with the reason in Error(): can't be opened, not a regular file, over limit.
    bool Open(const std::string& path, uint64_t limit = kMaxFileSize);
    // Open, then closed again: what a reader that opens the file by other means asks first.
    static bool Check(const std::string& path, std::string& error, uint64_t limit = kMaxFileSize);

    bool IsOpen() const { return m_fd >= 0; }
    int Handle() const { return m_fd; }
    uint64_t Size() const { return m_size; }
    // Up to n bytes; 0 at the end; -1 on a read error (Error() says which).
    long long Read(void* data, size_t n);
    // The rest of the file as it was when opened; a file that shrinks or grows meanwhile, or a
    // stop, fails it with the reason.
    bool ReadAll(std::vector<uint8_t>& bytes, const StopCheck& stop = {});
    void Close();
    const std::string& Error() const { return m_error; }

    static std::string NotRegularText();
    static std::string TooLargeText(uint64_t size, uint64_t limit);
    static std::string StoppedText();

private:
    bool Fail(const std::string& reason);

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_read = 0;
    std::string m_error;
};
