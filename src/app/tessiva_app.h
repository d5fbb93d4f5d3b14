#pragma once
#include "file_dialog_chooser.h"
#include "job_control.h"
#include "message_box_sink.h"
#include "progress_dialog.h"
#include "tessiva_doc.h"

#include <memory>
#include <string>

class CMainFrame;

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
