// The progress dialog with real jobs: Cancel, stop questions, early ends, keys that must not
// close it.
#include "jobs/job_control.h"
#include "ui/message_box_sink.h"
#include "ui/progress_dialog.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {
// Calls check every few milliseconds on the user-interface thread while a job runs.
void WhileRunning(CProgressDialog& dialog, std::function<void()> check) {
    auto* timer = new QTimer(&dialog);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &dialog, check] {
        if (dialog.isVisible()) check();
        if (!dialog.IsJobRunning()) timer->deleteLater();
    });
    timer->start(5);
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

class CProgressDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsCaptionAndKeepsCancelDisabledUntilTheWorkerEnablesIt() {
        CTestFrontend sink;
        CProgressDialog dialog;
        CJobControl jobs(dialog, sink, kTestStartPause);
        std::atomic<bool> go{false}, enabled{false};
        bool disabledSeen = false, enabledSeen = false, captionSeen = false, barSeen = false;
        WhileRunning(dialog, [&] {
            captionSeen = captionSeen || dialog.CaptionLabel()->text() == "Storing NV Items in BRT file";
            if (!enabled && !dialog.CancelButton()->isEnabled()) {
                disabledSeen = true;
                go = true;
            }
            if (enabled && dialog.CancelButton()->isEnabled()) enabledSeen = true;
            if (dialog.ProgressBar()->maximum() == 40 && dialog.ProgressBar()->value() == 30) barSeen = true;
        });
        const bool result = jobs.Run("Storing NV Items in BRT file", [&] {
            while (!go) Sleep(1);
            jobs.SetRange(40);
            jobs.SetPosition(30);
            jobs.EnableCancel();
            enabled = true;
            for (int i = 0; i < 400 && !(enabledSeen && barSeen); ++i) Sleep(2);
            return jobs.PostJobCompleted();
        }).IsCompleted();
        QVERIFY(result);
        QVERIFY(captionSeen);
        QVERIFY(disabledSeen);
        QVERIFY(enabledSeen);
        QVERIFY(barSeen);
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.windowFlags() & Qt::CustomizeWindowHint);
        QVERIFY(!(dialog.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)));
    }

    void cancelRaisesAStopQuestionAndNoLetsTheJobGoOn() {
        CTestFrontend sink;
        sink.answers = {false, true};
        CProgressDialog dialog;
        CJobControl jobs(dialog, sink, kTestStartPause);
        WhileRunning(dialog, [&] {
            if (dialog.CancelButton()->isEnabled() && !jobs.IsStopRequested()) dialog.CancelButton()->click();
        });
        const bool result = jobs.Run("Loading NV Items from BRT file", [&] {
            jobs.WaitForDialog();
            jobs.EnableCancel();
            for (int i = 0; i < 2000; ++i) {
                if (jobs.ConfirmStop("Are you sure you want to stop loading NV Items from BRT File?")) {
                    return jobs.PostJobStopped();
                }
                Sleep(1);
            }
            return jobs.PostJobCompleted();
        }).IsCompleted();
        QVERIFY(!result);
        QCOMPARE(sink.Questions().size(), size_t(2));  // No, then Yes to the second Cancel
        QCOMPARE(sink.Questions()[0], std::string("Are you sure you want to stop loading NV Items from BRT File?"));
    }

    void messageBoxesOfAWorkerAreShownByTheUiThreadWhileTheWorkerWaits() {
        CMessageBoxSink sink;
        CProgressDialog dialog;
        CJobControl jobs(dialog, sink, kTestStartPause);
        std::vector<QString> texts;
        bool onUiThread = true;
        WhileRunning(dialog, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box || !box->isVisible()) continue;
                texts.push_back(box->windowTitle() + "|" + box->text());
                onUiThread = onUiThread && box->thread() == QApplication::instance()->thread();
                box->button(box->standardButtons() & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok)->click();
            }
        });
        bool answer = true;
        const bool result = jobs.Run("asking", [&] {
            answer = sink.AskYesNo("Stop?");
            sink.ShowMessage("Done.", EMessageIcon::Information);
            return jobs.PostJobCompleted();
        }).IsCompleted();
        QVERIFY(result);
        QVERIFY(!answer);
        QVERIFY(onUiThread);
        QCOMPARE(texts, (std::vector<QString>{"Tessiva|Stop?", "Tessiva|Done."}));
    }

    void aJobThatEndsBeforeTheDialogIsUpIsNeverLost() {
        CTestFrontend sink;
        CProgressDialog dialog;
        CJobControl jobs(dialog, sink, kTestStartPause);
        for (int i = 0; i < 200; ++i) {
            const bool complete = i % 2 == 0;
            const bool result = jobs.Run("quick", [&] {
                return complete ? jobs.PostJobCompleted() : jobs.FailJob("");
            }).IsCompleted();
            QCOMPARE(result, complete);
            QVERIFY(!dialog.isVisible());
        }
    }

    void escapeAndCloseActAsCancelEnterDoesNothing() {
        CTestFrontend sink;
        QWidget owner;
        owner.show();
        CProgressDialog dialog;
        dialog.SetOwnerWindow(&owner);
        CJobControl jobs(dialog, sink, kTestStartPause);
        for (const bool escape : {true, false}) {
            sink.answers = {true};  // "stop?" Yes
            std::atomic<bool> release{false};
            bool stayedOpen = true, ownedByTheWindow = false;
            WhileRunning(dialog, [&] {
                if (release || !dialog.CancelButton()->isEnabled()) return;
                QTest::keyClick(&dialog, Qt::Key_Return);
                QTest::keyClick(&dialog, Qt::Key_Enter);
                if (jobs.IsStopRequested()) stayedOpen = false;  // Enter stopped it
                if (escape) QTest::keyClick(&dialog, Qt::Key_Escape);
                else dialog.close();
                stayedOpen = stayedOpen && dialog.isVisible();
                ownedByTheWindow = dialog.windowHandle()->transientParent() == owner.windowHandle();
                release = true;
            });
            const SOutcome outcome = jobs.Run("keys", [&] {
                jobs.EnableCancel();
                while (!release) Sleep(1);
                return jobs.ConfirmStop("Stop?") ? jobs.PostJobStopped() : jobs.PostJobCompleted();
            });
            QVERIFY(outcome.IsStopped());
            QVERIFY(stayedOpen);
            QVERIFY(ownedByTheWindow);
        }
    }

    void theNextJobShowsItsOwnCaptionAndAnEmptyBar() {
        CTestFrontend sink;
        CProgressDialog dialog;
        CJobControl jobs(dialog, sink, kTestStartPause);
        (void)jobs.Run("first", [&] {
            jobs.SetRange(10);
            jobs.SetPosition(10);
            return jobs.PostJobCompleted();
        });
        std::vector<QString> captions;
        std::vector<int> values;
        std::atomic<bool> seen{false};
        WhileRunning(dialog, [&] {
            captions.push_back(dialog.CaptionLabel()->text());
            values.push_back(dialog.ProgressBar()->value());
            seen = true;
        });
        (void)jobs.Run("second", [&] {
            while (!seen) Sleep(1);
            return jobs.PostJobCompleted();
        });
        QVERIFY(!captions.empty());
        QCOMPARE(captions.front(), QString("second"));
        QCOMPARE(values.front(), 0);
    }
};
UI_TEST_CLASS(CProgressDialogTest);

#include "progress_dialog_test.moc"
