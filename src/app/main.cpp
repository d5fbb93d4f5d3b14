// tessiva: the desktop NV item editor.
#include "app/tessiva_app.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tessiva");
    QApplication::setApplicationVersion("1.5");
    QApplication::setDesktopFileName("tessiva");
    CTessivaApp::InstallTranslations(QLocale());

    CTessivaApp app;
    const int status = app.Start(QApplication::arguments());
    return status >= 0 ? status : qapp.exec();
}
