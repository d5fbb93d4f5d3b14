// tessiva-cli backup: the whole phone into a numbered-items backup.
#include "cli/backup_loader.h"
#include "cli/cli_phone.h"
#include "files/backup_kind.h"

#include <cstdio>

namespace {
using EKind = CDownloadReport::EKind;

bool ParseNumber(const std::string& text, int high, int& value) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value <= high;
}

// --subscriptions, --scan and the roots; false after a usage message.
bool ParseOptions(const SCliArgs& args, SPhoneBackupOptions& options) {
    if (args.Has("--subscriptions") && !ParseNumber(args.Get("--subscriptions"), 2, options.subscriptions)) {
        std::fprintf(stderr, "tessiva-cli backup: --subscriptions takes 0, 1 or 2\n");
        return false;
    }
    if (args.Has("--scan") && args.Get("--scan") == "none") {
        options.scan = false;
    } else if (args.Has("--scan")) {
        const std::string range = args.Get("--scan");
        const size_t dash = range.find('-');
        options.scan = dash != std::string::npos && ParseNumber(range.substr(0, dash), 65535, options.scanFrom) &&
                       ParseNumber(range.substr(dash + 1), 65535, options.scanTo) && options.scanFrom <= options.scanTo;
        if (!options.scan) {
            std::fprintf(stderr, "tessiva-cli backup: --scan takes a range of IDs FROM-TO within 0-65535, or none\n");
            return false;
        }
    }
    options.files = !args.Has("--no-files");
    for (const auto& [name, value] : args.options)
        if (name == "--files") options.roots.push_back(value);
    return true;
}

int RunBackup(SCliContext& ctx, const SCliArgs& args) {
    const std::string out = args.positionals[0];
    const EBackupKind kind = BackupKindOfName(out);
    if (kind != EBackupKind::Qcn && kind != EBackupKind::Xqcn) {
        std::fprintf(stderr, "tessiva-cli backup: OUT must be a .qcn or .xqcn file: %s\n", out.c_str());
        return kExitUsage;
    }
    SPhoneBackupOptions options;
    if (!ParseOptions(args, options)) return kExitUsage;
    if (!ctx.LoadDefinitions()) return kExitFailure;
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    const SPhoneOutcome outcome = ctx.doc.Phone().BackupPhone(out, options);
    const CDownloadReport& report = outcome.report;
    const bool saved = TellReport(ctx, args, report);
    ReportNotes(ctx, outcome);
    if (outcome.IsStopped() || (outcome.IsFailed() && report.backupPath.empty())) return ctx.Fail(outcome.reason);
    if (!outcome.IsCompleted() || !saved) return kExitFailure;
    std::printf("Backed up %d records, %d subscription records and %d item files of the phone into %s.\n",
                report.Count(CDownloadReport::EResult::Read, EKind::Record),
                report.Count(CDownloadReport::EResult::Read, EKind::SubscriptionRecord),
                report.Count(CDownloadReport::EResult::Read, EKind::File), out.c_str());
    return kExitOk;
}

const CCliRegistrar kBackup(
    {"backup",
     "backup --port DEV [--timeout MS] [--window N] [--subscriptions 0|1|2] [--scan FROM-TO|none] [--files ROOT] [--no-files] "
     "[--report FILE] OUT",
     "Back up the whole phone (records, subscriptions, item files) into OUT (.qcn, .xqcn)",
     "Reads every item NVItemsDefine.def defines (each element of an array) and every other ID\n"
     "of 0-8191 the phone answers, the same of the phone's subscriptions, the item files below\n"
     "/nv/item_files/ and those NVItemFiles.def names (asked by path: phones hide some from\n"
     "listings), with their subscription copies (PATH_Subscription01), and writes them in the\n"
     "numbered-items layout: OUT.qcn as a compound file, OUT.xqcn as XML. Records are read\n"
     "first, then the folders are walked; a folder the phone will not list is named in the\n"
     "report and passed. Items the phone does not hold are left out. A phone without a file\n"
     "system still gives a backup of its records. Exit 1 when something meant to be read was\n"
     "not (the file holds the rest).\n"
     "  --subscriptions N  read subscriptions 1..N too (default: those the phone answers)\n"
     "  --scan FROM-TO     the IDs the definitions do not name asked for in each subscription,\n"
     "                     kept as undefined records (default 0-8191); none: defined IDs only\n"
     "  --files ROOT       also the files below ROOT (may repeat)\n"
     "  --no-files         no item files\n"
     "  --report FILE      the report as JSON" TESSIVA_PHONE_OPTIONS_HELP,
     {"--no-files"},
     {"--port", "--timeout", "--window", "--subscriptions", "--scan", "--files", "--report"},
     1,
     1,
     RunBackup});
}  // namespace
