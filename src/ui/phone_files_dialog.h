#pragma once
#include "phone/efs_client.h"

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class IFileChooser;
class IMessageSink;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

// Connection > "Phone Files": the phone's file system by hand. Folders are browsed with a
// double-click, the path box and Up; the file under the cursor is saved to disk or deleted,
// and a file from disk is put into the folder shown. A file that is replaced or deleted is
// first copied into the backups folder. The phone is asked on a worker thread, so the dialog
// stays alive and shows a long transfer's progress (Stop or Escape ends it); each step goes on
// when the phone has answered, without a nested event loop. What the phone refused shows in
// the status line with its reason.
class CPhoneFilesDialog : public QDialog {
    Q_OBJECT
public:
    CPhoneFilesDialog(CEfsClient& efs, IFileChooser& chooser, IMessageSink& messages, std::string backupFolder,
                      QWidget* parent = nullptr);
    ~CPhoneFilesDialog() override;

    // Shows folder's entries once the phone listed them; when it can't, the listing shown
    // before stays and the status line says why.
    void Browse(const std::string& folder);
    void GoUp();
    void SaveToDisk();
    void PutFile();
    void DeleteEntry();

    // Tells whether the link to the phone was lost; the list empties then.
    void SetLinkCheck(std::function<bool()> linkLost) { m_linkLost = std::move(linkLost); }

    // True while the phone is being asked.
    bool IsBusy() const { return m_busy; }
    const std::string& Folder() const { return m_folder; }
    QTreeWidget* Entries() const { return m_entries; }
    QLineEdit* PathBox() const { return m_pathBox; }
    QLabel* StatusLine() const { return m_status; }
    QProgressBar* Progress() const { return m_progress; }

public slots:
    // While the phone is being asked: stops the transfer instead of closing.
    void reject() override;

protected:
    // The first showing lists the item files' folder, or the top when the phone lacks it.
    void showEvent(QShowEvent* event) override;

private:
    // Runs work on a worker thread, the bar sized by total bytes (0: a busy bar), then, back
    // on the dialog's thread, done with work's result.
    void RunOnPhone(const QString& what, size_t total, std::function<bool()> work, std::function<void(bool)> done);
    // Lists folder; then the entry at select is under the cursor and the status line says
    // message (by default the count of entries).
    void List(const std::string& folder, const std::string& select, const QString& message);
    void SetBusy(bool busy);
    // Save and Delete for the entry under the cursor; nothing but Stop while busy.
    void UpdateButtons();
    void ShowEntries();
    // The entry under the cursor, or null.
    const SEfsEntry* Current() const;
    std::string PathOf(const SEfsEntry& entry) const { return JoinEfsPath(m_folder, entry.name); }
    // Writes the file whole (its old content copied into the backups folder first).
    void Write(const std::string& path, std::shared_ptr<const std::vector<uint8_t>> data);
    void Say(const QString& text);
    void SayPhoneError(const QString& what);

    CEfsClient& m_efs;
    IFileChooser& m_chooser;
    IMessageSink& m_messages;
    std::string m_backupFolder;
    std::string m_folder;
    std::vector<SEfsEntry> m_list;

    QLineEdit* m_pathBox = nullptr;
    QPushButton* m_up = nullptr;
    QTreeWidget* m_entries = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_put = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_close = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_refresh = nullptr;
    std::atomic<size_t> m_done{0};
    std::atomic<bool> m_stopRequested{false};
    std::thread m_worker;
    bool m_busy = false;
    bool m_shown = false;
    QPointer<QWidget> m_focus;  // had the focus before the phone was asked
    std::function<bool()> m_linkLost;
};
