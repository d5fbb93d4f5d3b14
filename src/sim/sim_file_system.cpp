#include "sim/sim_file_system.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {
constexpr int32_t kFileMode = kEfsRegularType | 0644;
constexpr int32_t kFolderMode = kEfsDirectoryType | 0755;
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

CSimFileSystem::CSimFileSystem() { m_nodes["/"].folder = true; }

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

bool CSimFileSystem::PutFolder(const std::string& path) {
    std::string normal;
    if (!Normalize(path, normal)) return false;
    for (size_t slash = 1; slash <= normal.size(); ++slash) {
        if (slash != normal.size() && normal[slash] != '/') continue;
        const auto [it, added] = m_nodes.try_emplace(normal.substr(0, slash));
        if (!added && !it->second.folder) return false;
        it->second.folder = true;
    }
    return true;
}

bool CSimFileSystem::PutFile(const std::string& path, std::vector<uint8_t> data) {
    std::string normal;
    if (!Normalize(path, normal) || normal == "/") return false;
    const size_t slash = normal.find_last_of('/');
    if (slash > 0 && !PutFolder(normal.substr(0, slash))) return false;
    const auto it = m_nodes.find(normal);
    if (it != m_nodes.end() && it->second.folder) return false;
    m_nodes[normal] = SNode{false, std::move(data)};
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

std::vector<std::string> CSimFileSystem::FilePaths() const {
    std::vector<std::string> paths;
    for (const auto& [path, node] : m_nodes)
        if (!node.folder) paths.push_back(path);
    return paths;
}

int32_t CSimFileSystem::NewHandle() { return m_nextHandle++; }

bool CSimFileSystem::Fails(const std::string& path, int32_t offset) const {
    return m_failPaths.count(path) && offset >= static_cast<int32_t>(kEfsChunk);
}

SEfsMessage CSimFileSystem::Answer(const SEfsMessage& request) {
    switch (request.command) {
    case kEfsHello:
        // A new client: whatever an earlier one left open is closed, so it can't use up the handles.
        m_open.clear();
        m_listings.clear();
        return ReplyTo(request, request.fields);
    case kEfsOpen: return Open(request);
    case kEfsClose: return Close(request);
    case kEfsRead: return Read(request);
    case kEfsWrite: return Write(request);
    case kEfsOpenDir: return OpenDir(request);
    case kEfsReadDir: return ReadDir(request);
    case kEfsCloseDir: return ReplyTo(request, {m_listings.erase(request.Field(0)) ? kEfsOk : kEfsBadHandle});
    default: return ByPath(request);
    }
}

SEfsMessage CSimFileSystem::Open(const SEfsMessage& request) {
    const int32_t flags = request.Field(0);
    std::string path;
    const auto fail = [&](int32_t error) { return ReplyTo(request, {-1, error}); };
    if (!Normalize(request.text, path)) return fail(kEfsInvalid);
    if (m_open.size() >= kMaxOpen) return fail(kEfsTooManyOpen);
    const bool writing = (flags & kEfsAccessMask) != kEfsReadOnly;
    auto it = m_nodes.find(path);
    if (it != m_nodes.end()) {
        if (it->second.folder) return fail(kEfsIsFolder);
        if ((flags & kEfsCreate) && (flags & kEfsExclusive)) return fail(kEfsExists);
        if (writing && (flags & kEfsTruncate)) it->second.data.clear();
    } else {
        if (const int32_t error = CheckParent(path); error != kEfsOk) return fail(error);
        if (!(flags & kEfsCreate)) return fail(kEfsNoEntry);
        m_nodes[path] = SNode{};
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
    if (m_full && !request.data.empty()) return fail(kEfsNoSpace);
    std::vector<uint8_t>& data = node->second.data;
    const size_t end = static_cast<size_t>(offset) + request.data.size();
    if (end > kMaxHostFile) return fail(kEfsNoSpace);
    if (data.size() < end) data.resize(end);
    std::copy(request.data.begin(), request.data.end(), data.begin() + offset);
    return ReplyTo(request, {fd, offset, static_cast<int32_t>(request.data.size()), kEfsOk});
}

int32_t CSimFileSystem::MakeFolder(const std::string& path) {
    if (m_nodes.count(path)) return kEfsExists;
    if (const int32_t error = CheckParent(path); error != kEfsOk) return error;
    if (m_full) return kEfsNoSpace;
    m_nodes[path].folder = true;
    return kEfsOk;
}

// unlink, mkdir, rmdir and stat: a path in, an errno (and stat's fields) out.
SEfsMessage CSimFileSystem::ByPath(const SEfsMessage& request) {
    std::string path;
    if (!Normalize(request.text, path)) return ReplyTo(request, {kEfsInvalid});
    const auto it = m_nodes.find(path);
    const bool exists = it != m_nodes.end();
    const int32_t missing = exists ? kEfsOk : (CheckParent(path) == kEfsNotFolder ? kEfsNotFolder : kEfsNoEntry);
    switch (request.command) {
    case kEfsMkdir: return ReplyTo(request, {MakeFolder(path)});
    case kEfsUnlink:
        if (!exists) return ReplyTo(request, {missing});
        if (it->second.folder) return ReplyTo(request, {kEfsIsFolder});
        m_nodes.erase(it);
        return ReplyTo(request, {kEfsOk});
    case kEfsRmdir:
        if (!exists) return ReplyTo(request, {missing});
        if (!it->second.folder) return ReplyTo(request, {kEfsNotFolder});
        if (path == "/") return ReplyTo(request, {kEfsNoAccess});
        if (!ChildNames(path).empty()) return ReplyTo(request, {kEfsNotEmpty});
        m_nodes.erase(it);
        return ReplyTo(request, {kEfsOk});
    case kEfsStat: {
        if (!exists) return ReplyTo(request, {missing, 0, 0, 0, 0, 0, 0});
        const SNode& node = it->second;
        return ReplyTo(request, {kEfsOk, node.folder ? kFolderMode : kFileMode,
                                 static_cast<int32_t>(node.data.size()), 1, 0, 0, 0});
    }
    default: return ReplyTo(request, {kEfsInvalid});
    }
}

SEfsMessage CSimFileSystem::OpenDir(const SEfsMessage& request) {
    std::string path;
    if (!Normalize(request.text, path)) return ReplyTo(request, {0, kEfsInvalid});
    const auto it = m_nodes.find(path);
    if (it == m_nodes.end()) return ReplyTo(request, {0, CheckParent(path) == kEfsNotFolder ? kEfsNotFolder : kEfsNoEntry});
    if (!it->second.folder) return ReplyTo(request, {0, kEfsNotFolder});
    if (m_listings.size() >= kMaxOpen) return ReplyTo(request, {0, kEfsTooManyOpen});
    const int32_t handle = NewHandle();
    // The names as they are now: a listing is not disturbed by changes made during it.
    m_listings[handle].names = ChildNames(path);
    for (std::string& name : m_listings[handle].names) name = (path == "/" ? "/" : path + "/") + name;
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
    const bool folder = node != m_nodes.end() && node->second.folder;
    const auto size = node == m_nodes.end() ? 0 : static_cast<int32_t>(node->second.data.size());
    SEfsMessage reply = ReplyTo(request, {handle, sequence, kEfsOk, folder ? kEfsEntryDirectory : kEfsEntryFile,
                                          folder ? kFolderMode : kFileMode, size, 0, 0, 0});
    reply.text = path.substr(path.find_last_of('/') + 1);
    return reply;
}
