#pragma once
#include "phone/efs_commands.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CDiagLink;

// An entry of a folder listing.
struct SEfsEntry {
    std::string name;  // the entry's own name
    int32_t type = kEfsEntryFile;
    int32_t mode = 0;
    int32_t size = 0;
    bool IsFolder() const { return type == kEfsEntryDirectory; }
};

// A file found below a folder: its full path and size.
struct SEfsFile {
    std::string path;
    int32_t size = 0;
};

struct SEfsStat {
    int32_t mode = 0;
    int32_t size = 0;
    int32_t links = 0;
    int32_t mtime = 0;
    bool IsFolder() const { return IsEfsFolderMode(mode); }
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
    // Every file below root, folders followed to any depth, links not followed.
    bool ListFiles(const std::string& root, std::vector<SEfsFile>& files);
    bool ReadFile(const std::string& path, std::vector<uint8_t>& data);
    // Creates or replaces the file; with makeFolders, missing folders on its way first.
    bool WriteFile(const std::string& path, const std::vector<uint8_t>& data, bool makeFolders);
    // One folder; an existing one is a failure (errno 17).
    bool MakeFolder(const std::string& path);
    // Every missing folder of path; existing ones are fine.
    bool MakeFolders(const std::string& path);
    bool RemoveFile(const std::string& path);
    bool RemoveFolder(const std::string& path);

    const std::string& LastError() const { return m_error; }
    // The errno of the last failure; 0 when it was not the file system's (link, reply, size).
    int32_t LastErrno() const { return m_errno; }
    // Round trips since construction.
    size_t Requests() const { return m_requests; }

    // Largest file read or written (item files are small; a phone that never ends a file
    // must not fill the memory).
    static constexpr size_t kMaxFileSize = 64u << 20;

private:
    // Sends request on the phone's subsystem; false unless the reply decodes and its errno is 0.
    bool Call(SEfsMessage request, SEfsMessage& reply, const std::string& path);
    bool Simple(uint16_t command, std::vector<int32_t> fields, const std::string& path);
    bool Open(const std::string& path, int32_t flags, int32_t mode, int32_t& fd);
    // Closes fd; keeps an earlier failure's reason when ok is already false.
    bool Close(int32_t fd, bool ok, const std::string& path);
    bool CollectFiles(const std::string& folder, int depth, std::vector<SEfsFile>& files);
    bool Fail(const std::string& path, const std::string& reason, int32_t error = 0);
    bool FailMalformed(const std::string& path);
    bool FailTooLarge(const std::string& path);

    std::shared_ptr<CDiagLink> m_link;
    uint8_t m_subsystem = 0;
    bool m_noFileSystem = false;  // the phone refused both subsystems
    std::string m_error;
    int32_t m_errno = 0;
    size_t m_requests = 0;
    std::set<std::string> m_knownFolders;  // made or found by MakeFolders
};

// "/nv/item_files" + "modem" -> "/nv/item_files/modem".
std::string JoinEfsPath(const std::string& folder, const std::string& name);
