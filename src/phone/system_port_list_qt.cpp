#include "phone/system_port_list.h"

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
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usbIds = QString::asprintf("%04x:%04x", info.vendorIdentifier(), info.productIdentifier()).toStdString();
        ports.push_back(std::move(port));
    }
    return true;
}
