// The link tests' phones under Windows: simulated phones on the host, mapped as COM ports by
// dev.sh wincheck and named in TESSIVA_PHONE_PORT and TESSIVA_SILENT_PORT ("COM33"). Wine lists
// a port only when its registry names it (Software\Wine\Ports), as dev.sh does.
#include "phone/com_ports.h"
#include "link_test_phones.h"
#include "phone/port_names.h"
#include "phone/qlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <windows.h>

namespace {
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) ADD_FAILURE() << name << " is not set";
    return value ? value : "";
}
}  // namespace

const SLinkTestPorts& LinkTestPorts() {
    // Windows' serial driver refuses a second open; Wine passes it on to the pseudo-terminal.
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    static const SLinkTestPorts ports{Environment("TESSIVA_PHONE_PORT"), Environment("TESSIVA_SILENT_PORT"),
                                      "COM199", "NUL", !wine};
    return ports;
}

TEST(WindowsPorts, ComPortsAreListedAndOpenedByNumber) {
    const int number = ParseComPortText(LinkTestPorts().phone);
    ASSERT_GT(number, 0);
    std::vector<int> numbers;
    ASSERT_TRUE(EnumerateComPorts(numbers));
    EXPECT_THAT(numbers, ::testing::Contains(number));
    void* handle = QLIB_ConnectServer(static_cast<unsigned>(number));
    ASSERT_NE(handle, nullptr) << QLibLastError();
    EXPECT_EQ(QLIB_IsPhoneConnected(handle), 1) << QLibLastError();
    QLIB_DisconnectServer(handle);
    // The full device name works as well.
    handle = QLIB_ConnectServerByName(ComPortDevice(number).c_str());
    EXPECT_NE(handle, nullptr) << QLibLastError();
    QLIB_DisconnectServer(handle);
}
