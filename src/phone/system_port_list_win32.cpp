#include "phone/system_port_list.h"

#include "phone/port_names.h"

#include <algorithm>
#include <string>

#include <windows.h>

namespace {
std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}
}  // namespace

bool ListSystemPorts(std::vector<SComPort>& ports) {
    // All DOS device names, zero-separated; the size needed is not told, so grow until it fits.
    std::wstring names(16384, L'\0');
    while (QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size())) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > (1u << 22)) return false;
        names.resize(names.size() * 2);
    }
    const size_t first = ports.size();
    for (const wchar_t* name = names.c_str(); *name; name += wcslen(name) + 1) {
        const std::string text = Narrow(name);
        const int number = SystemPortNumber(text, EPortSystem::Windows);
        if (number <= 0) continue;
        SComPort port;
        port.name = "COM" + std::to_string(number);
        port.device = ComPortDevice(number, EPortSystem::Windows);
        wchar_t target[512];
        if (QueryDosDeviceW(name, target, 512) != 0) port.description = Narrow(target);
        ports.push_back(std::move(port));
    }
    // The DOS device list has no useful order; Windows' own port lists go by number.
    std::sort(ports.begin() + static_cast<long>(first), ports.end(), [](const SComPort& a, const SComPort& b) {
        return SystemPortNumber(a.name, EPortSystem::Windows) < SystemPortNumber(b.name, EPortSystem::Windows);
    });
    return true;
}
