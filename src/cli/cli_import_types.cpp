// tessiva-cli import-types: NVTypesDefine.def converted into NVTypes.typ.
#include "cli/backup_loader.h"

#include <cstdio>

namespace {
int RunImportTypes(SCliContext& ctx, const SCliArgs& args) {
    const CNVTypeCatalog& catalog = ctx.doc.Decoder();
    const SOutcome imported = ctx.doc.ImportTypes(args.positionals[0]);
    if (imported.IsStopped())
        return ctx.Fail("The import of NV types was stopped; " + catalog.TypeFilePath() + " was not changed.");
    if (!ReportOutcome(ctx, imported)) return kExitFailure;
    std::printf("Imported %zu NV types into %s\n", catalog.TypeNames().size(), catalog.TypeFilePath().c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure;
}

const CCliRegistrar kImportTypes({"import-types", "import-types PATH",
                                  "Convert an NVTypesDefine.def into NVTypes.typ in the --dir folder",
                                  "Reads the type definitions at PATH, expands arrays and compound fields into\n"
                                  "flat field lists and writes them to NVTypes.typ, as the Tools menu command\n"
                                  "\"Import NV Types from DEF file\" does. On failure NVTypes.typ stays as it was.",
                                  {}, {}, 1, 1, RunImportTypes});
}  // namespace
