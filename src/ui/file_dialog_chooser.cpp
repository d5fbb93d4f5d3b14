#include "file_dialog_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

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

bool CFileDialogChooser::ChooseOpenFile(const SFileDialogSpec& spec, std::string& path) {
    return Choose(spec, false, path);
}

bool CFileDialogChooser::ChooseSaveFile(const SFileDialogSpec& spec, std::string& path) {
    return Choose(spec, true, path);
}

bool CFileDialogChooser::Choose(const SFileDialogSpec& spec, bool save, std::string& path) {
    CPatternSafeFileDialog dialog(m_parent, save ? QObject::tr("Save As") : QObject::tr("Open"), QDir::currentPath(),
                       QString::fromStdString(spec.filterLabel));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save && !spec.overwritePrompt);
    if (!spec.initialName.empty()) dialog.selectFile(QString::fromStdString(spec.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return true;
}
