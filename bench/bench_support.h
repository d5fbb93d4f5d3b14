#pragma once
// Helpers shared by the benchmark programs.
#include "jobs/job_control.h"
#include "jobs/quiet_frontend.h"

#include <filesystem>
#include <string>
#include <unistd.h>

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
