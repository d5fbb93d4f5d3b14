// What users expect of a desktop tool: Open and Save of any kind, drops, recent files, the
// status bar, Find Next, the keyboard and Compare with Backup.
#include "files/backup_kind.h"
#include "ui/compare_dialog.h"
#include "ui/doc_views.h"
#include "ui/find_dialog.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/progress_dialog.h"
#include "ui/nv_tree_view.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include "ui/item_window.h"
#include "ui/readable_colours.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QStatusBar>
#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>

namespace {
int RecordIndex(const CNVItemArray& items, int id) {
    for (int i = 0; i < items.GetSize(); ++i)
        if (items[i].Id() == id) return i;
    return -1;
}

std::string SelectedText(CNVTreeView& tree) { return CNVTreeView::NodeText(tree.SelectedNode()); }

// The widget as drawn: its commonest colour is the background, and the text is the colour
// that stands out most from it.
double DrawnContrast(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) std::tie(background, most) = std::pair(it.key(), it.value());
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) best = std::max(best, ContrastRatio(QColor(background), QColor(it.key())));
    return best;
}
}  // namespace

class CConventionsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QSettings().clear(); }

    void openAnyKindSaveBackAndRememberIt() {
        for (const char* ext : {"brt", "cnv", "qcn", "xqcn"}) {
            QSettings().clear();
            SUiApp ui;
            QVERIFY(ui.Start());
            CMainFrame& frame = ui.Frame();
            frame.resize(1600, 1000);  // wide enough for the status fields whole beside the result
            ui.FillDatabase();
            const std::string path = ui.Path(std::string("backup.") + ext);
            QVERIFY(ui.Doc().SaveBackup(path).IsCompleted());

            // Unsaved changes are asked about once, before the file dialog.
            QVERIFY(ui.Doc().SetValue(0, {0x55}).IsCompleted());
            ui.sink.answers = {false};
            ui.chooser.paths = {path};
            frame.Action(CMainFrame::kOpenBackup)->trigger();
            QCOMPARE(ui.sink.Questions().size(), size_t(1));
            QCOMPARE(ui.Doc().Items().GetSize(), 9);
            QCOMPARE(ui.Doc().DocumentPath(), path);
            QCOMPARE(frame.StatusField(CMainFrame::kStatusFile)->text().toStdString(), path);
            QCOMPARE(frame.StatusField(CMainFrame::kStatusCounts)->text(),
                     QString("7 items (9 records): 9 active, 0 not active, 0 unreadable"));
            QCOMPARE(frame.StatusMessage(), QString("Loaded 9 records from backup.%1").arg(ext));
            QCOMPARE(frame.RecentFiles(), QStringList{QString::fromStdString(path)});
            QCOMPARE(QSettings().value("Files/LastFolder").toString().toStdString(), ui.dir);

            // Save writes the edit back into the same file, in its kind, leaving no temporary file.
            const int band = RecordIndex(ui.Doc().Items(), 441);
            QVERIFY(ui.Doc().SetValue(band, {0x12, 0x34}).IsCompleted());
            frame.UpdateTitle();
            QVERIFY(frame.windowTitle().startsWith(QString("backup.%1*").arg(ext)));
            frame.Action(CMainFrame::kSave)->trigger();
            QVERIFY2(!ui.Doc().IsModified(), ext);
            QVERIFY(!frame.windowTitle().contains('*'));
            QVERIFY(ui.chooser.asked.size() == 1);  // Save asked for no file
            QCOMPARE(QDir(QString::fromStdString(ui.dir)).entryList(QDir::Files).size(), 3);
            QVERIFY(ui.Doc().LoadBackup(path).IsCompleted());
            QCOMPARE(ui.Doc().Items()[RecordIndex(ui.Doc().Items(), 441)].Value(), (std::vector<uint8_t>{0x12, 0x34}));
        }
    }

    void saveAsTakesTheKindFromTheFilterAndDropsAndRecentFilesOpen() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        const struct {
            int filter;
            const char* typed;
            const char* written;
            EBackupKind kind;
        } cases[] = {{0, "a", "a.brt", EBackupKind::Brt},
                     {1, "b.cnv", "b.cnv", EBackupKind::Cnv},
                     {3, "c", "c.qcn", EBackupKind::Qcn},
                     {4, "d.txt", "d.txt.xqcn", EBackupKind::Xqcn}};
        for (const auto& c : cases) {
            ui.chooser.filter = c.filter;
            ui.chooser.paths = {ui.Path(c.typed)};
            frame.Action(CMainFrame::kSaveAs)->trigger();
            QCOMPARE(ui.Doc().DocumentPath(), ui.Path(c.written));
            QVERIFY2(DetectBackupKind(ui.Path(c.written)) == c.kind, c.written);
        }
        // Newest first; the menu opens them by number.
        QCOMPARE(frame.RecentFiles().size(), 4);
        QCOMPARE(frame.RecentFiles().front().toStdString(), ui.Path("d.txt.xqcn"));
        for (int i = 0; i < 12; ++i) {
            QFile::copy(QString::fromStdString(ui.Path("b.cnv")), QString::fromStdString(ui.Path("copy" + std::to_string(i) + ".cnv")));
            QVERIFY(frame.OpenBackup(ui.Path("copy" + std::to_string(i) + ".cnv")));
        }
        QCOMPARE(frame.RecentFiles().size(), 10);
        QAction* second = frame.Action(CMainFrame::kRecentFirst + 1);
        QVERIFY(second->text().startsWith("&2 "));
        second->trigger();
        QCOMPARE(ui.Doc().DocumentPath(), ui.Path("copy10.cnv"));

        // A file dropped from a file manager opens once the drop has ended.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(ui.Path("a.brt")))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&frame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&frame, &drop);
        QTRY_COMPARE(ui.Doc().DocumentPath(), ui.Path("a.brt"));
        QCOMPARE(ui.Doc().Items().GetSize(), 9);
    }

    void findTakesIdsAndNamesInEitherTreeAndFindNextWalksOn() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        frame.Views().BuildItemsTree();
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "(Id=9) NV_PREF_MODE_I"));
        frame.SelectedTree().DropFrom(frame.ItemsTree());
        auto find = [&](const char* text, int command = CMainFrame::kFindMenu) {
            QCOMPARE(Answering<CFindDialog>({Search(text)}, [&] { frame.Action(command)->trigger(); }), 1);
        };
        const struct {
            const char* text;
            int command;
            bool inSelected;
            const char* node;
            const char* row;
        } finds[] = {
            {"  441 ", CMainFrame::kFindToolbar, false, "(Id=441) NV_BAND_PREF_I", "NV_BAND_PREF_I"},
            {"nv_esn_i", CMainFrame::kFindMenu, false, "(Id=0) NV_ESN_I", "NV_ESN_I"},  // before the names holding it
            {"NV_SCI_I", CMainFrame::kFindMenu, false, "(Id=10) NV_SCI_I [ 0 ]", "NV_SCI_I [ 0 ]"},  // the first element
            {"9", CMainFrame::kFindMenu, true, "(Id=9) NV_PREF_MODE_I", "NV_PREF_MODE_I"},  // only in the selection
            {"pref", CMainFrame::kFindMenu, false, "(Id=441) NV_BAND_PREF_I", "NV_BAND_PREF_I"},  // part of a name
        };
        for (const auto& f : finds) {
            find(f.text, f.command);
            CNVTreeView& tree = f.inSelected ? frame.SelectedTree() : frame.ItemsTree();
            QCOMPARE(SelectedText(tree), std::string(f.node));
            QVERIFY(tree.IsCurrent());
            QCOMPARE(frame.focusWidget(), static_cast<QWidget*>(&tree));
            QCOMPARE(CellText(frame.ListView(), 0, 0), std::string(f.row));
        }
        QVERIFY(ui.sink.Messages().empty());
        frame.Action(CMainFrame::kFindNext)->trigger();
        QCOMPARE(SelectedText(frame.SelectedTree()), std::string("(Id=9) NV_PREF_MODE_I"));
        QVERIFY(frame.SelectedTree().IsCurrent());
        frame.Action(CMainFrame::kFindNext)->trigger();  // round again
        QCOMPARE(SelectedText(frame.ItemsTree()), std::string("(Id=441) NV_BAND_PREF_I"));

        for (const char* missing : {"0441", "NV_NO_SUCH", "nothing like it"}) {
            ui.sink.ClearRecords();
            find(missing);
            QCOMPARE(ui.sink.Messages(), std::vector<std::string>{"NV Item not found."});
            QCOMPARE(SelectedText(frame.ItemsTree()), std::string("(Id=441) NV_BAND_PREF_I"));
        }
    }

    void everyMenuEntryHasAnAltLetterAndTheShortcutsAreShown() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        // Letters never repeat in a menu; only the twenty ports, whose words hold fewer letters
        // and digits than that, leave some entries without one.
        auto letter = [](const QAction* action) {
            const QString text = QString(action->text()).replace("&&", "");
            const qsizetype at = text.indexOf('&');
            return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
        };
        std::function<void(QMenu*)> check = [&](QMenu* menu) {
            QSet<QChar> letters;
            int entries = 0;
            const bool ports = menu->title().remove('&') == "Choice Com";
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) continue;
                if (letter(action).isNull()) {
                    QVERIFY2(ports && entries >= 10, qPrintable(action->text()));
                } else {
                    ++entries;
                    letters.insert(letter(action));
                }
                if (action->menu()) check(action->menu());
            }
            QVERIFY2(letters.size() == entries, qPrintable(menu->title()));
        };
        QSet<QChar> titles;
        for (QAction* menu : frame.menuBar()->actions()) {
            titles.insert(letter(menu));
            check(menu->menu());
        }
        QCOMPARE(titles.size(), frame.menuBar()->actions().size());
        const std::pair<int, const char*> shortcuts[] = {{CMainFrame::kOpenBackup, "Ctrl+O"}, {CMainFrame::kSave, "Ctrl+S"},
                                                         {CMainFrame::kSaveAs, "Ctrl+Shift+S"}, {CMainFrame::kFindMenu, "Ctrl+F"},
                                                         {CMainFrame::kFindNext, "F3"}};
        for (const auto& [id, keys] : shortcuts) QCOMPARE(frame.Action(id)->shortcut(), QKeySequence(keys));
    }

    void f2EditsTheValueCellAndTabMovesToTheOtherOne() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        frame.Views().BuildItemsTree();
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "(Id=57) NV_DIAL_I"));
        CNVContentView& content = frame.ContentView();
        content.setFocus();
        content.setCurrentIndex(content.model()->index(0, CNVContentView::kFieldName));
        for (int key : {Qt::Key_F2, Qt::Key_Return}) {
            QTest::keyClick(&content, static_cast<Qt::Key>(key));
            QVERIFY(content.Editor());
            QCOMPARE(content.Editor()->geometry().x(), content.columnViewportPosition(CNVContentView::kDecValue));
            QTest::keyClick(content.Editor(), Qt::Key_Escape);
            QVERIFY(!content.Editor());
        }
        QTest::keyClick(&content, Qt::Key_F2);
        content.Editor()->setText("7");
        content.Editor()->setModified(true);
        QTest::keyClick(content.Editor(), Qt::Key_Tab);
        QVERIFY(content.Editor());
        QCOMPARE(content.Editor()->geometry().x(), content.columnViewportPosition(CNVContentView::kHexValue));
        QCOMPARE(content.Editor()->text().toStdString(), CellText(content, 0, CNVContentView::kHexValue));
        QCOMPARE(CellText(content, 0, CNVContentView::kDecValue), std::string("7"));
        QCOMPARE(ui.Doc().Items()[RecordIndex(ui.Doc().Items(), 57)].Value()[0], uint8_t(7));
        QTest::keyClick(content.Editor(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(content.Editor()->geometry().x(), content.columnViewportPosition(CNVContentView::kDecValue));
    }

    void aSecondHeadingClickTurnsTheOrderRound() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        frame.Views().BuildItemsTree();
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "SECURITY"));
        CNVListView& list = frame.ListView();
        auto names = [&] { return std::make_pair(CellText(list, 0, 0), CellText(list, 1, 0)); };
        const std::pair<std::string, std::string> ascending{"NV_ESN_CHKSUM_I", "NV_ESN_I"}, descending{"NV_ESN_I", "NV_ESN_CHKSUM_I"};
        const std::pair<Qt::SortOrder, std::pair<std::string, std::string>> clicks[] = {
            {Qt::AscendingOrder, ascending}, {Qt::DescendingOrder, descending}, {Qt::AscendingOrder, ascending}};
        for (const auto& [order, rows] : clicks) {
            QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {},
                              QPoint(list.header()->sectionViewportPosition(0) + 5, 5));
            QCOMPARE(list.header()->sortIndicatorOrder(), order);
            QVERIFY(list.header()->isSortIndicatorShown());
            QCOMPARE(names(), rows);
        }
        // Reselecting the group keeps the order the arrow shows.
        QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, QPoint(list.header()->sectionViewportPosition(0) + 5, 5));
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "CDMA"));
        frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), "SECURITY"));
        QCOMPARE(names(), descending);
        list.setCurrentItem(list.topLevelItem(0));
        QCOMPARE(frame.ContentView().ItemName(), std::string("NV_ESN_I"));
    }

    void theToolbarFitsSmallScreensAndTheLayoutIsRemembered() {
        for (const QSize size : {QSize(1024, 640), QSize(1600, 1000)}) {
            QSettings().clear();
            SUiApp ui;
            QVERIFY(ui.Start());
            CMainFrame& frame = ui.Frame();
            frame.resize(size);
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QApplication::processEvents();
            QToolBar& bar = *frame.ToolBar();
            for (QAction* action : bar.actions()) {
                QWidget* shown = bar.widgetForAction(action);
                if (action->isSeparator() || !shown) continue;
                QVERIFY2(shown->isVisible() && shown->geometry().right() <= bar.width(), qPrintable(action->toolTip()));
                if (!action->icon().isNull())  // drawn at each size, not scaled
                    QCOMPARE(action->icon().availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}}));
            }
            QVERIFY2(frame.ContentView().height() >= 150, qPrintable(QString("%1 %2 %3").arg(frame.ContentView().height()).arg(frame.InnerSplitter()->height()).arg(frame.height())));
        }
        // Sizes and columns come back in the next session.
        QSettings().clear();
        {
            SUiApp ui;
            QVERIFY(ui.Start());
            ui.Frame().resize(1100, 700);
            QApplication::processEvents();
            ui.Frame().OuterSplitter()->setSizes({150, 260, 600});
            ui.Frame().ListView().setColumnWidth(0, 321);
            ui.Frame().close();
        }
        SUiApp again;
        QVERIFY(again.Start());
        QApplication::processEvents();
        QCOMPARE(again.Frame().size(), QSize(1100, 700));
        QCOMPARE(again.Frame().OuterSplitter()->sizes()[1], 260);
        QCOMPARE(again.Frame().ListView().columnWidth(0), 321);
    }

    void progressCountsAndTellsTheTimeLeft() {
        const struct {
            int position, high;
            qint64 elapsed;
            const char* text;
        } cases[] = {{0, 1, 0, ""},
                     {0, 331, 0, "0 of 331"},
                     {10, 100, 2000, "10 of 100"},
                     {50, 100, 10000, "50 of 100, about 10 s left"},
                     {10, 100, 10000, "10 of 100, about 1 min 30 s left"},
                     {100, 100, 10000, "100 of 100"},
                     {150, 100, 10000, "100 of 100"}};
        for (const auto& c : cases) QCOMPARE(CProgressDialog::ProgressText(c.position, c.high, c.elapsed), QString(c.text));
    }

    void compareShowsTheDifferencesAndCopiesChosenRecordsIn() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        // There: no NV_ESN_I, another band. Here: no NV_DIAL_I.
        CNVItemArray there = FilledRecords(ui.Doc());
        there.RemoveAt(RecordIndex(there, 0));
        there[RecordIndex(there, 441)].SetValue({0xAB, 0x00});
        QVERIFY(ui.Doc().SetRecords(there).IsCompleted());
        QVERIFY(ui.Doc().SaveBackup(ui.Path("there.cnv")).IsCompleted());
        CNVItemArray here = FilledRecords(ui.Doc());
        here.RemoveAt(RecordIndex(here, 57));
        QVERIFY(ui.Doc().SetRecords(here).IsCompleted());
        QVERIFY(ui.Doc().SaveBackup(ui.Path("here.cnv")).IsCompleted());
        QVERIFY(frame.OpenBackup(ui.Path("here.cnv")));

        ui.chooser.paths = {ui.Path("there.cnv")};
        const int compared = Answering<CCompareDialog>(
            {[](CCompareDialog& dialog) {
                QTreeWidget& rows = *dialog.Rows();
                QCOMPARE(rows.topLevelItemCount(), 3);
                const std::vector<std::pair<QString, QString>> expected = {
                    {"only here", "NV_ESN_I"}, {"only there", "NV_DIAL_I"}, {"different", "NV_BAND_PREF_I"}};
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(std::make_pair(rows.topLevelItem(i)->text(0), rows.topLevelItem(i)->text(3)), expected[i]);
                QTreeWidgetItem* field = rows.topLevelItem(2)->child(0);
                QVERIFY(field);
                QCOMPARE(field->text(3), QString("value (uint16)"));
                QVERIFY(field->text(5).startsWith("171"));
                rows.topLevelItem(0)->setSelected(true);
                QVERIFY(!dialog.CopyButton()->isEnabled());  // nothing there to copy
                rows.topLevelItem(1)->setSelected(true);
                rows.topLevelItem(2)->setSelected(true);
                dialog.CopyButton()->click();
            }},
            [&] { frame.Action(CMainFrame::kCompare)->trigger(); });
        QCOMPARE(compared, 1);
        const CNVItemArray& items = ui.Doc().Items();
        QCOMPARE(items.GetSize(), 9);
        QVERIFY(RecordIndex(items, 0) >= 0);
        QCOMPARE(items[RecordIndex(items, 441)].Value(), (std::vector<uint8_t>{0xAB, 0x00}));
        QVERIFY(ui.Doc().IsModified());
        QVERIFY(FindNode(frame.ItemsTree(), "(Id=57) NV_DIAL_I"));
        QCOMPARE(ui.Doc().DocumentPath(), ui.Path("here.cnv"));  // still the window's file
        QAction* undo = frame.findChild<QAction*>("Undo");
        QVERIFY(undo && undo->isEnabled());
        undo->trigger();
        QCOMPARE(ui.Doc().Items().GetSize(), 8);
    }

    void theCommandLineOpensAFileAndRefusesWrongArguments() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.Doc().SaveBackup(ui.Path("given.qcn")).IsCompleted());
        const QString dir = QString::fromStdString(ui.dir);
        const struct {
            QStringList arguments;
            int status;  // -1: on into the event loop
            int records;
            int messages;
        } cases[] = {{{"--dir", dir, dir + "/given.qcn"}, -1, 9, 0},
                     {{dir + "/given.qcn", "--dir", dir}, -1, 9, 0},
                     {{"--dir", dir, dir + "/missing.cnv"}, -1, 0, 1},  // says why; the window stays
                     {{"--dir", dir, "--bogus"}, 2, 0, 0},
                     {{"--dir", dir, "a.cnv", "b.cnv"}, 2, 0, 0},
                     {{"--help"}, 0, 0, 0}};
        for (const auto& c : cases) {
            CTestFrontend sink;
            CScriptedChooser chooser;
            CTessivaApp app(&sink, &chooser);
            QCOMPARE(app.Start(QStringList{"tessiva"} + c.arguments), c.status);
            QCOMPARE(app.Doc().Items().GetSize(), c.records);
            QCOMPARE(sink.Messages().size(), size_t(c.messages));
            if (c.records) QVERIFY(app.MainFrame().windowTitle().startsWith("given.qcn - "));
        }
    }

    void coloursReadOnLightAndDarkPalettes() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        frame.resize(1280, 800);
        const QPalette light = QApplication::palette();
        for (const QPalette& palette : {light, DarkPalette()}) {
            QApplication::setPalette(palette);
            QTest::qWait(20);
            const bool dark = palette.color(QPalette::Base).lightness() < 128;
            for (auto state : {CMainFrame::kNotConnected, CMainFrame::kConnected, CMainFrame::kCantConnect}) {
                frame.SetConnectionState(state);
                QVERIFY2(DrawnContrast(*frame.ConnectionBox()) >= 4.5, qPrintable(frame.ConnectionBox()->text()));
            }
            CItemWindow refused(&frame);
            refused.resize(160, 26);
            refused.setText("300");
            refused.ShowRefusal("from 0 to 255");
            refused.deselect();
            QVERIFY2(DrawnContrast(refused) >= 4.5, dark ? "refused value, dark" : "refused value, light");
            QWidget* panes[] = {frame.findChild<QLabel*>("PaneCaption"), frame.StatusField(CMainFrame::kStatusCounts)};
            for (QWidget* pane : panes) QVERIFY2(DrawnContrast(*pane) >= 4.5, qPrintable(pane->objectName()));
        }
        QApplication::setPalette(light);
    }
};
UI_TEST_CLASS(CConventionsTest);

#include "conventions_test.moc"
