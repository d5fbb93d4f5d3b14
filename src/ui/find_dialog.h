#pragma once
#include <QDialog>
#include <string>

class QLineEdit;

// "Find NV Item": an item ID or name. The search text is the entry in upper case without
// surrounding white space.
class CFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFindDialog(QWidget* parent = nullptr);

    // The text of the last search, selected, so typing replaces it and Enter repeats it.
    void SetText(const QString& text);
    // Valid once the dialog ended through "Find".
    const std::string& SearchText() const { return m_searchText; }
    // The entry as typed.
    QString EnteredText() const { return QString::fromStdString(m_editText); }
    QLineEdit* Edit() const { return m_edit; }

private:
    void OnFind();

    std::string m_searchText;
    std::string m_editText;
    QLineEdit* m_edit;
};
