// The link tests' phones on POSIX: simulated phones in this process, on pseudo-terminals.
#include "link_test_phones.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"

#include <gtest/gtest.h>

namespace {
struct SSimulated {
    SSimulated(const SSimPhoneOptions& phoneOptions, const SSimLineOptions& lineOptions)
        : phone(store, phoneOptions), server(phone, lineOptions) {}
    bool Start() {
        std::string error;
        if (!store.LoadText(TESSIVA_SOURCE_DIR "/tests/data/link_phone.txt", error) || !server.Open(error)) {
            ADD_FAILURE() << error;
            return false;
        }
        server.Start();
        return true;
    }
    CSimNvStore store;
    CSimPhone phone;
    CSimPtyServer server;
};
}  // namespace

const SLinkTestPorts& LinkTestPorts() {
    static const SLinkTestPorts ports = [] {
        // Mirrors the options dev.sh wincheck gives tessiva-phone-sim.
        SSimPhoneOptions options;
        options.spcCode = "123456";
        options.spcPenalty = std::chrono::milliseconds(0);
        SSimLineOptions silentLine;
        silentLine.silentAfter = 1;
        static SSimulated phone(options, {}), silent(options, silentLine);
        phone.Start();
        silent.Start();
        return SLinkTestPorts{phone.server.DevicePath(), silent.server.DevicePath(), "/dev/tessiva-no-such-port",
                              "/dev/null"};
    }();
    return ports;
}
