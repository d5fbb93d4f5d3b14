// Backups in the numbered-items layout, as compound files or their XML form (.xqcn).
#include "doc/backup_files.h"
#include "doc/backup_reader.h"

#include "files/backup_input.h"
#include "files/backup_tree.h"
#include "files/qcn_file.h"
#include "files/save_limits.h"
#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "model/nv_item_array.h"
#include "jobs/text_translation.h"

#include <unordered_map>
#include <unordered_set>

namespace {
const char* FormName(EBackupForm form) { return form == EBackupForm::Xml ? "XQCN" : "QCN"; }

std::string KeptAsideMessage(size_t count) {
    const std::string pattern =
        count == 1 ? TrText("CBackupFiles",
                            "%1 record of items that NVItemsDefine.def does not define (or holds differently) was kept "
                            "aside unchanged.\nThey are written back when the items are saved in the numbered-items "
                            "layout.")
                   : TrText("CBackupFiles",
                            "%1 records of items that NVItemsDefine.def does not define (or holds differently) were "
                            "kept aside unchanged.\nThey are written back when the items are saved in the "
                            "numbered-items layout.");
    return FillText(pattern, {std::to_string(count)});
}
}  // namespace

SOutcome CBackupReader::ReadQcn(CBackupInput& input, const std::string& path, SBackupContent& content) {
    CCompoundNode tree;
    EBackupForm form = EBackupForm::Compound;
    std::string error;
    std::vector<uint8_t> bytes;
    // Quick next to the load itself: no job of its own, so Tessiva's layout loads as it always did.
    const bool read = input.ReadTree(tree, form, error, &bytes);
    // A compound file that can't be read is refused as QCN loads always refused it; no
    // other reader gets a second try at it.
    if (!read && form == EBackupForm::Compound) {
        return SOutcome::Fail(CantOpenMessage(path, error));
    }
    if (!read) {
        const std::string message = WrongDataMessage(FormName(form), error);
        return SOutcome::Fail(message);
    }
    std::string found;
    switch (DetectQcnLayout(tree, found)) {
    case EQcnLayout::Tessiva:
        if (form == EBackupForm::Compound) {
            tree = CCompoundNode();  // Tessiva's layout is read element by element instead
            return ReadTessivaQcn(bytes, path, content);
        }
        found = TrText("CBackupFiles", "It is Tessiva's own layout written as XML, which Tessiva does not read.");
        break;
    case EQcnLayout::Numbered: return ReadNumbered(std::move(tree), form, content);
    case EQcnLayout::Unknown: break;
    }
    const std::string message = WrongDataMessage(FormName(form), found);
    return SOutcome::Fail(message);
}

SOutcome CBackupReader::ReadNumbered(CCompoundNode&& tree, EBackupForm form, SBackupContent& content) {
    SNumberedBackup backup;
    std::string error;
    if (!DecodeNumbered(tree, backup, error)) {
        const std::string message = WrongDataMessage(FormName(form), error);
        return SOutcome::Fail(message);
    }
    tree = CCompoundNode();
    // Each record becomes an item when its definition can hold it; the rest is kept aside
    // as read, and so are repeats, which would otherwise be dropped by the completion.
    CNumberedState state;
    std::array<CNVItemArray, 3> bySubscription;
    std::vector<SNumberedRecord> keptAside;
    std::array<CUndefinedRecords, 3> undefined;
    std::unordered_map<uint64_t, int> occurrences;  // of each undefined ID, by subscription
    int undefinedCount = 0, firstUndefined = 0;
    std::unordered_set<uint64_t> seen;
    seen.reserve(backup.records.size());
    for (const SNumberedRecord& r : backup.records) {
        const int d = r.id <= 0x7FFFFFFF ? m_itemDefs.FindById(static_cast<int>(r.id)) : -1;
        const std::vector<uint8_t> value(
            r.data.begin(), r.data.begin() + static_cast<std::ptrdiff_t>(CarriedSize(r.data.data(), r.data.size())));
        // An item the definitions do not name is listed with its bytes, each repeat by its
        // occurrence as an index; an ID beyond 16 bits and more than 256 repeats stay aside.
        const bool listed = d < 0 && r.id < static_cast<uint32_t>(CNVItemArray::kMaxIds);
        const int occurrence = listed ? occurrences[CNumberedState::Key(r.subscription, r.id, -1)]++ : 256;
        if (occurrence < 256) {
            if (undefinedCount++ == 0) firstUndefined = static_cast<int>(r.id);
            state.Remember(r, occurrence > 0 ? occurrence : -1);
            undefined[static_cast<size_t>(r.subscription)].Add(static_cast<int>(r.id), value);
            continue;
        }
        const int count = d >= 0 ? m_itemDefs[d].Count() : 0;
        const int index = count > 0 ? r.data[0] : -1;
        if (d < 0 || index >= count || !seen.insert(CNumberedState::Key(r.subscription, r.id, index)).second) {
            keptAside.push_back(r);
            continue;
        }
        state.Remember(r, index);
        bySubscription[static_cast<size_t>(r.subscription)].Add(LoadedRecord(static_cast<int>(r.id), value));
    }
    CNVItemArray loaded;
    loaded.Reserve(static_cast<int>(backup.records.size()));
    for (int s = 0; s < 3; ++s) {
        // One subscription at a time: the same item in two of them is no repeat.
        CNVItemArray& part = bySubscription[static_cast<size_t>(s)];
        m_completion.CompleteArrayElements(part);
        for (auto& r : part) {
            r.SetSubscription(s);
            loaded.Add(std::move(r));
        }
    }
    const SOutcome outcome = m_completion.StartFillUp(loaded, 0);
    if (!outcome.IsCompleted()) return outcome;
    for (int s = 0; s < 3; ++s) {
        const int from = loaded.GetSize();
        undefined[static_cast<size_t>(s)].MoveInto(loaded);
        for (int i = from; i < loaded.GetSize(); ++i) loaded[i].SetSubscription(s);
    }
    // Names and groups of a subscription's records are their own, so the trees show them apart.
    for (auto& r : loaded) {
        if (r.Subscription() == 0) continue;
        r.SetName(CNVItem::SubscriptionPrefix(r.Subscription()) + r.Name());
        r.SetGroup(CNVItem::SubscriptionPrefix(r.Subscription()) + r.Group());
    }
    const size_t aside = keptAside.size();
    content.asRead = std::move(backup.records);
    state.Take(form == EBackupForm::Xml ? EBackupOrigin::Xqcn : EBackupOrigin::Numbered, std::move(backup),
               std::move(keptAside));
    loaded.SortById();
    content.records = std::move(loaded);
    content.numbered = std::move(state);
    SOutcome finished = SOutcome::Done();
    if (undefinedCount > 0)
        finished.Note(CUndefinedRecords::Message(firstUndefined, undefinedCount), SNote::EKind::Information);
    if (aside > 0) finished.Note(KeptAsideMessage(aside));
    return finished;
}

SOutcome CBackupFiles::SaveNumbered(const std::string& path, const CNVItemArray& list, EBackupForm form) {
    if (m_numbered.KeptAside().empty() && !HasSomethingToSave(list)) return SOutcome::Fail(NothingToSave());
    // A record holds 128 bytes, an element 127 after its index: more is refused, never cut.
    const SSaveLimits limits = {FormName(form), CQcnFile::kBlockSize, CQcnFile::kBlockSize - 1, 255};
    if (std::string refusal; !CheckRecordsFit(list, limits, refusal)) {
        return SOutcome::Fail(refusal);
    }
    CCompoundNode tree;
    std::string error;
    const bool written = m_jobs.Run(SavingCaption(FormName(form)), [&] {
                                   if (!EncodeNumbered(m_numbered.BackupFor(list), tree, error) ||
                                       !WriteBackupTree(path, tree, form, error))
                                       return m_jobs.FailJob("");
                                   return m_jobs.PostJobCompleted();
                               }).IsCompleted();
    if (written) return SOutcome::Done();
    const std::string message = CantWriteMessage(path, error);
    return SOutcome::Fail(message);
}
