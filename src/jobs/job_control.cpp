#include "job_control.h"

#include <exception>
#include <new>
#include <thread>

namespace {
std::atomic<long long> g_startPauseMs{100};
}

CJobControl::CJobControl(IJobFrontend& frontend, IMessageSink& messages)
    : m_frontend(frontend), m_messages(messages) {}

void CJobControl::SetStartPause(std::chrono::milliseconds pause) { g_startPauseMs.store(pause.count()); }

int CJobControl::Run(const std::string& caption, const std::function<void()>& body) {
    // Flags are cleared before the worker starts, so an end that comes before the
    // frontend has shown anything is never lost.
    m_caption = caption;
    m_bStopRequested = false;
    m_bEnded = false;
    m_bCancelEnabled = false;
    m_bRunning = true;

    std::thread worker([this, &body] {
        try {
            body();
        } catch (const std::bad_alloc&) {
            if (!IsEnded()) FailJob("Not enough memory to finish the operation.");
        } catch (const std::exception& e) {
            if (!IsEnded()) FailJob(std::string("Internal error: ") + e.what());
        }
        // A body that returns without ending counts as stopped.
        if (!IsEnded()) {
            SetStopRequested(true);
            PostJobStopped();
        }
    });
    m_frontend.RunModal(*this);
    worker.join();
    m_bRunning = false;
    m_bCancelEnabled = false;
    return IsStopRequested() ? 0 : 1;
}

void CJobControl::OnCancelButton() {
    if (m_bCancelEnabled.load() && !m_bEnded.load()) m_bStopRequested = true;
}

void CJobControl::WaitForDialog() const {
    std::this_thread::sleep_for(std::chrono::milliseconds(g_startPauseMs.load()));
}

void CJobControl::EnableCancel() {
    m_bCancelEnabled = true;
    m_frontend.OnCancelEnabled();
}

void CJobControl::SetRange(int high) { m_frontend.OnRange(high); }

void CJobControl::SetPosition(int position) { m_frontend.OnPosition(position); }

int CJobControl::PostJobCompleted() {
    m_bEnded = true;
    m_frontend.OnJobEnded(true);
    return 0;
}

int CJobControl::PostJobStopped() {
    m_bEnded = true;
    m_frontend.OnJobEnded(false);
    return 0;
}

bool CJobControl::ConfirmStop(const std::string& question) {
    if (!IsStopRequested()) return false;
    if (m_messages.AskYesNo(question)) return true;
    SetStopRequested(false);
    return false;
}

int CJobControl::FailJob(const std::string& message, EMessageIcon icon) {
    if (!message.empty()) m_messages.ShowMessage(message, icon);
    SetStopRequested(true);
    return PostJobStopped();
}

void CJobControl::ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption) {
    m_messages.ShowMessage(text, icon, caption);
}
