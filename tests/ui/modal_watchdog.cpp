#include "modal_watchdog.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTest>

CModalWatchdog::CModalWatchdog(std::chrono::milliseconds limit) : m_limit(limit) {
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Check(); });
    m_timer.start(100);
}

bool CModalWatchdog::eventFilter(QObject* watched, QEvent* event) {
    // A dialog shown again (the overwrite prompt, the progress dialog) starts a new count.
    if (watched == m_modal && event->type() == QEvent::Hide) m_modal = nullptr;
    return false;
}

void CModalWatchdog::Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != m_modal) {
        if (m_modal) m_modal->removeEventFilter(this);
        m_modal = modal;
        if (modal) modal->installEventFilter(this);
        m_shownFor.start();
        return;
    }
    if (!modal || m_shownFor.elapsed() < m_limit.count()) return;
    const QString name = QString("%1 \"%2\"").arg(modal->metaObject()->className(), modal->windowTitle());
    QTest::qFail(qPrintable(QString("the modal %1 stayed open for %2 s, closed by the watchdog")
                                .arg(name)
                                .arg(m_shownFor.elapsed() / 1000)),
                 __FILE__, __LINE__);
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
    m_shownFor.start();
}
