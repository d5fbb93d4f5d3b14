#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Tessiva"));
    auto* icon = new QLabel(this);
    icon->setObjectName("AboutIcon");
    icon->setPixmap(QIcon(":/icons/tessiva.png").pixmap(32, 32));
    auto* text = new QLabel(tr("Tessiva\nVersion 1.5"), this);
    text->setObjectName("AboutText");
    text->setAlignment(Qt::AlignCenter);
    text->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    ok->setMinimumWidth(80);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(20);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    layout->addWidget(ok, 0, Qt::AlignVCenter);
    setFixedSize(sizeHint());
}
