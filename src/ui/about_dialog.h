#pragma once
#include <QDialog>

// "About Tessiva": the application icon, the name and version, and "OK".
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
