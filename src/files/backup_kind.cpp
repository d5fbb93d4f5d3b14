#include "files/backup_kind.h"

#include "files/byte_reader.h"
#include "files/xqcn_file.h"

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
    if (ext == ".xqcn") return EBackupKind::Xqcn;
    return EBackupKind::Unknown;
}

EBackupKind DetectBackupKind(const std::string& path) {
    unsigned char head[64] = {};
    // What can't be read (a pipe would block here) goes by its name to the reader that refuses it.
    std::string refusal;
    if (!CByteReader::CheckFile(path, refusal)) return BackupKindOfName(path);
    std::ifstream in(path, std::ios::binary);
    const auto got = in ? in.read(reinterpret_cast<char*>(head), sizeof head).gcount() : 0;
    if (got >= 8 && std::memcmp(head, kCompoundSignature, sizeof kCompoundSignature) == 0) return EBackupKind::Qcn;
    if (got >= 4 && std::memcmp(head, kCnvHeader, sizeof kCnvHeader) == 0) return EBackupKind::Cnv;
    // A BRT of 60 records starts with '<' too: its name wins over looking like XML.
    const EBackupKind named = BackupKindOfName(path);
    if (named != EBackupKind::Brt && CXqcnFile::LooksLikeXml(head, static_cast<size_t>(got))) return EBackupKind::Xqcn;
    // A BRT file starts with a bare record count: only its name tells it from other data.
    return named;
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
