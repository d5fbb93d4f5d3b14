#pragma once
#include "doc/item_comparison.h"
#include "model/nv_item_array.h"

#include <QDialog>
#include <vector>

class CNVTypeCatalog;
class QPushButton;
class QTreeWidget;

// "Compare with Backup...": the records only in the window, only in the backup, and those
// that differ, with their differing fields decoded. The backup's records of the rows the
// user selects can be copied into the window.
class CCompareDialog : public QDialog {
    Q_OBJECT
public:
    CCompareDialog(const CNVItemArray& here, const CNVItemArray& there, CNVTypeCatalog& catalog,
                   const QString& backupName, QWidget* parent = nullptr);

    QTreeWidget* Rows() const { return m_rows; }
    QPushButton* CopyButton() const { return m_copy; }
    // After "Copy to Window": the backup's records to put into the window.
    const std::vector<const CNVItem*>& Chosen() const { return m_chosen; }

private:
    void OnCopy();

    CNVItemArray m_here, m_there;  // copies: the comparison points into them
    SItemComparison m_comparison;
    QTreeWidget* m_rows;
    QPushButton* m_copy;
    std::vector<const CNVItem*> m_chosen;
};
