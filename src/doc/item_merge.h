#pragma once
#include "model/nv_item_array.h"

#include <optional>

class IOverwritePrompt;

// "Add NV Items from CNV File": the records of previous, with the loaded records added.
// For each loaded record whose item previous also holds, the prompt decides: overwrite (the
// previous element of the same index goes) or skip (the loaded record goes). Without a
// prompt every such record overwrites. The result is not sorted; none when the prompt was
// answered Cancel.
std::optional<CNVItemArray> MergeItemArrays(CNVItemArray&& loaded, const CNVItemArray& previous, IOverwritePrompt* prompt);
