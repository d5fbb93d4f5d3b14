#include "ui/find_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CFindDialog::CFindDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Find NV Item"));
    auto* label = new QLabel(tr("NV  ID or NV Name"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName("FindEdit");
    m_edit->setMinimumWidth(260);
    auto* find = new QPushButton(tr("Find"), this);
    find->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(find, &QPushButton::clicked, this, &CFindDialog::OnFind);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(find, 0, 1);
    layout->addWidget(m_edit, 1, 0);
    layout->addWidget(cancel, 1, 1);
    setFixedSize(sizeHint());
    m_edit->setFocus();
}

void CFindDialog::SetText(const QString& text) {
    m_edit->setText(text);
    m_edit->selectAll();
}

void CFindDialog::OnFind() {
    m_editText = m_edit->text().toStdString();
    m_searchText = QString::fromStdString(m_editText).toUpper().trimmed().toStdString();
    accept();
}
