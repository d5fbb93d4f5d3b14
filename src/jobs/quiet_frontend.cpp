#include "jobs/quiet_frontend.h"

#include "jobs/job_control.h"

void CQuietFrontend::RunModal(CJobControl& control) {
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [&] { return control.IsEnded(); });
}

void CQuietFrontend::OnJobEnded(bool) {
    // Taking the lock orders the end flag before the waiter's check.
    { std::lock_guard lock(m_mutex); }
    m_ended.notify_all();
}
