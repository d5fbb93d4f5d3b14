#include "model/input_file.h"

#include "jobs/text_translation.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
using SStat = struct _stat64;
int OpenForReading(const std::string& path) {
    return _wopen(std::filesystem::u8path(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int StatOpen(int fd, SStat& st) { return _fstat64(fd, &st); }
bool IsRegular(const SStat& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
long long ReadSome(int fd, void* data, size_t n) {
    return _read(fd, data, static_cast<unsigned>(std::min<size_t>(n, 1u << 30)));
}
int CloseFd(int fd) { return _close(fd); }
#else
using SStat = struct stat;
// O_NONBLOCK: opening a FIFO that no one writes to would wait for a writer.
int OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }
int StatOpen(int fd, SStat& st) { return fstat(fd, &st); }
bool IsRegular(const SStat& st) { return S_ISREG(st.st_mode); }
long long ReadSome(int fd, void* data, size_t n) { return read(fd, data, n); }
int CloseFd(int fd) { return close(fd); }
#endif

std::string SystemText(int error) { return std::generic_category().message(error); }

constexpr size_t kChunk = 4u << 20;
}  // namespace

CInputFile::~CInputFile() { Close(); }

std::string CInputFile::NotRegularText() {
    return TrText("CByteReader", "It is not a regular file (a folder, device or pipe); it was not read.");
}

std::string CInputFile::TooLargeText(uint64_t size, uint64_t limit) {
    if (limit >= (1u << 20))
        return FillText(TrText("CByteReader", "The file is %1 MB; files over %2 MB are not read."),
                        {std::to_string(size >> 20), std::to_string(limit >> 20)});
    return FillText(TrText("CByteReader", "The file is %1 bytes; files over %2 bytes are not read."),
                    {std::to_string(size), std::to_string(limit)});
}

std::string CInputFile::StoppedText() { return TrText("CByteReader", "The reading was stopped."); }

bool CInputFile::Fail(const std::string& reason) {
    m_error = reason;
    return false;
}

bool CInputFile::Open(const std::string& path, uint64_t limit) {
    Close();
    m_error.clear();
    m_fd = OpenForReading(path);
    if (m_fd < 0) return Fail(SystemText(errno));
    SStat st{};
    if (StatOpen(m_fd, st) != 0) {
        const int error = errno;
        Close();
        return Fail(SystemText(error));
    }
    if (!IsRegular(st)) {
        Close();
        return Fail(NotRegularText());
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > limit) {
        Close();
        return Fail(TooLargeText(static_cast<uint64_t>(st.st_size), limit));
    }
#ifndef _WIN32
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
#endif
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool CInputFile::Check(const std::string& path, std::string& error, uint64_t limit) {
    CInputFile file;
    if (file.Open(path, limit)) return true;
    error = file.Error();
    return false;
}

long long CInputFile::Read(void* data, size_t n) {
    if (m_fd < 0) return -1;
    for (;;) {
        const long long got = ReadSome(m_fd, data, n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) m_error = SystemText(errno);
        if (got > 0) m_read += static_cast<uint64_t>(got);
        return got;
    }
}

bool CInputFile::ReadAll(std::vector<uint8_t>& bytes, const StopCheck& stop) {
    bytes.clear();
    if (m_fd < 0) return Fail(SystemText(EBADF));
    const uint64_t rest = m_size - std::min(m_read, m_size);
    bytes.resize(static_cast<size_t>(rest));
    size_t done = 0;
    while (done < bytes.size()) {
        if (stop && stop()) {
            bytes.clear();
            return Fail(StoppedText());
        }
        const long long n = Read(bytes.data() + done, std::min(kChunk, bytes.size() - done));
        if (n <= 0) {
            if (n == 0) m_error = TrText("CByteReader", "the file got shorter while it was read");
            bytes.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // One byte more than the size the open file had: it grew meanwhile, and what was read
    // may be a mix of two versions.
    uint8_t extra = 0;
    if (Read(&extra, 1) != 0) {
        bytes.clear();
        return Fail(TrText("CByteReader", "The file changed while it was opened; it was not read."));
    }
    return true;
}

void CInputFile::Close() {
    if (m_fd >= 0) CloseFd(m_fd);
    m_fd = -1;
    m_size = 0;
    m_read = 0;
}
