// tessiva-cli convert: a backup loaded and saved as another (or the same) kind.
#include "cli/backup_loader.h"

#include <cstdio>

namespace {
int RunConvert(SCliContext& ctx, const SCliArgs& args) {
    const std::string& in = args.positionals[0];
    const std::string& out = args.positionals[1];
    std::vector<int> ids;
    bool selected = false;
    CBackupFiles::ESaveLayout layout{};
    if (!CheckBackupPath("convert", in) || !CheckBackupPath("convert", out) ||
        !ParseIdsOption("convert", args, ids, selected) || !ParseLayoutOption("convert", args, layout))
        return kExitUsage;
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, in) ||
        !SaveBackup(ctx, out, selected ? &ids : nullptr, layout))
        return kExitFailure;
    std::printf("Saved the active records of %s%s to %s.\n", selected ? "the chosen items of " : "", in.c_str(),
                out.c_str());
    return FinishOutput(kExitOk);
}

const CCliRegistrar kConvert({"convert", "convert IN OUT [--ids LIST] [--layout tessiva|numbered]",
                              "Load a backup and save its active records as another kind",
                              "IN and OUT are .brt, .cnv, .qcn or .xqcn files, by extension. IN is loaded as the\n"
                              "window's load command does and all active records are saved to OUT, as\n"
                              "\"Save All Active to ... File\" does. With --ids 10,441 only those items are\n"
                              "saved, as \"Save Selected && Active to ... File\" does.\n"
                              "A .qcn OUT keeps the layout of a QCN or XQCN input (records of undefined\n"
                              "items and item files included); --layout numbered or tessiva chooses it.\n"
                              "An .xqcn OUT is the numbered-items layout as XML.",
                              {}, {"--ids", "--layout"}, 2, 2, RunConvert});
}  // namespace
