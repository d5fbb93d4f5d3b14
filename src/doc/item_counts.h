#pragma once
#include "model/nv_item_array.h"
#include "jobs/text_translation.h"

#include <string>

// Records by state, as the status bar and the CLI's upload line count them.
struct SItemCounts {
    int active = 0, inactive = 0, unreadable = 0;

    static SItemCounts Of(const CNVItemArray& items) {
        SItemCounts counts;
        for (const auto& r : items) (r.Active() > 0 ? counts.active : r.Active() == 0 ? counts.inactive : counts.unreadable)++;
        return counts;
    }
    int Total() const { return active + inactive + unreadable; }
    // "Uploaded 331 records: 157 active, 174 not active, 0 unreadable"
    std::string UploadedText() const {
        return FillText(TrText("SItemCounts", "Uploaded %1 records: %2 active, %3 not active, %4 unreadable"),
                        {std::to_string(Total()), std::to_string(active), std::to_string(inactive),
                         std::to_string(unreadable)});
    }
};
