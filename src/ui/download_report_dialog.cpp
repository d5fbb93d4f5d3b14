#include "ui/download_report_dialog.h"

#include "doc/download_report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Numbers sort as numbers, not as text.
QTableWidgetItem* NumberItem(int value) {
    auto* item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    return item;
}
}  // namespace

CDownloadReportDialog::CDownloadReportDialog(const CDownloadReport& report, QWidget* parent) : QDialog(parent) {
    setObjectName("DownloadReportDialog");
    setWindowTitle(tr("Download Report"));
    auto* layout = new QVBoxLayout(this);

    QString text = QString::fromStdString(report.Summary());
    if (!report.backupPath.empty())
        text += "\n" + QString::fromStdString(report.BackupLine());
    m_summary = new QLabel(text, this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);

    m_table = new QTableWidget(static_cast<int>(report.Rows().size()), 5, this);
    m_table->setHorizontalHeaderLabels({tr("Record"), tr("ID"), tr("Index"), tr("Result"), tr("Detail")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    int row = 0;
    for (const CDownloadReport::SRow& r : report.Rows()) {
        m_table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(r.name)));
        m_table->setItem(row, 1, NumberItem(r.id));
        m_table->setItem(row, 2, r.index >= 0 ? NumberItem(r.index) : new QTableWidgetItem);
        m_table->setItem(row, 3, new QTableWidgetItem(QString::fromStdString(CDownloadReport::ResultText(r.result))));
        m_table->setItem(row, 4, new QTableWidgetItem(QString::fromStdString(r.detail)));
        ++row;
    }
    // Filled first: sorting while rows go in would move them under the loop's feet.
    m_table->setSortingEnabled(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents();
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setAutoDefault(false);
    const QString all = QString::fromStdString(report.TableText());
    connect(copy, &QPushButton::clicked, this, [all] { QApplication::clipboard()->setText(all); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 420);
}
