#include "tessiva_app.h"

#include "about_dialog.h"
#include "main_frame.h"

#include <QStandardPaths>

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
    m_doc.Phone().SetBackupFolder(
        (QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/backups").toStdString());
    m_frame = std::make_unique<CMainFrame>(m_doc, m_chooser);
    m_fileDialogChooser.SetParent(m_frame.get());
    m_progressDialog.SetOwnerWindow(m_frame.get());
    QObject::connect(m_frame.get(), &CMainFrame::AboutRequested, m_frame.get(), [this] { OnAppAbout(); });

    m_frame->setWindowTitle("Tessiva v1.5");
    m_frame->show();

    // Definitions (a job behind the progress dialog), sorted by ID, then the type catalogue.
    if (!m_doc.LoadDefinitions()) return false;
    // Without NVTypes.typ the program still starts: Tools > Import makes one, and until
    // then values show as raw bytes.
    (void)m_doc.m_typeCatalog.LoadTypeFile();
    return true;
}

void CTessivaApp::OnAppAbout() {
    CAboutDialog about(m_frame.get());
    about.exec();
}
