#include "phone/qlib.h"

#include "phone/diag_link.h"
#include "phone/port_names.h"
#include "phone/serial_transport.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {
// Handles are numbers never reused, so a handle kept after its disconnect finds nothing
// instead of freed memory.
// The registry and the error text are never destroyed, so that a connection closed by a
// static object at exit still finds them.
struct SRegistry {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<CDiagLink>> links;
    uintptr_t nextHandle = 1;
};
SRegistry& Registry() {
    static SRegistry* registry = new SRegistry;
    return *registry;
}
thread_local char t_lastError[512];

void SetLastError(const std::string& text) {
    const size_t n = std::min(text.size(), sizeof t_lastError - 1);
    std::memcpy(t_lastError, text.data(), n);
    t_lastError[n] = '\0';
}

std::shared_ptr<CDiagLink> FindLink(void* handle) {
    SRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.links.find(reinterpret_cast<uintptr_t>(handle));
    if (it != r.links.end()) return it->second;
    SetLastError(TrText("QLib", "Not connected to a phone."));
    return nullptr;
}

unsigned char Result(bool ok, const CDiagLink& link) {
    if (!ok) SetLastError(link.LastError());
    return ok ? 1 : 0;
}

// One NV call: the status word reaches the caller only when the exchange worked.
template <class Call> unsigned char NvCall(void* handle, unsigned short* status, Call call) {
    const auto link = FindLink(handle);
    if (!link) return 0;
    uint16_t word = 0;
    const bool ok = call(*link, word);
    if (ok && status) *status = word;
    return Result(ok, *link);
}

}  // namespace

std::string QLibLastError() { return t_lastError; }

std::shared_ptr<CDiagLink> QLibLink(void* handle) { return FindLink(handle); }

extern "C" {

void QLIB_SetLibraryMode(unsigned char) {}

void* QLIB_ConnectServer(unsigned int comPort) {
    if (comPort == 0) {
        SetLastError(TrText("ISerialTransport", "No port chosen."));
        return nullptr;
    }
    return QLIB_ConnectServerByName(ComPortDevice(static_cast<int>(comPort)).c_str());
}

void* QLIB_ConnectServerByName(const char* device) {
    auto link = std::make_shared<CDiagLink>(CreateSerialTransport());
    if (!link->Open(PortDevicePath(device ? device : ""))) {
        SetLastError(link->LastError());
        return nullptr;
    }
    SRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    const uintptr_t handle = r.nextHandle++;
    r.links.emplace(handle, std::move(link));
    return reinterpret_cast<void*>(handle);
}

unsigned char QLIB_IsPhoneConnected(void* handle) {
    const auto link = FindLink(handle);
    return link ? Result(link->Probe(), *link) : 0;
}

void QLIB_DisconnectServer(void* handle) {
    std::shared_ptr<CDiagLink> link;
    {
        SRegistry& r = Registry();
        std::lock_guard lock(r.mutex);
        const auto it = r.links.find(reinterpret_cast<uintptr_t>(handle));
        if (it == r.links.end()) return;
        link = std::move(it->second);
        r.links.erase(it);
    }
    link->Close();  // waits for a call still running on another thread
}

unsigned char QLIB_DIAG_NV_READ_F(void* handle, unsigned short itemId, unsigned char* buffer, int length,
                                  unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.ReadNv(itemId, -1, buffer, length, word);
    });
}

unsigned char QLIB_DIAG_NV_READ_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                        unsigned char* buffer, int length, unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.ReadNv(itemId, index, buffer, length, word);
    });
}

unsigned char QLIB_DIAG_NV_WRITE_F(void* handle, unsigned short itemId, const unsigned char* value, int length,
                                   unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.WriteNv(itemId, -1, value, length, word);
    });
}

unsigned char QLIB_DIAG_NV_WRITE_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                         const unsigned char* value, int length, unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.WriteNv(itemId, index, value, length, word);
    });
}

unsigned char QLIB_DIAG_SUBSCRIPTION_NV_READ_F(void* handle, unsigned short itemId, unsigned short subscription,
                                               unsigned char* buffer, int length, unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.ReadNv(itemId, -1, buffer, length, word, subscription);
    });
}

unsigned char QLIB_DIAG_SUBSCRIPTION_NV_READ_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                                     unsigned short subscription, unsigned char* buffer, int length,
                                                     unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.ReadNv(itemId, index, buffer, length, word, subscription);
    });
}

unsigned char QLIB_DIAG_SUBSCRIPTION_NV_WRITE_F(void* handle, unsigned short itemId, unsigned short subscription,
                                                const unsigned char* value, int length, unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.WriteNv(itemId, -1, value, length, word, subscription);
    });
}

unsigned char QLIB_DIAG_SUBSCRIPTION_NV_WRITE_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                                      unsigned short subscription, const unsigned char* value,
                                                      int length, unsigned short* status) {
    return NvCall(handle, status, [&](CDiagLink& link, uint16_t& word) {
        return link.WriteNv(itemId, index, value, length, word, subscription);
    });
}

unsigned char QLIB_DIAG_CONTROL_F(void* handle, unsigned short mode) {
    const auto link = FindLink(handle);
    return link ? Result(link->SetMode(mode), *link) : 0;
}

unsigned char QLIB_DIAG_SPC_F(void* handle, const unsigned char* code, unsigned char* accepted) {
    const auto link = FindLink(handle);
    if (!link || !code) return 0;
    bool taken = false;
    const bool ok = link->SendSpc(code, taken);
    if (ok && accepted) *accepted = taken ? 1 : 0;
    return Result(ok, *link);
}

unsigned char QLIB_DIAG_ESN_F(void* handle, unsigned int* esn) {
    const auto link = FindLink(handle);
    if (!link || !esn) return 0;
    uint32_t value = 0;
    const bool ok = link->ReadEsn(value);
    if (ok) *esn = value;
    return Result(ok, *link);
}

unsigned char QLIB_SetTimeout(void* handle, unsigned int milliseconds) {
    const auto link = FindLink(handle);
    if (link) link->SetTimeout(std::chrono::milliseconds(milliseconds == 0 ? 1 : milliseconds));
    return link ? 1 : 0;
}

unsigned int QLIB_GetTimeout(void* handle) {
    const auto link = FindLink(handle);
    return link ? static_cast<unsigned>(link->Timeout().count()) : 0;
}

unsigned char QLIB_HasLinkFailed(void* handle) {
    const auto link = FindLink(handle);
    return !link || link->HasFailed() ? 1 : 0;
}

size_t QLIB_GetLastError(char* buffer, size_t size) {
    const size_t length = std::strlen(t_lastError);
    if (buffer && size > 0) {
        const size_t n = std::min(length, size - 1);
        std::memcpy(buffer, t_lastError, n);
        buffer[n] = '\0';
    }
    return length;
}

}  // extern "C"
