#pragma once
#include <chrono>
#include "jobs/job_control.h"
#include "jobs/job_frontend.h"
#include "jobs/message_sink.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <map>
#include <string>
#include <vector>

// A frontend for tests: records messages and questions, answers questions from a script
// (No when the script is empty), and can press Cancel when the bar reaches a position.
class CTestFrontend : public IJobFrontend, public IMessageSink {
public:
    CTestFrontend();

    void RunModal(CJobControl& control) override;
    void OnRange(int high) override { range = high; }
    void OnPosition(int position) override;
    void OnCancelEnabled() override { ++cancelEnabledCount; }
    void OnJobEnded(bool completed) override { lastCompleted = completed; }

    void ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

    std::vector<std::string> Messages() const;
    std::vector<std::string> Questions() const;
    void ClearRecords();

    // Scripted answers, consumed in order.
    std::deque<bool> answers;
    // Press Cancel (raise a stop request) once the position reaches this value; -1: never.
    std::atomic<int> cancelAtPosition{-1};
    // Press Cancel as soon as the job starts.
    bool cancelAtStart = false;

    std::atomic<int> range{0};
    std::atomic<int> position{0};
    std::atomic<int> cancelEnabledCount{0};
    std::atomic<bool> lastCompleted{false};
    std::vector<std::string> captions;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_questions;
    CJobControl* m_control = nullptr;
};

// A job control wired to a test frontend, with the start pause shortened.
// Jobs in tests start after a short pause, as in the window, so a Cancel pressed at the
// start is seen by the job's first stop check.
inline constexpr std::chrono::milliseconds kTestStartPause{1};

struct STestJobs {
    CTestFrontend frontend;
    CJobControl jobs{frontend, frontend, kTestStartPause};
};

// A fresh empty directory for one test.
std::string MakeTempDir(const std::string& tag);
// Files a test writes itself (damaged ones, another program's) are left out of the check of
// the compound files our writer made, which runs after each test (compound_check_listener).
void WriteFile(const std::string& path, const std::string& bytes);
void MarkWrittenByTest(const std::string& path);
bool HoldsWhatTheTestWrote(const std::string& path);
// The folders MakeTempDir made, in order.
std::vector<std::string> TempDirs();
std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string SourceDir();
std::string BinDir();
// Runs a shell command; returns its exit status, with stdout and stderr captured.
int RunCommand(const std::string& command, std::string* out = nullptr, std::string* err = nullptr);
// Every stream of a compound file as python3-olefile reads it: path -> hex. A reader other
// than libgsf, so a fault shared by our reader and writer can't hide. Empty when it can't.
std::map<std::string, std::string> OleStreams(const std::string& path);
