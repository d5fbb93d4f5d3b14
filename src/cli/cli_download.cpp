// tessiva-cli download: writes the active records of a backup into the phone.
#include "cli_phone.h"

#include <cstdio>
#include <set>

namespace {
// The window's load: the load job, completion, fill-up and sort.
bool LoadBackup(SCliContext& ctx, const std::string& kind, const std::string& path) {
    ctx.doc.m_items.RemoveAll();
    if (kind == ".brt") return ctx.doc.StartLoadBrt(path) == 1;
    if (kind == ".cnv") return ctx.doc.StartLoadCnv(path) == 1;
    return ctx.doc.LoadQcn(path);
}

// Puts every record of the listed items into the "Selected NV Items" list, as the tree would.
bool SelectIds(SCliContext& ctx, const std::string& idText, const std::string& path) {
    std::vector<int> ids;
    if (!ParseIdList(idText, ids)) {
        std::fprintf(stderr, "tessiva-cli download: --ids takes IDs like 10,441: '%s'\n", idText.c_str());
        return false;
    }
    const std::set<int> wanted(ids.begin(), ids.end());
    std::set<int> found;
    for (int i = 0; i < ctx.doc.m_items.GetSize(); ++i) {
        const CNVItem& r = ctx.doc.m_items[i];
        if (!wanted.count(r.Id())) continue;
        ctx.doc.m_selectedEntries.AddEntry(r.Name(), r.Group(), i);
        found.insert(r.Id());
    }
    for (int id : wanted)
        if (!found.count(id)) ctx.Fail("NV item " + std::to_string(id) + " is not in " + path + ".");
    return found.size() == wanted.size();
}

int RunDownload(SCliContext& ctx, const SCliArgs& args) {
    const std::string in = args.positionals[0];
    const std::string kind = BackupKind(in);
    if (kind.empty()) {
        std::fprintf(stderr, "tessiva-cli download: IN must end in .brt, .cnv or .qcn: %s\n", in.c_str());
        return kExitUsage;
    }
    if (!ctx.LoadDefinitions()) return kExitFailure;
    if (!LoadBackup(ctx, kind, in)) return kExitFailure;
    const bool selected = args.Has("--ids");
    if (selected && !SelectIds(ctx, args.Get("--ids"), in)) return kExitFailure;
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;

    CNVItemArray sent;
    if (selected) ctx.doc.CollectSelectedItems(sent);
    else sent.Copy(ctx.doc.m_items);
    int writes = 0;
    for (const auto& r : sent) writes += r.Size() > 0 && r.Active() == CNVItem::kActive ? 1 : 0;

    const int messagesBefore = ctx.console.MessageCount();
    if (selected) ctx.doc.DownloadSelectedActive();
    else ctx.doc.DownloadAllActive();
    if (ctx.jobs.IsStopRequested()) return ctx.Fail("Download stopped; the phone keeps the records written so far.");
    // Write-protected or failed records have been told one by one or in a summary.
    if (ctx.console.MessageCount() != messagesBefore) return kExitFailure;
    std::printf("Wrote %d active records of %s to the phone.\n", writes, in.c_str());
    return kExitOk;
}

const CCliRegistrar kDownload({"download", "download --port DEV [--ids LIST] [--timeout MS] IN",
                               "Write the active records of IN (.brt, .cnv, .qcn) into the phone",
                               "Loads IN as the window does and writes every active record, as \"Download All\n"
                               "Active to Mobile\" does; with --ids 10,441 only the records of those items, as\n"
                               "\"Download Selected && Active to Mobile\" does. Exit 1 when a record was write\n"
                               "protected or could not be written." TESSIVA_PHONE_OPTIONS_HELP,
                               {}, {"--port", "--timeout", "--ids"}, 1, 1, RunDownload});
}  // namespace
