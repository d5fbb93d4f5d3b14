// What stands between the user and a wrong write: item files shown read-only, Save in the
// document's own QCN layout, the questions before a write to a phone, keys and Alt letters
// that each do one thing, the status bar's results, and Phone Files' keyboard.
#include "files/backup_tree.h"
#include "files/compound_node.h"
#include "files/numbered_backup.h"
#include "ui/main_frame.h"
#include "ui/message_box_sink.h"
#include "ui/nv_content_view.h"
#include "ui/nv_tree_view.h"
#include "ui/pane_frame.h"
#include "ui/phone_files_dialog.h"
#include "ui/download_report_dialog.h"
#include "app/tessiva_app.h"
#include "sim_on_pty.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <map>

namespace {
// A test sink that answers the questions before phone writes from a script (Cancel when it
// runs out) and keeps what they said.
struct SWriteSink : CTestFrontend, IWriteQuestion {
    EWriteChoice AskBeforeWrite(const std::string& text, bool withNo, const std::string&) override {
        asked.push_back({text, withNo});
        if (choices.empty()) return EWriteChoice::Cancel;
        const EWriteChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::deque<EWriteChoice> choices;
    std::vector<std::pair<std::string, bool>> asked;
};

std::string Layout(const std::string& path) {
    CCompoundNode tree;
    EBackupForm form{};
    std::string error, found;
    if (!ReadBackupTree(path, tree, form, error)) return "unreadable: " + error;
    return DetectQcnLayout(tree, found) == EQcnLayout::Numbered ? "numbered" : "other";
}

// The node whose text contains text, anywhere in tree.
QTreeWidgetItem* NodeContaining(QTreeWidget& tree, const QString& text) {
    QTreeWidgetItem* found = nullptr;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* node) {
        if (!found && node->text(0).contains(text)) found = node;
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i) walk(tree.topLevelItem(i));
    return found;
}

QString Caption(CNVContentView& content) { return qobject_cast<CPaneFrame*>(content.parentWidget())->Caption(); }

bool ConnectTo(SUiApp& ui, const std::string& device) {
    ui.Doc().Phone().Settings().requestTimeoutMs = 3000;
    ui.Doc().Phone().Settings().portName = device;
    ui.Frame().Action(CMainFrame::kConnect)->trigger();
    return ui.Frame().ConnectionBox()->text() == "CONNECTED";
}
}  // namespace

class CGuardedWritesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QSettings().clear(); }

    // The content pane kept editing the record shown before an item file: an edit of the
    // file's bytes changed that record. The file's rows can't be edited now, and say so.
    void anItemFileIsShownReadOnlyAndNoRecordChanges() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.chooser.paths = {std::string(TESSIVA_SOURCE_DIR) + "/examples/sample-numbered.qcn"};
        ui.Frame().Action(CMainFrame::kOpenBackup)->trigger();
        CNVTreeView& items = ui.Frame().ItemsTree();
        CNVContentView& content = ui.Frame().ContentView();
        QTreeWidgetItem* record = NodeContaining(items, "(Id=7001)");
        QTreeWidgetItem* file = NodeContaining(items, "lte_bandpref");
        QVERIFY(record && file);
        items.setCurrentItem(record);
        const QString editable = Caption(content);
        items.setCurrentItem(file);
        QVERIFY2(Caption(content).contains("read-only"), qPrintable(Caption(content)));
        QVERIFY2(file->toolTip(0).startsWith("/nv/item_files/"), qPrintable(file->toolTip(0)));
        // Neither the mouse nor the keys open an editor on the file's bytes.
        const int bytesRow = content.topLevelItemCount() - 1;
        QVERIFY(!content.OpenEditor(bytesRow, CNVContentView::kHexValue));
        content.setFocus();
        content.setCurrentItem(content.topLevelItem(bytesRow), CNVContentView::kHexValue);
        QTest::keyClick(&content, Qt::Key_F2);
        QVERIFY(!content.Editor());
        QVERIFY(!ui.Doc().IsModified());
        // The next record is editable again.
        items.setCurrentItem(record);
        QCOMPARE(Caption(content), editable);
        QVERIFY(content.OpenEditor(0, CNVContentView::kHexValue));
        content.CancelEdit();
    }

    // Save keeps the layout of the last whole save; Save As starts on it; a numbered file's
    // undefined items are told in the status bar, not in a message per load.
    void saveKeepsTheNumberedLayoutAndSaveAsStartsOnIt() {
        SUiApp ui;
        QVERIFY(ui.Start());
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("plain.cnv")));
        ui.chooser.paths = {ui.Path("plain.cnv")};
        CMainFrame& frame = ui.Frame();
        frame.Action(CMainFrame::kOpenBackup)->trigger();
        const auto labels = [&] {
            const SFileDialogRequest asked = ui.chooser.LastAsked();
            std::vector<std::string> all{asked.filterLabel, asked.otherFilterLabel};
            all.insert(all.end(), asked.moreFilterLabels.begin(), asked.moreFilterLabels.end());
            return all;
        };
        const std::string numbered = "QCN, numbered-items layout (*.qcn)";
        frame.Action(CMainFrame::kSaveAs)->trigger();  // cancelled: the types are read
        const std::vector<std::string> types = labels();
        ui.chooser.filter = int(std::find(types.begin(), types.end(), numbered) - types.begin());
        QVERIFY(size_t(ui.chooser.filter) < types.size());
        ui.chooser.paths = {ui.Path("n.qcn")};
        frame.Action(CMainFrame::kSaveAs)->trigger();
        QCOMPARE(Layout(ui.Path("n.qcn")), std::string("numbered"));
        ui.chooser.filter = 0;
        frame.Action(CMainFrame::kSave)->trigger();
        QCOMPARE(Layout(ui.Path("n.qcn")), std::string("numbered"));
        frame.Action(CMainFrame::kSaveAs)->trigger();
        QCOMPARE(labels().at(size_t(ui.chooser.initialFilter)), numbered);

        // A numbered file with undefined items loads without a message box.
        ui.sink.ClearRecords();
        ui.chooser.paths = {std::string(TESSIVA_SOURCE_DIR) + "/examples/sample-numbered.qcn"};
        frame.Action(CMainFrame::kOpenBackup)->trigger();
        QCOMPARE(ui.sink.Messages(), std::vector<std::string>{});
        QVERIFY2(frame.StatusMessage().contains("Is not defined"), qPrintable(frame.StatusMessage()));
        frame.Action(CMainFrame::kSaveAs)->trigger();
        QCOMPARE(labels().at(size_t(ui.chooser.initialFilter)), numbered);
    }

    // Every question before a phone write: Cancel is the default and Escape's answer.
    void writeQuestionsDefaultToCancelAndEscapeCancels() {
        CMessageBoxSink boxes;
        const struct {
            bool withNo;
            Qt::Key key;
        } cases[] = {{false, Qt::Key_Escape}, {true, Qt::Key_Escape}, {false, Qt::Key_Return}, {true, Qt::Key_Return}};
        for (const auto& c : cases) {
            QStringList buttons;
            EWriteChoice choice = EWriteChoice::Yes;
            const int shown = Answering<QMessageBox>({[&](QMessageBox& box) {
                                                         for (QAbstractButton* b : box.buttons()) buttons << b->text().remove('&');
                                                         QCOMPARE(box.defaultButton(), box.button(QMessageBox::Cancel));
                                                         QTest::keyClick(&box, c.key);
                                                     }},
                                                     [&] { choice = boxes.AskBeforeWrite("Write?", c.withNo); });
            QCOMPARE(shown, 1);
            QVERIFY2(choice == EWriteChoice::Cancel, qPrintable(buttons.join(",")));
            QCOMPARE(buttons.size(), c.withNo ? 3 : 2);
            QVERIFY(buttons.contains("Cancel"));
        }
    }

    // "Put the phone offline...?" cancelled: nothing is restored, the phone is not reset.
    void cancellingTheOfflineQuestionRestoresNothing() {
        SWriteSink sink;
        SUiApp ui;
        ui.app = std::make_unique<CTessivaApp>(&sink, &ui.chooser);
        QVERIFY(ui.app->InitInstance(ui.dir));
        SSimOnPty sim(ui.Doc().Definitions());
        sim.store.Put(9, CSimNvStore::kPlain, {1});
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Doc().Phone().Settings().backupFolder = ui.Path("backups");
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("other.cnv")));
        const Values before = sim.Stored();
        for (const EWriteChoice first : {EWriteChoice::Cancel, EWriteChoice::Yes}) {
            sink.choices = {first, EWriteChoice::Cancel};
            sink.asked.clear();
            ui.chooser.paths = {ui.Path("other.cnv")};
            QCOMPARE(Answering<CDownloadReportDialog>({}, [&] { ui.Frame().Action(CMainFrame::kRestoreToPhone)->trigger(); }), 0);
            QCOMPARE(sink.asked.size(), first == EWriteChoice::Yes ? size_t(2) : size_t(1));
            QVERIFY(sink.asked[0].first.find("other.cnv") != std::string::npos);
            QCOMPARE(sim.Stored(), before);
            QCOMPARE(sim.phone.Resets(), 0);
        }
        QVERIFY(sink.asked[1].second);  // the offline question offers No: a restore while the phone runs
        QVERIFY2(ui.Frame().StatusMessage().startsWith("Stopped: "), qPrintable(ui.Frame().StatusMessage()));
        ui.app.reset();  // before the sink it reports to
    }

    // No key sequence does two things, whatever the platform's Undo and Redo keys are; each
    // menu gives each entry an Alt letter of its own, and File fits a 640 pixel screen.
    void keysAndAltLettersAreUnique() {
        const QKeySequence ctrlY(Qt::CTRL | Qt::Key_Y), ctrlShiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        const std::pair<QList<QKeySequence>, QList<QKeySequence>> redo[] = {
            {{ctrlY}, {ctrlY}}, {{ctrlShiftZ}, {ctrlShiftZ, ctrlY}}, {{ctrlY, ctrlShiftZ}, {ctrlY, ctrlShiftZ}}, {{}, {ctrlY}}};
        for (const auto& [platform, keys] : redo) QCOMPARE(CMainFrame::RedoKeys(platform), keys);

        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        std::map<QString, QString> owner;
        const auto claim = [&](const QKeySequence& key, const QString& what) {
            const QString text = key.toString(QKeySequence::PortableText);
            const auto [it, fresh] = owner.emplace(text, what);
            QVERIFY2(fresh, qPrintable(text + ": " + it->second + " and " + what));
        };
        for (QAction* action : frame.findChildren<QAction*>())
            for (const QKeySequence& key : action->shortcuts()) claim(key, action->text());
        for (QShortcut* shortcut : frame.findChildren<QShortcut*>()) claim(shortcut->key(), "a pane key");
        QVERIFY(owner.count("Ctrl+Y"));

        // Ctrl+Y redoes: no other binding takes it.
        ui.FillDatabase();
        QVERIFY(ui.Doc().Sort(CTessivaDoc::ESortColumn::Name).IsCompleted());
        QVERIFY(ui.Doc().History().CanUndo());
        frame.UpdateTitle();  // Undo and Redo follow the history
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame.ItemsTree(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(ui.Doc().History().CanRedo());
        QTest::keyClick(&frame.ItemsTree(), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!ui.Doc().History().CanRedo());

        std::function<void(QMenu*)> check = [&](QMenu* menu) {
            std::map<QChar, QString> letters;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) continue;
                if (action->menu()) check(action->menu());
                const QString text = QString(action->text()).replace("&&", "");
                const qsizetype at = text.indexOf('&');
                if (at < 0 || at + 1 >= text.size()) continue;
                const auto [it, fresh] = letters.emplace(text[at + 1].toLower(), text);
                QVERIFY2(fresh, qPrintable(menu->title() + ": " + it->second + " and " + text));
            }
        };
        for (QAction* menu : frame.menuBar()->actions()) check(menu->menu());
        QMenu* file = frame.menuBar()->actions().first()->menu();
        QVERIFY2(file->sizeHint().height() < 600, qPrintable(QString::number(file->sizeHint().height())));
    }

    // The status bar's result fits beside the fixed fields, cut in the middle, whole in the tooltip.
    void theStatusBarFitsItsResult() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        frame.resize(1024, 640);
        QTest::qWait(20);
        const QString text = "Saved 5 records to " + QString(200, 'x') + " and the end";
        // Fields of their usual length, then long ones: a long file name and port, many records.
        for (const bool longFields : {false, true}) {
            if (longFields) {
                ui.FillDatabase();
                QVERIFY(ui.SaveBackup(ui.Path(std::string(150, 'f') + ".cnv")));
                ui.Doc().Phone().Settings().portName = "/dev/serial/by-id/usb-Maker_Phone_Diagnostics_0123456789abcdef-if00-port0";
            }
            frame.Report(SOutcome::Done(), text);
            const QString shown = frame.statusBar()->currentMessage();
            QVERIFY(shown.startsWith("Saved 5") && shown.endsWith("the end"));
            QTest::qWait(20);
            // It ends before the first fixed field starts.
            QVERIFY2(frame.statusBar()->fontMetrics().horizontalAdvance(shown) < frame.StatusField(CMainFrame::kStatusFile)->x(),
                     qPrintable(shown));
            QCOMPARE(frame.statusBar()->toolTip(), text);
            QCOMPARE(frame.StatusMessage(), text);
        }
        QVERIFY(frame.StatusField(CMainFrame::kStatusPort)->toolTip().contains("-if00-port0 - "));
        frame.Report(SOutcome::Stop(), {});
        QVERIFY2(frame.StatusMessage().startsWith("Stopped: ") && frame.StatusMessage().size() > 9,
                 qPrintable(frame.StatusMessage()));
    }

    // Phone Files starts in its list; after a Put the keyboard is back there: Backspace goes up.
    void phoneFilesKeepsTheKeyboardInItsList() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimOnPty sim(ui.Doc().Definitions());
        QVERIFY(sim.phone.Files().PutFile("/nv/item_files/modem/band", {1, 2, 3}));
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Doc().Phone().Settings().backupFolder = ui.Path("backups");
        WriteFile(ui.Path("fresh"), "new");
        const int shown = Answering<CPhoneFilesDialog>(
            {[&](CPhoneFilesDialog& d) {
                QTRY_VERIFY(!d.IsBusy() && !d.Folder().empty());
                QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.Entries()));
                QTest::keyClick(d.Entries(), Qt::Key_Return);  // into "modem"
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(d.Folder(), std::string("/nv/item_files/modem"));
                ui.chooser.paths = {ui.Path("fresh")};
                ClickButton(d, "&Put File...");
                QTRY_VERIFY(!d.IsBusy());
                QVERIFY(sim.phone.Files().Find("/nv/item_files/modem/fresh"));
                QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.Entries()));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(d.Folder(), std::string("/nv/item_files"));
                d.reject();
            }},
            [&] { ui.Frame().Action(CMainFrame::kPhoneFiles)->trigger(); });
        QCOMPARE(shown, 1);
    }
};
UI_TEST_CLASS(CGuardedWritesTest);

#include "guarded_writes_test.moc"
