#include "item_window.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QToolTip>

CItemWindow::CItemWindow(QWidget* parent) : QLineEdit(parent) {
    setObjectName("CItemWindow");
    setFrame(true);
    // Its own context menu would take the focus and end the edit.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CItemWindow::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit FocusLost();
}

bool CItemWindow::event(QEvent* event) {
    // Tab would move the focus out of the list, which ends the edit without a next cell.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            emit TabPressed();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CItemWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit EditEnded();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        emit EditCancelled();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CItemWindow::ShowRefusal(const QString& hint) {
    setStyleSheet("QLineEdit { background: #ffd8d8; }");
    setToolTip(hint);
    selectAll();
    if (isVisible()) QToolTip::showText(mapToGlobal(QPoint(0, height())), hint, this);
}
