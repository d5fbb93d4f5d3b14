#pragma once
#include <QTreeWidget>
#include <initializer_list>
#include <vector>

// A list in report style (rows of columns under a heading), the base of the item list and
// the content view.
class CReportView : public QTreeWidget {
    Q_OBJECT
public:
    struct SColumn {
        const char* heading;
        int width;
    };
    // caption and headings: source texts, shown translated; the caption is also the object name.
    CReportView(const char* caption, std::initializer_list<SColumn> columns, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Columns wider together than the pane shrink in proportion, so the last ones stay in
    // view on a small screen; with room they take the widths they were given or the user set.
    void FitColumns();

    std::vector<int> m_wanted;  // each column's width as given or set by the user
    bool m_fitting = false;
};
