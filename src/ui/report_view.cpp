#include "ui/report_view.h"

#include <QHeaderView>
#include <QResizeEvent>

CReportView::CReportView(const char* caption, std::initializer_list<SColumn> columns, QWidget* parent)
    : QTreeWidget(parent) {
    setWindowTitle(tr(caption));
    setObjectName(caption);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    QStringList headings;
    for (const SColumn& column : columns) headings << tr(column.heading);
    setHeaderLabels(headings);
    int c = 0;
    for (const SColumn& column : columns) setColumnWidth(c++, column.width);
    header()->setStretchLastSection(true);  // the last column takes the rest of the pane
}

void CReportView::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitColumns();
}

void CReportView::FitColumns() {
    const int available = viewport()->width();
    const int columns = columnCount();
    int total = 0;
    for (int c = 0; c < columns; ++c) total += columnWidth(c);
    if (available <= 0 || total <= available) return;
    const int least = fontMetrics().averageCharWidth() * 5;
    for (int c = 0; c < columns - 1; ++c)
        setColumnWidth(c, std::max(least, static_cast<int>(static_cast<long long>(columnWidth(c)) * available / total)));
}
