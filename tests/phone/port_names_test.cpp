// Port texts, system port names and devices, on both kinds of system.
#include "phone/port_names.h"

#include <gtest/gtest.h>

TEST(PortNames, TextsNamesAndDevices) {
    constexpr auto P = EPortSystem::Posix;
    constexpr auto W = EPortSystem::Windows;
    const struct {
        const char* text;
        EPortSystem system;
        int typed;   // ParseComPortText
        int listed;  // SystemPortNumber
        const char* device;
    } rows[] = {
        {"Com 12", P, 12, 0, "/dev/ttyS11"},
        {" com3 ", W, 3, 0, "\\\\.\\COM3"},
        {"COM3", W, 3, 3, "\\\\.\\COM3"},
        {"COM3", P, 3, 3, "/dev/ttyS2"},
        {"COM256", W, 256, 256, "\\\\.\\COM256"},
        {"ttyS0", P, 0, 1, "/dev/ttyS0"},
        {"ttyS9", W, 0, 0, "\\\\.\\ttyS9"},
        {"ttyS", P, 0, 0, "/dev/ttyS"},
        {"ttyUSB0", P, 0, 0, "/dev/ttyUSB0"},
        {"/dev/pts/4", P, 0, 0, "/dev/pts/4"},
        {"\\\\.\\COM12", W, 0, 0, "\\\\.\\COM12"},
        {"CNCA0", W, 0, 0, "\\\\.\\CNCA0"},
        {"Com 0", W, 0, 0, "\\\\.\\Com 0"},
        {"Com  3", P, 0, 0, "/dev/Com  3"},
        {"COM3a", W, 0, 0, "\\\\.\\COM3a"},
        {"COM1234567", W, 0, 0, "\\\\.\\COM1234567"},
        {"", P, 0, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseComPortText(row.text), row.typed);
        EXPECT_EQ(SystemPortNumber(row.text, row.system), row.listed);
        EXPECT_EQ(PortDevicePath(row.text, row.system), row.device);
        if (row.typed > 0) {
            EXPECT_EQ(ParseComPortText(ComPortText(row.typed)), row.typed);
            EXPECT_EQ(ComPortDevice(row.typed, row.system), row.device);
        }
    }
    EXPECT_EQ(ComPortText(7), "Com 7");
    EXPECT_EQ(ComPortDevice(0, W), "");
}
