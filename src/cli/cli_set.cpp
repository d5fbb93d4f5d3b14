// tessiva-cli set: one record or item file of a backup set from a value as people write it,
// the backup written again as its own kind.
#include "cli/backup_loader.h"
#include "cli/item_target.h"
#include "cli/json_writer.h"
#include "files/backup_kind.h"

#include <cstdio>

namespace {
// FIELD=N:TEXT: field N of the record's type takes TEXT as its "Dec Value" cell would.
std::string SetField(SCliContext& ctx, const std::string& assignment, std::vector<uint8_t>& value, int record) {
    const size_t colon = assignment.find(':');
    std::vector<int> number;
    if (colon == std::string::npos || !ParseIdList(assignment.substr(0, colon), number) || number.size() != 1)
        return "field= needs N:TEXT with a field number N, as field=0:12";
    CNVTypeCatalog& catalog = ctx.doc.Decoder();
    const CNVItem& item = ctx.doc.Items()[record];
    if (!SelectRecordType(catalog, item)) return CNVTypeCatalog::UnknownTypeMessage(item.TypeName());
    if (number[0] >= catalog.FieldCount())
        return "field " + std::to_string(number[0]) + " does not exist; " + item.TypeName() + " has " +
               std::to_string(catalog.FieldCount()) + " field(s)";
    std::vector<uint8_t> bytes = value;
    bytes.resize(std::max(bytes.size(), static_cast<size_t>(catalog.RecordSize())), 0);
    catalog.SetRecordBytes(bytes.data(), bytes.size());
    CNVField& field = catalog.Field(number[0]);
    const std::string text = assignment.substr(colon + 1);
    if (std::string refusal = field.DecTextRefusal(text); !refusal.empty()) return refusal;
    field.SetDecText(text);
    const std::vector<uint8_t>& typed = catalog.GetRecordBytes();
    std::copy_n(typed.begin(), std::min(typed.size(), value.size()), value.begin());
    return {};
}

int RunSet(SCliContext& ctx, const SCliArgs& args) {
    const std::string& in = args.positionals[0];
    const std::string& out = args.positionals[1];
    const std::string& value = args.positionals[3];
    int subscription = 0;
    if (!CheckBackupPath("set", in) || !ParseSubscriptionOption("set", args, subscription)) return kExitUsage;
    const size_t eq = value.find('=');
    const std::string form = eq == std::string::npos ? std::string() : value.substr(0, eq);
    const std::string text = eq == std::string::npos ? std::string() : value.substr(eq + 1);
    if (form != "imei" && form != "meid" && form != "bands" && form != "hex" && form != "field") {
        std::fprintf(stderr, "tessiva-cli set: VALUE is imei=DIGITS, meid=HEX, bands=1,3,66, hex=BYTES or field=N:TEXT\n");
        return kExitUsage;
    }
    if (!ctx.LoadDefinitions() || !ctx.LoadTypes() || !LoadBackup(ctx, in)) return kExitFailure;
    SItemTarget target;
    if (!FindItemTarget(ctx, "set", args.positionals[2], subscription, target)) return kExitFailure;

    // The values the edit starts from: the view's parts, or the record or file alone.
    std::vector<int> records = target.view ? target.viewRecords : std::vector<int>{target.record};
    std::vector<std::vector<uint8_t>> values;
    if (target.view) values = ViewValues(ctx, target);
    else if (target.file >= 0) values = {ctx.doc.Numbered().ItemFiles()[static_cast<size_t>(target.file)].data};
    else values = {ctx.doc.EditableValue(target.record)};
    // The value of the record or file KEY names among them.
    size_t own = 0;
    while (own + 1 < records.size() && records[own] != target.record) ++own;

    std::string refusal;
    if (form == "hex") {
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(text, bytes)) refusal = "hex= needs pairs of hexadecimal digits, as hex=089A0910";
        else if (target.file < 0 && bytes.size() != values[own].size())
            refusal = "the record holds " + std::to_string(values[own].size()) + " bytes; hex= gives " +
                      std::to_string(bytes.size());
        else values[own] = bytes;
    } else if (form == "field") {
        if (target.file >= 0) refusal = "an item file has no fields; set it with hex=BYTES";
        else refusal = SetField(ctx, text, values[own], target.record);
    } else if (!target.view || form != target.view->Key()) {
        refusal = args.positionals[2] + " is not set with " + form + "=" +
                  (target.view ? std::string("; it takes ") + target.view->Key() + "=" : std::string());
    } else {
        refusal = target.view->Set(text, values, args.Has("--force"));
    }
    if (!refusal.empty()) return ctx.Fail("tessiva-cli set: " + refusal + " Nothing was written.");

    if (target.file >= 0) {
        if (!ReportOutcome(ctx, ctx.doc.SetItemFile(static_cast<size_t>(target.file), values[0]))) return kExitFailure;
    } else {
        std::vector<std::pair<int, std::vector<uint8_t>>> changed;
        for (size_t i = 0; i < records.size(); ++i)
            if (records[i] == target.record || (records[i] >= 0 && values[i] != ctx.doc.Items()[records[i]].Value()))
                changed.emplace_back(records[i], values[i]);
        if (!ReportOutcome(ctx, ctx.doc.SetValues(changed))) return kExitFailure;
    }
    const SOutcome saved = ctx.doc.SaveBackup(out, CTessivaDoc::EScope::AllActive, CBackupFiles::ESaveLayout::AsLoaded,
                                              DetectBackupKind(in));
    return ReportOutcome(ctx, saved, "Saving " + out) ? kExitOk : kExitFailure;
}

const CCliRegistrar kSet({"set", "set IN OUT KEY VALUE [--subscription N] [--force]",
                          "Set one record or item file of a backup and write it as the same kind",
                          "KEY is as for show. VALUE is imei=DIGITS (15 digits, the check digit verified;\n"
                          "--force takes a wrong one), meid=HEX (14 hex digits, most significant first),\n"
                          "bands=1,3,66 (band numbers or ranges as 1-8; bits no band names stay),\n"
                          "hex=BYTES (the whole value) or field=N:TEXT (field N as its \"Dec Value\").\n"
                          "OUT is written as IN's kind, every other record and file as it was. A value\n"
                          "that is refused writes nothing (exit 1).",
                          {"--force"}, {"--subscription"}, 4, 4, RunSet});
}  // namespace
