// The window never loses or silently changes the user's data: failed loads, unsaved changes,
// refused values, records without a value, merges, empty selections, the overwrite prompt's keys.
#include "files/cnv_file.h"
#include "ui/doc_views.h"
#include "ui/item_window.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "ui/overwrite_dialog.h"
#include "ui/save_changes_prompt.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
// A test sink that also answers "Save changes?" from a script (Cancel when it runs out).
struct SSaveSink : CTestFrontend, ISaveChangesPrompt {
    ESaveChoice AskSaveChanges(const std::string& text, const std::string&) override {
        asked.push_back(text);
        if (choices.empty()) return ESaveChoice::Cancel;
        const ESaveChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::deque<ESaveChoice> choices;
    std::vector<std::string> asked;
};

// The test database loaded from start.cnv, the window built by the application.
struct SLoadedApp : SUiApp {
    SLoadedApp() {
        app = std::make_unique<CTessivaApp>(&saveSink, &chooser);
        if (!app->InitInstance(dir)) return;
        FillDatabase();
        SaveBackup(Path("start.cnv"));
        chooser.paths = {Path("start.cnv")};
        Frame().Action(CMainFrame::kLoadCnvMenu)->trigger();
        saveSink.ClearRecords();
    }
    ~SLoadedApp() { app.reset(); }  // before the sink it reports to
    CNVContentView& Content() { return Frame().ContentView(); }
    const CNVItem& Record(const std::string& name) {
        for (const CNVItem& item : Doc().Items())
            if (item.Name() == name) return item;
        qFatal("no record %s", name.c_str());
    }
    void Select(const std::string& text) { Frame().ItemsTree().setCurrentItem(FindNode(Frame().ItemsTree(), text)); }
    // Opens the editor on a value cell and types text; the editor, or null.
    CItemWindow* Type(int row, int column, const QString& text) {
        const QPoint cell = Content().visualRect(Content().model()->index(row, column)).center();
        if (!Content().OpenEditor(cell)) return nullptr;
        QTest::keyClicks(Content().Editor(), text);
        QTest::keyClick(Content().Editor(), Qt::Key_Return);
        return Content().Editor();
    }
    std::string Title() { return Frame().windowTitle().toStdString(); }
    SSaveSink saveSink;
};
}  // namespace

class CDataSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void unsavedChangesMarkTheTitleAndAreAskedAboutBeforeTheyAreLost() {
        SLoadedApp ui;
        QCOMPARE(ui.Title(), std::string("start.cnv - Tessiva v1.5"));
        ui.Select("(Id=9) NV_PREF_MODE_I");
        QVERIFY(!ui.Type(0, 1, "77"));
        QCOMPARE(ui.Title(), std::string("start.cnv* - Tessiva v1.5"));

        // Cancel: no file dialog, the edit stays; the same for quitting.
        const size_t dialogs = ui.chooser.asked.size();
        ui.chooser.paths = {ui.Path("start.cnv")};
        ui.Frame().Action(CMainFrame::kLoadBrt)->trigger();
        ui.Frame().Action(CMainFrame::kImportTypes)->trigger();
        QVERIFY(!ui.Frame().close());
        QCOMPARE(ui.saveSink.asked, (std::vector<std::string>(3, "Save changes to start.cnv?")));
        QCOMPARE(ui.chooser.asked.size(), dialogs);
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});

        // Save writes the file the records came from, then the load goes on.
        ui.saveSink.choices = {ESaveChoice::Save};
        ui.Frame().Action(CMainFrame::kLoadCnvMenu)->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});
        QCOMPARE(ui.Title(), std::string("start.cnv - Tessiva v1.5"));

        // Discard: the load replaces the edit; unchanged records ask nothing.
        ui.Select("(Id=9) NV_PREF_MODE_I");
        QVERIFY(!ui.Type(0, 1, "5"));
        ui.saveSink.choices = {ESaveChoice::Discard};
        ui.saveSink.asked.clear();
        ui.chooser.paths = {ui.Path("start.cnv")};
        ui.Frame().Action(CMainFrame::kLoadCnvMenu)->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});
        QVERIFY(ui.Frame().close());
        QCOMPARE(ui.saveSink.asked.size(), size_t(1));
    }

    void aValueThatIsNoNumberOfTheFieldIsRefusedUntilEscape() {
        SLoadedApp ui;
        ui.Select("(Id=9) NV_PREF_MODE_I");  // uint8
        const std::vector<uint8_t> before = ui.Record("NV_PREF_MODE_I").Value();
        for (const char* text : {"300", "abc"}) {
            CItemWindow* editor = ui.Type(0, 1, text);
            QVERIFY2(editor, text);  // still open
            QCOMPARE(editor->selectedText(), QString(text));
            QVERIFY(editor->toolTip().contains("from 0 to 255"));
            QTest::keyClick(editor, Qt::Key_Escape);
            QVERIFY(!ui.Content().Editor());
            QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), before);
        }
        QCOMPARE(ui.Title(), std::string("start.cnv - Tessiva v1.5"));
        ui.Select("(Id=441) NV_BAND_PREF_I");  // uint16
        const std::vector<uint8_t> band = ui.Record("NV_BAND_PREF_I").Value();
        CItemWindow* editor = ui.Type(0, 2, "12345");
        QVERIFY(editor && editor->toolTip().contains("FFFF"));
        // Forced to end (another item is shown), a refused text changes nothing.
        ui.Select("(Id=9) NV_PREF_MODE_I");
        QVERIFY(!ui.Content().Editor());
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Value(), band);
        QVERIFY(!ui.Doc().IsModified());
    }

    // The phone's bytes past what the definitions know of an item: shown after the fields and
    // kept through an edit of a field.
    void bytesPastTheDefinitionShowInTheirOwnRowAndOutliveAnEdit() {
        SLoadedApp ui;
        ui.ChangeRecords([](CNVItem& r) {
            if (r.Name() != "NV_BAND_PREF_I") return;
            std::vector<uint8_t> value = r.Value();
            value.insert(value.end(), {0x00, 0x02});
            r.SetValue(value);
        });
        ui.Select("(Id=441) NV_BAND_PREF_I");
        QTreeWidgetItem* past = ui.Content().topLevelItem(ui.Content().topLevelItemCount() - 1);
        QCOMPARE(past->text(CNVContentView::kFieldName), QString("(bytes past the definition)"));
        QCOMPARE(past->text(CNVContentView::kHexValue), QString("00 02"));
        QVERIFY(!ui.Type(ui.Content().ViewRowCount(), CNVContentView::kHexValue, "1F"));
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Value(), (std::vector<uint8_t>{0x1F, 0x00, 0x00, 0x02}));

        // An item the definitions do not name: listed, its bytes shown and edited one by one.
        CCnvFile undefined;
        QVERIFY(undefined.Create(ui.Path("u.cnv")));
        QVERIFY(undefined.WriteRecord(7777, ui.Record("NV_BAND_PREF_I").Value(), -1));
        QVERIFY(undefined.Finish());
        ui.saveSink.choices = {ESaveChoice::Discard};
        QVERIFY(ui.Frame().OpenBackup(ui.Path("u.cnv")));
        ui.Select("(Id=7777) NV Item 7777");
        QCOMPARE(ui.Content().topLevelItemCount(), 4);
        QVERIFY(!ui.Type(3, CNVContentView::kHexValue, "AB"));
        QCOMPARE(ui.Record("NV Item 7777").Value(), (std::vector<uint8_t>{0x1F, 0x00, 0x00, 0xAB}));
    }

    void anEditOfARecordWithoutValueKeepsTheValueAndTheListShowsItActive() {
        SLoadedApp ui;
        // A record the phone could not read: no value, marked X.
        ui.ChangeRecords([](CNVItem& item) {
            if (item.Name() != "NV_ESN_I") return;
            item.SetValue(std::vector<uint8_t>{});
            item.SetActive(CNVItem::kUnreadable);
        });
        ui.Select("SECURITY");
        QCOMPARE(CellText(ui.Frame().ListView(), 0, 2), std::string("X"));
        ui.Frame().ListView().setCurrentItem(ui.Frame().ListView().topLevelItem(0));
        QVERIFY(!ui.Type(0, 1, "5"));
        QCOMPARE(ui.Record("NV_ESN_I").Value(), (std::vector<uint8_t>{5, 0, 0, 0}));
        QCOMPARE(ui.Record("NV_ESN_I").Active(), int16_t(CNVItem::kActive));
        // The row shows it at once, size and all.
        QCOMPARE(CellText(ui.Frame().ListView(), 0, 2), std::string("Y"));
        QCOMPARE(CellText(ui.Frame().ListView(), 0, 5), std::string("4"));
    }

    void addingAFileOfOneElementAsksOnceAndLeavesNoStaleContent() {
        SLoadedApp ui;
        CNVItemArray one;
        CNVItem element = ui.Record("NV_SCI_I [ 0 ]");
        element.SetValue(std::vector<uint8_t>{0xEE});
        one.Add(element);
        CTessivaDoc other(ui.Doc().Jobs());
        other.SetDefinitions(ui.Doc().Definitions());
        QVERIFY(other.SetRecords(one).IsCompleted());
        QVERIFY(other.SaveBackup(ui.Path("one.cnv")).IsCompleted());
        const std::vector<uint8_t> second = ui.Record("NV_SCI_I [ 1 ]").Value();
        ui.Select("(Id=10) NV_SCI_I [ 0 ]");
        QVERIFY(ui.Content().topLevelItemCount() > 0);

        ui.chooser.paths = {ui.Path("one.cnv")};
        QCOMPARE(Answering<COverwriteDialog>(
                     {[](COverwriteDialog& dialog) { dialog.Button(IOverwritePrompt::kOverwriteAll)->click(); }},
                     [&] { ui.Frame().Action(CMainFrame::kAddCnvMenu)->trigger(); }),
                 1);
        QCOMPARE(ui.Record("NV_SCI_I [ 0 ]").Value(), std::vector<uint8_t>{0xEE});
        QCOMPARE(ui.Record("NV_SCI_I [ 1 ]").Value(), second);
        QCOMPARE(ui.Record("NV_SCI_I [ 2 ]").Active(), int16_t(CNVItem::kActive));
        // No rows of values from before the merge, which an edit could not reach.
        QCOMPARE(ui.Content().topLevelItemCount(), 0);
        QCOMPARE(ui.Title(), std::string("start.cnv* - Tessiva v1.5"));
    }

    void selectedCommandsWithNothingSelectedSaySoAndWriteNothing() {
        SLoadedApp ui;
        // (Download Selected, which asks for the phone first, is tested with a phone.)
        for (int command : {CMainFrame::kSaveSelectedBrt, CMainFrame::kSaveSelectedCnvToolbar, CMainFrame::kSaveSelectedQcn}) {
            ui.saveSink.ClearRecords();
            ui.chooser.paths = {ui.Path("selected.out")};
            ui.Frame().Action(command)->trigger();
            QCOMPARE(ui.saveSink.Messages(), std::vector<std::string>{"No items are selected."});
        }
        QCOMPARE(ui.chooser.paths.size(), size_t(1));  // no file dialog came up
    }

    void editMenuUndoesAndRedoesEditsAndMoves() {
        SLoadedApp ui;
        QList<QAction*> edit = ui.Frame().menuBar()->actions()[1]->menu()->actions();
        QAction* undo = edit[3];
        QAction* redo = edit[4];
        QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(redo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
        ui.Select("(Id=9) NV_PREF_MODE_I");
        const std::vector<uint8_t> before = ui.Record("NV_PREF_MODE_I").Value();
        QVERIFY(!ui.Type(0, 1, "77"));
        ui.Select("RF");
        ui.Frame().SelectedTree().DropFrom(ui.Frame().ItemsTree());
        QCOMPARE(ui.Doc().Entries(CTessivaDoc::ETree::Selected).GetCount(), 2);

        undo->trigger();
        QCOMPARE(ui.Doc().Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
        QCOMPARE(TopLevelTexts(ui.Frame().SelectedTree()), std::vector<std::string>{});
        ui.Select("(Id=9) NV_PREF_MODE_I");
        undo->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), before);
        // The panes keep showing the record, with its value as it is again.
        QTreeWidgetItem* shown = ui.Frame().ItemsTree().currentItem();
        QVERIFY(shown && shown->text(0) == "(Id=9) NV_PREF_MODE_I");
        QVERIFY(ui.Content().topLevelItemCount() > 0);
        QCOMPARE(ui.Title(), std::string("start.cnv - Tessiva v1.5"));
        redo->trigger();
        redo->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});
        QCOMPARE(TopLevelTexts(ui.Frame().SelectedTree()), std::vector<std::string>{"RF"});
        QCOMPARE(ui.Title(), std::string("start.cnv* - Tessiva v1.5"));
    }

    void aPromptClosedWithoutAButtonKeepsTheRecord() {
        COverwriteDialog prompt;
        const auto answerWith = [&](const std::function<void()>& act) {
            QTimer::singleShot(0, &prompt, act);
            return prompt.Ask("NV Item already exist in memory!");
        };
        QCOMPARE(answerWith([&] { prompt.Button(IOverwritePrompt::kOverwriteAll)->click(); }), int(IOverwritePrompt::kOverwriteAll));
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QCOMPARE(answerWith([&] { QTest::keyClick(prompt.Button(IOverwritePrompt::kOverwrite), Qt::Key(key)); }),
                     int(IOverwritePrompt::kSkip));
        QCOMPARE(answerWith([&] { prompt.close(); }), int(IOverwritePrompt::kSkip));
    }
};
UI_TEST_CLASS(CDataSafetyTest);

#include "data_safety_test.moc"
