#pragma once
#include "phone/serial_transport.h"

// A COM port through the Win32 communications API: raw 8N1 at 115200 baud, no flow control,
// opened without sharing so no other program can use it meanwhile.
class CWin32SerialTransport : public ISerialTransport {
public:
    CWin32SerialTransport() = default;
    ~CWin32SerialTransport() override;
    CWin32SerialTransport(const CWin32SerialTransport&) = delete;
    CWin32SerialTransport& operator=(const CWin32SerialTransport&) = delete;

    // device: "\\.\COM3" (or any name CreateFile takes).
    bool Open(const std::string& device, std::string& error) override;
    void Close() override;
    bool IsOpen() const override { return m_handle != nullptr; }
    void DiscardInput() override;
    bool Write(const uint8_t* bytes, size_t length, Clock::time_point deadline, std::string& error) override;
    long Read(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) override;

private:
    bool SetTimeouts(unsigned long readMs, unsigned long writeMs, std::string& error);
    // pattern: %1 the port, %2 the system's reason; a port that went away says just that.
    std::string Failure(const std::string& pattern, unsigned long code) const;

    void* m_handle = nullptr;  // HANDLE; kept out of the header so <windows.h> stays here
    std::string m_name;        // as the user knows the port: "COM3"
};
