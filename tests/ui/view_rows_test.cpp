// The content pane's view rows: an IMEI, a band list and the split band preference shown
// above the fields and typed as people write them, each typed value one undo step.
#include "ui/doc_views.h"
#include "ui/main_frame.h"
#include "ui/nv_content_view.h"
#include "ui/item_window.h"
#include "ui/nv_tree_view.h"
#include "app/tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QTest>

namespace {
using Bytes = std::vector<uint8_t>;

const Bytes kImei = {0x08, 0x9A, 0x09, 0x10, 0x86, 0x87, 0x75, 0x93, 0x78};  // 990016878573987

struct SViewsLoaded : SUiApp {
    SViewsLoaded() {
        WriteFile(dir + "/NVItemsDefine.def",
                  "NV_UE_IMEI_I;550;imei;GSM;A;imei_type\n"
                  "NV_LTE_BAND_PREF_I;6828;lte;RF;11;lte_type\n"
                  "NV_BAND_PREF_I;441;bp;RF;4;bp16_type\n"
                  "NV_BAND_PREF_16_I;946;bp16;RF;4;bp16_type\n"
                  "NV_BAND_PREF_32_I;2954;bp32;RF;6;bp32_type\n");
        WriteFile(dir + "/NVTypes.typ",
                  "imei_type;uint8 head;uint8 first;uint8 rest[7];\r\nlte_type;uint64 low;uint64 high;\r\n"
                  "bp16_type;uint8 nam;uint16 band;\r\nbp32_type;uint8 nam;uint32 band;\r\nEND;\r\n");
        if (!Start()) return;
        CNVItemArray records = FilledRecords(Doc());
        for (CNVItem& r : records) {
            if (r.Id() == 550) r.SetValue(kImei);
            else if (r.Id() == 6828) r.SetValue(Bytes{0xD5, 0x00, 0x08, 0x00, 0xA0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
            else r.SetValue(Bytes(static_cast<size_t>(r.Size()), 0));
        }
        (void)Doc().SetRecords(records);
        Frame().Views().BuildItemsTree();
        Frame().ItemsTree().expandAll();
    }
    CNVContentView& Content() { return Frame().ContentView(); }
    Bytes Value(int id) {
        for (const CNVItem& item : Doc().Items())
            if (item.Id() == id) return item.Value();
        return {};
    }
    void Show(const std::string& node) {
        QTreeWidgetItem* found = FindNode(Frame().ItemsTree(), node);
        QVERIFY2(found, node.c_str());
        Frame().ItemsTree().setCurrentItem(found);
    }
    // Double-clicks the view row, types text and presses Return; the editor, when it stays.
    CItemWindow* Type(const std::string& text) {
        const QPoint row = Content().visualRect(Content().model()->index(0, 0)).center();
        QTest::mouseDClick(Content().viewport(), Qt::LeftButton, {}, row);
        CItemWindow* editor = Content().Editor();
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromStdString(text));
        QTest::keyClick(editor, Qt::Key_Return);
        return Content().Editor();
    }
    void Undo() { Frame().findChild<QAction*>("Undo")->trigger(); }
};
}  // namespace

class CViewRowsTest : public QObject {
    Q_OBJECT
private slots:
    void imeiShownTypedRefusedAndUndone() {
        SViewsLoaded ui;
        ui.Show("(Id=550) NV_UE_IMEI_I");
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("IMEI 990016878573987 (check digit correct)"));
        QCOMPARE(CellText(ui.Content(), 1, 0), std::string("head"));

        QVERIFY(!ui.Type("352099001761481"));
        QCOMPARE(ui.Value(550), (Bytes{0x08, 0x3A, 0x25, 0x90, 0x09, 0x10, 0x67, 0x41, 0x18}));
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("IMEI 352099001761481 (check digit correct)"));
        QCOMPARE(CellText(ui.Content(), 2, 2), std::string("3A"));  // the fields show the new bytes

        // A wrong check digit stays in the editor with what would be taken; ! takes it.
        CItemWindow* editor = ui.Type("990016878573986");
        QVERIFY(editor);
        QVERIFY(editor->toolTip().contains("should be 7"));
        QVERIFY(editor->toolTip().contains("!"));
        QCOMPARE(ui.Value(550)[1], 0x3A);
        editor->setText("990016878573986!");
        editor->setModified(true);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!ui.Content().Editor());
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("IMEI 990016878573986 (check digit wrong: should be 7)"));

        ui.Undo();
        QCOMPARE(ui.Value(550)[1], 0x3A);
        ui.Undo();
        QCOMPARE(ui.Value(550), kImei);

        // A field below the view row is still the field of its row.
        ui.Show("(Id=550) NV_UE_IMEI_I");
        QTest::mouseDClick(ui.Content().viewport(), Qt::LeftButton, {},
                           ui.Content().visualRect(ui.Content().model()->index(2, 1)).center());
        QVERIFY(ui.Content().Editor());
        ui.Content().Editor()->setText("58");
        ui.Content().Editor()->setModified(true);
        QTest::keyClick(ui.Content().Editor(), Qt::Key_Return);
        QCOMPARE(ui.Value(550)[1], 58);
    }

    void bandListsAndTheSplitPreferenceAsOneStep() {
        SViewsLoaded ui;
        ui.Show("(Id=6828) NV_LTE_BAND_PREF_I");
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("LTE bands 1 3 5 7 8 20 38 40 41"));
        CItemWindow* editor = ui.Type("1 3 129");
        QVERIFY(editor);
        QVERIFY(editor->toolTip().contains("1-128"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!ui.Type("1,3,66"));
        QCOMPARE(ui.Value(6828), (Bytes{0x05, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("LTE bands 1 3 66"));

        ui.Show("(Id=946) NV_BAND_PREF_16_I");
        QCOMPARE(CellText(ui.Content(), 0, 0), std::string("Band preference bits none"));
        QVERIFY(!ui.Type("0 17 33"));
        QCOMPARE(ui.Value(441), (Bytes{0, 0x01, 0}));
        QCOMPARE(ui.Value(946), (Bytes{0, 0x02, 0}));
        QCOMPARE(ui.Value(2954), (Bytes{0, 0x02, 0, 0, 0}));
        ui.Undo();
        for (int id : {441, 946, 2954}) QCOMPARE(ui.Value(id), Bytes(id == 2954 ? 5 : 3, 0));
    }
};
UI_TEST_CLASS(CViewRowsTest);

#include "view_rows_test.moc"
