// The window as a new user meets it: the download report, file dialogs that say what they are
// for, the tree's order, and a window that stays whole on a small screen and a dark palette.
#include "doc/download_report.h"
#include "doc/item_counts.h"
#include "ui/backup_commands.h"
#include "ui/pane_frame.h"
#include "ui/port_box.h"
#include "ui/shortcuts_dialog.h"
#include "ui/download_report_dialog.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_node.h"
#include "ui/nv_tree_view.h"
#include "ui/readable_colours.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

namespace {
using EResult = CDownloadReport::EResult;

// The share of an icon's outline (its opaque pixels next to transparent ones) that stands out
// from background by 3:1: what makes its shape seen.
double OutlineContrast(const QIcon& icon, int size, const QColor& background) {
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    const auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && image.pixelColor(x, y).alpha() >= 128;
    };
    int outline = 0, readable = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (!opaque(x, y) || (opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1))) continue;
            ++outline;
            const QColor c = image.pixelColor(x, y);
            const double a = c.alphaF();
            const QColor shown(int(c.red() * a + background.red() * (1 - a)), int(c.green() * a + background.green() * (1 - a)),
                               int(c.blue() * a + background.blue() * (1 - a)));
            readable += ContrastRatio(shown, background) >= 3.0;
        }
    return outline ? double(readable) / outline : 0;
}

// Whether the last column of a pane starts inside it.
bool LastColumnInView(const QTreeWidget& view) {
    const int last = view.columnCount() - 1;
    return view.header()->sectionViewportPosition(last) + 20 < view.viewport()->width();
}
}  // namespace

class CWindowTest : public QObject {
    Q_OBJECT
private slots:
    void downloadReportShowsProblemsFirstOneLinePerRecord() {
        CDownloadReport report;
        for (int id = 1; id <= 40; ++id) report.Add(id, -1, "NV_Z" + std::to_string(id), EResult::Verified);
        const std::string lost = "the phone did not answer within 300 ms, and the link was closed after it";
        report.Add(57, 0, "NV_A [ 0 ]", EResult::NotBackedUp, lost);
        report.Add(57, 0, "NV_A [ 0 ]", EResult::Failed, "no reply");
        report.Add(441, -1, "NV_B", EResult::Protected, CDownloadReport::ProtectedText("NV_B"));
        CDownloadReportDialog dialog(report);
        dialog.show();
        const QTableWidget& table = *dialog.Table();
        QCOMPARE(table.rowCount(), 42);
        QCOMPARE(table.item(0, 0)->text(), QString("NV_A [ 0 ]"));
        QCOMPARE(table.item(0, CDownloadReportDialog::kResultColumn)->text().toStdString(), CDownloadReport::ResultText(EResult::Failed));
        QCOMPARE(table.item(1, CDownloadReportDialog::kResultColumn)->text().toStdString(), CDownloadReport::ResultText(EResult::Protected));
        // Rows keep the download's order within a result, each one line high.
        QCOMPARE(table.item(2, 0)->text(), QString("NV_Z1"));
        QVERIFY(table.rowHeight(0) < 2 * table.fontMetrics().height());
        // The whole detail, the backup's part too, is there to read.
        const QString detail = table.item(0, CDownloadReportDialog::kDetailColumn)->toolTip();
        QVERIFY(detail.contains(QString::fromStdString(lost)));
        // The result's reason leads, where a narrow cell still shows it; the backup's note follows.
        QVERIFY2(detail.startsWith("no reply"), qPrintable(detail));

        // A backup that saved no file backed nothing up, whatever it read.
        CDownloadReport stopped;
        stopped.operation = CDownloadReport::EOperation::Backup;
        stopped.stopped = true;
        stopped.AddRecord(0, 9, -1, "NV_PREF_MODE_I", EResult::Read);
        CDownloadReportDialog stoppedDialog(stopped);
        const QString result = stoppedDialog.Table()->item(0, CDownloadReportDialog::kResultColumn)->text();
        QVERIFY2(!result.contains("backed up"), qPrintable(result));
        QVERIFY2(!stoppedDialog.Summary()->text().contains("backed up"), qPrintable(stoppedDialog.Summary()->text()));
    }

    void fileDialogsSayWhatTheyAreForAndSelectionSavesNameAFile() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("sample.cnv")));
        ui.chooser.paths = {ui.Path("sample.cnv")};
        ui.Frame().Action(CMainFrame::kOpenBackup)->trigger();
        ui.Frame().ItemsTree().setCurrentItem(ui.Frame().ItemsTree().topLevelItem(0));
        ui.Frame().SelectedTree().DropFrom(ui.Frame().ItemsTree());
        struct SCase {
            int command;
            const char* title;
        };
        const SCase cases[] = {{CMainFrame::kOpenBackup, "Open Backup"},
                               {CMainFrame::kLoadBrt, "Load from BRT File"},
                               {CMainFrame::kSaveAllCnvToolbar, "Save All Active to CNV File"},
                               {CMainFrame::kSaveSelectedBrt, "Save Selected & Active to BRT File"},
                               {CMainFrame::kSaveSelectedQcn, "Save Selected & Active NV Items to QCN File"},
                               {CMainFrame::kSaveAs, "Save As"},
                               {CMainFrame::kCompare, "Compare with Backup"},
                               {CMainFrame::kImportTypes, "Import NV Types from DEF file"},
                               {CMainFrame::kCsvAllMenu, "Create CSV File"}};
        for (const SCase& c : cases) {
            ui.chooser.asked.clear();
            ui.Frame().Action(c.command)->trigger();  // no path scripted: the dialog is cancelled
            QVERIFY2(!ui.chooser.asked.empty(), c.title);
            QCOMPARE(ui.chooser.asked.back().title, std::string(c.title));
        }
        for (int command : {CMainFrame::kSaveSelectedCnvMenu, CMainFrame::kSaveSelectedXqcn}) {
            ui.Frame().Action(command)->trigger();
            const SFileDialogRequest& asked = ui.chooser.asked.back();
            QCOMPARE(asked.initialName, "sample-selected." + asked.defaultExtension);
            QVERIFY2(asked.filterLabel.rfind("output", 0) != 0, asked.filterLabel.c_str());
        }
    }

    void groupsFollowNaturalOrder() {
        QTreeWidget tree;
        for (const char* group : {"Group 10", "Group 2", "group 1", "Group 11", "Alpha", "Group 02b", "Group"})
            tree.addTopLevelItem(new CNVTreeNode(CNVTreeNode::kGroupNode, group));
        tree.sortItems(0, Qt::AscendingOrder);
        QCOMPARE(TopLevelTexts(tree), (std::vector<std::string>{"Alpha", "Group", "group 1", "Group 2", "Group 02b",
                                                                "Group 10", "Group 11"}));
    }

    void smallScreenAndDarkPaletteKeepTheToolbarAndColumnsWhole() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QPalette light = QApplication::palette();
        auto* overflow = frame.ToolBar()->findChild<QToolButton*>("qt_toolbar_ext_button");
        for (const bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            for (const QSize size : {QSize(1600, 1000), QSize(1024, 640)}) {
                frame.resize(size);
                QTest::qWait(50);
                const QString at = QString("%1x%2%3").arg(size.width()).arg(size.height()).arg(dark ? " dark" : "");
                QVERIFY2(frame.ConnectionBox()->isVisible(), qPrintable(at));
                QVERIFY2(!overflow || !overflow->isVisible(), qPrintable(at));
                QVERIFY2(LastColumnInView(frame.ListView()) && LastColumnInView(frame.ContentView()), qPrintable(at));
                // The state box holds its longest words.
                QFont bold = frame.ConnectionBox()->font();
                bold.setBold(true);
                for (const char* words : {"NOT CONNECTED", "CAN'T CONNECT"})
                    QVERIFY2(QFontMetrics(bold).horizontalAdvance(words) < frame.ConnectionBox()->contentsRect().width(),
                             qPrintable(at));
            }
            const QColor background = frame.ToolBar()->palette().color(QPalette::Window);
            const int icon = frame.ToolBar()->iconSize().width();
            for (QAction* action : frame.ToolBar()->actions())
                if (!action->icon().isNull())
                    QVERIFY2(OutlineContrast(action->icon(), icon, background) >= 0.5, qPrintable(action->toolTip()));
        }
        QApplication::setPalette(light);
    }

    void everyKindSavesAndLoadsThroughItsCommandsAndTheStatusBarTellsTheOutcome() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        CMainFrame& frame = ui.Frame();
        for (const SBackupCommands& kind : BackupCommands()) {
            bool first = true;  // the first record is held, but no save writes it
            ui.ChangeRecords([&](CNVItem& r) {
                if (first) r.SetActive(CNVItem::kNotActive);
                first = false;
            });
            const int active = SItemCounts::Of(ui.Doc().Items()).active;
            const std::string name = std::string("all.") + kind.extension;
            ui.chooser.paths = {ui.Path(name)};
            frame.Action(kind.saveAll.id)->trigger();
            QCOMPARE(frame.StatusMessage(), QString("Saved %1 records to %2").arg(active).arg(name.c_str()));
            ui.chooser.paths = {ui.Path(name)};
            frame.Action(kind.load.id)->trigger();
            QCOMPARE(ui.Doc().DocumentPath(), ui.Path(name));
            QVERIFY2(frame.StatusMessage().startsWith("Loaded "), qPrintable(frame.StatusMessage()));
        }
        // A failed save shows its failure, not the last success.
        ui.chooser.paths = {ui.Path("missing/folder/x.brt")};
        frame.Action(BackupCommands()[0].saveAll.id)->trigger();
        QVERIFY2(frame.StatusMessage().startsWith("Failed"), qPrintable(frame.StatusMessage()));
        // One record is one record.
        frame.Action(CMainFrame::kSave)->trigger();
        QVERIFY(frame.StatusMessage().startsWith("Saved "));
        QCOMPARE(CMainFrame::Records(1), QString("1 record"));
    }

    void saveAsStartsOnTheDocumentsKindAndReplacesAnotherSuffix() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("sample.qcn")));
        ui.chooser.paths = {ui.Path("sample.qcn")};
        ui.Frame().Action(CMainFrame::kOpenBackup)->trigger();
        ui.Frame().Action(CMainFrame::kSaveAs)->trigger();  // cancelled: only the dialog is looked at
        const SFileDialogRequest asked = ui.chooser.asked.back();
        std::vector<std::string> types{asked.filterLabel, asked.otherFilterLabel};
        types.insert(types.end(), asked.moreFilterLabels.begin(), asked.moreFilterLabels.end());
        QCOMPARE(types.at(size_t(ui.chooser.initialFilter)), std::string("QCN files (*.qcn)"));
        QCOMPARE(asked.initialName, std::string("sample.qcn"));
        // The name keeps the dialog's suffix; the type picked is CNV: the suffix is replaced.
        ui.chooser.filter = int(std::find(types.begin(), types.end(), "CNV files (*.cnv)") - types.begin());
        ui.chooser.paths = {ui.Path("bare1.qcn")};
        ui.Frame().Action(CMainFrame::kSaveAs)->trigger();
        QVERIFY(!ReadFile(ui.Path("bare1.cnv")).empty());
        QVERIFY(ReadFile(ui.Path("bare1.qcn.cnv")).empty());
        QCOMPARE(ui.Doc().DocumentPath(), ui.Path("bare1.cnv"));
    }

    void theKeyboardReachesEveryCommand() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("k.cnv")));
        ui.chooser.paths = {ui.Path("k.cnv")};
        CMainFrame& frame = ui.Frame();
        frame.Action(CMainFrame::kOpenBackup)->trigger();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        CNVTreeView& items = frame.ItemsTree();
        CNVTreeView& selected = frame.SelectedTree();
        // Insert and Delete move the current node, as the trees' context menus do.
        items.setFocus();
        items.setCurrentItem(FindNode(items, "RF"));
        QTest::keyClick(&items, Qt::Key_Insert);
        QCOMPARE(TopLevelTexts(selected), std::vector<std::string>{"RF"});
        QVERIFY(items.actions().contains(frame.Action(CMainFrame::kAddToSelected)));
        QCOMPARE(items.contextMenuPolicy(), Qt::ActionsContextMenu);
        selected.setFocus();
        selected.setCurrentItem(FindNode(selected, "(Id=441) NV_BAND_PREF_I"));
        QTest::keyClick(&selected, Qt::Key_Delete);
        QCOMPARE(TopLevelTexts(selected), std::vector<std::string>{"RF"});  // NV_MYSTERY_I stays
        QVERIFY(FindNode(items, "(Id=441) NV_BAND_PREF_I"));

        // F6 moves the keyboard, and the pane that has it is shown.
        QTest::keyClick(&selected, Qt::Key_F6);
        std::vector<bool> focused;
        for (CPaneFrame* pane : frame.findChildren<CPaneFrame*>()) focused.push_back(pane->IsFocused());
        QCOMPARE(std::count(focused.begin(), focused.end(), true), 1);

        // Find offers the last search again; F3 says when it goes round.
        QTimer::singleShot(0, [] {
            auto* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>("FindEdit");
            edit->setText("nv_esn_i");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        frame.Action(CMainFrame::kFindMenu)->trigger();
        QString offered;
        QTimer::singleShot(0, [&offered] {
            QWidget* dialog = QApplication::activeModalWidget();
            offered = dialog->findChild<QLineEdit*>("FindEdit")->text();
            QMetaObject::invokeMethod(dialog, "reject");
        });
        frame.Action(CMainFrame::kFindMenu)->trigger();
        QCOMPARE(offered, QString("nv_esn_i"));
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&items, Qt::Key_F3);
        QTest::keyClick(&items, Qt::Key_F3);
        QVERIFY2(frame.StatusMessage().contains("first"), qPrintable(frame.StatusMessage()));

        // F1 lists the shortcuts, Ctrl+Q among them.
        QStringList keys;
        QTimer::singleShot(0, [&keys] {
            auto* dialog = qobject_cast<CShortcutsDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            for (int r = 0; r < dialog->Table()->rowCount(); ++r) keys << dialog->Table()->item(r, 0)->text();
            dialog->reject();
        });
        QTest::keyClick(&items, Qt::Key_F1);
        QVERIFY2(keys.contains(QKeySequence(Qt::CTRL | Qt::Key_Q).toString(QKeySequence::NativeText)), qPrintable(keys.join(",")));
        // Every entry of the File menu has its Alt letter, Recent Files too.
        for (QAction* action : frame.menuBar()->actions().first()->menu()->actions())
            if (!action->isSeparator()) QVERIFY2(action->text().contains('&'), qPrintable(action->text()));

        // Enter in the port box connects (here to a port that does not exist).
        frame.PortBox()->setFocus();
        frame.PortBox()->setEditText(QString::fromStdString(ui.Path("no-such-port")));
        QTest::keyClick(frame.PortBox(), Qt::Key_Return);
        QCOMPARE(frame.ConnectionBox()->text(), QString("CAN'T CONNECT"));
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&items, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!frame.isVisible());
    }
};
UI_TEST_CLASS(CWindowTest);

#include "window_test.moc"
