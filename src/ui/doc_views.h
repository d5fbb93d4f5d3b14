#pragma once
#include "ui/list_row.h"

#include <QCoreApplication>

#include <cstdint>
#include <string>
#include <vector>

class CNVContentView;
class CNVItemArray;
class CNVListView;
class CNVTreeView;
class CTessivaDoc;
class CTreeEntryList;
class QTreeWidgetItem;

// The document operations that fill the four views, and the views' reactions to one another:
// a tree selection fills the item list and the content view, a list selection the content
// view, a heading click re-sorts the database, an edit writes the value back.
class CDocViews {
    Q_DECLARE_TR_FUNCTIONS(CDocViews)

public:
    CDocViews(CTessivaDoc& doc, CNVTreeView& itemsTree, CNVTreeView& selectedTree, CNVListView& list,
              CNVContentView& content);
    CDocViews(const CDocViews&) = delete;
    CDocViews& operator=(const CDocViews&) = delete;

    CTessivaDoc& Doc() { return m_doc; }
    // "Selected NV Items" when it had the last selection change, else "NV Items".
    CNVTreeView& CurrentTree();

    void BuildItemsTree();
    void BuildSelectedTree();
    void ShowGroupRows(const std::string& group);
    void ShowItemRows(const std::string& name);
    void ShowItemFields(const std::string& name);
    // The edited value becomes the value of the record the content view shows; its list row
    // shows the record as it now is.
    void WriteBackValue(const std::string& name, const std::vector<uint8_t>& bytes);
    // A text typed in the view row of the shown record; why it was refused, empty when it
    // became the record's value (one undo step) and the content shows it anew.
    std::string EditView(const std::string& text);
    // The list rows of the record at itemIndex show it anew.
    void RefreshListRow(int itemIndex);
    // Path, size and content in hex of an item file of a numbered-items backup.
    void ShowItemFile(size_t file);

    // The read-only "Item files" group and its nodes: area groups, one node per path.
    static constexpr int kItemFileNode = 1000 + 17;  // a QTreeWidgetItem type beside the item tree's own
    static constexpr const char* kItemFilesGroup = QT_TRANSLATE_NOOP("CDocViews", "Item files");

    // Empties the views only; the document keeps its records and selection.
    void ClearViews(bool keepContent = false);

    void OnTreeSelectionChanged(CNVTreeView& tree, QTreeWidgetItem* node);
    void OnListSelectionChanged();
    void OnColumnClick(int column);

private:
    void AddListRow(int itemIndex);
    // The view row of the record at itemIndex, when its item has a view.
    void AddViewRow(int itemIndex);
    // The record at itemIndex as a row of the item list.
    SListRow MakeListRow(int itemIndex) const;
    // Position of the record the content view shows, -1 when none (found again by ID and
    // element, since a heading click re-sorts the records).
    int ShownItemIndex() const;

    CTessivaDoc& m_doc;
    CNVTreeView& m_itemsTree;
    CNVTreeView& m_selectedTree;
    CNVListView& m_list;
    CNVContentView& m_content;
    struct SShown {
        int id = -1;
        int index = -1;
        std::string name;
    } m_shown;
};
