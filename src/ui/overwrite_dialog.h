#pragma once
#include "doc/overwrite_prompt.h"

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

// "Overwrite": asked once per record of a merge that exists on both sides. Each button
// stores its answer and ends the dialog; closing it otherwise (Escape, Enter, the close
// button) answers Skip, so no key and no stray click overwrites a record by itself.
class COverwriteDialog : public QDialog, public IOverwritePrompt {
    Q_OBJECT
public:
    explicit COverwriteDialog(QWidget* parent = nullptr);

    // IOverwritePrompt: shows message modally and returns the answer.
    int Ask(const std::string& message) override;

    int Result() const { return m_result; }
    QLabel* MessageLabel() const { return m_messageLabel; }
    // The button of an answer code.
    QPushButton* Button(int answer) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Answer(int answer);

    static constexpr int kButtonCount = 5;
    int m_result = kSkip;
    QLabel* m_messageLabel;
    QPushButton* m_buttons[kButtonCount];
};
