#pragma once
#include <QDialog>

class CDownloadReport;
class QLabel;
class QTableWidget;

// The end of a download, a restore or a backup of the whole phone: the summary, the backup's
// path and a sortable table of every record (with its subscription) and item file (by its
// path) with what became of it, problems first. "Copy" puts the whole report on the clipboard.
class CDownloadReportDialog : public QDialog {
    Q_OBJECT
public:
    // The subscription column shows for a restore or backup only: a download has none.
    enum EColumn { kRecordColumn, kIdColumn, kIndexColumn, kSubscriptionColumn, kResultColumn, kDetailColumn, kColumns };

    CDownloadReportDialog(const CDownloadReport& report, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    QLabel* Summary() const { return m_summary; }

private:
    QLabel* m_summary = nullptr;
    QTableWidget* m_table = nullptr;
};
