#pragma once
#include <QTreeWidgetItem>
#include <string>

// A node of an item tree: a group (top level) or an item (child of its group). The node keeps
// its text as the raw bytes it was made from, so names parsed back from it are exact; the
// images come from two shared icons instead of one copy per node.
class CNVTreeNode : public QTreeWidgetItem {
public:
    enum EKind { kGroupNode = QTreeWidgetItem::UserType + 1, kItemNode };

    CNVTreeNode(EKind kind, std::string text) : QTreeWidgetItem(kind), m_text(std::move(text)) {}

    bool IsGroup() const { return type() == kGroupNode; }
    const std::string& Text() const { return m_text; }

    QVariant data(int column, int role) const override;
    // Node order of the tree's sorts: case-insensitive, ties byte-wise; groups in natural
    // order (numbers by their value).
    bool operator<(const QTreeWidgetItem& other) const override;

    static bool TextLess(const std::string& a, const std::string& b);
    static bool NaturalLess(const std::string& a, const std::string& b);
    // The four node images: group, selected group, item, selected item.
    static const QIcon& GroupIcon();
    static const QIcon& ItemIcon();

private:
    std::string m_text;
};
