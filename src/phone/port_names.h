#pragma once
#include <string>
#include <string_view>

// How ports are named: "Com n" as the program shows and reads it, the system's port names,
// and the device to open. Windows numbers its ports (COMn, opened as \\.\COMn); Linux names
// them, and "Com n" stands for /dev/ttyS<n-1> there.
enum class EPortSystem { Posix, Windows };

#ifdef _WIN32
inline constexpr EPortSystem kHostPortSystem = EPortSystem::Windows;
#else
inline constexpr EPortSystem kHostPortSystem = EPortSystem::Posix;
#endif

// "Com 12".
std::string ComPortText(int number);
// 12 for "Com 12", "COM12" or "com 12" (blanks around are ignored); 0 for any other text.
int ParseComPortText(std::string_view text);
// The number a system port name stands for ("COM3" -> 3; on Linux also "ttyS2" -> 3); 0 for none.
int SystemPortNumber(std::string_view name, EPortSystem system = kHostPortSystem);
// The device to open for port n.
std::string ComPortDevice(int number, EPortSystem system = kHostPortSystem);
// The device to open for a typed port: "Com n" as above, a bare name under /dev (Linux) or
// \\.\ (Windows), and a path as given.
std::string PortDevicePath(std::string_view text, EPortSystem system = kHostPortSystem);
