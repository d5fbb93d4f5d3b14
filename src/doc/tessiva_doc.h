#pragma once
#include "doc/backup_files.h"
#include "doc/file_chooser.h"
#include "doc/item_selection.h"
#include "jobs/job_outcome.h"
#include "model/nv_define_reader.h"
#include "model/nv_item_array.h"
#include "model/nv_type_catalog.h"
#include "files/nv_types_file.h"
#include "doc/overwrite_prompt.h"
#include "doc/phone_session.h"
#include "doc/tree_entry_list.h"

#include <cstdint>
#include <string>
#include <vector>

class CJobControl;
class IMessageSink;

// The document: the item database, definitions, type catalogue, phone link and the two
// trees' entry lists. Holds no widgets; the window, the CLI and the tests all drive it.
// The work is done by three collaborators: the backup files, the phone session and the
// selection. The operations below keep the names the rest of the program knows them by;
// the starters' int and bool results are 1/true when the operation completed, and
// LastOutcome() tells how the last of them ended.
class CTessivaDoc {
public:
    explicit CTessivaDoc(CJobControl& jobs);
    ~CTessivaDoc();
    CTessivaDoc(const CTessivaDoc&) = delete;
    CTessivaDoc& operator=(const CTessivaDoc&) = delete;

    CJobControl& Jobs() { return m_jobs; }
    IMessageSink& Messages();
    CBackupFiles& Files() { return m_files; }
    CPhoneSession& Phone() { return m_session; }
    CItemSelection& Selection() { return m_selection; }
    const SOutcome& LastOutcome() const { return m_lastOutcome; }

    // Folder of NVItemsDefine.def and NVTypes.typ ("." by default).
    void SetDirectory(const std::string& dir);
    const std::string& Directory() const { return m_dir; }
    std::string DefinitionsPath() const;
    // Reads NVItemsDefine.def (a job) into m_itemDefs, sorted by ID; false when it failed or was stopped.
    bool LoadDefinitions();
    // Start-up: the definitions, then NVTypes.typ.
    bool LoadDescriptionFiles();

    // ---- list operations ----
    static int RemoveInactive(CNVItemArray& list);
    void CollectAllItems(CNVItemArray& list) const;
    void ReplaceItems(const CNVItemArray& list);
    static void SortByNameKeepWholeArrays(CNVItemArray& list);
    void CollectSelectedItems(CNVItemArray& list) const;

    // ---- backups of any kind ----
    // Loads by content (then extension); the records replace the document's only when the
    // whole load completed, and "NV Items" then lists them all.
    [[nodiscard]] SOutcome LoadBackup(const std::string& path);
    // Saves the active records (with selectedOnly, the selected ones) by the path's extension;
    // layout chooses between the two QCN layouts.
    [[nodiscard]] SOutcome SaveBackup(const std::string& path, bool selectedOnly = false,
                                      CBackupFiles::ESaveLayout layout = CBackupFiles::ESaveLayout::AsLoaded);

    // ---- item files (BRT, CNV, CSV, QCN, completion, merge) ----
    int SaveAllActiveToBrt(const std::string& path);
    int SaveSelectedActiveToBrt(const std::string& path);
    int StartStoreBrt(const std::string& path, const CNVItemArray& list);
    int StartLoadBrt(const std::string& path);

    int SaveAllActiveToCnv(const std::string& path);
    int SaveSelectedActiveToCnv(const std::string& path);
    int StartStoreCnv(const std::string& path, const CNVItemArray& list);
    int StartLoadCnv(const std::string& path);

    bool WriteItemList(const CNVItemArray& list);

    bool SaveAllActiveToQcn(const std::string& path);
    bool SaveSelectedActiveToQcn(const std::string& path);
    // The layout the document came in unless layout says otherwise.
    bool SaveQcn(const std::string& path, const CNVItemArray& list,
                 CBackupFiles::ESaveLayout layout = CBackupFiles::ESaveLayout::AsLoaded);
    // Either layout, compound file or XML.
    bool LoadQcn(const std::string& path);

    bool SaveAllActiveToXqcn(const std::string& path);
    bool SaveSelectedActiveToXqcn(const std::string& path);

    // Completion of m_items as it stands (the loads complete their own records).
    void CompleteArrayElements();
    int StartFillUp(int expand);
    // Merges previous into m_items as "Add NV Items from CNV File" does (m_items holding the
    // loaded records), asking the overwrite prompt. False, with the records of before, when
    // the prompt was answered Cancel.
    bool MergeItems(const CNVItemArray& previous);
    // "Add NV Items from CNV File": loads path and merges its records into m_items; the
    // selection stays.
    [[nodiscard]] SOutcome AddFromCnv(const std::string& path);

    // ---- edits and unsaved changes ----
    // The value typed for the record at itemIndex; the record becomes active. A record
    // without a value (never read, such as one marked X) first gets the size its definition
    // gives, zero-filled, so the typed value is kept rather than dropped.
    bool SetItemValue(int itemIndex, const std::vector<uint8_t>& bytes);
    // True when the records changed since they were last loaded, uploaded or saved whole.
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }
    // The backup the records were last loaded from or saved whole to; empty after an upload.
    const std::string& DocumentPath() const { return m_documentPath; }

    // ---- phone ----
    bool Connect();
    bool Disconnect();
    bool CheckConnected();
    void SetComPort(int n) { m_comPort = n; }
    int GetComPort() const { return m_comPort; }
    // On Linux a port is a device path; empty means "use m_comPort".
    void SetPortName(const std::string& device) { m_portName = device; }
    const std::string& GetPortName() const { return m_portName; }
    // Milliseconds each request waits for the phone on the next connection; 0 keeps the library's.
    void SetRequestTimeout(unsigned ms) { m_requestTimeoutMs = ms; }
    // 1 when the records read replaced the document's (also when the phone fell silent and
    // some are marked X; LastOutcome() then says so).
    int StartUpload(const std::string& path);
    [[nodiscard]] SOutcome DownloadAllActive();
    [[nodiscard]] SOutcome DownloadSelectedActive();
    int StartDownload(const CNVItemArray& list);
    // 1 when the phone took the code.
    int SendSpcCode(const std::string& code);

    // ---- collaborators the front end supplies ----
    void SetFileChooser(IFileChooser* chooser) { m_fileChooser = chooser; }
    void SetOverwritePrompt(IOverwritePrompt* prompt) { m_overwritePrompt = prompt; }

    // Members named as the rest of the program knows them.
    void* m_phone = nullptr;  // handle of the phone connection; null when not connected
    int32_t m_comPort = 0;
    std::string m_portName;
    unsigned m_requestTimeoutMs = 0;
    CNVItemArray m_items;
    CNVTypesFile m_typeFile;  // where the catalogue keeps NVTypes.typ
    CNVTypeCatalog m_typeCatalog;
    CNVItemArray m_itemDefs;
    CNVDefineReader m_defReader;
    // Entry lists of the "NV Items" and "Selected NV Items" trees.
    CTreeEntryList m_allEntries;
    CTreeEntryList m_selectedEntries;

private:
    // Keeps the outcome for LastOutcome() and gives the classic result.
    int Keep(SOutcome outcome);
    // After a completed load or whole save: the records match the file at path.
    int KeepInStep(SOutcome outcome, const std::string& path);

    CJobControl& m_jobs;
    std::string m_dir = ".";
    IFileChooser* m_fileChooser = nullptr;
    IOverwritePrompt* m_overwritePrompt = nullptr;
    SOutcome m_lastOutcome;
    bool m_modified = false;
    std::string m_documentPath;
    CItemSelection m_selection;
    CBackupFiles m_files;
    CPhoneSession m_session;
};
