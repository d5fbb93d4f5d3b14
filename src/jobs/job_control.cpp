#include "jobs/job_control.h"

#include "jobs/text_translation.h"

#include <exception>
#include <new>
#include <thread>
#include <utility>

CJobControl::CJobControl(IJobFrontend& frontend, IMessageSink& messages, std::chrono::milliseconds startPause)
    : m_frontend(frontend), m_messages(messages), m_startPause(startPause) {}

SOutcome CJobControl::Run(const std::string& caption, const std::function<SOutcome()>& body) {
    // Flags are cleared before the worker starts, so an end that comes before the
    // frontend has shown anything is never lost.
    m_caption = caption;
    SetDetail({});
    m_bStopRequested = false;
    m_bEnded = false;
    m_bCancelEnabled = false;
    m_bRunning = true;

    SOutcome outcome;
    m_job = [this, &body, &outcome] {
        try {
            outcome = body();
        } catch (const std::bad_alloc&) {
            outcome = IsEnded() ? SOutcome::Fail()
                                : FailJob(TrText("CJobControl", "Not enough memory to finish the operation."));
        } catch (const std::exception& e) {
            outcome = IsEnded() ? SOutcome::Fail()
                                : FailJob(FillText(TrText("CJobControl", "Internal error: %1"), {e.what()}));
        }
        if (!IsEnded()) {
            if (outcome.IsFailed()) EndJob(false);
            else outcome = PostJobStopped(outcome.reason);  // returned without ending: stopped
        }
    };
    if (m_frontend.RunsJobsInline()) {
        m_frontend.RunModal(*this);
        RunJobHere();  // a frontend that forgot to: the job still runs, and ends
    } else {
        std::thread worker(std::exchange(m_job, {}));
        m_frontend.RunModal(*this);
        worker.join();
    }
    m_bRunning = false;
    m_bCancelEnabled = false;
    // The dialog learns "stopped" from the stop flag; a failure is shown to it the same way.
    if (!outcome.IsCompleted()) SetStopRequested(true);
    return outcome;
}

void CJobControl::RunJobHere() {
    if (const std::function<void()> job = std::exchange(m_job, {})) job();
}

void CJobControl::SetDetail(std::string detail) {
    const std::lock_guard<std::mutex> lock(m_detailLock);
    m_detail = std::move(detail);
}

std::string CJobControl::Detail() const {
    const std::lock_guard<std::mutex> lock(m_detailLock);
    return m_detail;
}

void CJobControl::Note(std::string text, SNote::EKind kind) {
    const std::lock_guard<std::mutex> lock(m_notesLock);
    m_notes.push_back({kind, std::move(text)});
}

std::vector<SNote> CJobControl::TakeNotes() {
    const std::lock_guard<std::mutex> lock(m_notesLock);
    return std::exchange(m_notes, {});
}

SOutcome CJobControl::Finish(SOutcome outcome) {
    std::vector<SNote> notes = TakeNotes();
    for (SNote& n : outcome.notes) notes.push_back(std::move(n));
    outcome.notes = std::move(notes);
    return outcome;
}

void CJobControl::OnCancelButton() {
    if (m_bCancelEnabled.load() && !m_bEnded.load()) m_bStopRequested = true;
}

void CJobControl::WaitForDialog() const {
    if (m_startPause.count() > 0) std::this_thread::sleep_for(m_startPause);
}

void CJobControl::EnableCancel() {
    m_bCancelEnabled = true;
    m_frontend.OnCancelEnabled();
}

void CJobControl::SetRange(int high) { m_frontend.OnRange(high); }

void CJobControl::SetPosition(int position) { m_frontend.OnPosition(position); }

void CJobControl::EndJob(bool completed) {
    if (!completed) SetStopRequested(true);
    m_bEnded = true;
    m_frontend.OnJobEnded(completed);
}

SOutcome CJobControl::PostJobCompleted() {
    EndJob(true);
    return SOutcome::Done();
}

SOutcome CJobControl::PostJobStopped(std::string reason) {
    EndJob(false);
    return SOutcome::Stop(std::move(reason));
}

bool CJobControl::ConfirmStop(const std::string& question) {
    if (!IsStopRequested()) return false;
    if (m_messages.AskYesNo(question)) return true;
    SetStopRequested(false);
    return false;
}

SOutcome CJobControl::FailJob(const std::string& message) {
    EndJob(false);
    return SOutcome::Fail(message);
}

