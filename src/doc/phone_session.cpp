// Connecting to the phone: the port, the connection and its check; the SPC code.
#include "doc/phone_session.h"

#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"
#include "phone/diag_link.h"
#include "phone/port_names.h"
#include "phone/serial_transport.h"

#include <cstring>

CPhoneSession::CPhoneSession(CJobControl& jobs, const CNVItemArray& defs, const std::vector<SItemFileDef>& fileDefs,
                             CNVDefineReader& reader)
    : m_jobs(jobs), m_itemDefs(defs), m_itemFileDefs(fileDefs), m_defReader(reader) {}

CPhoneSession::~CPhoneSession() { Disconnect(); }

SOutcome CPhoneSession::Finish(SOutcome outcome) { return m_jobs.Finish(std::move(outcome)); }

SOutcome CPhoneSession::Connect() {
    // A connection still open would keep the port locked against the new one.
    Disconnect();
    std::string device = m_settings.portName;
    if (device.empty()) {
        if (m_settings.comPort <= 0) return Finish(SOutcome::Fail(TrText("ISerialTransport", "No port chosen.")));
        device = ComPortDevice(m_settings.comPort);
    }
    auto link = std::make_shared<CDiagLink>(CreateSerialTransport());
    if (!link->Open(PortDevicePath(device))) return Finish(SOutcome::Fail(link->LastError()));
    // Before the probe, so a slow phone is given its time from the first request.
    if (m_settings.requestTimeoutMs) link->SetTimeout(std::chrono::milliseconds(m_settings.requestTimeoutMs));
    link->SetWindow(m_settings.readWindow);
    m_link = std::move(link);
    // A phone that does not answer keeps its connection: the caller decides what to do.
    if (!m_link->Probe()) return Finish(SOutcome::Fail(m_link->LastError()));
    return Finish(SOutcome::Done());
}

void CPhoneSession::Disconnect() {
    if (m_link) m_link->Close();  // waits for a call still running on another thread
    m_link.reset();
}

bool CPhoneSession::CheckConnected() {
    if (m_link && m_link->Probe()) return true;
    Disconnect();
    return false;
}

SOutcome CPhoneSession::SendSpcCode(const std::string& code) {
    uint8_t bytes[6] = {0, 0, 0, 0, 0, 0};
    std::memcpy(bytes, code.data(), code.size() < sizeof bytes ? code.size() : sizeof bytes);
    bool accepted = false;
    // An answer that can't be read says nothing about the code: no "wrong code" then.
    if (!m_link || !m_link->SendSpc(bytes, accepted)) {
        const std::string text =
            m_link ? TrText("CPhoneSession", "The SPC code was not taken: the phone's answer to the SPC "
                                             "code could not be read (%1).")
                   : TrText("CPhoneSession", "The SPC code was not sent: %1");
        SOutcome outcome = SOutcome::Fail(
            FillText(text, {m_link ? m_link->LastError() : TrText("QLib", "Not connected to a phone.")}));
        outcome.caption = ErrorCaption();
        return Finish(std::move(outcome));
    }
    if (accepted) return Finish(SOutcome::Done());
    SOutcome outcome = SOutcome::Fail(TrText("CPhoneSession", "     WRONG SPC CODE \nPhone will be time out for 10 sec"));
    outcome.caption = ErrorCaption();
    return Finish(std::move(outcome));
}
