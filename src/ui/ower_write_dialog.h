#pragma once
#include "doc/overwrite_prompt.h"

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

// "Overwrite": asked once per record of a merge that exists on both sides. Each button
// stores its answer and ends the dialog; closing it otherwise (Escape or Enter) keeps the last
// answer, so a key meant for the next prompt never overwrites a record by itself.
// One object serves a whole merge, so the last answer carries over between showings.
class COwerWriteDialog : public QDialog, public IOverwritePrompt {
    Q_OBJECT
public:
    explicit COwerWriteDialog(QWidget* parent = nullptr);

    // IOverwritePrompt: shows message modally and returns m_result.
    int Ask(const std::string& message) override;

    int Result() const { return m_result; }
    QLabel* MessageLabel() const { return m_messageLabel; }
    // The button of an answer code.
    QPushButton* Button(int answer) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Answer(int answer);

    std::string m_message;
    int m_result = kOverwrite;
    QLabel* m_messageLabel;
    QPushButton* m_buttons[4];
};
