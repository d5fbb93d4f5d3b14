#include "ui/overwrite_dialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
struct SAnswerButton {
    int answer;
    const char* text;
};
const SAnswerButton kAnswerButtons[] = {{IOverwritePrompt::kOverwrite, QT_TRANSLATE_NOOP("COverwriteDialog", "Overwrite")},
                                        {IOverwritePrompt::kOverwriteAll, QT_TRANSLATE_NOOP("COverwriteDialog", "Overwrite all")},
                                        {IOverwritePrompt::kSkip, QT_TRANSLATE_NOOP("COverwriteDialog", "Skip")},
                                        {IOverwritePrompt::kSkipAll, QT_TRANSLATE_NOOP("COverwriteDialog", "Skip all")},
                                        {IOverwritePrompt::kCancel, QT_TRANSLATE_NOOP("COverwriteDialog", "Cancel")}};
}  // namespace

COverwriteDialog::COverwriteDialog(QWidget* parent) : QDialog(parent) {
    static_assert(std::size(kAnswerButtons) == kButtonCount);
    setWindowTitle(tr("Overwrite"));
    m_messageLabel = new QLabel(tr("Static"), this);
    m_messageLabel->setObjectName("OverwriteMessage");
    m_messageLabel->setAlignment(Qt::AlignCenter);
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setMinimumSize(440, 120);

    auto* row = new QHBoxLayout;
    for (int i = 0; i < kButtonCount; ++i) {
        const SAnswerButton& request = kAnswerButtons[i];
        m_buttons[i] = new QPushButton(tr(request.text), this);
        m_buttons[i]->setMinimumWidth(90);
        m_buttons[i]->setAutoDefault(false);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, answer = request.answer] { Answer(answer); });
        // Cancel stands apart: it ends the whole merge, not this one record.
        if (request.answer == IOverwritePrompt::kCancel) row->addSpacing(16);
        row->addWidget(m_buttons[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_messageLabel, 1);
    layout->addLayout(row);
}

QPushButton* COverwriteDialog::Button(int answer) const {
    for (int i = 0; i < kButtonCount; ++i)
        if (kAnswerButtons[i].answer == answer) return m_buttons[i];
    return nullptr;
}

void COverwriteDialog::keyPressEvent(QKeyEvent* event) {
    // Enter, with no default button, would otherwise end the dialog as accepted.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void COverwriteDialog::Answer(int answer) {
    m_result = answer;
    accept();
}

int COverwriteDialog::Ask(const std::string& message) {
    m_messageLabel->setText(QString::fromStdString(message));
    m_result = kSkip;  // what a prompt closed without a button answers
    exec();
    return m_result;
}
