#pragma once
#include <QDialog>
#include <QKeySequence>
#include <QString>
#include <vector>

class QTableWidget;

// F1: every keyboard shortcut of the window, with what it does, and where the README's tour is.
class CShortcutsDialog : public QDialog {
    Q_OBJECT
public:
    struct SShortcut {
        QString keys;
        QString what;
    };
    CShortcutsDialog(const std::vector<SShortcut>& shortcuts, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }

private:
    QTableWidget* m_table = nullptr;
};
