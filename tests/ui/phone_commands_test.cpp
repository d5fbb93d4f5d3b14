// The window's phone commands against a simulated phone on a pseudo-terminal, the port
// choice and the merge of a CNV file through the overwrite prompt.
#include "phone/com_ports.h"
#include "ui/doc_views.h"
#include "doc/download_report.h"
#include "files/backup_tree.h"
#include "files/numbered_backup.h"
#include "ui/download_report_dialog.h"
#include "ui/main_frame.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "ui/overwrite_dialog.h"
#include "ui/phone_files_dialog.h"
#include "ui/port_box.h"
#include "phone/efs_client.h"
#include "phone/diag_link.h"
#include "ui/spc_code_dialog.h"
#include "app/tessiva_app.h"
#include "sim_on_pty.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <filesystem>
#include <map>

namespace {
Values ValuesOf(const CNVItemArray& items, bool activeOnly = false) {
    Values values;
    for (const CNVItem& item : items)
        if (!activeOnly || item.Active() == CNVItem::kActive) values[{item.Id(), item.Index()}] = item.Value();
    return values;
}

std::function<void(CSPCCodeDialog&)> TypeCode(const QString& code, const char* button = "OK") {
    return [code, button](CSPCCodeDialog& dialog) {
        QTest::keyClicks(dialog.CodeEdit(), code);
        ClickButton(dialog, button);
    };
}

const char* const kNotConnected = "Phone not connected";
}  // namespace

class CPhoneCommandsTest : public QObject {
    Q_OBJECT
private:
    // Types device into the port box and connects; false unless the state box says so. A phone
    // that answers never waits for the timeout, however loaded the machine.
    static bool ConnectTo(SUiApp& ui, const std::string& device, int timeoutMs = 3000) {
        ui.Doc().Phone().Settings().requestTimeoutMs = timeoutMs;
        QLineEdit* edit = ui.Frame().PortBox()->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(device));
        ui.Frame().Action(CMainFrame::kConnect)->trigger();
        return ui.Frame().ConnectionBox()->text() == "CONNECTED";
    }
    static std::string StateText(SUiApp& ui) { return ui.Frame().ConnectionBox()->text().toStdString(); }

private slots:
    void portChoiceConnectionStatesAndTheNotConnectedReply() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        // Typed and chosen ports: a device path, "Com n" in any case, and the COM menu.
        QTest::keyClicks(frame.PortBox()->lineEdit(), "com 12");
        QCOMPARE(ui.Doc().Phone().Settings().comPort, 12);
        QVERIFY(ui.Doc().Phone().Settings().portName.empty());
        frame.UpdateComMenu();
        QVERIFY(frame.Action(211)->isChecked());
        QVERIFY(!frame.Action(CMainFrame::kComLast)->isEnabled());
        QCOMPARE(frame.PortBox()->currentText(), QString("Com 12"));  // the menu refresh keeps the choice
        frame.PortBox()->lineEdit()->clear();
        QTest::keyClicks(frame.PortBox()->lineEdit(), "/dev/tessiva-none");
        QCOMPARE(ui.Doc().Phone().Settings().portName, std::string("/dev/tessiva-none"));
        QCOMPARE(ui.Doc().Phone().Settings().comPort, 0);
        frame.UpdateComMenu();
        QVERIFY(!frame.Action(211)->isChecked());
        QCOMPARE(frame.PortBox()->currentText(), QString("/dev/tessiva-none"));
        frame.Action(202)->setEnabled(true);  // as for a machine with COM3
        frame.Action(202)->trigger();
        QCOMPARE(ui.Doc().Phone().Settings().comPort, 3);
        QVERIFY(ui.Doc().Phone().Settings().portName.empty());
        QCOMPARE(frame.PortBox()->currentText(), QString("Com 3"));

        // A port that can't be opened is told; a phone that does not answer is not.
        QVERIFY(!ConnectTo(ui, "/dev/tessiva-none"));
        QCOMPARE(StateText(ui), std::string("CAN'T CONNECT"));
        QCOMPARE(ui.sink.Messages().size(), size_t(1));
        QVERIFY(ui.sink.Messages()[0].find("tessiva-none") != std::string::npos);
        ui.sink.ClearRecords();
        SSimLineOptions silent;
        silent.silentAfter = 0;
        SSimOnPty mute(ui.Doc().Definitions(), {}, silent);
        QVERIFY(mute.Start());
        QVERIFY(!ConnectTo(ui, mute.server.DevicePath(), 300));
        QCOMPARE(StateText(ui), std::string("CAN'T CONNECT"));
        QVERIFY(ui.sink.Messages().empty());
        QVERIFY(!ui.Doc().Phone().IsConnected());

        // Every phone command without a phone: the reply, and nothing else happens.
        ui.FillDatabase();
        const Values before = ValuesOf(ui.Doc().Items());
        ui.chooser.paths = {ui.Path("never.csv")};
        for (int id : {CMainFrame::kSpcMenu, CMainFrame::kSpcToolbar, CMainFrame::kUploadAll, CMainFrame::kUploadListMenu,
                       CMainFrame::kUploadListToolbar, CMainFrame::kDownloadAll, CMainFrame::kDownloadSelected}) {
            ui.sink.ClearRecords();
            const int dialogs = Answering<QDialog>({}, [&] { frame.Action(id)->trigger(); });
            QCOMPARE(dialogs, 0);
            QCOMPARE(ui.sink.Messages(), std::vector<std::string>{kNotConnected});
            QCOMPARE(StateText(ui), std::string("NOT CONNECTED"));
        }
        QCOMPARE(ui.chooser.paths.size(), size_t(1));  // no file was asked for
        QCOMPARE(ValuesOf(ui.Doc().Items()), before);

        // Connect, connect again (the old link closes first), disconnect.
        SSimOnPty sim(ui.Doc().Definitions());
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        frame.Action(CMainFrame::kConnect)->trigger();
        QCOMPARE(StateText(ui), std::string("CONNECTED"));
        frame.Action(CMainFrame::kDisconnect)->trigger();
        QCOMPARE(StateText(ui), std::string("NOT CONNECTED"));
        QVERIFY(!ui.Doc().Phone().IsConnected());
    }

    void uploadsAndDownloadsThroughTheWindow() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.readOnly = {441};
        SSimOnPty sim(ui.Doc().Definitions(), options);
        sim.store.Put(0, CSimNvStore::kPlain, {1, 2, 3, 4});
        sim.store.Put(1, CSimNvStore::kPlain, {5, 6, 7, 8});
        sim.store.Put(10, 0, {0x10});
        sim.store.Put(10, 2, {0x12});
        sim.store.Put(441, CSimNvStore::kPlain, {0x41, 0x04});
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        CMainFrame& frame = ui.Frame();

        frame.Action(CMainFrame::kUploadAll)->trigger();
        QVERIFY(ui.sink.Messages().empty());
        QCOMPARE(ValuesOf(ui.Doc().Items(), true), sim.Stored());
        QCOMPARE(ui.Doc().Items().GetSize(), 9);
        QCOMPARE(TopLevelTexts(frame.ItemsTree()), (std::vector<std::string>{"CDMA", "PHONEBOOK", "RF", "SECURITY"}));
        // Read from the phone and in no file yet: unsaved, so nothing loses it without asking.
        QCOMPARE(frame.windowTitle(), QString("Untitled* - Tessiva v1.5"));
        QCOMPARE(ChildTexts(frame.ItemsTree().topLevelItem(0)),
                 (std::vector<std::string>{"(Id=9) NV_PREF_MODE_I", "(Id=10) NV_SCI_I [ 0 ]", "(Id=10) NV_SCI_I [ 1 ]",
                                           "(Id=10) NV_SCI_I [ 2 ]"}));

        // By a list: only its item, and the list dialog of its own.
        WriteFile(ui.Path("one.csv"), "NV Item Name;NV ID\nNV_ESN_CHKSUM_I;1\n");
        ui.chooser.paths = {ui.Path("one.csv")};
        frame.Action(CMainFrame::kUploadListToolbar)->trigger();
        QCOMPARE(ui.chooser.LastAsked().filterLabel, std::string("nv list files (*.csv)"));
        QCOMPARE(ui.chooser.LastAsked().defaultExtension, std::string("csv"));
        QCOMPARE(ValuesOf(ui.Doc().Items()), (Values{{{1, -1}, Bytes{5, 6, 7, 8}}}));
        QCOMPARE(TopLevelTexts(frame.ItemsTree()), std::vector<std::string>{"SECURITY"});

        // Download of the selection: new values for the RF and SECURITY groups; the phone
        // refuses 441, the one inactive record and the unselected items are not sent.
        frame.Action(CMainFrame::kUploadAll)->trigger();
        ui.ChangeRecords([](CNVItem& item) {
            if (item.Active() != CNVItem::kActive && item.Id() != 99) return;
            Bytes value(static_cast<size_t>(item.Size()), static_cast<uint8_t>(0xA0 + item.Id() % 16));
            item.SetValue(value);
            item.SetActive(item.Id() == 99 ? CNVItem::kNotActive : CNVItem::kActive);
        });
        for (const char* group : {"RF", "SECURITY"}) {
            frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), group));
            frame.SelectedTree().DropFrom(frame.ItemsTree());
        }
        Values expected = sim.Stored();
        expected[{0, -1}] = Bytes(4, 0xA0);
        expected[{1, -1}] = Bytes(4, 0xA1);
        ui.Doc().Phone().Settings().backupFolder = ui.Path("backups");
        // The ESN is among the records written: a phone takes it only after the SPC code.
        const uint8_t code[6] = {'0', '0', '0', '0', '0', '0'};
        bool accepted = false;
        QVERIFY(ui.Doc().Phone().Link()->SendSpc(code, accepted) && accepted);
        QStringList results;
        const int reports = Answering<CDownloadReportDialog>({[&](CDownloadReportDialog& dialog) {
                                                                 QTableWidget& table = *dialog.Table();
                                                                 table.sortItems(CDownloadReportDialog::kResultColumn);
                                                                 for (int r = 0; r < table.rowCount(); ++r)
                                                                     results << table.item(r, CDownloadReportDialog::kResultColumn)->text();
                                                                 if (std::getenv("TESSIVA_SHOT"))
                                                                     dialog.grab().save(std::getenv("TESSIVA_SHOT"));
                                                                 dialog.reject();
                                                             }},
                                                             [&] { frame.Action(CMainFrame::kDownloadSelected)->trigger(); });
        QCOMPARE(reports, 1);
        QVERIFY(ui.sink.Messages().empty());
        QCOMPARE(results, (QStringList{"write protected", "written and verified", "written and verified"}));
        QCOMPARE(sim.Stored(), expected);
        QVERIFY(!ui.Doc().Phone().LastBackupPath().empty());

        // The restore asks first, and its download is backed up like any other.
        ui.sink.answers = {false};
        frame.Action(CMainFrame::kRestoreLastBackup)->trigger();
        QCOMPARE(sim.Stored(), expected);
        ui.sink.answers = {true};
        QCOMPARE(Answering<CDownloadReportDialog>({}, [&] { frame.Action(CMainFrame::kRestoreLastBackup)->trigger(); }), 1);
        QCOMPARE(sim.Stored()[(std::pair<int, int>{0, -1})], (Bytes{1, 2, 3, 4}));
    }

    // A phone falling silent mid-upload: the document the user had stays, the link shows as
    // lost at once, and what was read becomes a new unsaved document only on request.
    void aFailedUploadKeepsTheDocumentAndOffersWhatWasRead() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        QVERIFY(ui.SaveBackup(ui.Path("mine.cnv")));
        QVERIFY(frame.OpenBackup(ui.Path("mine.cnv")));
        const Values before = ValuesOf(ui.Doc().Items());
        const QString title = frame.windowTitle();
        for (bool keep : {false, true}) {
            SSimLineOptions line;
            line.silentAfter = 4;  // the connection's requests and the first reads
            SSimOnPty sim(ui.Doc().Definitions(), {}, line);
            sim.store.Put(0, CSimNvStore::kPlain, {1, 2, 3, 4});
            sim.store.Put(1, CSimNvStore::kPlain, {5, 6, 7, 8});
            QVERIFY(sim.Start());
            QVERIFY(ConnectTo(ui, sim.server.DevicePath(), 1000));
            ui.sink.ClearRecords();
            ui.sink.answers = {keep};
            frame.Action(CMainFrame::kUploadAll)->trigger();
            QCOMPARE(ui.sink.Questions().size(), size_t(1));
            QCOMPARE(StateText(ui), std::string("NOT CONNECTED"));
            QVERIFY(!ui.Doc().Phone().IsConnected());
            if (!keep) {
                QCOMPARE(ValuesOf(ui.Doc().Items()), before);
                QCOMPARE(frame.windowTitle(), title);
                QVERIFY(!ui.Doc().IsModified());
            } else {
                // What was read before the silence, as the phone holds it; the rest marked X.
                const Values read = ValuesOf(ui.Doc().Items(), true);
                QVERIFY(!read.empty());
                Values stored = sim.Stored();
                for (const auto& [key, value] : read) QCOMPARE(value, stored[key]);
                QVERIFY(ui.Doc().Items().GetSize() > static_cast<int>(read.size()));
                QCOMPARE(frame.windowTitle(), QString("Untitled* - Tessiva v1.5"));
                QVERIFY(ui.Doc().IsModified());
            }
        }
    }

    void downloadSettingsAreRememberedAcrossARestart() {
        {
            SUiApp ui;
            QVERIFY(ui.Start());
            QVERIFY(ui.Frame().Action(CMainFrame::kBackUpBeforeDownload)->isChecked());
            QVERIFY(ui.Doc().Phone().Settings().verifyWrites);
            ui.Frame().Action(CMainFrame::kVerifyWrites)->trigger();
            QVERIFY(!ui.Doc().Phone().Settings().verifyWrites);
        }
        SUiApp again;
        QVERIFY(again.Start());
        QVERIFY(!again.Frame().Action(CMainFrame::kVerifyWrites)->isChecked());
        QVERIFY(!again.Doc().Phone().Settings().verifyWrites);
        QVERIFY(again.Doc().Phone().Settings().backupBeforeWrite);
        QSettings().clear();
    }

    void spcCodeRightWrongAndCancelled() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.spcCode = "123456";
        options.spcPenalty = std::chrono::milliseconds(0);
        SSimOnPty sim(ui.Doc().Definitions(), options);
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Frame().SetSpcPenalty(std::chrono::milliseconds(0));

        QCOMPARE(Answering<CSPCCodeDialog>({TypeCode("999999")},
                                           [&] { ui.Frame().Action(CMainFrame::kSpcToolbar)->trigger(); }),
                 1);
        QCOMPARE(ui.sink.Messages(), std::vector<std::string>{"     WRONG SPC CODE \nPhone will be time out for 10 sec"});
        QVERIFY(!sim.phone.IsSpcAccepted());
        ui.sink.ClearRecords();
        Answering<CSPCCodeDialog>({TypeCode("123456", "Cancel")}, [&] { ui.Frame().Action(CMainFrame::kSpcMenu)->trigger(); });
        QVERIFY(ui.sink.Messages().empty());
        QVERIFY(!sim.phone.IsSpcAccepted());
        // Only six characters go to the phone.
        Answering<CSPCCodeDialog>({TypeCode("12345678")}, [&] { ui.Frame().Action(CMainFrame::kSpcMenu)->trigger(); });
        QCOMPARE(ui.sink.Messages(), std::vector<std::string>{"SPC code accepted."});
        QVERIFY(sim.phone.IsSpcAccepted());
    }

    void theSilenceAfterAWrongSpcCodeIsWaitedOutNotTakenForALostLink() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.spcCode = "123456";
        options.spcPenalty = std::chrono::milliseconds(1200);
        SSimOnPty sim(ui.Doc().Definitions(), options);
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Frame().SetSpcPenalty(std::chrono::milliseconds(1500));
        Answering<CSPCCodeDialog>({TypeCode("999999")}, [&] { ui.Frame().Action(CMainFrame::kSpcMenu)->trigger(); });
        ui.sink.ClearRecords();
        Answering<CSPCCodeDialog>({TypeCode("123456")}, [&] { ui.Frame().Action(CMainFrame::kSpcToolbar)->trigger(); });
        QCOMPARE(ui.sink.Messages(), std::vector<std::string>{"SPC code accepted."});
        QCOMPARE(StateText(ui), std::string("CONNECTED"));
        QVERIFY(sim.phone.IsSpcAccepted());

        // Nothing selected: said, and nothing is written.
        ui.FillDatabase();
        const Values stored = sim.Stored();
        ui.sink.ClearRecords();
        ui.Frame().Action(CMainFrame::kDownloadSelected)->trigger();
        QCOMPARE(ui.sink.Messages(), std::vector<std::string>{"No items are selected."});
        QCOMPARE(sim.Stored(), stored);
    }

    void addFromCnvAsksPerConflictAndKeepsTheSelection() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        ui.FillDatabase();
        const Values loaded = ValuesOf(ui.Doc().Items());
        QVERIFY(ui.SaveBackup(ui.Path("add.cnv")));

        // In memory: other values, the array named as an upload names it, and 57 missing.
        auto prepareMemory = [&] {
            ui.FillDatabase();
            CNVItemArray kept;
            for (CNVItem item : ui.Doc().Items()) {
                if (item.Id() == 57) continue;
                item.SetValue(Bytes(static_cast<size_t>(item.Size()), 0xEE));
                if (item.Index() >= 0) item.SetName("NV_SCI_I [ " + std::to_string(item.Index()) + " ]");
                kept.Add(item);
            }
            QVERIFY(ui.Doc().SetRecords(kept).IsCompleted());
            frame.Views().BuildItemsTree();
            for (const char* group : {"CDMA", "RF"}) {
                frame.ItemsTree().setCurrentItem(FindNode(frame.ItemsTree(), group));
                frame.SelectedTree().DropFrom(frame.ItemsTree());
            }
            ui.sink.ClearRecords();
        };
        auto selectedNames = [&] {
            std::vector<std::string> names;
            for (const CTreeEntry& entry : ui.Doc().Entries(CTessivaDoc::ETree::Selected).Entries()) names.push_back(entry.name);
            return names;
        };

        std::vector<std::string> asked;
        const auto recordAnd = [&asked](int code) {
            return [&asked, code](COverwriteDialog& dialog) {
                asked.push_back(dialog.MessageLabel()->text().toStdString());
                dialog.Button(code)->click();
            };
        };

        // Overwrite 0, skip 1, then overwrite all without further questions.
        prepareMemory();
        ui.chooser.paths = {ui.Path("add.cnv")};
        QCOMPARE(Answering<COverwriteDialog>({recordAnd(IOverwritePrompt::kOverwrite), recordAnd(IOverwritePrompt::kSkip),
                                              recordAnd(IOverwritePrompt::kOverwriteAll)},
                                             [&] { frame.Action(CMainFrame::kAddCnvToolbar)->trigger(); }),
                 3);
        QCOMPARE(asked[0], std::string("NV Item already exist in memory!\n\nID = 0\n\nNVItem Name: NV_ESN_I\n\n"
                                       "NVItem Group: SECURITY"));
        QVERIFY(asked[1].find("ID = 1\n") != std::string::npos);
        Values expected = loaded;
        expected[{1, -1}] = Bytes(4, 0xEE);
        QCOMPARE(ValuesOf(ui.Doc().Items()), expected);
        QCOMPARE(ui.Doc().Items().GetSize(), 9);
        // The selection stays, under the names of the records that replaced it.
        QCOMPARE(selectedNames(), (std::vector<std::string>{"NV_PREF_MODE_I", "NV_SCI_I [ 0 ]", "NV_SCI_I [ 1 ]",
                                                            "NV_SCI_I [ 2 ]", "NV_MYSTERY_I", "NV_BAND_PREF_I"}));
        QCOMPARE(TopLevelTexts(frame.ItemsTree()), (std::vector<std::string>{"PHONEBOOK", "SECURITY"}));
        QCOMPARE(TopLevelTexts(frame.SelectedTree()), (std::vector<std::string>{"CDMA", "RF"}));
        QVERIFY(FindNode(frame.SelectedTree(), "(Id=10) NV_SCI_I [ 2 ]"));

        // Escape keeps the record in memory; skip all keeps the rest in memory.
        prepareMemory();
        ui.chooser.paths = {ui.Path("add.cnv")};
        QCOMPARE(Answering<COverwriteDialog>({[](COverwriteDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
                                              recordAnd(IOverwritePrompt::kSkipAll)},
                                             [&] { frame.Action(CMainFrame::kAddCnvMenu)->trigger(); }),
                 2);
        expected = ValuesOf(ui.Doc().Items());
        QCOMPARE(expected[std::make_pair(0, -1)], Bytes(4, 0xEE));
        QCOMPARE(expected[std::make_pair(1, -1)], Bytes(4, 0xEE));
        QCOMPARE(expected[std::make_pair(441, -1)], Bytes(2, 0xEE));
        QCOMPARE(expected[std::make_pair(57, -1)], loaded.at({57, -1}));  // only in the file: added

        // Cancel, even after an Overwrite, stops the merge with nothing changed.
        prepareMemory();
        const Values before = ValuesOf(ui.Doc().Items());
        const bool modified = ui.Doc().IsModified();
        ui.chooser.paths = {ui.Path("add.cnv")};
        QCOMPARE(Answering<COverwriteDialog>({recordAnd(IOverwritePrompt::kOverwrite), recordAnd(IOverwritePrompt::kCancel)},
                                             [&] { frame.Action(CMainFrame::kAddCnvMenu)->trigger(); }),
                 2);
        QCOMPARE(ValuesOf(ui.Doc().Items()), before);
        QCOMPARE(ui.Doc().IsModified(), modified);
        QCOMPARE(TopLevelTexts(frame.SelectedTree()), (std::vector<std::string>{"CDMA", "RF"}));

        // A file that does not load: the items of before, still selected.
        prepareMemory();
        const Values memory = ValuesOf(ui.Doc().Items());
        const std::vector<std::string> selected = selectedNames();
        WriteFile(ui.Path("broken.cnv"), "no checksum");
        ui.chooser.paths = {ui.Path("broken.cnv")};
        QCOMPARE(Answering<COverwriteDialog>({}, [&] { frame.Action(CMainFrame::kAddCnvMenu)->trigger(); }), 0);
        QVERIFY(!ui.sink.Messages().empty());
        QCOMPARE(ValuesOf(ui.Doc().Items()), memory);
        QCOMPARE(selectedNames(), selected);
        QCOMPARE(TopLevelTexts(frame.SelectedTree()), (std::vector<std::string>{"CDMA", "RF"}));
    }

    // Phone Files against the simulator: a listing, a file saved to disk, a put that asks
    // before it replaces and copies the old file aside first, a delete that copies it too, a
    // put over a file that can't be copied (nothing written) and the phone's reason shown.
    void phoneFilesListSavePutAndDelete() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.efsFail = {"/nv/item_files/broken"};
        SSimOnPty sim(ui.Doc().Definitions(), options);
        Bytes band(3000);
        for (size_t i = 0; i < band.size(); ++i) band[i] = static_cast<uint8_t>(i * 7);
        CSimFileSystem& files = sim.phone.Files();
        QVERIFY(files.PutFile("/nv/item_files/modem/band", band));
        QVERIFY(files.PutFile("/nv/item_files/broken", Bytes(2000, 0xBB)));
        QVERIFY(files.PutFolder("/nv/item_files/empty"));
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        const Bytes newBand(2500, 0x5A);
        WriteFile(ui.Path("band"), std::string(newBand.begin(), newBand.end()));
        WriteFile(ui.Path("broken"), "new");
        // The copies kept below the backups folder, by their file name.
        const auto copies = [&](const std::string& name) {
            std::vector<Bytes> found;
            std::error_code error;
            for (std::filesystem::recursive_directory_iterator it(ui.Doc().Phone().Settings().backupFolder + "/phone-files", error), end;
                 !error && it != end; it.increment(error))
                if (it->path().filename() == name) found.push_back(ReadBytes(it->path().string()));
            return found;
        };
        const auto status = [](CPhoneFilesDialog& d) { return d.StatusLine()->text().toStdString(); };

        const int shown = Answering<CPhoneFilesDialog>(
            {[&](CPhoneFilesDialog& d) {
                QTRY_COMPARE(d.Folder(), std::string("/nv/item_files"));
                QTreeWidget& list = *d.Entries();
                QCOMPARE(list.topLevelItemCount(), 3);
                QCOMPARE(RowTexts(list, 0), (std::vector<std::string>{"empty", "", "Folder"}));
                // Below /nv/item_files the phone keeps item files, a type of their own.
                QCOMPARE(RowTexts(list, 2), (std::vector<std::string>{"broken", QLocale().toString(2000).toStdString(), "Item file"}));
                list.setCurrentItem(list.topLevelItem(1));
                QTest::keyClick(&list, Qt::Key_Return);
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(d.Folder(), std::string("/nv/item_files/modem"));

                ui.chooser.paths = {ui.Path("saved.bin")};
                ClickButton(d, "&Save to Disk...");
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(ReadBytes(ui.Path("saved.bin")), band);

                ui.sink.answers = {false};
                ui.chooser.paths = {ui.Path("band")};
                ClickButton(d, "&Put File...");
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(ui.sink.Questions().size(), size_t(1));
                QCOMPARE(*files.Find("/nv/item_files/modem/band"), band);
                QVERIFY(copies("band").empty());
                ui.sink.answers = {true};
                ui.chooser.paths = {ui.Path("band")};
                ClickButton(d, "&Put File...");
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(*files.Find("/nv/item_files/modem/band"), newBand);
                QCOMPARE(copies("band"), std::vector<Bytes>{band});

                ui.sink.answers = {true};
                ClickButton(d, "&Delete");
                QTRY_VERIFY(!d.IsBusy());
                QVERIFY(!files.Find("/nv/item_files/modem/band"));
                QCOMPARE(list.topLevelItemCount(), 0);
                QCOMPARE(copies("band").size(), size_t(2));

                // Up comes back to the folder left; its old file can't be read, so it stays.
                ClickButton(d, "&Up");
                QTRY_VERIFY(!d.IsBusy());
                QCOMPARE(list.currentItem()->text(0), QString("modem"));
                ui.sink.answers = {true};
                ui.chooser.paths = {ui.Path("broken")};
                ClickButton(d, "&Put File...");
                QTRY_VERIFY(!d.IsBusy());
                QVERIFY2(status(d).find("Can't back up") != std::string::npos, status(d).c_str());
                QCOMPARE(*files.Find("/nv/item_files/broken"), Bytes(2000, 0xBB));

                d.PathBox()->setText("/nv/none");
                QTest::keyClick(d.PathBox(), Qt::Key_Return);
                QTRY_VERIFY(!d.IsBusy());
                QVERIFY2(status(d).find("no such file") != std::string::npos, status(d).c_str());
                QCOMPARE(d.Folder(), std::string("/nv/item_files"));
                d.reject();
            }},
            [&] { ui.Frame().Action(CMainFrame::kPhoneFiles)->trigger(); });
        QCOMPARE(shown, 1);
        QCOMPARE(StateText(ui), std::string("CONNECTED"));
    }

    // Back Up Phone, a changed phone, Restore Backup to Phone (offline, as answered), then
    // Restore Last Backup to Mobile, which takes the restore's own backup: each brings back
    // every record, subscription record and item file, and each report lists records with
    // their subscription and files by path, problems first.
    void wholePhoneBackUpRestoreAndRestoreLast() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.readOnly = {441};
        SSimOnPty sim(ui.Doc().Definitions(), options);
        sim.store.Put(9, CSimNvStore::kPlain, {1});
        sim.store.Put(441, CSimNvStore::kPlain, {0x41, 0x04});
        sim.phone.Subscription(1).Put(9, CSimNvStore::kPlain, {2});
        const std::string file = "/nv/item_files/modem/band";
        QVERIFY(sim.phone.Files().PutFile(file, {1, 2, 3}));
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Doc().Phone().Settings().backupFolder = ui.Path("backups");
        CMainFrame& frame = ui.Frame();
        // The phone as the test reads it: item 9 of both subscriptions and the file.
        const auto phone = [&] {
            return std::vector<Bytes>{*sim.store.Find(9, CSimNvStore::kPlain),
                                      *sim.phone.Subscription(1).Find(9, CSimNvStore::kPlain), *sim.phone.Files().Find(file)};
        };
        const std::vector<Bytes> original = phone();
        // The report's rows as "record|subscription|result", and its summary.
        std::vector<std::string> rows;
        std::string summary;
        const auto readReport = [&](CDownloadReportDialog& dialog) {
            rows.clear();
            summary = dialog.Summary()->text().toStdString();
            const QTableWidget& table = *dialog.Table();
            for (int r = 0; r < table.rowCount(); ++r)
                rows.push_back((table.item(r, CDownloadReportDialog::kRecordColumn)->text() + "|" +
                                table.item(r, CDownloadReportDialog::kSubscriptionColumn)->text() + "|" +
                                table.item(r, CDownloadReportDialog::kResultColumn)->text())
                                   .toStdString());
            dialog.reject();
        };
        const auto has = [&](const std::string& row) { return std::find(rows.begin(), rows.end(), row) != rows.end(); };

        ui.chooser.paths = {ui.Path("whole")};
        QCOMPARE(Answering<CDownloadReportDialog>({readReport}, [&] { frame.Action(CMainFrame::kBackUpPhone)->trigger(); }), 1);
        QVERIFY(!ReadBytes(ui.Path("whole.qcn")).empty());
        QVERIFY2(has("NV_PREF_MODE_I|1|backed up") && has(file + "||backed up"), Last(rows).c_str());
        QVERIFY2(summary.find("subscription records: 1 backed up") != std::string::npos, summary.c_str());
        QVERIFY2(summary.find("item files: 1 backed up") != std::string::npos, summary.c_str());

        // The phone changes, then the backup goes back, offline.
        uint16_t status = 0;
        const uint8_t changed[] = {7};
        CDiagLink& link = *ui.Doc().Phone().Link();
        QVERIFY(link.WriteNv(9, -1, changed, 1, status) && status == 0);
        QVERIFY(link.WriteNv(9, -1, changed, 1, status, 1) && status == 0);
        CEfsClient efs(ui.Doc().Phone().Link());
        QVERIFY(efs.WriteFile(file, {9, 9}, false));
        const std::vector<Bytes> before = phone();
        ui.sink.answers = {true, true};
        ui.chooser.paths = {ui.Path("whole.qcn")};
        QCOMPARE(Answering<CDownloadReportDialog>({readReport}, [&] { frame.Action(CMainFrame::kRestoreToPhone)->trigger(); }), 1);
        QCOMPARE(phone(), original);
        QCOMPARE(sim.phone.Resets(), 1);
        QCOMPARE(ui.sink.Questions().size(), size_t(2));
        // The protected record still holds its backed-up value: it is not written at all.
        QVERIFY2(has("NV_BAND_PREF_I|0|unchanged"), Last(rows).c_str());
        QVERIFY(has("NV_PREF_MODE_I|1|written and verified") && has(file + "||written and verified"));

        // The restore's own backup is the last one: it brings the changed phone back, online.
        ui.sink.answers = {true, false};
        QCOMPARE(Answering<CDownloadReportDialog>({readReport}, [&] { frame.Action(CMainFrame::kRestoreLastBackup)->trigger(); }), 1);
        QCOMPARE(phone(), before);
        QCOMPARE(sim.phone.Resets(), 1);
        QCOMPARE(StateText(ui), std::string("CONNECTED"));
    }

    // A restore onto a full phone: each file whose write fails gets its old content back, the
    // report says so, and the phone's files are as they were.
    void aRestoreOntoAFullPhoneLeavesItsFilesAsTheyWere() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimPhoneOptions options;
        options.efsFull = true;
        SSimOnPty sim(ui.Doc().Definitions(), options);
        // One file goes by put, whole or not at all; the other, larger, by open and write.
        const std::string large = "/nv/item_files/modem/large", small = "/nv/item_files/modem/small";
        const Bytes oldLarge(7000, 0x11), oldSmall(8, 0x22);
        QVERIFY(sim.phone.Files().PutFile(large, oldLarge));
        QVERIFY(sim.phone.Files().PutFile(small, oldSmall));
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        ui.Doc().Phone().Settings().backupFolder = ui.Path("backups");
        SNumberedBackup backup;
        backup.hasStream = {true, false, false};
        backup.itemFiles = {MakeItemFile("NV_Items", large, Bytes(9000, 0x33)), MakeItemFile("NV_Items", small, Bytes(100, 0x44))};
        CCompoundNode tree;
        std::string error, summary;
        QVERIFY2(EncodeNumbered(backup, tree, error) && WriteBackupTree(ui.Path("bigger.qcn"), tree, EBackupForm::Compound, error),
                 error.c_str());
        ui.sink.answers = {true, false};
        ui.chooser.paths = {ui.Path("bigger.qcn")};
        const auto readReport = [&](CDownloadReportDialog& dialog) {
            summary = dialog.Summary()->text().toStdString();
            dialog.reject();
        };
        QCOMPARE(Answering<CDownloadReportDialog>({readReport}, [&] { ui.Frame().Action(CMainFrame::kRestoreToPhone)->trigger(); }), 1);
        QVERIFY2(summary.find("item files: 0 written and verified, 2 failed") != std::string::npos, summary.c_str());
        QVERIFY2(summary.find("Put back from the backup after a failed write: " + large) != std::string::npos, summary.c_str());
        sim.server.Stop();
        QCOMPARE(*sim.phone.Files().Find(large), oldLarge);
        QCOMPARE(*sim.phone.Files().Find(small), oldSmall);
    }

    // A backup that loses the phone part way never takes the place of the file at its path.
    void aBackupThatLosesThePhoneGoesBesideTheFileAtItsPath() {
        SUiApp ui;
        QVERIFY(ui.Start());
        SSimLineOptions line;
        line.silentAfter = 8;
        SSimOnPty sim(ui.Doc().Definitions(), {}, line);
        sim.store.Put(9, CSimNvStore::kPlain, {1});
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath(), 300));
        const std::string path = ui.Path("whole.qcn"), beside = ui.Path("whole-incomplete.qcn");
        WriteFile(path, "a complete backup");
        ui.chooser.paths = {path};
        std::string summary;
        QCOMPARE(Answering<CDownloadReportDialog>({[&](CDownloadReportDialog& dialog) {
                                                      summary = dialog.Summary()->text().toStdString();
                                                      dialog.reject();
                                                  }},
                                                  [&] { ui.Frame().Action(CMainFrame::kBackUpPhone)->trigger(); }),
                 1);
        QCOMPARE(ReadFile(path), std::string("a complete backup"));
        const std::string headline = "The backup is incomplete: it was saved as " + beside + ", and " + path;
        QVERIFY2(summary.rfind(headline, 0) == 0, summary.c_str());
        QVERIFY(!ReadBytes(beside).empty());
    }

    void systemPortsAreListedAndAChangeOfPortDisconnects() {
        SUiApp ui;
        QVERIFY(ui.Start());
        CMainFrame& frame = ui.Frame();
        frame.SetPortLister([](std::vector<SComPort>& ports) {
            ports = {{"ttyUSB0", "/dev/ttyUSB0", 0, "Diagnostics port", "05c6:9008"}, {"ttyS0", "/dev/ttyS0", 1, "", ""}};
            return true;
        });
        SSimOnPty sim(ui.Doc().Definitions());
        QVERIFY(sim.Start());
        QVERIFY(ConnectTo(ui, sim.server.DevicePath()));
        QVERIFY(frame.ConnectionBox()->styleSheet().contains("#2e7d32"));
        QVERIFY(frame.StatusField(CMainFrame::kStatusPort)->text().endsWith("CONNECTED"));

        frame.UpdateComMenu();
        const std::vector<QAction*>& listed = frame.SystemPortActions();
        QCOMPARE(listed.size(), size_t(3));  // a separator, then the ports
        QVERIFY(listed[0]->isSeparator());
        QVERIFY(listed[1]->text().contains("ttyUSB0 - Diagnostics port [USB 05c6:9008]"));
        QVERIFY(listed[2]->text().contains("ttyS0"));
        QVERIFY(frame.Action(CMainFrame::kComFirst)->isEnabled());  // ttyS0 is Com 1 as well
        frame.UpdateComMenu();  // listed again, not twice
        QCOMPARE(frame.SystemPortActions().size(), size_t(3));

        frame.SystemPortActions()[1]->trigger();
        QCOMPARE(ui.Doc().Phone().Settings().portName, std::string("/dev/ttyUSB0"));
        QVERIFY(!ui.Doc().Phone().IsConnected());
        QCOMPARE(StateText(ui), std::string("NOT CONNECTED"));
        QCOMPARE(frame.StatusMessage(), QString("Disconnected: the port changed"));
        QCOMPARE(frame.PortBox()->currentText(), QString("ttyUSB0"));  // the listed name stands for its device
    }
};
UI_TEST_CLASS(CPhoneCommandsTest);

#include "phone_commands_test.moc"
