#pragma once
#include <memory>
#include <string>

// One open connection of the phone-link library, closed when destroyed. The library's C
// functions take Handle().
class CQLibConnection {
public:
    // The port by number ("Com n") when name is empty, else by name or path; null when the
    // port can't be opened (QLibLastError() says why).
    static std::unique_ptr<CQLibConnection> Open(unsigned comPort, const std::string& name);
    ~CQLibConnection();
    CQLibConnection(const CQLibConnection&) = delete;
    CQLibConnection& operator=(const CQLibConnection&) = delete;

    void* Handle() const { return m_handle; }

private:
    explicit CQLibConnection(void* handle) : m_handle(handle) {}

    void* m_handle;
};
