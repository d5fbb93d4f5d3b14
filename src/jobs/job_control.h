#pragma once
#include "jobs/job_frontend.h"
#include "jobs/job_outcome.h"
#include "jobs/message_sink.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One background job at a time: the starter runs a body on a worker thread while the
// frontend shows progress. Stop requests and the end are shared through atomic flags.
class CJobControl {
public:
    CJobControl(IJobFrontend& frontend, IMessageSink& messages,
                std::chrono::milliseconds startPause = std::chrono::milliseconds(0));
    CJobControl(const CJobControl&) = delete;
    CJobControl& operator=(const CJobControl&) = delete;

    // Starter: runs body on a worker thread (or, for a frontend that runs jobs inline, on
    // this one), shows the frontend, waits for the end, and returns what the body returned.
    // A body that returns without ending counts as stopped.
    SOutcome Run(const std::string& caption, const std::function<SOutcome()>& body);
    // For a frontend that runs jobs inline, from its RunModal: runs the job now, once.
    void RunJobHere();

    const std::string& Caption() const { return m_caption; }
    bool IsStopRequested() const { return m_bStopRequested.load(); }
    void SetStopRequested(bool value) { m_bStopRequested.store(value); }
    bool IsEnded() const { return m_bEnded.load(); }
    bool IsCancelEnabled() const { return m_bCancelEnabled.load(); }
    bool IsRunning() const { return m_bRunning.load(); }
    // The Cancel button: raises a stop request only while Cancel is enabled.
    void OnCancelButton();

    // Worker side.
    void WaitForDialog() const;  // the short pause before a job's first step
    void EnableCancel();
    void SetRange(int high);
    void SetPosition(int position);
    // What the position counts, for the frontend's line under the bar ("120 of 2000 records,
    // 3 of 200 files"); empty: the position of the range. Cleared when a job starts.
    void SetDetail(std::string detail);
    std::string Detail() const;
    SOutcome PostJobCompleted();
    SOutcome PostJobStopped(std::string reason = {});
    // Stop check with a confirmation: when a stop is requested, asks question. Yes: true
    // (the caller ends the job). No: clears the request, false.
    bool ConfirmStop(const std::string& question);
    // A failure that ends the job as failed, message its reason; the front end tells it.
    SOutcome FailJob(const std::string& message);
    // Something that deserves telling after the operation (a job's or not): the notes wait
    // until the operation's owner takes them into its outcome.
    void Note(std::string text, SNote::EKind kind = SNote::EKind::Warning);
    std::vector<SNote> TakeNotes();
    // The operation's outcome with the notes its steps left before its own, in the order
    // they were made.
    SOutcome Finish(SOutcome outcome);

    IMessageSink& Messages() { return m_messages; }
    IJobFrontend& Frontend() { return m_frontend; }

    // The pause before a job's first step, which lets a progress dialog come up before the
    // job asks anything. Only a window needs it; other runners start at once.
    void SetStartPause(std::chrono::milliseconds pause) { m_startPause = pause; }

private:
    // Sets the end flag (and, for a job that did not complete, the stop flag) and tells the frontend.
    void EndJob(bool completed);

    IJobFrontend& m_frontend;
    std::function<void()> m_job;  // the running job's body until it has run
    std::mutex m_notesLock;
    std::vector<SNote> m_notes;
    IMessageSink& m_messages;
    std::string m_caption;
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bCancelEnabled{false};
    std::atomic<bool> m_bRunning{false};
    std::chrono::milliseconds m_startPause{0};
    mutable std::mutex m_detailLock;
    std::string m_detail;
};
