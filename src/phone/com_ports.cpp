#include "phone/com_ports.h"

#include "phone/port_names.h"
#include "phone/system_port_list.h"

bool EnumerateComPorts(std::vector<SComPort>& ports) {
    ports.clear();
    if (!ListSystemPorts(ports)) return false;
    for (SComPort& port : ports) port.number = SystemPortNumber(port.name);
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
