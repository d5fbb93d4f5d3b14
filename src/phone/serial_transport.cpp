#include "phone/serial_transport.h"

// The one place that knows which transport this system has.
#ifdef _WIN32
#include "phone/win32_serial_transport.h"
using CSystemSerialTransport = CWin32SerialTransport;
#else
#include "phone/posix_serial_transport.h"
using CSystemSerialTransport = CPosixSerialTransport;
#endif

std::unique_ptr<ISerialTransport> CreateSerialTransport() { return std::make_unique<CSystemSerialTransport>(); }
