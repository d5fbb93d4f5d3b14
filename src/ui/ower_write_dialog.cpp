#include "ui/ower_write_dialog.h"

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
const SAnswerButton kAnswerButtons[4] = {{IOverwritePrompt::kOverwrite, QT_TRANSLATE_NOOP("COwerWriteDialog", "Overwrite")},
                                         {IOverwritePrompt::kOverwriteAll, QT_TRANSLATE_NOOP("COwerWriteDialog", "Overwrite all")},
                                         {IOverwritePrompt::kSkip, QT_TRANSLATE_NOOP("COwerWriteDialog", "Skip")},
                                         {IOverwritePrompt::kSkipAll, QT_TRANSLATE_NOOP("COwerWriteDialog", "Skip all")}};
}  // namespace

// A caption bar without a close button: the answer comes from one of the four buttons.
COwerWriteDialog::COwerWriteDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(tr("Overwrite"));
    m_messageLabel = new QLabel(tr("Static"), this);
    m_messageLabel->setObjectName("OverwriteMessage");
    m_messageLabel->setAlignment(Qt::AlignCenter);
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setMinimumSize(440, 120);

    auto* row = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        const SAnswerButton& request = kAnswerButtons[i];
        m_buttons[i] = new QPushButton(tr(request.text), this);
        m_buttons[i]->setMinimumWidth(100);
        m_buttons[i]->setAutoDefault(false);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, answer = request.answer] { Answer(answer); });
        row->addWidget(m_buttons[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_messageLabel, 1);
    layout->addLayout(row);
}

QPushButton* COwerWriteDialog::Button(int answer) const {
    for (int i = 0; i < 4; ++i)
        if (kAnswerButtons[i].answer == answer) return m_buttons[i];
    return nullptr;
}

void COwerWriteDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void COwerWriteDialog::Answer(int answer) {
    m_result = answer;
    reject();
}

int COwerWriteDialog::Ask(const std::string& message) {
    m_message = message;
    m_messageLabel->setText(QString::fromStdString(m_message));
    exec();
    return m_result;
}
