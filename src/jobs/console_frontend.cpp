#include "jobs/console_frontend.h"

#include "jobs/job_control.h"
#include "jobs/text_translation.h"

#include <csignal>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

CConsoleFrontend::CConsoleFrontend() : m_tty(isatty(STDERR_FILENO) == 1) {}

std::string CConsoleFrontend::OneLine(const std::string& text) {
    std::string out;
    bool pendingBlank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank) out += ' ';
        pendingBlank = false;
        out += c;
    }
    return out;
}

void CConsoleFrontend::RunModal(CJobControl& control) {
    {
        std::lock_guard lock(m_mutex);
        m_control = &control;
        m_high = 0;
        m_position = 0;
        m_drawnPercent = -1;
        m_drawnText.clear();
        m_barShown = false;
        m_start = std::chrono::steady_clock::now();
    }
    g_interrupted = 0;
    // std::signal rather than sigaction: Windows consoles deliver Ctrl+C through it too.
    const auto previous = std::signal(SIGINT, OnInterrupt);
    // The end wakes this loop at once; the timeout only paces the bar and the Ctrl+C check.
    std::unique_lock endLock(m_endMutex);
    while (!control.IsEnded()) {
        if (g_interrupted) {
            g_interrupted = 0;
            control.SetStopRequested(true);  // taken whether or not Cancel is enabled yet
        }
        endLock.unlock();
        DrawBar(false);
        endLock.lock();
        m_ended.wait_for(endLock, std::chrono::milliseconds(50), [&] { return control.IsEnded(); });
    }
    endLock.unlock();
    std::signal(SIGINT, previous);
    std::lock_guard lock(m_mutex);
    if (m_barShown) std::fputs("\r\033[K", stderr);
    m_control = nullptr;
}

void CConsoleFrontend::OnJobEnded(bool) {
    // Taking the lock orders the end flag before the waiter's check.
    { std::lock_guard lock(m_endMutex); }
    m_ended.notify_all();
}

void CConsoleFrontend::OnRange(int high) { m_high = high; }

void CConsoleFrontend::OnPosition(int position) { m_position = position; }

void CConsoleFrontend::DrawBar(bool force) {
    if (!m_tty) return;
    std::lock_guard lock(m_mutex);
    if (!m_control) return;
    const int high = m_high.load();
    int percent = high > 0 ? static_cast<int>(100.0 * m_position.load() / high) : 0;
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    const long long elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
    const std::string text = ProgressText(m_position.load(), high, elapsed, m_control->Detail());
    if (!force && percent == m_drawnPercent && text == m_drawnText) return;
    m_drawnPercent = percent;
    m_drawnText = text;
    m_barShown = true;
    const int width = 30;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %3d%%%s%s", OneLine(m_control->Caption()).c_str(), filled,
                 "##############################", width - filled, "", percent, text.empty() ? "" : "  ",
                 text.c_str());
    std::fflush(stderr);
}

std::string CConsoleFrontend::ProgressText(int position, int high, long long elapsedMs, const std::string& detail) {
    if (high <= 1) return detail;
    position = position < 0 ? 0 : (position > high ? high : position);
    std::string text = detail.empty() ? FillText(TrText("CConsoleFrontend", "%1 of %2"),
                                                 {std::to_string(position), std::to_string(high)})
                                      : detail;
    // Too early a guess jumps about; a few seconds in, the pace is steady enough.
    if (position > 0 && position < high && elapsedMs >= 3000) {
        const long long seconds = (elapsedMs * (high - position) / position + 999) / 1000;
        text += seconds >= 60 ? FillText(TrText("CConsoleFrontend", ", about %1 min %2 s left"),
                                         {std::to_string(seconds / 60), std::to_string(seconds % 60)})
                              : FillText(TrText("CConsoleFrontend", ", about %1 s left"), {std::to_string(seconds)});
    }
    return text;
}

void CConsoleFrontend::ShowMessage(const std::string& text, EMessageIcon, const std::string&) {
    std::lock_guard lock(m_mutex);
    if (m_barShown) {
        std::fputs("\r\033[K", stderr);
        m_drawnPercent = -1;
    }
    std::fprintf(stderr, "%s\n", OneLine(text).c_str());
    std::fflush(stderr);
}

bool CConsoleFrontend::AskYesNo(const std::string& text, const std::string& caption) {
    // Only stop confirmations are asked, and only after Ctrl+C: that is the Yes.
    ShowMessage(FillText(TrText("CConsoleFrontend", "%1 Yes"), {text}), EMessageIcon::Warning, caption);
    return true;
}
