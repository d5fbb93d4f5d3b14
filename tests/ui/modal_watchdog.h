#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>

// Fails the running test when a modal widget stays open past the limit, naming it, and
// closes it: a dialog nobody answers costs seconds instead of the program's timeout.
class CModalWatchdog : public QObject {
public:
    explicit CModalWatchdog(std::chrono::milliseconds limit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Check();

    std::chrono::milliseconds m_limit;
    QTimer m_timer;
    QPointer<QWidget> m_modal;
    QElapsedTimer m_shownFor;
};
