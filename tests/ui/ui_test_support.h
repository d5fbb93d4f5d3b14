#pragma once
#include "doc/file_chooser.h"
#include "test_support.h"

#include <QApplication>
#include <QObject>
#include <QPalette>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CNVItem;
class CNVItemArray;
class CTessivaApp;
class CTessivaDoc;
class CNVTreeView;
class CFindDialog;
class QTreeWidget;
class QTreeWidgetItem;

// Test classes register themselves; the test main runs each of them.
struct SUiTestRegistry {
    struct STest {
        const char* name;
        std::function<int(int, char**)> run;
    };
    static std::vector<STest>& All();
};
#define UI_TEST_CLASS(Class)                                                                          \
    static const bool kRegistered##Class = [] {                                                      \
        SUiTestRegistry::All().push_back({#Class, [](int argc, char** argv) {                        \
                                              Class test;                                             \
                                              return QTest::qExec(&test, argc, argv);                 \
                                          }});                                                        \
        return true;                                                                                  \
    }()

// File dialogs answered from a script: each call takes the next path; none left = Cancel.
class CScriptedChooser : public IFileChooser {
public:
    bool ChooseOpenFile(const SFileDialogRequest& request, std::string& path) override { return Next(request, path); }
    bool ChooseSaveFile(const SFileDialogRequest& request, std::string& path) override { return Next(request, path); }
    // The last request, or an empty one when no dialog was asked for.
    SFileDialogRequest LastAsked() const { return asked.empty() ? SFileDialogRequest{} : asked.back(); }

    std::deque<std::string> paths;
    std::vector<SFileDialogRequest> asked;
    int filter = 0;  // the file type picked where a dialog offers two
    int initialFilter = -1;  // the file type the last dialog started on

private:
    bool Next(const SFileDialogRequest& request, std::string& path);
};

// Definitions of the test database: plain items, an array item, a compound type and an item
// whose type the catalogue lacks.
void WriteDescriptionFiles(const std::string& dir, bool withTypes = true);

// A running application on a temp folder of description files, with scripted message boxes
// and file dialogs.
struct SUiApp {
    explicit SUiApp(bool withTypes = true, bool withDefinitions = true);
    ~SUiApp();

    bool Start();
    CMainFrame& Frame();
    CTessivaDoc& Doc();
    // Sets the records to one active record per definition, values made from the ID.
    void FillDatabase();
    // Records changed from outside the window, as a script changes them: change is applied to
    // a copy of every record, the document takes the copies and the trees are built anew.
    void ChangeRecords(const std::function<void(CNVItem&)>& change);
    // Saves the database as a backup of the kind of path's extension; false on failure.
    bool SaveBackup(const std::string& path);
    std::string Path(const std::string& name) const { return dir + "/" + name; }

    std::string dir;
    CTestFrontend sink;
    CScriptedChooser chooser;
    std::unique_ptr<CTessivaApp> app;
};

// One active record per definition of doc, values made from the ID.
CNVItemArray FilledRecords(const CTessivaDoc& doc);
void FillDatabase(CTessivaDoc& doc);

// A dark palette, as a dark desktop theme sets it.
QPalette DarkPalette();

// Node helpers.
std::vector<std::string> TopLevelTexts(const QTreeWidget& tree);
std::vector<std::string> ChildTexts(const QTreeWidgetItem* node);
QTreeWidgetItem* FindNode(const CNVTreeView& tree, const std::string& text);
std::vector<std::string> RowTexts(const QTreeWidget& view, int row);
// The last of texts, or a text saying there is none.
std::string Last(const std::vector<std::string>& texts);
// One cell's text; for a cell the view lacks a text saying so, which no compare expects.
std::string CellText(const QTreeWidget& view, int row, int column);

// Answers each modal dialog of type T that comes up while body runs with the next answer; a
// dialog beyond the script is rejected, and so is one an answer leaves open after a failed
// check, so the test goes on to its end. Returns how many came up.
template <class T>
int Answering(std::deque<std::function<void(T&)>> answers, const std::function<void()>& body) {
    int shown = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        ++shown;
        if (!answers.empty()) {
            auto answer = std::move(answers.front());
            answers.pop_front();
            answer(*dialog);
            if (!QTest::currentTestFailed()) return;
        }
        if (dialog->isVisible()) dialog->reject();
    });
    timer.start();
    body();
    return shown;
}

// Clicks the button of that text; a missing button fails the test.
void ClickButton(QWidget& dialog, const QString& text);
// The answer to the Find dialog: text typed, then the button clicked.
std::function<void(CFindDialog&)> Search(const QString& text, const char* button = "Find");
