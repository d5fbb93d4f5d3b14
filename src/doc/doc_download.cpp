// Download: writing the active records of a list into the phone.
#include "tessiva_doc.h"

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

int CTessivaDoc::DownloadAllActive() {
    StartDownload(m_items);
    return 1;
}

int CTessivaDoc::DownloadSelectedActive() {
    CNVItemArray selected;
    CollectSelectedItems(selected);
    StartDownload(selected);
    return 1;
}

int CTessivaDoc::StartDownload(CNVItemArray& list) {
    m_jobItems = &list;
    const int result = m_jobs.Run("Download NV Items to Mobile Phone", [this] { DownloadItems(); });
    m_jobItems = nullptr;
    return result;
}

int CTessivaDoc::DownloadItems() {
    m_jobs.WaitForDialog();
    CNVItemArray work;
    if (m_jobItems) work.Copy(*m_jobItems);
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(kStopDownloadQuestion)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(work.GetSize());
    int failed = 0;
    for (int i = 0; i < work.GetSize(); ++i) {
        const CNVItem& record = work[i];
        if (record.Size() > 0 && record.Active() == CNVItem::kActive) {
            const auto id = static_cast<unsigned short>(record.Id());
            uint16_t status = 0;
            bool ok = false;
            if (record.Count() == 0) {
                ok = QLIB_DIAG_NV_WRITE_F(m_phone, id, record.Value().data(), record.Size(), &status) != 0;
            } else if (record.Index() >= 0 && record.Index() <= 255) {
                // A larger index does not fit its byte and would overwrite another element.
                ok = QLIB_DIAG_NV_WRITE_ARRAY_F(m_phone, id, static_cast<unsigned char>(record.Index()),
                                                record.Value().data(), record.Size(), &status) != 0;
            }
            if (ok && status == kNvReadOnly)
                m_jobs.ShowMessage(WriteProtectedMessage(record), EMessageIcon::Error);
            else if (!ok || status != kNvDone)
                ++failed;
        }
        if (m_jobs.ConfirmStop(kStopDownloadQuestion)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(i + 1);
    }
    // Failed writes are told once at the end: a download that wrote nothing must not look
    // like one that wrote everything.
    if (failed > 0) {
        std::string text = std::to_string(failed) + " record(s) could not be written to Mobile Phone.";
        if (QLIB_HasLinkFailed(m_phone)) {
            text += '\n';
            text += QLibLastError();
        }
        m_jobs.ShowMessage(text, EMessageIcon::Warning);
    }
    m_jobs.PostJobCompleted();
    return 1;
}
