#pragma once
// Helpers shared by the benchmark programs.
#include "job_control.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

// Runs jobs without showing anything; questions are answered No.
class CQuietFrontend : public IJobFrontend, public IMessageSink {
public:
    void RunModal(CJobControl& control) override {
        while (!control.IsEnded()) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    void OnRange(int) override {}
    void OnPosition(int) override {}
    void OnCancelEnabled() override {}
    void OnJobEnded(bool) override {}
    void ShowMessage(const std::string&, EMessageIcon, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// A job control on a quiet frontend.
struct SBenchJobs {
    CQuietFrontend frontend;
    CJobControl jobs{frontend, frontend};
};

// A folder of this process for the benchmark's files.
inline std::string BenchDir(const std::string& tag) {
    const auto dir = std::filesystem::temp_directory_path() / ("tessiva-bench-" + tag + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}
