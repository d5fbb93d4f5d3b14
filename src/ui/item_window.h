#pragma once
#include <QLineEdit>

// The one-line editor the content view opens over a value cell. Enter or the loss of the
// focus ends the edit.
class CItemWindow : public QLineEdit {
    Q_OBJECT
public:
    explicit CItemWindow(QWidget* parent);

signals:
    void EditEnded();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
