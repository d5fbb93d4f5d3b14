// tessiva-cli list: the CSV item list of a backup's items.
#include "cli/backup_loader.h"

#include <cstdio>

namespace {
// Answers the save dialog with the path given on the command line.
class CGivenPath : public IFileChooser {
public:
    explicit CGivenPath(std::string path) : m_path(std::move(path)) {}
    bool ChooseOpenFile(const SFileDialogRequest&, std::string& path) override {
        path = m_path;
        return true;
    }
    bool ChooseSaveFile(const SFileDialogRequest&, std::string& path) override {
        path = m_path;
        return true;
    }

private:
    std::string m_path;
};

int RunList(SCliContext& ctx, const SCliArgs& args) {
    const std::string& in = args.positionals[0];
    const std::string& out = args.positionals[1];
    std::vector<int> ids;
    bool selected = false;
    if (!CheckBackupPath("list", in) || !ParseIdsOption("list", args, ids, selected)) return kExitUsage;
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, in)) return kExitFailure;
    if (selected) {
        for (int missing : ctx.doc.SelectIds(ids))
            std::fprintf(stderr, "tessiva-cli: no item with ID %d was loaded\n", missing);
    }
    CGivenPath chooser(out);
    ctx.doc.SetFileChooser(&chooser);
    const bool written = ReportOutcome(
        ctx, ctx.doc.WriteItemList(selected ? ctx.doc.SelectedItems() : ctx.doc.Items()),
        "Writing " + out);
    ctx.doc.SetFileChooser(nullptr);
    if (!written) return kExitFailure;
    std::printf("Wrote the item list of %s to %s.\n", in.c_str(), out.c_str());
    return FinishOutput(kExitOk);
}

const CCliRegistrar kList({"list", "list IN OUT.csv [--ids LIST]", "Write the CSV item list of a backup's items",
                           "Loads IN (.brt, .cnv, .qcn or .xqcn) and writes the item list that \"Create CSV File by\n"
                           "All NV Items\" writes: the header \"NV Item Name;NV ID\" and one line per item.\n"
                           "With --ids 10,441 only those items, as \"Create CSV File by Selected NV Items\".\n"
                           "The list serves \"Upload from Mobile by CSV file\" and 'upload --list'.",
                           {}, {"--ids"}, 2, 2, RunList});
}  // namespace
