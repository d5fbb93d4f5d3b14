#pragma once
#include "file_chooser.h"
#include "nv_define_reader.h"
#include "nv_item_array.h"
#include "nv_type_catalog.h"
#include "overwrite_prompt.h"
#include "tree_entry_list.h"

#include <cstdint>
#include <string>

class CJobControl;
class IMessageSink;

// The document: the item database, definitions, type catalogue, phone link and the two
// trees' entry lists. Holds no widgets; the window, the CLI and the tests all drive it.
class CTessivaDoc {
public:
    explicit CTessivaDoc(CJobControl& jobs);
    ~CTessivaDoc();
    CTessivaDoc(const CTessivaDoc&) = delete;
    CTessivaDoc& operator=(const CTessivaDoc&) = delete;

    CJobControl& Jobs() { return m_jobs; }
    IMessageSink& Messages();

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

    // ---- item files (BRT, CNV, CSV, QCN, completion, merge) ----
    int SaveAllActiveToBrt(const std::string& path);
    int SaveSelectedActiveToBrt(const std::string& path);
    int StartStoreBrt(const std::string& path, CNVItemArray& list);
    int StartLoadBrt(const std::string& path);
    int StoreBrt();
    int LoadBrt();

    int SaveAllActiveToCnv(const std::string& path);
    int SaveSelectedActiveToCnv(const std::string& path);
    int StartStoreCnv(const std::string& path, CNVItemArray& list);
    int StartLoadCnv(const std::string& path);
    int StoreCnv();
    int LoadCnv();

    bool WriteItemList(const CNVItemArray& list);

    bool SaveAllActiveToQcn(const std::string& path);
    bool SaveSelectedActiveToQcn(const std::string& path);
    bool SaveQcn(const std::string& path, const CNVItemArray& list);
    bool LoadQcn(const std::string& path);

    void CompleteArrayElements();
    int StartFillUp(int expand);
    int FillUpItems();

    bool MergeItems(const CNVItemArray& previous);

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
    int StartUpload(const std::string& path);
    int UploadItems();
    int DownloadAllActive();
    int DownloadSelectedActive();
    int StartDownload(CNVItemArray& list);
    int DownloadItems();
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
    CNVTypeCatalog m_typeCatalog;
    CNVItemArray m_itemDefs;
    CNVDefineReader m_defReader;
    std::string m_jobPath;
    uint8_t m_jobMode = 0;
    CNVItemArray* m_jobItems = nullptr;
    // Entry lists of the "NV Items" and "Selected NV Items" trees.
    CTreeEntryList m_allEntries;
    CTreeEntryList m_selectedEntries;

private:
    // The end of a successful load or upload: m_items sorted by ID, listed in "NV Items".
    int FinishLoad();

    CJobControl& m_jobs;
    std::string m_dir = ".";
    IFileChooser* m_fileChooser = nullptr;
    IOverwritePrompt* m_overwritePrompt = nullptr;
};
