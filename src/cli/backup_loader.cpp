#include "backup_loader.h"

#include "cli_phone.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

bool CheckBackupPath(const char* command, const std::string& path) {
    if (!BackupKind(path).empty()) return true;
    std::fprintf(stderr, "tessiva-cli %s: %s is not a .brt, .cnv or .qcn file\n", command, path.c_str());
    return false;
}

bool LoadBackup(SCliContext& ctx, const std::string& path) {
    CTessivaDoc& doc = ctx.doc;
    doc.m_allEntries.ClearEntries();
    doc.m_selectedEntries.ClearEntries();
    doc.m_items.RemoveAll();
    const int messagesBefore = ctx.console.MessageCount();
    const std::string kind = BackupKind(path);
    bool loaded = false;
    if (kind == ".brt") {
        loaded = doc.StartLoadBrt(path) == 1;  // fills the "NV Items" tree itself
    } else {
        loaded = kind == ".cnv" ? doc.StartLoadCnv(path) == 1 : doc.LoadQcn(path);
        if (loaded) doc.m_allEntries.LoadEntriesFromItems(doc.m_items);
    }
    if (!loaded && ctx.console.MessageCount() == messagesBefore) ctx.Fail("Loading " + path + " was stopped.");
    return loaded;
}

bool SaveBackup(SCliContext& ctx, const std::string& path, const std::vector<int>* ids) {
    CTessivaDoc& doc = ctx.doc;
    if (ids) {
        for (int missing : SelectItems(doc, *ids))
            std::fprintf(stderr, "tessiva-cli: no item with ID %d was loaded\n", missing);
    }
    CNVItemArray toSave;
    if (ids) doc.CollectSelectedItems(toSave);
    else doc.CollectAllItems(toSave);
    const std::string kind = BackupKind(path);
    if (kind == ".cnv" && toSave.IsEmpty()) {
        ctx.Fail("There are no items to save; " + path + " was not written.");
        return false;
    }
    const int messagesBefore = ctx.console.MessageCount();
    bool saved = false;
    if (kind == ".brt") saved = (ids ? doc.SaveSelectedActiveToBrt(path) : doc.SaveAllActiveToBrt(path)) == 1;
    else if (kind == ".cnv") saved = (ids ? doc.SaveSelectedActiveToCnv(path) : doc.SaveAllActiveToCnv(path)) == 1;
    else saved = ids ? doc.SaveSelectedActiveToQcn(path) : doc.SaveAllActiveToQcn(path);
    if (!saved && ctx.console.MessageCount() == messagesBefore) ctx.Fail("Saving " + path + " was stopped.");
    return saved;
}

std::vector<int> SelectItems(CTessivaDoc& doc, const std::vector<int>& ids) {
    const std::unordered_set<int> wanted(ids.begin(), ids.end());
    std::unordered_set<int> found;
    doc.m_allEntries.ClearEntries();
    doc.m_selectedEntries.ClearEntries();
    for (int i = 0; i < doc.m_items.GetSize(); ++i) {
        const CNVItem& r = doc.m_items[i];
        if (wanted.count(r.Id())) {
            doc.m_selectedEntries.AddEntry(r.Name(), r.Group(), i);
            found.insert(r.Id());
        } else {
            doc.m_allEntries.AddEntry(r.Name(), r.Group(), i);
        }
    }
    std::vector<int> missing;
    for (int id : ids)
        if (!found.count(id) && std::find(missing.begin(), missing.end(), id) == missing.end()) missing.push_back(id);
    return missing;
}

bool ParseIdsOption(const char* command, const SCliArgs& args, std::vector<int>& ids, bool& given) {
    given = args.Has("--ids");
    if (!given || ParseIdList(args.Get("--ids"), ids)) return true;
    std::fprintf(stderr, "tessiva-cli %s: --ids needs decimal IDs separated by commas, as 10,441\n", command);
    return false;
}

bool DecodeFields(SCliContext& ctx, const CNVItem& item, std::vector<SFieldText>& fields,
                  std::set<std::string>& reported) {
    fields.clear();
    CNVTypeCatalog& catalog = ctx.doc.m_typeCatalog;
    if (!catalog.SelectType(item.TypeName())) {
        if (reported.insert(item.TypeName()).second)
            ctx.console.ShowMessage(CNVTypeCatalog::UnknownTypeMessage(item.TypeName()), EMessageIcon::Error,
                                    kAppTitle);
        return false;
    }
    // An item without a value shows its fields with empty values, as the content view does.
    const bool hasValue = item.Size() >= 1;
    std::vector<uint8_t> bytes = hasValue ? item.Value() : std::vector<uint8_t>();
    bytes.resize(std::max(bytes.size(), static_cast<size_t>(catalog.RecordSize())), 0);
    catalog.SetRecordBytes(bytes.data(), bytes.size());
    for (int i = 0; i < catalog.FieldCount(); ++i) {
        const CNVField& f = catalog.Field(i);
        fields.push_back({catalog.FieldDisplayName(i), hasValue ? f.DecText() : "", hasValue ? f.HexText() : "",
                          f.TypeName()});
    }
    return true;
}

int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return kExitFailure;
    return status;
}
