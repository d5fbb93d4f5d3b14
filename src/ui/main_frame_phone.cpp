// The window's phone commands: the port, the connection, uploads, downloads, the restore of
// the last backup and the SPC code.
#include "ui/main_frame.h"

#include "doc/backup_folder.h"
#include "doc/download_report.h"
#include "doc/item_counts.h"
#include "doc/tessiva_doc.h"
#include "jobs/job_control.h"
#include "jobs/message_sink.h"
#include "files/backup_kind.h"
#include "files/host_file.h"
#include "phone/com_ports.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "phone/nv_reader.h"
#include "ui/backup_commands.h"
#include "ui/download_report_dialog.h"
#include "ui/nv_content_view.h"
#include "ui/phone_files_dialog.h"
#include "ui/port_box.h"
#include "ui/spc_code_dialog.h"
#include "ui/write_question.h"

#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QUrl>
#include <thread>

namespace {
SFileDialogRequest CsvDialog() {
    SFileDialogRequest request;
    request.defaultExtension = "csv";
    request.filterPattern = "*.csv";
    request.initialName = "*.csv";
    request.filterLabel = CMainFrame::tr("nv list files (*.csv)").toStdString();
    request.overwritePrompt = true;
    return request;
}
}  // namespace

void CMainFrame::SetConnectionState(EConnection state) {
    m_connection = state;
    m_connectionBox->setText(ConnectionText(state));
    // White on green or red reads on light and dark palettes alike; the idle state takes the
    // palette's own text and field colours, as the box is disabled and would be greyed.
    const QPalette& p = palette();
    const QString colours = state == kConnected     ? "color: white; background: #2e7d32;"
                            : state == kCantConnect ? "color: white; background: #c62828;"
                                                    : QString("color: %1; background: %2;")
                                                          .arg(p.color(QPalette::Active, QPalette::Text).name(),
                                                               p.color(QPalette::Active, QPalette::Base).name());
    m_connectionBox->setStyleSheet(QString("QLineEdit { %1 font-weight: bold; }").arg(colours));
    UpdateStatus();
}

void CMainFrame::ChoosePort(int comPort, const std::string& device) {
    const bool changed = comPort != m_doc.Phone().Settings().comPort || device != m_doc.Phone().Settings().portName;
    if (changed && m_doc.Phone().IsConnected()) {
        m_doc.Phone().Disconnect();
        Report(SOutcome::Done(), tr("Disconnected: the port changed"));
        SetConnectionState(kNotConnected);
    }
    m_doc.Phone().Settings().comPort = comPort;
    m_doc.Phone().Settings().portName = device;
    UpdateStatus();
}

bool CMainFrame::WaitForSpcPenalty() {
    using Clock = std::chrono::steady_clock;
    if (!m_doc.Phone().IsConnected() || Clock::now() >= m_spcPenaltyEnd) return true;
    CJobControl& jobs = m_doc.Jobs();
    const SOutcome waited = jobs.Run(tr("Waiting for the phone after a wrong SPC code").toStdString(), [&] {
        jobs.WaitForDialog();
        jobs.EnableCancel();
        const auto left = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(m_spcPenaltyEnd - Clock::now()); };
        const int tenths = static_cast<int>(std::max<int64_t>(left().count() / 100, 1));
        jobs.SetRange(tenths);
        const Clock::time_point start = Clock::now();
        while (Clock::now() < m_spcPenaltyEnd) {
            if (jobs.IsStopRequested()) return jobs.PostJobStopped();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int done = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() / 100);
            // Seconds, not the bar's tenths: "3 s of 10 s".
            jobs.SetDetail(tr("%1 s of %2 s").arg(done / 10).arg((tenths + 9) / 10).toStdString());
            jobs.SetPosition(done);
        }
        return jobs.PostJobCompleted();
    });
    return waited.IsCompleted();
}

bool CMainFrame::CheckPhone(bool disconnectFirst) {
    m_contentView->EndEdit();
    if (!WaitForSpcPenalty()) return false;
    if (m_doc.Phone().CheckConnected()) return true;
    if (disconnectFirst) m_doc.Phone().Disconnect();
    SetConnectionState(kNotConnected);
    m_doc.Jobs().Messages().ShowMessage(tr("Phone not connected").toStdString(), EMessageIcon::Error, tr("ERROR").toStdString());
    return false;
}

void CMainFrame::OnConnect() {
    m_doc.Phone().Disconnect();
    const SOutcome connected = m_doc.Phone().Connect();
    SetConnectionState(connected.IsCompleted() ? kConnected : kCantConnect);
    if (connected.IsCompleted()) return;
    // A port that can't be opened is told; a phone that does not answer shows in the state.
    if (!m_doc.Phone().IsConnected()) Tell(connected);
    m_doc.Phone().Disconnect();
}

void CMainFrame::OnDisconnect() {
    m_doc.Phone().Disconnect();
    SetConnectionState(kNotConnected);
}

void CMainFrame::OnComPort(int number) {
    ChoosePort(number, std::string());
    m_portBox->ShowChoice(number, std::string());
}

void CMainFrame::OnPortDropDown() {
    std::vector<SComPort> ports;
    if (m_portLister(ports)) m_portBox->SetPorts(ports);
}

void CMainFrame::UpdateComMenu() {
    for (int id = kComFirst; id <= kComLast; ++id) Action(id)->setEnabled(false);
    for (QAction* action : m_systemPortActions) delete action;
    m_systemPortActions.clear();
    std::vector<SComPort> ports;
    if (m_portLister(ports)) {
        // Every port by the system's name, USB ones with their ids, after the numbered entries.
        if (!ports.empty()) m_systemPortActions.push_back(m_portMenu->addSeparator());
        for (const SComPort& port : ports) {
            QString text = QString::fromStdString(port.name).replace("&", "&&");
            if (!port.description.empty()) text += " - " + QString::fromStdString(port.description).replace("&", "&&");
            if (!port.usbIds.empty()) text += " " + tr("[USB %1]").arg(QString::fromStdString(port.usbIds));
            QAction* action = m_portMenu->addAction(text);
            action->setObjectName("SystemPort");
            action->setToolTip(QString::fromStdString(port.device));
            action->setCheckable(true);
            action->setChecked(m_doc.Phone().Settings().portName == port.device);
            const std::string device = port.device;
            connect(action, &QAction::triggered, this, [this, device] {
                ChoosePort(0, device);
                m_portBox->ShowChoice(0, device);
            });
            m_systemPortActions.push_back(action);
        }
        m_portBox->SetPorts(ports);
        for (const SComPort& port : ports)
            if (port.number >= 1 && port.number <= kComLast - kComFirst + 1)
                Action(kComFirst - 1 + port.number)->setEnabled(true);
    }
    // "Com 20" is chosen in the port box only.
    Action(kComLast)->setEnabled(false);
    for (int id = kComFirst; id <= kComLast; ++id)
        Action(id)->setChecked(m_doc.Phone().Settings().portName.empty() && id == kComFirst - 1 + m_doc.Phone().Settings().comPort);
    m_portBox->ShowChoice(m_doc.Phone().Settings().comPort, m_doc.Phone().Settings().portName);
}

void CMainFrame::Upload(const std::string& list) {
    const SOutcome outcome = m_doc.Upload(list);
    Tell(outcome);
    bool uploaded = outcome.IsCompleted();
    // The document stays as it was unless the user wants what a failed upload read.
    if (!uploaded && m_doc.HasPartialUpload() &&
        m_doc.Jobs().Messages().AskYesNo(tr("Keep the records read so far as a new, unsaved document? Items that could "
                                     "not be read are marked X.")
                                      .toStdString()))
        uploaded = Tell(m_doc.TakePartialUpload());
    QString text = uploaded ? QString::fromStdString(SItemCounts::Of(m_doc.Items()).UploadedText()) : QString();
    if (uploaded && !outcome.IsCompleted()) text += " (" + OutcomeText(outcome, {}) + ")";
    Report(uploaded ? SOutcome::Done() : outcome, text);
    ShowRecordsAfterLoad(uploaded);
    // A phone that stopped answering is shown as gone at once, not at the next command.
    if (!m_doc.Phone().CheckConnected()) SetConnectionState(kNotConnected);
}

void CMainFrame::OnUploadAll() {
    if (CheckPhone(true) && MaySaveChanges()) Upload(m_doc.DefinitionsPath());
}

void CMainFrame::OnUploadList() {
    if (!CheckPhone(true) || !MaySaveChanges()) return;
    std::string path;
    if (AskOpen(CsvDialog(), path)) Upload(path);
}

void CMainFrame::OnDownloadAll() {
    if (CheckPhone()) ShowDownloadReport(m_doc.Download(CTessivaDoc::EScope::AllActive));
}

void CMainFrame::OnDownloadSelected() {
    if (CheckPhone() && CheckSelection()) ShowDownloadReport(m_doc.Download(CTessivaDoc::EScope::SelectedActive));
}

void CMainFrame::ShowDownloadReport(const SPhoneOutcome& outcome) {
    // The report tells how each record went; what else deserves telling comes first.
    SOutcome notes;
    notes.notes = outcome.notes;
    Tell(notes);
    // The status bar keeps the outcome after the report is closed.
    const QString summary = QString::fromStdString(outcome.report.Summary());
    ShowStatus(outcome.IsCompleted() ? summary : OutcomeText(outcome, {}) + (summary.isEmpty() ? "" : ". " + summary));
    CDownloadReportDialog dialog(outcome.report, this);
    dialog.exec();
}

void CMainFrame::OnDownloadSetting(int id, bool on) {
    QSettings settings;
    if (id == kBackUpBeforeDownload) {
        m_doc.Phone().Settings().backupBeforeWrite = on;
        settings.setValue(kBackUpKey, on);
    } else if (id == kReadsInFlight) {
        // From the next connection on; a phone that can't keep up falls back by itself.
        m_doc.Phone().Settings().readWindow = on ? kDefaultReadWindow : 1;
        settings.setValue(kReadsInFlightKey, on);
    } else {
        m_doc.Phone().Settings().verifyWrites = on;
        settings.setValue(kVerifyKey, on);
    }
}

void CMainFrame::OnRestoreLastBackup() {
    if (!CheckPhone()) return;
    const std::string path = m_doc.Phone().LastBackupPath();
    if (path.empty()) {
        m_doc.Jobs().Messages().ShowMessage(
            tr("There is no backup in %1.").arg(QString::fromStdString(m_doc.Phone().Settings().backupFolder)).toStdString(),
            EMessageIcon::Information);
        return;
    }
    RestoreToPhone(path, tr("Write the last backup, %1, to the phone? What it replaces is backed up first.")
                             .arg(QString::fromStdString(path)));
}

void CMainFrame::OnRestoreToPhone() {
    if (!CheckPhone()) return;
    SFileDialogRequest request = BackupsDialog();
    request.otherFilterLabel = tr("All files (*)").toStdString();
    std::string path;
    if (!AskOpen(request, path)) return;
    RestoreToPhone(path, tr("Write %1 to the phone: every record of every subscription and every item file it holds? "
                            "What it replaces is backed up first.")
                             .arg(QString::fromStdString(path)));
}

void CMainFrame::RestoreToPhone(const std::string& path, const QString& question) {
    IMessageSink& ask = m_doc.Jobs().Messages();
    if (AskBeforeWrite(ask, question.toStdString()) != EWriteChoice::Yes) return;
    // Full restores are done offline: nothing the phone runs meanwhile changes what is written.
    const EWriteChoice offline = AskBeforeWrite(
        ask,
        tr("Put the phone offline while the backup is written, and restart it after? No writes it while the phone "
           "runs; Cancel writes nothing.")
            .toStdString(),
        true);
    if (offline == EWriteChoice::Cancel) return Report(SOutcome::Stop(tr("cancelled, nothing was written").toStdString()), {});
    const SPhoneOutcome outcome = m_doc.Phone().Restore(path, offline == EWriteChoice::Yes);
    // A backup that could not be read has nothing to report but why.
    if (!outcome.IsCompleted() && outcome.report.Rows().empty() && outcome.report.backupError.empty()) {
        Tell(outcome);
        Report(outcome, {});
    } else
        ShowDownloadReport(outcome);
    ShowLinkState();
}

void CMainFrame::OnBackUpPhone() {
    if (!CheckPhone()) return;
    SFileDialogRequest request;
    request.defaultExtension = "qcn";
    request.filterPattern = "*.qcn";
    request.filterLabel = tr(NumberedLayoutLabel()).toStdString();
    request.otherFilterLabel = tr(BackupCommandsOf(EBackupKind::Xqcn)->typeLabel).toStdString();
    request.initialName = "phone-" + FileTimeStamp() + ".qcn";
    request.overwritePrompt = true;
    int chosen = 0;
    request.chosenFilter = &chosen;
    std::string path;
    if (!AskSave(request, path)) return;
    ShowDownloadReport(m_doc.Phone().BackupPhone(WithExtension(path, chosen == 1 ? "xqcn" : "qcn")));
    ShowLinkState();
}

void CMainFrame::ShowLinkState() {
    if (!m_doc.Phone().CheckConnected()) SetConnectionState(kNotConnected);
}

void CMainFrame::OnOpenBackupsFolder() {
    const std::string folder = m_doc.Phone().Settings().backupFolder;
    (void)MakeBackupFolder(folder);  // a folder that can't be made is told by the file manager
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

void CMainFrame::OnPhoneFiles() {
    if (!CheckPhone()) return;
    CEfsClient efs(m_doc.Phone().Link());
    CPhoneFilesDialog dialog(efs, m_chooser, m_doc.Jobs().Messages(), m_doc.Phone().Settings().backupFolder, this);
    dialog.SetLinkCheck([link = m_doc.Phone().Link()] { return !link || link->HasFailed(); });
    dialog.exec();
    ShowLinkState();
}

void CMainFrame::OnSpc() {
    if (!CheckPhone()) return;
    CSPCCodeDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (Tell(m_doc.Phone().SendSpcCode(dialog.Code())))
        m_doc.Jobs().Messages().ShowMessage(tr("SPC code accepted.").toStdString(), EMessageIcon::Information);
    else
        m_spcPenaltyEnd = std::chrono::steady_clock::now() + m_spcPenalty;
}
