#include "files/backup_tree.h"

#include "files/backup_input.h"
#include "files/compound_file.h"
#include "files/numbered_backup.h"
#include "jobs/text_translation.h"
#include "files/xqcn_file.h"

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

bool WriteBackupTree(const std::string& path, const CCompoundNode& tree, EBackupForm form, std::string& error) {
    return form == EBackupForm::Xml ? CXqcnFile::Write(path, tree, error) : CCompoundFile::Write(path, tree, error);
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
