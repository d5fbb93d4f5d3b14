// tessiva-cli convert: a backup loaded and saved as another (or the same) kind.
#include "backup_loader.h"

#include <cstdio>

namespace {
int RunConvert(SCliContext& ctx, const SCliArgs& args) {
    const std::string& in = args.positionals[0];
    const std::string& out = args.positionals[1];
    std::vector<int> ids;
    bool selected = false;
    if (!CheckBackupPath("convert", in) || !CheckBackupPath("convert", out) ||
        !ParseIdsOption("convert", args, ids, selected))
        return kExitUsage;
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, in) || !SaveBackup(ctx, out, selected ? &ids : nullptr))
        return kExitFailure;
    std::printf("Saved the active records of %s%s to %s.\n", selected ? "the chosen items of " : "", in.c_str(),
                out.c_str());
    return FinishOutput(kExitOk);
}

const CCliRegistrar kConvert({"convert", "convert IN OUT [--ids LIST]",
                              "Load a backup and save its active records as another kind",
                              "IN and OUT are .brt, .cnv or .qcn files, by extension. IN is loaded as the\n"
                              "window's load command does and all active records are saved to OUT, as\n"
                              "\"Save All Active to ... File\" does. With --ids 10,441 only those items are\n"
                              "saved, as \"Save Selected && Active to ... File\" does.",
                              {}, {"--ids"}, 2, 2, RunConvert});
}  // namespace
