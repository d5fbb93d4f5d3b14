#pragma once
#include <string>
#include <vector>

// A serial port present on the machine.
struct SComPort {
    std::string name;         // "ttyUSB0" on Linux, "COM3" on Windows
    std::string device;       // the path to open: "/dev/ttyUSB0", "\\.\COM3"
    int number = 0;           // COM port number where ports are numbered, else 0
    std::string description;  // maker's text of the device, may be empty
    std::string usbIds;       // "05c6:9008" for a USB device, else empty
};

// The serial ports present, in the order the system lists them; false when the system
// can't be asked.
bool EnumerateComPorts(std::vector<SComPort>& ports);
// The numbers of the numbered ports present (COM n; /dev/ttyS<n-1> on Linux).
bool EnumerateComPorts(std::vector<int>& numbers);
