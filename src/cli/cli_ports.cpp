// tessiva-cli ports: the serial ports present.
#include "cli/cli_command.h"
#include "phone/com_ports.h"
#include "cli/json_writer.h"

#include <cstdio>

namespace {
int RunPorts(SCliContext& ctx, const SCliArgs& args) {
    std::vector<SComPort> ports;
    if (!EnumerateComPorts(ports)) return ctx.Fail("The serial ports can't be listed.");
    const bool json = args.Has("--json");
    if (json) std::printf("{\"ports\":[");
    bool first = true;
    for (const auto& port : ports) {
        if (json)
            std::printf("%s\n{\"name\":%s,\"device\":%s,\"number\":%d,\"description\":%s}", first ? "" : ",",
                        JsonString(port.name).c_str(), JsonString(port.device).c_str(), port.number,
                        JsonString(port.description).c_str());
        else
            std::printf("%-12s %-20s %s\n", port.name.c_str(), port.device.c_str(), port.description.c_str());
        first = false;
    }
    if (json) std::printf("\n]}\n");
    if (!json && ports.empty()) std::fprintf(stderr, "No serial ports found.\n");
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailure;
}

const CCliRegistrar kPorts({"ports", "ports [--json]", "List the serial ports a phone may be on",
                            "Prints each serial port the system reports: name, device path and description.\n"
                            "USB diagnostic ports are usually ttyUSBn or ttyACMn. Pseudo-terminals (such as\n"
                            "the one of tessiva-phone-sim) are not listed but can be given to --port.",
                            {"--json"}, {}, 0, 0, RunPorts});
}  // namespace
