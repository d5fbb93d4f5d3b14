#include "com_ports.h"

#include <QSerialPortInfo>

namespace {
// "COM12" (in any letter case) -> 12 and "ttyS3" -> 4; 0 for names without a port number.
int PortNumber(const std::string& name) {
    std::string digits;
    const bool com = name.size() > 3 && (name[0] | 0x20) == 'c' && (name[1] | 0x20) == 'o' && (name[2] | 0x20) == 'm';
    if (com) digits = name.substr(3);
    else if (name.size() > 4 && name.compare(0, 4, "ttyS") == 0) digits = name.substr(4);
    if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const int n = std::stoi(digits);
    return name[0] == 't' ? n + 1 : n;
}
}  // namespace

bool EnumerateComPorts(std::vector<SComPort>& ports) {
    ports.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SComPort port;
        port.name = info.portName().toStdString();
        port.device = info.systemLocation().toStdString();
        port.number = PortNumber(port.name);
        port.description = info.description().toStdString();
        if (!info.manufacturer().isEmpty()) {
            if (!port.description.empty()) port.description += ", ";
            port.description += info.manufacturer().toStdString();
        }
        ports.push_back(std::move(port));
    }
    return true;
}

bool EnumerateComPorts(std::vector<int>& numbers) {
    numbers.clear();
    std::vector<SComPort> ports;
    if (!EnumerateComPorts(ports)) return false;
    for (const auto& port : ports)
        if (port.number > 0) numbers.push_back(port.number);
    return true;
}
