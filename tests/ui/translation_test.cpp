// Every text the window shows passes through a translation that lupdate gathered: with the
// build's pseudo-translation, which brackets each gathered source text as ⟦...⟧, no word may
// stand outside brackets, be it the window's own text or a message from the layers below.
#include "ui/about_dialog.h"
#include "ui/compare_dialog.h"
#include "doc/download_report.h"
#include "ui/download_report_dialog.h"
#include "ui/find_dialog.h"
#include "jobs/job_control.h"
#include "ui/main_frame.h"
#include "ui/overwrite_dialog.h"
#include "ui/spc_code_dialog.h"
#include "app/tessiva_app.h"
#include "jobs/text_translation.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

#ifndef TESSIVA_PSEUDO_QM
#define TESSIVA_PSEUDO_QM ""
#endif

namespace {
// The words of text outside ⟦...⟧, once the data named (paths, names) is taken out.
QStringList WordsOutsideBrackets(QString text, const QStringList& data) {
    for (const QString& d : data) text.remove(d);
    QString outside;
    int depth = 0;
    for (const QChar c : text) {
        if (c == QChar(0x27E6))
            ++depth;
        else if (c == QChar(0x27E7))
            depth = std::max(0, depth - 1);
        else if (depth == 0 && c != '&')
            outside += c;
    }
    QStringList words;
    static const QRegularExpression word("[A-Za-z]{2,}");
    for (auto it = word.globalMatch(outside); it.hasNext();) words << it.next().captured();
    return words;
}

// Every text a widget and its children show: titles, labels, buttons, fields, tooltips,
// column headings, menu and action texts.
QStringList ShownTexts(const QWidget& top) {
    QStringList texts = {top.windowTitle(), top.toolTip()};
    for (const QWidget* w : top.findChildren<QWidget*>()) {
        texts << w->toolTip();
        if (w->isWindow() || qobject_cast<const QMenu*>(w)) texts << w->windowTitle();
        if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
        // Qt's standard buttons (Close, OK) come translated with Qt's own translations.
        auto* box = qobject_cast<const QDialogButtonBox*>(w->parentWidget());
        auto* button = qobject_cast<const QAbstractButton*>(w);
        if (button && !(box && box->standardButton(const_cast<QAbstractButton*>(button)) != QDialogButtonBox::NoButton)) texts << button->text();
        if (auto* field = qobject_cast<const QLineEdit*>(w)) texts << field->text() << field->placeholderText();
        if (auto* menu = qobject_cast<const QMenu*>(w)) texts << menu->title();
        if (auto* tree = qobject_cast<const QTreeWidget*>(w))
            for (int c = 0; c < tree->columnCount(); ++c) texts << tree->headerItem()->text(c);
    }
    for (const QAction* action : top.findChildren<QAction*>()) texts << action->text() << action->toolTip();
    texts.removeAll(QString());
    return texts;
}
}  // namespace

class CTranslationTest : public QObject {
    Q_OBJECT
    QTranslator m_pseudo;

    // Fails with the texts, and the words in them, that missed translation.
    static void ExpectTranslated(const char* where, const QStringList& texts, const QStringList& data = {}) {
        QStringList missed;
        for (const QString& text : texts)
            if (const QStringList words = WordsOutsideBrackets(text, data); !words.isEmpty())
                missed << QString("\"%1\" (%2)").arg(text, words.join(' '));
        QVERIFY2(missed.isEmpty(), qPrintable(QString("%1: %2").arg(where, missed.join(", "))));
    }

private slots:
    void initTestCase() {
        QVERIFY2(m_pseudo.load(TESSIVA_PSEUDO_QM), "the build's pseudo-translation (lrelease, qt6-l10n-tools)");
        QCoreApplication::installTranslator(&m_pseudo);
        CTessivaApp::RouteLowerLayerTexts();
    }
    void cleanupTestCase() {
        QCoreApplication::removeTranslator(&m_pseudo);
        SetTextTranslator(nullptr);
    }

    void theWindowItsDialogsAndTheMessagesBelowItAreTranslated() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ExpectTranslated("main window", ShownTexts(frame));

        CFindDialog find(&frame);
        CSPCCodeDialog spc(&frame);
        CAboutDialog about(&frame);
        COverwriteDialog overwrite(&frame);
        CDownloadReport report;
        report.Add(441, -1, "NV_BAND_PREF_I", CDownloadReport::EResult::Protected, CDownloadReport::ProtectedText("NV_BAND_PREF_I"));
        report.Add(9, -1, "NV_PREF_MODE_I", CDownloadReport::EResult::Verified);
        report.backupPath = "/backups/b.cnv";
        CDownloadReportDialog reportDialog(report, &frame);
        ui.FillDatabase();
        CCompareDialog compare(ui.Doc().Items(), CNVItemArray(), ui.Doc().Decoder(), "b.cnv", &frame);
        const QStringList data = {"NV_BAND_PREF_I", "NV_PREF_MODE_I", "/backups/b.cnv", "b.cnv"};
        for (const QWidget* dialog : std::initializer_list<const QWidget*>{&find, &spc, &about, &overwrite, &reportDialog, &compare,
                                                                           &ui.app->ProgressDialog()})
            ExpectTranslated(qPrintable(dialog->metaObject()->className()), ShownTexts(*dialog), data);

        // Messages and job captions of the window and of the document, files and model below.
        WriteFile(ui.Path("damaged.cnv"), std::string(10, 'x'));
        QVERIFY(!frame.OpenBackup(ui.Path("damaged.cnv")));
        const std::string loadCaption = ui.app->Jobs().Caption();
        frame.Action(CMainFrame::kSaveSelectedBrt)->trigger();  // nothing selected
        frame.Action(CMainFrame::kUploadAll)->trigger();        // no phone
        QStringList shown = {QString::fromStdString(loadCaption), frame.windowTitle()};
        for (const std::string& text : ui.sink.Messages()) shown << QString::fromStdString(text);
        for (const std::string& text : ui.sink.Questions()) shown << QString::fromStdString(text);
        QCOMPARE(ui.sink.Messages().size(), size_t(3));
        ExpectTranslated("messages", shown, {QString::fromStdString(ui.Path("damaged.cnv")), "damaged.cnv"});
    }
};

UI_TEST_CLASS(CTranslationTest);
#include "translation_test.moc"
