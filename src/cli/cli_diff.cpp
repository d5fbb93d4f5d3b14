// tessiva-cli diff: what differs between two backups of any kinds.
#include "cli/backup_loader.h"
#include "doc/item_comparison.h"
#include "cli/json_writer.h"

#include <cstdio>

namespace {
using SChange = SItemComparison::SChange;

std::string JsonRecord(const CNVItem& r) {
    return "{\"id\":" + std::to_string(r.Id()) + ",\"index\":" + std::to_string(r.Index()) +
           ",\"name\":" + JsonString(r.Name()) + ",\"active\":" + std::to_string(r.Active()) + ",\"value\":\"" +
           HexBytes(r.Value()) + "\"}";
}

void PrintJson(const std::vector<const CNVItem*>& onlyA, const std::vector<const CNVItem*>& onlyB,
               const std::vector<SChange>& changes) {
    auto list = [](const char* name, const std::vector<const CNVItem*>& records) {
        std::printf("\"%s\":[", name);
        for (size_t i = 0; i < records.size(); ++i) std::printf("%s\n%s", i ? "," : "", JsonRecord(*records[i]).c_str());
        std::printf("]");
    };
    std::printf("{\"equal\":%s,", onlyA.empty() && onlyB.empty() && changes.empty() ? "true" : "false");
    list("onlyInA", onlyA);
    std::printf(",");
    list("onlyInB", onlyB);
    std::printf(",\"different\":[");
    for (size_t i = 0; i < changes.size(); ++i) {
        const SChange& c = changes[i];
        std::printf("%s\n{\"id\":%d,\"index\":%d,\"name\":%s,\"a\":%s,\"b\":%s,\"fields\":", i ? "," : "", c.a->Id(),
                    c.a->Index(), JsonString(c.a->Name()).c_str(), JsonRecord(*c.a).c_str(), JsonRecord(*c.b).c_str());
        if (!c.decoded) {
            std::printf("null}");
            continue;
        }
        std::printf("[");
        for (size_t k = 0; k < c.fields.size(); ++k) {
            const auto& [fa, fb] = c.fields[k];
            std::printf("%s{\"name\":%s,\"type\":%s,\"a\":{\"dec\":%s,\"hex\":%s},\"b\":{\"dec\":%s,\"hex\":%s}}",
                        k ? "," : "", JsonString(fa.name).c_str(), JsonString(fa.type).c_str(),
                        JsonString(fa.dec).c_str(), JsonString(fa.hex).c_str(), JsonString(fb.dec).c_str(),
                        JsonString(fb.hex).c_str());
        }
        std::printf("]}");
    }
    std::printf("\n]}\n");
}

void PrintText(const std::vector<const CNVItem*>& onlyA, const std::vector<const CNVItem*>& onlyB,
               const std::vector<SChange>& changes) {
    for (const CNVItem* r : onlyA) std::printf("only in A: %d %d %s\n", r->Id(), r->Index(), r->Name().c_str());
    for (const CNVItem* r : onlyB) std::printf("only in B: %d %d %s\n", r->Id(), r->Index(), r->Name().c_str());
    for (const SChange& c : changes) {
        std::printf("differs:   %d %d %s: active %s -> %s, value %s -> %s\n", c.a->Id(), c.a->Index(),
                    c.a->Name().c_str(), c.a->ActiveText(), c.b->ActiveText(), HexBytes(c.a->Value()).c_str(),
                    HexBytes(c.b->Value()).c_str());
        for (const auto& [fa, fb] : c.fields)
            std::printf("           %s (%s): %s (%s) -> %s (%s)\n", fa.name.c_str(), fa.type.c_str(), fa.dec.c_str(),
                        fa.hex.c_str(), fb.dec.c_str(), fb.hex.c_str());
    }
    if (onlyA.empty() && onlyB.empty() && changes.empty()) std::printf("The backups hold the same items.\n");
}

int RunDiff(SCliContext& ctx, const SCliArgs& args) {
    const std::string& pathA = args.positionals[0];
    const std::string& pathB = args.positionals[1];
    if (!CheckBackupPath("diff", pathA) || !CheckBackupPath("diff", pathB)) return kExitUsage;
    // 1 means "they differ", so every failure to compare is 2.
    if (!ctx.LoadDefinitions() || !ctx.LoadTypes() || !LoadBackup(ctx, pathA)) return kExitUsage;
    const CNVItemArray itemsA = ctx.doc.Items();
    if (!LoadBackup(ctx, pathB)) return kExitUsage;
    const CNVItemArray itemsB = ctx.doc.Items();

    const SItemComparison diff = CompareItems(itemsA, itemsB, ctx.doc.Decoder());
    for (const std::string& type : diff.unknownTypes)
        ctx.console.ShowMessage(CNVTypeCatalog::UnknownTypeMessage(type), EMessageIcon::Error, kAppTitle);
    const auto& [onlyA, onlyB, changes, unknown] = diff;
    if (args.Has("--json")) PrintJson(onlyA, onlyB, changes);
    else PrintText(onlyA, onlyB, changes);
    const bool equal = diff.Equal();
    if (FinishOutput(kExitOk) != kExitOk) return kExitUsage;
    return equal ? kExitOk : kExitFailure;
}

const CCliRegistrar kDiff({"diff", "diff A B [--json]", "Compare the items of two backups of any kinds",
                           "Loads A and B (.brt, .cnv, .qcn or .xqcn) as the window's load command does and lists\n"
                           "the records only in A, only in B, and those whose active state or value differ,\n"
                           "with the differing fields decoded through NVTypes.typ.\n"
                           "Exit 0 when they hold the same items, 1 when they differ, 2 on an error.",
                           {"--json"}, {}, 2, 2, RunDiff});
}  // namespace
