// Connecting to the phone: the port, the connection and its check.
#include "doc/phone_session.h"

#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "phone/qlib.h"
#include "jobs/text_translation.h"

#include <cstring>

CPhoneSession::CPhoneSession(CJobControl& jobs, SLink link, CNVItemArray& items, const CNVItemArray& defs,
                             CNVDefineReader& reader, CBackupFiles& files, CItemSelection& selection)
    : m_jobs(jobs), m_link(link), m_items(items), m_itemDefs(defs), m_defReader(reader), m_files(files),
      m_selection(selection) {}

bool CPhoneSession::Connect() {
    // A handle still open would keep the port locked against the new connection.
    if (m_link.handle) QLIB_DisconnectServer(m_link.handle);
    QLIB_SetLibraryMode(1);
    m_link.handle = m_link.portName.empty() ? QLIB_ConnectServer(static_cast<unsigned>(m_link.comPort < 0 ? 0 : m_link.comPort))
                                 : QLIB_ConnectServerByName(m_link.portName.c_str());
    if (!m_link.handle) {
        m_jobs.Messages().ShowMessage(QLibLastError(), EMessageIcon::Error);
        return false;
    }
    // Before the probe, so a slow phone is given its time from the first request.
    if (m_link.timeoutMs) QLIB_SetTimeout(m_link.handle, m_link.timeoutMs);
    return QLIB_IsPhoneConnected(m_link.handle) != 0;
}

bool CPhoneSession::Disconnect() {
    QLIB_DisconnectServer(m_link.handle);
    const bool connected = QLIB_IsPhoneConnected(m_link.handle) != 0;
    m_link.handle = nullptr;
    return connected;
}

bool CPhoneSession::CheckConnected() {
    if (QLIB_IsPhoneConnected(m_link.handle) != 0) return true;
    QLIB_DisconnectServer(m_link.handle);
    QLIB_IsPhoneConnected(m_link.handle);
    m_link.handle = nullptr;
    return false;
}

bool CPhoneSession::SendSpcCode(const std::string& code) {
    unsigned char bytes[6] = {0, 0, 0, 0, 0, 0};
    std::memcpy(bytes, code.data(), code.size() < sizeof bytes ? code.size() : sizeof bytes);
    unsigned char accepted = 0;
    // An answer that can't be read says nothing about the code: no "wrong code" then.
    if (!QLIB_DIAG_SPC_F(m_link.handle, bytes, &accepted)) {
        const std::string text =
            m_link.handle ? TrText("CPhoneSession", "The SPC code was not taken: the phone's answer to the SPC "
                                                    "code could not be read (%1).")
                          : TrText("CPhoneSession", "The SPC code was not sent: %1");
        m_jobs.Messages().ShowMessage(FillText(text, {QLibLastError()}), EMessageIcon::Error, ErrorCaption());
        return false;
    }
    if (accepted != 0) return true;
    m_jobs.Messages().ShowMessage(TrText("CPhoneSession", "     WRONG SPC CODE \nPhone will be time out for 10 sec"),
                                  EMessageIcon::Error, ErrorCaption());
    return false;
}
