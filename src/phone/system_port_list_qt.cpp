#include "system_port_list.h"

#include <QSerialPortInfo>

bool ListSystemPorts(std::vector<SComPort>& ports) {
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SComPort port;
        port.name = info.portName().toStdString();
        port.device = info.systemLocation().toStdString();
        port.description = info.description().toStdString();
        if (!info.manufacturer().isEmpty()) {
            if (!port.description.empty()) port.description += ", ";
            port.description += info.manufacturer().toStdString();
        }
        ports.push_back(std::move(port));
    }
    return true;
}
