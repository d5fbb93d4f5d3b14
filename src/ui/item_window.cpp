#include "ui/item_window.h"

#include "ui/readable_colours.h"

#include <QApplication>
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
    // A red tint of the field's own colour: light pink on a light palette, dark red on a
    // dark one, so the palette's text colour stays readable on it.
    // The application's palette: the widget's own already carries an earlier tint.
    const QPalette colours = QApplication::palette(this);
    const QColor base = colours.color(QPalette::Active, QPalette::Base);
    const QColor red(220, 40, 40);
    const auto mix = [](int a, int b) { return (a * 3 + b) / 4; };
    const QColor text = colours.color(QPalette::Active, QPalette::Text);
    const QColor tint = ReadableBackground(
        QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue())), text);
    setStyleSheet(QString("QLineEdit { background: %1; color: %2; }").arg(tint.name(), text.name()));
    setToolTip(hint);
    selectAll();
    if (isVisible()) QToolTip::showText(mapToGlobal(QPoint(0, height())), hint, this);
}
