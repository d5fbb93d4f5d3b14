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
    for (const SColumn& column : columns) {
        setColumnWidth(c++, column.width);
        m_wanted.push_back(column.width);
    }
    header()->setStretchLastSection(true);  // the last column takes the rest of the pane
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!m_fitting && column + 1 < static_cast<int>(m_wanted.size())) m_wanted[static_cast<size_t>(column)] = width;
    });
}

void CReportView::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitColumns();
}

void CReportView::FitColumns() {
    const int available = viewport()->width();
    long long total = 0;
    for (int width : m_wanted) total += width;
    if (available <= 0 || total <= 0) return;
    const int least = fontMetrics().averageCharWidth() * 5;
    m_fitting = true;
    for (size_t c = 0; c + 1 < m_wanted.size(); ++c)
        setColumnWidth(static_cast<int>(c), total <= available ? m_wanted[c]
                                                               : std::max(least, static_cast<int>(m_wanted[c] * available / total)));
    m_fitting = false;
}
