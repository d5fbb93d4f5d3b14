#pragma once
#include "ui/file_dialog_chooser.h"
#include "jobs/job_control.h"
#include "ui/message_box_sink.h"
#include "ui/progress_dialog.h"
#include "doc/tessiva_doc.h"

#include <QStringList>
#include <cstdio>
#include <memory>
#include <string>

class CMainFrame;
class QLocale;

// The application: one progress dialog for every job, the job control, the document and the
// main window. Tests hand in their own message sink and file chooser.
class CTessivaApp {
public:
    explicit CTessivaApp(IMessageSink* messages = nullptr, IFileChooser* chooser = nullptr);
    ~CTessivaApp();
    CTessivaApp(const CTessivaApp&) = delete;
    CTessivaApp& operator=(const CTessivaApp&) = delete;

    // Opens the main window and loads NVItemsDefine.def and NVTypes.typ from dir. False when
    // the definitions could not be read (or reading was stopped): the program then ends. A
    // missing NVTypes.typ is told, and the program starts without types.
    bool InitInstance(const std::string& dir = ".");

    // The command line "tessiva [--dir DIR] [FILE]": the window from DIR's definitions, with
    // FILE opened in it (a file that can't be read says why; the window stays). -1 when the
    // program goes on into its event loop, else its exit status (0 after --help, 2 after a
    // wrong argument, 1 when the definitions could not be read).
    int Start(const QStringList& arguments);
    // The command line's help, and whether it is asked for: main prints it before the
    // display is opened, so it works on a machine without one.
    static void PrintUsage(FILE* to);
    static bool AsksForHelp(int argc, const char* const* argv);

    // The program's translation for locale and Qt's own, where they are found, and the
    // texts of the layers below the window routed through the application's translators.
    static void InstallTranslations(const QLocale& locale);
    static void RouteLowerLayerTexts();

    // The About box, modal.
    void OnAppAbout();

    CMainFrame& MainFrame() { return *m_frame; }
    CTessivaDoc& Doc() { return m_doc; }
    CProgressDialog& ProgressDialog() { return m_progressDialog; }
    CJobControl& Jobs() { return m_jobs; }

private:
    CMessageBoxSink m_messageBoxSink;
    CFileDialogChooser m_fileDialogChooser;
    CProgressDialog m_progressDialog;
    CJobControl m_jobs;
    CTessivaDoc m_doc;
    IFileChooser& m_chooser;
    std::unique_ptr<CMainFrame> m_frame;
};
