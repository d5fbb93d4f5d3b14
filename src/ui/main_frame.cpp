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
#include "ui/ower_write_dialog.h"
#include "ui/pane_frame.h"
#include "ui/port_box.h"
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
#include <thread>
#include <filesystem>
#include <tuple>
#include <unordered_map>

static void InitUiResources() { Q_INIT_RESOURCE(tessiva); }


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
// Made when asked for, so their labels are in the language of the moment.
SFileDialogRequest BrtDialog() { return DialogRequest("brt", CMainFrame::tr("output files (*.brt)")); }
SFileDialogRequest CnvDialog() { return DialogRequest("cnv", CMainFrame::tr("output files (*.cnv)")); }
SFileDialogRequest QcnDialog() { return DialogRequest("qcn", CMainFrame::tr("output files (*.qcn)")); }
SFileDialogRequest XqcnDialog() { return DialogRequest("xqcn", CMainFrame::tr("output files (*.xqcn)")); }
SFileDialogRequest DefDialog() { return DialogRequest("def", CMainFrame::tr("def files (*.def)")); }
SFileDialogRequest CsvDialog() { return DialogRequest("csv", CMainFrame::tr("nv list files (*.csv)")); }

// QSettings keys of the two download settings.
const char* const kBackUpKey = "Download/BackUpBeforeDownload";
const char* const kVerifyKey = "Download/VerifyWrites";
const char* const kRecentKey = "Files/Recent";
constexpr int kRecentCount = 10;

// Save As: the file types in filter order, each with its extension and QCN layout.
struct SSaveKind {
    const char* label;
    const char* extension;
    CBackupFiles::ESaveLayout layout;
};
const SSaveKind kSaveKinds[] = {
    {QT_TRANSLATE_NOOP("CMainFrame", "BRT files (*.brt)"), "brt", CBackupFiles::ESaveLayout::AsLoaded},
    {QT_TRANSLATE_NOOP("CMainFrame", "CNV files (*.cnv)"), "cnv", CBackupFiles::ESaveLayout::AsLoaded},
    {QT_TRANSLATE_NOOP("CMainFrame", "QCN files (*.qcn)"), "qcn", CBackupFiles::ESaveLayout::AsLoaded},
    {QT_TRANSLATE_NOOP("CMainFrame", "QCN, numbered-items layout (*.qcn)"), "qcn", CBackupFiles::ESaveLayout::Numbered},
    {QT_TRANSLATE_NOOP("CMainFrame", "XQCN files (*.xqcn)"), "xqcn", CBackupFiles::ESaveLayout::AsLoaded},
};

QString FileName(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); }

// The status bar's words for how a job ended.
QString OutcomeText(const SOutcome& outcome, const QString& done) {
    if (outcome.IsCompleted()) return done;
    const QString why = QString::fromStdString(outcome.reason);
    return (outcome.IsStopped() ? CMainFrame::tr("Stopped") : CMainFrame::tr("Failed")) + (why.isEmpty() ? "" : ": " + why);
}

// Toolbar resource: command ids in button order, 0 for a separator. The last two
// separators become the port box and the connection-state box.
const int kToolbarLayout[] = {32857, 0,     32786, 32785, 32787, 0,     32840, 32849, 32841, 32842,
                              0,     32853, 32854, 32855, 0,     32839, 0,     32780, 32858, 32781,
                              32788, 0,     32837, 32838, 0,     32784, 32783, 0,     0};

struct SButton {
    int id;
    const char* icon;
    const char* tooltip;
};
const SButton kButtons[] = {
    {32857, "find", QT_TRANSLATE_NOOP("CMainFrame", "Find NV Item")},
    {32786, "load_brt", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items from BRT File")},
    {32785, "save_all_brt", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to BRT File")},
    {32787, "save_selected_brt", QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to BRT File")},
    {32840, "load_cnv", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items from CNV File")},
    {32849, "load_cnv_add", QT_TRANSLATE_NOOP("CMainFrame", "Add NV Items from CNV File")},
    {32841, "save_all_cnv", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to CNV File")},
    {32842, "save_selected_cnv", QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to CNV File")},
    {32853, "load_qcn", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items to QCN File")},
    {32854, "save_all_qcn", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to QCN File")},
    {32855, "save_selected_qcn", QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to QCN File")},
    {32839, "spc", QT_TRANSLATE_NOOP("CMainFrame", "Send SPC Code to Mobile")},
    {32780, "upload_all", QT_TRANSLATE_NOOP("CMainFrame", "Upload All NV Items from Mobile")},
    {32858, "upload_list", QT_TRANSLATE_NOOP("CMainFrame", "Upload NV Items from Mobile by CSV file")},
    {32781, "download_all", QT_TRANSLATE_NOOP("CMainFrame", "Download All Active NV Items to Mobile")},
    {32788, "download_selected", QT_TRANSLATE_NOOP("CMainFrame", "Download Selected && Active NV Items to Mobile")},
    {32837, "csv_all", QT_TRANSLATE_NOOP("CMainFrame", "Create CSV File by All NV Items")},
    {32838, "csv_selected", QT_TRANSLATE_NOOP("CMainFrame", "Create CSV File by Selected NV Items")},
    {32784, "connect", QT_TRANSLATE_NOOP("CMainFrame", "Connect Server")},
    {32783, "disconnect", QT_TRANSLATE_NOOP("CMainFrame", "Disconnect Server")},
};

// A tooltip shows "&&" as the single "&" it stands for.
QString TooltipText(const char* text) { return CMainFrame::tr(text).replace("&&", "&"); }

// The connection-state box's words, by state.
const char* const kConnectionTexts[] = {QT_TRANSLATE_NOOP("CMainFrame", "NOT CONNECTED"),
                                        QT_TRANSLATE_NOOP("CMainFrame", "CONNECTED"),
                                        QT_TRANSLATE_NOOP("CMainFrame", "CAN'T CONNECT")};
}  // namespace

CMainFrame::CMainFrame(CTessivaDoc& doc, IFileChooser& chooser, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_chooser(chooser) {
    InitUiResources();
    m_portLister = [](std::vector<SComPort>& ports) { return EnumerateComPorts(ports); };
    setObjectName("CMainFrame");
    QIcon appIcon;
    for (const char* name : {"tessiva-16", "tessiva-24", "tessiva", "tessiva-48", "tessiva-64"})
        appIcon.addFile(QString(":/icons/%1.png").arg(name));
    setWindowIcon(appIcon);
    CreateMenus();
    CreateToolBar();
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
    delete takeCentralWidget();
}

QAction* CMainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QAction* CMainFrame::MakeAction(int id, const QString& text, Handler handler) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QString("command%1").arg(id));
    if (handler) connect(action, &QAction::triggered, this, handler);
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* open = MakeAction(kOpenBackup, tr("Open Backup..."), &CMainFrame::OnOpenBackup);
    open->setShortcut(QKeySequence::Open);
    file->addAction(open);
    QAction* save = MakeAction(kSave, tr("Save"), &CMainFrame::OnSave);
    save->setShortcut(QKeySequence::Save);
    file->addAction(save);
    QAction* saveAs = MakeAction(kSaveAs, tr("Save As..."), &CMainFrame::OnSaveAs);
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addAction(saveAs);
    file->addSeparator();
    file->addAction(MakeAction(kLoadBrt, tr("Load from BRT File"), &CMainFrame::OnLoadBrt));
    file->addAction(MakeAction(kSaveAllBrt, tr("Save All Active to BRT File"), &CMainFrame::OnSaveAllBrt));
    file->addAction(MakeAction(kSaveSelectedBrt, tr("Save Selected && Active to BRT File"), &CMainFrame::OnSaveSelectedBrt));
    file->addSeparator();
    file->addAction(MakeAction(kLoadCnvMenu, tr("Load from CNV File"), &CMainFrame::OnLoadCnv));
    file->addAction(MakeAction(kAddCnvMenu, tr("Add NV Items from CNV File"), &CMainFrame::OnAddCnv));
    file->addAction(MakeAction(kSaveAllCnvMenu, tr("Save All Active to CNV File"), &CMainFrame::OnSaveAllCnv));
    file->addAction(MakeAction(kSaveSelectedCnvMenu, tr("Save Selected && Active to CNV File"), &CMainFrame::OnSaveSelectedCnv));
    file->addSeparator();
    // The QCN commands share their actions with the toolbar.
    file->addAction(MakeAction(kLoadQcn, tr("Load NV Items to QCN File"), &CMainFrame::OnLoadQcn));
    file->addAction(MakeAction(kSaveAllQcn, tr("Save All Active NV Items to QCN File"), &CMainFrame::OnSaveAllQcn));
    file->addAction(
        MakeAction(kSaveSelectedQcn, tr("Save Selected && Active NV Items to QCN File"), &CMainFrame::OnSaveSelectedQcn));
    file->addAction(MakeAction(kLoadXqcn, tr("Load from XQCN File"), &CMainFrame::OnLoadXqcn));
    file->addAction(MakeAction(kSaveAllXqcn, tr("Save All Active NV Items to XQCN File"), &CMainFrame::OnSaveAllXqcn));
    file->addAction(
        MakeAction(kSaveSelectedXqcn, tr("Save Selected && Active NV Items to XQCN File"), &CMainFrame::OnSaveSelectedXqcn));
    file->addSeparator();
    file->addAction(MakeAction(kSpcMenu, tr("Send SPC Code to Mobile"), &CMainFrame::OnSpc));
    file->addSeparator();
    file->addAction(MakeAction(kUploadAll, tr("Upload All from Mobile"), &CMainFrame::OnUploadAll));
    file->addAction(MakeAction(kUploadListMenu, tr("Upload from Mobile by CSV file"), &CMainFrame::OnUploadList));
    file->addAction(MakeAction(kDownloadAll, tr("Download All Active to Mobile"), &CMainFrame::OnDownloadAll));
    file->addAction(MakeAction(kDownloadSelected, tr("Download Selected && Active to Mobile"), &CMainFrame::OnDownloadSelected));
    file->addSeparator();
    file->addAction(MakeAction(kCsvAllMenu, tr("Create CSV File by All NV Items"), &CMainFrame::OnCsvAll));
    file->addAction(MakeAction(kCsvSelectedMenu, tr("Create CSV File by Selected NV Items"), &CMainFrame::OnCsvSelected));
    file->addSeparator();
    m_recentMenu = file->addMenu(tr("Recent Files"));
    RebuildRecentMenu();
    file->addSeparator();
    file->addAction(MakeAction(kExit, tr("Exit"), &CMainFrame::OnExit));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* find = MakeAction(kFindMenu, tr("Find NV Item"), &CMainFrame::OnFind);
    find->setShortcut(QKeySequence::Find);
    edit->addAction(find);
    QAction* findNext = MakeAction(kFindNext, tr("Find Next"), &CMainFrame::OnFindNext);
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    edit->addAction(findNext);
    edit->addSeparator();
    m_undoAction = new QAction(tr("Undo"), this);
    m_undoAction->setObjectName("Undo");
    m_undoAction->setShortcut(QKeySequence::Undo);
    connect(m_undoAction, &QAction::triggered, this, [this] { UndoRedo(true); });
    edit->addAction(m_undoAction);
    m_redoAction = new QAction(tr("Redo"), this);
    m_redoAction->setObjectName("Redo");
    m_redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence::Redo});
    connect(m_redoAction, &QAction::triggered, this, [this] { UndoRedo(false); });
    edit->addAction(m_redoAction);

    QMenu* connection = menuBar()->addMenu(tr("&Connection"));
    QMenu* ports = connection->addMenu(tr("Choice Com"));
    m_portMenu = ports;
    for (int id = kComFirst; id <= kComLast; ++id) {
        QAction* action = MakeAction(id, tr("Com %1").arg(id - kComFirst + 1), nullptr);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, id] { OnComPort(id - (kComFirst - 1)); });
        ports->addAction(action);
    }
    connect(ports, &QMenu::aboutToShow, this, &CMainFrame::UpdateComMenu);
    connection->addSeparator();
    connection->addAction(MakeAction(kConnect, tr("Connect Server"), &CMainFrame::OnConnect));
    connection->addAction(MakeAction(kDisconnect, tr("Disconnect Server"), &CMainFrame::OnDisconnect));
    connection->addSeparator();
    const QSettings settings;
    for (const auto& [id, text, key] : {std::tuple{kBackUpBeforeDownload, QT_TR_NOOP("Back Up Before Download"), kBackUpKey},
                                        std::tuple{kVerifyWrites, QT_TR_NOOP("Verify Writes"), kVerifyKey}}) {
        QAction* action = MakeAction(id, tr(text), nullptr);
        action->setCheckable(true);
        action->setChecked(settings.value(key, true).toBool());
        OnDownloadSetting(id, action->isChecked());
        connect(action, &QAction::toggled, this, [this, id = id](bool on) { OnDownloadSetting(id, on); });
        connection->addAction(action);
    }
    connection->addAction(MakeAction(kRestoreLastBackup, tr("Restore Last Backup to Mobile"), &CMainFrame::OnRestoreLastBackup));
    connection->addAction(MakeAction(kOpenBackupsFolder, tr("Open Backups Folder"), &CMainFrame::OnOpenBackupsFolder));

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    tools->addAction(MakeAction(kImportTypes, tr("Import NV Types from DEF file"), &CMainFrame::OnImportTypes));
    tools->addAction(MakeAction(kCompare, tr("Compare with Backup..."), &CMainFrame::OnCompare));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(MakeAction(kAbout, tr("&About Tessiva..."), &CMainFrame::OnAbout));

    // The toolbar's own ids of commands the menu reaches under another id.
    MakeAction(kFindToolbar, tr("Find NV Item"), &CMainFrame::OnFind);
    MakeAction(kLoadCnvToolbar, tr("Load from CNV File"), &CMainFrame::OnLoadCnv);
    MakeAction(kAddCnvToolbar, tr("Add NV Items from CNV File"), &CMainFrame::OnAddCnv);
    MakeAction(kSaveAllCnvToolbar, tr("Save All Active to CNV File"), &CMainFrame::OnSaveAllCnv);
    MakeAction(kSaveSelectedCnvToolbar, tr("Save Selected && Active to CNV File"), &CMainFrame::OnSaveSelectedCnv);
    MakeAction(kSpcToolbar, tr("Send SPC Code to Mobile"), &CMainFrame::OnSpc);
    MakeAction(kUploadListToolbar, tr("Upload from Mobile by CSV file"), &CMainFrame::OnUploadList);
    MakeAction(kCsvAllToolbar, tr("Create CSV File by All NV Items"), &CMainFrame::OnCsvAll);
    MakeAction(kCsvSelectedToolbar, tr("Create CSV File by Selected NV Items"), &CMainFrame::OnCsvSelected);

    for (QAction* menu : menuBar()->actions()) AssignMnemonics(menu->menu());
}

void CMainFrame::AssignMnemonics(QMenu* menu) {
    // "&&" is a literal ampersand; a single "&" marks a letter already chosen.
    auto mnemonicOf = [](const QString& text) -> QChar {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&') continue;
            if (text[i + 1] != '&') return text[i + 1].toLower();
            ++i;
        }
        return {};
    };
    QSet<QChar> used;
    for (QAction* action : menu->actions())
        if (const QChar c = mnemonicOf(action->text()); !c.isNull()) used.insert(c);
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (action->menu()) AssignMnemonics(action->menu());
        QString text = action->text();
        if (text.isEmpty() || !mnemonicOf(text).isNull()) continue;
        // A free word start, a free letter, else the first letter again: Alt then cycles.
        qsizetype at = -1;
        for (int pass = 0; pass < 3 && at < 0; ++pass)
            for (qsizetype i = 0; i < text.size() && at < 0; ++i) {
                const bool wordStart = i == 0 || text[i - 1] == ' ';
                if (text[i].isLetterOrNumber() && (pass == 1 || wordStart) &&
                    (pass == 2 || !used.contains(text[i].toLower())) && (i == 0 || text[i - 1] != '&'))
                    at = i;
            }
        if (at < 0) continue;
        used.insert(text[at].toLower());
        action->setText(text.insert(at, '&'));
    }
}

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar(tr("Toolbar"));
    m_toolBar->setObjectName("ToolBar");
    m_toolBar->setIconSize(QSize(32, 32));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int separators = static_cast<int>(std::count(std::begin(kToolbarLayout), std::end(kToolbarLayout), 0));
    int separatorsSeen = 0;
    for (int id : kToolbarLayout) {
        if (id != 0) {
            QAction* action = Action(id);
            for (const SButton& button : kButtons) {
                if (button.id != id) continue;
                // Each size drawn for itself: the compact toolbar and high-DPI screens stay sharp.
                QIcon icon;
                for (const char* suffix : {"-16", "-24", "", "-48"})
                    icon.addFile(QString(":/icons/%1%2.png").arg(button.icon, suffix));
                action->setIcon(icon);
                // Menu items carry no pictures, also those whose action the toolbar shares.
                action->setIconVisibleInMenu(false);
                action->setToolTip(TooltipText(button.tooltip));
            }
            m_toolBar->addAction(action);
            continue;
        }
        ++separatorsSeen;
        if (separatorsSeen == separators - 1) {
            m_portBox = new CPortBox(m_toolBar);
            m_portBox->setObjectName("PortBox");
            m_portBox->setMinimumWidth(150);
            m_portBox->setToolTip(tr("COM port, or the path of a serial device"));
            connect(m_portBox, &CPortBox::DropDown, this, &CMainFrame::OnPortDropDown);
            connect(m_portBox, &CPortBox::PortChosen, this, &CMainFrame::ChoosePort);
            m_toolBar->addWidget(m_portBox);
        } else if (separatorsSeen == separators) {
            m_connectionBox = new QLineEdit(m_toolBar);
            m_connectionBox->setObjectName("ConnectionBox");
            // Not for typing in, but read at a glance: no greyed text.
            m_connectionBox->setEnabled(false);
            m_connectionBox->setAlignment(Qt::AlignCenter);
            m_connectionBox->setFixedWidth(150);
            m_connectionBox->clear();
            SetConnectionState(kNotConnected);
            m_toolBar->addWidget(m_connectionBox);
        } else {
            m_toolBar->addSeparator();
        }
    }
    // The port box stands apart from the buttons, as on the toolbar it was made for.
    m_toolBar->insertSeparator(m_toolBar->actions().at(m_toolBar->actions().size() - 2));
}

void CMainFrame::CreateClient() {
    m_itemsTree = new CNVTreeView(m_doc.AllEntries(), QT_TRANSLATE_NOOP("CNVTreeView", "NV Items"));
    m_selectedTree = new CNVTreeView(m_doc.SelectedEntries(), QT_TRANSLATE_NOOP("CNVTreeView", "Selected NV Items"));
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
    // Below this width the 32-pixel buttons and the two boxes no longer fit in one row.
    const int icon = width() < 1200 ? 24 : 32;
    if (m_toolBar->iconSize().width() != icon) m_toolBar->setIconSize(QSize(icon, icon));
    const int box = width() < 1200 ? 130 : 150;
    m_portBox->setMinimumWidth(box);
    m_connectionBox->setFixedWidth(box);
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
    const char* names[] = {"StatusFile", "StatusCounts", "StatusPort", "StatusOutcome"};
    for (int i = 0; i < kStatusFieldCount; ++i) {
        m_statusFields[i] = new QLabel(this);
        m_statusFields[i]->setObjectName(names[i]);
        // The outcome takes what room is left; the others keep to their text.
        statusBar()->addWidget(m_statusFields[i], i == kStatusOutcome ? 1 : 0);
    }
    UpdateStatus();
}

void CMainFrame::UpdateStatus() {
    if (!m_statusFields[0]) return;
    const std::string& path = m_doc.DocumentPath();
    m_statusFields[kStatusFile]->setText(path.empty() ? tr("No file") : QString::fromStdString(path));
    const SItemCounts counts = SItemCounts::Of(m_doc.Items());
    m_statusFields[kStatusCounts]->setText(tr("%1 items: %2 active, %3 not active, %4 unreadable")
                                               .arg(counts.Total()).arg(counts.active).arg(counts.inactive)
                                               .arg(counts.unreadable));
    const QString port = !m_doc.GetPortName().empty() ? QString::fromStdString(m_doc.GetPortName())
                         : m_doc.GetComPort() > 0     ? tr("Com %1").arg(m_doc.GetComPort())
                                                      : tr("No port");
    m_statusFields[kStatusPort]->setText(port + " - " + (m_connectionBox ? m_connectionBox->text() : QString()));
    m_statusFields[kStatusOutcome]->setText(m_lastOutcome);
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

void CMainFrame::RebuildRecentMenu() {
    for (int id = kRecentFirst; id <= kRecentLast; ++id) m_actions.erase(id);
    m_recentMenu->clear();
    const QStringList recent = RecentFiles();
    for (int i = 0; i < recent.size() && i < kRecentCount; ++i) {
        const QString file = recent[i];
        // "&1 name" to "1&0 name": the number is the Alt letter.
        const QString number = i < 9 ? "&" + QString::number(i + 1) : "1&0";
        QAction* action = MakeAction(kRecentFirst + i, number + " " + QString(file).replace("&", "&&"), nullptr);
        action->setToolTip(file);
        connect(action, &QAction::triggered, this, [this, file] { OpenBackup(QFile::encodeName(file).toStdString()); });
        m_recentMenu->addAction(action);
    }
    m_recentMenu->setEnabled(!recent.isEmpty());
}

void CMainFrame::CycleFocus(int step) {
    QWidget* panes[] = {m_itemsTree, m_selectedTree, m_listView, m_contentView};
    int current = -1;
    for (int i = 0; i < 4; ++i)
        if (panes[i]->hasFocus() || panes[i]->isAncestorOf(focusWidget())) current = i;
    panes[(current + step + 4) % 4]->setFocus(Qt::ShortcutFocusReason);
}


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
    const std::string question = tr("Save changes?").toStdString();
    ESaveChoice choice;
    if (auto* prompt = dynamic_cast<ISaveChangesPrompt*>(&m_doc.Messages()))
        choice = prompt->AskSaveChanges(question, kAppTitle);
    else  // a sink with Yes and No only: Yes saves
        choice = m_doc.Messages().AskYesNo(question) ? ESaveChoice::Save : ESaveChoice::Discard;
    if (choice == ESaveChoice::Cancel) return false;
    if (choice == ESaveChoice::Discard) return true;
    std::string path = m_doc.DocumentPath();
    if (path.empty() && !m_chooser.ChooseSaveFile(CnvDialog(), path)) return false;
    const bool saved = m_doc.SaveBackup(path).IsCompleted();
    UpdateTitle();
    return saved;
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
    if (m_doc.SelectedEntries().GetCount() > 0) return true;
    m_doc.Messages().ShowMessage(tr("No items are selected.").toStdString(), EMessageIcon::Information);
    return false;
}

void CMainFrame::UndoRedo(bool undo) {
    m_contentView->CancelEdit();
    if (!(undo ? m_doc.Undo() : m_doc.Redo()).IsCompleted()) return;
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    UpdateTitle();
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
    const CEditHistory& history = m_doc.History();
    m_undoAction->setEnabled(history.CanUndo());
    m_redoAction->setEnabled(history.CanRedo());
    SetTextKeepingLetter(m_undoAction,
                         history.CanUndo() ? tr("Undo %1").arg(QString::fromStdString(history.UndoName())) : tr("Undo"));
    SetTextKeepingLetter(m_redoAction,
                         history.CanRedo() ? tr("Redo %1").arg(QString::fromStdString(history.RedoName())) : tr("Redo"));
}

void CMainFrame::ShowRecordsAfterLoad(bool loaded) {
    if (loaded) {
        m_views->ClearViews();
        m_views->BuildItemsTree();
    }
    // Otherwise the document kept its records and selection, and the views still show them.
    UpdateTitle();
}

bool CMainFrame::AskOpen(const SFileDialogRequest& request, std::string& path) {
    m_contentView->EndEdit();
    if (!m_chooser.ChooseOpenFile(request, path)) return false;
    QSettings().setValue(kLastFolderKey, QFileInfo(QString::fromStdString(path)).absolutePath());
    return true;
}

bool CMainFrame::AskSave(const SFileDialogRequest& request, std::string& path) {
    m_contentView->EndEdit();
    if (!m_chooser.ChooseSaveFile(request, path)) return false;
    QSettings().setValue(kLastFolderKey, QFileInfo(QString::fromStdString(path)).absolutePath());
    return true;
}

bool CMainFrame::OpenBackup(const std::string& path) { return MaySaveChanges() && LoadBackupFile(path); }

bool CMainFrame::LoadBackupFile(const std::string& path) {
    const SOutcome outcome = m_doc.LoadBackup(path);
    const bool loaded = Tell(outcome);
    if (loaded) RememberFile(path);
    m_lastOutcome = OutcomeText(outcome, tr("Loaded %1 records from %2").arg(outcome.records).arg(FileName(path)));
    ShowRecordsAfterLoad(loaded);
    return loaded;
}

bool CMainFrame::Tell(const SOutcome& outcome) {
    IMessageSink& messages = m_doc.Messages();
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

void CMainFrame::OnOpenBackup() {
    SFileDialogRequest request;
    request.filterLabel = tr("Backups (*.brt *.cnv *.qcn *.xqcn)").toStdString();
    request.filterPattern = "*.brt *.cnv *.qcn *.xqcn";
    request.otherFilterLabel = tr("All files (*)").toStdString();
    if (!MaySaveChanges()) return;
    std::string path;
    // "Save changes?" comes before the file dialog, as for every load.
    if (AskOpen(request, path)) LoadBackupFile(path);
}

void CMainFrame::OnSave() {
    m_contentView->EndEdit();
    const std::string path = m_doc.DocumentPath();
    // Without a file of a kind its name tells, Save is Save As.
    if (path.empty() || BackupKindOfName(path) == EBackupKind::Unknown) return OnSaveAs();
    const SOutcome outcome = m_doc.SaveBackup(path);
    m_lastOutcome = OutcomeText(outcome, tr("Saved %1 records to %2").arg(outcome.records).arg(FileName(path)));
    if (Tell(outcome)) RememberFile(path);
    UpdateTitle();
}

void CMainFrame::OnSaveAs() {
    SFileDialogRequest request = DialogRequest("cnv", tr(kSaveKinds[1].label));
    request.filterLabel = tr(kSaveKinds[0].label).toStdString();
    request.otherFilterLabel = tr(kSaveKinds[1].label).toStdString();
    for (size_t i = 2; i < std::size(kSaveKinds); ++i) request.moreFilterLabels.push_back(tr(kSaveKinds[i].label).toStdString());
    // The dialog starts on the kind the records came in.
    int chosen = 1;
    if (const std::string& current = m_doc.DocumentPath(); !current.empty()) {
        request.initialName = FileName(current).toStdString();
        const EBackupKind kind = BackupKindOfName(current);
        chosen = kind == EBackupKind::Brt ? 0 : kind == EBackupKind::Qcn ? 2 : kind == EBackupKind::Xqcn ? 4 : 1;
    }
    request.defaultExtension = kSaveKinds[chosen].extension;
    request.chosenFilter = &chosen;
    std::string path;
    if (!AskSave(request, path)) return;
    const SSaveKind& kind = kSaveKinds[std::clamp(chosen, 0, static_cast<int>(std::size(kSaveKinds)) - 1)];
    // The filter decides the kind; a name without its extension gets it.
    if (QFileInfo(QString::fromStdString(path)).suffix().compare(kind.extension, Qt::CaseInsensitive) != 0)
        path += std::string(".") + kind.extension;
    const SOutcome outcome = m_doc.SaveBackup(path, CTessivaDoc::EScope::AllActive, kind.layout);
    m_lastOutcome = OutcomeText(outcome, tr("Saved %1 records to %2").arg(outcome.records).arg(FileName(path)));
    if (Tell(outcome)) RememberFile(path);
    UpdateTitle();
}

void CMainFrame::OnCompare() {
    std::string path;
    SFileDialogRequest request;
    request.filterLabel = tr("Backups (*.brt *.cnv *.qcn *.xqcn)").toStdString();
    request.filterPattern = "*.brt *.cnv *.qcn *.xqcn";
    if (!AskOpen(request, path)) return;
    // A document of its own reads the backup, so this one keeps its file, layout and records.
    CTessivaDoc backup(m_doc.Jobs());
    backup.SetDirectory(m_doc.Directory());
    backup.SetDefinitions(m_doc.Definitions());
    if (!Tell(backup.LoadBackup(path))) return;
    CCompareDialog dialog(m_doc.Items(), backup.Items(), m_doc.Decoder(), FileName(path), this);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().empty()) return;
    Tell(m_doc.CopyFrom(dialog.Chosen()));
    m_lastOutcome = tr("Copied %1 records from %2").arg(dialog.Chosen().size()).arg(FileName(path));
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    UpdateTitle();
}

void CMainFrame::LoadFile(const SFileDialogRequest& request) {
    if (!MaySaveChanges()) return;
    std::string path;
    // Every kind is told by its content; the dialog only offers the kind of the command.
    if (AskOpen(request, path)) LoadBackupFile(path);
}

void CMainFrame::SaveFile(const SFileDialogRequest& request, CTessivaDoc::EScope scope, EBackupKind kind,
                          CTessivaDoc::ESaveLayout layout) {
    if (scope == CTessivaDoc::EScope::SelectedActive && !CheckSelection()) return;
    std::string path;
    if (AskSave(request, path)) Tell(m_doc.SaveBackup(path, scope, layout, kind));
    UpdateTitle();
}

void CMainFrame::OnLoadBrt() { LoadFile(BrtDialog()); }

void CMainFrame::OnSaveAllBrt() { SaveFile(BrtDialog(), CTessivaDoc::EScope::AllActive, EBackupKind::Brt); }

void CMainFrame::OnSaveSelectedBrt() { SaveFile(BrtDialog(), CTessivaDoc::EScope::SelectedActive, EBackupKind::Brt); }

void CMainFrame::OnLoadCnv() { LoadFile(CnvDialog()); }

void CMainFrame::OnSaveAllCnv() { SaveFile(CnvDialog(), CTessivaDoc::EScope::AllActive, EBackupKind::Cnv); }

void CMainFrame::OnSaveSelectedCnv() { SaveFile(CnvDialog(), CTessivaDoc::EScope::SelectedActive, EBackupKind::Cnv); }

void CMainFrame::OnLoadQcn() { LoadFile(QcnDialog()); }

void CMainFrame::OnSaveAllQcn() { SaveQcn(CTessivaDoc::EScope::AllActive); }

void CMainFrame::OnSaveSelectedQcn() { SaveQcn(CTessivaDoc::EScope::SelectedActive); }

void CMainFrame::SaveQcn(CTessivaDoc::EScope scope) {
    if (scope == CTessivaDoc::EScope::SelectedActive && !CheckSelection()) return;
    SFileDialogRequest request = QcnDialog();
    request.otherFilterLabel = tr(kSaveKinds[3].label).toStdString();
    int chosen = 0;
    request.chosenFilter = &chosen;
    std::string path;
    if (!AskSave(request, path)) return;
    const auto layout = chosen == 1 ? CTessivaDoc::ESaveLayout::Numbered : CTessivaDoc::ESaveLayout::AsLoaded;
    Tell(m_doc.SaveBackup(path, scope, layout, EBackupKind::Qcn));
    UpdateTitle();
}

void CMainFrame::OnLoadXqcn() { LoadFile(XqcnDialog()); }

void CMainFrame::OnSaveAllXqcn() { SaveFile(XqcnDialog(), CTessivaDoc::EScope::AllActive, EBackupKind::Xqcn); }

void CMainFrame::OnSaveSelectedXqcn() {
    SaveFile(XqcnDialog(), CTessivaDoc::EScope::SelectedActive, EBackupKind::Xqcn);
}

void CMainFrame::OnCsvAll() {
    m_contentView->EndEdit();
    Tell(m_doc.WriteItemList(CTessivaDoc::EScope::AllActive));
}

void CMainFrame::OnCsvSelected() {
    m_contentView->EndEdit();
    Tell(m_doc.WriteItemList(m_doc.SelectedItems()));
}

void CMainFrame::OnImportTypes() {
    if (!MaySaveChanges()) return;
    std::string path;
    if (!AskOpen(DefDialog(), path)) return;
    // A failed or stopped import leaves the catalogue of the last good NVTypes.typ in force.
    Tell(m_doc.ImportTypes(path, [this](int, int, const std::string& text) { return m_doc.Messages().AskYesNo(text); }));
}

void CMainFrame::OnExit() { close(); }

void CMainFrame::OnAbout() { emit AboutRequested(); }

void CMainFrame::SetConnectionState(EConnection state) {
    m_connection = state;
    m_connectionBox->setText(tr(kConnectionTexts[state]));
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

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_connectionBox) SetConnectionState(m_connection);
}

void CMainFrame::ChoosePort(int comPort, const std::string& device) {
    const bool changed = comPort != m_doc.GetComPort() || device != m_doc.GetPortName();
    if (changed && m_doc.IsConnected()) {
        m_doc.Disconnect();
        m_lastOutcome = tr("Disconnected: the port changed");
        SetConnectionState(kNotConnected);
    }
    m_doc.SetComPort(comPort);
    m_doc.SetPortName(device);
    UpdateStatus();
}

bool CMainFrame::WaitForSpcPenalty() {
    using Clock = std::chrono::steady_clock;
    if (!m_doc.IsConnected() || Clock::now() >= m_spcPenaltyEnd) return true;
    CJobControl& jobs = m_doc.Jobs();
    const SOutcome waited = jobs.Run(tr("Waiting for the phone after a wrong SPC code").toStdString(), [&] {
        jobs.WaitForDialog();
        jobs.EnableCancel();
        const auto left = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(m_spcPenaltyEnd - Clock::now()); };
        jobs.SetRange(static_cast<int>(std::max<int64_t>(left().count() / 100, 1)));
        const Clock::time_point start = Clock::now();
        while (Clock::now() < m_spcPenaltyEnd) {
            if (jobs.IsStopRequested()) return jobs.PostJobStopped();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            jobs.SetPosition(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() / 100));
        }
        return jobs.PostJobCompleted();
    });
    return waited.IsCompleted();
}

bool CMainFrame::CheckPhone(bool disconnectFirst) {
    m_contentView->EndEdit();
    if (!WaitForSpcPenalty()) return false;
    if (m_doc.CheckConnected()) return true;
    if (disconnectFirst) m_doc.Disconnect();
    SetConnectionState(kNotConnected);
    m_doc.Messages().ShowMessage(tr("Phone not connected").toStdString(), EMessageIcon::Error, tr("ERROR").toStdString());
    return false;
}

void CMainFrame::OnConnect() {
    (void)m_doc.Disconnect();
    const SOutcome connected = m_doc.Connect();
    SetConnectionState(connected.IsCompleted() ? kConnected : kCantConnect);
    if (connected.IsCompleted()) return;
    // A port that can't be opened is told; a phone that does not answer shows in the state.
    if (!m_doc.IsConnected()) Tell(connected);
    (void)m_doc.Disconnect();
}

void CMainFrame::OnDisconnect() {
    (void)m_doc.Disconnect();
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
            action->setChecked(m_doc.GetPortName() == port.device);
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
        Action(id)->setChecked(m_doc.GetPortName().empty() && id == kComFirst - 1 + m_doc.GetComPort());
    m_portBox->ShowChoice(m_doc.GetComPort(), m_doc.GetPortName());
}

void CMainFrame::Upload(const std::string& list) {
    const SOutcome outcome = m_doc.Upload(list);
    Tell(outcome);
    bool uploaded = outcome.IsCompleted();
    // The document stays as it was unless the user wants what a failed upload read.
    if (!uploaded && m_doc.HasPartialUpload() &&
        m_doc.Messages().AskYesNo(tr("Keep the records read so far as a new, unsaved document? Items that could "
                                     "not be read are marked X.")
                                      .toStdString()))
        uploaded = Tell(m_doc.TakePartialUpload());
    if (!m_doc.CheckConnected()) SetConnectionState(kNotConnected);
    m_lastOutcome = uploaded ? QString::fromStdString(SItemCounts::Of(m_doc.Items()).UploadedText())
                             : OutcomeText(outcome, QString());
    ShowRecordsAfterLoad(uploaded);
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

void CMainFrame::ShowDownloadReport(const SOutcome& outcome) {
    // The report tells how each record went; what else deserves telling comes first.
    SOutcome notes;
    notes.notes = outcome.notes;
    Tell(notes);
    CDownloadReportDialog dialog(m_doc.LastReport(), this);
    dialog.exec();
}

void CMainFrame::OnDownloadSetting(int id, bool on) {
    QSettings settings;
    if (id == kBackUpBeforeDownload) {
        m_doc.SetBackupBeforeDownload(on);
        settings.setValue(kBackUpKey, on);
    } else {
        m_doc.SetVerifyWrites(on);
        settings.setValue(kVerifyKey, on);
    }
}

void CMainFrame::OnRestoreLastBackup() {
    if (!CheckPhone()) return;
    const std::string path = m_doc.LastBackupPath();
    if (path.empty()) {
        m_doc.Messages().ShowMessage(
            tr("There is no backup in %1.").arg(QString::fromStdString(m_doc.BackupFolder())).toStdString(),
            EMessageIcon::Information);
        return;
    }
    if (!m_doc.Messages().AskYesNo(
            tr("Download the last backup, %1, to the phone? The phone's present values are backed up first.")
                .arg(QString::fromStdString(path))
                .toStdString()))
        return;
    const SOutcome outcome = m_doc.Restore(path);
    // A backup that could not be loaded has nothing to report but why.
    if (!outcome.IsCompleted() && m_doc.LastReport().Rows().empty() && m_doc.LastReport().backupError.empty()) {
        Tell(outcome);
        return;
    }
    ShowDownloadReport(outcome);
}

void CMainFrame::OnOpenBackupsFolder() {
    const std::string folder = m_doc.BackupFolder();
    std::error_code error;  // a folder that can't be made is told by the file manager
    std::filesystem::create_directories(folder, error);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

void CMainFrame::OnSpc() {
    if (!CheckPhone()) return;
    CSPCCodeDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (Tell(m_doc.SendSpc(dialog.Code())))
        m_doc.Messages().ShowMessage(tr("SPC code accepted.").toStdString(), EMessageIcon::Information);
    else
        m_spcPenaltyEnd = std::chrono::steady_clock::now() + m_spcPenalty;
}

void CMainFrame::OnAddCnv() {
    std::string path;
    if (!AskOpen(CnvDialog(), path)) return;
    COwerWriteDialog prompt(this);
    m_doc.SetOverwritePrompt(&prompt);
    // The document keeps its records and selection when the file can't be added.
    Tell(m_doc.Merge(path));
    m_doc.SetOverwritePrompt(nullptr);
    // The content goes too: it showed values the merge may have replaced.
    m_views->ClearViews();
    m_views->BuildItemsTree();
    m_views->BuildSelectedTree();
    UpdateTitle();
}

void CMainFrame::OnFind() {
    m_contentView->EndEdit();
    CFindDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_findText = dialog.SearchText();
    m_findIndex = -1;
    if (!ShowNextMatch()) m_doc.Messages().ShowMessage(tr("NV Item not found.").toStdString(), EMessageIcon::Plain);
}

void CMainFrame::OnFindNext() {
    if (m_findText.empty()) return OnFind();
    m_contentView->EndEdit();
    if (!ShowNextMatch()) m_doc.Messages().ShowMessage(tr("NV Item not found.").toStdString(), EMessageIcon::Plain);
}

bool CMainFrame::ShowNextMatch() {
    // Matches are found again each time: the trees may have changed since the last one.
    // Exact IDs and names come first, in either tree, then names holding the text.
    std::vector<std::pair<CNVTreeView*, QTreeWidgetItem*>> matches;
    for (bool exact : {true, false})
        for (CNVTreeView* tree : {m_itemsTree, m_selectedTree})
            for (QTreeWidgetItem* node : tree->FindItemNodes(m_findText, exact)) matches.emplace_back(tree, node);
    if (matches.empty()) return false;
    m_findIndex = (m_findIndex + 1) % static_cast<int>(matches.size());
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
