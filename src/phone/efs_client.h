#pragma once
#include "phone/efs_commands.h"
#include "phone/efs_window.h"

#include <cstddef>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CDiagLink;

// An entry of a folder listing. Sizes travel as 32 bits: unsigned, so 2 GB and more show so.
struct SEfsEntry {
    std::string name;  // the entry's own name
    int32_t type = kEfsEntryFile;
    int32_t mode = 0;
    uint32_t size = 0;
    bool IsFolder() const { return type == kEfsEntryDirectory; }
};

// A file found below a folder: its full path, size and mode (type and permission bits).
struct SEfsFile {
    std::string path;
    uint32_t size = 0;
    int32_t mode = 0;
};

struct SEfsStat {
    int32_t mode = 0;
    uint32_t size = 0;
    int32_t links = 0;
    int32_t mtime = 0;
    bool IsFolder() const { return IsEfsFolderMode(mode); }
};

// What a walk of the phone's folders found, and what it could not take.
struct SEfsWalk {
    std::vector<SEfsFile> files;
    // Folders the phone would not list, each with the reason; the walk went on past them.
    std::vector<std::pair<std::string, std::string>> refused;
    // Entries passed over (a name no path can reach, shortened; a folder nested too deep), with the reason.
    std::vector<std::pair<std::string, std::string>> passedOver;
    // Why the walk ended early (bounds, a stop, the link); empty when it went through.
    std::string stoppedBy;
};

// How a sync of the phone's journal went.
enum class EEfsSync {
    Synced,   // the phone said its journal is committed
    Waited,   // the phone refused the sync: the fallback pause was waited instead
    Failed,   // the link failed, or the status never came within the bound
};

// A client of the phone's file system over a link. The first call finds the subsystem the
// phone answers (0x13, else 0x3E) with the hello command. Files move in chunks of 1024
// bytes; a file whose chunk, or whose close, fails is a failed file. Every call gives false
// with LastError() naming the path and the reason. One thread at a time.
class CEfsClient {
public:
    explicit CEfsClient(std::shared_ptr<CDiagLink> link);

    // True when the phone answers one of the subsystems.
    bool Hello();
    // The subsystem found; 0 before a successful hello.
    uint8_t Subsystem() const { return m_subsystem; }

    bool Stat(const std::string& path, SEfsStat& stat);
    bool ListFolder(const std::string& path, std::vector<SEfsEntry>& entries);
    // Every file below root, folders followed up to a depth and a total of folders and
    // entries, links not followed. A folder the phone will not list is noted and passed; the
    // progress hook, asked after each folder, stops the walk. False when root itself can't
    // be listed (LastError() tells why); walk tells the rest.
    bool ListFiles(const std::string& root, SEfsWalk& walk);
    // The chunks of the size expected (as a listing or stat gave it) are asked in flight.
    bool ReadFile(const std::string& path, std::vector<uint8_t>& data, size_t expected = 0);
    // Creates or replaces the file whole as the type and permission bits of mode say (an
    // item file for kEfsItemFileType, else a regular file), missing folders on its way made.
    // Up to kEfsPutMax bytes go in one put request, so a cut transfer leaves the old file;
    // larger files, or all when the phone does not know put, go by open, write and close to
    // the path with kTemporarySuffix, renamed over the file (in place when the phone knows no
    // rename or has no room for both).
    bool WriteFile(const std::string& path, const std::vector<uint8_t>& data, int32_t mode);
    // True when the last WriteFile that failed may have changed the phone's file (it was
    // opened for writing); false when the phone refused it whole.
    bool LastWriteTouched() const { return m_touched; }
    // Asks the phone to commit its journal and waits for it (polling within SyncLimit()). A
    // phone that refuses the request is given the fallback pause instead.
    EEfsSync Sync();
    void SetSyncTimes(std::chrono::milliseconds limit, std::chrono::milliseconds fallback) {
        m_syncLimit = limit;
        m_syncFallback = fallback;
    }
    std::chrono::milliseconds SyncFallback() const { return m_syncFallback; }
    // One folder; an existing one is a failure (errno 17).
    bool MakeFolder(const std::string& path);
    // Every missing folder of path; existing ones are fine.
    bool MakeFolders(const std::string& path);
    bool RemoveFile(const std::string& path);
    bool RemoveFolder(const std::string& path);
    // Moves a file, replacing a file at to.
    bool Rename(const std::string& from, const std::string& to);

    // Told the bytes of the file moved so far after each chunk of a read or write; false
    // stops the file, which then fails ("stopped"). Called on the thread of the transfer.
    using Progress = std::function<bool(size_t bytes)>;
    void SetProgress(Progress progress) { m_progress = std::move(progress); }

    // True when this client's reads made the link fall back to one request at a time.
    bool FellBack() const { return m_fellBack; }

    const std::string& LastError() const { return m_error; }
    // The errno of the last failure; 0 when it was not the file system's (link, reply, size).
    int32_t LastErrno() const { return m_errno; }
    // Round trips since construction, and of each command.
    size_t Requests() const { return m_requests; }
    size_t Requests(uint16_t command) const;

    // Largest file read or written (item files are small; a phone that never ends a file
    // must not fill the memory).
    static constexpr size_t kMaxFileSize = 64u << 20;
    // The name beside a file that its new content is written to first.
    static constexpr const char* kTemporarySuffix = ".tessiva-new";
    // A walk's bounds: a phone whose folders never end must not list for days.
    static constexpr int kMaxDepth = 32;
    static constexpr size_t kMaxWalkFolders = 20000;
    static constexpr size_t kMaxWalkEntries = 200000;

private:
    // Sends request on the phone's subsystem; false unless the reply decodes and its errno is 0.
    bool Call(SEfsMessage request, SEfsMessage& reply, const std::string& path);
    void Count(uint16_t command);
    // Decodes an answer to command into reply: false unless it came, decodes and its errno is 0.
    bool Answered(uint16_t command, const SEfsAnswer& answer, SEfsMessage& reply, const std::string& path);
    // Requests kept in flight up to the link's window (listing entries, file chunks).
    void InWindow(const CEfsWindow::FNext& next, const CEfsWindow::FDone& done);
    bool Simple(uint16_t command, std::vector<int32_t> fields, const std::string& path);
    bool Open(const std::string& path, int32_t flags, int32_t mode, int32_t& fd);
    // Closes fd; keeps an earlier failure's reason when ok is already false.
    bool Close(int32_t fd, bool ok, const std::string& path);
    void CollectFiles(const std::string& folder, int depth, SEfsWalk& walk, size_t& folders, size_t& entries);
    // Put (38): the whole file in one request. refused is set when the phone does not know it.
    bool Put(const std::string& path, const std::vector<uint8_t>& data, int32_t flags, int32_t mode, bool& refused);
    bool WriteByOpen(const std::string& path, const std::vector<uint8_t>& data, int32_t flags, int32_t mode);
    bool Fail(const std::string& path, const std::string& reason, int32_t error = 0);
    bool FailMalformed(const std::string& path);
    bool FailTooLarge(const std::string& path);
    // After a chunk: false, the file failed, when the progress hook stops it.
    bool GoOn(size_t bytes, const std::string& path);

    std::shared_ptr<CDiagLink> m_link;
    uint8_t m_subsystem = 0;
    bool m_noFileSystem = false;  // the phone refused both subsystems
    std::string m_error;
    int32_t m_errno = 0;
    std::vector<std::pair<std::string, std::string>> m_passedOver;  // by the last listing
    size_t m_requests = 0;
    std::vector<size_t> m_commandCounts;
    bool m_noPut = false;     // the phone does not know put
    bool m_fellBack = false;  // a window of reads fell back to one at a time
    bool m_noRename = false;  // the phone does not know rename
    bool m_stopped = false;  // the progress hook stopped the last transfer or walk
    bool m_touched = false;  // the last write opened the file
    uint16_t m_syncSequence = 0;
    std::chrono::milliseconds m_syncLimit{30000}, m_syncFallback{5000};
    std::set<std::string> m_knownFolders;  // made or found by MakeFolders
    Progress m_progress;
};

// "/nv/item_files" + "modem" -> "/nv/item_files/modem".
std::string JoinEfsPath(const std::string& folder, const std::string& name);
