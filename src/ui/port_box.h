#pragma once
#include <QComboBox>
#include <string>
#include <vector>

struct SComPort;

// The toolbar's port box: "Com n" for numbered ports, the device name for the others, and
// room to type a device path (a pseudo-terminal is not listed). The text of the box is the
// choice: every change reports it through PortChosen.
class CPortBox : public QComboBox {
    Q_OBJECT
public:
    explicit CPortBox(QWidget* parent = nullptr);

    // Replaces the entries; the text shown stays as it is.
    void SetPorts(const std::vector<SComPort>& ports);
    // Shows a choice without reporting it: the device, else "Com n" for n > 0, else nothing.
    void ShowChoice(int comPort, const std::string& device);
    // "Com 12" (any letter case, with or without the blank) is port 12; another text is a
    // device (the path of a listed port name); an empty text chooses nothing.
    void ParseChoice(const QString& text, int& comPort, std::string& device) const;

    void showPopup() override;

signals:
    // The list is about to open.
    void DropDown();
    // Port number (0 for none) and device (empty when a number was chosen).
    void PortChosen(int comPort, const std::string& device);
    // Enter in the box.
    void ConnectRequested();

private:
    void OnTextChanged(const QString& text);

    bool m_quiet = false;
};
