#include "model/item_list_ops.h"

int RemoveInactive(CNVItemArray& list) {
    list.KeepIf([](const CNVItem& item) { return item.Active() > 0; });
    return list.GetSize();
}

void SortByNameKeepWholeArrays(CNVItemArray& list) {
    list.SortByName();
    CNVItemArray kept;
    kept.Reserve(list.GetSize());
    for (const auto& item : list) {
        bool take = false;
        if (item.Count() == 0) {
            take = true;
        } else if (item.Count() > 0) {
            if (item.Index() == 0) {
                take = true;
            } else if (!kept.IsEmpty()) {
                const CNVItem& last = kept[kept.GetSize() - 1];
                take = last.Id() == item.Id() && last.Index() == item.Index() - 1;
            }
        }
        if (take) kept.Add(item);
    }
    list = std::move(kept);
}
