// Pictures of the window for a person to look at; runs when TESSIVA_SHOTS names a folder of
// description files (pictures go to TESSIVA_SHOTS_OUT, default the current folder). ctest runs
// it on the examples as ui_screenshots, pictures in build/shots.
#include "doc/backup_reader.h"
#include "phone/com_ports.h"
#include "phone/diag_link.h"
#include "ui/main_frame.h"
#include "ui/message_box_sink.h"
#include "ui/nv_content_view.h"
#include "ui/nv_tree_view.h"
#include "app/tessiva_app.h"
#include "sim/sim_numbered_image.h"
#include "ui/download_report_dialog.h"
#include "sim_on_pty.h"
#include "ui/phone_files_dialog.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QThread>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <tuple>

namespace {
// A speed-dial item shows several kinds of field; else the first item.
QTreeWidgetItem* Showcase(CNVTreeView& tree) {
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        for (int j = 0; j < tree.topLevelItem(i)->childCount(); ++j) {
            QTreeWidgetItem* node = tree.topLevelItem(i)->child(j);
            if (node->text(0).contains("DIAL")) return node;
            if (!first) first = node;
        }
    return first;
}
}  // namespace

class CScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void takePictures() {
        const QByteArray dir = qgetenv("TESSIVA_SHOTS");
        if (dir.isEmpty()) QSKIP("TESSIVA_SHOTS not set");
        const QString out = qEnvironmentVariable("TESSIVA_SHOTS_OUT", ".");
        QVERIFY(QDir().mkpath(out));
        CTestFrontend sink;
        CScriptedChooser chooser;
        CTessivaApp app(&sink, &chooser);
        QVERIFY(app.InitInstance(dir.toStdString()));
        CMainFrame& frame = app.MainFrame();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        // The folder's sample backup, or one made from its definitions.
        std::string backup = dir.toStdString() + "/sample.cnv";
        if (ReadFile(backup).empty()) {
            backup = MakeTempDir("shots") + "/demo.cnv";
            FillDatabase(app.Doc());
            QVERIFY(app.Doc().SaveBackup(backup).IsCompleted());
        }
        chooser.paths = {backup};
        frame.Action(CMainFrame::kLoadCnvToolbar)->trigger();

        CNVTreeView& items = frame.ItemsTree();
        items.expandAll();
        items.setCurrentItem(Showcase(items));
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-main.png"));

        frame.ItemsTree().setCurrentItem(items.topLevelItem(1));
        frame.SelectedTree().DropFrom(frame.ItemsTree());
        frame.SelectedTree().expandAll();
        frame.SelectedTree().setCurrentItem(frame.SelectedTree().topLevelItem(0));
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-selected.png"));

        items.setCurrentItem(Showcase(items));
        CNVContentView& content = frame.ContentView();
        const QModelIndex cell = content.model()->index(std::min(3, content.topLevelItemCount() - 1), 1);
        QVERIFY(content.OpenEditor(content.visualRect(cell).center()));
        QTest::keyClicks(content.Editor(), "5551234");
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-edit.png"));
        QTest::keyClick(content.Editor(), Qt::Key_Return);
        QTest::qWait(50);
        if (content.Editor()) {  // too large for the field: refused, with the range shown
            QVERIFY(frame.grab().save(out + "/shot-refused.png"));
            content.Editor()->setText("1234");
            QTest::keyClick(content.Editor(), Qt::Key_Return);
            QTest::qWait(50);
        }
        QVERIFY(frame.grab().save(out + "/shot-edited.png"));
        // A number too large for a one-byte field: refused, the range in the tooltip.
        QVERIFY(content.OpenEditor(content.visualRect(content.model()->index(1, 1)).center()));
        QTest::keyClicks(content.Editor(), "300");
        QTest::keyClick(content.Editor(), Qt::Key_Return);
        QTest::qWait(100);
        if (content.Editor()) {
            QVERIFY(frame.grab().save(out + "/shot-refused-byte.png"));
            QTest::keyClick(content.Editor(), Qt::Key_Escape);
        }

        // The window at 1600 x 1000 and at 1024 x 640, with the status bar.
        for (const auto& [size, name] : {std::pair{QSize(1600, 1000), "shot-large.png"}, std::pair{QSize(1024, 640), "shot-small.png"}}) {
            frame.resize(size);
            QTest::qWait(100);
            QVERIFY(frame.grab().save(out + "/" + name));
        }
        // A dark palette, as a dark desktop theme sets it, on the small screen and a large one.
        const QPalette light = QApplication::palette();
        QApplication::setPalette(DarkPalette());
        QTest::qWait(100);
        QVERIFY(frame.grab().save(out + "/shot-small-dark.png"));
        frame.resize(1600, 1000);
        QTest::qWait(100);
        QVERIFY(frame.grab().save(out + "/shot-dark.png"));
        // The IMEI's reading above its fields, small and dark, shown and being typed.
        frame.resize(1024, 640);
        for (int i = 0; i < items.topLevelItemCount(); ++i)
            for (int j = 0; j < items.topLevelItem(i)->childCount(); ++j)
                if (items.topLevelItem(i)->child(j)->text(0).contains("(Id=550)"))
                    items.setCurrentItem(items.topLevelItem(i)->child(j));
        QTest::qWait(100);
        QVERIFY(frame.grab().save(out + "/shot-view-dark.png"));
        if (content.ViewRowCount() > 0 && content.OpenEditor(content.visualRect(content.model()->index(0, 0)).center())) {
            content.Editor()->setText("35209900176148");
            QTest::keyClicks(content.Editor(), "2");
            QTest::keyClick(content.Editor(), Qt::Key_Return);
            QTest::qWait(100);
            QVERIFY(frame.grab().save(out + "/shot-view-refused-dark.png"));
            QTest::keyClick(content.Editor(), Qt::Key_Escape);
        }
        QApplication::setPalette(light);

        // "Choice Com" with a simulated USB port.
        frame.SetPortLister([](std::vector<SComPort>& ports) {
            ports = {{"ttyS0", "/dev/ttyS0", 1, "", ""}, {"ttyUSB0", "/dev/ttyUSB0", 0, "Phone diagnostics, Maker", "05c6:9008"}};
            return true;
        });
        QMenu* portMenu = frame.menuBar()->actions()[2]->menu()->actions()[0]->menu();
        portMenu->popup(frame.mapToGlobal(QPoint(200, 40)));
        QTest::qWait(150);
        QVERIFY(portMenu->grab().save(out + "/shot-ports.png"));
        portMenu->hide();

        // Compare with a backup that differs in two records.
        {
            const std::string other = MakeTempDir("shots-compare") + "/other.cnv";
            CTessivaDoc copy(app.Jobs());
            copy.SetDirectory(dir.toStdString());
            copy.SetDefinitions(app.Doc().Definitions());
            QVERIFY(copy.LoadBackup(backup).IsCompleted());
            CNVItemArray records = copy.Items();
            records.RemoveAt(0);
            std::vector<uint8_t> value = records[1].Value();
            if (!value.empty()) value[0] ^= 0x5A;
            records[1].SetValue(value);
            QVERIFY(copy.SetRecords(records).IsCompleted());
            QVERIFY(copy.SaveBackup(other).IsCompleted());
            // On the small screen too, light and dark.
            for (const auto& [size, palette, name] :
                 {std::tuple{QSize(1600, 1000), light, "shot-compare.png"}, std::tuple{QSize(1024, 640), light, "shot-compare-small.png"},
                  std::tuple{QSize(1024, 640), DarkPalette(), "shot-compare-small-dark.png"}}) {
                frame.resize(size);
                QApplication::setPalette(palette);
                chooser.paths = {other};
                QTimer::singleShot(300, [&, name = name] {
                    if (QWidget* dialog = QApplication::activeModalWidget()) {
                        dialog->grab().save(out + "/" + name);
                        QMetaObject::invokeMethod(dialog, "reject");
                    }
                });
                frame.Action(CMainFrame::kCompare)->trigger();
            }
            QApplication::setPalette(light);
            frame.resize(1600, 1000);
        }

        // The question before unsaved changes would be lost, as the window asks it.
        CMessageBoxSink boxes;
        QTimer::singleShot(100, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->grab().save(out + "/shot-save-changes.png");
                QMetaObject::invokeMethod(box, "reject");
            }
        });
        QCOMPARE(boxes.AskSaveChanges("Save changes?", "Tessiva"), ESaveChoice::Cancel);

        // The progress dialog of a running job, over the window.
        CJobControl& jobs = app.Jobs();
        std::atomic<bool> taken{false};
        auto* timer = new QTimer(&frame);
        QObject::connect(timer, &QTimer::timeout, timer, [&, timer] {
            CProgressDialog& dialog = app.ProgressDialog();
            if (!dialog.isVisible() || !dialog.CancelButton()->isEnabled()) return;
            QTest::qWait(60);
            dialog.grab().save(out + "/shot-progress.png");
            taken = true;
            timer->deleteLater();
        });
        timer->start(10);
        (void)jobs.Run("Loading NV Items from BRT file", [&] {
            jobs.WaitForDialog();
            jobs.EnableCancel();
            jobs.SetRange(100);
            jobs.SetPosition(62);
            while (!taken) QThread::msleep(5);
            return jobs.PostJobCompleted();
        });
        QVERIFY(taken);

        // A backup of another tool: subscription groups and an item file's bytes.
        const std::string numbered = dir.toStdString() + "/sample-numbered.qcn";
        if (ReadFile(numbered).empty()) return;
        chooser.paths = {numbered};
        frame.Action(CMainFrame::kLoadQcn)->trigger();
        items.expandAll();
        QTreeWidgetItem* files = items.topLevelItem(items.topLevelItemCount() - 1);
        if (files && files->childCount() > 0 && files->child(0)->childCount() > 0) items.setCurrentItem(files->child(0)->child(0));
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-numbered.png"));

        // Phone Files on a simulated phone holding the sample's item files and a few more, at
        // 1024 x 640 on the light and the dark palette, after a file was saved to disk.
        // A record whose writes the phone garbles gives the restore's report a failure to show.
        SSimPhoneOptions options;
        options.readOnly = {0};
        options.corruptWrites = {81};
        SSimOnPty sim(app.Doc().Definitions(), options);
        CSimNumberedImage image;
        std::string error;
        SBackupContent read;
        QVERIFY(ReadBackup(app.Doc().Jobs(), numbered, app.Doc().Definitions(), read).IsCompleted());
        QVERIFY2(image.Load(read.TakeNumbered(), numbered, sim.phone, error), error.c_str());
        for (const auto& [name, size] : {std::pair{"sms_domain_pref", 1}, std::pair{"band_pref_table", 3000},
                                         std::pair{"ue_usage_setting", 4}})
            QVERIFY(sim.phone.Files().PutFile(std::string("/nv/item_files/modem/mmode/") + name, Bytes(size, 1)));
        QVERIFY(sim.Start());
        app.Doc().Phone().Settings().portName = sim.server.DevicePath();
        frame.Action(CMainFrame::kConnect)->trigger();
        frame.resize(1024, 640);
        chooser.paths = {MakeTempDir("shots-files") + "/lte_bandpref"};
        for (const auto& [palette, name] : {std::pair{light, "shot-phone-files.png"}, std::pair{DarkPalette(), "shot-phone-files-dark.png"}}) {
            QApplication::setPalette(palette);
            const int shown = Answering<CPhoneFilesDialog>(
                {[&, name = name](CPhoneFilesDialog& d) {
                    QTRY_VERIFY(!d.IsBusy() && !d.Folder().empty());
                    d.Browse("/nv/item_files/modem/mmode");
                    QTRY_VERIFY(!d.IsBusy());
                    QTreeWidget& list = *d.Entries();
                    for (int i = 0; i < list.topLevelItemCount(); ++i)
                        if (list.topLevelItem(i)->text(0) == "lte_bandpref") list.setCurrentItem(list.topLevelItem(i));
                    if (!chooser.paths.empty()) d.SaveToDisk();
                    QTRY_VERIFY(!d.IsBusy());
                    QTest::qWait(50);
                    QVERIFY(d.grab().save(out + "/" + name));
                    d.reject();
                }},
                [&] { frame.Action(CMainFrame::kPhoneFiles)->trigger(); });
            QCOMPARE(shown, 1);
        }

        // The reports of Back Up Phone and of Restore Backup to Phone (the restore offline).
        const std::string whole = MakeTempDir("shots-whole") + "/phone.qcn";
        const auto grabReport = [&](const QString& name) {
            return [&, name](CDownloadReportDialog& dialog) {
                QTest::qWait(50);
                QVERIFY(dialog.grab().save(out + "/" + name));
                dialog.reject();
            };
        };
        for (const auto& [palette, suffix] : {std::pair{light, ""}, std::pair{DarkPalette(), "-dark"}}) {
            QApplication::setPalette(palette);
            chooser.paths = {whole};
            QCOMPARE(Answering<CDownloadReportDialog>({grabReport(QString("shot-backup-report%1.png").arg(suffix))},
                                                      [&] { frame.Action(CMainFrame::kBackUpPhone)->trigger(); }),
                     1);
            // The phone changes after its backup: the restore writes the record back.
            const uint8_t changed[] = {7};
            uint16_t status = 0;
            QVERIFY(app.Doc().Phone().Link()->WriteNv(81, -1, changed, 1, status));
            chooser.paths = {whole};
            sink.answers = {true, true};
            QCOMPARE(Answering<CDownloadReportDialog>({grabReport(QString("shot-restore-report%1.png").arg(suffix))},
                                                      [&] { frame.Action(CMainFrame::kRestoreToPhone)->trigger(); }),
                     1);
        }
        QApplication::setPalette(light);
        frame.Action(CMainFrame::kDisconnect)->trigger();
    }
};
UI_TEST_CLASS(CScreenshotTest);

#include "screenshot_test.moc"
