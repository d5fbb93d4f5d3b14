#include "ui/nv_tree_node.h"

#include "model/nv_item_array.h"

#include <QIcon>

namespace {
QIcon MakeIcon(const char* normal, const char* selected) {
    QIcon icon;
    icon.addFile(normal, QSize(16, 16), QIcon::Normal);
    icon.addFile(selected, QSize(16, 16), QIcon::Selected);
    return icon;
}
}  // namespace

const QIcon& CNVTreeNode::GroupIcon() {
    static const QIcon icon = MakeIcon(":/icons/tree_group.png", ":/icons/tree_group_selected.png");
    return icon;
}

const QIcon& CNVTreeNode::ItemIcon() {
    static const QIcon icon = MakeIcon(":/icons/tree_item.png", ":/icons/tree_item_selected.png");
    return icon;
}

QVariant CNVTreeNode::data(int column, int role) const {
    if (column == 0) {
        if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
            return QString::fromUtf8(m_text.data(), static_cast<qsizetype>(m_text.size()));
        if (role == Qt::DecorationRole) return IsGroup() ? GroupIcon() : ItemIcon();
    }
    return QTreeWidgetItem::data(column, role);
}

bool CNVTreeNode::TextLess(const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

bool CNVTreeNode::operator<(const QTreeWidgetItem& other) const {
    if (other.type() != kGroupNode && other.type() != kItemNode) return QTreeWidgetItem::operator<(other);
    return TextLess(m_text, static_cast<const CNVTreeNode&>(other).m_text);
}
