#include "doc/item_merge.h"

#include "model/nv_item_array.h"
#include "doc/overwrite_prompt.h"
#include "jobs/text_translation.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {
uint64_t KeyOf(const CNVItem& item) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(item.Id())) << 32) | static_cast<uint32_t>(item.Index());
}

std::string OverwriteMessage(const CNVItem& item) {
    return FillText(
        TrText("ItemMerge", "NV Item already exist in memory!\n\nID = %1\n\nNVItem Name: %2\n\nNVItem Group: %3"),
        {std::to_string(item.Id()), item.Name(), item.Group()});
}
}  // namespace

std::optional<CNVItemArray> MergeItemArrays(CNVItemArray&& loaded, const CNVItemArray& previous, IOverwritePrompt* prompt) {
    // Removals are marked and the survivors gathered once, so the merge stays linear.
    const int previousSize = previous.GetSize();
    std::vector<char> previousGone(static_cast<size_t>(previousSize), 0);
    std::vector<char> loadedGone(static_cast<size_t>(loaded.GetSize()), 0);
    std::unordered_map<int, int> previousLeft;  // records of each ID still in previous
    // The positions of each ID and index in previous, first first: the head in a map, the rest
    // chained through `nextAt`, so no key needs a container of its own.
    std::unordered_map<uint64_t, int> previousAt;
    std::vector<int> nextAt(static_cast<size_t>(previousSize), -1);
    previousLeft.reserve(static_cast<size_t>(previousSize));
    previousAt.reserve(static_cast<size_t>(previousSize));
    for (int i = previousSize - 1; i >= 0; --i) {
        ++previousLeft[previous[i].Id()];
        auto [head, fresh] = previousAt.try_emplace(KeyOf(previous[i]), i);
        if (!fresh) {
            nextAt[static_cast<size_t>(i)] = head->second;
            head->second = i;
        }
    }
    bool overwriteAll = false, skipAll = false;
    for (int i = 0; i < loaded.GetSize(); ++i) {
        const CNVItem& r = loaded[i];
        const auto left = previousLeft.find(r.Id());
        if (left == previousLeft.end() || left->second == 0) continue;
        int answer = IOverwritePrompt::kOverwrite;
        if (overwriteAll) answer = IOverwritePrompt::kOverwrite;
        else if (skipAll) answer = IOverwritePrompt::kSkip;
        else if (prompt) answer = prompt->Ask(OverwriteMessage(r));
        if (answer == IOverwritePrompt::kCancel) return std::nullopt;
        if (answer == IOverwritePrompt::kOverwriteAll) overwriteAll = true;
        if (answer == IOverwritePrompt::kSkipAll) skipAll = true;
        if (answer == IOverwritePrompt::kSkip || answer == IOverwritePrompt::kSkipAll) {
            loadedGone[static_cast<size_t>(i)] = 1;
            continue;
        }
        // The loaded element replaces the previous element of the same index, never another one.
        auto at = previousAt.find(KeyOf(r));
        if (at == previousAt.end() || at->second < 0) continue;
        previousGone[static_cast<size_t>(at->second)] = 1;
        at->second = nextAt[static_cast<size_t>(at->second)];
        --left->second;
    }
    CNVItemArray merged;
    merged.Reserve(previousSize + loaded.GetSize());
    for (int i = 0; i < previousSize; ++i)
        if (!previousGone[static_cast<size_t>(i)]) merged.Add(previous[i]);
    for (int i = 0; i < loaded.GetSize(); ++i)
        if (!loadedGone[static_cast<size_t>(i)]) merged.Add(std::move(loaded[i]));
    return merged;
}
