#pragma once
#include "jobs/job_frontend.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The one progress dialog of the program: caption, bar and "Cancel". The worker reports
// through the IJobFrontend calls (any thread); the dialog shows them and closes itself when
// the job ends. Escape and the window's close request act as Cancel (when the job allows it);
// Enter does nothing, so a key meant for the window never stops a job.
class CProgressDialog : public QDialog, public IJobFrontend {
    Q_OBJECT
public:
    explicit CProgressDialog(QWidget* parent = nullptr);
    ~CProgressDialog() override;

    // Window the dialog is centred over when it opens.
    void SetOwnerWindow(QWidget* owner) { m_owner = owner; }

    // IJobFrontend
    void RunModal(CJobControl& control) override;
    void OnRange(int high) override;
    void OnPosition(int position) override;
    void OnCancelEnabled() override;
    void OnJobEnded(bool completed) override;

    // For tests: the widgets as the user sees them.
    QLabel* CaptionLabel() const { return m_caption; }
    QProgressBar* ProgressBar() const { return m_progressBar; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    bool IsJobRunning() const { return m_control != nullptr; }
    QLabel* CountLabel() const { return m_count; }

    // "62 of 331" (or the job's detail, "62 of 300 records, 2 of 31 files"), and once the job
    // has run a while, the time left at the pace so far.
    static QString ProgressText(int position, int high, qint64 elapsedMs, const QString& detail = {});

public slots:
    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void OnCancelButton();
    void Refresh();

private:
    QProgressBar* m_progressBar;
    QLabel* m_caption;
    QLabel* m_count;
    QElapsedTimer m_sinceStart;
    QPushButton* m_cancelButton;
    QTimer* m_refreshTimer;
    QWidget* m_owner = nullptr;
    CJobControl* m_control = nullptr;
    // Written by the worker, shown by the refresh on the user-interface thread.
    std::atomic<int> m_high{0};
    std::atomic<int> m_position{0};
};
