#pragma once
// The phones the library's link tests talk to, alike on every system: one answering from
// tests/data/link_phone.txt with SPC code 123456 and no pause after a wrong code, and one
// that answers its first request and then falls silent.
#include <string>

struct SLinkTestPorts {
    std::string phone;
    std::string silent;
    std::string missing;    // no such port
    std::string notSerial;  // a device that is no serial port
    bool exclusive = true;  // a second open of an open port is refused (not so under Wine)
};

// Started on first use, kept for the whole test program.
const SLinkTestPorts& LinkTestPorts();
