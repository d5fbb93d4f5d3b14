#include "files/numbered_backup.h"

#include "files/byte_reader.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#ifndef TESSIVA_VERSION
#define TESSIVA_VERSION "1.5"
#endif

namespace {
constexpr uint16_t kRecordLength = SNumberedRecord::kSize;
constexpr size_t kEfsHeader = 8;

bool IsHexIndex(const std::string& name) {
    return name.size() == 8 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
           });
}

std::string HexIndex(uint32_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, n >>= 4) s[i] = kDigits[n & 0xF];
    return s;
}

int AreaNumber(const std::string& area) {
    for (size_t i = 0; i < Numbered::kAreas.size(); ++i)
        if (area == Numbered::kAreas[i]) return static_cast<int>(i);
    return -1;
}

std::string UpToZero(const uint8_t* p, size_t n) {
    const auto* end = std::find(p, p + n, uint8_t{0});
    return std::string(p, end);
}

// The 8-digit storage the records live in: the first holding NV_NUMBERED_ITEMS, else the
// first with a default storage, else the first at all.
const CCompoundNode* ItemStorage(const CCompoundNode& tree) {
    const CCompoundNode* withDefault = nullptr;
    const CCompoundNode* any = nullptr;
    for (const auto& child : tree.Children()) {
        if (!child.IsStorage() || !Numbered::IsStorageName(child.Name())) continue;
        if (child.FindStorage(std::string("default/") + Numbered::kItemsStorage)) return &child;
        if (!withDefault && child.FindStorage("default")) withDefault = &child;
        if (!any) any = &child;
    }
    return withDefault ? withDefault : any;
}

bool DecodeRecords(const CCompoundNode& stream, int subscription, const std::string& where,
                   std::vector<SNumberedRecord>& records, std::string& error) {
    const auto& bytes = stream.Bytes();
    if (bytes.size() % SNumberedRecord::kSize != 0) {
        error = FillText(TrText("NumberedBackup",
                                "The stream %1 is damaged: its %2 bytes are not a whole number of 136-byte records."),
                         {where, std::to_string(bytes.size())});
        return false;
    }
    const size_t n = bytes.size() / SNumberedRecord::kSize;
    records.reserve(records.size() + n);
    CByteReader reader(bytes);
    for (size_t i = 0; i < n; ++i) {
        SNumberedRecord r;
        uint16_t length = 0;
        reader.ReadU16(length);
        reader.ReadU16(r.flags);
        reader.ReadU32(r.id);
        if (length != kRecordLength) {
            error = FillText(
                TrText("NumberedBackup", "The stream %1 is damaged: record %2 gives its length as %3, not 136."),
                {where, std::to_string(i + 1), std::to_string(length)});
            return false;
        }
        std::copy_n(bytes.data() + reader.Position(), SNumberedRecord::kDataSize, r.data.begin());
        reader.Skip(SNumberedRecord::kDataSize);
        r.subscription = subscription;
        r.position = static_cast<int64_t>(i);
        records.push_back(r);
    }
    return true;
}

bool DecodeArea(const CCompoundNode& area, const std::string& where, std::vector<SItemFile>& files, std::string& error) {
    const CCompoundNode* dir = area.FindStorage("EFS_Dir");
    if (!dir) return true;
    const CCompoundNode* data = area.FindStorage("EFS_Data");
    std::unordered_map<std::string, const CCompoundNode*> contents;
    if (data)
        for (const auto& c : data->Children())
            if (c.IsStream()) contents.emplace(c.Name(), &c);
    const bool efs = area.Name() == "EFS_Backup";
    for (const auto& entry : dir->Children()) {
        if (!entry.IsStream()) continue;
        const std::string name = where + "/EFS_Dir/" + entry.Name();
        const auto it = contents.find(entry.Name());
        if (it == contents.end()) {
            error = FillText(TrText("NumberedBackup", "The stream %1 names a file whose content, %2, is missing."),
                             {name, where + "/EFS_Data/" + entry.Name()});
            return false;
        }
        SItemFile file;
        file.area = area.Name();
        file.index = entry.Name();
        file.dir = entry.Bytes();
        file.data = it->second->Bytes();
        if (efs) {
            if (file.dir.size() < kEfsHeader) {
                error = FillText(
                    TrText("NumberedBackup", "The stream %1 is damaged: it is shorter than its 8-byte header."),
                    {name});
                return false;
            }
            CByteReader header(file.dir);
            header.Skip(4);
            header.ReadU32(file.attributes);
            file.path = UpToZero(file.dir.data() + kEfsHeader, file.dir.size() - kEfsHeader);
        } else {
            file.path = UpToZero(file.dir.data(), file.dir.size());
        }
        files.push_back(std::move(file));
    }
    return true;
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) { AppendU16(out, v); }

// Rewrites the item-file streams of one area from files; everything else in it is kept.
// With make, the area is written even without a file, as other tools expect of a new file.
void EncodeArea(CCompoundNode& def, const std::string& areaName, std::vector<const SItemFile*> files, bool make) {
    // Storages are made before any pointer into a children vector is taken: adding a
    // child may move its siblings.
    if (!files.empty() || make) {
        CCompoundNode& made = def.Storage(areaName);
        made.Storage("EFS_Dir");
        made.Storage("EFS_Data");
    }
    CCompoundNode* area = def.Child(areaName);
    CCompoundNode* dir = area && area->IsStorage() ? area->Child("EFS_Dir") : nullptr;
    if (!dir || !dir->IsStorage()) return;  // nothing to write and nothing to remove
    CCompoundNode none;
    CCompoundNode* data = area->Child("EFS_Data");
    if (!data || !data->IsStorage()) data = &none;

    // New files take the indexes after the highest in use.
    uint32_t next = 0;
    auto note = [&](const std::string& name) {
        if (IsHexIndex(name)) next = std::max<uint32_t>(next, static_cast<uint32_t>(std::stoul(name, nullptr, 16)) + 1);
    };
    for (const auto& c : dir->Children()) note(c.Name());
    for (const auto* f : files) note(f->index);
    std::unordered_map<std::string, const SItemFile*> wanted;
    std::vector<std::pair<std::string, const SItemFile*>> order;
    for (const auto* f : files) {
        const std::string index = f->index.empty() ? HexIndex(next++) : f->index;
        wanted[index] = f;
        order.emplace_back(index, f);
    }

    std::unordered_set<std::string> dropped, placedDir, placedData;
    auto& dirChildren = dir->Children();
    std::vector<CCompoundNode> keptDir;
    keptDir.reserve(dirChildren.size() + order.size());
    for (auto& c : dirChildren) {
        if (c.IsStream()) {
            const auto it = wanted.find(c.Name());
            if (it == wanted.end()) {
                dropped.insert(c.Name());
                continue;
            }
            c.SetBytes(it->second->dir);
            placedDir.insert(c.Name());
        }
        keptDir.push_back(std::move(c));
    }
    std::vector<CCompoundNode> keptData;
    keptData.reserve(data->Children().size() + order.size());
    for (auto& c : data->Children()) {
        if (c.IsStream()) {
            if (dropped.count(c.Name()) && !wanted.count(c.Name())) continue;
            const auto it = wanted.find(c.Name());
            if (it != wanted.end()) {
                c.SetBytes(it->second->data);
                placedData.insert(c.Name());
            }
        }
        keptData.push_back(std::move(c));
    }
    for (const auto& [index, f] : order) {
        if (!placedDir.count(index)) {
            CCompoundNode s(index, false);
            s.SetBytes(f->dir);
            keptDir.push_back(std::move(s));
        }
        if (!placedData.count(index)) {
            CCompoundNode s(index, false);
            s.SetBytes(f->data);
            keptData.push_back(std::move(s));
        }
    }
    dirChildren = std::move(keptDir);
    if (data != &none) data->Children() = std::move(keptData);
}
}  // namespace

bool Numbered::IsStorageName(const std::string& name) {
    return name.size() == 8 && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<uint8_t> NewPropertyInfo(const std::string& softwareVersion, uint16_t model) {
    const std::string program = "Tessiva " TESSIVA_VERSION;
    std::vector<uint8_t> out;
    AppendU32(out, 0);  // model
    PutU16(out, model);  // model number
    out.push_back(0);
    out.push_back(0);
    PutU16(out, static_cast<uint16_t>(softwareVersion.size()));
    out.insert(out.end(), softwareVersion.begin(), softwareVersion.end());
    PutU16(out, static_cast<uint16_t>(program.size()));
    out.insert(out.end(), program.begin(), program.end());
    return out;
}

SItemFile MakeItemFile(const std::string& area, const std::string& path, std::vector<uint8_t> data, uint32_t attributes) {
    SItemFile f;
    f.area = area;
    f.path = path;
    f.data = std::move(data);
    if (area == "EFS_Backup") {
        f.attributes = attributes;
        f.dir = {0x01, 0x00, 0x01, 0x01};
        AppendU32(f.dir, attributes);
    }
    f.dir.insert(f.dir.end(), path.begin(), path.end());
    if (area == "Provisioning_Item_Files") f.dir.push_back(0);
    return f;
}

bool DecodeNumbered(const CCompoundNode& tree, SNumberedBackup& backup, std::string& error) {
    backup = SNumberedBackup();
    error.clear();
    SNumberedBackup out;
    out.tree = tree;
    if (const CCompoundNode* v = tree.FindStream(Numbered::kVersionStream); v && v->Bytes().size() >= 6) {
        out.hasFileVersion = true;
        CByteReader r(v->Bytes());
        for (auto& part : out.fileVersion) r.ReadU16(part);
    }
    const CCompoundNode* storage = ItemStorage(tree);
    if (storage) out.storage = storage->Name();
    const CCompoundNode* def = storage ? storage->FindStorage("default") : nullptr;
    const std::string where = out.storage + "/default";
    bool ok = true;
    if (def) {
        if (const CCompoundNode* mask = def->FindStream(Numbered::kFeatureStream)) {
            CByteReader r(mask->Bytes());
            uint16_t length = 0;
            if (!r.ReadU16(length) || length > r.Remaining()) {
                error = FillText(
                    TrText("NumberedBackup", "The stream %1 is damaged: it gives %2 bytes but holds %3."),
                    {where + "/" + Numbered::kFeatureStream, std::to_string(length), std::to_string(r.Remaining())});
                return false;
            }
            out.hasFeatureMask = true;
            r.ReadBytes(length, out.featureMask);
        }
        if (const CCompoundNode* items = def->FindStorage(Numbered::kItemsStorage)) {
            for (int s = 0; s < 3 && ok; ++s) {
                const CCompoundNode* stream = items->FindStream(Numbered::kRecordStreams[s]);
                if (!stream) continue;
                out.hasStream[s] = true;
                ok = DecodeRecords(*stream, s, where + "/" + Numbered::kItemsStorage + "/" + Numbered::kRecordStreams[s],
                                   out.records, error);
            }
        }
        for (const char* area : Numbered::kAreas) {
            if (!ok) break;
            if (const CCompoundNode* node = def->FindStorage(area)) {
                std::vector<SItemFile> files;
                ok = DecodeArea(*node, where + "/" + area, files, error);
                std::sort(files.begin(), files.end(), [](const SItemFile& a, const SItemFile& b) { return a.index < b.index; });
                for (auto& f : files) out.itemFiles.push_back(std::move(f));
            }
        }
    }
    if (!ok) return false;
    // The record streams read are written from the records again: their bytes need not be
    // kept twice for as long as the backup is open.
    if (def)
        for (int s = 0; s < 3; ++s)
            if (out.hasStream[s])
                if (auto* kept = const_cast<CCompoundNode*>(out.tree.FindStream(
                        out.storage + "/default/" + Numbered::kItemsStorage + "/" + Numbered::kRecordStreams[s])))
                    std::vector<uint8_t>().swap(kept->Bytes());
    backup = std::move(out);
    return true;
}

bool EncodeNumbered(const SNumberedBackup& backup, CCompoundNode& tree, std::string& error) {
    error.clear();
    for (const auto& r : backup.records)
        if (r.subscription < 0 || r.subscription > 2) {
            error = FillText(TrText("NumberedBackup", "Item %1 has subscription %2; only 0, 1 and 2 can be stored."),
                             {std::to_string(r.id), std::to_string(r.subscription)});
            return false;
        }
    std::unordered_set<std::string> indexes;
    for (const auto& f : backup.itemFiles) {
        if (AreaNumber(f.area) < 0) {
            error = FillText(TrText("NumberedBackup", "The item file %1 belongs to an unknown area \"%2\"."),
                             {f.path, f.area});
            return false;
        }
        if (!f.index.empty() && !indexes.insert(f.area + "/" + f.index).second) {
            error = FillText(TrText("NumberedBackup", "Two item files of %1 have the index %2."), {f.area, f.index});
            return false;
        }
    }
    const std::string storageName = Numbered::IsStorageName(backup.storage) ? backup.storage : "00000000";

    CCompoundNode out = backup.tree;
    const bool fresh = out.Children().empty();
    CCompoundNode& def = out.Storage(storageName).Storage("default");
    if (fresh)
        def.Stream(Numbered::kPropertyStream)
            .SetBytes(backup.propertyInfo.empty() ? NewPropertyInfo() : backup.propertyInfo);
    CCompoundNode& items = def.Storage(Numbered::kItemsStorage);

    // Records read keep their place; new ones follow in ID order.
    std::array<std::vector<const SNumberedRecord*>, 3> bySub;
    for (const auto& r : backup.records) bySub[r.subscription].push_back(&r);
    for (int s = 0; s < 3; ++s) {
        auto& list = bySub[s];
        if (list.empty() && !backup.hasStream[s] && !fresh) continue;
        std::stable_sort(list.begin(), list.end(), [](const SNumberedRecord* a, const SNumberedRecord* b) {
            const bool aNew = a->position < 0, bNew = b->position < 0;
            if (aNew != bNew) return bNew;
            return aNew ? a->id < b->id : a->position < b->position;
        });
        std::vector<uint8_t> bytes;
        bytes.reserve(list.size() * SNumberedRecord::kSize);
        for (const auto* r : list) {
            PutU16(bytes, kRecordLength);
            PutU16(bytes, r->flags);
            AppendU32(bytes, r->id);
            bytes.insert(bytes.end(), r->data.begin(), r->data.end());
        }
        items.Stream(Numbered::kRecordStreams[s]).SetBytes(std::move(bytes));
    }

    std::array<std::vector<const SItemFile*>, 3> byArea;
    for (const auto& f : backup.itemFiles) byArea[AreaNumber(f.area)].push_back(&f);
    for (size_t a = 0; a < Numbered::kAreas.size(); ++a) EncodeArea(def, Numbered::kAreas[a], byArea[a], fresh);

    if (fresh) {
        std::vector<uint8_t> version;
        for (uint16_t part : {2, 0, 0}) PutU16(version, part);
        out.Stream(Numbered::kVersionStream).SetBytes(version);  // after the storage, as the XML form has it
    }
    tree = std::move(out);
    return true;
}
