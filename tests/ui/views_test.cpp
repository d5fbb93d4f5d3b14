// The four panes working together on a loaded database: selections, the in-place editor, drag
// and drop between the trees, heading clicks and the "Selected" saves.
#include "ui/doc_views.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTest>

namespace {
struct SLoaded : SUiApp {
    SLoaded() {
        if (!Start()) return;
        FillDatabase();
        SaveBackup(Path("start.cnv"));
        chooser.paths = {Path("start.cnv")};
        Frame().Action(CMainFrame::kLoadCnvMenu)->trigger();
        sink.ClearRecords();
    }
    CNVTreeView& Items() { return Frame().ItemsTree(); }
    CNVTreeView& Selected() { return Frame().SelectedTree(); }
    CNVListView& List() { return Frame().ListView(); }
    CNVContentView& Content() { return Frame().ContentView(); }
    const CNVItem& Record(const std::string& name) {
        for (const CNVItem& item : Doc().Items())
            if (item.Name() == name) return item;
        qFatal("no record %s", name.c_str());
    }
    void Select(CNVTreeView& tree, const std::string& text) {
        QTreeWidgetItem* node = FindNode(tree, text);
        QVERIFY2(node, text.c_str());
        tree.setCurrentItem(node);
    }
    QPoint Cell(int row, int column) {
        return Content().visualRect(Content().model()->index(row, column)).center();
    }
    // Drags the node with the mouse from one tree and releases it over another. The release
    // reaches the tree under the pointer, or (as with a mouse grab) the tree the drag began in.
    void Drag(CNVTreeView& from, const std::string& text, CNVTreeView& to, bool releaseToSource = false) {
        QTreeWidgetItem* node = FindNode(from, text);
        QVERIFY2(node, text.c_str());
        from.scrollToItem(node);
        const QPoint start = from.visualItemRect(node).center();
        QTest::mousePress(from.viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(from.viewport(), start + QPoint(30, 4));
        QVERIFY(from.IsDragging());
        if (releaseToSource)
            QTest::mouseRelease(from.viewport(), Qt::LeftButton, {},
                                from.viewport()->mapFromGlobal(to.viewport()->mapToGlobal(QPoint(20, 20))));
        else
            QTest::mouseRelease(to.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!from.IsDragging());
    }
    std::vector<std::string> SelectedNames() {
        std::vector<std::string> names;
        for (const CTreeEntry& entry : Doc().Entries(CTessivaDoc::ETree::Selected).Entries()) names.push_back(entry.name);
        return names;
    }
    // Every record listed exactly once over both entry lists, each at its own position.
    bool EntriesSplitTheDatabase() {
        std::vector<int> seen(static_cast<size_t>(Doc().Items().GetSize()), 0);
        for (const CTreeEntryList* list : {&Doc().Entries(CTessivaDoc::ETree::Items), &Doc().Entries(CTessivaDoc::ETree::Selected)})
            for (const CTreeEntry& entry : list->Entries()) {
                if (entry.itemIndex < 0 || entry.itemIndex >= Doc().Items().GetSize()) return false;
                if (Doc().Items()[entry.itemIndex].Name() != entry.name) return false;
                ++seen[static_cast<size_t>(entry.itemIndex)];
            }
        return std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; });
    }
};
}  // namespace

class CViewsTest : public QObject {
    Q_OBJECT
private slots:
    void groupAndItemSelectionsFillTheListAndTheContent() {
        SLoaded ui;
        ui.Select(ui.Items(), "CDMA");
        QCOMPARE(ui.List().topLevelItemCount(), 4);
        QCOMPARE(RowTexts(ui.List(), 1),
                 (std::vector<std::string>{"NV_SCI_I [ 0 ]", "10", "Y", "sci", "CDMA", "1", "uint8"}));
        QCOMPARE(ui.Content().topLevelItemCount(), 0);

        // Clicks beside the nodes, or on the selected node with Ctrl, keep it selected.
        QTreeWidgetItem* cdma = FindNode(ui.Items(), "CDMA");
        ui.Items().collapseAll();
        QTest::mouseClick(ui.Items().viewport(), Qt::LeftButton, {}, QPoint(5, ui.Items().viewport()->height() - 5));
        QCOMPARE(ui.Items().SelectedNode(), cdma);
        QTest::mouseClick(ui.Items().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          ui.Items().visualItemRect(cdma).center());
        QCOMPARE(ui.Items().SelectedNode(), cdma);
        QCOMPARE(ui.List().topLevelItemCount(), 4);

        ui.Select(ui.Items(), "(Id=57) NV_DIAL_I");
        QCOMPARE(ui.List().topLevelItemCount(), 1);
        QCOMPARE(CellText(ui.List(), 0, 0), std::string("NV_DIAL_I"));
        QCOMPARE(ui.Content().topLevelItemCount(), 4);
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("address"));
        QCOMPARE(CellText(ui.Content(), 2, 3), std::string("uint16"));
        QCOMPARE(ui.Content().ItemName(), std::string("NV_DIAL_I"));
        const CNVItem& dial = ui.Record("NV_DIAL_I");
        QCOMPARE(CellText(ui.Content(), 0, 1), std::to_string(dial.Value()[0]));

        // A row of a group list shows its fields; clearing the row selection clears them.
        ui.Select(ui.Items(), "SECURITY");
        ui.List().setCurrentItem(ui.List().topLevelItem(1));
        QCOMPARE(ui.Content().ItemName(), std::string("NV_ESN_CHKSUM_I"));
        QCOMPARE(ui.Content().topLevelItemCount(), 1);
        ui.List().clearSelection();
        QCOMPARE(ui.Content().topLevelItemCount(), 0);
    }

    void anActiveMinusOneShowsXAndAnUnknownTypeShowsTheMessageOnce() {
        SLoaded ui;
        ui.ChangeRecords([](CNVItem& item) {
            if (item.Name() == "NV_BAND_PREF_I") item.SetActive(CNVItem::kUnreadable);
        });
        ui.Select(ui.Items(), "(Id=441) NV_BAND_PREF_I");
        QCOMPARE(CellText(ui.List(), 0, 2), std::string("X"));

        ui.Select(ui.Items(), "(Id=99) NV_MYSTERY_I");
        QCOMPARE(ui.sink.Messages(),
                 std::vector<std::string>{"ERROR NVType\nmystery_type\nNot defined in NVTypesDefine.def file!"});
        QCOMPARE(ui.Content().topLevelItemCount(), 0);
        QCOMPARE(ui.List().topLevelItemCount(), 1);
    }

    void editingADecimalCellRewritesThatFieldAndActivatesTheItem() {
        SLoaded ui;
        ui.ChangeRecords([](CNVItem& item) {
            if (item.Name() == "NV_DIAL_I") item.SetActive(CNVItem::kNotActive);
        });
        const std::vector<uint8_t> before = ui.Record("NV_DIAL_I").Value();
        ui.Select(ui.Items(), "(Id=57) NV_DIAL_I");

        // Name and type cells open nothing.
        QTest::mouseDClick(ui.Content().viewport(), Qt::LeftButton, {}, ui.Cell(2, 0));
        QVERIFY(!ui.Content().Editor());
        QTest::mouseDClick(ui.Content().viewport(), Qt::LeftButton, {}, ui.Cell(2, 3));
        QVERIFY(!ui.Content().Editor());

        QTest::mouseDClick(ui.Content().viewport(), Qt::LeftButton, {}, ui.Cell(2, 1));
        CItemWindow* editor = ui.Content().Editor();
        QVERIFY(editor);
        QCOMPARE(editor->text().toStdString(), CellText(ui.Content(), 2, 1));
        QVERIFY(editor->geometry().intersects(ui.Content().visualRect(ui.Content().model()->index(2, 1))));
        QTest::keyClicks(editor, "4660");
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!ui.Content().Editor());

        std::vector<uint8_t> expected = before;
        expected[2] = 0x34;  // "ext" is the uint16 at offset 2
        expected[3] = 0x12;
        QCOMPARE(ui.Record("NV_DIAL_I").Value(), expected);
        QCOMPARE(ui.Record("NV_DIAL_I").Active(), int16_t(CNVItem::kActive));
        QCOMPARE(CellText(ui.Content(), 2, 1), std::string("4660"));
        QCOMPARE(CellText(ui.Content(), 2, 2), ui.Doc().Decoder().Field(2).HexText());

        // Selecting the item again shows it active.
        ui.Select(ui.Items(), "PHONEBOOK");
        ui.Select(ui.Items(), "(Id=57) NV_DIAL_I");
        QCOMPARE(CellText(ui.List(), 0, 2), std::string("Y"));
    }

    void aHexEditCommitsOnFocusLossAndAnUntouchedEditorChangesNothing() {
        SLoaded ui;
        QApplication::setActiveWindow(&ui.Frame());
        QVERIFY(QTest::qWaitForWindowActive(&ui.Frame()));
        ui.ChangeRecords([](CNVItem& item) {
            if (item.Name() == "NV_BAND_PREF_I") item.SetActive(CNVItem::kNotActive);
        });
        const std::vector<uint8_t> before = ui.Record("NV_BAND_PREF_I").Value();
        ui.Select(ui.Items(), "(Id=441) NV_BAND_PREF_I");

        QVERIFY(ui.Content().OpenEditor(ui.Cell(0, 2)));
        ui.Items().setFocus();  // focus leaves without an edit
        QVERIFY(!ui.Content().Editor());
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Value(), before);
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Active(), int16_t(CNVItem::kNotActive));

        QVERIFY(ui.Content().OpenEditor(ui.Cell(0, 2)));
        ui.Content().Editor()->setText("0xBEEF");
        ui.Content().Editor()->setModified(true);
        ui.List().setFocus();
        QVERIFY(!ui.Content().Editor());
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Value(), (std::vector<uint8_t>{0xEF, 0xBE}));
        QCOMPARE(ui.Record("NV_BAND_PREF_I").Active(), int16_t(CNVItem::kActive));
        QCOMPARE(CellText(ui.Content(), 0, 1), std::string("48879"));
    }

    void anOpenEditIsCommittedBeforeACommandSavesTheItems() {
        SLoaded ui;
        ui.Select(ui.Items(), "(Id=9) NV_PREF_MODE_I");
        QVERIFY(ui.Content().OpenEditor(ui.Cell(0, 1)));
        ui.Content().Editor()->setText("77");
        ui.Content().Editor()->setModified(true);
        ui.chooser.paths = {ui.Path("after-edit.cnv")};
        ui.Frame().Action(CMainFrame::kSaveAllCnvMenu)->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});
        ui.chooser.paths = {ui.Path("after-edit.cnv")};
        ui.Frame().Action(CMainFrame::kLoadCnvMenu)->trigger();
        QCOMPARE(ui.Record("NV_PREF_MODE_I").Value(), std::vector<uint8_t>{77});
    }

    void draggingItemsMovesNodesAndEntriesAndEmptiesGroups() {
        SLoaded ui;
        ui.Drag(ui.Items(), "(Id=441) NV_BAND_PREF_I", ui.Selected());
        QCOMPARE(TopLevelTexts(ui.Selected()), std::vector<std::string>{"RF"});
        QCOMPARE(ChildTexts(FindNode(ui.Selected(), "RF")), std::vector<std::string>{"(Id=441) NV_BAND_PREF_I"});
        QCOMPARE(ChildTexts(FindNode(ui.Items(), "RF")), std::vector<std::string>{"(Id=99) NV_MYSTERY_I"});
        QCOMPARE(ui.SelectedNames(), std::vector<std::string>{"NV_BAND_PREF_I"});
        QVERIFY(ui.EntriesSplitTheDatabase());

        // The last item of a group takes its group node along; the receiving group is sorted.
        ui.Drag(ui.Items(), "(Id=99) NV_MYSTERY_I", ui.Selected());
        QVERIFY(!FindNode(ui.Items(), "RF"));
        QCOMPARE(ChildTexts(FindNode(ui.Selected(), "RF")),
                 (std::vector<std::string>{"(Id=441) NV_BAND_PREF_I", "(Id=99) NV_MYSTERY_I"}));
        ui.Drag(ui.Items(), "(Id=9) NV_PREF_MODE_I", ui.Selected(), true);
        ui.Drag(ui.Items(), "(Id=10) NV_SCI_I [ 1 ]", ui.Selected());
        QCOMPARE(TopLevelTexts(ui.Selected()), (std::vector<std::string>{"CDMA", "RF"}));
        QCOMPARE(ChildTexts(FindNode(ui.Selected(), "CDMA")),
                 (std::vector<std::string>{"(Id=10) NV_SCI_I [ 1 ]", "(Id=9) NV_PREF_MODE_I"}));
        QVERIFY(ui.EntriesSplitTheDatabase());

        // Back again; a release over the source tree moves nothing.
        ui.Drag(ui.Selected(), "(Id=441) NV_BAND_PREF_I", ui.Items());
        QCOMPARE(ChildTexts(FindNode(ui.Items(), "RF")), std::vector<std::string>{"(Id=441) NV_BAND_PREF_I"});
        ui.Drag(ui.Items(), "(Id=0) NV_ESN_I", ui.Items());
        ui.Drag(ui.Items(), "(Id=1) NV_ESN_CHKSUM_I", ui.Items(), true);
        QVERIFY(FindNode(ui.Items(), "(Id=0) NV_ESN_I"));
        QVERIFY(!FindNode(ui.Selected(), "SECURITY"));
        QVERIFY(ui.EntriesSplitTheDatabase());
    }

    void draggingAGroupAppendsItsChildrenToTheTargetGroup() {
        SLoaded ui;
        ui.Drag(ui.Items(), "(Id=10) NV_SCI_I [ 2 ]", ui.Selected());
        ui.Drag(ui.Items(), "CDMA", ui.Selected());
        QVERIFY(!FindNode(ui.Items(), "CDMA"));
        QCOMPARE(ChildTexts(FindNode(ui.Selected(), "CDMA")),
                 (std::vector<std::string>{"(Id=10) NV_SCI_I [ 2 ]", "(Id=9) NV_PREF_MODE_I", "(Id=10) NV_SCI_I [ 0 ]",
                                           "(Id=10) NV_SCI_I [ 1 ]"}));
        QCOMPARE(ui.SelectedNames(),
                 (std::vector<std::string>{"NV_SCI_I [ 2 ]", "NV_PREF_MODE_I", "NV_SCI_I [ 0 ]", "NV_SCI_I [ 1 ]"}));
        ui.Drag(ui.Items(), "SECURITY", ui.Selected());
        QCOMPARE(TopLevelTexts(ui.Selected()), (std::vector<std::string>{"CDMA", "SECURITY"}));
        QCOMPARE(TopLevelTexts(ui.Items()), (std::vector<std::string>{"PHONEBOOK", "RF"}));
        QVERIFY(ui.EntriesSplitTheDatabase());
    }

    void aHeadingClickSortsTheDatabaseAndKeepsTheSelection() {
        SLoaded ui;
        ui.Drag(ui.Items(), "(Id=57) NV_DIAL_I", ui.Selected());
        ui.Drag(ui.Items(), "(Id=1) NV_ESN_CHKSUM_I", ui.Selected());
        ui.Select(ui.Items(), "CDMA");
        const std::vector<std::string> itemsNodes = TopLevelTexts(ui.Items());

        QHeaderView* header = ui.List().header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        std::vector<std::string> names;
        for (const CNVItem& item : ui.Doc().Items()) names.push_back(item.Name());
        QCOMPARE(names, (std::vector<std::string>{"NV_BAND_PREF_I", "NV_DIAL_I", "NV_ESN_CHKSUM_I", "NV_ESN_I",
                                                  "NV_MYSTERY_I", "NV_PREF_MODE_I", "NV_SCI_I [ 0 ]", "NV_SCI_I [ 1 ]",
                                                  "NV_SCI_I [ 2 ]"}));
        QCOMPARE(ui.SelectedNames(), (std::vector<std::string>{"NV_DIAL_I", "NV_ESN_CHKSUM_I"}));
        QVERIFY(ui.EntriesSplitTheDatabase());
        QCOMPARE(TopLevelTexts(ui.Items()), itemsNodes);
        QCOMPARE(ui.List().topLevelItemCount(), 4);
        QCOMPARE(CellText(ui.List(), 0, 0), std::string("NV_PREF_MODE_I"));

        // The size column; a second click gives the same order.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(5) + 5, header->height() / 2));
        std::vector<int> sizes;
        for (const CNVItem& item : ui.Doc().Items()) sizes.push_back(item.Size());
        QVERIFY(std::is_sorted(sizes.begin(), sizes.end()));
        QVERIFY(ui.EntriesSplitTheDatabase());

        // The write-back after a sort reaches the record at its new place.
        ui.Select(ui.Selected(), "(Id=57) NV_DIAL_I");
        QVERIFY(ui.Content().OpenEditor(ui.Cell(0, 1)));
        ui.Content().Editor()->setText("200");
        ui.Content().Editor()->setModified(true);
        ui.Content().EndEdit();
        QCOMPARE(ui.Record("NV_DIAL_I").Value()[0], uint8_t(200));
    }

    void selectedSavesAndTheSelectedListWriteTheDraggedItems() {
        SLoaded ui;
        ui.Drag(ui.Items(), "CDMA", ui.Selected());
        ui.Drag(ui.Items(), "(Id=441) NV_BAND_PREF_I", ui.Selected());

        // Expected: the dragged records, as a document of their own reads them back.
        CNVItemArray chosen;
        for (const CNVItem& item : ui.Doc().Items())
            if (item.Group() == "CDMA" || item.Name() == "NV_BAND_PREF_I") chosen.Add(item);
        for (const char* kind : {"brt", "cnv"}) {
            const std::string ext = kind;
            const int command = ext == "brt" ? CMainFrame::kSaveSelectedBrt : CMainFrame::kSaveSelectedCnvToolbar;
            ui.chooser.paths = {ui.Path("selected." + ext)};
            ui.Frame().Action(command)->trigger();
            CTessivaDoc back(ui.Doc().Jobs());
            back.SetDefinitions(ui.Doc().Definitions());
            QVERIFY(back.LoadBackup(ui.Path("selected." + ext)).IsCompleted());
            QVERIFY(back.Items() == chosen);
        }

        ui.Drag(ui.Items(), "PHONEBOOK", ui.Selected());
        ui.chooser.paths = {ui.Path("selected.csv")};
        ui.Frame().Action(CMainFrame::kCsvSelectedToolbar)->trigger();
        const std::string csv = ReadFile(ui.Path("selected.csv"));
        QVERIFY(csv.find("NV_DIAL_I") != std::string::npos);
        QVERIFY(csv.find("NV_ESN_I") == std::string::npos);
        ui.chooser.paths = {ui.Path("all.csv")};
        ui.Frame().Action(CMainFrame::kCsvAllMenu)->trigger();
        QVERIFY(ReadFile(ui.Path("all.csv")).find("NV_ESN_I") != std::string::npos);

        ui.chooser.paths = {ui.Path("selected.qcn")};
        ui.Frame().Action(CMainFrame::kSaveSelectedQcn)->trigger();
        ui.chooser.paths = {ui.Path("selected.qcn")};
        ui.Frame().Action(CMainFrame::kLoadQcn)->trigger();
        std::vector<int> ids;
        for (const CNVItem& item : ui.Doc().Items()) ids.push_back(item.Id());
        QCOMPARE(ids, (std::vector<int>{9, 10, 10, 10, 57, 441}));
    }

    void moveEntriesByNameMatchesTheOneByOneMoves() {
        // Duplicate names take their occurrences in order; a name no longer listed gets -1.
        CNVItemArray items;
        for (const char* name : {"A", "B", "A", "C", "B"}) {
            CNVItem item;
            item.SetName(name);
            item.SetGroup("G");
            items.Add(item);
        }
        CTreeEntryList from, to;
        from.LoadEntriesFromItems(items);
        CNVItemArray chosen;
        for (int i : {4, 0, 2, 0}) chosen.Add(items[i]);
        CItemSelection::MoveEntriesByName(from, to, chosen);
        std::vector<int> moved, kept;
        for (const CTreeEntry& e : to.Entries()) moved.push_back(e.itemIndex);
        for (const CTreeEntry& e : from.Entries()) kept.push_back(e.itemIndex);
        QCOMPARE(moved, (std::vector<int>{1, 0, 2, -1}));
        QCOMPARE(kept, (std::vector<int>{3, 4}));
    }
};
UI_TEST_CLASS(CViewsTest);

#include "views_test.moc"
