#include "backup_kind.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {
const unsigned char kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const unsigned char kCnvHeader[4] = {'C', 'N', 'V', '*'};
}  // namespace

EBackupKind BackupKindOfName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".brt") return EBackupKind::Brt;
    if (ext == ".cnv") return EBackupKind::Cnv;
    if (ext == ".qcn") return EBackupKind::Qcn;
    return EBackupKind::Unknown;
}

EBackupKind DetectBackupKind(const std::string& path) {
    unsigned char head[8] = {};
    std::ifstream in(path, std::ios::binary);
    const auto got = in ? in.read(reinterpret_cast<char*>(head), sizeof head).gcount() : 0;
    if (got == sizeof head && std::memcmp(head, kCompoundSignature, sizeof head) == 0) return EBackupKind::Qcn;
    if (got >= 4 && std::memcmp(head, kCnvHeader, sizeof kCnvHeader) == 0) return EBackupKind::Cnv;
    // A BRT file starts with a bare record count: only its name tells it from other data.
    return BackupKindOfName(path);
}

const char* BackupKindName(EBackupKind kind) {
    switch (kind) {
    case EBackupKind::Brt: return "BRT";
    case EBackupKind::Cnv: return "CNV";
    case EBackupKind::Qcn: return "QCN";
    case EBackupKind::Unknown: break;
    }
    return "unknown";
}
