#include "files/save_limits.h"

#include "jobs/text_translation.h"

std::string ItemLabel(const CNVItem& item) {
    const std::string id = std::to_string(item.Id());
    const std::string index = std::to_string(item.Index());
    if (item.Name().empty())
        return item.Count() > 0 ? FillText(TrText("SaveLimits", "NV Item ID = %1, element %2"), {id, index})
                                : FillText(TrText("SaveLimits", "NV Item ID = %1"), {id});
    return item.Count() > 0
               ? FillText(TrText("SaveLimits", "NV Item ID = %1 (%2), element %3"), {id, item.Name(), index})
               : FillText(TrText("SaveLimits", "NV Item ID = %1 (%2)"), {id, item.Name()});
}

bool CheckRecordsFit(const CNVItemArray& list, const SSaveLimits& limits, std::string& message) {
    return CheckRecordsFit(list, [&](const CNVItem&) -> const SSaveLimits& { return limits; }, message);
}

bool CheckRecordsFit(const CNVItemArray& list, const std::function<const SSaveLimits&(const CNVItem&)>& limitsOf,
                     std::string& message) {
    for (const auto& item : list) {
        if (item.Active() != CNVItem::kActive) continue;
        const SSaveLimits& limits = limitsOf(item);
        const bool element = item.Count() > 0;
        const int max = element ? limits.elementMax : limits.plainMax;
        const int size = static_cast<int>(item.Value().size());
        if (size > max) {
            const std::string pattern =
                element ? TrText("SaveLimits",
                                 "%1:\nits value of %2 bytes does not fit into a %3 file, which holds at "
                                 "most %4 bytes per element.\nNothing was saved.")
                        : TrText("SaveLimits",
                                 "%1:\nits value of %2 bytes does not fit into a %3 file, which holds at "
                                 "most %4 bytes per item.\nNothing was saved.");
            message = FillText(pattern, {ItemLabel(item), std::to_string(size), limits.fileKind, std::to_string(max)});
            return false;
        }
        if (element && limits.maxIndex >= 0 && (item.Index() < 0 || item.Index() > limits.maxIndex)) {
            message = FillText(
                TrText("SaveLimits",
                       "%1:\nelement index %2 can't be stored in a %3 file, which holds "
                       "element indexes 0 to %4.\nNothing was saved."),
                {ItemLabel(item), std::to_string(item.Index()), limits.fileKind, std::to_string(limits.maxIndex)});
            return false;
        }
    }
    return true;
}
