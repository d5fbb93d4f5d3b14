#include "files/backup_input.h"

#include "files/byte_reader.h"
#include "files/compound_file.h"
#include "files/xqcn_file.h"
#include "model/input_file.h"

#include <QFile>

#include <cstring>

namespace {
// Enough for the signatures and for XML after a byte order mark and blank lines.
constexpr qint64 kLookAhead = 4096;
const unsigned char kCnvHeader[4] = {'C', 'N', 'V', '*'};
}  // namespace

CBackupInput::CBackupInput() = default;
CBackupInput::~CBackupInput() = default;

EBackupKind CBackupInput::KindOf(const uint8_t* head, size_t size, const std::string& path) {
    if (CCompoundFile::HasSignature(head, size)) return EBackupKind::Qcn;
    if (size >= sizeof kCnvHeader && std::memcmp(head, kCnvHeader, sizeof kCnvHeader) == 0) return EBackupKind::Cnv;
    // A BRT of 60 records starts with '<' too: its name wins over looking like XML.
    const EBackupKind named = BackupKindOfName(path);
    if (named != EBackupKind::Brt && CXqcnFile::LooksLikeXml(head, size)) return EBackupKind::Xqcn;
    // A BRT file starts with a bare record count: only its name tells it from other data.
    return named;
}

bool CBackupInput::Open(const std::string& path, std::string& error) {
    m_kind = BackupKindOfName(path);
    m_xml = false;
    m_file.reset();
    m_input = std::make_unique<CInputFile>();
    m_file = std::make_unique<QFile>(QFile::decodeName(path.c_str()));
    // Checked on the open file: a pipe, device or folder is refused and never waited on.
    if (!CByteReader::OpenFile(path, *m_input, *m_file, error)) return false;
    const QByteArray ahead = m_file->peek(kLookAhead);
    const auto* head = reinterpret_cast<const uint8_t*>(ahead.data());
    const auto size = static_cast<size_t>(ahead.size());
    m_kind = KindOf(head, size, path);
    m_xml = CXqcnFile::LooksLikeXml(head, size) ||
            (BackupKindOfName(path) == EBackupKind::Xqcn && !CCompoundFile::HasSignature(head, size));
    return true;
}

bool CBackupInput::ReadAll(std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (!m_file || !m_file->isOpen()) {
        error = m_file ? m_file->errorString().toStdString() : std::string();
        return false;
    }
    return CByteReader::ReadRest(*m_file, bytes, error);
}

bool CBackupInput::ReadTree(CCompoundNode& tree, EBackupForm& form, std::string& error, std::vector<uint8_t>* bytes) {
    tree = CCompoundNode();
    form = m_xml ? EBackupForm::Xml : EBackupForm::Compound;
    if (m_xml && m_file && m_file->isOpen()) return CXqcnFile::ReadDevice(*m_file, tree, error);
    std::vector<uint8_t> own;
    std::vector<uint8_t>& data = bytes ? *bytes : own;
    if (!ReadAll(data, error)) return false;
    return ReadBackupTree(data.data(), data.size(), tree, form, error);
}
