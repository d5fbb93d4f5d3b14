// tessiva-cli upload: reads items from the phone and saves them as a backup.
#include "cli/backup_loader.h"
#include "cli/cli_phone.h"
#include "doc/item_counts.h"

#include <cstdio>
#include <filesystem>

namespace {
int RunUpload(SCliContext& ctx, const SCliArgs& args) {
    const std::string out = args.positionals[0];
    if (!CheckBackupPath("upload", out)) return kExitUsage;
    if (!ctx.LoadDefinitions()) return kExitFailure;
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    const std::string list = args.Get("--list", ctx.doc.DefinitionsPath());
    const SOutcome upload = ctx.doc.Upload(list);
    if (upload.IsStopped()) return ctx.Fail("Upload stopped; nothing was saved.");
    if (!upload.IsCompleted() && !ctx.doc.HasPartialUpload()) return ctx.Fail(upload.reason);
    if (!upload.IsCompleted()) {
        ctx.Fail(upload.reason);
        (void)ctx.doc.TakePartialUpload();
    }
    ReportNotes(ctx, upload);
    const SItemCounts counts = SItemCounts::Of(ctx.doc.Items());
    const int active = counts.active;
    const std::string uploaded = counts.UploadedText() + ".";
    // A backup that is only part of the phone must never replace a good one unasked.
    if (!upload.IsCompleted()) {
        std::printf("%s\n", uploaded.c_str());
        if (!args.Has("--partial"))
            return ctx.Fail("The upload did not complete; " + out + " was not written (--partial saves what was read).");
        if (std::filesystem::exists(out) && !args.Has("--overwrite"))
            return ctx.Fail(out + " exists; a partial upload replaces it only with --overwrite.");
    }
    if (upload.IsCompleted()) std::printf("%s ", uploaded.c_str());
    if (!SaveBackup(ctx, out, nullptr)) {
        std::printf("\n");
        return kExitFailure;
    }
    std::printf("Saved the %d active records to %s.\n", active, out.c_str());
    return upload.IsCompleted() ? kExitOk : kExitFailure;
}

const CCliRegistrar kUpload({"upload", "upload --port DEV [--list LIST.csv] [--timeout MS] [--window N] [--partial [--overwrite]] OUT",
                             "Read items from the phone and save the active ones to OUT (.brt, .cnv, .qcn, .xqcn)",
                             "Without --list every item of NVItemsDefine.def is read, as \"Upload All from Mobile\"\n"
                             "does; with --list only the items of that CSV item list. Items the phone does not\n"
                             "hold are not active; items it can't read are marked unreadable; only the active\n"
                             "ones are saved. When the phone stops answering during the upload, nothing is\n"
                             "saved and the exit status is 1; --partial saves what was read, to a new file\n"
                             "(or over an existing one with --overwrite), and still exits 1." TESSIVA_PHONE_OPTIONS_HELP,
                             {"--partial", "--overwrite"}, {"--port", "--timeout", "--window", "--list"}, 1, 1, RunUpload});
}  // namespace
