// tessiva-cli restore: a whole backup written into the phone.
#include "cli/backup_loader.h"
#include "cli/cli_phone.h"
#include "files/backup_kind.h"

#include <cstdio>

namespace {
int RunRestore(SCliContext& ctx, const SCliArgs& args) {
    const bool last = args.Has("--last");
    if (last == !args.positionals.empty()) {
        std::fprintf(stderr, "tessiva-cli restore: give either IN or --last\n");
        return kExitUsage;
    }
    CTessivaDoc& doc = ctx.doc;
    doc.Phone().Settings().backupFolder = BackupFolder();
    const std::string in = last ? doc.Phone().LastBackupPath() : args.positionals[0];
    if (in.empty()) return ctx.Fail("There is no backup in " + doc.Phone().Settings().backupFolder + ".");
    if (DetectBackupKind(in) == EBackupKind::Unknown) {
        std::fprintf(stderr, "tessiva-cli restore: IN must be a backup (.brt, .cnv, .qcn, .xqcn): %s\n", in.c_str());
        return kExitUsage;
    }
    if (!ctx.LoadDefinitions()) return kExitFailure;
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    doc.Phone().Settings().backupBeforeWrite = !args.Has("--no-backup");
    doc.Phone().Settings().verifyWrites = !args.Has("--no-verify");
    if (args.Has("--force")) doc.Phone().Settings().confirmWithoutBackup = [](const std::string&) { return true; };
    const SPhoneOutcome outcome = doc.Phone().Restore(in, args.Has("--offline"));
    const CDownloadReport& report = outcome.report;
    const bool saved = TellReport(ctx, args, report);
    ReportNotes(ctx, outcome);
    if (outcome.IsStopped()) return ctx.Fail("Restore stopped; the phone keeps what was written so far.");
    // A backup that could not be read, or a reset the phone did not take, is not in the report.
    if (!outcome.IsCompleted() && outcome.reason != report.Summary()) ctx.Fail(outcome.reason);
    if (!outcome.IsCompleted() || !saved) return kExitFailure;
    std::printf("Restored %s to the phone.\n", in.c_str());
    return kExitOk;
}

const CCliRegistrar kRestore(
    {"restore",
     "restore --port DEV [--timeout MS] [--window N] [--report FILE] [--no-backup] [--no-verify] [--offline] [--force] IN|--last",
     "Write every record and item file of a backup (any kind) into the phone",
     "Writes every record of IN (.brt, .cnv, .qcn, .xqcn), those of every subscription and\n"
     "those NVItemsDefine.def does not define included, and every item file (making its\n"
     "folders). --last takes the newest backup of the backups folder.\n"
     "First the phone's current state of exactly those records and files is saved as a\n"
     "numbered QCN in the backups folder; when it can't be saved and read back whole, nothing\n"
     "is written. What the phone could not give for that backup is not written. Each write is\n"
     "read back and compared. Exit 1 when anything was not written, was refused or differs.\n"
     "  --offline      put the phone offline before, and reset it after\n"
     "  --no-backup    write without saving the phone's state first\n"
     "  --no-verify    don't read back what was written\n"
     "  --force        write also what could not be backed up\n"
     "  --report FILE  the report as JSON" TESSIVA_PHONE_OPTIONS_HELP,
     {"--last", "--no-backup", "--no-verify", "--offline", "--force"},
     {"--port", "--timeout", "--window", "--report"},
     0,
     1,
     RunRestore});
}  // namespace
