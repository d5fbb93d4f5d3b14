#include "jobs/console_frontend.h"
#include "jobs/job_control.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <thread>

namespace {
// A job of n units with a stop confirmation after each, as the file jobs are built.
SOutcome CountingJob(CJobControl& jobs, int units, int* done) {
    jobs.WaitForDialog();
    jobs.EnableCancel();
    if (jobs.ConfirmStop("Stop?")) return jobs.PostJobStopped();
    jobs.SetRange(units);
    for (int i = 0; i < units; ++i) {
        ++*done;
        if (jobs.ConfirmStop("Stop?")) return jobs.PostJobStopped();
        jobs.SetPosition(i + 1);
    }
    return jobs.PostJobCompleted();
}
}  // namespace

TEST(JobControl, CompletedJobReturnsOneAndReportsCaptionRangeAndPosition) {
    STestJobs t;
    int done = 0;
    EXPECT_TRUE(t.jobs.Run("Loading", [&] { return CountingJob(t.jobs, 5, &done); }).IsCompleted());
    EXPECT_EQ(done, 5);
    EXPECT_EQ(t.frontend.range.load(), 5);
    EXPECT_EQ(t.frontend.position.load(), 5);
    EXPECT_TRUE(t.frontend.lastCompleted.load());
    ASSERT_EQ(t.frontend.captions.size(), 1u);
    EXPECT_EQ(t.frontend.captions[0], "Loading");
    EXPECT_TRUE(t.jobs.IsEnded());
}

TEST(JobControl, StopAnsweredYesEndsTheJobAndTheStarterReturnsZero) {
    STestJobs t;
    t.frontend.answers = {true};
    t.frontend.cancelAtPosition = 2;
    int done = 0;
    EXPECT_FALSE(t.jobs.Run("Loading", [&] { return CountingJob(t.jobs, 10, &done); }).IsCompleted());
    EXPECT_EQ(done, 3);  // the request raised at position 2 is seen after the third unit
    EXPECT_FALSE(t.frontend.lastCompleted.load());
    EXPECT_EQ(t.frontend.Questions().size(), 1u);
}

TEST(JobControl, StopAnsweredNoRunsToTheEndAndALaterCancelAsksAgain) {
    STestJobs t;
    t.frontend.answers = {false, false};
    t.frontend.cancelAtPosition = 2;
    int done = 0;
    std::atomic<bool> secondPressed{false};
    const bool result = t.jobs.Run("Loading", [&] {
        t.jobs.WaitForDialog();
        t.jobs.EnableCancel();
        t.jobs.SetRange(10);
        for (int i = 0; i < 10; ++i) {
            ++done;
            if (i == 6 && !secondPressed) {
                t.jobs.OnCancelButton();  // the user presses Cancel again
                secondPressed = true;
            }
            if (t.jobs.ConfirmStop("Stop?")) return t.jobs.PostJobStopped();
            t.jobs.SetPosition(i + 1);
        }
        return t.jobs.PostJobCompleted();
    }).IsCompleted();
    EXPECT_TRUE(result);
    EXPECT_EQ(done, 10);
    EXPECT_EQ(t.frontend.Questions().size(), 2u);
    EXPECT_FALSE(t.jobs.IsStopRequested());
}

TEST(JobControl, TwoCancelPressesBeforeTheWorkerLooksGiveOneQuestion) {
    STestJobs t;
    t.frontend.answers = {false};
    std::atomic<bool> pressed{false};
    const bool result = t.jobs.Run("Job", [&] {
        t.jobs.EnableCancel();
        t.jobs.OnCancelButton();
        t.jobs.OnCancelButton();
        pressed = true;
        const bool stop = t.jobs.ConfirmStop("Stop?");
        EXPECT_FALSE(stop);
        EXPECT_FALSE(t.jobs.ConfirmStop("Stop?"));
        return t.jobs.PostJobCompleted();
    }).IsCompleted();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(result);
    EXPECT_EQ(t.frontend.Questions().size(), 1u);
}

TEST(JobControl, CancelIsDeadUntilTheWorkerEnablesIt) {
    STestJobs t;
    const bool result = t.jobs.Run("Job", [&] {
        t.jobs.OnCancelButton();  // before EnableCancel: ignored
        EXPECT_FALSE(t.jobs.IsStopRequested());
        EXPECT_FALSE(t.jobs.IsCancelEnabled());
        t.jobs.EnableCancel();
        EXPECT_TRUE(t.jobs.IsCancelEnabled());
        return t.jobs.PostJobCompleted();
    }).IsCompleted();
    EXPECT_TRUE(result);
    EXPECT_EQ(t.frontend.cancelEnabledCount.load(), 1);
    EXPECT_FALSE(t.jobs.IsCancelEnabled());  // nothing left to cancel after the end
}

TEST(JobControl, ZeroUnitJobCompletes) {
    STestJobs t;
    int done = 0;
    EXPECT_TRUE(t.jobs.Run("Empty", [&] { return CountingJob(t.jobs, 0, &done); }).IsCompleted());
    EXPECT_EQ(t.frontend.range.load(), 0);
}

TEST(JobControl, FailuresStopsAndForgottenEndsAreToldApart) {
    STestJobs t;
    const SOutcome failed = t.jobs.Run("Fail", [&] { return t.jobs.FailJob("Can't open a file"); });
    EXPECT_TRUE(failed.IsFailed());
    EXPECT_EQ(failed.reason, "Can't open a file");
    // The front end tells the reason; the worker shows nothing.
    EXPECT_TRUE(t.frontend.Messages().empty());

    EXPECT_TRUE(t.jobs.Run("Forgets", [] { return SOutcome::Done(); }).IsStopped());
    const SOutcome thrown = t.jobs.Run("Throws", []() -> SOutcome { throw std::runtime_error("boom"); });
    EXPECT_TRUE(thrown.IsFailed());
    EXPECT_EQ(thrown.reason, "Internal error: boom");

    // A stop that arrives after the work is done does not undo it: the body's outcome stands.
    const SOutcome late = t.jobs.Run("Late", [&] {
        SOutcome done = t.jobs.PostJobCompleted();
        t.jobs.SetStopRequested(true);
        return done;
    });
    EXPECT_TRUE(late.IsCompleted());

    // The next job starts with clean flags.
    EXPECT_TRUE(t.jobs.Run("Fine", [&] { return t.jobs.PostJobCompleted(); }).IsCompleted());
}

TEST(JobControl, AnEndBeforeTheFrontendLooksIsNotLost) {
    // A frontend that only starts looking well after the worker has ended.
    struct SlowFrontend : CTestFrontend {
        void RunModal(CJobControl& control) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            CTestFrontend::RunModal(control);
        }
    } slow;
    CJobControl jobs(slow, slow);
    EXPECT_TRUE(jobs.Run("Quick", [&] { return jobs.PostJobCompleted(); }).IsCompleted());
}

TEST(ConsoleFrontend, MessagesBecomeOneLine) {
    EXPECT_EQ(CConsoleFrontend::OneLine("NV Item ID = 7 \n Is not defined\n So it can't be edit"),
              "NV Item ID = 7 Is not defined So it can't be edit");
    EXPECT_EQ(CConsoleFrontend::OneLine("ERROR NVType\nfoo\nNot defined!\n"), "ERROR NVType foo Not defined!");
    EXPECT_EQ(CConsoleFrontend::OneLine(""), "");
}

TEST(ConsoleFrontend, RunsTheJobOnTheCallersThreadAndTakesCtrlCAsAStop) {
    CConsoleFrontend console;
    CJobControl jobs(console, console);
    const auto previous = std::signal(SIGINT, SIG_IGN);
    std::thread::id ranOn;
    const SOutcome outcome = jobs.Run("Job", [&] {
        ranOn = std::this_thread::get_id();
        std::raise(SIGINT);  // Ctrl+C before Cancel is enabled still counts
        if (jobs.ConfirmStop("Stop?")) return jobs.PostJobStopped();
        return jobs.PostJobCompleted();
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(outcome.IsStopped());
    // After the job, Ctrl+C is handled as before it.
    EXPECT_EQ(std::signal(SIGINT, previous), SIG_IGN);
}
