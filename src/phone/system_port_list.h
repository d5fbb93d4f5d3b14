#pragma once
#include "phone/com_ports.h"

#include <vector>

// Asks the system for its serial ports: name, device and description of each, in the
// system's order (numbers are left to the caller). Qt's port list in the program; a build
// without Qt on Windows reads the DOS device names instead.
bool ListSystemPorts(std::vector<SComPort>& ports);
