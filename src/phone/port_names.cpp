#include "phone/port_names.h"

namespace {
std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "12" -> 12; 0 unless 1 to 6 digits only.
int Digits(std::string_view text) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    int n = 0;
    for (const char c : text) n = n * 10 + (c - '0');
    return n;
}

bool StartsWithCom(std::string_view text) {
    return text.size() > 3 && (text[0] | 0x20) == 'c' && (text[1] | 0x20) == 'o' && (text[2] | 0x20) == 'm';
}
}  // namespace

std::string ComPortText(int number) { return "Com " + std::to_string(number); }

int ParseComPortText(std::string_view text) {
    text = Trimmed(text);
    if (!StartsWithCom(text)) return 0;
    text.remove_prefix(text[3] == ' ' ? 4 : 3);
    return Digits(text);
}

int SystemPortNumber(std::string_view name, EPortSystem system) {
    if (StartsWithCom(name)) return Digits(name.substr(3));
    // Linux's first serial port is ttyS0, where Windows counts from COM1.
    if (system == EPortSystem::Posix && name.starts_with("ttyS")) {
        const std::string_view digits = name.substr(4);
        const int n = Digits(digits);
        return n > 0 || digits == "0" ? n + 1 : 0;
    }
    return 0;
}

std::string ComPortDevice(int number, EPortSystem system) {
    if (number <= 0) return {};
    return system == EPortSystem::Windows ? "\\\\.\\COM" + std::to_string(number)
                                          : "/dev/ttyS" + std::to_string(number - 1);
}

std::string PortDevicePath(std::string_view text, EPortSystem system) {
    text = Trimmed(text);
    if (text.empty()) return {};
    if (const int number = ParseComPortText(text)) return ComPortDevice(number, system);
    const bool windows = system == EPortSystem::Windows;
    if (text.find_first_of(windows ? "/\\:" : "/") != std::string_view::npos) return std::string(text);
    return (windows ? "\\\\.\\" : "/dev/") + std::string(text);
}
