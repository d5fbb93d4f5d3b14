#include "files/backup_tree.h"

#include "files/backup_input.h"
#include "files/compound_file.h"
#include "files/numbered_backup.h"
#include "jobs/text_translation.h"
#include "files/safe_file_writer.h"
#include "files/xqcn_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {
bool IsDigits(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool HoldsItemStorages(const CCompoundNode& level2) {
    if (level2.Children().empty()) return level2.Name() == "default";
    return std::any_of(level2.Children().begin(), level2.Children().end(),
                       [](const CCompoundNode& c) { return c.IsStorage() && IsDigits(c.Name()); });
}
}  // namespace

bool ReadBackupTree(const std::string& path, CCompoundNode& tree, EBackupForm& form, std::string& error) {
    tree = CCompoundNode();
    form = EBackupForm::Compound;
    CBackupInput input;
    return input.Open(path, error) && input.ReadTree(tree, form, error);
}

bool ReadBackupTree(const uint8_t* data, size_t size, CCompoundNode& tree, EBackupForm& form, std::string& error) {
    if (CXqcnFile::LooksLikeXml(data, size)) {
        form = EBackupForm::Xml;
        return CXqcnFile::ReadMemory(data, size, tree, error);
    }
    form = EBackupForm::Compound;
    if (size == 0) {
        tree = CCompoundNode();
        error = CXqcnFile::EmptyFile();
        return false;
    }
    return CCompoundFile::ReadMemory(data, size, tree, error);
}

namespace {
// The bytes the file will at least take: every stream's, three characters a byte in XML.
uint64_t LeastFileSize(const CCompoundNode& tree, EBackupForm form) {
    uint64_t bytes = 0;
    std::vector<const CCompoundNode*> pending{&tree};
    while (!pending.empty()) {
        const CCompoundNode* node = pending.back();
        pending.pop_back();
        bytes += node->Bytes().size();
        for (const auto& child : node->Children()) pending.push_back(&child);
    }
    return form == EBackupForm::Xml ? 3 * bytes : bytes;
}

bool WriteTree(CSafeFileWriter& file, const std::string& path, const CCompoundNode& tree, EBackupForm form,
               std::string& error) {
    if (form == EBackupForm::Compound) return CCompoundFile::Write(file, tree, error);
    const std::string outer = QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString();
    return CXqcnFile::Write(file, outer.empty() ? "backup.xqcn" : outer, tree, error);
}

bool OpenAndWrite(std::string& path, const CCompoundNode& tree, EBackupForm form, CSafeFileWriter::ETarget target,
                  std::string& error) {
    const uint64_t least = LeastFileSize(tree, form);
    if (least > CSafeFileWriter::kMaxFileSize) {
        error = FillText(TrText("BackupTree", "The backup would take at least %1 MB, more than the %2 MB Tessiva "
                                              "reads back; it was not written."),
                         {std::to_string(least >> 20), std::to_string(CSafeFileWriter::kMaxFileSize >> 20)});
        return false;
    }
    CSafeFileWriter file;
    if (!file.Open(path, target)) {
        error = file.Error();
        return false;
    }
    const std::string wanted = path;
    if (!WriteTree(file, wanted, tree, form, error)) return false;
    path = file.Path();
    return true;
}
}  // namespace

bool WriteBackupTree(const std::string& path, const CCompoundNode& tree, EBackupForm form, std::string& error) {
    std::string target = path;
    return OpenAndWrite(target, tree, form, CSafeFileWriter::ETarget::Replace, error);
}

bool WriteNewBackupTree(std::string& path, const CCompoundNode& tree, EBackupForm form, std::string& error) {
    return OpenAndWrite(path, tree, form, CSafeFileWriter::ETarget::New, error);
}

EQcnLayout DetectQcnLayout(const CCompoundNode& tree, std::string& found) {
    found.clear();
    if (tree.FindStream(Numbered::kVersionStream)) return EQcnLayout::Numbered;
    for (const auto& level1 : tree.Children())
        if (level1.IsStorage() && Numbered::IsStorageName(level1.Name()) &&
            level1.FindStorage(std::string("default/") + Numbered::kItemsStorage))
            return EQcnLayout::Numbered;
    for (const auto& level1 : tree.Children())
        if (level1.IsStorage())
            for (const auto& level2 : level1.Children())
                if (level2.IsStorage() && HoldsItemStorages(level2)) return EQcnLayout::Tessiva;
    if (tree.Children().empty()) {
        found = TrText("BackupTree", "The file holds nothing: its top level is empty.");
        return EQcnLayout::Unknown;
    }
    std::string entries;
    const size_t shown = std::min<size_t>(tree.Children().size(), 8);
    for (size_t i = 0; i < shown; ++i) {
        const auto& c = tree.Children()[i];
        if (i) entries += ", ";
        entries += FillText(c.IsStorage() ? TrText("BackupTree", "%1 (storage)") : TrText("BackupTree", "%1 (stream)"),
                            {c.Name()});
    }
    if (shown < tree.Children().size())
        entries =
            FillText(TrText("BackupTree", "%1 and %2 more"), {entries, std::to_string(tree.Children().size() - shown)});
    found = FillText(
        TrText("BackupTree", "It holds neither Tessiva's item storages nor numbered items. Its top level holds: %1."),
        {entries});
    return EQcnLayout::Unknown;
}
