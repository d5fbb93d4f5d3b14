#pragma once
#include "doc/tree_entry_list.h"
#include "model/nv_item_array.h"

// The document's records and the entry lists of its two trees ("NV Items" and "Selected NV
// Items"), which name records by their position in items. The document owns one; its
// collaborators and its edit history work on it.
struct SDocRecords {
    CNVItemArray items;
    CTreeEntryList all;
    CTreeEntryList selected;
};
