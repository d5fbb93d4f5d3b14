// Upload: reading the items of a list from the phone into a fresh database.
#include "doc/phone_session.h"

#include "doc/doc_files.h"
#include "phone/diag_commands.h"
#include "jobs/job_control.h"
#include "model/nv_define_reader.h"
#include "phone/diag_link.h"
#include "phone/nv_reader.h"
#include "jobs/text_translation.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {
// Element indexes travel as one byte.
constexpr int kMaxElements = 256;

// Applies the phone's answer to a record built from the list (value: size zero bytes,
// active 0). Statuses that say nothing about the value leave the record as it is.
void ApplyReadResult(CNVItem& record, bool ok, uint16_t status, const uint8_t* value) {
    const int size = record.Size();
    if (ok && status == kNvDone) {
        record.SetValue(value, size);
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
    const std::shared_ptr<CDiagLink> link = Link();
    if (!link) return m_jobs.FailJob(TrText("CPhoneSession", "Not connected to a phone."));

    // Array records become one record per element where they stand; the result is built
    // beside the list rather than by inserting into it, which would be quadratic. Records the
    // link can't ask for (an index past one byte, a value past one request) are unreadable.
    int total = 0;
    for (const auto& record : list) total += record.Count() > 0 ? record.Count() : 1;
    m_jobs.SetRange(total);
    result.RemoveAll();
    CNVItemArray read;
    read.Reserve(total);
    std::vector<SNvRead> reads;
    std::vector<int> target;  // the record of each read
    reads.reserve(static_cast<size_t>(total));
    target.reserve(static_cast<size_t>(total));
    const auto ask = [&](const CNVItem& record, int index) {
        const int size = record.Size() < 0 ? 0 : record.Size();
        if (index < kMaxElements && size <= NvValueCapacity(index >= 0)) {
            reads.push_back({static_cast<uint16_t>(record.Id()), index, -1});
            target.push_back(read.GetSize() - 1);
        } else {
            ApplyReadResult(read[read.GetSize() - 1], false, 0, nullptr);
        }
    };
    for (const auto& listed : list) {
        if (listed.Count() <= 0) {
            read.Add(listed);
            ask(listed, -1);
            continue;
        }
        for (int k = 0; k < listed.Count(); ++k) {
            CNVItem element = listed;
            element.SetIndex(k);
            element.SetName(ElementName(listed.Name(), k));
            read.Add(std::move(element));
            ask(listed, k);
        }
    }
    CNvReader reader(*link);
    const bool whole = reader.Read(reads, [&](size_t i, const SNvReadResult& answer) {
        CNVItem& record = read[target[i]];
        ApplyReadResult(record, answer.ok, answer.status, answer.data.data() + (record.Index() >= 0 ? 1 : 0));
        m_jobs.SetPosition(target[i] + 1);
        return !m_jobs.ConfirmStop(question);
    });
    if (!whole) return m_jobs.PostJobStopped();
    m_jobs.SetPosition(total);
    if (reader.FellBack()) m_jobs.Note(CNvReader::OneAtATimeText(), SNote::EKind::Information);
    result = std::move(read);
    if (!link->HasFailed()) return m_jobs.PostJobCompleted();
    const std::string message =
        FillText(TrText("CPhoneSession",
                        "The phone stopped answering during the upload: %1"),
                 {link->LastError()});
    SOutcome outcome = m_jobs.PostJobCompleted();
    outcome.state = SOutcome::EState::Failed;
    outcome.reason = message;
    const std::string noReply = TrText("CPhoneSession", "no reply");
    for (const CNVItem& r : result)
        if (r.Active() == CNVItem::kUnreadable) outcome.failed.push_back({r.Id(), r.Index(), r.Name(), noReply});
    return outcome;
}
