// tessiva-cli decode: an item value split into the fields of its type, optionally edited
// as the content view's "Dec Value" and "Hex Value" cells edit it.
#include "cli/cli_command.h"
#include "cli/json_writer.h"

#include <cstdio>

namespace {
struct SEdit {
    bool hex;
    int field;
    std::string text;
};

// "N=TEXT" with a decimal field number N.
bool ParseEdit(const std::string& value, bool hex, SEdit& edit) {
    const size_t eq = value.find('=');
    if (eq == 0 || eq == std::string::npos || eq > 6 || value.find_first_not_of("0123456789") < eq) return false;
    edit = {hex, std::stoi(value.substr(0, eq)), value.substr(eq + 1)};
    return true;
}

// Control bytes of a text field shown as \xNN so one field stays one line.
std::string Printable(const std::string& text) {
    std::string out;
    char buf[8];
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "tessiva-cli decode: %s\nusage: tessiva-cli decode TYPE HEX [--set N=TEXT]... "
                         "[--set-hex N=TEXT]... [--json]\n", message.c_str());
    return kExitUsage;
}

int RunDecode(SCliContext& ctx, const SCliArgs& args) {
    const std::string& typeName = args.positionals[0];
    std::vector<uint8_t> bytes;
    if (!ParseHexBytes(args.positionals[1], bytes)) return Usage("HEX must be an even number of hexadecimal digits");
    std::vector<SEdit> edits;
    for (const auto& [name, value] : args.options) {
        if (name != "--set" && name != "--set-hex") continue;
        SEdit edit;
        if (!ParseEdit(value, name == "--set-hex", edit)) return Usage(name + " needs N=TEXT with a field number N");
        edits.push_back(edit);
    }
    if (!ctx.LoadTypes()) return kExitFailure;
    CNVTypeCatalog& catalog = ctx.doc.Decoder();
    if (!catalog.SelectType(typeName)) return ctx.Fail(CNVTypeCatalog::UnknownTypeMessage(typeName));
    const size_t size = static_cast<size_t>(catalog.RecordSize());
    if (bytes.size() > size)
        std::fprintf(stderr, "tessiva-cli decode: HEX holds %zu bytes, %s takes %zu; the rest is ignored\n",
                     bytes.size(), typeName.c_str(), size);
    bytes.resize(size, 0);
    catalog.SetRecordBytes(bytes.data(), bytes.size());
    for (const auto& edit : edits) {
        if (edit.field >= catalog.FieldCount())
            return Usage("field " + std::to_string(edit.field) + " does not exist; " + typeName + " has " +
                         std::to_string(catalog.FieldCount()) + " field(s)");
        CNVField& field = catalog.Field(edit.field);
        if (edit.hex) field.SetHexText(edit.text);
        else field.SetDecText(edit.text);
        catalog.GetRecordBytes();
    }
    const std::vector<uint8_t>& value = catalog.GetRecordBytes();

    if (args.Has("--json")) {
        std::printf("{\"type\":%s,\"size\":%zu,\"fields\":[", JsonString(typeName).c_str(), size);
        for (int i = 0; i < catalog.FieldCount(); ++i) {
            const CNVField& f = catalog.Field(i);
            std::printf("%s\n{\"name\":%s,\"dec\":%s,\"hex\":%s,\"type\":%s}", i ? "," : "",
                        JsonString(catalog.FieldDisplayName(i)).c_str(), JsonString(f.DecText()).c_str(),
                        JsonString(f.HexText()).c_str(), JsonString(f.TypeName()).c_str());
        }
        std::printf("\n],\"value\":\"%s\"}\n", HexBytes(value).c_str());
    } else {
        std::printf("type %s, %zu bytes, %d fields\n", typeName.c_str(), size, catalog.FieldCount());
        std::printf("%-5s %-32s %-24s %-20s %s\n", "field", "name", "dec", "hex", "type");
        for (int i = 0; i < catalog.FieldCount(); ++i) {
            const CNVField& f = catalog.Field(i);
            std::printf("%-5d %-32s %-24s %-20s %s\n", i, Printable(catalog.FieldDisplayName(i)).c_str(),
                        Printable(f.DecText()).c_str(), Printable(f.HexText()).c_str(), f.TypeName().c_str());
        }
        std::printf("value %s\n", HexBytes(value).c_str());
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure;
}

const CCliRegistrar kDecode({"decode", "decode TYPE HEX [--set N=TEXT]... [--set-hex N=TEXT]... [--json]",
                             "Split a value into the fields of an NV type, optionally editing fields",
                             "Loads NVTypes.typ, gives TYPE the value bytes HEX (zero-filled when shorter)\n"
                             "and prints every field with its \"Dec Value\" and \"Hex Value\" texts and the\n"
                             "resulting value. --set N=TEXT and --set-hex N=TEXT edit field N (0-based) as\n"
                             "the content view's cells do; edits apply in the order given.",
                             {"--json"}, {"--set", "--set-hex"}, 2, 2, RunDecode});
}  // namespace
