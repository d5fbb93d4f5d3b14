#include "cli/backup_loader.h"

#include "files/backup_kind.h"
#include "cli/cli_phone.h"
#include "cli/json_writer.h"

#include <cstdio>

bool CheckBackupPath(const char* command, const std::string& path) {
    if (BackupKindOfName(path) != EBackupKind::Unknown) return true;
    std::fprintf(stderr, "tessiva-cli %s: %s is not a .brt, .cnv, .qcn or .xqcn file\n", command, path.c_str());
    return false;
}

void ReportNotes(SCliContext& ctx, const SOutcome& outcome) {
    for (const SNote& note : outcome.notes)
        ctx.console.ShowMessage(note.text,
                                note.kind == SNote::EKind::Warning ? EMessageIcon::Warning : EMessageIcon::Information,
                                kAppTitle);
}

bool ReportOutcome(SCliContext& ctx, const SOutcome& outcome, const std::string& what) {
    ReportNotes(ctx, outcome);
    if (outcome.IsCompleted()) return true;
    if (outcome.IsStopped()) ctx.Fail(what.empty() ? outcome.reason : what + " was stopped.");
    else if (!outcome.reason.empty()) ctx.Fail(outcome.reason);
    return false;
}

bool LoadBackup(SCliContext& ctx, const std::string& path) {
    return ReportOutcome(ctx, ctx.doc.LoadBackup(path), "Loading " + path);
}

bool SaveBackup(SCliContext& ctx, const std::string& path, const std::vector<int>* ids,
                CBackupFiles::ESaveLayout layout) {
    CTessivaDoc& doc = ctx.doc;
    if (ids) {
        for (int missing : doc.SelectIds(*ids))
            std::fprintf(stderr, "tessiva-cli: no item with ID %d was loaded\n", missing);
    }
    return ReportOutcome(ctx, doc.SaveBackup(path, ids ? CTessivaDoc::EScope::SelectedActive : CTessivaDoc::EScope::AllActive, layout), "Saving " + path);
}

bool ParseLayoutOption(const char* command, const SCliArgs& args, CBackupFiles::ESaveLayout& layout) {
    layout = CBackupFiles::ESaveLayout::AsLoaded;
    if (!args.Has("--layout")) return true;
    const std::string value = args.Get("--layout");
    if (value == "tessiva") layout = CBackupFiles::ESaveLayout::Tessiva;
    else if (value == "numbered") layout = CBackupFiles::ESaveLayout::Numbered;
    else {
        std::fprintf(stderr, "tessiva-cli %s: --layout is tessiva or numbered\n", command);
        return false;
    }
    return true;
}

bool ParseIdsOption(const char* command, const SCliArgs& args, std::vector<int>& ids, bool& given) {
    given = args.Has("--ids");
    if (!given || ParseIdList(args.Get("--ids"), ids)) return true;
    std::fprintf(stderr, "tessiva-cli %s: --ids needs decimal IDs separated by commas, as 10,441\n", command);
    return false;
}

bool DecodeFields(SCliContext& ctx, const CNVItem& item, std::vector<SFieldText>& fields,
                  std::set<std::string>& reported) {
    if (DecodeRecordFields(ctx.doc.Decoder(), item, fields)) return true;
    if (reported.insert(item.TypeName()).second)
        ctx.console.ShowMessage(CNVTypeCatalog::UnknownTypeMessage(item.TypeName()), EMessageIcon::Error, kAppTitle);
    return false;
}

void PrintJsonFields(bool decoded, const std::vector<SFieldText>& fields) {
    if (!decoded) {
        std::printf("null");
        return;
    }
    std::printf("[");
    for (size_t i = 0; i < fields.size(); ++i) {
        const SFieldText& f = fields[i];
        std::printf("%s{\"name\":%s,\"dec\":%s,\"hex\":%s,\"type\":%s}", i ? "," : "", JsonString(f.name).c_str(),
                    JsonString(f.dec).c_str(), JsonString(f.hex).c_str(), JsonString(f.type).c_str());
    }
    std::printf("]");
}

int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return kExitFailure;
    return status;
}
