#pragma once
#include "doc/backup_files.h"
#include "doc/doc_records.h"
#include "doc/edit_history.h"
#include "doc/file_chooser.h"
#include "doc/item_selection.h"
#include "doc/overwrite_prompt.h"
#include "doc/phone_session.h"
#include "files/nv_types_file.h"
#include "jobs/job_outcome.h"
#include "model/item_file_defs.h"
#include "model/nv_define_reader.h"
#include "model/nv_item_array.h"
#include "model/nv_type_catalog.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CJobControl;

// The document: the item database, definitions, type catalogue and the two trees' entry
// lists, all private. The window, the CLI and the tests read it through const views and
// change it only through the operations below; each returns how it ended. The work is done
// by collaborators: the backup files, the selection and the edit history. The phone is an
// object of its own (Phone()), kept here because it reads the document's definitions.
class CTessivaDoc {
public:
    using ESaveLayout = CBackupFiles::ESaveLayout;
    // Which records a save or a download takes: every active one, or the selected active ones.
    enum class EScope { AllActive, SelectedActive };
    // The two trees.
    enum class ETree { Items, Selected };
    // The item list's columns, each a sort that keeps array elements in index order.
    enum class ESortColumn { Name, Id, Active, FileName, Group, Size, Type };

    explicit CTessivaDoc(CJobControl& jobs);
    ~CTessivaDoc();
    CTessivaDoc(const CTessivaDoc&) = delete;
    CTessivaDoc& operator=(const CTessivaDoc&) = delete;

    CJobControl& Jobs() { return m_jobs; }
    const SOutcome& LastOutcome() const { return m_lastOutcome; }

    // ---- views ----
    const CNVItemArray& Items() const { return m_records.items; }
    const CNVItemArray& Definitions() const { return m_itemDefs; }
    // The type catalogue; it decodes the shown record with working state of its own, and its
    // types change only through ImportTypes.
    CNVTypeCatalog& Decoder() { return m_typeCatalog; }
    const CTreeEntryList& Entries(ETree tree) const { return tree == ETree::Items ? m_records.all : m_records.selected; }
    // What a numbered-items backup brought beside the records: kept-aside records, item files.
    const CNumberedState& Numbered() const { return m_files.Numbered(); }
    // True for a record of an item the definitions do not name (kept, never sent to the phone).
    bool IsUndefined(const CNVItem& record) const { return m_files.IsUndefined(record); }
    // The selected records, in the order of the selected tree.
    CNVItemArray SelectedItems() const;

    // Folder of NVItemsDefine.def and NVTypes.typ ("." by default).
    void SetDirectory(const std::string& dir);
    std::string DefinitionsPath() const;
    // Reads NVItemsDefine.def (a job), sorted by ID, and NVItemFiles.def beside it when there
    // is one (its bad lines a note).
    SOutcome LoadDefinitions();
    // The item file at file of Numbered() as a record of the definition that names it (a
    // subscription's copy as that subscription's); false when NVItemFiles.def names none.
    bool ItemFileRecord(size_t file, CNVItem& record) const;
    // Definitions given rather than read (a comparison document takes the window's).
    void SetDefinitions(const CNVItemArray& defs);
    // NVTypes.typ of the folder.
    SOutcome LoadTypes();
    // "Import NV Types from DEF file": NVTypes.typ made anew from path; confirm, when given,
    // is asked before a partial import is written.
    SOutcome ImportTypes(const std::string& path, CNVTypeCatalog::ImportConfirmation confirm = nullptr);

    // ---- backups ----
    // Any kind, told by its content (then its extension); the records replace the document's
    // only when the whole load completed, and "NV Items" then lists them all.
    SOutcome LoadBackup(const std::string& path);
    // The records of scope as the kind the path's extension names; layout chooses between the
    // two QCN layouts. A whole save brings the document in step with path.
    // kind, when given, overrides the name (a save dialog's file type).
    SOutcome SaveBackup(const std::string& path, EScope scope = EScope::AllActive,
                        ESaveLayout layout = ESaveLayout::AsLoaded, EBackupKind kind = EBackupKind::Unknown);
    // True when a QCN save as loaded writes the numbered-items layout: the document came in
    // it, or was last saved whole in it.
    bool SavesNumbered() const { return m_files.SavesNumbered(m_fileLayout); }
    // "Add NV Items from CNV File": merges the records of path, asking the overwrite prompt;
    // the selection stays. One undo step.
    SOutcome Merge(const std::string& path);
    // Records from elsewhere (a script, a test) replace the document's as after a load: sorted
    // by ID, all listed in "NV Items", in step with no file.
    SOutcome SetRecords(CNVItemArray records);
    // The CSV item list of these records (Items() or SelectedItems()), where the chooser says.
    SOutcome WriteItemList(const CNVItemArray& list);

    // Selects the records of these IDs and lists the rest in "NV Items"; returns the IDs no
    // record has.
    std::vector<int> SelectIds(const std::vector<int>& ids) { return m_selection.SelectIds(ids); }

    // ---- edits (each one undo step) ----
    // The value typed for the record at itemIndex; the record becomes active. A record
    // without a value (never read, such as one marked X) first gets the size its definition
    // gives, zero-filled, so the typed value is kept rather than dropped.
    SOutcome SetValue(int itemIndex, const std::vector<uint8_t>& bytes);
    // The value an edit of the record at itemIndex starts from: its bytes, or for a record
    // without a value the zero bytes of its definition's size.
    std::vector<uint8_t> EditableValue(int itemIndex) const;
    // The content of an item file of a numbered-items backup (no undo step yet: the window
    // does not edit item files).
    SOutcome SetItemFile(size_t file, std::vector<uint8_t> data);
    // Values of several records typed as one (a mask split over items): one undo step.
    SOutcome SetValues(const std::vector<std::pair<int, std::vector<uint8_t>>>& values);
    // Moves a whole group (names empty) or the named items of it from one tree to the other.
    SOutcome MoveEntries(ETree from, const std::string& group, const std::vector<std::string>& names);
    // Re-sorts the records by column; the trees list them in their new order.
    SOutcome Sort(ESortColumn column);
    // Copies records of another document in (Compare's "Copy to Window"): each replaces the
    // record of its ID and element index or joins the others; the selection stays.
    SOutcome CopyFrom(const std::vector<const CNVItem*>& records);
    const CEditHistory& History() const { return m_history; }
    SOutcome Undo();
    SOutcome Redo();

    // True when the records changed since they were last loaded, uploaded or saved whole.
    bool IsModified() const { return m_modified; }
    // The backup the records were last loaded from or saved whole to; empty after an upload.
    const std::string& DocumentPath() const { return m_documentPath; }

    // ---- phone ----
    // The phone: its connection, settings and the operations that leave the document as it
    // is (restore, whole-phone backup, SPC code). It reads the document's definitions.
    CPhoneSession& Phone() { return m_session; }
    // Reads the items of the list file from the phone. The records replace the document's only
    // when every item was asked for; when the phone fell silent the document stays as it was
    // and what was read is kept aside for TakePartialUpload.
    SOutcome Upload(const std::string& listPath);
    bool HasPartialUpload() const { return m_partialUpload.GetSize() > 0; }
    // The records of the last incomplete upload become the document, unsaved.
    SOutcome TakePartialUpload();
    // Records read from a phone become the document's, unsaved, as after an upload; the
    // subscription records, kept-aside records and item files stay (the link can't reach them).
    SOutcome TakePhoneRecords(CNVItemArray&& read);
    // Writes the active records of scope to the phone, backed up first and read back (see
    // CPhoneSession::Download).
    SPhoneOutcome Download(EScope scope);

    // ---- collaborators the front end supplies ----
    void SetFileChooser(IFileChooser* chooser) { m_fileChooser = chooser; }
    void SetOverwritePrompt(IOverwritePrompt* prompt) { m_overwritePrompt = prompt; }

private:
    // Keeps the outcome for LastOutcome() and returns it.
    SOutcome Keep(SOutcome outcome);
    // After a completed load or whole save: the records match the file at path, and the edit
    // steps of the records before a load are gone.
    SOutcome KeepInStep(SOutcome outcome, const std::string& path, bool replaced);
    // The typed value into the record at itemIndex, as SetValue describes.
    void PutValue(int itemIndex, const std::vector<uint8_t>& bytes);
    // Records an edit as one undo step: before holds what the edit replaced.
    void Record(std::string name, CEditHistory::EPart part, SDocRecords&& before, int index = -1);

    CJobControl& m_jobs;
    std::string m_dir = ".";
    CNVTypesFile m_typeFile;  // where the catalogue keeps NVTypes.typ
    CNVTypeCatalog m_typeCatalog;
    CNVItemArray m_itemDefs;
    std::vector<SItemFileDef> m_itemFileDefs;
    CNVDefineReader m_defReader;
    SDocRecords m_records;
    CNVItemArray m_partialUpload;
    IFileChooser* m_fileChooser = nullptr;
    IOverwritePrompt* m_overwritePrompt = nullptr;
    SOutcome m_lastOutcome;
    bool m_modified = false;
    std::string m_documentPath;
    // The QCN layout of the last whole QCN save since the load; AsLoaded before one.
    ESaveLayout m_fileLayout = ESaveLayout::AsLoaded;
    CItemSelection m_selection;
    CBackupFiles m_files;
    CPhoneSession m_session;
    CEditHistory m_history;
};
