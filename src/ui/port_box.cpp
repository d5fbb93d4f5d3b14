#include "ui/port_box.h"

#include "phone/com_ports.h"
#include "phone/port_names.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace {
QString NumberedText(int number) { return QString::fromStdString(ComPortText(number)); }
}  // namespace

CPortBox::CPortBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // an inline completion would put a listed name under a typed path
    lineEdit()->setPlaceholderText(tr("port"));
    connect(this, &QComboBox::editTextChanged, this, &CPortBox::OnTextChanged);
    // Enter after typing or picking a port connects, as "Connect Server" would.
    connect(lineEdit(), &QLineEdit::returnPressed, this, &CPortBox::ConnectRequested);
}

void CPortBox::showPopup() {
    emit DropDown();
    QComboBox::showPopup();
}

void CPortBox::SetPorts(const std::vector<SComPort>& ports) {
    const QString shown = currentText();
    m_quiet = true;
    {
        const QSignalBlocker block(this);
        clear();
        for (const SComPort& port : ports) {
            const QString device = QString::fromStdString(port.device);
            addItem(port.number > 0 ? NumberedText(port.number) : QString::fromStdString(port.name), device);
            QString tip = device;
            if (!port.description.empty()) tip += " (" + QString::fromStdString(port.description) + ")";
            setItemData(count() - 1, tip, Qt::ToolTipRole);
        }
        setCurrentIndex(findText(shown, Qt::MatchExactly));
        setEditText(shown);
    }
    m_quiet = false;
}

void CPortBox::ShowChoice(int comPort, const std::string& device) {
    QString text;
    if (!device.empty()) {
        const int listed = findData(QString::fromStdString(device));
        text = listed >= 0 && ParseComPortText(itemText(listed).toStdString()) == 0 ? itemText(listed)
                                                                                    : QString::fromStdString(device);
    } else if (comPort > 0) {
        text = NumberedText(comPort);
    }
    m_quiet = true;
    {
        const QSignalBlocker block(this);
        setCurrentIndex(findText(text, Qt::MatchExactly));
        setEditText(text);
        // A path longer than the box shows its start, not a cut-off middle.
        if (lineEdit()) lineEdit()->setCursorPosition(0);
    }
    m_quiet = false;
}

void CPortBox::ParseChoice(const QString& text, int& comPort, std::string& device) const {
    comPort = 0;
    device.clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return;
    comPort = ParseComPortText(trimmed.toStdString());
    if (comPort > 0) return;
    const int listed = findText(trimmed, Qt::MatchExactly);
    device = (listed >= 0 ? itemData(listed).toString() : trimmed).toStdString();
}

void CPortBox::OnTextChanged(const QString& text) {
    if (m_quiet) return;
    int comPort = 0;
    std::string device;
    ParseChoice(text, comPort, device);
    emit PortChosen(comPort, device);
}
