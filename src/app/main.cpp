// tessiva: the desktop NV item editor.
#include "main_frame.h"
#include "tessiva_app.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <cstdio>
#include <cstring>

namespace {
void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: tessiva [--dir DIR]\n\n"
                 "NV item editor. DIR holds NVItemsDefine.def and NVTypes.typ (default: the current\n"
                 "directory).\n");
}
}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tessiva");
    QApplication::setApplicationVersion("1.5");
    QApplication::setDesktopFileName("tessiva");

    std::string dir = ".";
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            dir = QFile::encodeName(args[++i]).toStdString();
        } else if (args[i] == "--help" || args[i] == "-h") {
            Usage(stdout);
            return 0;
        } else {
            Usage(stderr);
            return 2;
        }
    }

    CTessivaApp app;
    if (!app.InitInstance(dir)) return 1;
    return qapp.exec();
}
