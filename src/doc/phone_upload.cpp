// Upload: reading the items of a list from the phone into a fresh database.
#include "doc/phone_session.h"

#include "doc/doc_files.h"
#include "phone/diag_commands.h"
#include "jobs/job_control.h"
#include "model/nv_define_reader.h"
#include "phone/qlib.h"
#include "jobs/text_translation.h"

#include <cstdio>
#include <vector>

namespace {
// Element indexes travel as one byte.
constexpr int kMaxElements = 256;

// Applies the phone's answer to a record built from the list (value: size zero bytes,
// active 0). Statuses that say nothing about the value leave the record as it is.
void ApplyReadResult(CNVItem& record, bool ok, uint16_t status, const std::vector<uint8_t>& buffer) {
    const int size = record.Size();
    if (ok && status == kNvDone) {
        record.SetValue(buffer.data(), size);
        record.SetActive(CNVItem::kActive);
    } else if (ok && status == kNvNotActive) {
        record.Resize(0);
        record.Resize(size);
        record.SetActive(CNVItem::kNotActive);
    } else if (!ok || status == kNvFailed || status == kNvBadParameter || status > kNvNotAllocated) {
        record.Resize(0);
        record.SetActive(CNVItem::kUnreadable);
    }
}
}  // namespace

SOutcome CPhoneSession::Upload(const std::string& listPath, CNVItemArray& read) {
    read.RemoveAll();
    CNVItemArray built;
    if (SOutcome listed = m_defReader.StartBuildItemsFromList(listPath, m_itemDefs, built); !listed.IsCompleted())
        return listed;
    CNVItemArray result;
    SOutcome outcome = m_jobs.Run(TrText("CPhoneSession", "Uploading NV Items from Mobile Phone"),
                                  [&] { return UploadItems(built, result); });
    // A phone that fell silent still leaves the records it answered, the rest marked X.
    if (!outcome.IsStopped()) read = std::move(result);
    return outcome;
}

SOutcome CPhoneSession::UploadItems(const CNVItemArray& list, CNVItemArray& result) {
    const std::string question =
        TrText("CPhoneSession", "Are you sure you want to stop uploading NV Items from Mobile Phone?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();

    // Array records become one record per element where they stand; the result is built
    // beside the list rather than by inserting into it, which would be quadratic.
    int total = 0;
    for (const auto& record : list) total += record.Count() > 0 ? record.Count() : 1;
    m_jobs.SetRange(total);
    result.RemoveAll();
    CNVItemArray read;
    read.Reserve(total);
    std::vector<uint8_t> buffer;
    bool linkLost = false;
    for (const auto& listed : list) {
        const int size = listed.Size() < 0 ? 0 : listed.Size();
        buffer.assign(static_cast<size_t>(size) + 1, 0);
        const auto id = static_cast<unsigned short>(listed.Id());
        if (listed.Count() <= 0) {
            CNVItem record = listed;
            uint16_t status = 0;
            const bool ok = QLIB_DIAG_NV_READ_F(Handle(), id, buffer.data(), size, &status) != 0;
            ApplyReadResult(record, ok, status, buffer);
            read.Add(std::move(record));
        } else {
            for (int k = 0; k < listed.Count(); ++k) {
                CNVItem element = listed;
                element.SetIndex(k);
                element.SetName(ElementName(listed.Name(), k));
                uint16_t status = 0;
                // An index past one byte can't be asked for: it would read another element.
                const bool ok = k < kMaxElements &&
                                QLIB_DIAG_NV_READ_ARRAY_F(Handle(), id, static_cast<unsigned char>(k), buffer.data(),
                                                          size, &status) != 0;
                ApplyReadResult(element, ok, status, buffer);
                read.Add(std::move(element));
                if (k + 1 < listed.Count()) {
                    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
                    m_jobs.SetPosition(read.GetSize());
                }
            }
        }
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(read.GetSize());
        // Only a read without an answer can mean the link went; asking after every item costs time.
        if (!linkLost && read.GetSize() > 0 && read[read.GetSize() - 1].Active() == CNVItem::kUnreadable &&
            QLIB_HasLinkFailed(Handle()))
            linkLost = true;
    }
    result = std::move(read);
    if (!linkLost) return m_jobs.PostJobCompleted();
    const std::string message =
        FillText(TrText("CPhoneSession",
                        "The phone stopped answering during the upload: %1"),
                 {QLibLastError()});
    SOutcome outcome = m_jobs.PostJobCompleted();
    outcome.state = SOutcome::EState::Failed;
    outcome.reason = message;
    const std::string noReply = TrText("CPhoneSession", "no reply");
    for (const CNVItem& r : result)
        if (r.Active() == CNVItem::kUnreadable) outcome.failed.push_back({r.Id(), r.Index(), r.Name(), noReply});
    return outcome;
}
