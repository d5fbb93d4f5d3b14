#include "files/safe_file_writer.h"

#include "jobs/text_translation.h"
#include "model/crc16.h"
#include "model/input_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static_assert(CSafeFileWriter::kMaxFileSize == CInputFile::kMaxFileSize, "what is written must read back");

namespace {
constexpr size_t kBufferSize = 1 << 16;
constexpr int kMaxOtherNames = 1000;

// The few system calls the writer needs, the same on every platform.
#ifdef _WIN32
using SStat = struct _stat64;
int CreateTemporary(const std::string& path) {
    return _wopen(fs::u8path(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
int OpenExisting(const std::string& path) { return _wopen(fs::u8path(path).c_str(), _O_WRONLY | _O_BINARY); }
long long WriteSome(int fd, const uint8_t* data, size_t n) {
    return _write(fd, data, static_cast<unsigned>(std::min<size_t>(n, 1u << 30)));
}
int SyncFile(int fd) { return _commit(fd); }
int SizeOf(int fd, uint64_t& size) {
    SStat st{};
    if (_fstat64(fd, &st) != 0) return -1;
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}
int CloseFd(int fd) { return _close(fd); }
int RenameFile(const std::string& from, const std::string& to, bool replace) {
    if (!replace) {
        // Windows' rename never replaces; a name that is taken fails it.
        if (_wrename(fs::u8path(from).c_str(), fs::u8path(to).c_str()) == 0) return 0;
        std::error_code ec;
        if (errno == EACCES && fs::exists(fs::u8path(to), ec)) errno = EEXIST;
        return -1;
    }
    std::error_code ec;
    fs::rename(fs::u8path(from), fs::u8path(to), ec);
    if (!ec) return 0;
    const std::error_condition cause = ec.default_error_condition();
    errno = cause.category() == std::generic_category() ? cause.value() : EIO;
    return -1;
}
void RemoveFile(const std::string& path) { _wunlink(fs::u8path(path).c_str()); }
int SyncFolder(const std::string&) { return 0; }  // Windows has no folder handle to flush
bool IsRegular(const SStat& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
void KeepMode(int, const SStat&) {}
// Windows keeps an open file from being removed: a live save's temporary file stays.
bool LockTemporary(int) { return true; }
int KeepLock(int) { return -1; }
bool RemoveIfAbandoned(const std::string& path) { return _wunlink(fs::u8path(path).c_str()) == 0; }
#else
using SStat = struct stat;
int CreateTemporary(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
}
// O_NONBLOCK: a pipe that nothing reads from fails at once (ENXIO) instead of waiting forever.
int OpenExisting(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }
long long WriteSome(int fd, const uint8_t* data, size_t n) { return write(fd, data, n); }
int SyncFile(int fd) { return fsync(fd); }
int SizeOf(int fd, uint64_t& size) {
    SStat st{};
    if (fstat(fd, &st) != 0) return -1;
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}
int CloseFd(int fd) { return close(fd); }
int RenameFile(const std::string& from, const std::string& to, bool replace) {
    if (replace) return rename(from.c_str(), to.c_str());
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    // Without it: a link is made only where there is no name yet, then the temporary name goes.
    if (link(from.c_str(), to.c_str()) != 0) return -1;
    unlink(from.c_str());
    return 0;
}
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
// The lock tells a live save's temporary file from one a killed save left: the system
// drops it with the process. False when another process holds it or has removed the file.
bool LockTemporary(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;  // no locks here: nothing to tell
    SStat st{};
    return fstat(fd, &st) == 0 && st.st_nlink > 0;
}
// A second handle holds the lock from the checked close of the file until its rename.
int KeepLock(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }
bool RemoveIfAbandoned(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    SStat st{};
    const bool removed = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}
#endif

const CSafeFileWriter::SCalls kSystemCalls = {CreateTemporary, OpenExisting, WriteSome, SyncFile,
                                              SizeOf,          CloseFd,      RenameFile, SyncFolder};
std::atomic<const CSafeFileWriter::SCalls*> g_calls{&kSystemCalls};
const CSafeFileWriter::SCalls& Calls() { return *g_calls.load(); }

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

bool IsPartialName(const std::string& name) {
    const std::string suffix = CSafeFileWriter::kPartialSuffix;
    return name.size() > suffix.size() + 1 && name[0] == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// ".NAME.xxxxxx.tessiva-partial" beside path that nothing uses yet, created, locked and open.
int OpenTemporary(const std::string& path, std::string& temporary) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::minstd_rand random(seed());
    const fs::path target(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target.filename().string() + ".";
        for (int i = 0; i < 6; ++i) name += kChars[random() % (sizeof kChars - 1)];
        temporary = (target.parent_path() / (name + CSafeFileWriter::kPartialSuffix)).string();
        const int fd = Calls().createTemporary(temporary);
        if (fd < 0 && errno != EEXIST) return fd;
        if (fd < 0) continue;
        if (LockTemporary(fd)) return fd;
        Calls().close(fd);  // taken for a killed save's and removed meanwhile: another name
    }
    errno = EEXIST;
    return -1;
}

// "NAME-n.EXT" for the n-th name tried of path "NAME.EXT".
std::string OtherName(const std::string& path, int n) {
    const fs::path p(path);
    return (p.parent_path() / (p.stem().string() + "-" + std::to_string(n) + p.extension().string())).string();
}
}  // namespace

const CSafeFileWriter::SCalls& CSafeFileWriter::SystemCalls() { return kSystemCalls; }

void CSafeFileWriter::UseCalls(const SCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

CSafeFileWriter::CSafeFileWriter() = default;

CSafeFileWriter::~CSafeFileWriter() { Cancel(); }

std::string CSafeFileWriter::TooLargeText() {
    return FillText(TrText("CSafeFileWriter", "the file would be larger than %1 MB, which Tessiva does not read"),
                    {std::to_string(kMaxFileSize >> 20)});
}

void CSafeFileWriter::RemoveStalePartials(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsPartialName(it->path().filename().string())) RemoveIfAbandoned(it->path().string());
    }
}

bool CSafeFileWriter::Open(const std::string& path, ETarget target) {
    Cancel();
    m_error.clear();
    m_crc = 0;
    m_written = 0;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    m_target = target;
    m_path = path;
    std::error_code ec;
    if (target == ETarget::Replace && fs::is_symlink(path, ec)) {  // replace the file the link names, keep the link
        const fs::path linked = fs::canonical(path, ec);
        if (!ec) m_path = linked.string();
    }
    SStat existing{};
    const bool exists = target == ETarget::Replace && StatPath(m_path, existing);
    if (exists && fs::is_directory(m_path, ec)) {
        SetSystemError(EISDIR);
        return false;
    }
    m_direct = exists && !IsRegular(existing);
    if (!m_direct) RemoveStalePartials(FolderOf(m_path));
    m_fd = m_direct ? Calls().openExisting(m_path) : OpenTemporary(m_path, m_temporary);
    if (!m_direct && m_fd >= 0) m_lock = KeepLock(m_fd);
    if (m_fd < 0) {
        if (m_direct && errno == ENXIO) SetError(TrText("CSafeFileWriter", "no program reads from this pipe"));
        else SetSystemError(errno);
        m_temporary.clear();
        return false;
    }
#ifndef _WIN32
    if (m_direct) fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
#endif
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
        const long long n = Calls().write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
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
    if (n > kMaxFileSize - m_written) {
        SetError(TooLargeText());
        return false;
    }
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
    uint64_t size = 0;
    if (Calls().sync(m_fd) != 0 || Calls().size(m_fd, size) != 0) {
        SetSystemError(errno);
        return false;
    }
    if (size != m_written) {
        SetError(FillText(TrText("CSafeFileWriter", "the disk holds %1 of the %2 bytes written"),
                          {std::to_string(size), std::to_string(m_written)}));
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (Calls().close(fd) != 0 || Calls().syncFolder(FolderOf(m_temporary)) != 0) {
        SetSystemError(errno);
        return false;
    }
    if (!RenameIntoPlace()) return false;
    CloseFile();  // the lock too, now that the temporary name is gone
    Calls().syncFolder(FolderOf(m_path));  // the rename itself; the new file is whole whatever this says
    return true;
}

bool CSafeFileWriter::RenameIntoPlace() {
    const bool replace = m_target == ETarget::Replace;
    const std::string wanted = m_path;
    for (int n = 2; n <= kMaxOtherNames + 1; ++n) {
        if (Calls().rename(m_temporary, m_path, replace) == 0) {
            m_temporary.clear();
            return true;
        }
        if (replace || errno != EEXIST) break;
        m_path = OtherName(wanted, n);  // taken since it was chosen: the next free one
    }
    const int error = errno;
    m_path = wanted;
    SetSystemError(error);
    return false;
}

bool CSafeFileWriter::FinishDirect() {
    // Character devices and pipes can't be synced; every byte has reached them already.
    if (Calls().sync(m_fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) {
        SetSystemError(errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (Calls().close(fd) != 0) {
        SetSystemError(errno);
        return false;
    }
    return true;
}

void CSafeFileWriter::CloseFile() {
    if (m_fd >= 0) Calls().close(m_fd);
    m_fd = -1;
    if (m_lock >= 0) CloseFd(m_lock);
    m_lock = -1;
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
