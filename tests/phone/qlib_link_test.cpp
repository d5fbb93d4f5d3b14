// The library over a real port against the simulated phone. The Windows cross-check runs this
// same file under Wine on a COM port, so both transports are held to the same results.
#include "link_test_phones.h"
#include "phone/qlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
struct SConnection {
    explicit SConnection(const std::string& port) : handle(QLIB_ConnectServerByName(port.c_str())) {}
    ~SConnection() { QLIB_DisconnectServer(handle); }
    void* handle;
};

const unsigned char kWrongCode[6] = {'0', '0', '0', '0', '0', '0'};
const unsigned char kRightCode[6] = {'1', '2', '3', '4', '5', '6'};
}  // namespace

TEST(LibraryLink, ReadsWritesAndSendsTheSpcCode) {
    SConnection c(LinkTestPorts().phone);
    ASSERT_NE(c.handle, nullptr) << QLibLastError();
    ASSERT_EQ(QLIB_IsPhoneConnected(c.handle), 1) << QLibLastError();

    uint8_t plain[4] = {}, element[2] = {};
    unsigned short status = 99;
    ASSERT_EQ(QLIB_DIAG_NV_READ_F(c.handle, 10, plain, 4, &status), 1) << QLibLastError();
    EXPECT_EQ(status, 0);
    EXPECT_THAT(plain, ElementsAre(1, 2, 3, 4));
    ASSERT_EQ(QLIB_DIAG_NV_READ_ARRAY_F(c.handle, 20, 1, element, 2, &status), 1) << QLibLastError();
    EXPECT_EQ(status, 0);
    EXPECT_THAT(element, ElementsAre(0x31, 0x32));
    EXPECT_EQ(QLIB_DIAG_NV_READ_ARRAY_F(c.handle, 20, 2, element, 2, &status), 1);
    EXPECT_EQ(status, 5);  // never written

    // Written values come back, a plain item and an element alike.
    const uint8_t value[2] = {0xAB, 0x7E};  // a flag byte on the wire must be escaped
    ASSERT_EQ(QLIB_DIAG_NV_WRITE_F(c.handle, 40, value, 2, &status), 1) << QLibLastError();
    EXPECT_EQ(status, 0);
    ASSERT_EQ(QLIB_DIAG_NV_WRITE_ARRAY_F(c.handle, 20, 2, value, 2, &status), 1) << QLibLastError();
    uint8_t back[2] = {};
    EXPECT_EQ(QLIB_DIAG_NV_READ_F(c.handle, 40, back, 2, &status), 1);
    EXPECT_THAT(back, ElementsAre(0xAB, 0x7E));
    EXPECT_EQ(QLIB_DIAG_NV_READ_ARRAY_F(c.handle, 20, 2, back, 2, &status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_THAT(back, ElementsAre(0xAB, 0x7E));

    unsigned char accepted = 9;
    ASSERT_EQ(QLIB_DIAG_SPC_F(c.handle, kWrongCode, &accepted), 1) << QLibLastError();
    EXPECT_EQ(accepted, 0);
    ASSERT_EQ(QLIB_DIAG_SPC_F(c.handle, kRightCode, &accepted), 1) << QLibLastError();
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(QLIB_HasLinkFailed(c.handle), 0);
}

TEST(LibraryLink, RefusesPortsItCannotUse) {
    const struct {
        std::string port;
        const char* error;
    } cases[] = {
        {LinkTestPorts().missing, "does not exist"},
        {LinkTestPorts().notSerial, "is not a serial port"},
        {"", "No port chosen"},
    };
    for (const auto& row : cases) {
        SConnection c(row.port);
        EXPECT_EQ(c.handle, nullptr) << row.port;
        EXPECT_THAT(QLibLastError(), HasSubstr(row.error)) << row.port;
    }
    // One program at a time on a port.
    SConnection first(LinkTestPorts().phone);
    ASSERT_NE(first.handle, nullptr) << QLibLastError();
    if (!LinkTestPorts().exclusive) return;
    SConnection second(LinkTestPorts().phone);
    EXPECT_EQ(second.handle, nullptr);
    EXPECT_THAT(QLibLastError(), HasSubstr("busy"));
}

TEST(LibraryLink, APhoneFallingSilentCostsOneTimeoutOfItsConnection) {
    using Clock = std::chrono::steady_clock;
    SConnection c(LinkTestPorts().silent);
    ASSERT_NE(c.handle, nullptr) << QLibLastError();
    EXPECT_EQ(QLIB_GetTimeout(c.handle), 2000u);
    ASSERT_EQ(QLIB_SetTimeout(c.handle, 300), 1);
    EXPECT_EQ(QLIB_GetTimeout(c.handle), 300u);
    EXPECT_EQ(QLIB_GetTimeout(nullptr), 0u);
    ASSERT_EQ(QLIB_IsPhoneConnected(c.handle), 1) << QLibLastError();  // its one answer

    uint8_t buffer[4];
    unsigned short status = 99;
    auto start = Clock::now();
    EXPECT_EQ(QLIB_DIAG_NV_READ_F(c.handle, 10, buffer, 4, &status), 0);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
    EXPECT_THAT(QLibLastError(), HasSubstr("did not answer within 300 ms"));
    EXPECT_EQ(QLIB_HasLinkFailed(c.handle), 1);
    EXPECT_EQ(status, 99);
    // Later calls fail at once.
    start = Clock::now();
    EXPECT_EQ(QLIB_IsPhoneConnected(c.handle), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
}
