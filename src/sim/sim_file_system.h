#pragma once
#include "phone/efs_commands.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The simulated phone's file system: folders and files in memory, answering the file system
// commands with the errno a POSIX file system would give.
//
// Faults: a file of failPaths opens, but its data past the first chunk and its close answer
// EIO (a file that fails half way); a full file system answers ENOSPC to data writes and new
// folders (new empty files still open, as on phones).
class CSimFileSystem {
public:
    CSimFileSystem();

    // Puts a file, making the folders on its way; false for a path that is not absolute or
    // meets a file where a folder should be.
    bool PutFile(const std::string& path, std::vector<uint8_t> data);
    bool PutFolder(const std::string& path);
    // The files and folders below dir, as / of the phone; false with a sentence in error.
    bool AddHostFolder(const std::string& dir, std::string& error);
    // The file's bytes, or null.
    const std::vector<uint8_t>* Find(const std::string& path) const;
    // Every file's path, in path order.
    std::vector<std::string> FilePaths() const;

    void SetFailPaths(std::set<std::string> paths) { m_failPaths = std::move(paths); }
    void SetFull(bool full) { m_full = full; }

    // The reply to one request (its subsystem echoed).
    SEfsMessage Answer(const SEfsMessage& request);

    // Files open at once, as phones limit them.
    static constexpr size_t kMaxOpen = 16;

private:
    struct SNode {
        bool folder = false;
        std::vector<uint8_t> data;
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
    int32_t NewHandle();
    bool Fails(const std::string& path, int32_t offset) const;

    SEfsMessage Open(const SEfsMessage& request);
    SEfsMessage Read(const SEfsMessage& request);
    SEfsMessage Write(const SEfsMessage& request);
    SEfsMessage Close(const SEfsMessage& request);
    SEfsMessage ByPath(const SEfsMessage& request);
    SEfsMessage OpenDir(const SEfsMessage& request);
    SEfsMessage ReadDir(const SEfsMessage& request);
    int32_t MakeFolder(const std::string& path);

    std::map<std::string, SNode> m_nodes;
    std::map<int32_t, SOpenFile> m_open;
    std::map<int32_t, SListing> m_listings;
    int32_t m_nextHandle = 1;
    std::set<std::string> m_failPaths;
    bool m_full = false;
};
