#include "sim/sim_numbered_image.h"

#include "doc/phone_image.h"
#include "files/backup_tree.h"
#include "sim/sim_phone.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {
bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           std::equal(end.rbegin(), end.rend(), text.rbegin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}
}  // namespace

bool CSimNumberedImage::Load(SNumberedBackup&& backup, const std::string& path, CSimPhone& phone, std::string& error) {
    // An ID the definitions don't name is an array when the stream holds it more than once.
    std::set<std::pair<int, uint32_t>> seen, repeated;
    for (const SNumberedRecord& r : backup.records)
        if (!seen.insert({r.subscription, r.id}).second) repeated.insert({r.subscription, r.id});
    std::vector<SNumberedRecord> unreachable;
    for (const SNumberedRecord& r : backup.records) {
        CSimNvStore& store = phone.Subscription(r.subscription);
        const int id = static_cast<int>(r.id);
        const int count = r.id <= 0xFFFF ? store.DefinedCount(id) : -1;
        const bool array = count > 0 || (count < 0 && repeated.count({r.subscription, r.id}));
        const int index = array ? r.data[0] : CSimNvStore::kPlain;
        if (r.id > 0xFFFF || store.Find(id, index)) {
            unreachable.push_back(r);
            continue;
        }
        // Every byte the record holds: a phone's newer layout of an item is the user's data.
        store.Put(id, index, std::vector<uint8_t>(r.data.begin() + (array ? 1 : 0), r.data.end()));
    }
    for (const SItemFile& f : backup.itemFiles) {
        if (!phone.Files().PutFile(f.path, f.data, ModeOfItemFile(f))) {
            error = "Can't load " + path + ": the item file \"" + f.path + "\" does not fit the phone's folders.";
            return false;
        }
        m_origins[f.path].push_back(f);
    }
    backup.records = std::move(unreachable);
    backup.itemFiles.clear();
    m_backup = std::move(backup);
    return true;
}

bool CSimNumberedImage::Save(const std::string& path, CSimPhone& phone, std::string& error) const {
    SNumberedBackup backup = m_backup;
    backup.hasStream = {true, true, true};
    for (int s = 0; s < CSimPhone::kSubscriptions; ++s) {
        for (const auto& [key, value] : phone.Subscription(s).Values()) {
            SNumberedRecord r;
            r.id = static_cast<uint32_t>(key.first);
            r.subscription = s;
            const size_t at = key.second >= 0 ? 1 : 0;
            if (at) r.data[0] = static_cast<uint8_t>(key.second);
            std::copy_n(value.begin(), std::min(value.size(), r.data.size() - at), r.data.begin() + static_cast<long>(at));
            backup.records.push_back(r);
        }
    }
    for (const std::string& file : phone.Files().FilePaths()) {
        const std::vector<uint8_t>& data = *phone.Files().Find(file);
        const auto origin = m_origins.find(file);
        if (origin == m_origins.end()) {
            backup.itemFiles.push_back(BackupItemFile(file, data, phone.Files().ModeOf(file)));
            continue;
        }
        for (SItemFile f : origin->second) {
            f.data = data;
            backup.itemFiles.push_back(std::move(f));
        }
    }
    CCompoundNode tree;
    const EBackupForm form = EndsWith(path, ".xqcn") ? EBackupForm::Xml : EBackupForm::Compound;
    if (!EncodeNumbered(backup, tree, error) || !WriteBackupTree(path, tree, form, error)) {
        error = "Can't save " + path + ": " + error;
        return false;
    }
    return true;
}
