#pragma once
#include "job_frontend.h"
#include "message_sink.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

// One background job at a time: the starter runs a body on a worker thread while the
// frontend shows progress. Stop requests and the end are shared through atomic flags.
class CJobControl {
public:
    enum : unsigned { kJobCompleted = 0x11223344u, kJobStopped = 0x44332211u };

    CJobControl(IJobFrontend& frontend, IMessageSink& messages);
    CJobControl(const CJobControl&) = delete;
    CJobControl& operator=(const CJobControl&) = delete;

    // Starter: runs body on a worker thread, shows the frontend, waits for the end.
    // Returns 1 when the job completed, 0 when it was stopped or failed.
    int Run(const std::string& caption, const std::function<void()>& body);

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
    int PostJobCompleted();
    int PostJobStopped();
    // Stop check with a confirmation: when a stop is requested, asks question. Yes: true
    // (the caller ends the job). No: clears the request, false.
    bool ConfirmStop(const std::string& question);
    // A failure that ends the job: reports it like a stop so the starter returns 0.
    int FailJob(const std::string& message, EMessageIcon icon = EMessageIcon::Error);
    void ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption = kAppTitle);

    IMessageSink& Messages() { return m_messages; }
    IJobFrontend& Frontend() { return m_frontend; }

    // Length of the start pause (tests and benchmarks shorten it).
    static void SetStartPause(std::chrono::milliseconds pause);

private:
    IJobFrontend& m_frontend;
    IMessageSink& m_messages;
    std::string m_caption;
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bCancelEnabled{false};
    std::atomic<bool> m_bRunning{false};
};
