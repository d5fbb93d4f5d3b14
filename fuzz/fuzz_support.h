#pragma once
// Shared by the fuzz targets: input as lines, a silent job control, and a check that stops
// the run like a sanitizer does when an invariant of a reader breaks.
#include "jobs/job_control.h"
#include "jobs/job_frontend.h"
#include "jobs/message_sink.h"
#include "jobs/quiet_frontend.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                           \
    do {                                                                           \
        if (!(cond)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                          \
        }                                                                          \
    } while (0)

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Calls f for each line, without its LF and a CR before it, as CTextLineReader gives them.
template <class F> void ForEachLine(std::string_view text, F f) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        f(line);
    }
}

// Jobs are not run by the targets; the catalogue only needs somewhere to send messages.
struct SSilentJobs {
    CQuietFrontend frontend;
    CJobControl jobs{frontend, frontend};
};
