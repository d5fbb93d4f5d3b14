// Download: writing the active records of a list into the phone.
#include "phone_session.h"

#include "nv_item_array.h"

#include "diag_commands.h"
#include "job_control.h"
#include "qlib.h"

namespace {
const char* const kStopDownloadQuestion = "Are you sure you want to stop downloading NV Items to Mobile Phone?";

std::string WriteProtectedMessage(const CNVItem& record) {
    std::string text = record.Name() + " ID = " + std::to_string(record.Id());
    if (record.Count() > 0) text += " index = " + std::to_string(record.Index());
    return text + " is write protected.\nIt can't be downloaded to Mobile Phone!";
}
}  // namespace

SOutcome CPhoneSession::Download(const CNVItemArray& list) {
    // The link can't address a subscription: its records stay out, and the user is told.
    int skipped = 0;
    for (const CNVItem& r : list) skipped += r.Subscription() != 0 && r.Active() == CNVItem::kActive;
    CNVItemArray plain;
    if (skipped > 0)
        for (const CNVItem& r : list)
            if (r.Subscription() == 0) plain.Add(r);
    SOutcome outcome =
        m_jobs.Run("Download NV Items to Mobile Phone", [&] { return DownloadItems(skipped > 0 ? plain : list); });
    if (skipped > 0)
        m_jobs.Messages().ShowMessage(std::to_string(skipped) + (skipped == 1 ? " record" : " records") +
                                          " of subscriptions 1 and 2 " + (skipped == 1 ? "was" : "were") +
                                          " not sent: the phone link can't address a subscription.",
                                      EMessageIcon::Information);
    return outcome;
}

SOutcome CPhoneSession::DownloadItems(const CNVItemArray& list) {
    m_jobs.WaitForDialog();
    const CNVItemArray& work = list;
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(kStopDownloadQuestion)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(work.GetSize());
    std::vector<SRecordProblem> failed, refused;
    for (int i = 0; i < work.GetSize(); ++i) {
        const CNVItem& record = work[i];
        if (record.Size() > 0 && record.Active() == CNVItem::kActive) {
            const auto id = static_cast<unsigned short>(record.Id());
            uint16_t status = 0;
            bool ok = false;
            if (record.Count() == 0) {
                ok = QLIB_DIAG_NV_WRITE_F(m_link.handle, id, record.Value().data(), record.Size(), &status) != 0;
            } else if (record.Index() >= 0 && record.Index() <= 255) {
                // A larger index does not fit its byte and would overwrite another element.
                ok = QLIB_DIAG_NV_WRITE_ARRAY_F(m_link.handle, id, static_cast<unsigned char>(record.Index()),
                                                record.Value().data(), record.Size(), &status) != 0;
            }
            if (ok && status == kNvReadOnly) {
                m_jobs.ShowMessage(WriteProtectedMessage(record), EMessageIcon::Error);
                refused.push_back({record.Id(), record.Index(), record.Name(), "write protected"});
            } else if (!ok || status != kNvDone) {
                failed.push_back({record.Id(), record.Index(), record.Name(),
                                  ok ? "status " + std::to_string(status) : QLibLastError()});
            }
        }
        if (m_jobs.ConfirmStop(kStopDownloadQuestion)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(i + 1);
    }
    // Failed writes are told once at the end: a download that wrote nothing must not look
    // like one that wrote everything.
    std::string text;
    if (!failed.empty()) {
        text = std::to_string(failed.size()) + " record(s) could not be written to Mobile Phone.";
        if (QLIB_HasLinkFailed(m_link.handle)) {
            text += '\n';
            text += QLibLastError();
        }
        m_jobs.ShowMessage(text, EMessageIcon::Warning);
    }
    SOutcome outcome = m_jobs.PostJobCompleted();
    if (failed.empty() && refused.empty()) return outcome;
    // The job ran to its end, but the phone does not hold what was asked for.
    outcome.state = SOutcome::EState::Failed;
    outcome.reason = !text.empty() ? text
                                    : std::to_string(refused.size()) + " record(s) are write protected.";
    outcome.failed = std::move(failed);
    outcome.refused = std::move(refused);
    return outcome;
}
