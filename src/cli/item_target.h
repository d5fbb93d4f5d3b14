#pragma once
// What show and set share: the record or item file a KEY names in a loaded backup, and the
// values its view reads.
#include "cli/cli_command.h"
#include "model/item_view.h"

#include <string>
#include <vector>

struct SItemTarget {
    int record = -1;  // position among the document's records
    int file = -1;    // position among the item files
    const CItemView* view = nullptr;
    std::vector<int> viewRecords;  // the records the view reads, by part (-1: not in the backup)
};

// KEY is a decimal ID (the record of that subscription; an array's first element) or an item
// file's path (with a subscription N > 0 its _SubscriptionNN copy). False after a message.
bool FindItemTarget(SCliContext& ctx, const char* command, const std::string& key, int subscription,
                    SItemTarget& target);
// The values target's view reads, as an edit starts from them.
std::vector<std::vector<uint8_t>> ViewValues(const SCliContext& ctx, const SItemTarget& target);
// Parses --subscription when given (0, 1 or 2); false after a usage message.
bool ParseSubscriptionOption(const char* command, const SCliArgs& args, int& subscription);
