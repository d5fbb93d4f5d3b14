#include "doc/backup_folder.h"

#include "files/backup_kind.h"
#include "files/host_file.h"
#include "files/safe_file_writer.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {
// Such a backup is kept for reference but never taken as the last one.
constexpr const char* kIncompleteMark = "-incomplete";
}  // namespace

std::string NewBackupPath(const std::string& folder, bool haveEsn, unsigned esn, bool incomplete,
                          const std::string& extension) {
    std::string base = FileTimeStamp();
    if (haveEsn) {
        char text[24];
        std::snprintf(text, sizeof text, "-esn-%08x", esn);
        base += text;
    }
    if (incomplete) base += kIncompleteMark;
    const std::filesystem::path dir(folder);
    std::string path = (dir / (base + extension)).string();
    for (int n = 2; std::filesystem::exists(path); ++n)
        path = (dir / (base + "-" + std::to_string(n) + extension)).string();
    return path;
}

std::string MakeBackupFolder(const std::string& folder) {
    if (folder.empty()) return TrText("CBackupFolder", "No folder for backups is set.");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return FillText(TrText("CBackupFolder", "The folder %1 can't be made: %2."), {folder, error.message()});
    return {};
}

std::string NewestBackup(const std::string& folder) {
    std::error_code error;
    std::string newest;
    std::filesystem::file_time_type newestTime{};
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (BackupKindOfName(it->path().string()) == EBackupKind::Unknown || !it->is_regular_file(error)) continue;
        if (it->path().stem().string().find(kIncompleteMark) != std::string::npos) continue;
        const auto time = it->last_write_time(error);
        // Names start with the date and time, so they break a tie of equal file times.
        if (newest.empty() || time > newestTime || (time == newestTime && it->path().string() > newest)) {
            newest = it->path().string();
            newestTime = time;
        }
    }
    return newest;
}

std::string HostFileName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    return name.empty() || name == "." || name == ".." ? "_" : name;
}

std::string PhoneFileCopyPath(const std::string& folder, const std::string& phonePath) {
    std::filesystem::path relative;
    for (size_t at = 0; at < phonePath.size();) {
        const size_t slash = std::min(phonePath.find('/', at), phonePath.size());
        if (slash > at) relative /= HostFileName(phonePath.substr(at, slash - at));
        at = slash + 1;
    }
    if (relative.empty()) relative = "_";
    const std::filesystem::path root = std::filesystem::path(folder) / "phone-files";
    const std::string stamp = FileTimeStamp();
    std::filesystem::path path = root / stamp / relative;
    for (int n = 2; std::filesystem::exists(path); ++n) path = root / (stamp + "-" + std::to_string(n)) / relative;
    return path.string();
}

std::string SavePhoneFileCopy(const std::string& folder, const std::string& phonePath,
                              const std::vector<uint8_t>& data, std::string& path) {
    if (folder.empty()) return MakeBackupFolder(folder);
    path = PhoneFileCopyPath(folder, phonePath);
    if (std::string error = MakeBackupFolder(std::filesystem::path(path).parent_path().string()); !error.empty())
        return error;
    // Never over another copy that took the name meanwhile.
    CSafeFileWriter file;
    if (file.Open(path, CSafeFileWriter::ETarget::New) && file.Write(data) && file.Commit()) {
        path = file.Path();
        return {};
    }
    return file.Error();
}
