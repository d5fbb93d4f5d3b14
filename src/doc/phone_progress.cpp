#include "doc/phone_progress.h"

#include "jobs/job_control.h"
#include "jobs/text_translation.h"

#include <string>

CPhoneProgress::CPhoneProgress(CJobControl& jobs, int records, int files)
    : m_jobs(jobs), m_records(records), m_files(files) {
    m_jobs.SetRange(records + files);
    Show(true);
}

void CPhoneProgress::RecordDone() {
    ++m_recordsDone;
    Show(m_recordsDone == m_records);
}

void CPhoneProgress::FileDone() {
    ++m_filesDone;
    Show(true);
}

void CPhoneProgress::SetFiles(int files) {
    m_files = files;
    m_jobs.SetRange(m_records + m_files);
    Show(true);
}

void CPhoneProgress::Show(bool now) {
    const int done = m_recordsDone + m_filesDone;
    m_jobs.SetPosition(done);
    // The text costs an allocation: a few times a second is all anyone reads.
    if (!now && done % 32 != 0) return;
    std::string text = FillText(TrText("CPhoneProgress", "%1 of %2 records"),
                                {std::to_string(m_recordsDone), std::to_string(m_records)});
    if (m_files > 0)
        text += FillText(TrText("CPhoneProgress", ", %1 of %2 files"),
                         {std::to_string(m_filesDone), std::to_string(m_files)});
    m_jobs.SetDetail(std::move(text));
}
