#include "ui/file_dialog_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>

namespace {
// The initial name is a pattern ("*.brt"): confirming it, or any other pattern, names no file
// and must not create one called "*.brt".
class CPatternSafeFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QString name = QFileInfo(files.first()).fileName();
            if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) return;
        }
        QFileDialog::accept();
    }
};
}  // namespace

bool CFileDialogChooser::ChooseOpenFile(const SFileDialogRequest& request, std::string& path) {
    return Choose(request, false, path);
}

bool CFileDialogChooser::ChooseSaveFile(const SFileDialogRequest& request, std::string& path) {
    return Choose(request, true, path);
}

bool CFileDialogChooser::Choose(const SFileDialogRequest& request, bool save, std::string& path) {
    QStringList filters{QString::fromStdString(request.filterLabel)};
    if (!request.otherFilterLabel.empty()) filters << QString::fromStdString(request.otherFilterLabel);
    for (const std::string& label : request.moreFilterLabels) filters << QString::fromStdString(label);
    // Dialogs open where the user last chose a file.
    const QString folder = QSettings().value(kLastFolderKey, QDir::currentPath()).toString();
    const QString title = !request.title.empty() ? QString::fromStdString(request.title)
                          : save                 ? QObject::tr("Save As")
                                                 : QObject::tr("Open");
    CPatternSafeFileDialog dialog(m_parent, title, folder);
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save && !request.overwritePrompt);
    // The type the caller starts on; picking another makes a bare name take its suffix.
    if (request.chosenFilter && *request.chosenFilter > 0 && *request.chosenFilter < filters.size())
        dialog.selectNameFilter(filters[*request.chosenFilter]);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const QRegularExpressionMatch suffix = QRegularExpression(R"(\*\.(\w+))").match(filter);
        if (suffix.hasMatch()) dialog.setDefaultSuffix(suffix.captured(1));
    });
    if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    if (request.chosenFilter) *request.chosenFilter = std::max<int>(0, filters.indexOf(dialog.selectedNameFilter()));
    return true;
}
