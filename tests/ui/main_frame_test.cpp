// The main window as the user meets it: start-up, menus, toolbar, panes and the file commands.
#include "ui/about_dialog.h"
#include "files/backup_tree.h"
#include "ui/doc_views.h"
#include "ui/file_dialog_chooser.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "ui/pane_frame.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <map>

namespace {
// A caption without its Alt-letter mark ("&&" stays: it is a literal "&").
std::string Caption(const QAction* action) {
    QString text = action->text();
    text.replace("&&", QChar(0x1)).remove('&').replace(QChar(0x1), "&&");
    return text.toStdString();
}

// Menu entries as "id caption", "-" for a separator, ">caption" for a submenu.
std::vector<std::string> MenuEntries(QMenu* menu) {
    std::vector<std::string> entries;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            entries.push_back("-");
        else if (action->menu())
            entries.push_back(">" + Caption(action));
        else
            entries.push_back(std::to_string(action->data().toInt()) + " " + Caption(action));
    }
    return entries;
}

std::map<std::pair<int, int>, std::vector<uint8_t>> ValuesById(const CNVItemArray& items) {
    std::map<std::pair<int, int>, std::vector<uint8_t>> values;
    for (const CNVItem& item : items) values[{item.Id(), item.Index()}] = item.Value();
    return values;
}
}  // namespace

class CMainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTitleSortedDefinitionsAndEmptyPanes() {
        SUiApp ui;
        QVERIFY(ui.Start());
        QCOMPARE(ui.Frame().windowTitle(), QString("Tessiva v1.5"));
        QVERIFY(ui.Frame().isVisible());
        QVERIFY(!ui.Frame().windowIcon().isNull());
        const CNVItemArray& defs = ui.Doc().Definitions();
        QCOMPARE(defs.GetSize(), 9);
        for (int i = 1; i < defs.GetSize(); ++i) QVERIFY(defs[i - 1].Id() <= defs[i].Id());
        QCOMPARE(ui.Frame().ItemsTree().topLevelItemCount(), 0);
        QVERIFY(ui.sink.Messages().empty());
    }

    // Each state counted in its own place: the counts differ, so a swap shows.
    void statusBarCountsEachStateApart() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        const struct {
            int active, inactive, unreadable;
        } cases[] = {{5, 3, 1}, {1, 2, 6}, {0, 9, 0}, {2, 0, 7}};
        for (const auto& c : cases) {
            int k = 0;
            ui.ChangeRecords([&](CNVItem& r) { r.SetActive(k < c.active ? 1 : k < c.active + c.inactive ? 0 : -1), ++k; });
            ui.Frame().UpdateTitle();
            QCOMPARE(ui.Frame().StatusField(CMainFrame::kStatusCounts)->text(),
                     QString("7 items (9 records): %1 active, %2 not active, %3 unreadable")
                         .arg(c.active)
                         .arg(c.inactive)
                         .arg(c.unreadable));
        }
    }

    void withoutTypesTheProgramStartsAndShowsRawBytesUntilTheImport() {
        SUiApp noTypes(false);
        QVERIFY(noTypes.Start());
        QCOMPARE(noTypes.sink.Messages(), std::vector<std::string>{"Can't open NVTypes.typ file.\n" + noTypes.dir +
                                                                   "/NVTypes.typ: No such file or directory"});
        CMainFrame& frame = noTypes.Frame();
        noTypes.FillDatabase();
        frame.Views().BuildItemsTree();
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "(Id=441) NV_BAND_PREF_I"));
        QCOMPARE(RowTexts(frame.ContentView(), 0), (std::vector<std::string>{"value", "", "B3 B6", "raw"}));
        QVERIFY(!frame.ContentView().OpenEditor(frame.ContentView().visualRect(frame.ContentView().model()->index(0, 2)).center()));

        WriteFile(noTypes.Path("NVTypesDefine.def"), "uint16;uint16 value;\n");
        noTypes.chooser.paths = {noTypes.Path("NVTypesDefine.def")};
        frame.Action(CMainFrame::kImportTypes)->trigger();
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "(Id=9) NV_PREF_MODE_I"));
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "(Id=441) NV_BAND_PREF_I"));
        QCOMPARE(CellText(frame.ContentView(), 0, 2), std::string("B6B3"));

        SUiApp noDefinitions(true, false);
        QVERIFY(!noDefinitions.Start());
        QCOMPARE(noDefinitions.sink.Messages(), std::vector<std::string>{"Can't open a file\n" + noDefinitions.dir +
                                                                         "/NVItemsDefine.def: No such file or directory"});
    }

    void stoppingTheDefinitionsReadEndsStartUp() {
        SUiApp ui;
        ui.sink.answers = {true};
        ui.app = std::make_unique<CTessivaApp>(&ui.sink, &ui.chooser);
        // Cancel in the application's own progress dialog as soon as it is offered.
        CProgressDialog& dialog = ui.app->ProgressDialog();
        auto* timer = new QTimer(&dialog);
        QObject::connect(timer, &QTimer::timeout, &dialog, [&dialog] {
            if (dialog.isVisible() && dialog.CancelButton()->isEnabled()) dialog.CancelButton()->click();
        });
        timer->start(1);
        // A large file keeps the job busy long enough to be stopped.
        std::string big;
        for (int i = 0; i < 200000; ++i) big += "NV_X_" + std::to_string(i) + ";" + std::to_string(i % 5000) + ";f;G;4;uint32\n";
        WriteFile(ui.Path("NVItemsDefine.def"), big);
        QVERIFY(!ui.app->InitInstance(ui.dir));
        QCOMPARE(ui.sink.Questions().size(), size_t(1));
        QVERIFY(ui.sink.Questions()[0].find("Tessiva will be closed") != std::string::npos);
    }

    void menusHoldEveryCommandInOrder() {
        SUiApp ui;
        QVERIFY(ui.Start());
        const QList<QAction*> menus = ui.Frame().menuBar()->actions();
        QStringList titles;
        for (QAction* menu : menus) titles << QString::fromStdString(Caption(menu));
        QCOMPARE(titles, (QStringList{"File", "Edit", "Connection", "Tools", "Help"}));
        QCOMPARE(MenuEntries(menus[0]->menu()),
                 (std::vector<std::string>{"33000 Open Backup...", "33001 Save", "33002 Save As...", "-",
                                           "32786 Load from BRT File", "32785 Save All Active to BRT File",
                                           "32787 Save Selected && Active to BRT File", "-",
                                           "32843 Load from CNV File", "32851 Add NV Items from CNV File",
                                           "32844 Save All Active to CNV File", "32845 Save Selected && Active to CNV File",
                                           "-", ">QCN and XQCN Files",
                                           "-", "32846 Send SPC Code to Mobile", "-", "32780 Upload All from Mobile",
                                           "32861 Upload from Mobile by CSV file", "32781 Download All Active to Mobile",
                                           "32788 Download Selected && Active to Mobile", "-",
                                           "32847 Create CSV File by All NV Items",
                                           "32848 Create CSV File by Selected NV Items", "-", ">Recent Files", "-",
                                           "57665 Exit"}));
        // The kinds the first File menu lacked share a submenu, so File fits a small screen.
        QMenu* more = nullptr;
        for (QAction* entry : menus[0]->menu()->actions())
            if (entry->menu()) more = more ? more : entry->menu();
        QVERIFY(more);
        QCOMPARE(MenuEntries(more),
                 (std::vector<std::string>{"32853 Load NV Items to QCN File", "32854 Save All Active NV Items to QCN File",
                                           "32855 Save Selected && Active NV Items to QCN File",
                                           "32870 Load from XQCN File", "32871 Save All Active NV Items to XQCN File",
                                           "32872 Save Selected && Active NV Items to XQCN File"}));
        QCOMPARE(MenuEntries(menus[1]->menu()),
                 (std::vector<std::string>{"32856 Find NV Item", "33003 Find Next", "-", "0 Undo", "0 Redo", "-",
                                           "33005 Add to Selected", "33006 Remove from Selected"}));
        QCOMPARE(MenuEntries(menus[2]->menu()),
                 (std::vector<std::string>{">Choice Com", "-", "32784 Connect Server", "32783 Disconnect Server", "-",
                                           "32900 Back Up Before Download", "32901 Verify Writes", "32904 Several Reads at a Time",
                                           "32902 Restore Last Backup to Mobile", "32903 Open Backups Folder", "-",
                                           "33021 Back Up Phone...", "33022 Restore Backup to Phone...",
                                           "33020 Phone Files..."}));
        const std::vector<std::string> ports = MenuEntries(menus[2]->menu()->actions()[0]->menu());
        QCOMPARE(ports.size(), size_t(20));
        QCOMPARE(ports.front(), std::string("200 Com 1"));
        QCOMPARE(ports.back(), std::string("219 Com 20"));
        QCOMPARE(MenuEntries(menus[3]->menu()),
                 (std::vector<std::string>{"32852 Import NV Types from DEF file", "33004 Compare with Backup..."}));
        QCOMPARE(MenuEntries(menus[4]->menu()),
                 (std::vector<std::string>{"33007 Keyboard Shortcuts", "57664 About Tessiva..."}));

        // Every command is offered; the COM items follow the ports present when the menu opens.
        for (int id : {32786, 32785, 32787, 32843, 32840, 32851, 32849, 32844, 32841, 32845, 32842, 32853, 32854, 32855,
                       32846, 32839, 32780, 32861, 32858, 32781, 32788, 32847, 32837, 32848, 32838, 32856, 32857, 32852,
                       32784, 32783, 57664, 57665, 32870, 32871, 32872})
            QVERIFY2(ui.Frame().Action(id)->isEnabled(), std::to_string(id).c_str());
    }

    void toolbarHasTheButtonsTheBoxesAndTheFourPanes() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        // Buttons in resource order, each the one action of its command under the toolbar's
        // id; the port box and the state box at the end, set apart.
        const std::vector<int> expected = {32857, 0,     32786, 32785, 32787, 0,     32840, 32849, 32841,
                                           32842, 0,     32853, 32854, 32855, 0,     32839, 0,     32780,
                                           32858, 32781, 32788, 0,     32837, 32838, 0,     32784, 32783,
                                           0,     0,     0};
        const QList<QAction*> buttons = frame.ToolBar()->actions();
        QCOMPARE(buttons.size(), qsizetype(expected.size()));
        for (size_t i = 0; i + 2 < expected.size(); ++i)
            QVERIFY2(expected[i] ? buttons[int(i)] == frame.Action(expected[i]) : buttons[int(i)]->isSeparator(),
                     std::to_string(i).c_str());
        frame.resize(1280, 800);  // a small screen gets smaller buttons
        QCOMPARE(frame.ToolBar()->iconSize(), QSize(32, 32));
        QCOMPARE(frame.Action(32786)->toolTip(), QString("Load NV Items from BRT File"));
        QCOMPARE(frame.Action(32853)->toolTip(), QString("Load NV Items to QCN File"));
        QCOMPARE(frame.Action(32855)->toolTip(), QString("Save Selected & Active NV Items to QCN File"));
        for (QAction* action : frame.ToolBar()->actions())
            if (!action->isSeparator() && action->data().toInt() != 0) QVERIFY(!action->icon().isNull());
        QCOMPARE(frame.ConnectionBox()->text(), QString("NOT CONNECTED"));
        QVERIFY(!frame.ConnectionBox()->isEnabled());
        QVERIFY(frame.PortBox() != nullptr);
        QVERIFY(frame.findChild<QStatusBar*>() != nullptr);

        QCOMPARE(frame.OuterSplitter()->count(), 3);
        QCOMPARE(frame.InnerSplitter()->count(), 2);
        auto caption = [](QSplitter* splitter, int i) { return qobject_cast<CPaneFrame*>(splitter->widget(i))->Caption(); };
        QCOMPARE(caption(frame.OuterSplitter(), 0), QString("NV Items"));
        QCOMPARE(caption(frame.OuterSplitter(), 1), QString("Selected NV Items"));
        QCOMPARE(caption(frame.InnerSplitter(), 0), QString("NV Item's Attributes"));
        QCOMPARE(caption(frame.InnerSplitter(), 1), QString("NV Item Content"));
        QCOMPARE(frame.OuterSplitter()->sizes()[0], 200);
        // The item list gets 500 pixels, less on a small screen, and more than the content view.
        const QList<int> inner = frame.InnerSplitter()->sizes();
        QVERIFY(inner[0] <= 500 && inner[0] > inner[1]);
    }

    void eachBackupKindLoadsThroughItsCommand() {
        for (const char* name : {"all.brt", "all.cnv", "all.qcn"}) {
            SUiApp ui;
            QVERIFY(ui.Start());
            ui.FillDatabase();
            const auto expected = ValuesById(ui.Doc().Items());
            QVERIFY(ui.SaveBackup(ui.Path(name)));
            QVERIFY(ui.Doc().SetRecords({}).IsCompleted());
            ui.sink.ClearRecords();

            const std::string kind = std::string(name).substr(4);
            const int command = kind == "brt" ? 32786 : kind == "cnv" ? 32840 : 32853;
            ui.chooser.paths = {ui.Path(name)};
            ui.Frame().Action(command)->trigger();
            QCOMPARE(ui.chooser.LastAsked().filterLabel, "output files (*." + kind + ")");
            QCOMPARE(ui.chooser.LastAsked().defaultExtension, kind);
            QCOMPARE(ui.chooser.LastAsked().initialName, "*." + kind);
            QCOMPARE(ValuesById(ui.Doc().Items()), expected);
            QCOMPARE(ui.Doc().Entries(CTessivaDoc::ETree::Items).GetCount(), ui.Doc().Items().GetSize());
            CNVTreeView& tree = ui.Frame().ItemsTree();
            QCOMPARE(TopLevelTexts(tree), (std::vector<std::string>{"CDMA", "PHONEBOOK", "RF", "SECURITY"}));
            QCOMPARE(ChildTexts(tree.topLevelItem(0)),
                     (std::vector<std::string>{"(Id=9) NV_PREF_MODE_I", "(Id=10) NV_SCI_I [ 0 ]", "(Id=10) NV_SCI_I [ 1 ]",
                                               "(Id=10) NV_SCI_I [ 2 ]"}));
            QCOMPARE(ChildTexts(tree.topLevelItem(3)),
                     (std::vector<std::string>{"(Id=0) NV_ESN_I", "(Id=1) NV_ESN_CHKSUM_I"}));
        }
    }

    void numberedBackupShowsSubscriptionsAndItemFilesAndSavesInItsLayout() {
        SUiApp ui;
        WriteFile(ui.Path("NVItemFiles.def"), "CAL_DIAL;/nv/item_files/cal;Cal;6;dial_type\n");
        QVERIFY(ui.Start());
        CNVItemArray records = FilledRecords(ui.Doc());
        records[0].SetSubscription(1);
        QVERIFY(ui.Doc().SetRecords(records).IsCompleted());
        // A numbered file written by the document, with an item file added as other tools have them.
        const std::string path = ui.Path("n.qcn");
        QVERIFY(ui.Doc().SaveBackup(path, CTessivaDoc::EScope::AllActive, CBackupFiles::ESaveLayout::Numbered).IsCompleted());
        CCompoundNode tree;
        EBackupForm form{};
        SNumberedBackup backup;
        std::string error;
        QVERIFY(ReadBackupTree(path, tree, form, error) && DecodeNumbered(tree, backup, error));
        backup.itemFiles.push_back(MakeItemFile("NV_Items", "/nv/item_files/a", std::vector<uint8_t>(20, 0xAB)));
        backup.itemFiles.push_back(MakeItemFile("NV_Items", "/nv/item_files/cal_Subscription01", {1, 2, 3, 0, 4, 0}));
        QVERIFY(EncodeNumbered(backup, tree, error) && WriteBackupTree(path, tree, form, error));

        ui.chooser.paths = {path};
        ui.Frame().Action(CMainFrame::kLoadQcn)->trigger();
        CNVTreeView& items = ui.Frame().ItemsTree();
        const std::vector<std::string> top = TopLevelTexts(items);
        QVERIFY(std::find(top.begin(), top.end(), "Subscription 1: SECURITY") != top.end());
        QCOMPARE(top.back(), std::string("Item files"));
        QTreeWidgetItem* files = items.topLevelItem(items.topLevelItemCount() - 1);
        QVERIFY(files && files->child(0) && files->child(0)->child(0));
        items.setCurrentItem(files->child(0)->child(0));
        CNVContentView& content = ui.Frame().ContentView();
        QCOMPARE(RowTexts(content, 0), (std::vector<std::string>{"Path", "/nv/item_files/a", "", "NV_Items"}));
        QCOMPARE(CellText(content, 1, 1), std::string("20"));
        QCOMPARE(CellText(content, 3, 2), std::string("AB AB AB AB"));
        // Pictured as the other nodes, and the sixteen bytes of a row shown whole.
        for (QTreeWidgetItem* node = files->child(0)->child(0); node; node = node->parent()) QVERIFY(!node->icon(0).isNull());
        QVERIFY(content.columnWidth(CNVContentView::kHexValue) >=
                content.fontMetrics().horizontalAdvance(QString::fromStdString(CellText(content, 2, 2))));
        // A file NVItemFiles.def names goes by its name and shows its type's fields.
        QTreeWidgetItem* named = files->child(0)->child(1);
        QVERIFY(named);
        QCOMPARE(named->text(0).toStdString(), std::string("Subscription 1: CAL_DIAL"));
        items.setCurrentItem(named);
        QCOMPARE(RowTexts(content, 2), (std::vector<std::string>{"Subscription", "1", "", ""}));
        QCOMPARE(RowTexts(content, 6), (std::vector<std::string>{"code", "4", "4", "uint16"}));
        QCOMPARE(content.topLevelItemCount(), 7);

        // The first file type keeps the layout the items came in; the second chooses it for others.
        ui.chooser.paths = {ui.Path("same.qcn")};
        ui.Frame().Action(CMainFrame::kSaveAllQcn)->trigger();
        QCOMPARE(ui.chooser.LastAsked().otherFilterLabel, std::string("QCN, numbered-items layout (*.qcn)"));
        std::string found;
        QVERIFY(ReadBackupTree(ui.Path("same.qcn"), tree, form, error));
        QCOMPARE(DetectQcnLayout(tree, found), EQcnLayout::Numbered);
        // A document from elsewhere: Tessiva's layout unless the second type is picked.
        ui.chooser.paths = {ui.Path("b.brt")};
        ui.Frame().Action(CMainFrame::kSaveAllBrt)->trigger();
        ui.chooser.paths = {ui.Path("b.brt")};
        ui.Frame().Action(CMainFrame::kLoadBrt)->trigger();
        ui.chooser.paths = {ui.Path("plain.qcn")};
        ui.Frame().Action(CMainFrame::kSaveAllQcn)->trigger();
        QVERIFY(ReadBackupTree(ui.Path("plain.qcn"), tree, form, error));
        QCOMPARE(DetectQcnLayout(tree, found), EQcnLayout::Tessiva);
        ui.chooser.paths = {ui.Path("chosen.qcn")};
        ui.chooser.filter = 1;
        ui.Frame().Action(CMainFrame::kSaveAllQcn)->trigger();
        QVERIFY(ReadBackupTree(ui.Path("chosen.qcn"), tree, form, error));
        QCOMPARE(DetectQcnLayout(tree, found), EQcnLayout::Numbered);
    }

    void menuAndToolbarIdsOfAPairRunTheSameLoad() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("a.cnv")));
        for (int command : {32843, 32840}) {
            QVERIFY(ui.Doc().SetRecords({}).IsCompleted());
            ui.chooser.paths = {ui.Path("a.cnv")};
            ui.Frame().Action(command)->trigger();
            QCOMPARE(ui.Doc().Items().GetSize(), 9);
            QCOMPARE(ui.Frame().ItemsTree().topLevelItemCount(), 4);
        }
    }

    void cancelledDialogOrAFailedLoadKeepsTheRecordsAndThePanes() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        ui.Frame().Views().BuildItemsTree();
        ui.Frame().ItemsTree().setCurrentItem(ui.Frame().ItemsTree().topLevelItem(0));
        const int rows = ui.Frame().ListView().topLevelItemCount();
        QVERIFY(rows > 0);

        ui.Frame().Action(32786)->trigger();  // no path: the dialog is cancelled
        QCOMPARE(ui.Doc().Items().GetSize(), 9);
        QCOMPARE(ui.Frame().ItemsTree().topLevelItemCount(), 4);

        WriteFile(ui.Path("broken.cnv"), std::string("\x01\x02\x03", 3));
        ui.chooser.paths = {ui.Path("broken.cnv")};
        ui.Frame().Action(32843)->trigger();
        QVERIFY(!ui.sink.Messages().empty());
        QCOMPARE(ui.Doc().Items().GetSize(), 9);
        QCOMPARE(ui.Doc().Entries(CTessivaDoc::ETree::Items).GetCount(), 9);
        QCOMPARE(ui.Frame().ItemsTree().topLevelItemCount(), 4);
        QCOMPARE(ui.Frame().ListView().topLevelItemCount(), rows);
        QCOMPARE(ui.Frame().windowTitle(), QString("Tessiva v1.5"));
    }

    void saveCommandsWriteWhatTheDocumentWrites() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        for (const char* kind : {"brt", "cnv", "qcn"}) {
            const int command = std::string(kind) == "brt" ? 32785 : std::string(kind) == "cnv" ? 32844 : 32854;
            ui.chooser.paths = {ui.Path(std::string("menu.") + kind)};
            ui.Frame().Action(command)->trigger();
            QVERIFY(ui.SaveBackup(ui.Path(std::string("direct.") + kind)));
            QVERIFY(!ReadBytes(ui.Path(std::string("menu.") + kind)).empty());
            if (std::string(kind) != "qcn")  // a compound file's layout may differ in unused sectors
                QCOMPARE(ReadBytes(ui.Path(std::string("menu.") + kind)), ReadBytes(ui.Path(std::string("direct.") + kind)));
            QCOMPARE(ui.chooser.LastAsked().filterLabel, "output files (*." + std::string(kind) + ")");
            QVERIFY(ui.chooser.LastAsked().overwritePrompt);
        }
    }

    void importOfTypesReplacesTheCatalogueOrKeepsTheOldOne() {
        SUiApp ui;
        QVERIFY(ui.Start());
        WriteFile(ui.Path("NVTypesDefine.def"), "pair_type;uint8 a;uint8 b;\nuint8;uint8 value;\n");
        ui.chooser.paths = {ui.Path("NVTypesDefine.def")};
        ui.Frame().Action(32852)->trigger();
        QCOMPARE(ui.chooser.LastAsked().filterLabel, std::string("def files (*.def)"));
        QVERIFY(ui.Doc().Decoder().SelectType("pair_type"));
        QVERIFY(ReadFile(ui.Path("NVTypes.typ")).find("pair_type;uint8 a;uint8 b;") != std::string::npos);

        ui.chooser.paths = {ui.Path("missing.def")};
        ui.Frame().Action(32852)->trigger();
        QVERIFY(ui.Doc().Decoder().SelectType("pair_type"));  // reloaded from NVTypes.typ

        // The item definitions taken for types: nothing valid, so nothing is replaced.
        const std::string good = ReadFile(ui.Path("NVTypes.typ"));
        ui.chooser.paths = {ui.Path("NVItemsDefine.def")};
        ui.Frame().Action(32852)->trigger();
        QCOMPARE(ReadFile(ui.Path("NVTypes.typ")), good);
        QVERIFY(Last(ui.sink.Messages()).find("could not be converted") != std::string::npos);
        // Some types bad: asked first; No keeps the file, Yes replaces it and keeps the old one as .bak.
        WriteFile(ui.Path("mixed.def"), "fine_type;uint8 a;\nbroken_type;no_such_type b;\n");
        for (bool yes : {false, true}) {
            ui.sink.answers = {yes};
            ui.chooser.paths = {ui.Path("mixed.def")};
            ui.Frame().Action(32852)->trigger();
            QVERIFY(Last(ui.sink.Questions()).find("2 NV types were read, 1 of them") != std::string::npos);
            QCOMPARE(ui.Doc().Decoder().SelectType("fine_type"), yes);
        }
        QCOMPARE(ReadFile(ui.Path("NVTypes.typ.bak")), good);
    }

    void fileDialogsCarryTheFilterTheSuffixAndTheInitialName() {
        const std::string dir = MakeTempDir("dialog");
        WriteFile(dir + "/in.cnv", "x");
        SFileDialogRequest request;
        request.filterLabel = "output files (*.cnv)";
        request.filterPattern = "*.cnv";
        request.defaultExtension = "cnv";
        request.initialName = "*.cnv";
        request.overwritePrompt = true;
        CFileDialogChooser chooser;
        QStringList seen;
        // Each name is confirmed in turn; a pattern among them must leave the dialog open.
        auto answer = [&](const QStringList& names) {
            QTimer::singleShot(0, [&, names] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<QFileDialog*>(widget);
                    if (!dialog || !dialog->isVisible()) continue;
                    seen << dialog->nameFilters().join(";") << dialog->defaultSuffix()
                         << QString::number(dialog->acceptMode());
                    dialog->setDirectory(QString::fromStdString(dir));
                    for (const QString& name : names) {
                        if (!dialog->isVisible()) seen << "closed before " + name;
                        dialog->selectFile(name);
                        QMetaObject::invokeMethod(dialog, "accept");
                    }
                }
            });
        };
        std::string path;
        answer({"in.cnv"});
        QVERIFY(chooser.ChooseOpenFile(request, path));
        QCOMPARE(path, dir + "/in.cnv");
        answer({"*.cnv", "out"});  // the initial name confirmed as it stands names no file
        QVERIFY(chooser.ChooseSaveFile(request, path));
        QCOMPARE(path, dir + "/out.cnv");  // the default extension is added
        QCOMPARE(seen, (QStringList{"output files (*.cnv)", "cnv", QString::number(QFileDialog::AcceptOpen),
                                    "output files (*.cnv)", "cnv", QString::number(QFileDialog::AcceptSave)}));
    }

    void aboutBoxShowsIconNameAndVersion() {
        CAboutDialog about;
        QCOMPARE(about.windowTitle(), QString("About Tessiva"));
        auto* text = about.findChild<QLabel*>("AboutText");
        auto* icon = about.findChild<QLabel*>("AboutIcon");
        QPushButton* ok = about.findChild<QPushButton*>();
        QVERIFY(text && icon && ok);
        QCOMPARE(text->text(), QString("Tessiva\nVersion 1.5"));
        QVERIFY(!icon->pixmap().isNull());
        QCOMPARE(ok->text(), QString("OK"));
        QVERIFY(ok->isDefault());
        QTimer::singleShot(0, ok, &QPushButton::click);
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }
};
UI_TEST_CLASS(CMainFrameTest);

#include "main_frame_test.moc"
