#pragma once
#include "doc/tessiva_doc.h"

#include <QKeySequence>
#include <QMainWindow>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CDocViews;
class CNVContentView;
class CNVListView;
class CNVTreeView;
class QTreeWidgetItem;
class CPortBox;
struct SComPort;
struct SBackupCommands;
class IFileChooser;
struct SFileDialogRequest;
class QAction;
class QDragEnterEvent;
class QResizeEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QLineEdit;
class QSplitter;
class QToolBar;

// The main window: menus, the toolbar with the port box and the connection-state box, and
// four panes in two splitters. Every command arrives here and becomes a document operation.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of the menus and the toolbar.
    enum ECommand {
        kFindToolbar = 32857, kFindMenu = 32856,
        kLoadBrt = 32786, kSaveAllBrt = 32785, kSaveSelectedBrt = 32787,
        kLoadCnvMenu = 32843, kLoadCnvToolbar = 32840, kAddCnvMenu = 32851, kAddCnvToolbar = 32849,
        kSaveAllCnvMenu = 32844, kSaveAllCnvToolbar = 32841, kSaveSelectedCnvMenu = 32845, kSaveSelectedCnvToolbar = 32842,
        kLoadQcn = 32853, kSaveAllQcn = 32854, kSaveSelectedQcn = 32855,
        kLoadXqcn = 32870, kSaveAllXqcn = 32871, kSaveSelectedXqcn = 32872,
        kSpcMenu = 32846, kSpcToolbar = 32839,
        kUploadAll = 32780, kUploadListMenu = 32861, kUploadListToolbar = 32858,
        kDownloadAll = 32781, kDownloadSelected = 32788,
        kBackUpBeforeDownload = 32900, kVerifyWrites = 32901, kRestoreLastBackup = 32902, kOpenBackupsFolder = 32903,
        kReadsInFlight = 32904,
        kCsvAllMenu = 32847, kCsvAllToolbar = 32837, kCsvSelectedMenu = 32848, kCsvSelectedToolbar = 32838,
        kImportTypes = 32852, kConnect = 32784, kDisconnect = 32783,
        kComFirst = 200, kComLast = 219,
        kAbout = 57664, kExit = 57665,
        kPortBox = 101, kConnectionBox = 102,
        kOpenBackup = 33000, kSave = 33001, kSaveAs = 33002, kFindNext = 33003, kCompare = 33004,
        kAddToSelected = 33005, kRemoveFromSelected = 33006, kShortcuts = 33007,
        kRecentFirst = 33010, kRecentLast = 33019,
        kPhoneFiles = 33020, kBackUpPhone = 33021, kRestoreToPhone = 33022,
    };

    CMainFrame(CTessivaDoc& doc, IFileChooser& chooser, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The action of a command id, or null. A command the toolbar knows by an id of its own
    // has one action under both ids.
    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return m_toolBar; }
    CPortBox* PortBox() const { return m_portBox; }
    QLineEdit* ConnectionBox() const { return m_connectionBox; }
    QSplitter* OuterSplitter() const { return m_outerSplitter; }
    QSplitter* InnerSplitter() const { return m_innerSplitter; }

    CNVTreeView& ItemsTree() const { return *m_itemsTree; }
    CNVTreeView& SelectedTree() const { return *m_selectedTree; }
    CNVListView& ListView() const { return *m_listView; }
    CNVContentView& ContentView() const { return *m_contentView; }
    CDocViews& Views() const { return *m_views; }
    CTessivaDoc& Doc() const { return m_doc; }

    // "name* - Tessiva v1.5": the file the records came from or went to, and a mark while
    // they hold unsaved changes.
    void UpdateTitle();
    // Refreshes the "Choice Com" items and the port box from the ports present, and checks
    // the item of the current port; runs whenever that menu opens.
    void UpdateComMenu();
    // Where the port lists come from; tests give simulated ports.
    using PortLister = std::function<bool(std::vector<SComPort>&)>;
    void SetPortLister(PortLister lister) { m_portLister = std::move(lister); }
    // The "Choice Com" entries of the ports by their system names, as last listed.
    const std::vector<QAction*>& SystemPortActions() const { return m_systemPortActions; }
    // Opens a backup of any kind (after "Save changes?"), as Open, the command line, a drop
    // and the recent files do. True when the records were replaced.
    bool OpenBackup(const std::string& path);
    // The recent files, newest first (at most 10).
    QStringList RecentFiles() const;
    // The status bar's fixed fields: file, item counts, port.
    QLabel* StatusField(int field) const { return m_statusFields[field]; }
    // The result of the last command, whole, while the status bar shows it.
    QString StatusMessage() const;
    enum EConnection { kNotConnected, kConnected, kCantConnect };
    // The state box's words and colours; they follow the palette when it changes.
    void SetConnectionState(EConnection state);
    static QString ConnectionText(EConnection state);
    enum EStatusField { kStatusFile, kStatusCounts, kStatusPort, kStatusFieldCount };
    // The status bar's fields show the document as it is now.
    void UpdateStatus();
    // Every command's result goes to the status bar through here: done when it completed,
    // else "Failed: why" or "Stopped: why". It stays a few seconds.
    void Report(const SOutcome& outcome, const QString& done);
    // text in the status bar, elided in the middle to fit; the whole of it in the tooltip.
    void ShowStatus(const QString& text);
    // The result shown again, fitted to the bar's width of the moment, for the rest of its time.
    void FitStatus();
    // Shows what an operation has to tell: its notes, and the reason when it failed. True
    // when it completed.
    bool Tell(const SOutcome& outcome);
    // "1 record", "5 records".
    static QString Records(int count);
    // The keys of Redo: the platform's, and Ctrl+Y once.
    static QList<QKeySequence> RedoKeys(QList<QKeySequence> platform);
    // How long the phone stays silent after a wrong SPC code (10 seconds).
    void SetSpcPenalty(std::chrono::milliseconds penalty) { m_spcPenalty = penalty; }

signals:
    void AboutRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Handler = void (CMainFrame::*)();
    QAction* MakeAction(int id, const QString& text, std::function<void()> handler);
    // The command table: actions, menus and toolbar.
    void CreateCommands();
    void AddConnectionSettings(QMenu* connection);
    // The buttons in toolbar order (slot, action), then the port box and the state box.
    void CreateToolBar(const std::vector<std::pair<int, QAction*>>& buttons);
    // The buttons' pictures, readable on the palette of the moment.
    void SetToolbarIcons();
    // Button and box sizes with which the toolbar fits the window's width in one row.
    void FitToolBar();
    void CreateClient();
    void CycleFocus(int step);
    void CreateStatusBar();
    // Alt letters for menu entries that have none, unique within each menu.
    static void AssignMnemonics(QMenu* menu);
    void RememberFile(const std::string& path);
    void RebuildRecentMenu();
    void RestoreLayout();
    void SaveLayout() const;

    // A save dialog of the selected items: a name of its own and the kind's label.
    SFileDialogRequest ForSelection(SFileDialogRequest request) const;
    // The words of the running command, which title its file dialogs.
    QString CommandTitle() const;
    SFileDialogRequest Titled(SFileDialogRequest request) const;
    bool AskOpen(const SFileDialogRequest& request, std::string& path);
    // The name for "Save changes?" of records that came from no file.
    bool AskSaveChangesAs(std::string& path);
    bool AskSave(const SFileDialogRequest& request, std::string& path);
    // The loads and saves of every backup kind, driven by the kind's row.
    void OnLoadKind(const SBackupCommands& kind);
    void OnSaveKind(const SBackupCommands& kind, bool selectedOnly);
    // Saves the whole document or its selection to path, says so in the status bar, and
    // remembers a whole save among the recent files. True when it completed.
    bool SaveAs(const std::string& path, bool selectedOnly, CBackupFiles::ESaveLayout layout);
    static QString FileName(const std::string& path);
    // The open dialog of every backup kind.
    static SFileDialogRequest BackupsDialog();
    // The kind's suffix on path: a suffix of another backup kind is replaced, any other name
    // gets the kind's added ("a.qcn" as CNV is "a.cnv", "a.b" is "a.b.cnv").
    static std::string WithExtension(std::string path, const char* extension);
    static QString OutcomeText(const SOutcome& outcome, const QString& done);
    // Before the records are replaced or the program ends: with unsaved changes, asks
    // "Save changes?". False when the user cancelled or the save failed.
    bool MaySaveChanges();
    // The "Selected && Active" commands: false, after saying so, when nothing is selected.
    bool CheckSelection();
    // After a load or an upload: the views show the new records, or, when it failed or was
    // stopped, the ones the document kept.
    void ShowRecordsAfterLoad(bool loaded);

    // The group or item node of text in tree, or null.
    static QTreeWidgetItem* FindNode(const CNVTreeView& tree, const std::string& text);
    // Undoes (or redoes) the document's last edit and shows the records as they are then.
    void UndoRedo(bool undo);
    // Undo and Redo name their steps and are enabled only when there is one.
    void UpdateUndoActions();

    void OnCsvAll();
    void OnCsvSelected();
    // Tells how writing an item list of records ended.
    void ReportItemList(const SOutcome& outcome, int records);
    void OnImportTypes();
    void OnAddCnv();
    void OnSpc();
    void OnUploadAll();
    void OnUploadList();
    void OnDownloadAll();
    void OnDownloadSelected();
    // The notes of a download or restore, then its report, record by record.
    void ShowDownloadReport(const SPhoneOutcome& outcome);
    void OnRestoreLastBackup();
    // The whole phone into a numbered backup, and a backup of any kind onto the phone.
    void OnBackUpPhone();
    void OnRestoreToPhone();
    // Asks question, then whether the phone goes offline for it; restores path and shows the
    // report.
    void RestoreToPhone(const std::string& path, const QString& question);
    // After a command on the phone: a phone that stopped answering shows as gone at once,
    // not at the next command.
    void ShowLinkState();
    void OnOpenBackupsFolder();
    // The phone's file system by hand, over the connection's link.
    void OnPhoneFiles();
    void OnDownloadSetting(int id, bool on);
    void OnFind();
    void OnFindNext();
    // Shows the next match of m_findText after the last one shown; false when none.
    bool ShowNextMatch();
    void OnOpenBackup();
    // The load of OpenBackup, once unsaved changes were dealt with.
    bool LoadBackupFile(const std::string& path);
    void OnSave();
    void OnSaveAs();
    void OnCompare();
    void OnConnect();
    void OnDisconnect();
    void OnComPort(int number);
    void OnPortDropDown();
    // The connection check of every phone command; when no phone answers, the "not
    // connected" reply (after a disconnect if asked for) and false.
    bool CheckPhone(bool disconnectFirst = false);
    // After a wrong SPC code the phone answers nothing for a while, which is no lost link:
    // the commands wait for it behind the progress dialog. False when the wait was stopped.
    bool WaitForSpcPenalty();
    // Reset, upload of the items of list, and the "NV Items" tree when it completed.
    void Upload(const std::string& list);
    void changeEvent(QEvent* event) override;
    // A new port ends the connection on the old one first, and says so.
    void ChoosePort(int comPort, const std::string& device);
    void OnExit();
    void OnAbout();
    // F1: the keyboard's commands, from the actions themselves.
    void OnShortcuts();
    // Insert and Delete in the trees: the node moves to the other tree, as a drag moves it.
    void OnAddToSelected();
    void OnRemoveFromSelected();

    static constexpr const char* kBackUpKey = "Download/BackUpBeforeDownload";
    static constexpr const char* kVerifyKey = "Download/VerifyWrites";
    static constexpr const char* kReadsInFlightKey = "Connection/ReadsInFlight";
    static constexpr const char* kRecentKey = "Files/Recent";
    static constexpr int kRecentCount = 10;
    // How long a result stays in the status bar before the fields show alone again.
    static constexpr int kMessageTimeout = 8000;

    CTessivaDoc& m_doc;
    IFileChooser& m_chooser;
    std::map<int, QAction*> m_actions;
    QToolBar* m_toolBar = nullptr;
    CPortBox* m_portBox = nullptr;
    QLineEdit* m_connectionBox = nullptr;
    QSplitter* m_outerSplitter = nullptr;
    QSplitter* m_innerSplitter = nullptr;
    CNVTreeView* m_itemsTree = nullptr;
    CNVTreeView* m_selectedTree = nullptr;
    CNVListView* m_listView = nullptr;
    CNVContentView* m_contentView = nullptr;
    std::unique_ptr<CDocViews> m_views;
    bool m_sized = false;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    std::chrono::milliseconds m_spcPenalty{10000};
    std::chrono::steady_clock::time_point m_spcPenaltyEnd{};
    QMenu* m_recentMenu = nullptr;
    QMenu* m_portMenu = nullptr;
    std::vector<QAction*> m_systemPortActions;
    PortLister m_portLister;
    QLabel* m_statusFields[kStatusFieldCount] = {};
    EConnection m_connection = kNotConnected;
    QString m_findEntry;    // the Find dialog's entry as last typed
    std::string m_findText;
    int m_findIndex = -1;  // of the match shown last, among both trees' matches
    int m_command = 0;     // the command whose handler runs, 0 when none
    QString m_statusText;  // the last result, before it was fitted to the bar
    std::chrono::steady_clock::time_point m_statusUntil{};
};
