// tessiva-cli show: one record or item file of a backup with its fields and its view
// (an IMEI's digits, a MEID, a band list).
#include "cli/backup_loader.h"
#include "cli/item_target.h"
#include "cli/json_writer.h"

#include <cstdio>

namespace {
// The view's members of the JSON object, after a comma.
void PrintJsonView(const CItemView& view, const CItemView::SShown& shown) {
    std::printf(",\"view\":\"%s\",\"text\":%s", view.Key(), JsonString(view.Caption() + " " + shown.text).c_str());
    switch (view.Kind()) {
    case CItemView::EKind::Imei:
        std::printf(",\"imei\":%s,\"imeiCheckDigitOk\":%s", shown.readable ? JsonString(shown.number).c_str() : "null",
                    shown.checkDigitOk ? "true" : "false");
        break;
    case CItemView::EKind::Meid:
        std::printf(",\"meid\":%s", shown.readable ? JsonString(shown.number).c_str() : "null");
        break;
    case CItemView::EKind::Bands:
        if (!shown.readable) {
            std::printf(",\"bands\":null");
            break;
        }
        std::printf(",\"bands\":[");
        for (size_t i = 0; i < shown.bands.size(); ++i) std::printf("%s%d", i ? "," : "", shown.bands[i]);
        std::printf("]");
        break;
    }
}

int RunShow(SCliContext& ctx, const SCliArgs& args) {
    const std::string& path = args.positionals[0];
    int subscription = 0;
    if (!CheckBackupPath("show", path) || !ParseSubscriptionOption("show", args, subscription)) return kExitUsage;
    if (!ctx.LoadDefinitions() || !ctx.LoadTypes() || !LoadBackup(ctx, path)) return kExitFailure;
    SItemTarget target;
    if (!FindItemTarget(ctx, "show", args.positionals[1], subscription, target)) return kExitFailure;
    const bool json = args.Has("--json");
    const CItemView::SShown shown = target.view ? target.view->Show(ViewValues(ctx, target)) : CItemView::SShown();

    if (target.file >= 0) {
        const SItemFile& f = ctx.doc.Numbered().ItemFiles()[static_cast<size_t>(target.file)];
        if (json)
            std::printf("{\"path\":%s,\"area\":%s,\"size\":%zu,\"value\":\"%s\"", JsonString(f.path).c_str(),
                        JsonString(f.area).c_str(), f.data.size(), HexBytes(f.data).c_str());
        else
            std::printf("item file %s (%s), %zu bytes\nvalue %s\n", f.path.c_str(), f.area.c_str(), f.data.size(),
                        HexBytes(f.data).c_str());
    } else {
        const CNVItem& r = ctx.doc.Items()[target.record];
        std::set<std::string> reported;
        std::vector<SFieldText> fields;
        const bool decoded = DecodeFields(ctx, r, fields, reported);
        if (json) {
            std::printf("{\"id\":%d,\"index\":%d,\"subscription\":%d,\"name\":%s,\"active\":%d,\"size\":%d,"
                        "\"type\":%s,\"value\":\"%s\",\"fields\":",
                        r.Id(), r.Index(), r.Subscription(), JsonString(r.Name()).c_str(), r.Active(), r.Size(),
                        JsonString(r.TypeName()).c_str(), HexBytes(r.Value()).c_str());
            PrintJsonFields(decoded, fields);
        } else {
            std::printf("item %d %s, subscription %d, %d bytes, active %s, type %s\nvalue %s\n", r.Id(),
                        r.Name().c_str(), r.Subscription(), r.Size(), r.ActiveText(), r.TypeName().c_str(),
                        HexBytes(r.Value()).c_str());
            for (const SFieldText& f : fields)
                std::printf("      %-40s %-24s %-20s %s\n", f.name.c_str(), f.dec.c_str(), f.hex.c_str(), f.type.c_str());
        }
    }
    if (json) {
        if (target.view) PrintJsonView(*target.view, shown);
        std::printf("}\n");
    } else if (target.view) {
        std::printf("%s %s\n", target.view->Caption().c_str(), shown.text.c_str());
    }
    return FinishOutput(kExitOk);
}

const CCliRegistrar kShow({"show", "show FILE KEY [--subscription N] [--json]",
                           "Print one record or item file of a backup with its fields and its reading",
                           "KEY is an item ID (an array's first element) or an item file's path; with\n"
                           "--subscription N (1 or 2) the record of that subscription, or the file's\n"
                           "PATH_Subscription0N copy. Besides the value and fields, IMEI (550), MEID (1943)\n"
                           "and band masks (6828, 1877, 441/946/2954 as one list of bits, the item files\n"
                           "lte_bandpref, lte_bandpref_extn_65_256, nr_band_pref, nr_nsa_band_pref and\n"
                           "nr5g_bandpref) are shown as people write them. With --json the object carries\n"
                           "\"view\" (imei, meid or bands), \"text\" and \"imei\" with \"imeiCheckDigitOk\",\n"
                           "\"meid\" or \"bands\" (a list of numbers); null when the bytes hold none.",
                           {"--json"}, {"--subscription"}, 2, 2, RunShow});
}  // namespace
