#pragma once
#include <QDialog>
#include <string>

class QLineEdit;

// "SPC": asks for the phone's SPC code. The entry is masked and has no length limit; the
// document sends the first six characters.
class CSPCCodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSPCCodeDialog(QWidget* parent = nullptr);

    // The code as typed, once the dialog ended with OK.
    const std::string& Code() const { return m_code; }
    QLineEdit* CodeEdit() const { return m_codeEdit; }

public slots:
    void accept() override;

private:
    QLineEdit* m_codeEdit;
    std::string m_code;
};
