#include "save_limits.h"

std::string ItemLabel(const CNVItem& item) {
    std::string label = "NV Item ID = " + std::to_string(item.Id());
    if (!item.Name().empty()) label += " (" + item.Name() + ")";
    if (item.Count() > 0) label += ", element " + std::to_string(item.Index());
    return label;
}

bool CheckRecordsFit(const CNVItemArray& list, const SSaveLimits& limits, std::string& message) {
    for (const auto& item : list) {
        if (item.Active() != CNVItem::kActive) continue;
        const bool element = item.Count() > 0;
        const int max = element ? limits.elementMax : limits.plainMax;
        const int size = static_cast<int>(item.Value().size());
        if (size > max) {
            message = ItemLabel(item) + ":\nits value of " + std::to_string(size) + " bytes does not fit into a " +
                      limits.fileKind + " file, which holds at most " + std::to_string(max) + " bytes" +
                      (element ? " per element" : " per item") + ".\nNothing was saved.";
            return false;
        }
        if (element && limits.maxIndex >= 0 && (item.Index() < 0 || item.Index() > limits.maxIndex)) {
            message = ItemLabel(item) + ":\nelement index " + std::to_string(item.Index()) + " can't be stored in a " +
                      limits.fileKind + " file, which holds element indexes 0 to " + std::to_string(limits.maxIndex) +
                      ".\nNothing was saved.";
            return false;
        }
    }
    return true;
}
