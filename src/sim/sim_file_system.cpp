#include "sim/sim_file_system.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace {
constexpr int32_t kFolderMode = kEfsDirectoryType | 0755;
constexpr int32_t kPermissionBits = 07777;
// The parameters this phone answers hello with: its own, not the client's.
constexpr int32_t kHelloWindow = 0x2000;
constexpr int32_t kHelloVersion = 1;
constexpr int32_t kHelloFeatures = 0x3F;
constexpr size_t kMaxPath = 1024;
constexpr size_t kMaxHostFile = 64u << 20;

SEfsMessage ReplyTo(const SEfsMessage& request, std::vector<int32_t> fields) {
    SEfsMessage reply;
    reply.subsystem = request.subsystem;
    reply.command = request.command;
    reply.fields = std::move(fields);
    return reply;
}
}  // namespace

CSimFileSystem::CSimFileSystem() {
    m_nodes["/"] = SNode{true, {}, kFolderMode, Now()};
}

int32_t CSimFileSystem::Now() {
    return static_cast<int32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

void CSimFileSystem::Changing() {
    if (!m_synced) m_synced = m_nodes;
}

size_t CSimFileSystem::UsedBytes() const {
    size_t used = 0;
    for (const auto& [path, node] : m_nodes) used += node.data.size();
    return used;
}

bool CSimFileSystem::Fits(size_t before, size_t after) const {
    return !m_capacity || UsedBytes() - before + after <= *m_capacity;
}

int32_t CSimFileSystem::JournalWrite() {
    if (m_journalLimit > 0 && m_journal >= m_journalLimit) return kEfsNoSpace;
    ++m_journal;
    return kEfsOk;
}

void CSimFileSystem::CountWrite() {
    if (m_journalLimit == 0 || m_journal < m_journalLimit) ++m_journal;
}

void CSimFileSystem::Reset() {
    m_open.clear();
    m_listings.clear();
    if (m_synced && !m_keepUnsynced) m_nodes = std::move(*m_synced);
    m_synced.reset();
    m_journal = 0;
}

bool CSimFileSystem::Normalize(const std::string& path, std::string& out) {
    if (path.empty() || path[0] != '/' || path.size() > kMaxPath) return false;
    out = "/";
    size_t at = 0;
    while (at < path.size()) {
        const size_t next = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, next - at);
        at = next + 1;
        if (part.empty()) continue;
        if (part == "." || part == "..") return false;
        if (out.size() > 1) out += '/';
        out += part;
    }
    return true;
}

int32_t CSimFileSystem::CheckParent(const std::string& path) const {
    if (path == "/") return kEfsOk;
    const std::string parent = path.substr(0, std::max<size_t>(path.find_last_of('/'), 1));
    const auto it = m_nodes.find(parent);
    if (it != m_nodes.end()) return it->second.folder ? kEfsOk : kEfsNotFolder;
    // A file further up makes it ENOTDIR, as POSIX says.
    const int32_t above = CheckParent(parent);
    return above == kEfsOk ? kEfsNoEntry : above;
}

std::vector<std::string> CSimFileSystem::ChildNames(const std::string& folder) const {
    const std::string prefix = folder == "/" ? "/" : folder + "/";
    std::vector<std::string> names;
    for (auto it = m_nodes.lower_bound(prefix); it != m_nodes.end() && it->first.rfind(prefix, 0) == 0; ++it) {
        const std::string rest = it->first.substr(prefix.size());
        if (!rest.empty() && rest.find('/') == std::string::npos) names.push_back(rest);
    }
    return names;
}

void CSimFileSystem::SetEndless(const std::set<std::string>& roots) {
    for (const std::string& root : roots)
        if (std::string normal; Normalize(root, normal) && PutFolder(normal)) m_endless.insert(normal);
}

bool CSimFileSystem::IsEndless(const std::string& path) const {
    for (const std::string& root : m_endless) {
        if (path == root) return true;
        const std::string prefix = root == "/" ? root : root + "/";
        if (path.rfind(prefix, 0) == 0 && path.find_first_not_of("ab/", prefix.size()) == std::string::npos) return true;
    }
    return false;
}

bool CSimFileSystem::PutFolder(const std::string& path) {
    std::string normal;
    if (!Normalize(path, normal)) return false;
    for (size_t slash = 1; slash <= normal.size(); ++slash) {
        if (slash != normal.size() && normal[slash] != '/') continue;
        const auto [it, added] = m_nodes.try_emplace(normal.substr(0, slash), SNode{true, {}, kFolderMode, Now()});
        if (!added && !it->second.folder) return false;
    }
    return true;
}

bool CSimFileSystem::PutFile(const std::string& path, std::vector<uint8_t> data, int32_t mode) {
    std::string normal;
    if (!Normalize(path, normal) || normal == "/") return false;
    const size_t slash = normal.find_last_of('/');
    if (slash > 0 && !PutFolder(normal.substr(0, slash))) return false;
    const auto it = m_nodes.find(normal);
    if (it != m_nodes.end() && it->second.folder) return false;
    m_nodes[normal] = SNode{false, std::move(data), mode ? mode : EfsModeOfPath(normal), Now()};
    return true;
}

bool CSimFileSystem::AddHostFolder(const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        error = dir + " is not a folder.";
        return false;
    }
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string path = "/" + fs::relative(it->path(), dir, ec).generic_string();
        if (it->is_symlink(ec)) continue;
        if (it->is_directory(ec)) {
            if (!PutFolder(path)) ec = std::make_error_code(std::errc::not_a_directory);
            continue;
        }
        if (!it->is_regular_file(ec)) continue;
        const auto size = it->file_size(ec);
        if (ec || size > kMaxHostFile) {
            error = "Can't take " + it->path().string() + ": too large or unreadable.";
            return false;
        }
        std::ifstream in(it->path(), std::ios::binary);
        std::vector<uint8_t> data(static_cast<size_t>(size));
        if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size())) ||
            !PutFile(path, std::move(data))) {
            error = "Can't take " + it->path().string() + ".";
            return false;
        }
    }
    if (ec) {
        error = "Can't read the folder " + dir + ": " + ec.message();
        return false;
    }
    return true;
}

const std::vector<uint8_t>* CSimFileSystem::Find(const std::string& path) const {
    std::string normal;
    if (!Normalize(path, normal)) return nullptr;
    const auto it = m_nodes.find(normal);
    return it == m_nodes.end() || it->second.folder ? nullptr : &it->second.data;
}

int32_t CSimFileSystem::ModeOf(const std::string& path) const {
    std::string normal;
    if (!Normalize(path, normal)) return 0;
    const auto it = m_nodes.find(normal);
    return it == m_nodes.end() ? 0 : it->second.mode;
}

std::vector<std::string> CSimFileSystem::FilePaths() const {
    std::vector<std::string> paths;
    for (const auto& [path, node] : m_nodes)
        if (!node.folder) paths.push_back(path);
    return paths;
}

int32_t CSimFileSystem::NewHandle() { return m_nextHandle++; }

bool CSimFileSystem::Fails(const std::string& path, int32_t offset) const {
    if (offset < static_cast<int32_t>(kEfsChunk)) return false;
    // A file written beside it (PATH.new) to be renamed over it fails alike.
    const size_t dot = path.find_last_of('.');
    return m_failPaths.count(path) || (dot != std::string::npos && m_failPaths.count(path.substr(0, dot)));
}

SEfsMessage CSimFileSystem::Answer(const SEfsMessage& request) {
    ++m_counts[request.command];
    // Full: no more bytes than it held at the first request; what a truncation frees can be
    // written again.
    if (m_full && !m_capacity) m_capacity = UsedBytes();
    switch (request.command) {
    case kEfsHello:
        // A new client: whatever an earlier one left open is closed, so it can't use up the handles.
        m_open.clear();
        m_listings.clear();
        return ReplyTo(request, {kHelloWindow, kHelloWindow, kHelloWindow, kHelloWindow, kHelloWindow, kHelloWindow,
                                 kHelloVersion, kHelloVersion, kHelloVersion, kHelloFeatures});
    case kEfsOpen: return Open(request);
    case kEfsPut: return Put(request);
    case kEfsSync:
    case kEfsSyncStatus: return Sync(request);
    case kEfsOldPut:
        m_hung = true;
        return ReplyTo(request, {});
    case kEfsFStat: {
        const auto it = m_open.find(request.Field(0));
        const auto node = it == m_open.end() ? m_nodes.end() : m_nodes.find(it->second.path);
        if (node == m_nodes.end()) return ReplyTo(request, {kEfsBadHandle, 0, 0, 0, 0, 0, 0});
        return StatReply(request, node->second);
    }
    case kEfsClose: return Close(request);
    case kEfsRead: return Read(request);
    case kEfsWrite: return Write(request);
    case kEfsOpenDir: return OpenDir(request);
    case kEfsReadDir: return ReadDir(request);
    case kEfsCloseDir: return ReplyTo(request, {m_listings.erase(request.Field(0)) ? kEfsOk : kEfsBadHandle});
    case kEfsRename: return Rename(request);
    default: return ByPath(request);
    }
}

SEfsMessage CSimFileSystem::Open(const SEfsMessage& request) {
    const int32_t flags = request.Field(0);
    std::string path;
    const auto fail = [&](int32_t error) { return ReplyTo(request, {-1, error}); };
    // The pair that crashes modems: the phone answers nothing for a while.
    if ((flags & kEfsItemFileFlag) && (flags & kEfsMakeFolders)) {
        m_hung = true;
        return fail(kEfsIoError);
    }
    if (!Normalize(request.text, path)) return fail(kEfsInvalid);
    if (m_open.size() >= kMaxOpen) return fail(kEfsTooManyOpen);
    const bool writing = (flags & kEfsAccessMask) != kEfsReadOnly;
    if (writing) Changing();
    const int32_t type = (flags & kEfsItemFileFlag) ? kEfsItemFileType : kEfsRegularType;
    auto it = m_nodes.find(path);
    if (it != m_nodes.end()) {
        if (it->second.folder) return fail(kEfsIsFolder);
        if ((flags & kEfsCreate) && (flags & kEfsExclusive)) return fail(kEfsExists);
        if (writing && (flags & kEfsTruncate)) {
            it->second.data.clear();
            it->second.time = Now();
        }
    } else {
        if (const int32_t error = CheckParent(path); error != kEfsOk) return fail(error);
        if (!(flags & kEfsCreate)) return fail(kEfsNoEntry);
        m_nodes[path] = SNode{false, {}, type | (request.Field(1) & kPermissionBits), Now()};
    }
    const int32_t fd = NewHandle();
    m_open[fd] = SOpenFile{path, flags};
    return ReplyTo(request, {fd, kEfsOk});
}

SEfsMessage CSimFileSystem::Close(const SEfsMessage& request) {
    const auto it = m_open.find(request.Field(0));
    if (it == m_open.end()) return ReplyTo(request, {kEfsBadHandle});
    const bool failing = m_failPaths.count(it->second.path) > 0;
    m_open.erase(it);
    return ReplyTo(request, {failing ? kEfsIoError : kEfsOk});
}

SEfsMessage CSimFileSystem::Read(const SEfsMessage& request) {
    const int32_t fd = request.Field(0), wanted = request.Field(1), offset = request.Field(2);
    const auto fail = [&](int32_t error) { return ReplyTo(request, {fd, offset, -1, error}); };
    const auto it = m_open.find(fd);
    if (it == m_open.end() || (it->second.flags & kEfsAccessMask) == kEfsWriteOnly) return fail(kEfsBadHandle);
    const auto node = m_nodes.find(it->second.path);
    if (node == m_nodes.end()) return fail(kEfsBadHandle);
    if (wanted < 0 || offset < 0) return fail(kEfsInvalid);
    if (Fails(it->second.path, offset)) return fail(kEfsIoError);
    const std::vector<uint8_t>& data = node->second.data;
    const size_t from = std::min(static_cast<size_t>(offset), data.size());
    const size_t count = std::min({static_cast<size_t>(wanted), kEfsChunk, data.size() - from});
    SEfsMessage reply = ReplyTo(request, {fd, offset, static_cast<int32_t>(count), kEfsOk});
    reply.data.assign(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count));
    return reply;
}

SEfsMessage CSimFileSystem::Write(const SEfsMessage& request) {
    const int32_t fd = request.Field(0), offset = request.Field(1);
    const auto fail = [&](int32_t error) { return ReplyTo(request, {fd, offset, -1, error}); };
    const auto it = m_open.find(fd);
    if (it == m_open.end() || (it->second.flags & kEfsAccessMask) == kEfsReadOnly) return fail(kEfsBadHandle);
    const auto node = m_nodes.find(it->second.path);
    if (node == m_nodes.end()) return fail(kEfsBadHandle);
    if (offset < 0 || request.data.size() > kEfsChunk) return fail(kEfsInvalid);
    if (Fails(it->second.path, offset)) return fail(kEfsIoError);
    if (!request.data.empty() && !Fits(node->second.data.size(),
                                       std::max(node->second.data.size(), static_cast<size_t>(offset) + request.data.size())))
        return fail(kEfsNoSpace);
    if (!request.data.empty())
        if (const int32_t error = JournalWrite(); error != kEfsOk) return fail(error);
    Changing();
    node->second.time = Now();
    std::vector<uint8_t>& data = node->second.data;
    const size_t end = static_cast<size_t>(offset) + request.data.size();
    if (end > kMaxHostFile) return fail(kEfsNoSpace);
    if (data.size() < end) data.resize(end);
    std::copy(request.data.begin(), request.data.end(), data.begin() + offset);
    return ReplyTo(request, {fd, offset, static_cast<int32_t>(request.data.size()), kEfsOk});
}

int32_t CSimFileSystem::MakeFolder(const std::string& path, int32_t mode) {
    if (m_nodes.count(path)) return kEfsExists;
    if (const int32_t error = CheckParent(path); error != kEfsOk) return error;
    if (m_full) return kEfsNoSpace;
    Changing();
    m_nodes[path] = SNode{true, {}, kEfsDirectoryType | (mode & kPermissionBits), Now()};
    return kEfsOk;
}

SEfsMessage CSimFileSystem::Put(const SEfsMessage& request) {
    const int32_t flags = request.Field(2);
    std::string path;
    const auto answer = [&](int32_t error, size_t written = 0) {
        return ReplyTo(request, {0, error, static_cast<int32_t>(written)});
    };
    if (!Normalize(request.text, path) || path == "/") return answer(kEfsInvalid);
    const auto it = m_nodes.find(path);
    if (it != m_nodes.end() && it->second.folder) return answer(kEfsIsFolder);
    if (it == m_nodes.end() && !(flags & kEfsCreate)) return answer(kEfsNoEntry);
    int32_t parent = CheckParent(path);
    if (parent == kEfsNoEntry && (flags & kEfsMakeFolders)) {
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            if (const int32_t error = MakeFolder(path.substr(0, slash)); error != kEfsOk && error != kEfsExists)
                return answer(error);
        parent = CheckParent(path);
    }
    if (parent != kEfsOk) return answer(parent);
    if (m_failPaths.count(path)) return answer(kEfsIoError);
    if (!Fits(it == m_nodes.end() ? 0 : it->second.data.size(), request.data.size())) return answer(kEfsNoSpace);
    if (const int32_t error = JournalWrite(); error != kEfsOk) return answer(error);
    Changing();
    // The whole file at once: a put that fails leaves the file as it was.
    const int32_t type = (flags & kEfsItemFileFlag) ? kEfsItemFileType : kEfsRegularType;
    m_nodes[path] = SNode{false, request.data, type | (request.Field(3) & kPermissionBits), Now()};
    return answer(kEfsOk, request.data.size());
}

SEfsMessage CSimFileSystem::Sync(const SEfsMessage& request) {
    if (request.command == kEfsSync) {
        if (m_refuseSync) return ReplyTo(request, {request.Field(0), 0, kEfsInvalid});
        ++m_syncs;
        m_synced.reset();
        m_journal = 0;
        ++m_syncToken;
        m_syncPolls[m_syncToken] = 0;
        return ReplyTo(request, {request.Field(0), static_cast<int32_t>(m_syncToken), kEfsOk});
    }
    const auto poll = m_syncPolls.find(static_cast<uint32_t>(request.Field(1)));
    if (poll == m_syncPolls.end()) return ReplyTo(request, {request.Field(0), 0, kEfsInvalid});
    // Pending at the first poll, done from the second.
    return ReplyTo(request, {request.Field(0), poll->second++ > 0 ? 1 : 0, kEfsOk});
}

SEfsMessage CSimFileSystem::StatReply(const SEfsMessage& request, const SNode& node) const {
    return ReplyTo(request, {kEfsOk, node.mode, static_cast<int32_t>(node.data.size()), 1, node.time, node.time,
                             node.time});
}

// unlink, mkdir, rmdir and stat: a path in, an errno (and stat's fields) out.
SEfsMessage CSimFileSystem::ByPath(const SEfsMessage& request) {
    std::string path;
    if (!Normalize(request.text, path)) return ReplyTo(request, {kEfsInvalid});
    const auto it = m_nodes.find(path);
    const bool exists = it != m_nodes.end();
    const int32_t missing = exists ? kEfsOk : (CheckParent(path) == kEfsNotFolder ? kEfsNotFolder : kEfsNoEntry);
    switch (request.command) {
    case kEfsMkdir: return ReplyTo(request, {MakeFolder(path, request.Field(0))});
    case kEfsUnlink:
        if (!exists) return ReplyTo(request, {missing});
        if (it->second.folder) return ReplyTo(request, {kEfsIsFolder});
        Changing();
        m_nodes.erase(path);
        return ReplyTo(request, {kEfsOk});
    case kEfsRmdir:
        if (!exists) return ReplyTo(request, {missing});
        if (!it->second.folder) return ReplyTo(request, {kEfsNotFolder});
        if (path == "/") return ReplyTo(request, {kEfsNoAccess});
        if (!ChildNames(path).empty()) return ReplyTo(request, {kEfsNotEmpty});
        Changing();
        m_nodes.erase(path);
        return ReplyTo(request, {kEfsOk});
    case kEfsStat: {
        if (!exists) return ReplyTo(request, {missing, 0, 0, 0, 0, 0, 0});
        return StatReply(request, it->second);
    }
    default: return ReplyTo(request, {kEfsInvalid});
    }
}

SEfsMessage CSimFileSystem::Rename(const SEfsMessage& request) {
    const size_t zero = request.text.find('\0');
    std::string from, to;
    if (zero == std::string::npos || !Normalize(request.text.substr(0, zero), from) ||
        !Normalize(request.text.substr(zero + 1), to))
        return ReplyTo(request, {kEfsInvalid});
    const auto it = m_nodes.find(from);
    if (it == m_nodes.end()) return ReplyTo(request, {CheckParent(from) == kEfsNotFolder ? kEfsNotFolder : kEfsNoEntry});
    if (it->second.folder) return ReplyTo(request, {kEfsInvalid});  // files only, as Tessiva renames them
    if (const int32_t parent = CheckParent(to); parent != kEfsOk) return ReplyTo(request, {parent});
    const auto target = m_nodes.find(to);
    if (target != m_nodes.end() && target->second.folder) return ReplyTo(request, {kEfsIsFolder});
    Changing();
    SNode node = std::move(it->second);
    m_nodes.erase(it);
    m_nodes[to] = std::move(node);
    return ReplyTo(request, {kEfsOk});
}

SEfsMessage CSimFileSystem::OpenDir(const SEfsMessage& request) {
    std::string path;
    if (!Normalize(request.text, path)) return ReplyTo(request, {0, kEfsInvalid});
    const auto it = m_nodes.find(path);
    const bool endless = IsEndless(path);
    if (it == m_nodes.end() && !endless)
        return ReplyTo(request, {0, CheckParent(path) == kEfsNotFolder ? kEfsNotFolder : kEfsNoEntry});
    if (!endless && !it->second.folder) return ReplyTo(request, {0, kEfsNotFolder});
    if (m_unlistable.count(path)) return ReplyTo(request, {0, kEfsNoAccess});
    if (m_listings.size() >= kMaxOpen) return ReplyTo(request, {0, kEfsTooManyOpen});
    const int32_t handle = NewHandle();
    // The names as they are now: a listing is not disturbed by changes made during it.
    m_listings[handle];
    for (const std::string& name : ChildNames(path)) {
        std::string child = (path == "/" ? "/" : path + "/") + name;
        if (!m_hidden.count(child)) m_listings[handle].names.push_back(std::move(child));
    }
    const std::string prefix = path == "/" ? "/" : path + "/";
    if (endless)
        for (const char* sub : {"a", "b"}) m_listings[handle].names.push_back(prefix + sub);
    if (m_longName > 0) m_listings[handle].names.push_back(prefix + std::string(m_longName, 'n'));
    return ReplyTo(request, {handle, kEfsOk});
}

SEfsMessage CSimFileSystem::ReadDir(const SEfsMessage& request) {
    const int32_t handle = request.Field(0), sequence = request.Field(1);
    const auto fail = [&](int32_t error) { return ReplyTo(request, {handle, sequence, error, 0, 0, 0, 0, 0, 0}); };
    const auto it = m_listings.find(handle);
    if (it == m_listings.end()) return fail(kEfsBadHandle);
    if (sequence < 1) return fail(kEfsInvalid);
    const std::vector<std::string>& names = it->second.names;
    if (static_cast<size_t>(sequence) > names.size()) return fail(kEfsOk);  // an empty name: the end
    const std::string& path = names[static_cast<size_t>(sequence - 1)];
    const auto node = m_nodes.find(path);
    const SNode gone;  // removed since the listing began
    const SNode endless{true, {}, kFolderMode, 0};
    const SNode& n = node != m_nodes.end() ? node->second : IsEndless(path) ? endless : gone;
    SEfsMessage reply = ReplyTo(request, {handle, sequence, kEfsOk, n.folder ? kEfsEntryDirectory : kEfsEntryFile,
                                          n.mode, static_cast<int32_t>(n.data.size()), n.time, n.time, n.time});
    reply.text = path.substr(path.find_last_of('/') + 1);
    return reply;
}
