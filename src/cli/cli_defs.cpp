// tessiva-cli defs: the item definitions as start-up reads them.
#include "cli/cli_command.h"
#include "cli/json_writer.h"

#include <cstdio>

namespace {
int RunDefs(SCliContext& ctx, const SCliArgs& args) {
    if (!ctx.LoadDefinitions()) return kExitFailure;
    const bool json = args.Has("--json");
    if (json) std::printf("{\"definitions\":[");
    else std::printf("%-5s %-5s %-5s %-5s %-40s %-24s %-28s %s\n", "id", "index", "count", "size", "name", "group",
                     "fileName", "typeName");
    bool first = true;
    for (const auto& d : ctx.doc.Definitions()) {
        if (json) {
            std::printf("%s\n{\"id\":%d,\"index\":%d,\"count\":%d,\"size\":%d,\"name\":%s,\"group\":%s,"
                        "\"fileName\":%s,\"type\":%s}",
                        first ? "" : ",", d.Id(), d.Index(), d.Count(), d.Size(), JsonString(d.Name()).c_str(),
                        JsonString(d.Group()).c_str(), JsonString(d.FileName()).c_str(),
                        JsonString(d.TypeName()).c_str());
        } else {
            std::printf("%-5d %-5d %-5d %-5d %-40s %-24s %-28s %s\n", d.Id(), d.Index(), d.Count(), d.Size(),
                        d.Name().c_str(), d.Group().c_str(), d.FileName().c_str(), d.TypeName().c_str());
        }
        first = false;
    }
    if (json) std::printf("\n]}\n");
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure;
}

const CCliRegistrar kDefs({"defs", "defs [--json]", "List the item definitions of NVItemsDefine.def",
                           "Reads NVItemsDefine.def as the desktop program does at start-up (sorted by ID,\n"
                           "array items expanded to one record per element) and prints every record.",
                           {"--json"}, {}, 0, 0, RunDefs});
}  // namespace
