// tessiva-cli download: writes the active records of a backup into the phone.
#include "backup_loader.h"
#include "cli_phone.h"

#include <cstdio>

namespace {
int RunDownload(SCliContext& ctx, const SCliArgs& args) {
    const std::string in = args.positionals[0];
    std::vector<int> ids;
    bool selected = false;
    if (!CheckBackupPath("download", in) || !ParseIdsOption("download", args, ids, selected)) return kExitUsage;
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, in)) return kExitFailure;
    if (selected) {
        const std::vector<int> missing = ctx.doc.Selection().SelectIds(ids);
        for (int id : missing) ctx.Fail("NV item " + std::to_string(id) + " is not in " + in + ".");
        if (!missing.empty()) return kExitFailure;
    }
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;

    CNVItemArray sent;
    if (selected) ctx.doc.CollectSelectedItems(sent);
    else sent.Copy(ctx.doc.m_items);
    int writes = 0;
    for (const auto& r : sent) writes += r.Size() > 0 && r.Active() == CNVItem::kActive ? 1 : 0;

    const SOutcome outcome = selected ? ctx.doc.DownloadSelectedActive() : ctx.doc.DownloadAllActive();
    if (outcome.IsStopped()) return ctx.Fail("Download stopped; the phone keeps the records written so far.");
    // Write-protected or failed records have been told one by one or in a summary.
    if (!outcome.IsCompleted()) return kExitFailure;
    std::printf("Wrote %d active records of %s to the phone.\n", writes, in.c_str());
    return kExitOk;
}

const CCliRegistrar kDownload({"download", "download --port DEV [--ids LIST] [--timeout MS] IN",
                               "Write the active records of IN (.brt, .cnv, .qcn, .xqcn) into the phone",
                               "Loads IN as the window does and writes every active record, as \"Download All\n"
                               "Active to Mobile\" does; with --ids 10,441 only the records of those items, as\n"
                               "\"Download Selected && Active to Mobile\" does. Exit 1 when a record was write\n"
                               "protected or could not be written." TESSIVA_PHONE_OPTIONS_HELP,
                               {}, {"--port", "--timeout", "--ids"}, 1, 1, RunDownload});
}  // namespace
