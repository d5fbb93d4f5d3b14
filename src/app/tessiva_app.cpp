#include "app/tessiva_app.h"

#include "jobs/job_control.h"
#include "ui/about_dialog.h"
#include "ui/main_frame.h"
#include "ui/write_question.h"

#include "jobs/text_translation.h"

#include <QApplication>
#include <cstring>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>

CTessivaApp::CTessivaApp(IMessageSink* messages, IFileChooser* chooser)
    // The pause lets the progress dialog come up before a job asks its first question.
    : m_jobs(m_progressDialog, messages ? *messages : m_messageBoxSink, std::chrono::milliseconds(100)),
      m_doc(m_jobs),
      m_chooser(chooser ? *chooser : m_fileDialogChooser) {}

CTessivaApp::~CTessivaApp() {
    // The window goes first: its views refer to the document.
    m_frame.reset();
}

bool CTessivaApp::InitInstance(const std::string& dir) {
    m_doc.SetDirectory(dir);
    m_doc.SetFileChooser(&m_chooser);
    m_doc.Phone().Settings().backupFolder =
        (QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/backups").toStdString();
    // Records the backup lacks are written only when the user says so.
    m_doc.Phone().Settings().confirmWithoutBackup = [this](const std::string& question) {
        return AskBeforeWrite(m_doc.Jobs().Messages(), question) == EWriteChoice::Yes;
    };
    m_frame = std::make_unique<CMainFrame>(m_doc, m_chooser);
    m_fileDialogChooser.SetParent(m_frame.get());
    m_progressDialog.SetOwnerWindow(m_frame.get());
    QObject::connect(m_frame.get(), &CMainFrame::AboutRequested, m_frame.get(), [this] { OnAppAbout(); });

    m_frame->UpdateTitle();
    m_frame->show();

    // Definitions (a job behind the progress dialog), sorted by ID, then the type catalogue.
    if (!m_frame->Tell(m_doc.LoadDefinitions())) return false;
    // Without NVTypes.typ the program still starts: Tools > Import makes one, and until
    // then values show as raw bytes.
    (void)m_frame->Tell(m_doc.LoadTypes());
    return true;
}

void CTessivaApp::OnAppAbout() {
    CAboutDialog about(m_frame.get());
    about.exec();
}

void CTessivaApp::PrintUsage(FILE* to) {
    std::fputs(QCoreApplication::translate(
                   "CTessivaApp",
                   "usage: tessiva [--dir DIR] [FILE]\n\n"
                   "NV item editor. DIR holds NVItemsDefine.def and NVTypes.typ (default: the current\n"
                   "directory). FILE, a backup of any kind (BRT, CNV, QCN, XQCN), is opened at start.\n")
                   .toLocal8Bit()
                   .constData(),
               to);
}

bool CTessivaApp::AsksForHelp(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int CTessivaApp::Start(const QStringList& arguments) {
    const auto usage = &CTessivaApp::PrintUsage;
    std::string dir = ".";
    std::string file;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--dir" && i + 1 < arguments.size()) {
            dir = QFile::encodeName(arguments[++i]).toStdString();
        } else if (argument == "--help" || argument == "-h") {
            usage(stdout);
            return 0;
        } else if (file.empty() && !argument.startsWith('-')) {
            file = QFile::encodeName(argument).toStdString();
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (!InitInstance(dir)) return 1;
    // A file that can't be read has said why; the window stays open.
    if (!file.empty()) (void)m_frame->OpenBackup(file);
    return -1;
}

namespace {
std::string TranslateWithQt(const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
}
}  // namespace

void CTessivaApp::InstallTranslations(const QLocale& locale) {
    // Installed beside the program (share/tessiva/translations) or in the build tree.
    const QString programDir = QCoreApplication::applicationDirPath();
    const QStringList folders = {programDir + "/../share/tessiva/translations", programDir + "/../translations"};
    auto* own = new QTranslator(qApp);
    for (const QString& folder : folders)
        if (own->load(locale, "tessiva", "_", QDir::cleanPath(folder))) {
            QCoreApplication::installTranslator(own);
            break;
        }
    // Qt's own texts: the standard buttons of the message boxes, the file dialog.
    auto* qt = new QTranslator(qApp);
    if (qt->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    RouteLowerLayerTexts();
}

void CTessivaApp::RouteLowerLayerTexts() { SetTextTranslator(&TranslateWithQt); }
