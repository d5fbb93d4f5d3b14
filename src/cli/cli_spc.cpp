// tessiva-cli spc: sends the phone its SPC code.
#include "cli/backup_loader.h"
#include "cli/cli_phone.h"

#include <cstdio>

namespace {
int RunSpc(SCliContext& ctx, const SCliArgs& args) {
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    if (!ReportOutcome(ctx, ctx.doc.Phone().SendSpcCode(args.positionals[0]))) return kExitFailure;
    std::printf("SPC code accepted.\n");
    return kExitOk;
}

const CCliRegistrar kSpc({"spc", "spc --port DEV [--timeout MS] CODE", "Send the phone its SPC code",
                          "Sends the first six characters of CODE (zero bytes fill a shorter one). Exit 0 when\n"
                          "the phone accepts the code, 1 when it rejects it: the phone then answers nothing\n"
                          "for about 10 seconds." TESSIVA_PHONE_OPTIONS_HELP,
                          {}, kPhoneValueOptions, 1, 1, RunSpc});
}  // namespace
