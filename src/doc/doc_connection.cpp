// Connecting to the phone: the port, the connection and its check.
#include "tessiva_doc.h"

#include "job_control.h"
#include "qlib.h"

bool CTessivaDoc::Connect() {
    // A handle still open would keep the port locked against the new connection.
    if (m_phone) QLIB_DisconnectServer(m_phone);
    QLIB_SetLibraryMode(1);
    m_phone = m_portName.empty() ? QLIB_ConnectServer(static_cast<unsigned>(m_comPort < 0 ? 0 : m_comPort))
                                 : QLIB_ConnectServerByName(m_portName.c_str());
    if (!m_phone) {
        Messages().ShowMessage(QLibLastError(), EMessageIcon::Error);
        return false;
    }
    // Before the probe, so a slow phone is given its time from the first request.
    if (m_requestTimeoutMs) QLIB_SetTimeout(m_phone, m_requestTimeoutMs);
    return QLIB_IsPhoneConnected(m_phone) != 0;
}

bool CTessivaDoc::Disconnect() {
    QLIB_DisconnectServer(m_phone);
    const bool connected = QLIB_IsPhoneConnected(m_phone) != 0;
    m_phone = nullptr;
    return connected;
}

bool CTessivaDoc::CheckConnected() {
    if (QLIB_IsPhoneConnected(m_phone) != 0) return true;
    QLIB_DisconnectServer(m_phone);
    QLIB_IsPhoneConnected(m_phone);
    m_phone = nullptr;
    return false;
}
