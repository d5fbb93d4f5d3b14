#pragma once
#include "jobs/job_frontend.h"
#include "jobs/message_sink.h"

#include <condition_variable>
#include <mutex>

// Runs jobs without showing anything, for benchmarks and other unattended callers: messages
// are dropped, questions answered No, and the starter is woken by the end, not by polling.
class CQuietFrontend : public IJobFrontend, public IMessageSink {
public:
    void RunModal(CJobControl& control) override;
    void OnRange(int) override {}
    void OnPosition(int) override {}
    void OnCancelEnabled() override {}
    void OnJobEnded(bool) override;
    void ShowMessage(const std::string&, EMessageIcon, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
};
