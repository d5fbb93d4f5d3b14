#pragma once
#include <QPoint>
#include <QPointer>
#include "ui/report_view.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/item_window.h"

class CNVTypeCatalog;

// "NV Item Content": one row per field of the shown item (name, decimal and hexadecimal
// value, data type). A double-click on a value cell opens an editor over it; the edited text
// becomes the field's bytes and the rebuilt value is handed to the write-back. Above the
// fields, view rows show the item as people write it ("IMEI 990016878573987 ..."), edited the
// same way through the view edit.
class CNVContentView : public CReportView {
    Q_OBJECT
public:
    enum EColumn { kFieldName, kDecValue, kHexValue, kDataType };
    using WriteBack = std::function<void(const std::string& itemName, const std::vector<uint8_t>& bytes)>;
    // Takes the text typed in view row row; returns why it was refused, empty when taken.
    using ViewEdit = std::function<std::string(int row, const std::string& text)>;

    CNVContentView(CNVTypeCatalog& catalog, const char* caption, QWidget* parent = nullptr);
    ~CNVContentView() override;

    void SetWriteBack(WriteBack writeBack) { m_writeBack = std::move(writeBack); }
    void SetViewEdit(ViewEdit viewEdit) { m_viewEdit = std::move(viewEdit); }
    void SetItemName(const std::string& name) { m_itemName = name; }
    const std::string& ItemName() const { return m_itemName; }

    // Ends an open edit (committing a changed text), then deletes every row.
    void DeleteAllRows();
    void AddFieldRows(const std::vector<std::array<std::string, 4>>& rows);
    // A view row above the field rows: shown across the columns, entry the text its editor
    // starts with; without entry it can't be edited.
    void AddViewRow(const std::string& shown, const std::string& entry, bool editable);
    int ViewRowCount() const { return static_cast<int>(m_viewRows.size()); }

    // Opens the editor over the cell at a point of the viewport; false when it is no value cell.
    bool OpenEditor(const QPoint& point);
    bool OpenEditor(int row, int column);
    // Ends the open edit, if any; a changed text is committed exactly once. A text the field
    // can't take is refused: with force the editor closes and the old value stays, without
    // it the editor stays open with the hint (false).
    bool EndEdit(bool force = true);
    // Closes the editor; the value stays as it was.
    void CancelEdit();
    // Rows shown without a type to decode them, or an item file's bytes, can't be edited;
    // why, when given, stands in the pane's caption.
    void SetReadOnly(bool readOnly, const QString& why = {});
    CItemWindow* Editor() const { return m_editor; }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // F2, Enter and Return edit the current row's value cell.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The editor over a cell of row (the whole row for a view row).
    void OpenEditorAt(int row, int column);
    bool EndViewEdit(CItemWindow* editor, bool force);
    bool CloseEditor(CItemWindow* editor);

    CNVTypeCatalog& m_catalog;
    WriteBack m_writeBack;
    ViewEdit m_viewEdit;
    struct SViewRow {
        std::string entry;
        bool editable;
    };
    std::vector<SViewRow> m_viewRows;
    QPointer<CItemWindow> m_editor;
    std::string m_itemName;
    QPoint m_lastDoubleClick;
    int m_editRow = -1;
    int m_editColumn = -1;
    bool m_readOnly = false;
};
