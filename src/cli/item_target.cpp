#include "cli/item_target.h"

#include "model/item_file_defs.h"

#include <cstdio>

bool ParseSubscriptionOption(const char* command, const SCliArgs& args, int& subscription) {
    subscription = 0;
    if (!args.Has("--subscription")) return true;
    const std::string value = args.Get("--subscription");
    if (value == "0" || value == "1" || value == "2") {
        subscription = value[0] - '0';
        return true;
    }
    std::fprintf(stderr, "tessiva-cli %s: --subscription is 0, 1 or 2\n", command);
    return false;
}

bool FindItemTarget(SCliContext& ctx, const char* command, const std::string& key, int subscription,
                    SItemTarget& target) {
    target = {};
    std::vector<int> ids;
    if (ParseIdList(key, ids) && ids.size() == 1) {
        const CNVItemArray& items = ctx.doc.Items();
        for (int i = 0; i < items.GetSize() && target.record < 0; ++i)
            if (items[i].Id() == ids[0] && items[i].Subscription() == subscription && items[i].Index() <= 0)
                target.record = i;
        if (target.record < 0) {
            ctx.Fail("tessiva-cli " + std::string(command) + ": the backup holds no record of item " + key +
                     (subscription ? " for subscription " + std::to_string(subscription) : std::string()));
            return false;
        }
        target.view = CItemView::ForId(ids[0]);
        if (target.view) target.viewRecords = target.view->Records(items, target.record);
        return true;
    }
    const std::string path = SubscriptionCopyPath(key, subscription);
    const std::vector<SItemFile>& files = ctx.doc.Numbered().ItemFiles();
    for (size_t i = 0; i < files.size() && target.file < 0; ++i)
        if (files[i].path == path) target.file = static_cast<int>(i);
    if (target.file < 0) {
        ctx.Fail("tessiva-cli " + std::string(command) + ": " + key +
                 " is neither an item ID nor the path of an item file of the backup" +
                 (subscription ? " (looked for " + path + ")" : std::string()));
        return false;
    }
    target.view = CItemView::ForPath(path);
    return true;
}

std::vector<std::vector<uint8_t>> ViewValues(const SCliContext& ctx, const SItemTarget& target) {
    if (target.file >= 0) return {ctx.doc.Numbered().ItemFiles()[static_cast<size_t>(target.file)].data};
    std::vector<std::vector<uint8_t>> values;
    for (int at : target.viewRecords) values.push_back(at < 0 ? std::vector<uint8_t>() : ctx.doc.EditableValue(at));
    return values;
}
