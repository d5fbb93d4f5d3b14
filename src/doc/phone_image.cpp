#include "doc/phone_image.h"
#include "files/backup_kind.h"
#include "files/backup_tree.h"

#include "model/nv_item_array.h"
#include "phone/diag_commands.h"
#include "phone/diag_link.h"
#include "phone/efs_commands.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {
constexpr int kMaxIndex = 255;

// The definitions' element count of id: 0 for a plain item, -1 for an unknown one.
int CountOf(uint32_t id, const CNVItemArray& defs) {
    const int d = id < static_cast<uint32_t>(CNVItemArray::kMaxIds) ? defs.FindById(static_cast<int>(id)) : -1;
    return d < 0 ? -1 : defs[d].Count();
}
}  // namespace

std::string ItemName(uint32_t id, const CNVItemArray& defs) {
    const int d = id < static_cast<uint32_t>(CNVItemArray::kMaxIds) ? defs.FindById(static_cast<int>(id)) : -1;
    if (d >= 0 && !defs[d].Name().empty()) return defs[d].Name();
    return FillText(TrText("CPhoneImage", "NV item %1"), {std::to_string(id)});
}

int32_t ModeOfItemFile(const SItemFile& file) {
    if (file.area != Numbered::kAreas[2] || IsItemFilePath(file.path)) return kEfsItemFileType | 0644;
    const auto mode = static_cast<int32_t>(file.attributes);
    return (mode & kEfsTypeMask) ? mode : EfsModeOfPath(file.path);
}

SItemFile BackupItemFile(const std::string& path, std::vector<uint8_t> data, int32_t mode) {
    if (IsEfsItemFileMode(mode) || IsItemFilePath(path)) return MakeItemFile(Numbered::kAreas[0], path, std::move(data));
    return MakeItemFile(Numbered::kAreas[2], path, std::move(data), static_cast<uint32_t>(mode));
}

SPhoneImage ImageOfNumbered(SNumberedBackup&& backup, const CNVItemArray& defs) {
    std::map<std::pair<int, uint32_t>, int> occurrences;  // of each ID, by subscription
    for (const SNumberedRecord& r : backup.records) ++occurrences[{r.subscription, r.id}];
    SPhoneImage image;
    image.records.reserve(backup.records.size());
    for (SNumberedRecord& r : backup.records) {
        SImageRecord out;
        const int count = CountOf(r.id, defs);
        const bool array = count > 0 || (count < 0 && occurrences[{r.subscription, r.id}] > 1);
        out.index = array ? r.data[0] : -1;
        out.name = ItemName(r.id, defs);
        if (r.id >= static_cast<uint32_t>(CNVItemArray::kMaxIds))
            out.problem = TrText("CPhoneImage", "its ID does not fit the 16 bits of the phone's NV commands");
        r.position = -1;
        out.record = r;
        image.records.push_back(std::move(out));
    }
    image.files = std::move(backup.itemFiles);
    return image;
}

SPhoneImage ImageOfRecords(const CNVItemArray& records, const CNVItemArray& defs) {
    SPhoneImage image;
    for (const CNVItem& r : records) {
        if (r.Active() != CNVItem::kActive || r.Size() <= 0) continue;
        SImageRecord out;
        out.record.id = static_cast<uint32_t>(r.Id());
        out.record.subscription = r.Subscription();
        out.name = r.Name().empty() ? ItemName(out.record.id, defs) : r.Name();
        // An element of a defined array carries its index first; anything else goes as its bytes.
        const bool element = r.Count() > 0 && r.Index() >= 0 && CountOf(out.record.id, defs) > 0;
        const size_t offset = element ? 1 : 0;
        const size_t size = static_cast<size_t>(r.Size());
        if (element) {
            out.index = r.Index();
            out.record.data[0] = static_cast<uint8_t>(r.Index());
            if (r.Index() > kMaxIndex) out.problem = TrText("CPhoneImage", "the index does not fit one byte");
        }
        if (offset + size > SNumberedRecord::kDataSize)
            out.problem = FillText(TrText("CPhoneImage", "%1 bytes do not fit one request (at most %2)"),
                                   {std::to_string(size), std::to_string(SNumberedRecord::kDataSize - offset)});
        const size_t copied = std::min(size, SNumberedRecord::kDataSize - offset);
        std::copy_n(r.Value().begin(), copied, out.record.data.begin() + static_cast<std::ptrdiff_t>(offset));
        out.compared = offset + copied;
        image.records.push_back(std::move(out));
    }
    return image;
}

bool ReadNumberedImage(const std::string& path, const CNVItemArray& defs, SPhoneImage& image, std::string& error) {
    error.clear();
    const EBackupKind kind = DetectBackupKind(path);
    if (kind != EBackupKind::Qcn && kind != EBackupKind::Xqcn) return false;
    CCompoundNode tree;
    EBackupForm form = EBackupForm::Compound;
    std::string found;
    if (!ReadBackupTree(path, tree, form, error)) {
        error = FillText(TrText("CPhoneImage", "Can't read %1: %2"), {path, error});
        return false;
    }
    if (DetectQcnLayout(tree, found) != EQcnLayout::Numbered) return false;
    SNumberedBackup backup;
    if (!DecodeNumbered(tree, backup, error)) {
        error = FillText(TrText("CPhoneImage", "%1 is damaged: %2"), {path, error});
        return false;
    }
    image = ImageOfNumbered(std::move(backup), defs);
    return true;
}

SPhoneImage ImageOfBackup(SBackupContent&& content, const CNVItemArray& defs) {
    if (!content.numbered.IsNumbered()) return ImageOfRecords(content.records, defs);
    return ImageOfNumbered(content.TakeNumbered(), defs);
}

namespace {
// The default subscription goes through the plain commands, the others through the subsystem's.
int LinkSubscription(const SImageRecord& r) { return r.record.subscription > 0 ? r.record.subscription : -1; }
}  // namespace

bool ReadImageRecord(CDiagLink& link, const SImageRecord& r, std::array<uint8_t, SNumberedRecord::kDataSize>& data,
                     uint16_t& status) {
    data.fill(0);
    const auto id = static_cast<uint16_t>(r.record.id);
    if (r.index < 0) return link.ReadNv(id, -1, data.data(), static_cast<int>(data.size()), status, LinkSubscription(r));
    data[0] = static_cast<uint8_t>(r.index);
    return link.ReadNv(id, r.index, data.data() + 1, static_cast<int>(data.size()) - 1, status, LinkSubscription(r));
}

SNvRead ImageRead(const SImageRecord& r) {
    return {static_cast<uint16_t>(r.record.id), r.index, LinkSubscription(r)};
}

std::vector<SNvRead> ImageReads(const std::vector<SImageRecord>& records) {
    std::vector<SNvRead> reads;
    reads.reserve(records.size());
    for (const SImageRecord& r : records) reads.push_back(ImageRead(r));
    return reads;
}

bool WriteImageRecord(CDiagLink& link, const SImageRecord& r, uint16_t& status) {
    // An element's index is the first data byte either way: the bytes go out as they are.
    return link.WriteNv(static_cast<uint16_t>(r.record.id), -1, r.record.data.data(),
                        static_cast<int>(r.record.data.size()), status, LinkSubscription(r));
}
