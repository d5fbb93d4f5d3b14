#pragma once
#include "phone/serial_transport.h"

// A serial device (or pseudo-terminal) through termios: raw 8N1 at 115200 baud, no flow
// control, held exclusively (flock and TIOCEXCL) while open.
class CPosixSerialTransport : public ISerialTransport {
public:
    CPosixSerialTransport() = default;
    ~CPosixSerialTransport() override;
    CPosixSerialTransport(const CPosixSerialTransport&) = delete;
    CPosixSerialTransport& operator=(const CPosixSerialTransport&) = delete;

    bool Open(const std::string& device, std::string& error) override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    void DiscardInput() override;
    bool Write(const uint8_t* bytes, size_t length, Clock::time_point deadline, std::string& error) override;
    long Read(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) override;
    long ReadReply(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) override;

    // Puts an open terminal into the raw mode of the link.
    static bool MakeRaw(int fd);

private:
    long ReadFrom(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error, bool waitFirst);

    int m_fd = -1;
    std::string m_device;
};
