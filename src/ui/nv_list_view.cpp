#include "nv_list_view.h"

#include <QHeaderView>

CNVListView::CNVListView(const QString& caption, QWidget* parent) : QTreeWidget(parent) {
    setWindowTitle(caption);
    setObjectName(caption);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setHeaderLabels({"Name", "Id", "Active", "File Name", "Group", "Size", "Type"});
    const int widths[CListRow::kColumnCount] = {200, 100, 100, 100, 100, 100, 100};
    for (int c = 0; c < CListRow::kColumnCount; ++c) setColumnWidth(c, widths[c]);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CNVListView::ColumnClicked);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CNVListView::RowSelectionChanged);
}

int CNVListView::FindRowItemIndex(const std::string& name) const {
    for (const CListRow& row : m_rows)
        if (row.texts[CListRow::kName] == name) return row.itemIndex;
    return -1;
}

void CNVListView::DeleteAllRows() {
    // Deleting rows is not a change of the user's selection.
    const QSignalBlocker blocker(this);
    clear();
}

void CNVListView::ShowRows() {
    const QSignalBlocker blocker(this);
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const CListRow& row : m_rows) {
        QStringList texts;
        texts.reserve(CListRow::kColumnCount);
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
    name = m_rows[static_cast<size_t>(first)].texts[CListRow::kName];
    return true;
}
