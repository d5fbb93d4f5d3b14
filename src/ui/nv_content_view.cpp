#include "ui/nv_content_view.h"

#include <QKeyEvent>

#include "ui/item_window.h"
#include "model/nv_type_catalog.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace {
QString FromBytes(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

CNVContentView::CNVContentView(CNVTypeCatalog& catalog, const char* caption, QWidget* parent)
    // "Filed Name" is this program's heading.
    : CReportView(caption, {{QT_TRANSLATE_NOOP("CReportView", "Filed Name"), 300},
                   {QT_TRANSLATE_NOOP("CReportView", "Dec Value"), 150},
                   {QT_TRANSLATE_NOOP("CReportView", "Hex Value"), 150},
                   {QT_TRANSLATE_NOOP("CReportView", "Data type"), 100}}, parent),
      m_catalog(catalog) {
    header()->setSectionsClickable(false);
}

CNVContentView::~CNVContentView() {
    // An editor still open is dropped without committing: its focus loss would reach a view
    // that is going away.
    if (m_editor) {
        m_editor->disconnect(this);
        delete m_editor;
    }
}

void CNVContentView::DeleteAllRows() {
    EndEdit();
    clear();
    m_viewRows.clear();
    SetReadOnly(false);
}

void CNVContentView::SetReadOnly(bool readOnly, const QString& why) {
    m_readOnly = readOnly;
    const QString caption = CReportView::tr(objectName().toUtf8().constData());
    setWindowTitle(why.isEmpty() ? caption : caption + " - " + why);
}

void CNVContentView::AddViewRow(const std::string& shown, const std::string& entry, bool editable) {
    auto* item = new QTreeWidgetItem({FromBytes(shown)});
    insertTopLevelItem(ViewRowCount(), item);
    item->setFirstColumnSpanned(true);
    // Set apart from the field rows below it.
    QFont bold = font();
    bold.setBold(true);
    item->setFont(0, bold);
    m_viewRows.push_back({entry, editable});
}

void CNVContentView::AddFieldRows(const std::vector<std::array<std::string, 4>>& rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const auto& row : rows)
        items.append(new QTreeWidgetItem({FromBytes(row[0]), FromBytes(row[1]), FromBytes(row[2]), FromBytes(row[3])}));
    addTopLevelItems(items);
}

void CNVContentView::mouseDoubleClickEvent(QMouseEvent* event) {
    m_lastDoubleClick = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        OpenEditor(m_lastDoubleClick);
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CNVContentView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter) && currentIndex().isValid()) {
        const int column = currentIndex().column() == kHexValue ? kHexValue : kDecValue;
        if (OpenEditor(currentIndex().row(), column)) {
            event->accept();
            return;
        }
    }
    CReportView::keyPressEvent(event);
}

bool CNVContentView::OpenEditor(int row, int column) {
    if (row < 0 || row >= topLevelItemCount()) return false;
    const QModelIndex index = model()->index(row, column);
    scrollTo(index);
    return OpenEditor(visualRect(index).center());
}

bool CNVContentView::OpenEditor(const QPoint& point) {
    // Taking the focus ends an edit that is still open elsewhere in the list.
    setFocus(Qt::MouseFocusReason);
    EndEdit();
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) return false;
    if (index.row() < ViewRowCount()) {
        if (!m_viewRows[static_cast<size_t>(index.row())].editable) return false;
    } else if (m_readOnly || (index.column() != kDecValue && index.column() != kHexValue)) {
        return false;
    }
    OpenEditorAt(index.row(), index.column());
    return true;
}

void CNVContentView::OpenEditorAt(int row, int column) {
    m_editRow = row;
    m_editColumn = column;
    const QModelIndex index = model()->index(row, column);
    QRect cell = visualRect(index);
    auto* editor = new CItemWindow(viewport());
    if (row < ViewRowCount()) {
        // A view row is edited across the value columns.
        cell.setLeft(columnViewportPosition(kDecValue));
        cell.setRight(viewport()->width() - 1);
        editor->setText(FromBytes(m_viewRows[static_cast<size_t>(row)].entry));
    } else {
        cell.setWidth(columnWidth(m_editColumn));
        editor->setText(index.data().toString());
    }
    editor->setGeometry(cell);
    editor->selectAll();
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    m_editor = editor;
    connect(editor, &CItemWindow::EditEnded, this, [this] { EndEdit(false); });
    connect(editor, &CItemWindow::FocusLost, this, [this] { EndEdit(false); });
    connect(editor, &CItemWindow::EditCancelled, this, &CNVContentView::CancelEdit);
    connect(editor, &CItemWindow::TabPressed, this, [this] {
        const int row = m_editRow, other = m_editColumn == kDecValue ? kHexValue : kDecValue;
        // A refused text keeps the editor where it is.
        if (EndEdit(false)) OpenEditor(row, other);
    });
}

void CNVContentView::CancelEdit() {
    if (m_editor) m_editor->setModified(false);
    EndEdit();
}

bool CNVContentView::EndEdit(bool force) {
    CItemWindow* editor = m_editor;
    if (!editor) return true;
    if (m_editRow >= 0 && m_editRow < ViewRowCount()) return EndViewEdit(editor, force);
    const int fieldIndex = m_editRow - ViewRowCount();
    if (editor->isModified() && fieldIndex >= 0 && fieldIndex < m_catalog.FieldCount() && m_editRow < topLevelItemCount()) {
        const std::string text = editor->text().toUtf8().toStdString();
        CNVField& field = m_catalog.Field(fieldIndex);
        const std::string hint = m_editColumn == kHexValue ? field.HexTextRefusal(text) : field.DecTextRefusal(text);
        if (!hint.empty() && !force) {
            // The old value stays in the record until a text that fits is entered or Escape.
            editor->ShowRefusal(FromBytes(hint));
            return false;
        }
        if (hint.empty()) {
            m_editor = nullptr;  // ends once: the write-back may clear the rows
            if (m_editColumn == kHexValue)
                field.SetHexText(text);
            else
                field.SetDecText(text);
            const std::vector<uint8_t> bytes = m_catalog.GetRecordBytes();
            QTreeWidgetItem* row = topLevelItem(m_editRow);
            row->setText(kDecValue, FromBytes(field.DecText()));
            row->setText(kHexValue, FromBytes(field.HexText()));
            if (m_writeBack) m_writeBack(m_itemName, bytes);
        }
    }
    return CloseEditor(editor);
}

bool CNVContentView::EndViewEdit(CItemWindow* editor, bool force) {
    if (editor->isModified() && m_viewEdit) {
        const std::string text = editor->text().toUtf8().toStdString();
        // Taken, the edit rebuilds the rows; ended once, as for a field.
        m_editor = nullptr;
        const std::string refusal = m_viewEdit(m_editRow, text);
        if (!refusal.empty() && !force) {
            m_editor = editor;
            editor->ShowRefusal(FromBytes(refusal));
            return false;
        }
    }
    return CloseEditor(editor);
}

bool CNVContentView::CloseEditor(CItemWindow* editor) {
    m_editor = nullptr;  // ends once: the focus loss of the closing editor finds none open
    const bool hadFocus = editor->hasFocus();
    editor->hide();
    editor->deleteLater();
    if (hadFocus) setFocus(Qt::OtherFocusReason);
    return true;
}
