// Pictures of the window for a person to look at; runs only when TESSIVA_SHOTS names a folder
// of description files (pictures go to TESSIVA_SHOTS_OUT, default the current folder).
#include "main_frame.h"
#include "nv_content_view.h"
#include "nv_tree_view.h"
#include "tessiva_app.h"
#include "ui_test_support.h"

#include <QAction>
#include <QPushButton>
#include <QThread>
#include <QTest>
#include <QTimer>

class CScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void takePictures() {
        const QByteArray dir = qgetenv("TESSIVA_SHOTS");
        if (dir.isEmpty()) QSKIP("TESSIVA_SHOTS not set");
        const QString out = qEnvironmentVariable("TESSIVA_SHOTS_OUT", ".");
        CTestFrontend sink;
        CScriptedChooser chooser;
        CTessivaApp app(&sink, &chooser);
        QVERIFY(app.InitInstance(dir.toStdString()));
        CMainFrame& frame = app.MainFrame();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const std::string backup = MakeTempDir("shots") + "/demo.cnv";
        FillDatabase(app.Doc());
        QVERIFY(app.Doc().SaveAllActiveToCnv(backup));
        chooser.paths = {backup};
        frame.Action(CMainFrame::kLoadCnvToolbar)->trigger();

        CNVTreeView& items = frame.ItemsTree();
        items.expandAll();
        QTreeWidgetItem* dial = FindNode(items, "(Id=57) NV_DIAL_I");
        if (!dial) dial = items.topLevelItem(0)->child(0);
        items.setCurrentItem(dial);
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-main.png"));

        frame.ItemsTree().setCurrentItem(items.topLevelItem(1));
        frame.SelectedTree().DropFrom(frame.ItemsTree());
        frame.SelectedTree().expandAll();
        frame.SelectedTree().setCurrentItem(frame.SelectedTree().topLevelItem(0));
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-selected.png"));

        items.setCurrentItem(FindNode(items, "(Id=57) NV_DIAL_I") ? FindNode(items, "(Id=57) NV_DIAL_I") : items.topLevelItem(0));
        CNVContentView& content = frame.ContentView();
        const QModelIndex cell = content.model()->index(std::min(3, content.topLevelItemCount() - 1), 1);
        QVERIFY(content.OpenEditor(content.visualRect(cell).center()));
        QTest::keyClicks(content.Editor(), "5551234");
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-edit.png"));
        QTest::keyClick(content.Editor(), Qt::Key_Return);
        QTest::qWait(50);
        QVERIFY(frame.grab().save(out + "/shot-edited.png"));

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
        jobs.Run("Loading NV Items from BRT file", [&] {
            jobs.WaitForDialog();
            jobs.EnableCancel();
            jobs.SetRange(100);
            jobs.SetPosition(62);
            while (!taken) QThread::msleep(5);
            jobs.PostJobCompleted();
        });
        QVERIFY(taken);
    }
};
UI_TEST_CLASS(CScreenshotTest);

#include "screenshot_test.moc"
