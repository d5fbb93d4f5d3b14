#pragma once
#include "phone/efs_commands.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The simulated phone's file system: folders and files in memory, answering the file system
// commands with the errno a POSIX file system would give.
//
// As real modems: files have a type and permission bits (item files 0o160000, made by put
// with the item-file flag or open with it; open with create alone makes a regular file),
// times, hidden files that only stat and open find, and a journal that commits on sync
// (48/49): a reset keeps only what was synced, and with a journal limit, writes after that
// many answer ENOSPC until a sync. Requests that hang modems (open with the item-file and
// make-folders flags together) set Hung(): the phone then goes silent.
//
// Faults: a file of failPaths opens, but its data past the first chunk and its close answer
// EIO (a file that fails half way); a full file system answers ENOSPC to new folders and to
// data beyond the bytes it held when first written to (what a truncation frees fits again;
// new empty files still open, as on phones).
class CSimFileSystem {
public:
    CSimFileSystem();

    // Puts a file, making the folders on its way; false for a path that is not absolute or
    // meets a file where a folder should be. Mode 0: by the path (EfsModeOfPath).
    bool PutFile(const std::string& path, std::vector<uint8_t> data, int32_t mode = 0);
    bool PutFolder(const std::string& path);
    // The files and folders below dir, as / of the phone; false with a sentence in error.
    bool AddHostFolder(const std::string& dir, std::string& error);
    // The file's bytes, or null.
    const std::vector<uint8_t>* Find(const std::string& path) const;
    // The file's or folder's mode (type and permission bits); 0 when there is none.
    int32_t ModeOf(const std::string& path) const;
    // Every file's path, in path order.
    std::vector<std::string> FilePaths() const;

    void SetFailPaths(std::set<std::string> paths) { m_failPaths = std::move(paths); }
    void SetFull(bool full) { m_full = full; }
    // Files readdir does not list (stat and open still find them).
    void SetHidden(std::set<std::string> paths) { m_hidden = std::move(paths); }
    // Folders opendir refuses (access denied).
    void SetUnlistable(std::set<std::string> paths) { m_unlistable = std::move(paths); }
    // Folders whose every subfolder holds two more, "a" and "b", without end.
    void SetEndless(const std::set<std::string>& roots);
    // Every listing gives one more entry, named with this many characters; 0: none.
    void SetLongName(size_t length) { m_longName = length; }
    // Writes (file data, puts, NV writes through CountWrite) a journal takes before a sync;
    // 0: no limit.
    void SetJournalLimit(int writes) { m_journalLimit = writes; }
    // The sync request answered with an error.
    void SetRefuseSync(bool refuse) { m_refuseSync = refuse; }
    // A reset keeps everything written, synced or not.
    void SetKeepUnsynced(bool keep) { m_keepUnsynced = keep; }
    // An NV write: it fills the journal as file writes do.
    void CountWrite();
    // The phone starts again: open files are closed, and unless kept, what was not synced is lost.
    void Reset();
    // True once after a request that hangs a modem.
    bool TakeHang() { return std::exchange(m_hung, false); }
    // Requests of each command so far.
    size_t Count(uint16_t command) const { return m_counts.count(command) ? m_counts.at(command) : 0; }
    int Syncs() const { return m_syncs; }

    // The reply to one request (its subsystem echoed).
    SEfsMessage Answer(const SEfsMessage& request);

    // Files open at once, as phones limit them.
    static constexpr size_t kMaxOpen = 16;

private:
    struct SNode {
        bool folder = false;
        std::vector<uint8_t> data;
        int32_t mode = 0;
        int32_t time = 0;  // atime, mtime and ctime alike
    };
    struct SOpenFile {
        std::string path;
        int32_t flags = 0;
    };
    struct SListing {
        std::vector<std::string> names;
    };

    // "/a//b/" -> "/a/b"; false for a relative path or one with . or .. in it.
    static bool Normalize(const std::string& path, std::string& out);
    // 0 when the folder that would hold path is there, else ENOENT or ENOTDIR.
    int32_t CheckParent(const std::string& path) const;
    std::vector<std::string> ChildNames(const std::string& folder) const;
    bool IsEndless(const std::string& path) const;
    int32_t NewHandle();
    bool Fails(const std::string& path, int32_t offset) const;

    SEfsMessage Open(const SEfsMessage& request);
    SEfsMessage Read(const SEfsMessage& request);
    SEfsMessage Write(const SEfsMessage& request);
    SEfsMessage Close(const SEfsMessage& request);
    SEfsMessage ByPath(const SEfsMessage& request);
    // A file moved to another path, replacing a file there.
    SEfsMessage Rename(const SEfsMessage& request);
    SEfsMessage OpenDir(const SEfsMessage& request);
    SEfsMessage ReadDir(const SEfsMessage& request);
    SEfsMessage Put(const SEfsMessage& request);
    SEfsMessage Sync(const SEfsMessage& request);
    SEfsMessage StatReply(const SEfsMessage& request, const SNode& node) const;
    int32_t MakeFolder(const std::string& path, int32_t mode = 0755);
    // False when a file of before bytes growing to after would not fit a full file system.
    bool Fits(size_t before, size_t after) const;
    size_t UsedBytes() const;
    // ENOSPC when the journal is full, else counts one write and gives 0.
    int32_t JournalWrite();
    // Before the first change since the last sync: what a reset goes back to.
    void Changing();
    static int32_t Now();

    std::map<std::string, SNode> m_nodes;
    std::map<int32_t, SOpenFile> m_open;
    std::map<int32_t, SListing> m_listings;
    int32_t m_nextHandle = 1;
    std::set<std::string> m_failPaths;
    bool m_full = false;
    std::optional<size_t> m_capacity;  // bytes a full file system holds, once asked
    std::set<std::string> m_hidden, m_unlistable, m_endless;
    size_t m_longName = 0;
    int m_journalLimit = 0, m_journal = 0;
    bool m_refuseSync = false, m_keepUnsynced = false, m_hung = false;
    std::optional<std::map<std::string, SNode>> m_synced;  // as at the last sync, once changed since
    uint32_t m_syncToken = 0;
    std::map<uint32_t, int> m_syncPolls;  // by token: status polls so far
    int m_syncs = 0;
    std::map<uint16_t, size_t> m_counts;
};
