#include "ui/download_report_dialog.h"

#include "doc/download_report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <tuple>

namespace {
using EResult = CDownloadReport::EResult;

// How much a result needs the reader: problems first, what went well last.
int Severity(EResult result) {
    switch (result) {
        case EResult::Failed: return 0;
        case EResult::Protected: return 1;
        case EResult::NotWritten: return 2;
        case EResult::NotBackedUp: return 3;
        case EResult::Written: return 4;
        case EResult::Verified: return 5;
        case EResult::Read: return 5;
        case EResult::Unchanged: return 5;
    }
    return 5;
}

// A cell that sorts by a number of its own: IDs and indexes as numbers, results by severity.
class CSortedItem : public QTableWidgetItem {
public:
    CSortedItem(const QString& text, double key) : QTableWidgetItem(text) { setData(Qt::UserRole, key); }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

// Cut in the middle: the two ends of a path tell files apart.
class CMiddleElided : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

// One row per record: a record the backup could not read and the write then tried has two
// report rows; the write's result stands, the backup's problem goes into the detail.
std::vector<CDownloadReport::SRow> OneRowPerRecord(const std::vector<CDownloadReport::SRow>& rows) {
    std::vector<CDownloadReport::SRow> merged;
    // A record of each subscription, and each item file, is a row of its own.
    std::map<std::tuple<std::string, int, int, int>, size_t> at;
    for (const CDownloadReport::SRow& row : rows) {
        auto [it, fresh] = at.try_emplace({row.path, row.subscription, row.id, row.index}, merged.size());
        if (fresh) {
            merged.push_back(row);
            continue;
        }
        CDownloadReport::SRow& kept = merged[it->second];
        // The reason of the result first, where a narrow cell still shows it; the backup's note after.
        const std::string note = kept.result == EResult::NotBackedUp
                                     ? CDownloadReport::ResultText(kept.result) + (kept.detail.empty() ? "" : ": " + kept.detail)
                                     : kept.detail;
        std::string detail = row.detail;
        if (!note.empty()) detail += (detail.empty() ? "" : "; ") + note;
        kept.result = row.result;
        kept.detail = std::move(detail);
    }
    return merged;
}
}  // namespace

CDownloadReportDialog::CDownloadReportDialog(const CDownloadReport& report, QWidget* parent) : QDialog(parent) {
    using EOperation = CDownloadReport::EOperation;
    setObjectName("DownloadReportDialog");
    setWindowTitle(report.operation == EOperation::Backup    ? tr("Backup Report")
                   : report.operation == EOperation::Restore ? tr("Restore Report")
                                                             : tr("Download Report"));
    auto* layout = new QVBoxLayout(this);

    QString text = QString::fromStdString(report.Summary());
    if (!report.backupPath.empty())
        text += "\n" + QString::fromStdString(report.BackupLine());
    m_summary = new QLabel(text, this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);

    const std::vector<CDownloadReport::SRow> rows = OneRowPerRecord(report.Rows());
    m_table = new QTableWidget(static_cast<int>(rows.size()), kColumns, this);
    m_table->setHorizontalHeaderLabels(
        {tr("Record"), tr("ID"), tr("Index"), tr("Subscription"), tr("Result"), tr("Detail")});
    // A download of records of the default subscription alone has no use for the column.
    m_table->setColumnHidden(kSubscriptionColumn,
                             report.operation == EOperation::Download &&
                                 std::none_of(rows.begin(), rows.end(), [](const auto& r) { return r.subscription > 0; }));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    // One line per row; a detail too long for its cell is read in full in its tooltip.
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    // Files after the records in the key columns: their cells there are empty.
    const double none = 1e9;
    int row = 0;
    for (const CDownloadReport::SRow& r : rows) {
        const bool file = r.Kind() == CDownloadReport::EKind::File;
        const QString name = QString::fromStdString(file ? r.path : r.name);
        const QString detail = QString::fromStdString(r.detail);
        auto* record = new QTableWidgetItem(name);
        record->setToolTip(name);
        m_table->setItem(row, kRecordColumn, record);
        m_table->setItem(row, kIdColumn, new CSortedItem(file ? QString() : QString::number(r.id), file ? none : r.id));
        m_table->setItem(row, kIndexColumn,
                         new CSortedItem(r.index >= 0 ? QString::number(r.index) : QString(), file ? none : r.index));
        m_table->setItem(row, kSubscriptionColumn,
                         new CSortedItem(file && r.subscription == 0 ? QString() : QString::number(r.subscription),
                                         file && r.subscription == 0 ? none : r.subscription));
        // Within a result, rows keep the order of the report.
        m_table->setItem(row, kResultColumn,
                         new CSortedItem(QString::fromStdString(report.RowResultText(r.result)),
                                         Severity(r.result) + row / (rows.size() + 1.0)));
        auto* detailItem = new QTableWidgetItem(detail);
        detailItem->setToolTip(detail);
        m_table->setItem(row, kDetailColumn, detailItem);
        ++row;
    }
    // Filled first: sorting while rows go in would move them under the loop's feet. The
    // problems come first.
    m_table->horizontalHeader()->setSortIndicator(kResultColumn, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->resizeColumnsToContents();
    // Long names and item file paths are cut in the middle, and the detail takes the width
    // that is left (the tooltips have both whole): what went wrong starts on screen.
    const int longest = m_table->fontMetrics().averageCharWidth() * 36;
    if (m_table->columnWidth(kRecordColumn) > longest) m_table->setColumnWidth(kRecordColumn, longest);
    m_table->setItemDelegateForColumn(kRecordColumn, new CMiddleElided(m_table));
    m_table->setColumnWidth(kDetailColumn, longest / 2);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setAutoDefault(false);
    const QString all = QString::fromStdString(report.TableText());
    connect(copy, &QPushButton::clicked, this, [all] { QApplication::clipboard()->setText(all); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 440);
}
