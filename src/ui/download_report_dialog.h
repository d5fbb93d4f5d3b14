#pragma once
#include <QDialog>

class CDownloadReport;
class QLabel;
class QTableWidget;

// The end of a download: the summary, the backup's path and a sortable table of every
// record with what became of it. "Copy" puts the whole report on the clipboard.
class CDownloadReportDialog : public QDialog {
    Q_OBJECT
public:
    CDownloadReportDialog(const CDownloadReport& report, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    QLabel* Summary() const { return m_summary; }

private:
    QLabel* m_summary = nullptr;
    QTableWidget* m_table = nullptr;
};
