// The window's commands: one table gives each its id, words, picture, keys, menu, place on
// the toolbar and handler; the menus, the toolbar and the F1 list are built from it.
#include "ui/main_frame.h"

#include "ui/backup_commands.h"
#include "ui/port_box.h"
#include "ui/readable_colours.h"
#include "ui/shortcuts_dialog.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <QToolBar>
#include <map>
#include <tuple>

namespace {
// FileMore: a submenu of File for the kinds the first File menu did not have, so File keeps
// a letter for each entry and fits a small screen.
enum class EMenu { None, File, Edit, Connection, Tools, Help, FileMore };

// One command. toolbarSlot orders the toolbar (0: not on it); a new tens starts a group.
struct SCommand {
    int id = 0;
    int toolbarId = 0;  // the toolbar's own id where it has one
    const char* text = nullptr;
    EMenu menu = EMenu::None;
    bool separatorBefore = false;
    int toolbarSlot = 0;
    const char* icon = nullptr;
    const char* tooltip = nullptr;
    QKeySequence keys;
    std::function<void()> handler;
};

// The toolbar's first slot of a kind's group.
int KindSlot(const SBackupCommands& kind) { return kind.toolbarGroup * 10; }

// The dynamic property of a toolbar action that names its picture.
const char* const kIconProperty = "tessivaIcon";

// A tooltip shows "&&" as the single "&" it stands for.
QString TooltipText(const char* text) { return CMainFrame::tr(text).replace("&&", "&"); }
}  // namespace

QString CMainFrame::ConnectionText(EConnection state) {
    static const char* const kTexts[] = {QT_TRANSLATE_NOOP("CMainFrame", "NOT CONNECTED"),
                                         QT_TRANSLATE_NOOP("CMainFrame", "CONNECTED"),
                                         QT_TRANSLATE_NOOP("CMainFrame", "CAN'T CONNECT")};
    return tr(kTexts[state]);
}

void CMainFrame::CreateCommands() {
    using K = QKeySequence;
    auto on = [this](Handler handler) { return [this, handler] { (this->*handler)(); }; };
    std::vector<SCommand> commands = {
        {kOpenBackup, 0, QT_TR_NOOP("Open Backup..."), EMenu::File, false, 0, nullptr, nullptr, K(K::Open),
         on(&CMainFrame::OnOpenBackup)},
        {kSave, 0, QT_TR_NOOP("Save"), EMenu::File, false, 0, nullptr, nullptr, K(K::Save), on(&CMainFrame::OnSave)},
        {kSaveAs, 0, QT_TR_NOOP("Save As..."), EMenu::File, false, 0, nullptr, nullptr, K(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         on(&CMainFrame::OnSaveAs)},
    };
    // The backup kinds, each a group of the File menu and of the toolbar.
    for (const SBackupCommands& kind : BackupCommands()) {
        const auto add = [&](const SBackupCommands::SCommand& c, int slot, std::function<void()> handler) {
            if (c.id == 0) return;
            const bool more = kind.kind == EBackupKind::Qcn || kind.kind == EBackupKind::Xqcn;
            commands.push_back({c.id, c.toolbarId, c.text, more ? EMenu::FileMore : EMenu::File, false,
                                c.icon ? slot : 0, c.icon, c.tooltip, {}, std::move(handler)});
        };
        const size_t first = commands.size();
        add(kind.load, KindSlot(kind), [this, &kind] { OnLoadKind(kind); });
        add(kind.merge, KindSlot(kind) + 1, [this] { OnAddCnv(); });
        add(kind.saveAll, KindSlot(kind) + 2, [this, &kind] { OnSaveKind(kind, false); });
        add(kind.saveSelected, KindSlot(kind) + 3, [this, &kind] { OnSaveKind(kind, true); });
        if (kind.startsMenuGroup && first < commands.size()) commands[first].separatorBefore = true;
    }
    const std::vector<SCommand> rest = {
        {kSpcMenu, kSpcToolbar, QT_TR_NOOP("Send SPC Code to Mobile"), EMenu::File, true, 50, "spc",
         QT_TR_NOOP("Send SPC Code to Mobile"), {}, on(&CMainFrame::OnSpc)},
        {kUploadAll, 0, QT_TR_NOOP("Upload All from Mobile"), EMenu::File, true, 60, "upload_all",
         QT_TR_NOOP("Upload All NV Items from Mobile"), {}, on(&CMainFrame::OnUploadAll)},
        {kUploadListMenu, kUploadListToolbar, QT_TR_NOOP("Upload from Mobile by CSV file"), EMenu::File, false, 61,
         "upload_list", QT_TR_NOOP("Upload NV Items from Mobile by CSV file"), {}, on(&CMainFrame::OnUploadList)},
        {kDownloadAll, 0, QT_TR_NOOP("Download All Active to Mobile"), EMenu::File, false, 62, "download_all",
         QT_TR_NOOP("Download All Active NV Items to Mobile"), {}, on(&CMainFrame::OnDownloadAll)},
        {kDownloadSelected, 0, QT_TR_NOOP("Download Selected && Active to Mobile"), EMenu::File, false, 63,
         "download_selected", QT_TR_NOOP("Download Selected && Active NV Items to Mobile"), {},
         on(&CMainFrame::OnDownloadSelected)},
        {kCsvAllMenu, kCsvAllToolbar, QT_TR_NOOP("Create CSV File by All NV Items"), EMenu::File, true, 70, "csv_all",
         QT_TR_NOOP("Create CSV File by All NV Items"), {}, on(&CMainFrame::OnCsvAll)},
        {kCsvSelectedMenu, kCsvSelectedToolbar, QT_TR_NOOP("Create CSV File by Selected NV Items"), EMenu::File, false,
         71, "csv_selected", QT_TR_NOOP("Create CSV File by Selected NV Items"), {}, on(&CMainFrame::OnCsvSelected)},
        {kExit, 0, QT_TR_NOOP("Exit"), EMenu::File, true, 0, nullptr, nullptr, K(Qt::CTRL | Qt::Key_Q), on(&CMainFrame::OnExit)},
        {kFindMenu, kFindToolbar, QT_TR_NOOP("Find NV Item"), EMenu::Edit, false, 10, "find", QT_TR_NOOP("Find NV Item"),
         K(K::Find), on(&CMainFrame::OnFind)},
        {kFindNext, 0, QT_TR_NOOP("Find Next"), EMenu::Edit, false, 0, nullptr, nullptr, K(Qt::Key_F3),
         on(&CMainFrame::OnFindNext)},
        {kAddToSelected, 0, QT_TR_NOOP("Add to Selected"), EMenu::Edit, false, 0, nullptr, nullptr, K(Qt::Key_Insert),
         on(&CMainFrame::OnAddToSelected)},
        {kRemoveFromSelected, 0, QT_TR_NOOP("Remove from Selected"), EMenu::Edit, false, 0, nullptr, nullptr,
         K(Qt::Key_Delete), on(&CMainFrame::OnRemoveFromSelected)},
        {kConnect, 0, QT_TR_NOOP("Connect Server"), EMenu::Connection, true, 80, "connect", QT_TR_NOOP("Connect Server"),
         {}, on(&CMainFrame::OnConnect)},
        {kDisconnect, 0, QT_TR_NOOP("Disconnect Server"), EMenu::Connection, false, 81, "disconnect",
         QT_TR_NOOP("Disconnect Server"), {}, on(&CMainFrame::OnDisconnect)},
        {kRestoreLastBackup, 0, QT_TR_NOOP("Restore Last Backup to Mobile"), EMenu::Connection, true, 0, nullptr, nullptr,
         {}, on(&CMainFrame::OnRestoreLastBackup)},
        {kOpenBackupsFolder, 0, QT_TR_NOOP("Open Backups Folder"), EMenu::Connection, false, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnOpenBackupsFolder)},
        {kBackUpPhone, 0, QT_TR_NOOP("Back Up Phone..."), EMenu::Connection, true, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnBackUpPhone)},
        {kRestoreToPhone, 0, QT_TR_NOOP("Restore Backup to Phone..."), EMenu::Connection, false, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnRestoreToPhone)},
        {kPhoneFiles, 0, QT_TR_NOOP("Phone Files..."), EMenu::Connection, false, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnPhoneFiles)},
        {kImportTypes, 0, QT_TR_NOOP("Import NV Types from DEF file"), EMenu::Tools, false, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnImportTypes)},
        {kCompare, 0, QT_TR_NOOP("Compare with Backup..."), EMenu::Tools, false, 0, nullptr, nullptr, {},
         on(&CMainFrame::OnCompare)},
        {kShortcuts, 0, QT_TR_NOOP("Keyboard Shortcuts"), EMenu::Help, false, 0, nullptr, nullptr, K(Qt::Key_F1),
         on(&CMainFrame::OnShortcuts)},
        {kAbout, 0, QT_TR_NOOP("&About Tessiva..."), EMenu::Help, false, 0, nullptr, nullptr, {}, on(&CMainFrame::OnAbout)},
    };
    commands.insert(commands.end(), rest.begin(), rest.end());

    QMenu* menus[] = {nullptr, menuBar()->addMenu(tr("&File")), menuBar()->addMenu(tr("&Edit")),
                      menuBar()->addMenu(tr("&Connection")), menuBar()->addMenu(tr("&Tools")),
                      menuBar()->addMenu(tr("&Help")), new QMenu(tr("QCN and XQCN Files"), this)};
    std::vector<std::pair<int, QAction*>> toolbar;
    for (const SCommand& c : commands) {
        QAction* action = MakeAction(c.id, tr(c.text), c.handler);
        if (c.toolbarId) m_actions[c.toolbarId] = action;
        if (!c.keys.isEmpty()) action->setShortcut(c.keys);
        if (c.toolbarSlot) {
            action->setProperty(kIconProperty, c.icon);
            action->setToolTip(TooltipText(c.tooltip));
            // Menu items carry no pictures, also those whose action the toolbar shares.
            action->setIconVisibleInMenu(false);
            toolbar.emplace_back(c.toolbarSlot, action);
        }
        QMenu* menu = menus[static_cast<int>(c.menu)];
        if (!menu) continue;
        if (c.menu == EMenu::FileMore && menu->isEmpty()) {
            QMenu* file = menus[static_cast<int>(EMenu::File)];
            if (c.separatorBefore) file->addSeparator();
            file->addMenu(menu);
        }
        if (c.separatorBefore && !menu->isEmpty()) menu->addSeparator();
        // "Recent Files" comes before Exit; "Undo" and "Redo" before the selection's moves.
        if (c.id == kExit) {
            m_recentMenu = menu->addMenu(tr("Recent Files"));
            RebuildRecentMenu();
            menu->addSeparator();
        }
        if (c.id == kAddToSelected) {
            m_undoAction = new QAction(tr("Undo"), this);
            m_undoAction->setObjectName("Undo");
            m_undoAction->setShortcut(QKeySequence::Undo);
            connect(m_undoAction, &QAction::triggered, this, [this] { UndoRedo(true); });
            m_redoAction = new QAction(tr("Redo"), this);
            m_redoAction->setObjectName("Redo");
            m_redoAction->setShortcuts(RedoKeys(QKeySequence::keyBindings(QKeySequence::Redo)));
            connect(m_redoAction, &QAction::triggered, this, [this] { UndoRedo(false); });
            menu->addSeparator();
            menu->addActions({m_undoAction, m_redoAction});
            menu->addSeparator();
        }
        menu->addAction(action);
    }
    AddConnectionSettings(menus[static_cast<int>(EMenu::Connection)]);
    std::stable_sort(toolbar.begin(), toolbar.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    CreateToolBar(toolbar);
    for (QAction* menu : menuBar()->actions()) AssignMnemonics(menu->menu());
}

void CMainFrame::AddConnectionSettings(QMenu* connection) {
    // "Choice Com" heads the menu; the two download settings come before the backup commands.
    QMenu* ports = new QMenu(tr("Choice Com"), connection);
    QAction* first = connection->actions().value(0);
    connection->insertMenu(first, ports);
    connection->insertSeparator(first);
    m_portMenu = ports;
    for (int id = kComFirst; id <= kComLast; ++id) {
        QAction* action = MakeAction(id, tr("Com %1").arg(id - kComFirst + 1), nullptr);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, id] { OnComPort(id - (kComFirst - 1)); });
        ports->addAction(action);
    }
    connect(ports, &QMenu::aboutToShow, this, &CMainFrame::UpdateComMenu);
    QAction* restore = Action(kRestoreLastBackup);
    const QSettings settings;
    for (const auto& [id, text, key] : {std::tuple{kBackUpBeforeDownload, QT_TR_NOOP("Back Up Before Download"), kBackUpKey},
                                        std::tuple{kVerifyWrites, QT_TR_NOOP("Verify Writes"), kVerifyKey},
                                        std::tuple{kReadsInFlight, QT_TR_NOOP("Several Reads at a Time"), kReadsInFlightKey}}) {
        QAction* action = MakeAction(id, tr(text), nullptr);
        action->setCheckable(true);
        action->setChecked(settings.value(key, true).toBool());
        OnDownloadSetting(id, action->isChecked());
        connect(action, &QAction::toggled, this, [this, id = id](bool on) { OnDownloadSetting(id, on); });
        connection->insertAction(restore, action);
    }
}

QList<QKeySequence> CMainFrame::RedoKeys(QList<QKeySequence> platform) {
    // Ctrl+Y as well, where the platform's Redo is another key; never twice, as a key given
    // twice is ambiguous and does nothing.
    const QKeySequence ctrlY(Qt::CTRL | Qt::Key_Y);
    if (!platform.contains(ctrlY)) platform.append(ctrlY);
    return platform;
}

QAction* CMainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QAction* CMainFrame::MakeAction(int id, const QString& text, std::function<void()> handler) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QString("command%1").arg(id));
    if (handler)
        connect(action, &QAction::triggered, this, [this, id, handler = std::move(handler)] {
            // The running command names the file dialogs it opens.
            const int outer = m_command;
            m_command = id;
            handler();
            m_command = outer;
        });
    m_actions[id] = action;
    return action;
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
    // Each entry without a letter gets one of its own: word starts first, then any free
    // letter, matched so that as many entries as possible get one and no two share it.
    std::vector<QAction*> open;
    std::vector<std::vector<qsizetype>> choices;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (action->menu()) AssignMnemonics(action->menu());
        const QString text = action->text();
        if (text.isEmpty() || !mnemonicOf(text).isNull()) continue;
        std::vector<qsizetype> at;
        for (const bool wordStarts : {true, false})
            for (qsizetype i = 0; i < text.size(); ++i) {
                const bool wordStart = i == 0 || text[i - 1] == ' ';
                if (text[i].isLetterOrNumber() && wordStart == wordStarts && !used.contains(text[i].toLower()) &&
                    (i == 0 || text[i - 1] != '&'))
                    at.push_back(i);
            }
        open.push_back(action);
        choices.push_back(std::move(at));
    }
    std::map<QChar, size_t> owner;  // letter -> entry
    std::vector<qsizetype> chosen(open.size(), -1);
    std::function<bool(size_t, QSet<QChar>&)> place = [&](size_t entry, QSet<QChar>& tried) {
        for (const qsizetype at : choices[entry]) {
            const QChar c = open[entry]->text()[at].toLower();
            if (tried.contains(c)) continue;
            tried.insert(c);
            const auto held = owner.find(c);
            if (held == owner.end() || place(held->second, tried)) {
                owner[c] = entry;
                chosen[entry] = at;
                return true;
            }
        }
        return false;
    };
    for (size_t entry = 0; entry < open.size(); ++entry) {
        QSet<QChar> tried;
        place(entry, tried);
    }
    for (size_t entry = 0; entry < open.size(); ++entry)
        if (chosen[entry] >= 0) open[entry]->setText(open[entry]->text().insert(chosen[entry], '&'));
}

void CMainFrame::CreateToolBar(const std::vector<std::pair<int, QAction*>>& buttons) {
    m_toolBar = addToolBar(tr("Toolbar"));
    m_toolBar->setObjectName("ToolBar");
    m_toolBar->setIconSize(QSize(32, 32));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    int group = -1;
    for (const auto& [slot, action] : buttons) {
        if (group >= 0 && slot / 10 != group) m_toolBar->addSeparator();
        group = slot / 10;
        m_toolBar->addAction(action);
    }
    // The port box stands apart from the buttons, as on the toolbar it was made for.
    m_toolBar->addSeparator();
    m_portBox = new CPortBox(m_toolBar);
    m_portBox->setObjectName("PortBox");
    m_portBox->setMinimumWidth(150);
    m_portBox->setToolTip(tr("COM port, or the path of a serial device; Enter connects"));
    connect(m_portBox, &CPortBox::DropDown, this, &CMainFrame::OnPortDropDown);
    connect(m_portBox, &CPortBox::PortChosen, this, &CMainFrame::ChoosePort);
    connect(m_portBox, &CPortBox::ConnectRequested, this, [this] { Action(kConnect)->trigger(); });
    connect(m_portBox, &QComboBox::editTextChanged, this, [this] {
        if (m_connectionBox) FitToolBar();
    });
    m_toolBar->addWidget(m_portBox);
    m_connectionBox = new QLineEdit(m_toolBar);
    m_connectionBox->setObjectName("ConnectionBox");
    // Not for typing in, but read at a glance: no greyed text.
    m_connectionBox->setEnabled(false);
    m_connectionBox->setAlignment(Qt::AlignCenter);
    m_connectionBox->clear();
    SetConnectionState(kNotConnected);
    m_toolBar->addWidget(m_connectionBox);
    SetToolbarIcons();
}

void CMainFrame::SetToolbarIcons() {
    // Dark strokes drawn for a light toolbar get a light rim on a dark one. The window's
    // palette: on a palette change the toolbar learns its new one only after the window.
    const QColor background = palette().color(QPalette::Window);
    const bool dark = ContrastRatio(background, Qt::black) < 4.5;
    QColor rim = palette().color(QPalette::WindowText);
    rim.setAlpha(190);
    for (QAction* action : m_toolBar->actions()) {
        const QString name = action->property(kIconProperty).toString();
        if (name.isEmpty()) continue;
        // Each size drawn for itself: the compact toolbar and high-DPI screens stay sharp.
        QIcon icon;
        for (const char* suffix : {"-16", "-24", "", "-48"}) {
            const QImage image(QString(":/icons/%1%2.png").arg(name, suffix));
            icon.addPixmap(QPixmap::fromImage(dark ? WithRim(image, rim) : image));
        }
        action->setIcon(icon);
    }
}

void CMainFrame::FitToolBar() {
    // The state box holds its longest words in bold, whatever the font.
    QFont bold = m_connectionBox->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int words = 0;
    for (EConnection state : {kNotConnected, kConnected, kCantConnect})
        words = std::max(words, metrics.horizontalAdvance(ConnectionText(state)));
    m_connectionBox->setFixedWidth(words + 2 * metrics.averageCharWidth() + 8);
    // The largest buttons with which the whole row fits, so nothing goes into the overflow.
    // The port box is wide enough for the port's whole name where the row has room for it.
    const int name = m_portBox->fontMetrics().horizontalAdvance(m_portBox->currentText()) + 48;
    for (const int size : {32, 24, 20, 16}) {
        m_toolBar->setIconSize(QSize(size, size));
        const int least = size >= 32 ? 150 : 110;
        for (const int box : {std::clamp(name, least, 320), least}) {
            m_portBox->setMinimumWidth(box);
            if (m_toolBar->sizeHint().width() <= width()) return;
        }
    }
}

void CMainFrame::RebuildRecentMenu() {
    for (int id = kRecentFirst; id <= kRecentLast; ++id) m_actions.erase(id);
    m_recentMenu->clear();
    const QStringList recent = RecentFiles();
    for (int i = 0; i < recent.size() && i < kRecentCount; ++i) {
        const QString file = recent[i];
        // "&1 name" to "1&0 name": the number is the Alt letter.
        const QString number = i < 9 ? "&" + QString::number(i + 1) : "1&0";
        QAction* action = MakeAction(kRecentFirst + i, number + " " + QString(file).replace("&", "&&"),
                                     [this, file] { OpenBackup(QFile::encodeName(file).toStdString()); });
        action->setToolTip(file);
        m_recentMenu->addAction(action);
    }
    m_recentMenu->setEnabled(!recent.isEmpty());
}

void CMainFrame::OnShortcuts() {
    std::vector<CShortcutsDialog::SShortcut> rows;
    for (QAction* action : findChildren<QAction*>()) {
        if (action->shortcuts().isEmpty()) continue;
        QStringList keys;
        for (const QKeySequence& key : action->shortcuts()) keys << key.toString(QKeySequence::NativeText);
        rows.push_back({keys.join(", "), QString(action->text()).remove(QRegularExpression("&(?!&)"))});
    }
    // Keys of the panes rather than of commands.
    for (const auto& [keys, what] :
         {std::pair{QT_TR_NOOP("F6, Shift+F6"), QT_TR_NOOP("Next pane, previous pane")},
          std::pair{QT_TR_NOOP("F2, Enter"), QT_TR_NOOP("Edit the value under the cursor")},
          std::pair{QT_TR_NOOP("Tab"), QT_TR_NOOP("Between the decimal and the hex value")},
          std::pair{QT_TR_NOOP("Escape"), QT_TR_NOOP("Keep the old value; stop a running job")},
          std::pair{QT_TR_NOOP("Menu key, Shift+F10"), QT_TR_NOOP("The commands of a tree's node")}})
        rows.push_back({tr(keys), tr(what)});
    CShortcutsDialog dialog(rows, this);
    dialog.exec();
}
