#include "ui/main_frame.h"

#include "phone/com_ports.h"
#include "ui/doc_views.h"
#include "ui/download_report_dialog.h"
#include "files/backup_kind.h"
#include "ui/compare_dialog.h"
#include "ui/file_dialog_chooser.h"
#include "doc/item_comparison.h"
#include "doc/item_counts.h"
#include "doc/file_chooser.h"
#include "ui/find_dialog.h"
#include "jobs/message_sink.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "ui/overwrite_dialog.h"
#include "ui/pane_frame.h"
#include "ui/port_box.h"
#include "ui/readable_colours.h"
#include "ui/save_changes_prompt.h"
#include "ui/spc_code_dialog.h"
#include "doc/tessiva_doc.h"
#include "jobs/job_control.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QResizeEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QFileInfo>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QToolBar>
#include <set>
#include <thread>
#include <filesystem>
#include <tuple>
#include <unordered_map>

static void InitUiResources() { Q_INIT_RESOURCE(tessiva); }

// The status bar's words for how a job ended.
QString CMainFrame::OutcomeText(const SOutcome& outcome, const QString& done) {
    if (outcome.IsCompleted()) return done;
    QString why = QString::fromStdString(outcome.reason);
    // A stop always says why; without a reason of its own it was the user's.
    if (outcome.IsStopped() && why.isEmpty()) why = tr("by the user");
    return (outcome.IsStopped() ? tr("Stopped") : tr("Failed")) + (why.isEmpty() ? "" : ": " + why);
}

CMainFrame::CMainFrame(CTessivaDoc& doc, IFileChooser& chooser, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_chooser(chooser) {
    InitUiResources();
    m_portLister = [](std::vector<SComPort>& ports) { return EnumerateComPorts(ports); };
    setObjectName("CMainFrame");
    QIcon appIcon;
    for (const char* name : {"tessiva-16", "tessiva-24", "tessiva", "tessiva-48", "tessiva-64"})
        appIcon.addFile(QString(":/icons/%1.png").arg(name));
    setWindowIcon(appIcon);
    CreateCommands();
    CreateClient();
    CreateStatusBar();
    setAcceptDrops(true);
    QSize size(1280, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.95);
    resize(size);
}

CMainFrame::~CMainFrame() {
    // The panes go first, while the document views they report to still exist, and without
    // reporting: a closing editor or a tree losing its nodes is no user action.
    for (QObject* view : {static_cast<QObject*>(m_itemsTree), static_cast<QObject*>(m_selectedTree),
                          static_cast<QObject*>(m_listView)})
        view->disconnect(this);
    m_contentView->SetWriteBack(nullptr);
    m_contentView->SetViewEdit(nullptr);
    delete takeCentralWidget();
}








void CMainFrame::CreateClient() {
    m_itemsTree = new CNVTreeView(m_doc.Entries(CTessivaDoc::ETree::Items), QT_TRANSLATE_NOOP("CNVTreeView", "NV Items"));
    m_selectedTree = new CNVTreeView(m_doc.Entries(CTessivaDoc::ETree::Selected), QT_TRANSLATE_NOOP("CNVTreeView", "Selected NV Items"));
    for (const auto tree : {CTessivaDoc::ETree::Items, CTessivaDoc::ETree::Selected})
        (tree == CTessivaDoc::ETree::Items ? m_itemsTree : m_selectedTree)
            ->SetMoveOut([this, tree](const std::string& group, const std::vector<std::string>& names) {
                (void)m_doc.MoveEntries(tree, group, names);
                UpdateTitle();
            });
    m_itemsTree->SetPeer(m_selectedTree);
    m_selectedTree->SetPeer(m_itemsTree);
    m_listView = new CNVListView(QT_TRANSLATE_NOOP("CReportView", "NV Item's Attributes"));
    m_contentView = new CNVContentView(m_doc.Decoder(), QT_TRANSLATE_NOOP("CReportView", "NV Item Content"));
    m_views = std::make_unique<CDocViews>(m_doc, *m_itemsTree, *m_selectedTree, *m_listView, *m_contentView);

    m_outerSplitter = new QSplitter(Qt::Horizontal, this);
    m_outerSplitter->setObjectName("OuterSplitter");
    m_outerSplitter->setChildrenCollapsible(false);
    m_outerSplitter->addWidget(new CPaneFrame(m_itemsTree));
    m_outerSplitter->addWidget(new CPaneFrame(m_selectedTree));
    m_innerSplitter = new QSplitter(Qt::Vertical);
    m_innerSplitter->setObjectName("InnerSplitter");
    m_innerSplitter->setChildrenCollapsible(false);
    m_innerSplitter->addWidget(new CPaneFrame(m_listView));
    m_innerSplitter->addWidget(new CPaneFrame(m_contentView));
    m_outerSplitter->addWidget(m_innerSplitter);
    m_outerSplitter->setStretchFactor(2, 1);
    m_innerSplitter->setStretchFactor(1, 1);
    m_innerSplitter->installEventFilter(this);
    setCentralWidget(m_outerSplitter);

    for (CNVTreeView* tree : {m_itemsTree, m_selectedTree})
        connect(tree, &CNVTreeView::NodeSelected, this,
                [this](CNVTreeView* source, QTreeWidgetItem* node) { m_views->OnTreeSelectionChanged(*source, node); });
    connect(m_listView, &CNVListView::RowSelectionChanged, this, [this] { m_views->OnListSelectionChanged(); });
    connect(m_listView, &CNVListView::ColumnClicked, this, [this](int column) { m_views->OnColumnClick(column); });
    m_contentView->SetWriteBack([this](const std::string& name, const std::vector<uint8_t>& bytes) {
        m_views->WriteBackValue(name, bytes);
        UpdateTitle();
    });
    m_contentView->SetViewEdit([this](int, const std::string& text) {
        std::string refusal = m_views->EditView(text);
        UpdateTitle();
        return refusal;
    });

    // Insert and Delete move the current node between the trees; the context menu offers it.
    for (auto [tree, id] : {std::pair{m_itemsTree, kAddToSelected}, std::pair{m_selectedTree, kRemoveFromSelected}}) {
        QAction* move = Action(id);
        move->setShortcutContext(Qt::WidgetShortcut);
        tree->addAction(move);
        tree->addAction(Action(kFindMenu));
        tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    }

    // F6 and Shift+F6 move the focus to the next and the previous pane.
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, [this] { CycleFocus(1); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previous, &QShortcut::activated, this, [this] { CycleFocus(-1); });
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_sized) return;
    m_sized = true;
    // Initial pane sizes: trees 200 wide, the item list 500 high; the rest to the last pane.
    const int width = std::max(m_outerSplitter->width(), 900);
    const int height = m_innerSplitter->height() > 200 ? m_innerSplitter->height() : 600;
    m_outerSplitter->setSizes({200, 200, width - 400});
    // On a short screen the content keeps two fifths, so a value stays in view.
    const int listHeight = std::min(500, std::max(height - 250, height * 3 / 5));
    m_innerSplitter->setSizes({listHeight, height - listHeight});
    RestoreLayout();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitToolBar();
    UpdateStatus();
    FitStatus();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // A shrinking window takes from the list first: the content pane keeps a useful height.
    // The splitter shares out its new height after the filter, so this looks afterwards.
    if (watched == m_innerSplitter && event->type() == QEvent::Resize && m_sized)
        QMetaObject::invokeMethod(this, [this] {
            const QList<int> sizes = m_innerSplitter->sizes();
            const int total = sizes.value(0) + sizes.value(1);
            const int wanted = std::min(total * 2 / 5, 250);
            if (total > 0 && sizes.value(1) < wanted) m_innerSplitter->setSizes({total - wanted, wanted});
        }, Qt::QueuedConnection);
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::CreateStatusBar() {
    const char* names[] = {"StatusFile", "StatusCounts", "StatusPort"};
    for (int i = 0; i < kStatusFieldCount; ++i) {
        m_statusFields[i] = new QLabel(this);
        m_statusFields[i]->setObjectName(names[i]);
        m_statusFields[i]->setTextFormat(Qt::PlainText);
        // Fixed fields on the right; results come and go on the left, one line each.
        statusBar()->addPermanentWidget(m_statusFields[i]);
    }
    UpdateStatus();
}

QString CMainFrame::StatusMessage() const { return statusBar()->currentMessage().isEmpty() ? QString() : m_statusText; }

void CMainFrame::Report(const SOutcome& outcome, const QString& done) { ShowStatus(OutcomeText(outcome, done)); }

void CMainFrame::ShowStatus(const QString& text) {
    m_statusText = text;
    m_statusUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMessageTimeout);
    FitStatus();
}

void CMainFrame::FitStatus() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_statusUntil - std::chrono::steady_clock::now());
    if (m_statusText.isEmpty() || left.count() <= 0) return;
    // One line that fits beside the fixed fields, so the bar keeps its height and both ends
    // of the text show; the whole text is the bar's tooltip.
    // The fields show the document as the command left it, before their width is taken.
    UpdateStatus();
    int room = statusBar()->width() - 16;
    for (const QLabel* field : m_statusFields)
        if (field && field->isVisible()) room -= field->sizeHint().width() + 8;
    const QString line = QString(m_statusText).replace('\n', ' ');
    statusBar()->showMessage(statusBar()->fontMetrics().elidedText(line, Qt::ElideMiddle, std::max(room, 80)),
                             static_cast<int>(left.count()));
    statusBar()->setToolTip(m_statusText);
}

QString CMainFrame::Records(int count) { return count == 1 ? tr("1 record") : tr("%1 records").arg(count); }

void CMainFrame::UpdateStatus() {
    if (!m_statusFields[0]) return;
    const std::string& path = m_doc.DocumentPath();
    const QString file = path.empty() ? tr("No file") : QString::fromStdString(path);
    QLabel* fileField = m_statusFields[kStatusFile];
    fileField->setText(fileField->fontMetrics().elidedText(file, Qt::ElideMiddle, std::max(120, width() / 3)));
    fileField->setToolTip(file);
    // Items are IDs, records their elements and subscriptions: "110 items (166 records)".
    const CNVItemArray& items = m_doc.Items();
    std::set<int> ids;
    for (const CNVItem& item : items) ids.insert(item.Id());
    const SItemCounts counts = SItemCounts::Of(items);
    const int itemCount = static_cast<int>(ids.size());
    const QString countsText = tr("%1 (%2): %3 active, %4 not active, %5 unreadable")
                                   .arg(itemCount == 1 ? tr("1 item") : tr("%1 items").arg(itemCount))
                                   .arg(Records(counts.Total()))
                                   .arg(counts.active)
                                   .arg(counts.inactive)
                                   .arg(counts.unreadable);
    m_statusFields[kStatusCounts]->setText(countsText);
    m_statusFields[kStatusCounts]->setToolTip(countsText);
    const QString port = !m_doc.Phone().Settings().portName.empty() ? QString::fromStdString(m_doc.Phone().Settings().portName)
                         : m_doc.Phone().Settings().comPort > 0     ? tr("Com %1").arg(m_doc.Phone().Settings().comPort)
                                                      : tr("No port");
    const QString portText = port + " - " + (m_connectionBox ? m_connectionBox->text() : QString());
    m_statusFields[kStatusPort]->setText(portText);
    m_statusFields[kStatusPort]->setToolTip(portText);
    // A result shown takes up to a third of the bar: the file name, the port, then the counts
    // give way to it, whole in their tooltips.
    const bool showing = !m_statusText.isEmpty() && std::chrono::steady_clock::now() < m_statusUntil;
    const int result = showing ? statusBar()->fontMetrics().horizontalAdvance(QString(m_statusText).replace('\n', ' ')) : 0;
    const int room = width() - 16 - std::min(result + 8, width() / 3);
    int used = 0;
    for (const QLabel* field : m_statusFields) used += field->sizeHint().width() + 8;
    for (const int i : {kStatusFile, kStatusPort, kStatusCounts}) {
        if (used <= room) break;
        QLabel* field = m_statusFields[i];
        const int before = field->sizeHint().width();
        field->setText(
            field->fontMetrics().elidedText(field->toolTip(), Qt::ElideMiddle, std::max(before - (used - room), 80)));
        used -= before - field->sizeHint().width();
    }
}

void CMainFrame::RestoreLayout() {
    const QSettings settings;
    if (settings.contains("Window/Geometry")) restoreGeometry(settings.value("Window/Geometry").toByteArray());
    m_outerSplitter->restoreState(settings.value("Window/OuterSplitter").toByteArray());
    m_innerSplitter->restoreState(settings.value("Window/InnerSplitter").toByteArray());
    m_listView->header()->restoreState(settings.value("Window/ListColumns").toByteArray());
    m_contentView->header()->restoreState(settings.value("Window/ContentColumns").toByteArray());
}

void CMainFrame::SaveLayout() const {
    QSettings settings;
    settings.setValue("Window/Geometry", saveGeometry());
    settings.setValue("Window/OuterSplitter", m_outerSplitter->saveState());
    settings.setValue("Window/InnerSplitter", m_innerSplitter->saveState());
    settings.setValue("Window/ListColumns", m_listView->header()->saveState());
    settings.setValue("Window/ContentColumns", m_contentView->header()->saveState());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    // The drag source waits for the drop to end; the load runs after it.
    const std::string path = QFile::encodeName(urls.first().toLocalFile()).toStdString();
    QMetaObject::invokeMethod(this, [this, path] { OpenBackup(path); }, Qt::QueuedConnection);
}




void CMainFrame::CycleFocus(int step) {
    QWidget* panes[] = {m_itemsTree, m_selectedTree, m_listView, m_contentView};
    int current = -1;
    for (int i = 0; i < 4; ++i)
        if (panes[i]->hasFocus() || panes[i]->isAncestorOf(focusWidget())) current = i;
    panes[(current + step + 4) % 4]->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::OnAddToSelected() { m_selectedTree->DropFrom(*m_itemsTree); }

void CMainFrame::OnRemoveFromSelected() { m_itemsTree->DropFrom(*m_selectedTree); }

void CMainFrame::UpdateTitle() {
    const QString title = tr("Tessiva v1.5");
    const std::string& path = m_doc.DocumentPath();
    UpdateStatus();
    UpdateUndoActions();
    if (path.empty() && !m_doc.IsModified()) {
        setWindowTitle(title);
        return;
    }
    const QString name = path.empty() ? tr("Untitled") : QFileInfo(QString::fromStdString(path)).fileName();
    setWindowTitle(name + (m_doc.IsModified() ? "*" : "") + " - " + title);
}

bool CMainFrame::MaySaveChanges() {
    m_contentView->EndEdit();
    if (!m_doc.IsModified()) return true;
    const std::string& current = m_doc.DocumentPath();
    const std::string question =
        tr("Save changes to %1?").arg(current.empty() ? tr("Untitled") : FileName(current)).toStdString();
    ESaveChoice choice;
    if (auto* prompt = dynamic_cast<ISaveChangesPrompt*>(&m_doc.Jobs().Messages()))
        choice = prompt->AskSaveChanges(question, kAppTitle);
    else  // a sink with Yes and No only: Yes saves
        choice = m_doc.Jobs().Messages().AskYesNo(question) ? ESaveChoice::Save : ESaveChoice::Discard;
    if (choice == ESaveChoice::Cancel) return false;
    if (choice == ESaveChoice::Discard) return true;
    std::string path = m_doc.DocumentPath();
    if (path.empty() && !AskSaveChangesAs(path)) return false;
    return SaveAs(path, false, CBackupFiles::ESaveLayout::AsLoaded);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (MaySaveChanges()) {
        SaveLayout();
        event->accept();
    } else
        event->ignore();
}

bool CMainFrame::CheckSelection() {
    m_contentView->EndEdit();
    if (m_doc.Entries(CTessivaDoc::ETree::Selected).GetCount() > 0) return true;
    m_doc.Jobs().Messages().ShowMessage(tr("No items are selected.").toStdString(), EMessageIcon::Information);
    return false;
}

void CMainFrame::UndoRedo(bool undo) {
    m_contentView->CancelEdit();
    if (!(undo ? m_doc.Undo() : m_doc.Redo()).IsCompleted()) return;
    // The node shown before (its group for a moved item, the group itself) is shown again,
    // in whichever tree now holds it, so the changed record stays in view.
    CNVTreeView& tree = m_views->CurrentTree();
    const QTreeWidgetItem* current = tree.SelectedNode();
    const std::string node = current ? CNVTreeView::NodeText(current) : std::string();
    const std::string group = current && current->parent() ? CNVTreeView::NodeText(current->parent()) : std::string();
    // The record the content showed, when a row of the list chose it.
    std::string row;
    (void)m_listView->FirstSelectedName(row);
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    for (const std::string& text : {node, group}) {
        if (text.empty()) continue;
        CNVTreeView* other = &tree == m_itemsTree ? m_selectedTree : m_itemsTree;
        QTreeWidgetItem* found = FindNode(tree, text);
        CNVTreeView* holder = &tree;
        if (!found) {
            found = FindNode(*other, text);
            holder = other;
        }
        if (!found) continue;
        // A node that is current already shows its records again, as a new selection would.
        if (holder->currentItem() == found)
            m_views->OnTreeSelectionChanged(*holder, found);
        else
            holder->setCurrentItem(found);
        holder->scrollToItem(found);
        break;
    }
    // The list's row of that record is chosen again, and the content shows it.
    for (int i = 0; !row.empty() && i < m_listView->topLevelItemCount(); ++i)
        if (m_listView->topLevelItem(i)->text(0).toStdString() == row) {
            m_listView->setCurrentItem(m_listView->topLevelItem(i));
            break;
        }
    UpdateTitle();
}

QTreeWidgetItem* CMainFrame::FindNode(const CNVTreeView& tree, const std::string& text) {
    for (int g = 0; g < tree.topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree.topLevelItem(g);
        if (CNVTreeView::NodeText(group) == text) return group;
        for (int i = 0; i < group->childCount(); ++i)
            if (CNVTreeView::NodeText(group->child(i)) == text) return group->child(i);
    }
    return nullptr;
}

namespace {
// A new text for an action whose Alt letter was given at start-up: the letter stays.
void SetTextKeepingLetter(QAction* action, QString text) {
    const QString old = action->text();
    const qsizetype at = QString(old).replace("&&", "__").indexOf('&');
    if (at >= 0 && at + 1 < old.size()) {
        const QChar letter = old[at + 1];
        const qsizetype to = at < text.size() && text[at].toLower() == letter.toLower()
                                 ? at
                                 : text.indexOf(letter, 0, Qt::CaseInsensitive);
        if (to >= 0) text.insert(to, '&');
    }
    action->setText(text);
}
}  // namespace

void CMainFrame::UpdateUndoActions() {
    if (!m_undoAction) return;
    const CEditHistory& history = m_doc.History();
    m_undoAction->setEnabled(history.CanUndo());
    m_redoAction->setEnabled(history.CanRedo());
    SetTextKeepingLetter(m_undoAction,
                         history.CanUndo() ? tr("Undo %1").arg(QString::fromStdString(history.UndoName())) : tr("Undo"));
    SetTextKeepingLetter(m_redoAction,
                         history.CanRedo() ? tr("Redo %1").arg(QString::fromStdString(history.RedoName())) : tr("Redo"));
}

bool CMainFrame::Tell(const SOutcome& outcome) {
    IMessageSink& messages = m_doc.Jobs().Messages();
    if (!outcome.notes.empty()) {
        std::string text;
        bool warning = false;
        for (const SNote& note : outcome.notes) {
            text += (text.empty() ? "" : "\n\n") + note.text;
            warning = warning || note.kind == SNote::EKind::Warning;
        }
        messages.ShowMessage(text, warning ? EMessageIcon::Warning : EMessageIcon::Information);
    }
    // A stop was the user's own doing and needs no message.
    if (outcome.IsFailed() && !outcome.reason.empty())
        messages.ShowMessage(outcome.reason, EMessageIcon::Error, outcome.caption.empty() ? kAppTitle : outcome.caption);
    return outcome.IsCompleted();
}

void CMainFrame::ShowRecordsAfterLoad(bool loaded) {
    if (loaded) {
        m_views->ClearViews();
        m_views->BuildItemsTree();
    }
    // Otherwise the document kept its records and selection, and the views still show them.
    UpdateTitle();
}






























void CMainFrame::OnExit() { close(); }

void CMainFrame::OnAbout() { emit AboutRequested(); }


void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) && m_connectionBox) {
        SetConnectionState(m_connection);
        SetToolbarIcons();
        FitToolBar();
    }
}




















void CMainFrame::OnFind() {
    m_contentView->EndEdit();
    CFindDialog dialog(this);
    dialog.SetText(m_findEntry);
    if (dialog.exec() != QDialog::Accepted) return;
    m_findEntry = dialog.EnteredText();
    m_findText = dialog.SearchText();
    m_findIndex = -1;
    if (!ShowNextMatch()) m_doc.Jobs().Messages().ShowMessage(tr("NV Item not found.").toStdString(), EMessageIcon::Plain);
}

void CMainFrame::OnFindNext() {
    if (m_findText.empty()) return OnFind();
    m_contentView->EndEdit();
    if (!ShowNextMatch()) m_doc.Jobs().Messages().ShowMessage(tr("NV Item not found.").toStdString(), EMessageIcon::Plain);
}

bool CMainFrame::ShowNextMatch() {
    // Matches are found again each time: the trees may have changed since the last one.
    // Exact IDs and names come first, in either tree, then names holding the text.
    std::vector<std::pair<CNVTreeView*, QTreeWidgetItem*>> matches;
    for (bool exact : {true, false})
        for (CNVTreeView* tree : {m_itemsTree, m_selectedTree})
            for (QTreeWidgetItem* node : tree->FindItemNodes(m_findText, exact)) matches.emplace_back(tree, node);
    if (matches.empty()) return false;
    const int last = m_findIndex;
    m_findIndex = (m_findIndex + 1) % static_cast<int>(matches.size());
    // Going round again is told, so the user knows every match was seen.
    if (last >= 0 && m_findIndex <= last)
        ShowStatus(tr("Find Next: past the last match, back at the first"));
    auto [tree, node] = matches[m_findIndex];
    // A node that is already current shows its item again, as a new selection would.
    if (tree->currentItem() == node)
        m_views->OnTreeSelectionChanged(*tree, node);
    else
        tree->setCurrentItem(node);
    node->setSelected(true);
    tree->scrollToItem(node);
    tree->setFocus(Qt::OtherFocusReason);
    return true;
}
