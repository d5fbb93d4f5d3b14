// The window's file commands: the backup kinds' loads and saves, Open, Save, Save As, the
// merge, Compare, the CSV lists, the type import and the recent files.
#include "ui/main_frame.h"

#include "doc/file_chooser.h"
#include "doc/backup_reader.h"
#include "doc/tessiva_doc.h"
#include "files/backup_kind.h"
#include "jobs/job_control.h"
#include "jobs/message_sink.h"
#include "ui/backup_commands.h"
#include "ui/compare_dialog.h"
#include "ui/doc_views.h"
#include "ui/file_dialog_chooser.h"
#include "ui/nv_content_view.h"
#include "ui/overwrite_dialog.h"

#include <QAction>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {
SFileDialogRequest DialogRequest(const char* extension, const QString& label) {
    SFileDialogRequest request;
    request.defaultExtension = extension;
    request.filterPattern = std::string("*.") + extension;
    request.initialName = request.filterPattern;
    request.filterLabel = label.toStdString();
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    return request;
}
}  // namespace

SFileDialogRequest CMainFrame::BackupsDialog() {
    SFileDialogRequest request;
    request.filterLabel = tr("Backups (*.brt *.cnv *.qcn *.xqcn)").toStdString();
    request.filterPattern = "*.brt *.cnv *.qcn *.xqcn";
    return request;
}

std::string CMainFrame::WithExtension(std::string path, const char* extension) {
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix();
    if (suffix.compare(extension, Qt::CaseInsensitive) == 0) return path;
    if (BackupKindOfName(path) != EBackupKind::Unknown) path.resize(path.size() - static_cast<size_t>(suffix.size()) - 1);
    return path + "." + extension;
}

QString CMainFrame::FileName(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); }

void CMainFrame::OnLoadKind(const SBackupCommands& kind) {
    // "Save changes?" comes before the file dialog, as for every load.
    if (!MaySaveChanges()) return;
    std::string path;
    if (AskOpen(DialogRequest(kind.extension, tr(kind.dialogLabel)), path)) LoadBackupFile(path);
}

void CMainFrame::OnSaveKind(const SBackupCommands& kind, bool selectedOnly) {
    if (selectedOnly && !CheckSelection()) return;
    SFileDialogRequest request = DialogRequest(kind.extension, tr(kind.dialogLabel));
    if (selectedOnly) request = ForSelection(request);
    // The first type keeps the QCN layout the items came in; the second chooses numbered items.
    int chosen = 0;
    if (kind.offersNumberedLayout) {
        request.otherFilterLabel = tr(NumberedLayoutLabel()).toStdString();
        request.chosenFilter = &chosen;
    }
    std::string path;
    if (!AskSave(request, path)) return;
    SaveAs(WithExtension(path, kind.extension), selectedOnly,
           chosen == 1 ? CBackupFiles::ESaveLayout::Numbered : CBackupFiles::ESaveLayout::AsLoaded);
}

bool CMainFrame::SaveAs(const std::string& path, bool selectedOnly, CBackupFiles::ESaveLayout layout) {
    const SOutcome outcome =
        m_doc.SaveBackup(path, selectedOnly ? CTessivaDoc::EScope::SelectedActive : CTessivaDoc::EScope::AllActive, layout);
    Tell(outcome);
    Report(outcome, tr("Saved %1 to %2").arg(Records(outcome.records), FileName(path)));
    if (outcome.IsCompleted() && !selectedOnly) RememberFile(path);
    UpdateTitle();
    return outcome.IsCompleted();
}

void CMainFrame::OnSave() {
    m_contentView->EndEdit();
    const std::string path = m_doc.DocumentPath();
    // Without a file of a kind its name tells, Save is Save As.
    if (path.empty() || BackupKindOfName(path) == EBackupKind::Unknown) return OnSaveAs();
    SaveAs(path, false, CBackupFiles::ESaveLayout::AsLoaded);
}

void CMainFrame::OnSaveAs() {
    // Every kind as a file type, the numbered QCN layout after QCN; the dialog starts on the
    // kind the records came in (CNV for records of no file).
    struct SType {
        const SBackupCommands* kind;
        CBackupFiles::ESaveLayout layout;
    };
    std::vector<SType> types;
    std::vector<std::string> labels;
    for (const SBackupCommands& kind : BackupCommands()) {
        types.push_back({&kind, CBackupFiles::ESaveLayout::AsLoaded});
        labels.push_back(tr(kind.typeLabel).toStdString());
        if (kind.offersNumberedLayout) {
            types.push_back({&kind, CBackupFiles::ESaveLayout::Numbered});
            labels.push_back(tr(NumberedLayoutLabel()).toStdString());
        }
    }
    const std::string& current = m_doc.DocumentPath();
    EBackupKind currentKind = current.empty() ? EBackupKind::Cnv : BackupKindOfName(current);
    if (currentKind == EBackupKind::Unknown) currentKind = EBackupKind::Cnv;
    // A numbered QCN document starts on the numbered-items layout.
    const bool numbered = currentKind == EBackupKind::Qcn && m_doc.SavesNumbered();
    int chosen = 0;
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i].kind->kind == currentKind && (types[i].layout == CBackupFiles::ESaveLayout::Numbered) == numbered) {
            chosen = static_cast<int>(i);
            break;
        }
    SFileDialogRequest request = DialogRequest(types[static_cast<size_t>(chosen)].kind->extension, {});
    request.filterLabel = labels[0];
    request.otherFilterLabel = labels[1];
    request.moreFilterLabels.assign(labels.begin() + 2, labels.end());
    if (!current.empty()) request.initialName = FileName(current).toStdString();
    request.chosenFilter = &chosen;
    std::string path;
    if (!AskSave(request, path)) return;
    const SType& type = types[static_cast<size_t>(std::clamp(chosen, 0, static_cast<int>(types.size()) - 1))];
    SaveAs(WithExtension(path, type.kind->extension), false, type.layout);
}

SFileDialogRequest CMainFrame::ForSelection(SFileDialogRequest request) const {
    // "sample-selected.cnv" under the kind's own label: a name to keep, not a pattern.
    const std::string& current = m_doc.DocumentPath();
    const QString stem = current.empty() ? QString() : QFileInfo(QString::fromStdString(current)).completeBaseName() + "-";
    request.initialName = (stem + tr("selected") + "." + QString::fromStdString(request.defaultExtension)).toStdString();
    for (const SBackupCommands& kind : BackupCommands())
        if (request.defaultExtension == kind.extension) request.filterLabel = tr(kind.typeLabel).toStdString();
    return request;
}

QString CMainFrame::CommandTitle() const {
    const QAction* action = Action(m_command);
    if (!action) return tr("Open Backup");
    // The menu's words without the Alt letter's mark and the dots of a dialog to come.
    QString text = action->text();
    text.replace(QRegularExpression("&(.)"), "\\1");
    if (text.endsWith("...")) text.chop(3);
    return text;
}

SFileDialogRequest CMainFrame::Titled(SFileDialogRequest request) const {
    if (request.title.empty()) request.title = CommandTitle().toStdString();
    return request;
}

bool CMainFrame::AskOpen(const SFileDialogRequest& request, std::string& path) {
    m_contentView->EndEdit();
    if (!m_chooser.ChooseOpenFile(Titled(request), path)) return false;
    QSettings().setValue(kLastFolderKey, QFileInfo(QString::fromStdString(path)).absolutePath());
    return true;
}

bool CMainFrame::AskSave(const SFileDialogRequest& request, std::string& path) {
    m_contentView->EndEdit();
    if (!m_chooser.ChooseSaveFile(Titled(request), path)) return false;
    QSettings().setValue(kLastFolderKey, QFileInfo(QString::fromStdString(path)).absolutePath());
    return true;
}

bool CMainFrame::AskSaveChangesAs(std::string& path) {
    SFileDialogRequest request = DialogRequest("cnv", tr("CNV files (*.cnv)"));
    request.title = tr("Save Changes").toStdString();
    return m_chooser.ChooseSaveFile(request, path);
}

bool CMainFrame::OpenBackup(const std::string& path) { return MaySaveChanges() && LoadBackupFile(path); }

bool CMainFrame::LoadBackupFile(const std::string& path) {
    const SOutcome outcome = m_doc.LoadBackup(path);
    // Warnings come up as messages; what a load only informs of (records kept as undefined
    // items) follows its result in the status bar, so a load asks for no click.
    SOutcome warnings = outcome;
    QString information;
    std::erase_if(warnings.notes, [&](const SNote& note) {
        if (note.kind != SNote::EKind::Information) return false;
        information += " " + QString::fromStdString(note.text).simplified();
        return true;
    });
    const bool loaded = Tell(warnings);
    if (loaded) RememberFile(path);
    Report(outcome, tr("Loaded %1 from %2").arg(Records(outcome.records), FileName(path)) +
                        (information.isEmpty() ? QString() : " -" + information));
    ShowRecordsAfterLoad(loaded);
    return loaded;
}

void CMainFrame::OnOpenBackup() {
    SFileDialogRequest request = BackupsDialog();
    request.otherFilterLabel = tr("All files (*)").toStdString();
    if (!MaySaveChanges()) return;
    std::string path;
    // "Save changes?" comes before the file dialog, as for every load.
    if (AskOpen(request, path)) LoadBackupFile(path);
}

void CMainFrame::OnAddCnv() {
    std::string path;
    if (!AskOpen(DialogRequest("cnv", tr("output files (*.cnv)")), path)) return;
    COverwriteDialog prompt(this);
    m_doc.SetOverwritePrompt(&prompt);
    // The document keeps its records and selection when the file can't be added.
    const SOutcome outcome = m_doc.Merge(path);
    m_doc.SetOverwritePrompt(nullptr);
    Tell(outcome);
    Report(outcome, tr("Added the records of %1").arg(FileName(path)));
    // The content goes too: it showed values the merge may have replaced.
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    UpdateTitle();
}

void CMainFrame::OnCompare() {
    std::string path;
    if (!AskOpen(BackupsDialog(), path)) return;
    // The backup is read aside, so the document keeps its file, layout and records.
    SBackupContent backup;
    if (!Tell(ReadBackup(m_doc.Jobs(), path, m_doc.Definitions(), backup))) return;
    CCompareDialog dialog(m_doc.Items(), backup.records, m_doc.Decoder(), FileName(path), this);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().empty()) return;
    const SOutcome copied = m_doc.CopyFrom(dialog.Chosen());
    Tell(copied);
    Report(copied,
           tr("Copied %1 from %2").arg(Records(static_cast<int>(dialog.Chosen().size())), FileName(path)));
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    UpdateTitle();
}

void CMainFrame::OnCsvAll() {
    m_contentView->EndEdit();
    ReportItemList(m_doc.WriteItemList(m_doc.Items()), m_doc.Items().GetSize());
}

void CMainFrame::OnCsvSelected() {
    m_contentView->EndEdit();
    const CNVItemArray selected = m_doc.SelectedItems();
    ReportItemList(m_doc.WriteItemList(selected), selected.GetSize());
}

void CMainFrame::ReportItemList(const SOutcome& outcome, int records) {
    Tell(outcome);
    // A cancelled file dialog did nothing worth a word.
    if (!outcome.IsStopped()) Report(outcome, tr("Created the CSV file of %1").arg(Records(records)));
}

void CMainFrame::OnImportTypes() {
    if (!MaySaveChanges()) return;
    std::string path;
    if (!AskOpen(DialogRequest("def", tr("def files (*.def)")), path)) return;
    // A failed or stopped import leaves the catalogue of the last good NVTypes.typ in force.
    Tell(m_doc.ImportTypes(path, [this](int, int, const std::string& text) { return m_doc.Jobs().Messages().AskYesNo(text); }));
}

QStringList CMainFrame::RecentFiles() const { return QSettings().value(kRecentKey).toStringList(); }

void CMainFrame::RememberFile(const std::string& path) {
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    QStringList recent = RecentFiles();
    recent.removeAll(file);
    recent.prepend(file);
    while (recent.size() > kRecentCount) recent.removeLast();
    QSettings settings;
    settings.setValue(kRecentKey, recent);
    settings.setValue(kLastFolderKey, QFileInfo(file).absolutePath());
    RebuildRecentMenu();
}
