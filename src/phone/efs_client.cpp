#include "phone/efs_client.h"

#include "phone/diag_commands.h"
#include "phone/diag_link.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <thread>

namespace {
constexpr int32_t kMaxEntries = 100000;
constexpr int32_t kFileMode = 0644;
constexpr int32_t kFolderMode = 0755;
constexpr int32_t kPermissionBits = 07777;
// Entries of one folder listed between two looks at the progress hook (the stop flag).
constexpr int32_t kEntriesPerLook = 64;
constexpr auto kSyncPoll = std::chrono::milliseconds(100);
// Longest path sent; longer entry names of a listing are passed over.
constexpr size_t kMaxPath = 1024;
// Characters of a name passed over that its note shows.
constexpr size_t kShownName = 64;
}  // namespace

std::string JoinEfsPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

CEfsClient::CEfsClient(std::shared_ptr<CDiagLink> link) : m_link(std::move(link)) {}

bool CEfsClient::Fail(const std::string& path, const std::string& reason, int32_t error) {
    m_error = path.empty() ? reason : FillText(TrText("CEfsClient", "%1: %2"), {path, reason});
    m_errno = error;
    return false;
}

bool CEfsClient::FailMalformed(const std::string& path) {
    return Fail(path, TrText("CEfsClient", "the phone sent a malformed file system reply"));
}

bool CEfsClient::FailTooLarge(const std::string& path) {
    return Fail(path, TrText("CEfsClient", "the file is larger than 64 MB"));
}

bool CEfsClient::GoOn(size_t bytes, const std::string& path) {
    if (!m_progress || m_progress(bytes)) return true;
    m_stopped = true;
    return Fail(path, TrText("CEfsClient", "stopped"));
}

bool CEfsClient::Hello() {
    if (m_subsystem) return true;
    if (!m_link) return Fail("", TrText("CEfsClient", "Not connected to a phone."));
    const std::string none = TrText("CEfsClient", "The phone does not answer the file system commands.");
    if (m_noFileSystem) return Fail("", none);
    for (const uint8_t subsystem : {kEfsSubsystem, kEfsAltSubsystem}) {
        std::vector<uint8_t> reply;
        uint8_t refused = 0;
        ++m_requests;
        if (m_link->Request(EncodeEfsRequest(EfsHelloRequest(subsystem)), reply, refused)) {
            SEfsMessage hello;
            if (!DecodeEfsReply(reply, hello))
                return FailMalformed("");
            m_subsystem = subsystem;
            return true;
        }
        if (refused != kDiagBadCommand) return Fail("", m_link->LastError());
    }
    m_noFileSystem = true;
    return Fail("", none);
}

bool CEfsClient::Call(SEfsMessage request, SEfsMessage& reply, const std::string& path) {
    if (!Hello()) return false;
    request.subsystem = m_subsystem;
    Count(request.command);
    SEfsAnswer answer;
    uint8_t refused = 0;
    answer.ok = m_link->Request(EncodeEfsRequest(request), answer.reply, refused);
    if (!answer.ok) answer.error = m_link->LastError();
    return Answered(request.command, answer, reply, path);
}

void CEfsClient::Count(uint16_t command) {
    ++m_requests;
    if (m_commandCounts.size() <= command) m_commandCounts.resize(command + 1u);
    ++m_commandCounts[command];
}

bool CEfsClient::Answered(uint16_t command, const SEfsAnswer& answer, SEfsMessage& reply, const std::string& path) {
    if (!answer.ok) return Fail(path, answer.error);
    if (!DecodeEfsReply(answer.reply, reply) || reply.command != command) return FailMalformed(path);
    const int field = EfsErrnoField(command);
    const int32_t error = field >= 0 ? reply.Field(static_cast<size_t>(field)) : 0;
    if (error != kEfsOk) return Fail(path, EfsErrnoText(error), error);
    return true;
}

void CEfsClient::InWindow(const CEfsWindow::FNext& next, const CEfsWindow::FDone& done) {
    CEfsWindow window(*m_link, m_subsystem);
    window.Run(
        [&](size_t i, SEfsMessage& request) {
            if (!next(i, request)) return false;
            Count(request.command);
            return true;
        },
        done);
    m_fellBack = m_fellBack || window.FellBack();
}

size_t CEfsClient::Requests(uint16_t command) const {
    return command < m_commandCounts.size() ? m_commandCounts[command] : 0;
}

bool CEfsClient::Simple(uint16_t command, std::vector<int32_t> fields, const std::string& path) {
    SEfsMessage request, reply;
    request.command = command;
    request.fields = std::move(fields);
    request.text = path;
    return Call(std::move(request), reply, path);
}

bool CEfsClient::Stat(const std::string& path, SEfsStat& stat) {
    SEfsMessage request, reply;
    request.command = kEfsStat;
    request.text = path;
    if (!Call(std::move(request), reply, path)) return false;
    stat.mode = reply.Field(1);
    stat.size = static_cast<uint32_t>(reply.Field(2));
    stat.links = reply.Field(3);
    stat.mtime = reply.Field(5);
    return true;
}

bool CEfsClient::ListFolder(const std::string& path, std::vector<SEfsEntry>& entries) {
    entries.clear();
    m_passedOver.clear();
    SEfsMessage request, reply;
    request.command = kEfsOpenDir;
    request.text = path;
    if (!Call(request, reply, path)) return false;
    const int32_t handle = reply.Field(0);
    bool ok = true, ended = false;
    // An empty name ends the listing; the entry type does not (0 is also a regular file).
    // Entries are asked ahead; those past the end come back empty and are dropped.
    InWindow(
        [&](size_t i, SEfsMessage& next) {
            if (ended || i >= static_cast<size_t>(kMaxEntries)) return false;
            next.command = kEfsReadDir;
            next.fields = {handle, static_cast<int32_t>(i + 1)};
            return true;
        },
        [&](size_t i, const SEfsAnswer& answer) {
            const auto sequence = static_cast<int32_t>(i + 1);
            if (!Answered(kEfsReadDir, answer, reply, path)) return ok = false;
            if (reply.Field(0) != handle || reply.Field(1) != sequence)
                return ok = Fail(path, TrText("CEfsClient", "the phone answered for another entry of the listing"));
            if (reply.text.empty()) {
                ended = true;
                return false;
            }
            if (sequence == kMaxEntries) return ok = Fail(path, TrText("CEfsClient", "the phone's listing does not end"));
            if (sequence % kEntriesPerLook == 0 && !GoOn(entries.size(), path)) return ok = false;
            if (reply.text == "." || reply.text == "..") return true;
            // A name no path can hold is passed over: it could be neither read nor written.
            if (reply.text.find('/') != std::string::npos || reply.text.size() + path.size() >= kMaxPath) {
                const bool cut = reply.text.size() > kShownName;
                m_passedOver.emplace_back(
                    reply.text.substr(0, kShownName) + (cut ? "..." : ""),
                    FillText(TrText("CEfsClient", "a name of %1 characters no path of the phone can reach"),
                             {std::to_string(reply.text.size())}));
                return true;
            }
            entries.push_back({reply.text, reply.Field(3), reply.Field(4), static_cast<uint32_t>(reply.Field(5))});
            return true;
        });
    const std::string error = m_error;
    const int32_t errnoValue = m_errno;
    const bool closed = Simple(kEfsCloseDir, {handle}, path);
    if (!ok) {
        m_error = error;
        m_errno = errnoValue;
    }
    return ok && closed;
}

void CEfsClient::CollectFiles(const std::string& folder, int depth, SEfsWalk& walk, size_t& folders,
                              size_t& entries) {
    if (!walk.stoppedBy.empty()) return;
    if (depth > kMaxDepth) {
        walk.passedOver.emplace_back(folder, TrText("CEfsClient", "folders nested too deep"));
        return;
    }
    if (++folders > kMaxWalkFolders) {
        walk.stoppedBy = FillText(TrText("CEfsClient", "more than %1 folders below the root"),
                                  {std::to_string(kMaxWalkFolders)});
        return;
    }
    std::vector<SEfsEntry> list;
    if (!ListFolder(folder, list)) {
        if (m_link->HasFailed() || m_stopped) walk.stoppedBy = m_error;
        else walk.refused.emplace_back(folder, m_error);
        return;
    }
    if (!GoOn(entries, folder)) {
        walk.stoppedBy = m_error;
        return;
    }
    entries += list.size() + m_passedOver.size();
    for (auto& [name, why] : m_passedOver) walk.passedOver.emplace_back(JoinEfsPath(folder, name), std::move(why));
    if (entries > kMaxWalkEntries) {
        walk.stoppedBy = FillText(TrText("CEfsClient", "more than %1 entries below the root"),
                                  {std::to_string(kMaxWalkEntries)});
        return;
    }
    for (const SEfsEntry& entry : list) {
        const std::string path = JoinEfsPath(folder, entry.name);
        if (entry.IsFolder()) CollectFiles(path, depth + 1, walk, folders, entries);
        else if (entry.type != kEfsEntryLink) walk.files.push_back({path, entry.size, entry.mode});
    }
}

bool CEfsClient::ListFiles(const std::string& root, SEfsWalk& walk) {
    walk = SEfsWalk();
    m_stopped = false;
    size_t folders = 0, entries = 0;
    CollectFiles(root, 0, walk, folders, entries);
    if (!walk.refused.empty() && walk.refused.front().first == root && walk.files.empty()) {
        walk.refused.clear();
        return false;  // m_error still tells why
    }
    return true;
}

bool CEfsClient::Open(const std::string& path, int32_t flags, int32_t mode, int32_t& fd) {
    SEfsMessage request, reply;
    request.command = kEfsOpen;
    request.fields = {flags, mode};
    request.text = path;
    if (!Call(std::move(request), reply, path)) return false;
    fd = reply.Field(0);
    return true;
}

bool CEfsClient::Close(int32_t fd, bool ok, const std::string& path) {
    if (!ok) {
        // The file failed already: close it if the link still works, and keep that reason.
        const std::string error = m_error;
        const int32_t errnoValue = m_errno;
        Simple(kEfsClose, {fd}, path);
        m_error = error;
        m_errno = errnoValue;
        return false;
    }
    return Simple(kEfsClose, {fd}, path);
}

bool CEfsClient::ReadFile(const std::string& path, std::vector<uint8_t>& data, size_t expected) {
    data.clear();
    int32_t fd = 0;
    if (!Open(path, kEfsReadOnly, 0, fd)) return false;
    bool ok = true, ended = false;
    size_t full = 0;  // chunks that came whole, in order
    // The chunks of the size expected go ahead, and more while chunks come whole: a file
    // that grew is read to its end.
    InWindow(
        [&](size_t i, SEfsMessage& next) {
            if (ended || (i > expected / kEfsChunk && i > full) || i * kEfsChunk > kMaxFileSize) return false;
            next.command = kEfsRead;
            next.fields = {fd, static_cast<int32_t>(kEfsChunk), static_cast<int32_t>(i * kEfsChunk)};
            return true;
        },
        [&](size_t i, const SEfsAnswer& answer) {
            SEfsMessage reply;
            const auto offset = static_cast<int32_t>(i * kEfsChunk);
            if (!Answered(kEfsRead, answer, reply, path)) return ok = false;
            const int32_t got = reply.Field(2);
            if (reply.Field(0) != fd || reply.Field(1) != offset || got < 0 || static_cast<size_t>(got) > kEfsChunk ||
                reply.data.size() < static_cast<size_t>(got))
                return ok = FailMalformed(path);
            if (data.size() + static_cast<size_t>(got) > kMaxFileSize) return ok = FailTooLarge(path);
            data.insert(data.end(), reply.data.begin(), reply.data.begin() + got);
            if (static_cast<size_t>(got) < kEfsChunk) {
                ended = true;
                return false;
            }
            ++full;
            return ok = GoOn(data.size(), path);
        });
    if (!Close(fd, ok, path)) {
        data.clear();  // half a file is no file
        return false;
    }
    return true;
}

bool CEfsClient::WriteFile(const std::string& path, const std::vector<uint8_t>& data, int32_t mode) {
    m_touched = false;
    if (data.size() > kMaxFileSize) return FailTooLarge(path);
    const int32_t permissions = (mode & kPermissionBits) ? mode & kPermissionBits : kFileMode;
    const int32_t flags =
        kEfsWriteOnly | kEfsCreate | kEfsTruncate | (IsEfsItemFileMode(mode) ? kEfsItemFileFlag : 0);
    if (data.size() <= kEfsPutMax && !m_noPut) {
        bool refused = false;
        if (Put(path, data, flags | kEfsMakeFolders, permissions, refused)) return true;
        if (!refused) return false;
        m_noPut = true;
    }
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
    // Never the make-folders flag here: with the item-file flag on open it crashes some modems.
    // Written beside it and renamed over it, a cut transfer leaves the old file.
    if (!m_noRename) {
        const std::string temporary = path + kTemporarySuffix;
        const bool written = WriteByOpen(temporary, data, flags, permissions);
        m_touched = false;  // the old file is as it was either way
        if (written && Rename(temporary, path)) return true;
        m_noRename = written && m_errno == 0 && m_link->LastRefusal() == kDiagBadCommand;
        // The reason names the file asked for.
        const std::string error = m_error.rfind(temporary, 0) == 0 ? path + m_error.substr(temporary.size()) : m_error;
        const int32_t errorNumber = m_errno;
        if (!m_link->HasFailed()) (void)RemoveFile(temporary);
        m_error = error;
        m_errno = errorNumber;
        // A phone without rename, or without room for both copies, has it written in place.
        if (!m_noRename && errorNumber != kEfsNoSpace) return false;
    }
    return WriteByOpen(path, data, flags, permissions);
}

bool CEfsClient::Rename(const std::string& from, const std::string& to) {
    SEfsMessage request, reply;
    request.command = kEfsRename;
    request.text = from + std::string(1, '\0') + to;
    return Call(std::move(request), reply, to);
}

bool CEfsClient::Put(const std::string& path, const std::vector<uint8_t>& data, int32_t flags, int32_t mode,
                     bool& refused) {
    SEfsMessage request, reply;
    request.command = kEfsPut;
    request.fields = {static_cast<int32_t>(data.size()), 0, flags, mode};
    request.data = data;
    request.text = path;
    refused = false;
    if (!Call(std::move(request), reply, path)) {
        refused = m_errno == 0 && m_link->LastRefusal() == kDiagBadCommand;
        return false;
    }
    if (static_cast<uint16_t>(reply.Field(2)) != data.size())
        return Fail(path, FillText(TrText("CEfsClient", "the phone took %1 of %2 bytes"),
                                   {std::to_string(static_cast<uint16_t>(reply.Field(2))), std::to_string(data.size())}));
    return true;
}

bool CEfsClient::WriteByOpen(const std::string& path, const std::vector<uint8_t>& data, int32_t flags,
                             int32_t mode) {
    int32_t fd = 0;
    if (!Open(path, flags, mode, fd)) return false;
    m_touched = true;
    bool ok = true;
    for (size_t offset = 0; offset < data.size(); offset += kEfsChunk) {
        const size_t length = std::min(kEfsChunk, data.size() - offset);
        SEfsMessage request, reply;
        request.command = kEfsWrite;
        request.fields = {fd, static_cast<int32_t>(offset)};
        request.data.assign(data.begin() + static_cast<long>(offset),
                            data.begin() + static_cast<long>(offset + length));
        if (!Call(std::move(request), reply, path)) {
            ok = false;
            break;
        }
        if (reply.Field(1) != static_cast<int32_t>(offset)) {
            ok = FailMalformed(path);
            break;
        }
        if (reply.Field(2) != static_cast<int32_t>(length)) {
            ok = Fail(path, FillText(TrText("CEfsClient", "the phone took %1 of %2 bytes at offset %3"),
                                     {std::to_string(reply.Field(2)), std::to_string(length), std::to_string(offset)}));
            break;
        }
        if (offset + length < data.size() && !GoOn(offset + length, path)) {
            ok = false;
            break;
        }
    }
    return Close(fd, ok, path);
}

EEfsSync CEfsClient::Sync() {
    SEfsMessage request, reply;
    request.command = kEfsSync;
    request.fields = {++m_syncSequence};
    request.text = "/";
    if (!Call(request, reply, "/")) {
        if (!m_subsystem || m_link->HasFailed()) return EEfsSync::Failed;
        std::this_thread::sleep_for(m_syncFallback);
        return EEfsSync::Waited;
    }
    request.command = kEfsSyncStatus;
    request.fields = {m_syncSequence, reply.Field(1)};
    // The status byte is 0 while the commit is under way.
    const auto deadline = std::chrono::steady_clock::now() + m_syncLimit;
    for (;;) {
        if (!Call(request, reply, "/")) return EEfsSync::Failed;
        if (reply.Field(1) != 0) return EEfsSync::Synced;
        if (std::chrono::steady_clock::now() >= deadline) {
            Fail("/", FillText(TrText("CEfsClient", "the phone did not finish its sync within %1 s"),
                               {std::to_string(m_syncLimit.count() / 1000)}));
            return EEfsSync::Failed;
        }
        std::this_thread::sleep_for(kSyncPoll);
    }
}

bool CEfsClient::MakeFolder(const std::string& path) { return Simple(kEfsMkdir, {kFolderMode}, path); }

bool CEfsClient::MakeFolders(const std::string& path) {
    for (size_t slash = 1; slash != std::string::npos && slash <= path.size();) {
        const size_t next = path.find('/', slash);
        const std::string folder = path.substr(0, next);
        slash = next == std::string::npos ? next : next + 1;
        if (folder.empty() || folder.back() == '/' || m_knownFolders.count(folder)) continue;
        if (!MakeFolder(folder) && m_errno != kEfsExists) return false;
        m_knownFolders.insert(folder);
    }
    return true;
}

bool CEfsClient::RemoveFile(const std::string& path) { return Simple(kEfsUnlink, {}, path); }

bool CEfsClient::RemoveFolder(const std::string& path) {
    // The folder and whatever was made below it are no longer known to exist.
    for (auto it = m_knownFolders.lower_bound(path); it != m_knownFolders.end() && it->rfind(path, 0) == 0;)
        it = m_knownFolders.erase(it);
    return Simple(kEfsRmdir, {}, path);
}
