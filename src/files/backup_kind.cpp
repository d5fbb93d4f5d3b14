#include "files/backup_kind.h"

#include "files/byte_reader.h"
#include "model/input_file.h"
#include "files/xqcn_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

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
    CInputFile in;
    if (!in.Open(path)) return BackupKindOfName(path);
    size_t got = 0;
    while (got < sizeof head) {
        const long long n = in.Read(head + got, sizeof head - got);
        if (n < 0) return BackupKindOfName(path);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    if (got >= 8 && std::memcmp(head, kCompoundSignature, sizeof kCompoundSignature) == 0) return EBackupKind::Qcn;
    if (got >= 4 && std::memcmp(head, kCnvHeader, sizeof kCnvHeader) == 0) return EBackupKind::Cnv;
    // A BRT of 60 records starts with '<' too: its name wins over looking like XML.
    const EBackupKind named = BackupKindOfName(path);
    if (named != EBackupKind::Brt && CXqcnFile::LooksLikeXml(head, got)) return EBackupKind::Xqcn;
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
