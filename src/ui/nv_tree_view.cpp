#include "ui/nv_tree_view.h"

#include "model/nv_item_array.h"
#include "ui/nv_tree_node.h"
#include "doc/tree_entry_list.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

CNVTreeView::CNVTreeView(const CTreeEntryList& entries, const char* caption, QWidget* parent)
    : QTreeWidget(parent), m_entries(entries) {
    setWindowTitle(tr(caption));
    setObjectName(caption);
    setColumnCount(1);
    header()->hide();
    // Long node texts scroll sideways instead of being cut short.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setRootIsDecorated(true);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentItemChanged(current); });
}

std::string CNVTreeView::ItemNodeText(int id, const std::string& name) {
    return "(Id=" + std::to_string(id) + ") " + name;
}

std::string CNVTreeView::NameFromNodeText(const std::string& text) {
    const size_t close = text.find(')');
    if (close == std::string::npos || close + 2 > text.size()) return {};
    return text.substr(close + 2);
}

const CNVTreeNode* CNVTreeView::Node(const QTreeWidgetItem* item) {
    if (!item || (item->type() != CNVTreeNode::kGroupNode && item->type() != CNVTreeNode::kItemNode)) return nullptr;
    return static_cast<const CNVTreeNode*>(item);
}

std::string CNVTreeView::NodeText(const QTreeWidgetItem* item) {
    const CNVTreeNode* node = Node(item);
    return node ? node->Text() : std::string();
}

bool CNVTreeView::IsGroupNode(const QTreeWidgetItem* item) {
    const CNVTreeNode* node = Node(item);
    return node && node->IsGroup();
}

QTreeWidgetItem* CNVTreeView::FindGroupNode(const std::string& text) const {
    auto it = m_groupNodes.find(text);
    return it == m_groupNodes.end() ? nullptr : it->second;
}

QTreeWidgetItem* CNVTreeView::SelectedNode() const {
    QTreeWidgetItem* item = currentItem();
    return item && item->isSelected() ? item : nullptr;
}

namespace {
std::string Trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
}  // namespace

QTreeWidgetItem* CNVTreeView::FindItemNode(const std::string& text) const {
    if (text.empty()) return nullptr;
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const std::string nodeText = NodeText(group->child(i));
            const size_t close = nodeText.find(')');
            std::string idText, name = nodeText;
            if (close != std::string::npos) {
                for (char c : nodeText.substr(0, close))
                    if (c != '(') idText += c;
                idText = Trimmed(idText.size() > 3 ? idText.substr(3) : std::string());
                name = nodeText.substr(close + 1);
            }
            name = Trimmed(name.substr(0, name.find('[')));
            if (idText == text || name == text) return group->child(i);
        }
    }
    return nullptr;
}

std::vector<QTreeWidgetItem*> CNVTreeView::FindItemNodes(const std::string& text, bool exact) const {
    std::vector<QTreeWidgetItem*> found;
    const std::string wanted = Trimmed(text);
    if (wanted.empty()) return found;
    const QString wantedText = QString::fromStdString(wanted);
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const std::string nodeText = NodeText(group->child(i));
            const std::string fullName = NameFromNodeText(nodeText);
            const QString name = QString::fromStdString(Trimmed(fullName.substr(0, fullName.find('['))));
            const size_t close = nodeText.find(')');
            const bool idMatches = nodeText.rfind("(Id=", 0) == 0 && close != std::string::npos &&
                                   Trimmed(nodeText.substr(4, close - 4)) == wanted;
            const bool same = idMatches || name.compare(wantedText, Qt::CaseInsensitive) == 0;
            if (exact ? same : !same && name.contains(wantedText, Qt::CaseInsensitive)) found.push_back(group->child(i));
        }
    }
    return found;
}

void CNVTreeView::DeleteAllNodes() {
    m_groupNodes.clear();
    clear();
}

void CNVTreeView::BuildNodes(const CNVItemArray& items) {
    DeleteAllNodes();
    // Nodes are assembled outside the tree and inserted in one batch per level.
    struct SGroup {
        CNVTreeNode* node;
        QList<QTreeWidgetItem*> children;
    };
    std::vector<SGroup> groups;
    std::unordered_map<std::string, size_t> groupIndex;
    for (const CTreeEntry& entry : m_entries.Entries()) {
        auto [it, added] = groupIndex.try_emplace(entry.group, groups.size());
        if (added) groups.push_back({new CNVTreeNode(CNVTreeNode::kGroupNode, entry.group), {}});
        // The node shows the ID of its own record (not of another record that happens to
        // carry the same name), which also needs no name lookup per entry.
        const int index = entry.itemIndex;
        const int id = index >= 0 && index < items.GetSize() ? items[index].Id() : -1;
        groups[it->second].children.append(new CNVTreeNode(CNVTreeNode::kItemNode, ItemNodeText(id, entry.name)));
    }
    QList<QTreeWidgetItem*> top;
    top.reserve(static_cast<qsizetype>(groups.size()));
    for (SGroup& group : groups) {
        group.node->addChildren(group.children);
        m_groupNodes.emplace(group.node->Text(), group.node);
        top.append(group.node);
    }
    std::stable_sort(top.begin(), top.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) { return *a < *b; });
    addTopLevelItems(top);
}

QTreeWidgetItem* CNVTreeView::AddGroupNode(const std::string& group) {
    auto* node = new CNVTreeNode(CNVTreeNode::kGroupNode, group);
    addTopLevelItem(node);
    m_groupNodes[group] = node;
    return node;
}

void CNVTreeView::RemoveNode(QTreeWidgetItem* node) {
    QTreeWidgetItem* parent = node->parent();
    if (!parent || parent->childCount() == 1) {
        QTreeWidgetItem* group = parent ? parent : node;
        m_groupNodes.erase(NodeText(group));
        delete group;
    } else {
        delete node;
    }
}

void CNVTreeView::OnCurrentItemChanged(QTreeWidgetItem* current) {
    // A node that becomes current because the selected one was deleted is selected too.
    if (current && !current->isSelected()) current->setSelected(true);
    emit NodeSelected(this, current);
}

void CNVTreeView::BeginDrag(QTreeWidgetItem* node) {
    if (!Node(node)) return;  // only the tree's own nodes move: "Item files" stays
    setCurrentItem(node);
    m_bDragging = true;
    // The drag image: the node's picture and text, hot spot at the top left corner.
    const QString text = node->text(0);
    const QFontMetrics metrics(font());
    QPixmap image(20 + metrics.horizontalAdvance(text) + 4, std::max(18, metrics.height() + 2));
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setOpacity(0.75);
        node->icon(0).paint(&painter, QRect(1, (image.height() - 16) / 2, 16, 16));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(20, 0, image.width() - 20, image.height()), Qt::AlignVCenter, text);
    }
    QApplication::setOverrideCursor(QCursor(image, 0, 0));
}

void CNVTreeView::EndDrag(CNVTreeView* target) {
    CNVTreeView* source = m_bDragging ? this : (m_peer && m_peer->m_bDragging ? m_peer : nullptr);
    if (!source) return;
    QApplication::restoreOverrideCursor();
    source->m_bDragging = false;
    // A release over the tree where the drag began, or outside both, moves nothing.
    if (target && target != source && target == source->m_peer) target->DropFrom(*source);
}

void CNVTreeView::DropFrom(CNVTreeView& source) {
    QTreeWidgetItem* node = source.SelectedNode();
    // Only the tree's own nodes move: "Item files" stays, by mouse or by key.
    if (!node || !Node(node) || &source == this) return;
    emit AboutToDrop();
    const bool isGroup = IsGroupNode(node);
    const std::string group = isGroup ? NodeText(node) : NodeText(node->parent());
    QTreeWidgetItem* target = FindGroupNode(group);
    if (!target) target = AddGroupNode(group);

    if (isGroup) {
        QList<QTreeWidgetItem*> copies;
        copies.reserve(node->childCount());
        for (int i = 0; i < node->childCount(); ++i)
            copies.append(new CNVTreeNode(CNVTreeNode::kItemNode, NodeText(node->child(i))));
        target->addChildren(copies);
        if (source.m_moveOut) source.m_moveOut(group, {});
    } else {
        const std::string text = NodeText(node);
        target->addChild(new CNVTreeNode(CNVTreeNode::kItemNode, text));
        target->sortChildren(0, Qt::AscendingOrder);
        if (source.m_moveOut) source.m_moveOut(group, {NameFromNodeText(text)});
    }
    invisibleRootItem()->sortChildren(0, Qt::AscendingOrder);
    source.RemoveNode(node);
    emit Dropped();
}

CNVTreeView* CNVTreeView::TreeUnder(const QPoint& globalPos) {
    for (CNVTreeView* tree : {this, m_peer})
        if (tree && tree->isVisible() && tree->rect().contains(tree->mapFromGlobal(globalPos))) return tree;
    return nullptr;
}

QItemSelectionModel::SelectionFlags CNVTreeView::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    // The selected node stays selected until another is chosen: a click beside the nodes or
    // with Ctrl held does not leave the tree without one while the panes still show it.
    if (!index.isValid()) return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, event);
    return flags & QItemSelectionModel::Deselect ? QItemSelectionModel::NoUpdate : flags;
}

void CNVTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressPos = event->position().toPoint();
        m_pressIndex = indexAt(m_pressPos);
    }
    QTreeWidget::mousePressEvent(event);
}

void CNVTreeView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    // With the button down the pointer drags the pressed node; it never sweeps the selection.
    if (!m_bDragging && m_pressIndex.isValid() &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        BeginDrag(itemFromIndex(m_pressIndex));
    event->accept();
}

void CNVTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressIndex = QPersistentModelIndex();
        if (m_bDragging || (m_peer && m_peer->m_bDragging)) {
            // The release comes to the tree that holds the mouse; the drop goes to the tree
            // under the pointer.
            EndDrag(TreeUnder(event->globalPosition().toPoint()));
            event->accept();
            return;
        }
    }
    QTreeWidget::mouseReleaseEvent(event);
}
