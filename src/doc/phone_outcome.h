#pragma once
#include "doc/download_report.h"
#include "jobs/job_outcome.h"

#include <utility>

// How a phone operation that writes or backs up ended, with its report: record by record and
// file by file what it did. The reason of a failure is the outcome's; the report's rows give
// each record's own.
struct SPhoneOutcome : SOutcome {
    SPhoneOutcome() = default;
    SPhoneOutcome(SOutcome outcome, CDownloadReport done) : SOutcome(std::move(outcome)), report(std::move(done)) {}

    CDownloadReport report;
};
