#include "cli/cli_phone.h"

#include "phone/qlib.h"

#include <cstdio>

int ConnectPhone(SCliContext& ctx, const SCliArgs& args) {
    const std::string port = args.Get("--port");
    if (port.empty()) {
        std::fprintf(stderr, "tessiva-cli: --port DEV is needed (see 'tessiva-cli ports')\n");
        return kExitUsage;
    }
    if (args.Has("--timeout")) {
        const std::string text = args.Get("--timeout");
        if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(text) == 0) {
            std::fprintf(stderr, "tessiva-cli: --timeout takes milliseconds, not '%s'\n", text.c_str());
            return kExitUsage;
        }
        ctx.doc.SetRequestTimeout(static_cast<unsigned>(std::stoul(text)));
    }
    ctx.doc.SetPortName(port);
    const SOutcome connected = ctx.doc.Connect();
    return connected.IsCompleted() ? kExitOk : ctx.Fail(connected.reason);
}
