#include "jobs/console_frontend.h"

#include "jobs/job_control.h"
#include "jobs/text_translation.h"

#include <atomic>
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
// The running job, for Ctrl+C: the handler only stores to its lock-free stop flag.
std::atomic<CJobControl*> g_running{nullptr};
static_assert(std::atomic<CJobControl*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
void OnInterrupt(int) {
    if (CJobControl* control = g_running.load()) control->SetStopRequested(true);  // whether or not Cancel is enabled yet
}
// The bar is redrawn at most this often: jobs report every record.
constexpr std::chrono::milliseconds kBarPace{50};
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
    DrawBar(true);
    CJobControl* const outer = g_running.exchange(&control);
    // std::signal rather than sigaction: Windows consoles deliver Ctrl+C through it too.
    const auto previous = std::signal(SIGINT, OnInterrupt);
    control.RunJobHere();
    std::signal(SIGINT, previous);
    g_running = outer;
    std::lock_guard lock(m_mutex);
    if (m_barShown) std::fputs("\r\033[K", stderr);
    m_control = nullptr;
}

void CConsoleFrontend::OnRange(int high) {
    m_high = high;
    DrawBar(false);
}

void CConsoleFrontend::OnPosition(int position) {
    m_position = position;
    DrawBar(false);
}

void CConsoleFrontend::DrawBar(bool force) {
    if (!m_tty) return;
    std::lock_guard lock(m_mutex);
    if (!m_control) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_drawn < kBarPace) return;
    m_drawn = now;
    const int high = m_high.load();
    int percent = high > 0 ? static_cast<int>(100.0 * m_position.load() / high) : 0;
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    const long long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count();
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
