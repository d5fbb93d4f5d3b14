#include "ui_test_support.h"

#include "ui/doc_views.h"
#include "ui/find_dialog.h"
#include "ui/main_frame.h"
#include "ui/nv_tree_view.h"
#include "app/tessiva_app.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>

std::vector<SUiTestRegistry::STest>& SUiTestRegistry::All() {
    static std::vector<STest> tests;
    return tests;
}

bool CScriptedChooser::Next(const SFileDialogRequest& request, std::string& path) {
    asked.push_back(request);
    initialFilter = request.chosenFilter ? *request.chosenFilter : -1;
    if (paths.empty()) return false;
    if (request.chosenFilter) *request.chosenFilter = filter;
    path = paths.front();
    paths.pop_front();
    return true;
}

void WriteDescriptionFiles(const std::string& dir, bool withTypes) {
    WriteFile(dir + "/NVItemsDefine.def",
              "# name;id;file;group;size;type\n"
              "NV_ESN_CHKSUM_I;1;esn_chk;SECURITY;4;uint32\n"
              "NV_ESN_I;0;esn;SECURITY;4;uint32\n"
              "NV_SCI_I;10;sci;CDMA;1[3];uint8\n"
              "NV_DIAL_I;57;dial;PHONEBOOK;7;dial_type\n"
              "NV_BAND_PREF_I;441;band;RF;2;uint16\n"
              "NV_MYSTERY_I;99;mystery;RF;5;mystery_type\n"
              "NV_PREF_MODE_I;9;pref;CDMA;1;uint8\n");
    if (withTypes)
        WriteFile(dir + "/NVTypes.typ",
                  "uint32;uint32 value;\r\n"
                  "uint16;uint16 value;\r\n"
                  "uint8;uint8 value;\r\n"
                  "dial_type;uint8 address;uint8 status;uint16 ext;uint16 code;\r\n"
                  "END;\r\n");
}

SUiApp::SUiApp(bool withTypes, bool withDefinitions) : dir(MakeTempDir("ui")) {
    WriteDescriptionFiles(dir, withTypes);
    if (!withDefinitions) std::remove((dir + "/NVItemsDefine.def").c_str());
}

SUiApp::~SUiApp() { app.reset(); }

bool SUiApp::Start() {
    app = std::make_unique<CTessivaApp>(&sink, &chooser);
    return app->InitInstance(dir);
}

CMainFrame& SUiApp::Frame() { return app->MainFrame(); }

CTessivaDoc& SUiApp::Doc() { return app->Doc(); }

void SUiApp::FillDatabase() { ::FillDatabase(Doc()); }

CNVItemArray FilledRecords(const CTessivaDoc& doc) {
    CNVItemArray items;
    for (const CNVItem& def : doc.Definitions()) {
        CNVItem item = def;
        if (def.Index() >= 0) item.SetName(def.Name() + " [ " + std::to_string(def.Index()) + " ]");
        std::vector<uint8_t> value(static_cast<size_t>(def.Size()));
        for (size_t k = 0; k < value.size(); ++k) value[k] = static_cast<uint8_t>(def.Id() + 7 * def.Index() + 3 * k + 1);
        item.SetValue(value);
        item.SetActive(CNVItem::kActive);
        items.Add(item);
    }
    return items;
}

void FillDatabase(CTessivaDoc& doc) { (void)doc.SetRecords(FilledRecords(doc)); }

void SUiApp::ChangeRecords(const std::function<void(CNVItem&)>& change) {
    CNVItemArray records = Doc().Items();
    for (CNVItem& r : records) change(r);
    (void)Doc().SetRecords(std::move(records));
    Frame().Views().BuildItemsTree();
}

bool SUiApp::SaveBackup(const std::string& path) {
    return Doc().SaveBackup(path).IsCompleted();
}

std::vector<std::string> TopLevelTexts(const QTreeWidget& tree) {
    std::vector<std::string> texts;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) texts.push_back(tree.topLevelItem(i)->text(0).toStdString());
    return texts;
}

std::vector<std::string> ChildTexts(const QTreeWidgetItem* node) {
    std::vector<std::string> texts;
    for (int i = 0; node && i < node->childCount(); ++i) texts.push_back(node->child(i)->text(0).toStdString());
    return texts;
}

QTreeWidgetItem* FindNode(const CNVTreeView& tree, const std::string& text) {
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = tree.topLevelItem(i);
        if (CNVTreeView::NodeText(group) == text) return group;
        for (int j = 0; j < group->childCount(); ++j)
            if (CNVTreeView::NodeText(group->child(j)) == text) return group->child(j);
    }
    return nullptr;
}

std::vector<std::string> RowTexts(const QTreeWidget& view, int row) {
    std::vector<std::string> texts;
    if (row < 0 || row >= view.topLevelItemCount()) return texts;
    for (int c = 0; c < view.columnCount(); ++c) texts.push_back(view.topLevelItem(row)->text(c).toStdString());
    return texts;
}

std::string Last(const std::vector<std::string>& texts) { return texts.empty() ? "(none)" : texts.back(); }

std::string CellText(const QTreeWidget& view, int row, int column) {
    const std::vector<std::string> texts = RowTexts(view, row);
    if (column < 0 || static_cast<size_t>(column) >= texts.size())
        return "(no cell " + std::to_string(row) + "," + std::to_string(column) + ")";
    return texts[static_cast<size_t>(column)];
}

void ClickButton(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() != text) continue;
        button->click();
        return;
    }
    QFAIL(qPrintable("no button " + text + " in " + dialog.metaObject()->className()));
}

std::function<void(CFindDialog&)> Search(const QString& text, const char* button) {
    return [text, button](CFindDialog& dialog) {
        dialog.Edit()->setText(text);
        ClickButton(dialog, button);
    };
}

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}
