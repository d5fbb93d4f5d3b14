#pragma once
#include <string>

// The kinds of backup file Tessiva reads and writes.
enum class EBackupKind { Unknown, Brt, Cnv, Qcn, Xqcn };

// The kind a path names by its extension (any letter case); Unknown for other names.
EBackupKind BackupKindOfName(const std::string& path);
// The kind of an existing file by its first bytes (the compound-file signature, the CNV
// header, XML), then by its extension; Unknown when neither tells.
EBackupKind DetectBackupKind(const std::string& path);
// "BRT", "CNV", "QCN", "XQCN".
const char* BackupKindName(EBackupKind kind);
