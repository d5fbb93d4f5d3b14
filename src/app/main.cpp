// tessiva: the desktop NV item editor.
#include "app/tessiva_app.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
    if (CTessivaApp::AsksForHelp(argc, argv)) {
        const QCoreApplication core(argc, argv);  // translations, without a display
        CTessivaApp::InstallTranslations(QLocale());
        CTessivaApp::PrintUsage(stdout);
        return 0;
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tessiva");
    QApplication::setApplicationVersion("1.5");
    QApplication::setDesktopFileName("tessiva");
    CTessivaApp::InstallTranslations(QLocale());

    CTessivaApp app;
    const int status = app.Start(QApplication::arguments());
    return status >= 0 ? status : qapp.exec();
}
