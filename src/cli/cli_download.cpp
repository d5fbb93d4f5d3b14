// tessiva-cli download: writes the active records of a backup into the phone.
#include "cli/backup_loader.h"
#include "cli/cli_phone.h"

#include <cstdio>

namespace {
int RunDownload(SCliContext& ctx, const SCliArgs& args) {
    const std::string in = args.positionals[0];
    std::vector<int> ids;
    bool selected = false;
    if (!CheckBackupPath("download", in) || !ParseIdsOption("download", args, ids, selected)) return kExitUsage;
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, in)) return kExitFailure;
    if (selected) {
        const std::vector<int> missing = ctx.doc.SelectIds(ids);
        for (int id : missing) ctx.Fail("NV item " + std::to_string(id) + " is not in " + in + ".");
        if (!missing.empty()) return kExitFailure;
    }
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;

    CTessivaDoc& doc = ctx.doc;
    doc.Phone().Settings().backupBeforeWrite = !args.Has("--no-backup");
    doc.Phone().Settings().verifyWrites = !args.Has("--no-verify");
    doc.Phone().Settings().backupFolder = BackupFolder();
    if (args.Has("--force")) doc.Phone().Settings().confirmWithoutBackup = [](const std::string&) { return true; };
    const SPhoneOutcome outcome =
        doc.Download(selected ? CTessivaDoc::EScope::SelectedActive : CTessivaDoc::EScope::AllActive);
    const CDownloadReport& report = outcome.report;
    const bool saved = TellReport(ctx, args, report);
    if (outcome.IsStopped()) return ctx.Fail("Download stopped; the phone keeps the records written so far.");
    if (!outcome.IsCompleted() || !saved) return kExitFailure;
    const int written =
        report.Count(CDownloadReport::EResult::Verified) + report.Count(CDownloadReport::EResult::Written);
    const int unchanged = report.Count(CDownloadReport::EResult::Unchanged);
    if (unchanged == 0) std::printf("Wrote %d active records of %s to the phone.\n", written, in.c_str());
    else
        std::printf("Wrote %d active records of %s to the phone; %d the phone held already were not written again.\n",
                    written, in.c_str(), unchanged);
    return kExitOk;
}

const CCliRegistrar kDownload({"download", "download --port DEV [--ids LIST] [--timeout MS] [--no-backup] [--no-verify] [--force] [--report FILE] IN",
                               "Write the active records of IN (.brt, .cnv, .qcn, .xqcn) into the phone",
                               "Loads IN as the window does and writes every active record of every\n"
                               "subscription, as \"Download All Active to Mobile\" does; with --ids 10,441 only\n"
                               "the records of those items, as\n"
                               "\"Download Selected && Active to Mobile\" does. Exit 1 when a record was write\n"
                               "protected or could not be written.\n"
                               "Before writing, the phone's values of the records to be written are saved as a\n"
                               "numbered QCN file in the backups folder of the user's data folder; when that file\n"
                               "can't be saved and read back whole, nothing is written. A record whose value the\n"
                               "phone could not read is not written (exit 1), as the backup can't bring it back;\n"
                               "one the phone holds already is not written again (\"unchanged\").\n"
                               "Each accepted write is read back and compared. The report goes to stderr.\n"
                               "  --no-backup    write without saving the phone's values first\n"
                               "  --no-verify    don't read back what was written\n"
                               "  --force        write also the records that could not be backed up\n"
                               "  --report FILE  the report as JSON" TESSIVA_PHONE_OPTIONS_HELP,
                               {"--no-backup", "--no-verify", "--force"}, {"--port", "--timeout", "--window", "--ids", "--report"}, 1, 1,
                               RunDownload});
}  // namespace
