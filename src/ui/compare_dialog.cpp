#include "ui/compare_dialog.h"

#include "model/nv_item.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString Hex(const std::vector<uint8_t>& bytes) {
    QString text;
    for (uint8_t b : bytes) text += QString::asprintf("%02X", b);
    return text;
}

QString Field(const SFieldText& f) {
    return QString::fromStdString(f.dec) + " (" + QString::fromStdString(f.hex) + ")";
}
}  // namespace

CCompareDialog::CCompareDialog(const CNVItemArray& here, const CNVItemArray& there, CNVTypeCatalog& catalog,
                               const QString& backupName, QWidget* parent)
    : QDialog(parent), m_here(here), m_there(there) {
    setWindowTitle(tr("Compare with Backup"));
    setObjectName("CompareDialog");
    m_comparison = CompareItems(m_here, m_there, catalog);

    m_rows = new QTreeWidget(this);
    m_rows->setObjectName("CompareRows");
    m_rows->setHeaderLabels({tr("Difference"), tr("ID"), tr("Index"), tr("Name"), tr("In the window"), tr("In the backup")});
    m_rows->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_rows->setRootIsDecorated(true);
    // Long values are cut where the cell ends; the tooltip holds them whole.
    m_rows->setTextElideMode(Qt::ElideRight);
    auto addRow = [this](const QString& kind, const CNVItem& r, const QString& a, const QString& b, const CNVItem* copy) {
        auto* row = new QTreeWidgetItem(m_rows, {kind, QString::number(r.Id()), QString::number(r.Index()),
                                                 QString::fromStdString(r.Name()), a, b});
        row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(copy)));
        row->setToolTip(4, a);
        row->setToolTip(5, b);
        return row;
    };
    auto state = [](const CNVItem& r) { return QString(r.ActiveText()) + " " + Hex(r.Value()); };
    for (const CNVItem* r : m_comparison.onlyA) addRow(tr("only here"), *r, state(*r), {}, nullptr);
    for (const CNVItem* r : m_comparison.onlyB) addRow(tr("only there"), *r, {}, state(*r), r);
    for (const SItemComparison::SChange& c : m_comparison.changes) {
        QTreeWidgetItem* row = addRow(tr("different"), *c.a, state(*c.a), state(*c.b), c.b);
        for (const auto& [fa, fb] : c.fields)
            new QTreeWidgetItem(row, {{}, {}, {}, QString::fromStdString(fa.name + " (" + fa.type + ")"), Field(fa), Field(fb)});
        row->setExpanded(true);
    }
    // The short columns as wide as they need, the name and both values share the rest: every
    // column stays in the dialog, however narrow the screen.
    m_rows->header()->setStretchLastSection(false);
    for (int c = 0; c < m_rows->columnCount(); ++c)
        m_rows->header()->setSectionResizeMode(c, c < 3 ? QHeaderView::ResizeToContents : QHeaderView::Stretch);

    auto* summary = new QLabel(
        m_comparison.Equal()
            ? tr("The window and %1 hold the same items.").arg(backupName)
            : tr("%1 only here, %2 only in %3, %4 different.")
                  .arg(m_comparison.onlyA.size()).arg(m_comparison.onlyB.size()).arg(backupName).arg(m_comparison.changes.size()),
        this);
    summary->setObjectName("CompareSummary");
    summary->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_copy = buttons->addButton(tr("&Copy to Window"), QDialogButtonBox::ActionRole);
    m_copy->setToolTip(tr("Puts the backup's records of the selected rows into the window"));
    m_copy->setEnabled(false);
    connect(m_rows, &QTreeWidget::itemSelectionChanged, this, [this] {
        bool any = false;
        for (QTreeWidgetItem* row : m_rows->selectedItems()) any |= row->data(0, Qt::UserRole).value<quintptr>() != 0;
        m_copy->setEnabled(any);
    });
    connect(m_copy, &QPushButton::clicked, this, &CCompareDialog::OnCopy);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_rows);
    layout->addWidget(buttons);
    resize(900, 500);
}

void CCompareDialog::OnCopy() {
    m_chosen.clear();
    // Rows only here have nothing in the backup to copy.
    for (QTreeWidgetItem* row : m_rows->selectedItems())
        if (const auto r = row->data(0, Qt::UserRole).value<quintptr>()) m_chosen.push_back(reinterpret_cast<const CNVItem*>(r));
    accept();
}
