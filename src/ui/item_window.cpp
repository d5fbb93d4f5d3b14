#include "item_window.h"

#include <QFocusEvent>
#include <QKeyEvent>

CItemWindow::CItemWindow(QWidget* parent) : QLineEdit(parent) {
    setObjectName("CItemWindow");
    setFrame(true);
    // Its own context menu would take the focus and end the edit.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CItemWindow::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit EditEnded();
}

void CItemWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit EditEnded();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
