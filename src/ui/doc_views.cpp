#include "ui/doc_views.h"

#include "jobs/job_control.h"
#include "ui/nv_content_view.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_node.h"
#include "ui/nv_tree_view.h"
#include "jobs/message_sink.h"
#include "doc/item_comparison.h"
#include "doc/phone_backup.h"
#include "doc/tessiva_doc.h"
#include "model/item_view.h"

#include <QSignalBlocker>
#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <unordered_map>

CDocViews::CDocViews(CTessivaDoc& doc, CNVTreeView& itemsTree, CNVTreeView& selectedTree, CNVListView& list,
                     CNVContentView& content)
    : m_doc(doc), m_itemsTree(itemsTree), m_selectedTree(selectedTree), m_list(list), m_content(content) {}

CNVTreeView& CDocViews::CurrentTree() { return m_selectedTree.IsCurrent() ? m_selectedTree : m_itemsTree; }

void CDocViews::BuildItemsTree() {
    m_itemsTree.BuildNodes(m_doc.Items());
    const std::vector<SItemFile>& files = m_doc.Numbered().ItemFiles();
    if (files.empty()) return;
    // Not CNVTreeNodes: the tree's drag and entry bookkeeping leaves them alone.
    auto* top = new QTreeWidgetItem(kItemFileNode);
    top->setText(0, tr(kItemFilesGroup));
    top->setIcon(0, CNVTreeNode::GroupIcon());
    std::unordered_map<std::string, QTreeWidgetItem*> areas;
    for (size_t i = 0; i < files.size(); ++i) {
        QTreeWidgetItem*& area = areas[files[i].area];
        if (!area) {
            area = new QTreeWidgetItem(top, kItemFileNode);
            area->setText(0, QString::fromStdString(files[i].area));
            area->setIcon(0, CNVTreeNode::GroupIcon());
        }
        auto* leaf = new QTreeWidgetItem(area, kItemFileNode);
        // A file NVItemFiles.def names goes by its name, any other by its path below the item
        // files' folder, which fits the pane; the whole path is the tooltip.
        const std::string& path = files[i].path;
        const std::string_view root = CPhoneBackup::kItemFilesRoot;
        CNVItem named;
        leaf->setText(0, QString::fromStdString(m_doc.ItemFileRecord(i, named) ? named.Name()
                                                : path.starts_with(root) && path.size() > root.size()
                                                    ? path.substr(root.size())
                                                    : path));
        leaf->setToolTip(0, QString::fromStdString(path));
        leaf->setIcon(0, CNVTreeNode::ItemIcon());
        leaf->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    }
    m_itemsTree.addTopLevelItem(top);
}

void CDocViews::ShowItemFile(size_t file) {
    const std::vector<SItemFile>& files = m_doc.Numbered().ItemFiles();
    if (file >= files.size()) return;
    const SItemFile& f = files[file];
    static const char* const kDigits = "0123456789ABCDEF";
    char size[24];
    std::snprintf(size, sizeof size, "0x%zX", f.data.size());
    std::vector<std::array<std::string, 4>> rows = {{tr("Path").toStdString(), f.path, "", f.area},
                                                    {tr("Size").toStdString(), std::to_string(f.data.size()), size, ""}};
    // A file NVItemFiles.def names shows the fields of its type, as a record does; the bytes
    // of any other, sixteen a row.
    CNVItem named;
    std::vector<SFieldText> fields;
    const bool decoded = m_doc.ItemFileRecord(file, named) && !m_doc.Decoder().TypeNames().empty() &&
                         DecodeRecordFields(m_doc.Decoder(), named, fields);
    if (decoded) {
        if (named.Subscription() > 0)
            rows.push_back({tr("Subscription").toStdString(), std::to_string(named.Subscription()), "", ""});
        for (SFieldText& field : fields)
            rows.push_back({std::move(field.name), std::move(field.dec), std::move(field.hex), std::move(field.type)});
    }
    for (size_t at = decoded ? f.data.size() : 0; at < f.data.size(); at += 16) {
        std::string hex;
        for (size_t k = at; k < std::min(at + 16, f.data.size()); ++k) {
            if (k > at) hex += ' ';
            hex += kDigits[f.data[k] >> 4];
            hex += kDigits[f.data[k] & 15];
        }
        char offset[24];
        std::snprintf(offset, sizeof offset, "%06zX", at);
        rows.push_back({offset, "", hex, ""});
    }
    if (const CItemView* view = CItemView::ForPath(f.path); view && view->Show({f.data}).fits) {
        // Item files are not edited here: the row only reads them.
        m_content.AddViewRow(view->Caption() + " " + view->Show({f.data}).text, {}, false);
    }
    m_content.AddFieldRows(rows);
    // The bytes are no record's: the editor, which writes the shown record, stays shut.
    m_shown = {};
    m_content.SetItemName({});
    m_content.SetReadOnly(true, tr("item file, read-only"));
    // Sixteen bytes a row are wider than a value's column: it grows to show them whole.
    const int before = m_content.columnWidth(CNVContentView::kHexValue);
    m_content.resizeColumnToContents(CNVContentView::kHexValue);
    if (m_content.columnWidth(CNVContentView::kHexValue) < before) m_content.setColumnWidth(CNVContentView::kHexValue, before);
}

void CDocViews::BuildSelectedTree() { m_selectedTree.BuildNodes(m_doc.Items()); }

SListRow CDocViews::MakeListRow(int itemIndex) const {
    const CNVItem& item = m_doc.Items()[itemIndex];
    SListRow row;
    row.texts = {item.Name(),  std::to_string(item.Id()),   item.ActiveText(),    item.FileName(),
                 item.Group(), std::to_string(item.Size()), item.TypeName()};
    row.itemIndex = itemIndex;
    return row;
}

void CDocViews::AddListRow(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= m_doc.Items().GetSize()) return;
    m_list.AddRow(MakeListRow(itemIndex));
}

void CDocViews::RefreshListRow(int itemIndex) {
    if (itemIndex >= 0 && itemIndex < m_doc.Items().GetSize()) m_list.UpdateRow(MakeListRow(itemIndex));
}

int CDocViews::ShownItemIndex() const {
    const CNVItemArray& items = m_doc.Items();
    for (int i = 0; i < items.GetSize(); ++i)
        if (items[i].Id() == m_shown.id && items[i].Index() == m_shown.index && items[i].Name() == m_shown.name) return i;
    return -1;
}

void CDocViews::ShowGroupRows(const std::string& group) {
    m_list.ClearRows();
    for (const CTreeEntry& entry : CurrentTree().Entries().Entries())
        if (entry.group == group) AddListRow(entry.itemIndex);
    m_list.ShowRows();
}

void CDocViews::ShowItemRows(const std::string& name) {
    const int index = CurrentTree().Entries().FindItemIndexByName(name);
    m_list.ClearRows();
    AddListRow(index);
    m_list.ShowRows();
}

void CDocViews::ShowItemFields(const std::string& name) {
    const int index = CurrentTree().Entries().FindItemIndexByName(name);
    if (index < 0 || index >= m_doc.Items().GetSize()) return;
    const CNVItem& item = m_doc.Items()[index];
    m_shown = {item.Id(), item.Index(), item.Name()};
    AddViewRow(index);
    CNVTypeCatalog& catalog = m_doc.Decoder();
    if (catalog.TypeNames().empty()) {
        // No NVTypes.typ yet: the value as raw bytes, read-only, until types are imported.
        static const char kDigits[] = "0123456789ABCDEF";
        std::string hex;
        for (uint8_t b : item.Value()) {
            if (!hex.empty()) hex += ' ';
            hex += kDigits[b >> 4];
            hex += kDigits[b & 15];
        }
        m_content.AddFieldRows({{tr("value").toStdString(), std::string(), hex, tr("raw").toStdString()}});
        m_content.SetReadOnly(true);
        return;
    }
    // The catalogue keeps the decoded record for the editor; a record without a type shows its bytes.
    std::vector<SFieldText> fields;
    if (!DecodeRecordFields(catalog, item, fields)) {
        m_doc.Jobs().Messages().ShowMessage(CNVTypeCatalog::UnknownTypeMessage(item.TypeName()), EMessageIcon::Error);
        return;
    }
    std::vector<std::array<std::string, 4>> rows;
    rows.reserve(fields.size());
    for (SFieldText& f : fields)
        rows.push_back({std::move(f.name), std::move(f.dec), std::move(f.hex), std::move(f.type)});
    m_content.AddFieldRows(rows);
}

void CDocViews::WriteBackValue(const std::string& name, const std::vector<uint8_t>& bytes) {
    const int index = ShownItemIndex();
    if (index < 0 || m_doc.Items()[index].Name() != name) return;
    (void)m_doc.SetValue(index, bytes);
    RefreshListRow(index);
}

void CDocViews::AddViewRow(int itemIndex) {
    const CItemView* view = CItemView::ForId(m_doc.Items()[itemIndex].Id());
    if (!view) return;
    std::vector<std::vector<uint8_t>> values;
    for (int at : view->Records(m_doc.Items(), itemIndex)) values.push_back(at < 0 ? std::vector<uint8_t>() : m_doc.Items()[at].Value());
    const CItemView::SShown shown = view->Show(values);
    // A value too short for the view (definitions of another layout) shows its fields only.
    if (!shown.fits) return;
    m_content.AddViewRow(view->Caption() + " " + shown.text, shown.entry, true);
}

std::string CDocViews::EditView(const std::string& typed) {
    const int index = ShownItemIndex();
    const CItemView* view = index < 0 ? nullptr : CItemView::ForId(m_doc.Items()[index].Id());
    if (!view) return {};
    // A trailing ! takes an IMEI whose check digit is wrong.
    std::string text = typed;
    const bool force = !text.empty() && text.back() == '!';
    if (force) text.pop_back();
    const std::vector<int> records = view->Records(m_doc.Items(), index);
    std::vector<std::vector<uint8_t>> values;
    for (int at : records) values.push_back(at < 0 ? std::vector<uint8_t>() : m_doc.EditableValue(at));
    std::vector<std::vector<uint8_t>> forced = values;
    const std::string refusal = view->Set(text, values, force);
    if (!refusal.empty()) {
        if (view->Set(text, forced, true).empty())
            return refusal + " " + tr("End the digits with ! to take them all the same.").toStdString();
        return refusal;
    }
    std::vector<std::pair<int, std::vector<uint8_t>>> changed;
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i] >= 0 && values[i] != m_doc.Items()[records[i]].Value()) changed.emplace_back(records[i], values[i]);
    if (changed.empty()) return {};
    if (!m_doc.SetValues(changed).IsCompleted()) return m_doc.LastOutcome().reason;
    for (const auto& [at, bytes] : changed) RefreshListRow(at);
    const std::string name = m_shown.name;
    m_content.DeleteAllRows();
    ShowItemFields(name);
    m_content.SetItemName(name);
    return {};
}

void CDocViews::ClearViews(bool keepContent) {
    m_list.ClearRows();
    {
        // Deleting the nodes is no selection by the user.
        const QSignalBlocker blockItems(&m_itemsTree), blockSelected(&m_selectedTree);
        m_itemsTree.DeleteAllNodes();
        m_selectedTree.DeleteAllNodes();
    }
    m_list.DeleteAllRows();
    if (!keepContent) {
        m_content.DeleteAllRows();
        m_shown = {};
    }
}

void CDocViews::OnTreeSelectionChanged(CNVTreeView& tree, QTreeWidgetItem* node) {
    tree.SetCurrent(true);
    if (CNVTreeView* other = tree.Peer()) other->SetCurrent(false);
    m_list.DeleteAllRows();
    m_content.DeleteAllRows();
    if (!node) return;  // the selected node was deleted: nothing is shown
    if (node->type() == kItemFileNode) {
        if (node->data(0, Qt::UserRole).isValid()) ShowItemFile(node->data(0, Qt::UserRole).toULongLong());
        return;
    }
    const std::string text = CNVTreeView::NodeText(node);
    if (CNVTreeView::IsGroupNode(node)) {
        ShowGroupRows(text);
    } else {
        const std::string name = CNVTreeView::NameFromNodeText(text);
        ShowItemFields(name);
        ShowItemRows(name);
        m_content.SetItemName(name);
    }
}

void CDocViews::OnListSelectionChanged() {
    m_content.DeleteAllRows();
    std::string name;
    if (!m_list.FirstSelectedName(name)) return;
    ShowItemFields(name);
    m_content.SetItemName(name);
}

void CDocViews::OnColumnClick(int column) {
    m_content.EndEdit();
    if (!m_doc.Sort(static_cast<CTessivaDoc::ESortColumn>(column)).IsCompleted()) return;

    // The same rows again, in the new order; the trees keep their nodes.
    CNVTreeView& tree = m_itemsTree.IsCurrent() ? m_itemsTree : m_selectedTree;
    QTreeWidgetItem* node = tree.SelectedNode();
    m_list.DeleteAllRows();
    m_list.ClearRows();
    if (!node) return;
    if (!node->parent())
        ShowGroupRows(CNVTreeView::NodeText(node));
    else
        ShowItemRows(CNVTreeView::NameFromNodeText(CNVTreeView::NodeText(node)));
}
