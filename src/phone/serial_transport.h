#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A byte pipe to the phone: the serial port of the system. Used by one thread at a time.
class ISerialTransport {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~ISerialTransport() = default;
    // Opens the device for exclusive use; false with a sentence for the user in error.
    virtual bool Open(const std::string& device, std::string& error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Drops bytes received and not yet read.
    virtual void DiscardInput() = 0;
    // Writes every byte before the deadline; false with error otherwise.
    virtual bool Write(const uint8_t* bytes, size_t length, Clock::time_point deadline, std::string& error) = 0;
    // Waits until the deadline for bytes and returns what is there: > 0 bytes read,
    // 0 at the deadline, -1 on an error (the device went away) with error set.
    virtual long Read(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) = 0;
    // Read, for the reply to a request just written: nothing can have come yet, so it waits
    // before it reads. A read that finds the port empty costs more than itself: a CLI upload
    // one request at a time on a pseudo-terminal took 15% longer with it.
    virtual long ReadReply(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) {
        return Read(buffer, size, deadline, error);
    }
};

// The serial port of this system (termios, or the Win32 communications API on Windows).
std::unique_ptr<ISerialTransport> CreateSerialTransport();
