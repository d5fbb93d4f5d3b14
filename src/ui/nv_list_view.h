#pragma once
#include "ui/list_row.h"
#include "ui/report_view.h"

#include <string>
#include <vector>

// "NV Item's Attributes": one row per record behind the selected tree node, with seven
// columns. A click on a heading re-sorts the whole item database by that column; the rows
// show in that order, or the reverse when the heading is clicked again.
class CNVListView : public CReportView {
    Q_OBJECT
public:
    explicit CNVListView(const char* caption, QWidget* parent = nullptr);

    void ClearRows() { m_rows.clear(); }
    void AddRow(SListRow row) { m_rows.push_back(std::move(row)); }
    const std::vector<SListRow>& Rows() const { return m_rows; }
    // Item index of the first row with this name, or -1.
    int FindRowItemIndex(const std::string& name) const;

    // Shows row's texts in every row of the same record.
    void UpdateRow(const SListRow& row);
    // Deletes the shown rows (m_rows stays as it is).
    void DeleteAllRows();
    // Shows m_rows, turned round first while the sort is descending.
    void ShowRows();
    // A click on the heading of the sorted column turns the order round; another column
    // sorts ascending. The heading shows the arrow.
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }
    // Name of the first selected row from the top, false when none is selected.
    bool FirstSelectedName(std::string& name) const;

signals:
    void RowSelectionChanged();
    void ColumnClicked(int column);

private:
    void OnHeadingClicked(int column);

    std::vector<SListRow> m_rows;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
