#include "tessiva_doc.h"

#include "item_list_ops.h"
#include "job_control.h"

CTessivaDoc::CTessivaDoc(CJobControl& jobs) : m_typeCatalog(jobs), m_defReader(jobs), m_jobs(jobs) {}

CTessivaDoc::~CTessivaDoc() {
    if (m_phone) Disconnect();
}

IMessageSink& CTessivaDoc::Messages() { return m_jobs.Messages(); }

void CTessivaDoc::SetDirectory(const std::string& dir) {
    m_dir = dir.empty() ? "." : dir;
    m_typeCatalog.SetDirectory(m_dir);
}

std::string CTessivaDoc::DefinitionsPath() const { return m_dir + "/NVItemsDefine.def"; }

bool CTessivaDoc::LoadDefinitions() {
    CNVItemArray defs;
    if (!m_defReader.StartReadDefinitions(DefinitionsPath(), defs)) return false;
    defs.SortById();
    m_itemDefs = std::move(defs);
    return true;
}

bool CTessivaDoc::LoadDescriptionFiles() { return LoadDefinitions() && m_typeCatalog.LoadTypeFile(); }

int CTessivaDoc::FinishLoad() {
    ReplaceItems(m_items);
    m_allEntries.LoadEntriesFromItems(m_items);
    return 1;
}

int CTessivaDoc::RemoveInactive(CNVItemArray& list) { return ::RemoveInactive(list); }

void CTessivaDoc::SortByNameKeepWholeArrays(CNVItemArray& list) { ::SortByNameKeepWholeArrays(list); }

void CTessivaDoc::CollectAllItems(CNVItemArray& list) const { list.Copy(m_items); }

void CTessivaDoc::ReplaceItems(const CNVItemArray& list) {
    if (&list != &m_items) m_items.Copy(list);
    m_items.SortById();
}

void CTessivaDoc::CollectSelectedItems(CNVItemArray& list) const {
    CNVItemArray collected;
    collected.Reserve(m_selectedEntries.GetCount());
    for (const auto& entry : m_selectedEntries.Entries())
        if (entry.itemIndex >= 0 && entry.itemIndex < m_items.GetSize()) collected.Add(m_items[entry.itemIndex]);
    list = std::move(collected);
}
