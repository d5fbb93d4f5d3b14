#include "files/backup_kind.h"

#include "files/backup_input.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

EBackupKind BackupKindOfName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".brt") return EBackupKind::Brt;
    if (ext == ".cnv") return EBackupKind::Cnv;
    if (ext == ".qcn") return EBackupKind::Qcn;
    if (ext == ".xqcn") return EBackupKind::Xqcn;
    return EBackupKind::Unknown;
}

EBackupKind DetectBackupKind(const std::string& path) {
    CBackupInput input;
    std::string error;
    (void)input.Open(path, error);  // what can't be opened goes by its name to the reader that refuses it
    return input.Kind();
}

const char* BackupKindName(EBackupKind kind) {
    switch (kind) {
    case EBackupKind::Brt: return "BRT";
    case EBackupKind::Cnv: return "CNV";
    case EBackupKind::Qcn: return "QCN";
    case EBackupKind::Xqcn: return "XQCN";
    case EBackupKind::Unknown: break;
    }
    return "unknown";
}
