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

bool CNVTreeNode::NaturalLess(const std::string& a, const std::string& b) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Runs of digits compare as numbers: "Group 2" before "Group 10".
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            if (const int c = a.compare(si, ei - si, b, sj, ej - sj); c != 0) return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        const int c = CompareNoCase(a.substr(i, 1), b.substr(j, 1));
        if (c != 0) return c < 0;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return TextLess(a, b);
}

bool CNVTreeNode::operator<(const QTreeWidgetItem& other) const {
    if (other.type() != kGroupNode && other.type() != kItemNode) return QTreeWidgetItem::operator<(other);
    const std::string& theirs = static_cast<const CNVTreeNode&>(other).m_text;
    return IsGroup() ? NaturalLess(m_text, theirs) : TextLess(m_text, theirs);
}
