// tessiva-cli upload: reads items from the phone and saves them as a backup.
#include "backup_loader.h"
#include "cli_phone.h"

#include <cstdio>

namespace {
int RunUpload(SCliContext& ctx, const SCliArgs& args) {
    const std::string out = args.positionals[0];
    if (!CheckBackupPath("upload", out)) return kExitUsage;
    if (!ctx.LoadDefinitions()) return kExitFailure;
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    const std::string list = args.Get("--list", ctx.doc.DefinitionsPath());
    if (ctx.doc.StartUpload(list) != 1) {
        // A list that could not be read has said so; otherwise the upload was stopped.
        if (!ctx.doc.LastOutcome().IsStopped()) return kExitFailure;
        return ctx.Fail("Upload stopped; nothing was saved.");
    }
    const SOutcome upload = ctx.doc.LastOutcome();
    int active = 0, inactive = 0, unreadable = 0;
    for (const auto& r : ctx.doc.m_items) (r.Active() > 0 ? active : r.Active() == 0 ? inactive : unreadable)++;
    if (!SaveBackup(ctx, out, nullptr)) return kExitFailure;
    std::printf("Uploaded %d records: %d active, %d not active, %d unreadable. Saved the %d active records to %s.\n",
                ctx.doc.m_items.GetSize(), active, inactive, unreadable, active, out.c_str());
    // The records the phone did deliver are saved all the same; the status tells it was not all.
    return upload.IsCompleted() ? kExitOk : kExitFailure;
}

const CCliRegistrar kUpload({"upload", "upload --port DEV [--list LIST.csv] [--timeout MS] OUT",
                             "Read items from the phone and save the active ones to OUT (.brt, .cnv, .qcn, .xqcn)",
                             "Without --list every item of NVItemsDefine.def is read, as \"Upload All from Mobile\"\n"
                             "does; with --list only the items of that CSV item list. Items the phone does not\n"
                             "hold are not active; items it can't read are marked unreadable; only the active\n"
                             "ones are saved. Exit 1 when the phone stopped answering during the upload." TESSIVA_PHONE_OPTIONS_HELP,
                             {}, {"--port", "--timeout", "--list"}, 1, 1, RunUpload});
}  // namespace
