#include "phone/posix_serial_transport.h"

#include "jobs/text_translation.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::string NotSerialText(const std::string& device) {
    return FillText(TrText("ISerialTransport", "%1 is not a serial port."), {device});
}

// /dev/tty, /dev/console and /dev/ptmx: terminals of this system, never a phone's port.
bool IsTerminalAlias(const std::string& device) {
    struct stat st {};
    return stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) == 5 && minor(st.st_rdev) <= 2;
}

std::string OpenErrorText(const std::string& device, int error) {
    switch (error) {
    case ENXIO:
    case ENOENT:
    case ENODEV: return FillText(TrText("ISerialTransport", "Port %1 does not exist."), {device});
    case EISDIR: return NotSerialText(device);
    case EACCES:
    case EPERM:
        return FillText(TrText("ISerialTransport",
                               "No permission to open port %1. Add your user to the dialout group "
                               "(sudo usermod -aG dialout $USER) and log in again."),
                        {device});
    case EBUSY:
    case EWOULDBLOCK:
        return FillText(TrText("ISerialTransport", "Port %1 is busy: another program is using it."), {device});
    default: return FillText(TrText("ISerialTransport", "Can't open port %1: %2."), {device, std::strerror(error)});
    }
}

std::string GoneText(const std::string& device) {
    return FillText(TrText("ISerialTransport", "Port %1 went away."), {device});
}

// Errors that mean the device is gone (unplugged, or the other end of a pseudo-terminal closed).
bool IsGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

int MillisecondsUntil(ISerialTransport::Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ISerialTransport::Clock::now()).count();
    return left <= 0 ? 0 : (left > 1000000 ? 1000000 : static_cast<int>(left));
}
}  // namespace

CPosixSerialTransport::~CPosixSerialTransport() { Close(); }

bool CPosixSerialTransport::MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With O_NONBLOCK this makes an empty read EAGAIN, so a read of 0 bytes means hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool CPosixSerialTransport::Open(const std::string& device, std::string& error) {
    Close();
    if (device.empty()) {
        error = TrText("ISerialTransport", "No port chosen.");
        return false;
    }
    if (IsTerminalAlias(device)) {
        error = NotSerialText(device);
        return false;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenErrorText(device, errno);
        return false;
    }
    if (!isatty(fd)) {
        ::close(fd);
        error = NotSerialText(device);
        return false;
    }
    // flock keeps out programs that honour it; TIOCEXCL refuses further opens of the device.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        error = OpenErrorText(device, e == EWOULDBLOCK ? EBUSY : e);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    if (!MakeRaw(fd)) {
        const int e = errno;
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        error = FillText(TrText("ISerialTransport", "Can't set up port %1: %2."), {device, std::strerror(e)});
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_device = device;
    return true;
}

void CPosixSerialTransport::Close() {
    if (m_fd < 0) return;
    // The exclusive mode outlives this descriptor when someone else keeps the device open.
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

void CPosixSerialTransport::DiscardInput() {
    if (m_fd >= 0) tcflush(m_fd, TCIFLUSH);
}

bool CPosixSerialTransport::Write(const uint8_t* bytes, size_t length, Clock::time_point deadline,
                                  std::string& error) {
    if (m_fd < 0) {
        error = TrText("ISerialTransport", "The port is not open.");
        return false;
    }
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            const int e = errno;
            error = IsGone(e) ? GoneText(m_device)
                              : FillText(TrText("ISerialTransport", "Writing to port %1 failed: %2."),
                                         {m_device, std::strerror(e)});
            return false;
        }
        pollfd p{m_fd, POLLOUT, 0};
        const int waitMs = MillisecondsUntil(deadline);
        if (waitMs == 0) {
            error = FillText(TrText("ISerialTransport", "Port %1 does not take data."), {m_device});
            return false;
        }
        if (::poll(&p, 1, waitMs) < 0 && errno != EINTR) {
            const int e = errno;
            error =
                FillText(TrText("ISerialTransport", "Waiting for port %1 failed: %2."), {m_device, std::strerror(e)});
            return false;
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            error = GoneText(m_device);
            return false;
        }
    }
    return true;
}

long CPosixSerialTransport::Read(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) {
    return ReadFrom(buffer, size, deadline, error, false);
}

long CPosixSerialTransport::ReadReply(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) {
    return ReadFrom(buffer, size, deadline, error, true);
}

long CPosixSerialTransport::ReadFrom(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error,
                                     bool waitFirst) {
    if (m_fd < 0) {
        error = TrText("ISerialTransport", "The port is not open.");
        return -1;
    }
    for (bool readNow = !waitFirst;; readNow = true) {
        if (readNow) {
            const ssize_t n = ::read(m_fd, buffer, size);
            if (n > 0) return static_cast<long>(n);
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                const int e = errno;
                error = n == 0 || IsGone(e) ? GoneText(m_device)
                                            : FillText(TrText("ISerialTransport", "Reading from port %1 failed: %2."),
                                                       {m_device, std::strerror(e)});
                return -1;
            }
        }
        pollfd p{m_fd, POLLIN, 0};
        const int waitMs = MillisecondsUntil(deadline);
        if (waitMs == 0 && readNow) return 0;
        const int ready = ::poll(&p, 1, waitMs);
        if (ready < 0 && errno != EINTR) {
            const int e = errno;
            error =
                FillText(TrText("ISerialTransport", "Waiting for port %1 failed: %2."), {m_device, std::strerror(e)});
            return -1;
        }
        if (ready > 0 && !(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            error = GoneText(m_device);
            return -1;
        }
    }
}
