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
                 "usage: tessiva [--dir DIR] [FILE]\n\n"
                 "NV item editor. DIR holds NVItemsDefine.def and NVTypes.typ (default: the current\n"
                 "directory). FILE, a backup of any kind (BRT, CNV, QCN, XQCN), is opened at start.\n");
}
}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tessiva");
    QApplication::setApplicationVersion("1.5");
    QApplication::setDesktopFileName("tessiva");

    std::string dir = ".";
    std::string file;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            dir = QFile::encodeName(args[++i]).toStdString();
        } else if (args[i] == "--help" || args[i] == "-h") {
            Usage(stdout);
            return 0;
        } else if (file.empty() && !args[i].startsWith('-')) {
            file = QFile::encodeName(args[i]).toStdString();
        } else {
            Usage(stderr);
            return 2;
        }
    }

    CTessivaApp app;
    if (!app.InitInstance(dir)) return 1;
    // A file that can't be read has said why; the window stays open.
    if (!file.empty()) (void)app.MainFrame().OpenBackup(file);
    return qapp.exec();
}
