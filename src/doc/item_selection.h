#pragma once
#include "doc/doc_records.h"
#include "doc/tree_entry_list.h"

#include <vector>

class CNVItemArray;

// What is selected: the entry lists of the "NV Items" and "Selected NV Items" trees over
// the document's records. An item is selected when "Selected NV Items" lists it.
class CItemSelection {
public:
    explicit CItemSelection(SDocRecords& records);

    void Clear();
    // "NV Items" lists every record, nothing is selected.
    void ListAllItems();
    // The selected records, in the order of the selected tree's entries.
    void CollectSelectedItems(CNVItemArray& list) const;
    // The selected records as the "Selected && Active" saves write them: sorted by name,
    // each array item kept only as a run of elements from index 0.
    CNVItemArray ItemsForSave() const;
    // Selects the records of these IDs and lists the rest; returns the IDs no record has.
    std::vector<int> SelectIds(const std::vector<int>& ids);
    // After the records were rebuilt: the records chosen before (matched by ID, element index
    // and subscription, since names are spelt differently after an upload and a file load) are selected
    // again in their order, everything else is listed in "NV Items".
    void Reselect(const CNVItemArray& chosenBefore);
    // After the records were re-sorted: "NV Items" lists them in their new order and the
    // chosen records, matched by name, move to the selected tree.
    void RelistByName(const CNVItemArray& chosen);

    // Moves, for each chosen record in order, the next entry of the same name from `from`
    // to `to` (an entry of index -1 when no such entry is left).
    static void MoveEntriesByName(CTreeEntryList& from, CTreeEntryList& to, const CNVItemArray& chosen);

private:
    const CNVItemArray& m_items;
    CTreeEntryList& m_all;
    CTreeEntryList& m_selected;
};
