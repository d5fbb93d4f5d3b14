#pragma once
#include "jobs/job_frontend.h"
#include "jobs/message_sink.h"

#include <atomic>
#include <chrono>
#include <mutex>

// Jobs and messages on a terminal: jobs run on the caller's thread, with a progress bar on
// stderr when stderr is a terminal; messages on stderr one per line; Ctrl+C as a stop
// request that counts as a confirmed Yes.
class CConsoleFrontend : public IJobFrontend, public IMessageSink {
public:
    CConsoleFrontend();

    bool RunsJobsInline() const override { return true; }
    void RunModal(CJobControl& control) override;
    void OnRange(int high) override;
    void OnPosition(int position) override;
    void OnCancelEnabled() override {}
    void OnJobEnded(bool) override {}

    void ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

    // The job's detail (or "position of high") and, a few seconds in, the time left at the
    // pace so far: "120 of 2000 records, about 40 s left".
    static std::string ProgressText(int position, int high, long long elapsedMs, const std::string& detail);
    // One line of a message box text: line breaks become single blanks.
    static std::string OneLine(const std::string& text);

private:
    void DrawBar(bool force);

    std::mutex m_mutex;
    bool m_tty;
    std::atomic<int> m_high{0};
    std::atomic<int> m_position{0};
    const CJobControl* m_control = nullptr;
    int m_drawnPercent = -1;
    std::string m_drawnText;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;  // when the bar was last drawn
    bool m_barShown = false;
};
