#include "ui/progress_dialog.h"

#include "jobs/job_control.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <thread>

CProgressDialog::CProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(tr("Progress"));
    setModal(true);

    m_caption = new QLabel(tr("Static"), this);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setWordWrap(true);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_count = new QLabel(this);
    m_count->setObjectName("ProgressCount");
    m_count->setAlignment(Qt::AlignCenter);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->setDefault(false);
    m_cancelButton->setEnabled(false);
    m_cancelButton->setMinimumWidth(240);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 10);
    layout->addWidget(m_caption);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_count);
    layout->addWidget(m_cancelButton, 0, Qt::AlignHCenter);
    setFixedSize(560, 140);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(40);
    connect(m_refreshTimer, &QTimer::timeout, this, &CProgressDialog::Refresh);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgressDialog::OnCancelButton);
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::RunModal(CJobControl& control) {
    m_control = &control;
    m_caption->setText(QString::fromStdString(control.Caption()));
    m_cancelButton->setEnabled(false);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_count->clear();
    m_sinceStart.start();
    if (m_owner) {
        move(m_owner->geometry().center() - rect().center());
        // A dialog of its owner, not a window of its own: window managers give it no
        // maximise button and keep it above the window.
        create();
        if (QWindow* owner = m_owner->windowHandle()) windowHandle()->setTransientParent(owner);
    }

    // A job may end before the dialog is up: the end flag is checked before and after the
    // modal loop, and the refresh closes the dialog as soon as it sees the flag.
    if (!control.IsEnded()) {
        Refresh();
        m_refreshTimer->start();
        exec();
        m_refreshTimer->stop();
    }
    while (!control.IsEnded()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

    m_control = nullptr;
    m_high = 0;
    m_position = 0;
}

void CProgressDialog::OnRange(int high) {
    m_position = 0;
    m_high = high;
}

QString CProgressDialog::ProgressText(int position, int high, qint64 elapsedMs, const QString& detail) {
    if (high <= 1) return detail;
    position = std::clamp(position, 0, high);
    QString text = detail.isEmpty() ? tr("%1 of %2").arg(position).arg(high) : detail;
    // Too early a guess jumps about; a few seconds in, the pace is steady enough.
    if (position > 0 && position < high && elapsedMs >= 3000) {
        const qint64 seconds = (elapsedMs * (high - position) / position + 999) / 1000;
        text += seconds >= 60 ? tr(", about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'))
                              : tr(", about %1 s left").arg(seconds);
    }
    return text;
}

void CProgressDialog::OnPosition(int position) { m_position = position; }

void CProgressDialog::OnCancelEnabled() { QMetaObject::invokeMethod(this, &CProgressDialog::Refresh, Qt::QueuedConnection); }

void CProgressDialog::OnJobEnded(bool) {
    QMetaObject::invokeMethod(this, &CProgressDialog::Refresh, Qt::QueuedConnection);
}

void CProgressDialog::Refresh() {
    if (!m_control) return;
    const int high = m_high.load();
    m_progressBar->setRange(0, high > 0 ? high : 1);
    m_progressBar->setValue(std::clamp(m_position.load(), 0, high > 0 ? high : 1));
    m_count->setText(
        ProgressText(m_position.load(), high, m_sinceStart.elapsed(), QString::fromStdString(m_control->Detail())));
    if (m_control->IsCancelEnabled() && !m_cancelButton->isEnabled()) m_cancelButton->setEnabled(true);
    // A late end message of an earlier job finds the flag of the running one cleared.
    if (m_control->IsEnded() && isVisible()) QDialog::done(m_control->IsStopRequested() ? Rejected : Accepted);
}

void CProgressDialog::OnCancelButton() {
    if (m_control) m_control->OnCancelButton();
}

void CProgressDialog::accept() {
    if (!m_control || m_control->IsEnded()) QDialog::accept();
}

void CProgressDialog::reject() {
    if (!m_control || m_control->IsEnded()) QDialog::reject();
}

void CProgressDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    // As the Cancel button: the job asks whether to stop, and the dialog goes when it ends.
    case Qt::Key_Escape: event->accept(); OnCancelButton(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
    if (m_control && !m_control->IsEnded()) {
        event->ignore();
        OnCancelButton();
    } else {
        QDialog::closeEvent(event);
    }
}
