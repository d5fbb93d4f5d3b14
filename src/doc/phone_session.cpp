// Connecting to the phone: the port, the connection and its check.
#include "doc/phone_session.h"

#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "phone/diag_link.h"
#include "phone/qlib.h"
#include "jobs/text_translation.h"

#include <cstring>

CPhoneSession::CPhoneSession(CJobControl& jobs, const CNVItemArray& defs, CNVDefineReader& reader)
    : m_jobs(jobs), m_itemDefs(defs), m_defReader(reader) {}

SOutcome CPhoneSession::Connect() {
    // A connection still open would keep the port locked against the new one.
    m_connection.reset();
    m_connection = CQLibConnection::Open(static_cast<unsigned>(m_comPort < 0 ? 0 : m_comPort), m_portName);
    if (!m_connection) return SOutcome::Fail(QLibLastError());
    // Before the probe, so a slow phone is given its time from the first request.
    if (m_timeoutMs) QLIB_SetTimeout(Handle(), m_timeoutMs);
    if (const auto link = Link()) link->SetWindow(m_readWindow);
    if (QLIB_IsPhoneConnected(Handle()) != 0) return SOutcome::Done();
    return SOutcome::Fail(QLibLastError());
}

std::shared_ptr<CDiagLink> CPhoneSession::Link() const { return m_connection ? QLibLink(Handle()) : nullptr; }

void CPhoneSession::Disconnect() { m_connection.reset(); }

bool CPhoneSession::CheckConnected() {
    if (m_connection && QLIB_IsPhoneConnected(Handle()) != 0) return true;
    m_connection.reset();
    return false;
}

SOutcome CPhoneSession::SendSpcCode(const std::string& code) {
    unsigned char bytes[6] = {0, 0, 0, 0, 0, 0};
    std::memcpy(bytes, code.data(), code.size() < sizeof bytes ? code.size() : sizeof bytes);
    unsigned char accepted = 0;
    // An answer that can't be read says nothing about the code: no "wrong code" then.
    if (!QLIB_DIAG_SPC_F(Handle(), bytes, &accepted)) {
        const std::string text =
            Handle() ? TrText("CPhoneSession", "The SPC code was not taken: the phone's answer to the SPC "
                                               "code could not be read (%1).")
                     : TrText("CPhoneSession", "The SPC code was not sent: %1");
        SOutcome outcome = SOutcome::Fail(FillText(text, {QLibLastError()}));
        outcome.caption = ErrorCaption();
        return outcome;
    }
    if (accepted != 0) return SOutcome::Done();
    SOutcome outcome = SOutcome::Fail(TrText("CPhoneSession", "     WRONG SPC CODE \nPhone will be time out for 10 sec"));
    outcome.caption = ErrorCaption();
    return outcome;
}
