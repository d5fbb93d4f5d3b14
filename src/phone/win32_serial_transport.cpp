#include "phone/win32_serial_transport.h"

#include "jobs/text_translation.h"

#include <algorithm>
#include <string>

#include <windows.h>

namespace {
HANDLE H(void* handle) { return static_cast<HANDLE>(handle); }

std::wstring Widen(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// The system's sentence for an error code, without its line break and full stop.
std::string SystemText(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result =
        n && text ? std::string(text, n) : FillText(TrText("ISerialTransport", "error %1"), {std::to_string(code)});
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.' ||
                               result.back() == ' '))
        result.pop_back();
    return result;
}

std::string OpenErrorText(const std::string& name, DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT: return FillText(TrText("ISerialTransport", "Port %1 does not exist."), {name});
    case ERROR_ACCESS_DENIED:  // what an exclusively held COM port answers
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return FillText(TrText("ISerialTransport", "Port %1 is busy: another program is using it."), {name});
    default: return FillText(TrText("ISerialTransport", "Can't open port %1: %2."), {name, SystemText(code)});
    }
}

// Codes of a port that was unplugged while open.
bool IsGone(DWORD code) {
    return code == ERROR_DEVICE_REMOVED || code == ERROR_BAD_COMMAND || code == ERROR_GEN_FAILURE ||
           code == ERROR_OPERATION_ABORTED || code == ERROR_DEVICE_NOT_CONNECTED || code == ERROR_INVALID_HANDLE;
}

DWORD MillisecondsUntil(ISerialTransport::Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ISerialTransport::Clock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, 1000000));
}
}  // namespace

CWin32SerialTransport::~CWin32SerialTransport() { Close(); }

std::string CWin32SerialTransport::Failure(const std::string& pattern, unsigned long code) const {
    return IsGone(code) ? FillText(TrText("ISerialTransport", "Port %1 went away."), {m_name})
                        : FillText(pattern, {m_name, SystemText(code)});
}

bool CWin32SerialTransport::Open(const std::string& device, std::string& error) {
    Close();
    if (device.empty()) {
        error = TrText("ISerialTransport", "No port chosen.");
        return false;
    }
    // Messages name the port as the user knows it, not by its device namespace.
    m_name = device.starts_with("\\\\.\\") ? device.substr(4) : device;
    const HANDLE handle = CreateFileW(Widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = OpenErrorText(m_name, GetLastError());
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        error = FillText(TrText("ISerialTransport", "%1 is not a serial port."), {m_name});
        return false;
    }
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handle, &dcb)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        error = FillText(TrText("ISerialTransport", "Can't set up port %1: %2."), {m_name, SystemText(code)});
        return false;
    }
    m_handle = handle;
    if (!SetTimeouts(0, 0, error)) {
        Close();
        return false;
    }
    PurgeComm(handle, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

void CWin32SerialTransport::Close() {
    if (!m_handle) return;
    CloseHandle(H(m_handle));
    m_handle = nullptr;
}

void CWin32SerialTransport::DiscardInput() {
    if (m_handle) PurgeComm(H(m_handle), PURGE_RXCLEAR);
}

bool CWin32SerialTransport::SetTimeouts(unsigned long readMs, unsigned long writeMs, std::string& error) {
    // readMs 0: a read returns at once with what is buffered (interval MAXDWORD, totals 0);
    // else it waits up to readMs for all the bytes asked.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = readMs ? 0 : MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = readMs;
    timeouts.WriteTotalTimeoutConstant = writeMs ? writeMs : 1;
    if (SetCommTimeouts(H(m_handle), &timeouts)) return true;
    const DWORD code = GetLastError();
    error = Failure(TrText("ISerialTransport", "Setting up port %1 failed: %2."), code);
    return false;
}

bool CWin32SerialTransport::Write(const uint8_t* bytes, size_t length, Clock::time_point deadline, std::string& error) {
    if (!m_handle) {
        error = TrText("ISerialTransport", "The port is not open.");
        return false;
    }
    size_t done = 0;
    while (done < length) {
        const DWORD waitMs = MillisecondsUntil(deadline);
        if (waitMs == 0) {
            error = FillText(TrText("ISerialTransport", "Port %1 does not take data."), {m_name});
            return false;
        }
        if (!SetTimeouts(0, waitMs, error)) return false;
        DWORD written = 0;
        if (!WriteFile(H(m_handle), bytes + done, static_cast<DWORD>(length - done), &written, nullptr)) {
            const DWORD code = GetLastError();
            error = Failure(TrText("ISerialTransport", "Writing to port %1 failed: %2."), code);
            return false;
        }
        done += written;
    }
    return true;
}

long CWin32SerialTransport::Read(uint8_t* buffer, size_t size, Clock::time_point deadline, std::string& error) {
    if (!m_handle) {
        error = TrText("ISerialTransport", "The port is not open.");
        return -1;
    }
    if (size == 0) return 0;
    // Waiting for one byte until the deadline, then taking what else is there, behaves alike
    // on every driver; the "return on the first byte" timeouts are not honoured everywhere.
    DWORD got = 0;
    for (;;) {
        const DWORD waitMs = MillisecondsUntil(deadline);
        if (!SetTimeouts(waitMs, 0, error)) return -1;
        if (!ReadFile(H(m_handle), buffer, 1, &got, nullptr)) {
            const DWORD code = GetLastError();
            error = Failure(TrText("ISerialTransport", "Reading from port %1 failed: %2."), code);
            return -1;
        }
        if (got > 0) break;
        if (waitMs == 0) return 0;  // a port may return early with nothing; only the deadline counts
    }
    DWORD more = 0;
    const DWORD rest = static_cast<DWORD>(std::min<size_t>(size - 1, 1u << 20));
    if (rest > 0) {
        if (!SetTimeouts(0, 0, error)) return -1;
        if (!ReadFile(H(m_handle), buffer + 1, rest, &more, nullptr)) {
            const DWORD code = GetLastError();
            error = Failure(TrText("ISerialTransport", "Reading from port %1 failed: %2."), code);
            return -1;
        }
    }
    return static_cast<long>(1 + more);
}
