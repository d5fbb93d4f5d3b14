// tessiva-cli dump: every record of a backup with its fields.
#include "cli/backup_loader.h"
#include "cli/json_writer.h"
#include "model/item_file_defs.h"

#include <cstdio>

namespace {
void PrintText(const std::string& id, const CNVItem& r, const std::vector<SFieldText>& fields) {
    std::printf("%-5s %-5d %-6s %-5d %-32s %-20s %-24s %-16s %s\n", id.c_str(), r.Index(), r.ActiveText(), r.Size(),
                r.Name().c_str(), r.Group().c_str(), r.FileName().c_str(), r.TypeName().c_str(),
                HexBytes(r.Value()).c_str());
    for (const auto& f : fields)
        std::printf("      %-40s %-24s %-20s %s\n", f.name.c_str(), f.dec.c_str(), f.hex.c_str(), f.type.c_str());
}

int RunDump(SCliContext& ctx, const SCliArgs& args) {
    const std::string& path = args.positionals[0];
    if (!CheckBackupPath("dump", path)) return kExitUsage;
    if (!ctx.LoadDefinitions() || !ctx.LoadTypes() || !LoadBackup(ctx, path)) return kExitFailure;
    const bool json = args.Has("--json");
    std::set<std::string> reported;
    std::vector<SFieldText> fields;
    const CNumberedState& numbered = ctx.doc.Numbered();
    if (json) std::printf("{\"layout\":\"%s\",\"items\":[", BackupOriginName(numbered.Origin()));
    else std::printf("%-5s %-5s %-6s %-5s %-32s %-20s %-24s %-16s %s\n", "id", "index", "active", "size", "name",
                     "group", "fileName", "type", "value");
    bool first = true;
    for (const auto& r : ctx.doc.Items()) {
        if (json && ctx.doc.IsUndefined(r)) continue;  // listed under "undefined"
        const bool decoded = DecodeFields(ctx, r, fields, reported);
        if (json) {
            std::printf("%s\n{\"id\":%d,\"index\":%d,\"active\":%d,\"size\":%d,\"name\":%s,\"group\":%s,"
                        "\"fileName\":%s,\"type\":%s,\"value\":\"%s\",\"fields\":",
                        first ? "" : ",", r.Id(), r.Index(), r.Active(), r.Size(), JsonString(r.Name()).c_str(),
                        JsonString(r.Group()).c_str(), JsonString(r.FileName()).c_str(),
                        JsonString(r.TypeName()).c_str(), HexBytes(r.Value()).c_str());
            PrintJsonFields(decoded, fields);
            std::printf(",\"subscription\":%d}", r.Subscription());
        } else {
            PrintText(std::to_string(r.Id()), r, fields);
        }
        first = false;
    }
    // Item files NVItemFiles.def names: their fields as a record's.
    const std::vector<SItemFile>& files = numbered.ItemFiles();
    for (size_t i = 0; i < files.size() && !json; ++i) {
        CNVItem r;
        if (!ctx.doc.ItemFileRecord(i, r)) continue;
        (void)DecodeFields(ctx, r, fields, reported);
        PrintText("file", r, fields);  // the path in the file name's column
    }
    if (json) {
        std::printf("\n],\"undefined\":[");
        first = true;
        for (const auto& r : ctx.doc.Items()) {
            if (!ctx.doc.IsUndefined(r)) continue;
            std::printf("%s\n{\"id\":%d,\"subscription\":%d,\"value\":\"%s\"}", first ? "" : ",", r.Id(),
                        r.Subscription(), HexBytes(r.Value()).c_str());
            first = false;
        }
        for (const SNumberedRecord& r : numbered.KeptAside()) {
            std::printf("%s\n{\"id\":%u,\"subscription\":%d,\"value\":\"%s\"}", first ? "" : ",", r.id,
                        r.subscription, HexBytes(std::vector<uint8_t>(r.data.begin(), r.data.end())).c_str());
            first = false;
        }
        std::printf("\n],\"itemFiles\":[");
        first = true;
        for (size_t i = 0; i < files.size(); ++i) {
            const SItemFile& f = files[i];
            std::printf("%s\n{\"area\":%s,\"name\":%s,\"path\":%s,\"size\":%zu,\"value\":\"%s\",\"subscription\":%d",
                        first ? "" : ",", JsonString(f.area).c_str(), JsonString(f.index).c_str(),
                        JsonString(f.path).c_str(), f.data.size(), HexBytes(f.data).c_str(),
                        ItemFileSubscription(f.path));
            CNVItem r;
            if (ctx.doc.ItemFileRecord(i, r)) {
                const bool decoded = DecodeFields(ctx, r, fields, reported);
                std::printf(",\"item\":%s,\"group\":%s,\"type\":%s,\"fields\":", JsonString(r.Name()).c_str(),
                            JsonString(r.Group()).c_str(), JsonString(r.TypeName()).c_str());
                PrintJsonFields(decoded, fields);
            }
            std::printf("}");
            first = false;
        }
        std::printf("\n]}\n");
    }
    return FinishOutput(kExitOk);
}

const CCliRegistrar kDump({"dump", "dump FILE [--json]", "Print every record of a backup (.brt, .cnv, .qcn, .xqcn) with its fields",
                           "Loads NVItemsDefine.def and NVTypes.typ, then FILE as the window's load command\n"
                           "does (completion from the definitions, sorted by ID), and prints each record:\n"
                           "ID, element index (-1: not an array), active (Y value present, N not active,\n"
                           "X unreadable), size, name, group, file name, type and value in hex, followed by\n"
                           "its fields in decimal and hex. With --json \"fields\" is null for a type the\n"
                           "catalogue lacks; \"layout\" names what FILE was (brt, cnv, tessiva, numbered,\n"
                           "xqcn), \"subscription\" each record's (0 default, 1, 2), \"undefined\" the\n"
                           "records of items the definitions do not name (and those kept aside) and\n"
                           "\"itemFiles\" the item files of a numbered-items backup (with their subscription:\n"
                           "0, or N for a copy PATH_SubscriptionNN). An item file NVItemFiles.def names shows\n"
                           "as a record of its name, group and type (\"item\", \"group\", \"type\", \"fields\"\n"
                           "in JSON; \"file\" in the ID column of the text, its path in the file name's).\n"
                           "Exit 1 when FILE can't be loaded.",
                           {"--json"}, {}, 1, 1, RunDump});
}  // namespace
