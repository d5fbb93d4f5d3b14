#include "ui/phone_files_dialog.h"

#include "ui/write_question.h"

#include "doc/backup_folder.h"
#include "doc/file_chooser.h"
#include "doc/phone_file_change.h"
#include "files/byte_reader.h"
#include "files/safe_file_writer.h"
#include "jobs/message_sink.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

enum EColumn { kName, kSize, kType };

QString TypeText(const SEfsEntry& entry) {
    if (entry.IsFolder()) return CPhoneFilesDialog::tr("Folder");
    if (entry.type == kEfsEntryLink) return CPhoneFilesDialog::tr("Link");
    if ((entry.mode & kEfsTypeMask) == kEfsItemFileType) return CPhoneFilesDialog::tr("Item file");
    return CPhoneFilesDialog::tr("File");
}

QString Bytes(size_t count) { return CPhoneFilesDialog::tr("%1 bytes").arg(QLocale().toString(qulonglong(count))); }

// "/a/b" -> "/a"; "/a" -> "/".
std::string ParentOf(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : folder.substr(0, slash);
}
}  // namespace

CPhoneFilesDialog::CPhoneFilesDialog(CEfsClient& efs, IFileChooser& chooser, IMessageSink& messages,
                                     std::string backupFolder, QWidget* parent)
    : QDialog(parent), m_efs(efs), m_chooser(chooser), m_messages(messages), m_backupFolder(std::move(backupFolder)) {
    setObjectName("PhoneFilesDialog");
    setWindowTitle(tr("Phone Files"));
    auto* layout = new QVBoxLayout(this);

    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(tr("&Folder:"), this);
    m_pathBox = new QLineEdit(this);
    m_pathBox->setObjectName("PathBox");
    pathLabel->setBuddy(m_pathBox);
    m_up = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogToParent), tr("&Up"), this);
    m_up->setToolTip(tr("The folder above (Backspace)"));
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(m_pathBox, 1);
    pathRow->addWidget(m_up);
    layout->addLayout(pathRow);

    m_entries = new QTreeWidget(this);
    m_entries->setObjectName("PhoneEntries");
    m_entries->setHeaderLabels({tr("Name"), tr("Size"), tr("Type")});
    m_entries->setRootIsDecorated(false);
    m_entries->setUniformRowHeights(true);
    m_entries->setAllColumnsShowFocus(true);
    m_entries->header()->setStretchLastSection(false);
    m_entries->header()->setSectionResizeMode(kName, QHeaderView::Stretch);
    m_entries->header()->setSectionResizeMode(kSize, QHeaderView::ResizeToContents);
    m_entries->header()->setSectionResizeMode(kType, QHeaderView::ResizeToContents);
    layout->addWidget(m_entries, 1);

    auto* buttons = new QHBoxLayout;
    m_save = new QPushButton(tr("&Save to Disk..."), this);
    m_put = new QPushButton(tr("&Put File..."), this);
    m_delete = new QPushButton(tr("&Delete"), this);
    m_stop = new QPushButton(tr("S&top"), this);
    m_close = new QPushButton(tr("Close"), this);
    for (QPushButton* button : {m_up, m_save, m_put, m_delete, m_stop, m_close}) {
        // Enter belongs to the path box and the list, never to a button.
        button->setAutoDefault(false);
    }
    buttons->addWidget(m_save);
    buttons->addWidget(m_put);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(fontMetrics().height());
    m_status = new QLabel(this);
    m_status->setObjectName("PhoneFilesStatus");
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    // Two lines kept free: a long reason does not make the list jump.
    m_status->setMinimumHeight(2 * fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    m_progress->hide();
    m_stop->hide();

    m_refresh = new QTimer(this);
    m_refresh->setInterval(50);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        if (m_progress->maximum() > 0) m_progress->setValue(static_cast<int>(std::min<size_t>(m_done, m_progress->maximum())));
    });

    connect(m_pathBox, &QLineEdit::returnPressed, this, [this] {
        std::string path = m_pathBox->text().trimmed().toStdString();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (path.empty() || path[0] != '/') path = JoinEfsPath(m_folder, path);
        Browse(path);
    });
    connect(m_up, &QPushButton::clicked, this, &CPhoneFilesDialog::GoUp);
    connect(m_entries, &QTreeWidget::itemActivated, this, [this] {
        if (const SEfsEntry* entry = Current(); entry && entry->IsFolder()) Browse(PathOf(*entry));
    });
    connect(m_entries, &QTreeWidget::currentItemChanged, this, &CPhoneFilesDialog::UpdateButtons);
    connect(m_save, &QPushButton::clicked, this, &CPhoneFilesDialog::SaveToDisk);
    connect(m_put, &QPushButton::clicked, this, &CPhoneFilesDialog::PutFile);
    connect(m_delete, &QPushButton::clicked, this, &CPhoneFilesDialog::DeleteEntry);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_stopRequested = true; });
    connect(m_close, &QPushButton::clicked, this, &CPhoneFilesDialog::reject);
    auto* up = new QShortcut(QKeySequence(Qt::Key_Backspace), m_entries);
    up->setContext(Qt::WidgetShortcut);
    connect(up, &QShortcut::activated, this, &CPhoneFilesDialog::GoUp);
    auto* remove = new QShortcut(QKeySequence::Delete, m_entries);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &CPhoneFilesDialog::DeleteEntry);

    SetBusy(false);
    m_entries->setFocus();
    resize(640, 440);
}

CPhoneFilesDialog::~CPhoneFilesDialog() {
    // The worker may not outlive the client it uses; its answer to this dialog is dropped.
    m_stopRequested = true;
    if (m_worker.joinable()) m_worker.join();
}

void CPhoneFilesDialog::reject() {
    if (m_busy) {
        m_stopRequested = true;
        return;
    }
    QDialog::reject();
}

void CPhoneFilesDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    // Item files are what people come for; a phone without that folder starts at the top.
    List("/nv/item_files", {}, {});
}

void CPhoneFilesDialog::Say(const QString& text) { m_status->setText(text); }

void CPhoneFilesDialog::SayPhoneError(const QString& what) { Say(tr("%1: %2").arg(what, Q(m_efs.LastError()))); }

void CPhoneFilesDialog::SetBusy(bool busy) {
    m_busy = busy;
    m_stop->setVisible(busy);
    m_progress->setVisible(busy);
    UpdateButtons();
}

void CPhoneFilesDialog::UpdateButtons() {
    const SEfsEntry* entry = m_busy ? nullptr : Current();
    for (QWidget* w : std::initializer_list<QWidget*>{m_pathBox, m_up, m_entries, m_close}) w->setEnabled(!m_busy);
    // A put goes into the folder shown: none before a first listing.
    m_put->setEnabled(!m_busy && !m_folder.empty());
    m_save->setEnabled(entry && !entry->IsFolder());
    m_delete->setEnabled(entry != nullptr);
}

void CPhoneFilesDialog::RunOnPhone(const QString& what, size_t total, std::function<bool()> work,
                                   std::function<void(bool)> done) {
    m_done = 0;
    m_stopRequested = false;
    m_progress->setRange(0, static_cast<int>(std::min<size_t>(total, CEfsClient::kMaxFileSize)));
    m_progress->setValue(0);
    Say(what);
    m_focus = QApplication::focusWidget();
    SetBusy(true);
    m_refresh->start();
    m_efs.SetProgress([this](size_t bytes) {
        m_done = bytes;
        return !m_stopRequested.load();
    });
    m_worker = std::thread([this, work = std::move(work), done = std::move(done)] {
        bool ok = false;
        try {
            ok = work();
        } catch (const std::exception&) {
            ok = false;  // out of memory on a huge listing: the phone's last reason stands
        }
        QMetaObject::invokeMethod(
            this,
            [this, ok, done] {
                m_worker.join();
                m_efs.SetProgress({});
                m_refresh->stop();
                // A lost link leaves no listing that could still be true.
                if (!ok && m_linkLost && m_linkLost()) {
                    m_list.clear();
                    m_entries->clear();
                }
                SetBusy(false);
                // The keyboard goes back to the path box it was typing in, else to the list:
                // Backspace, Enter and the arrows browse on after a button.
                QWidget* focus = m_focus == m_pathBox ? m_pathBox : static_cast<QWidget*>(m_entries);
                if (focus->isEnabled()) focus->setFocus();
                done(ok);
            },
            Qt::QueuedConnection);
    });
}

void CPhoneFilesDialog::Browse(const std::string& folder) {
    // Up shows the folder it came from under the cursor.
    List(folder, ParentOf(m_folder) == folder ? m_folder : std::string(), {});
}

void CPhoneFilesDialog::List(const std::string& folder, const std::string& select, const QString& message) {
    auto entries = std::make_shared<std::vector<SEfsEntry>>();
    RunOnPhone(tr("Listing %1...").arg(Q(folder)), 0, [this, folder, entries] { return m_efs.ListFolder(folder, *entries); },
               [this, folder, entries, select, message](bool listed) {
                   if (!listed) {
                       const QString error = tr("Can't list %1: %2").arg(Q(folder), Q(m_efs.LastError()));
                       Say(message.isEmpty() ? error : message + " " + error);
                       m_pathBox->setText(Q(m_folder));
                       // The first listing falls back to the top.
                       if (m_folder.empty() && folder != "/") List("/", {}, {});
                       return;
                   }
                   // Folders first, then files, each by name.
                   std::sort(entries->begin(), entries->end(), [](const SEfsEntry& a, const SEfsEntry& b) {
                       return a.IsFolder() != b.IsFolder() ? a.IsFolder() : a.name < b.name;
                   });
                   m_folder = folder;
                   m_list = std::move(*entries);
                   ShowEntries();
                   for (int i = 0; i < m_entries->topLevelItemCount(); ++i)
                       if (PathOf(m_list[static_cast<size_t>(i)]) == select) m_entries->setCurrentItem(m_entries->topLevelItem(i));
                   const size_t count = m_list.size();
                   Say(!message.isEmpty() ? message : count == 1 ? tr("1 entry") : tr("%1 entries").arg(count));
               });
}

void CPhoneFilesDialog::ShowEntries() {
    m_pathBox->setText(Q(m_folder));
    m_entries->clear();
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    for (const SEfsEntry& entry : m_list) {
        auto* item = new QTreeWidgetItem(m_entries);
        item->setText(kName, Q(entry.name));
        item->setIcon(kName, entry.IsFolder() ? folderIcon : fileIcon);
        if (!entry.IsFolder()) item->setText(kSize, QLocale().toString(entry.size));
        item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(kType, TypeText(entry));
    }
    if (m_entries->topLevelItemCount() > 0) m_entries->setCurrentItem(m_entries->topLevelItem(0));
    UpdateButtons();
}

const SEfsEntry* CPhoneFilesDialog::Current() const {
    const int row = m_entries->indexOfTopLevelItem(m_entries->currentItem());
    return row >= 0 && static_cast<size_t>(row) < m_list.size() ? &m_list[static_cast<size_t>(row)] : nullptr;
}

void CPhoneFilesDialog::GoUp() {
    if (!m_busy && m_folder != "/") Browse(ParentOf(m_folder));
}

void CPhoneFilesDialog::SaveToDisk() {
    const SEfsEntry* entry = Current();
    if (m_busy || !entry || entry->IsFolder()) return;
    const std::string path = PathOf(*entry);
    const auto size = static_cast<size_t>(entry->size);
    SFileDialogRequest request;
    request.title = tr("Save Phone File to Disk").toStdString();
    request.filterLabel = tr("All files (*)").toStdString();
    request.filterPattern = "*";
    request.initialName = HostFileName(entry->name);
    request.overwritePrompt = true;
    std::string target;
    if (!m_chooser.ChooseSaveFile(request, target)) return;
    auto data = std::make_shared<std::vector<uint8_t>>();
    RunOnPhone(tr("Reading %1...").arg(Q(path)), size, [this, path, data, size] { return m_efs.ReadFile(path, *data, size); },
               [this, path, data, target](bool read) {
                   if (!read) return SayPhoneError(tr("Can't read the file"));
                   std::string error;
                   if (!CSafeFileWriter::WriteWholeFile(target, *data, error))
                       return Say(tr("Can't write %1: %2").arg(Q(target), Q(error)));
                   Say(tr("Saved %1 (%2) as %3.").arg(Q(path), Bytes(data->size()), Q(target)));
               });
}

void CPhoneFilesDialog::PutFile() {
    if (m_busy || m_folder.empty()) return;
    SFileDialogRequest request;
    request.title = tr("Put File on the Phone").toStdString();
    request.filterLabel = tr("All files (*)").toStdString();
    request.filterPattern = "*";
    std::string source;
    if (!m_chooser.ChooseOpenFile(request, source)) return;
    auto data = std::make_shared<std::vector<uint8_t>>();
    std::string error;
    // The whole host file before the phone is touched: a device, a pipe or a folder is refused.
    if (!CByteReader::ReadFile(source, *data, error))
        return Say(tr("Can't read %1: %2").arg(Q(source), Q(error)));
    if (data->size() > CEfsClient::kMaxFileSize)
        return Say(tr("%1 is larger than the 64 MB a phone file may hold.").arg(Q(source)));
    const std::string path = JoinEfsPath(m_folder, std::filesystem::path(source).filename().string());
    auto stat = std::make_shared<SEfsStat>();
    RunOnPhone(tr("Looking for %1...").arg(Q(path)), 0, [this, path, stat] { return m_efs.Stat(path, *stat); },
               [this, path, stat, data](bool exists) {
                   if (!exists && m_efs.LastErrno() != kEfsNoEntry)
                       return SayPhoneError(tr("Can't tell whether the file exists"));
                   if (exists && stat->IsFolder()) return Say(tr("%1 is a folder on the phone; nothing was written.").arg(Q(path)));
                   if (exists && AskBeforeWrite(m_messages, tr("%1 exists on the phone. Replace it? The phone's file is copied "
                                                               "into the backups folder first.")
                                                                .arg(Q(path))
                                                                .toStdString()) != EWriteChoice::Yes)
                       return Say(tr("Nothing was written."));
                   Write(path, data);
               });
}

void CPhoneFilesDialog::Write(const std::string& path, std::shared_ptr<const std::vector<uint8_t>> data) {
    // A file keeps its type; a new one below the item-file folders is an item file.
    auto change = std::make_shared<CPhoneFileChange>(m_efs, m_backupFolder);
    RunOnPhone(tr("Writing %1...").arg(Q(path)), data->size(), [change, path, data] { return change->Put(path, *data); },
               [this, path, data, change](bool written) {
                   QString text = !written               ? Q(change->Error())
                                  : change->Unchanged() ? tr("%1 holds these %2 already: nothing was written.").arg(Q(path), Bytes(data->size()))
                                                        : tr("Wrote %1 (%2).").arg(Q(path), Bytes(data->size()));
                   if (!change->CopyPath().empty()) text += " " + tr("The phone's old file is in %1.").arg(Q(change->CopyPath()));
                   List(m_folder, path, text);
               });
}

void CPhoneFilesDialog::DeleteEntry() {
    const SEfsEntry* entry = Current();
    if (m_busy || !entry) return;
    const std::string path = PathOf(*entry);
    const bool folder = entry->IsFolder();
    const QString question = folder ? tr("Delete the folder %1 from the phone? Only an empty folder can be deleted.")
                                    : tr("Delete %1 from the phone? It is copied into the backups folder first.");
    if (AskBeforeWrite(m_messages, question.arg(Q(path)).toStdString()) != EWriteChoice::Yes) return;
    auto change = std::make_shared<CPhoneFileChange>(m_efs, m_backupFolder);
    RunOnPhone(tr("Deleting %1...").arg(Q(path)), folder ? 0 : static_cast<size_t>(entry->size),
               [change, path] { return change->Remove(path); },
               [this, path, change](bool removed) {
                   if (!removed) return Say(tr("Can't delete: %1").arg(Q(change->Error())));
                   QString text = tr("Deleted %1.").arg(Q(path));
                   if (!change->CopyPath().empty()) text += " " + tr("A copy is in %1.").arg(Q(change->CopyPath()));
                   List(m_folder, {}, text);
               });
}
