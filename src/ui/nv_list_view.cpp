#include "ui/nv_list_view.h"

#include <QHeaderView>
#include <algorithm>

CNVListView::CNVListView(const char* caption, QWidget* parent)
    : CReportView(caption,
                  {{QT_TRANSLATE_NOOP("CReportView", "Name"), 200},
                   {QT_TRANSLATE_NOOP("CReportView", "Id"), 100},
                   {QT_TRANSLATE_NOOP("CReportView", "Active"), 100},
                   {QT_TRANSLATE_NOOP("CReportView", "File Name"), 100},
                   {QT_TRANSLATE_NOOP("CReportView", "Group"), 100},
                   {QT_TRANSLATE_NOOP("CReportView", "Size"), 100},
                   {QT_TRANSLATE_NOOP("CReportView", "Type"), 100}},
                  parent) {
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    // Array elements differ at the end of their names ("NV_X_I [ 3 ]"): a narrow column cuts the middle.
    setTextElideMode(Qt::ElideMiddle);
    connect(header(), &QHeaderView::sectionClicked, this, &CNVListView::OnHeadingClicked);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CNVListView::RowSelectionChanged);
}

int CNVListView::FindRowItemIndex(const std::string& name) const {
    for (const SListRow& row : m_rows)
        if (row.texts[SListRow::kName] == name) return row.itemIndex;
    return -1;
}

void CNVListView::UpdateRow(const SListRow& row) {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].itemIndex != row.itemIndex) continue;
        m_rows[i] = row;
        QTreeWidgetItem* shown = topLevelItem(static_cast<int>(i));
        if (!shown) continue;
        for (int c = 0; c < SListRow::kColumnCount; ++c) {
            const std::string& text = row.texts[static_cast<size_t>(c)];
            shown->setText(c, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
}

void CNVListView::DeleteAllRows() {
    // Deleting rows is not a change of the user's selection.
    const QSignalBlocker blocker(this);
    clear();
}

void CNVListView::OnHeadingClicked(int column) {
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_sortOrder);
    emit ColumnClicked(column);
}

void CNVListView::ShowRows() {
    // The document keeps its records ascending; descending is a matter of the view.
    if (m_sortOrder == Qt::DescendingOrder) std::reverse(m_rows.begin(), m_rows.end());
    const QSignalBlocker blocker(this);
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const SListRow& row : m_rows) {
        QStringList texts;
        texts.reserve(SListRow::kColumnCount);
        for (const std::string& text : row.texts)
            texts.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        items.append(new QTreeWidgetItem(texts));
    }
    addTopLevelItems(items);
}

bool CNVListView::FirstSelectedName(std::string& name) const {
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        if (first < 0 || index.row() < first) first = index.row();
    if (first < 0 || first >= static_cast<int>(m_rows.size())) return false;
    name = m_rows[static_cast<size_t>(first)].texts[SListRow::kName];
    return true;
}
