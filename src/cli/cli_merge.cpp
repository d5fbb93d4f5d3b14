// tessiva-cli merge: "Add NV Items from CNV File" on a backup, saved to a new file.
#include "cli/backup_loader.h"
#include "files/backup_kind.h"

#include <cstdio>

namespace {
// Gives the same answer to every overwrite prompt and counts them.
class CFixedAnswer : public IOverwritePrompt {
public:
    explicit CFixedAnswer(int answer) : m_answer(answer) {}
    int Ask(const std::string&) override {
        ++asked;
        return m_answer;
    }
    int asked = 0;

private:
    int m_answer;
};

int RunMerge(SCliContext& ctx, const SCliArgs& args) {
    const std::string& base = args.positionals[0];
    const std::string& add = args.positionals[1];
    const std::string& out = args.positionals[2];
    const std::string onConflict = args.Get("--on-conflict", "overwrite");
    if (!CheckBackupPath("merge", base) || !CheckBackupPath("merge", out)) return kExitUsage;
    if (BackupKindOfName(add) != EBackupKind::Cnv) {
        std::fprintf(stderr, "tessiva-cli merge: ADD must be a .cnv file: %s\n", add.c_str());
        return kExitUsage;
    }
    if (onConflict != "overwrite" && onConflict != "skip") {
        std::fprintf(stderr, "tessiva-cli merge: --on-conflict takes overwrite or skip\n");
        return kExitUsage;
    }
    if (!ctx.LoadDefinitions() || !LoadBackup(ctx, base)) return kExitFailure;
    CTessivaDoc& doc = ctx.doc;
    const int before = doc.Items().GetSize();
    CFixedAnswer prompt(onConflict == "skip" ? IOverwritePrompt::kSkip : IOverwritePrompt::kOverwrite);
    doc.SetOverwritePrompt(&prompt);
    const SOutcome merged = doc.Merge(add);
    doc.SetOverwritePrompt(nullptr);
    if (!ReportOutcome(ctx, merged, "Loading " + add) || !SaveBackup(ctx, out, nullptr)) return kExitFailure;
    std::printf("Merged the records of %s into the %d of %s: %d conflict(s), %s; the %d records went to %s.\n",
                add.c_str(), before, base.c_str(), prompt.asked,
                onConflict == "skip" ? "kept from BASE" : "taken from ADD", doc.Items().GetSize(), out.c_str());
    return FinishOutput(kExitOk);
}

const CCliRegistrar kMerge({"merge", "merge BASE ADD.cnv OUT [--on-conflict overwrite|skip]",
                            "Add the items of a CNV file to a backup and save the result",
                            "Loads BASE (.brt, .cnv, .qcn or .xqcn), then adds the items of ADD.cnv as \"Add NV Items\n"
                            "from CNV File\" does, answering every overwrite prompt with --on-conflict:\n"
                            "overwrite (the default) takes ADD's record, skip keeps BASE's. The active\n"
                            "records of the result are saved to OUT (.brt, .cnv, .qcn or .xqcn).",
                            {}, {"--on-conflict"}, 3, 3, RunMerge});
}  // namespace
