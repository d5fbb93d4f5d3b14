#include "ui/report_view.h"

#include <QHeaderView>

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
