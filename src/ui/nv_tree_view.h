#pragma once
#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CNVItemArray;
class CNVTreeNode;
class CTreeEntryList;

// One of the two item trees ("NV Items", "Selected NV Items"): group nodes with item nodes
// "(Id=N) name" below them, built from the tree's entry list. Items and whole groups move to
// the other tree by dragging them there with the left mouse button.
class CNVTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // caption: the source text, also the object name; shown translated.
    CNVTreeView(const CTreeEntryList& entries, const char* caption, QWidget* parent = nullptr);

    void SetPeer(CNVTreeView* peer) { m_peer = peer; }
    CNVTreeView* Peer() const { return m_peer; }
    const CTreeEntryList& Entries() const { return m_entries; }
    // Moves a group (names empty) or the named items of it out of this tree into its peer's
    // entry list; the document does it, as one undo step.
    using MoveOut = std::function<void(const std::string& group, const std::vector<std::string>& names)>;
    void SetMoveOut(MoveOut move) { m_moveOut = std::move(move); }

    // This tree had the most recent selection change.
    bool IsCurrent() const { return m_bCurrent; }
    void SetCurrent(bool current) { m_bCurrent = current; }
    bool IsDragging() const { return m_bDragging; }

    // "(Id=" + id + ") " + name, and the name back from such a text.
    static std::string ItemNodeText(int id, const std::string& name);
    static std::string NameFromNodeText(const std::string& text);
    static const CNVTreeNode* Node(const QTreeWidgetItem* item);
    static std::string NodeText(const QTreeWidgetItem* item);
    static bool IsGroupNode(const QTreeWidgetItem* item);

    QTreeWidgetItem* FindGroupNode(const std::string& text) const;
    // The selected node, or null.
    QTreeWidgetItem* SelectedNode() const;
    // The first item node, groups in tree order and their items in order, whose ID text or
    // name (the part before a "[") equals text exactly; or null.
    QTreeWidgetItem* FindItemNode(const std::string& text) const;
    // Every item node, in the same order, whose ID text or name (any letter case) equals text
    // (exact) or whose name contains it without being it (not exact).
    std::vector<QTreeWidgetItem*> FindItemNodes(const std::string& text, bool exact) const;

    void DeleteAllNodes();
    // Rebuilds every node from the entry list, each with the ID of its entry's record.
    void BuildNodes(const CNVItemArray& items);

    // Drag and drop, also callable directly.
    void BeginDrag(QTreeWidgetItem* node);
    // Ends a drag that began in either tree; the release happened over target (this tree,
    // the other tree or neither).
    void EndDrag(CNVTreeView* target);
    // Moves the node selected in source into this tree, with the entries behind it.
    void DropFrom(CNVTreeView& source);

signals:
    void NodeSelected(CNVTreeView* tree, QTreeWidgetItem* node);
    // Around a move of nodes into this tree, so the move can be undone.
    void AboutToDrop();
    void Dropped();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    QTreeWidgetItem* AddGroupNode(const std::string& group);
    void RemoveNode(QTreeWidgetItem* node);
    CNVTreeView* TreeUnder(const QPoint& globalPos);

    const CTreeEntryList& m_entries;
    MoveOut m_moveOut;
    CNVTreeView* m_peer = nullptr;
    bool m_bCurrent = false;
    bool m_bDragging = false;
    std::unordered_map<std::string, QTreeWidgetItem*> m_groupNodes;
    QPersistentModelIndex m_pressIndex;
    QPoint m_pressPos;
};
