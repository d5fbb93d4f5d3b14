#pragma once
#include "doc/file_chooser.h"

class QWidget;

// QSettings key of the folder the last file was chosen in.
inline constexpr const char* kLastFolderKey = "Files/LastFolder";

// Open and save dialogs of the desktop program.
class CFileDialogChooser : public IFileChooser {
public:
    explicit CFileDialogChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    bool ChooseOpenFile(const SFileDialogRequest& request, std::string& path) override;
    bool ChooseSaveFile(const SFileDialogRequest& request, std::string& path) override;

private:
    bool Choose(const SFileDialogRequest& request, bool save, std::string& path);
    QWidget* m_parent;
};
