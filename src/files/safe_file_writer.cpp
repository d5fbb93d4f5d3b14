#include "files/safe_file_writer.h"

#include "jobs/text_translation.h"
#include "model/crc16.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
constexpr size_t kBufferSize = 1 << 16;

// The few system calls the writer needs, the same on every platform.
#ifdef _WIN32
using SStat = struct _stat64;
int OpenNew(const std::string& path) {
    return _wopen(fs::u8path(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int OpenExisting(const std::string& path) { return _wopen(fs::u8path(path).c_str(), _O_WRONLY | _O_BINARY); }
long long WriteSome(int fd, const uint8_t* data, size_t n) {
    return _write(fd, data, static_cast<unsigned>(std::min<size_t>(n, 1u << 30)));
}
int SyncFile(int fd) { return _commit(fd); }
int StatFile(int fd, SStat& st) { return _fstat64(fd, &st); }
int CloseFd(int fd) { return _close(fd); }
void RemoveFile(const std::string& path) { _wunlink(fs::u8path(path).c_str()); }
int SyncFolder(const std::string&) { return 0; }  // Windows has no folder handle to flush
bool IsRegular(const SStat& st) { return (st.st_mode & _S_IFREG) != 0; }
void KeepMode(int, const SStat&) {}
#else
using SStat = struct stat;
int OpenNew(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
int OpenExisting(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY); }
long long WriteSome(int fd, const uint8_t* data, size_t n) { return write(fd, data, n); }
int SyncFile(int fd) { return fsync(fd); }
int StatFile(int fd, SStat& st) { return fstat(fd, &st); }
int CloseFd(int fd) { return close(fd); }
void RemoveFile(const std::string& path) { unlink(path.c_str()); }
int SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int result = fsync(fd);
    if (result != 0 && errno == EINVAL) result = 0;  // a file system that can't sync folders
    const int saved = errno;
    close(fd);
    errno = saved;
    return result;
}
bool IsRegular(const SStat& st) { return S_ISREG(st.st_mode); }
// A replaced file keeps who may read it.
void KeepMode(int fd, const SStat& st) { fchmod(fd, st.st_mode & 07777); }
#endif

bool StatPath(const std::string& path, SStat& st) {
#ifdef _WIN32
    return _wstat64(fs::u8path(path).c_str(), &st) == 0;
#else
    return stat(path.c_str(), &st) == 0;
#endif
}

std::string FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// A name beside path that nothing uses yet, created and open for writing.
int CreateTemporary(const std::string& path, std::string& temporary) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::minstd_rand random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".";
        for (int i = 0; i < 6; ++i) temporary += kChars[random() % (sizeof kChars - 1)];
        const int fd = OpenNew(temporary);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}
}  // namespace

CSafeFileWriter::CSafeFileWriter() = default;

CSafeFileWriter::~CSafeFileWriter() { Cancel(); }

bool CSafeFileWriter::Open(const std::string& path) {
    Cancel();
    m_error.clear();
    m_crc = 0;
    m_written = 0;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    m_path = path;
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {  // replace the file the link names, keep the link
        const fs::path target = fs::canonical(path, ec);
        if (!ec) m_path = target.string();
    }
    SStat existing{};
    const bool exists = StatPath(m_path, existing);
    if (exists && fs::is_directory(m_path, ec)) {
        SetSystemError(EISDIR);
        return false;
    }
    m_direct = exists && !IsRegular(existing);
    m_fd = m_direct ? OpenExisting(m_path) : CreateTemporary(m_path, m_temporary);
    if (m_fd < 0) {
        SetSystemError(errno);
        m_temporary.clear();
        return false;
    }
    if (exists && !m_direct) KeepMode(m_fd, existing);
    return true;
}

bool CSafeFileWriter::IsOpen() const { return m_fd >= 0; }

void CSafeFileWriter::SetError(const std::string& what) {
    if (m_error.empty()) m_error = what.empty() ? TrText("CSafeFileWriter", "write error") : what;
}

void CSafeFileWriter::SetSystemError(int error) { SetError(std::generic_category().message(error)); }

bool CSafeFileWriter::Flush() {
    if (m_fd < 0) return false;
    size_t done = 0;
    while (done < m_buffer.size()) {
        const long long n = WriteSome(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetSystemError(n < 0 ? errno : ENOSPC);
            m_buffer.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_buffer.clear();
    return true;
}

bool CSafeFileWriter::Write(const void* data, size_t n) {
    if (m_fd < 0 || Failed()) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_crc = Crc16(bytes, n, m_crc);
    m_written += n;
    if (m_buffer.size() + n > kBufferSize && !Flush()) return false;
    if (n >= kBufferSize) {
        m_buffer.assign(bytes, bytes + n);
        return Flush();
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + n);
    return true;
}

bool CSafeFileWriter::WriteU16(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    return Write(b, 2);
}

bool CSafeFileWriter::WriteU32(uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
                          static_cast<uint8_t>((value >> 16) & 0xFF), static_cast<uint8_t>(value >> 24)};
    return Write(b, 4);
}

bool CSafeFileWriter::Commit() {
    if (m_fd < 0) {
        SetError(TrText("CSafeFileWriter", "the file is not open"));
        return false;
    }
    if (!Failed()) Flush();
    const bool ok = !Failed() && (m_direct ? FinishDirect() : FinishTemporary());
    if (!ok) Cancel();
    return ok;
}

// The bytes on disk, counted and synced, then the rename: only a whole file replaces the old one.
bool CSafeFileWriter::FinishTemporary() {
    SStat st{};
    if (SyncFile(m_fd) != 0 || StatFile(m_fd, st) != 0) {
        SetSystemError(errno);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) != m_written) {
        SetError(FillText(TrText("CSafeFileWriter", "the disk holds %1 of the %2 bytes written"),
                          {std::to_string(st.st_size), std::to_string(m_written)}));
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (CloseFd(fd) != 0 || SyncFolder(FolderOf(m_temporary)) != 0) {
        SetSystemError(errno);
        return false;
    }
    std::error_code ec;
    fs::rename(m_temporary, m_path, ec);
    if (ec) {
        SetError(ec.message());
        return false;
    }
    m_temporary.clear();
    SyncFolder(FolderOf(m_path));  // the rename itself; the new file is whole whatever this says
    return true;
}

bool CSafeFileWriter::FinishDirect() {
    // Character devices and pipes can't be synced; every byte has reached them already.
    if (SyncFile(m_fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) {
        SetSystemError(errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (CloseFd(fd) != 0) {
        SetSystemError(errno);
        return false;
    }
    return true;
}

void CSafeFileWriter::CloseFile() {
    if (m_fd >= 0) CloseFd(m_fd);
    m_fd = -1;
}

void CSafeFileWriter::Cancel() {
    CloseFile();
    if (!m_temporary.empty()) RemoveFile(m_temporary);
    m_temporary.clear();
    m_buffer.clear();
}

bool CSafeFileWriter::WriteWholeFile(const std::string& path, const void* data, size_t n, std::string& error) {
    CSafeFileWriter writer;
    if (writer.Open(path) && writer.Write(data, n) && writer.Commit()) return true;
    error = writer.Error().empty() ? TrText("CSafeFileWriter", "The file could not be written.") : writer.Error();
    return false;
}
