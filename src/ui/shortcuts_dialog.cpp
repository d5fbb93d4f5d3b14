#include "ui/shortcuts_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

CShortcutsDialog::CShortcutsDialog(const std::vector<SShortcut>& shortcuts, QWidget* parent) : QDialog(parent) {
    setObjectName("ShortcutsDialog");
    setWindowTitle(tr("Keyboard Shortcuts"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Tessiva 1.5. The README's \"Using the window\" section is a first tour."), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_table = new QTableWidget(static_cast<int>(shortcuts.size()), 2, this);
    m_table->setHorizontalHeaderLabels({tr("Keys"), tr("Command")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    int row = 0;
    for (const SShortcut& shortcut : shortcuts) {
        m_table->setItem(row, 0, new QTableWidgetItem(shortcut.keys));
        m_table->setItem(row, 1, new QTableWidgetItem(shortcut.what));
        ++row;
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 520);
}
