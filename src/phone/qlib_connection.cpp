#include "phone/qlib_connection.h"

#include "phone/qlib.h"

std::unique_ptr<CQLibConnection> CQLibConnection::Open(unsigned comPort, const std::string& name) {
    void* handle = name.empty() ? QLIB_ConnectServer(comPort) : QLIB_ConnectServerByName(name.c_str());
    if (!handle) return nullptr;
    return std::unique_ptr<CQLibConnection>(new CQLibConnection(handle));
}

CQLibConnection::~CQLibConnection() { QLIB_DisconnectServer(m_handle); }
