#include "ui/spc_code_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSPCCodeDialog::CSPCCodeDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("SPC"));
    auto* label = new QLabel(tr("SPC Code"), this);
    label->setAlignment(Qt::AlignCenter);
    m_codeEdit = new QLineEdit(this);
    m_codeEdit->setObjectName("SpcCodeEdit");
    m_codeEdit->setEchoMode(QLineEdit::Password);
    m_codeEdit->setFixedWidth(110);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(ok, &QPushButton::clicked, this, &CSPCCodeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_codeEdit, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
    m_codeEdit->setFocus();
}

void CSPCCodeDialog::accept() {
    m_code = m_codeEdit->text().toStdString();
    QDialog::accept();
}
