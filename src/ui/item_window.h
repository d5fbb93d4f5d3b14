#pragma once
#include <QLineEdit>

// The one-line editor the content view opens over a value cell. Enter or the loss of the
// focus ends the edit, Escape cancels it, Tab moves it to the other value cell.
class CItemWindow : public QLineEdit {
    Q_OBJECT
public:
    explicit CItemWindow(QWidget* parent);

    // Marks the text as refused: selected, tinted, with the hint as tooltip.
    void ShowRefusal(const QString& hint);

signals:
    void EditEnded();
    void FocusLost();
    void EditCancelled();
    // Tab or Shift+Tab: the content view moves the edit to the row's other value cell.
    void TabPressed();

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
