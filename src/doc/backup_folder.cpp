#include "doc/backup_folder.h"

#include "files/backup_kind.h"
#include "files/host_file.h"
#include "jobs/text_translation.h"

#include <cstdio>
#include <filesystem>
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
