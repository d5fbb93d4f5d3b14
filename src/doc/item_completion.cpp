// Completion of loaded records from the definitions: array elements and the fill-up job.
#include "doc/item_completion.h"

#include "files/brt_file.h"
#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "model/nv_item_array.h"
#include "jobs/text_translation.h"

#include <algorithm>
#include <unordered_map>

CItemCompletion::CItemCompletion(CJobControl& jobs, const CNVItemArray& defs) : m_jobs(jobs), m_itemDefs(defs) {}

void CItemCompletion::CompleteArrayElements(CNVItemArray& items, bool addMissing) {
    struct SArrayState {
        const CNVItem* def;
        std::vector<char> present;
    };
    CNVItemArray out;
    out.Reserve(items.GetSize());
    std::unordered_map<int, SArrayState> arrays;
    std::vector<int> met;  // array IDs in the order first met, also when none of their records is kept
    for (auto& r : items) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0) {
            m_jobs.Note(NotDefinedMessage(r.Id()));
            continue;
        }
        const CNVItem& def = m_itemDefs[d];
        const int count = def.Count();
        if (count <= 0) {
            out.Add(std::move(r));
            continue;
        }
        auto [it, fresh] = arrays.try_emplace(r.Id(), SArrayState{&def, {}});
        if (fresh) {
            it->second.present.assign(static_cast<size_t>(count), 0);
            met.push_back(r.Id());
        }
        const std::string id = std::to_string(r.Id());
        if (r.Value().empty()) {
            m_jobs.Note(FillText(TrText("CItemCompletion",
                                "NV Item ID = %1: an element record without its index byte was left out."),
                         {id}));
            continue;
        }
        // Each stored element goes to the index it carries, so a gap never shifts the others.
        const int index = r.Value()[0];
        if (index >= count) {
            m_jobs.Note(FillText(TrText("CItemCompletion",
                                                 "NV Item ID = %1: element %2 lies outside the %3 "
                                                 "elements of its definition and was left out."),
                                          {id, std::to_string(index), std::to_string(count)}));
            continue;
        }
        if (it->second.present[static_cast<size_t>(index)]) {
            m_jobs.Note(FillText(TrText("CItemCompletion",
                                "NV Item ID = %1 holds element %2 more than once; the first one was kept."),
                         {id, std::to_string(index)}));
            continue;
        }
        it->second.present[static_cast<size_t>(index)] = 1;
        // Bytes past the definition are the phone's: the element keeps them.
        const size_t size = std::max(def.Size() > 0 ? static_cast<size_t>(def.Size()) : 0, r.Value().size() - 1);
        std::vector<uint8_t> value(size, 0);
        std::copy(r.Value().begin() + 1, r.Value().end(), value.begin());
        r.SetIndex(index);
        r.SetValue(value);
        r.SetActive(CNVItem::kActive);
        out.Add(std::move(r));
    }
    items = std::move(out);
    if (addMissing) AppendMissingElements(items, met);
}

void CItemCompletion::AddMissingElements(CNVItemArray& items) {
    std::vector<int> met;
    std::unordered_map<int, bool> seen;
    for (const CNVItem& r : items) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d >= 0 && m_itemDefs[d].Count() > 0 && seen.emplace(r.Id(), true).second) met.push_back(r.Id());
    }
    AppendMissingElements(items, met);
}

void CItemCompletion::AppendMissingElements(CNVItemArray& items, const std::vector<int>& arrayIds) {
    std::unordered_map<int, std::vector<char>> present;
    for (int id : arrayIds) present[id].assign(static_cast<size_t>(m_itemDefs[m_itemDefs.FindById(id)].Count()), 0);
    for (const CNVItem& r : items) {
        auto it = present.find(r.Id());
        if (it != present.end() && r.Index() >= 0 && static_cast<size_t>(r.Index()) < it->second.size())
            it->second[static_cast<size_t>(r.Index())] = 1;
    }
    for (int id : arrayIds) {
        const CNVItem* def = &m_itemDefs[m_itemDefs.FindById(id)];
        const std::vector<char>& have = present[id];
        for (int k = 0; k < def->Count(); ++k) {
            if (have[static_cast<size_t>(k)]) continue;
            CNVItem missing;
            missing.SetId(def->Id());
            missing.SetCount(def->Count());
            missing.SetIndex(k);
            missing.Resize(std::max(def->Size(), 0));
            missing.SetActive(CNVItem::kNotActive);
            missing.SetName(ElementName(def->Name(), k));
            missing.SetGroup(def->Group());
            missing.SetFileName(def->FileName());
            missing.SetTypeName(def->TypeName());
            items.Add(std::move(missing));
        }
    }
}

SOutcome CItemCompletion::StartFillUp(CNVItemArray& items, int expand) {
    return m_jobs.Run(TrText("CItemCompletion", "Filling up information about NV Items"),
                      [&] { return FillUpItems(items, expand); });
}

SOutcome CItemCompletion::FillUpItems(CNVItemArray& items, int expand) {
    // The first question has always read "./n"; the one asked on the way says ".\n".
    const std::string firstQuestion =
        TrText("CItemCompletion",
               "Are you sure you want to stop filling up information about NV Items./n All NV Items "
               "will be removed from memory on PC side!");
    const std::string question =
        TrText("CItemCompletion",
               "Are you sure you want to stop filling up information about NV Items.\n All NV Items "
               "will be removed from memory on PC side!");
    constexpr int kSlot = CBrtFile::kSlotSize;
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(firstQuestion)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(items.GetSize());
    // Completed records go to a new list: removing expanded records in place would be quadratic.
    CNVItemArray out, expanded;
    out.Reserve(items.GetSize());
    int done = 0;
    for (auto& r : items) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0) {
            m_jobs.Note(NotDefinedMessage(r.Id()));
        } else {
            const CNVItem& def = m_itemDefs[d];
            const int s = def.Size() > 0 ? def.Size() : 1;
            const int count = def.Count();
            if (count > 0 && expand == 1) {
                // A whole array in slots; one slot holds a single element from its second byte on.
                const auto& source = r.Value();
                const int slots = std::max(r.Size(), 0) / kSlot;
                const size_t shift = slots == 1 ? 1 : 0;
                const size_t slotBytes = slots == 1 ? kSlot - 1 : kSlot;
                for (int k = 0; k < count; ++k) {
                    CNVItem element;
                    element.SetId(r.Id());
                    element.SetCount(count);
                    element.SetIndex(k);
                    element.SetName(ElementName(def.Name(), k));
                    element.SetGroup(def.Group());
                    element.SetFileName(def.FileName());
                    element.SetTypeName(def.TypeName());
                    element.Resize(s);
                    element.SetActive(CNVItem::kNotActive);
                    if (k < slots) {
                        const size_t start = shift + static_cast<size_t>(k) * kSlot;
                        if (start < source.size()) {
                            const uint8_t* slot = source.data() + start;
                            const size_t room = std::min(slotBytes, source.size() - start);
                            const size_t size = std::max(static_cast<size_t>(s), CarriedSize(slot, room));
                            element.SetValue(slot, static_cast<int>(std::min(size, room)));
                            element.Resize(static_cast<int>(size));
                        }
                        element.SetActive(CNVItem::kActive);
                    }
                    expanded.Add(std::move(element));
                }
            } else {
                // A BRT record comes in whole slots: what it carries ends at its last non-zero byte.
                const size_t held = expand == 1 ? CarriedSize(r.Value().data(), r.Value().size())
                                                : r.Value().size();
                r.Resize(std::max(s, static_cast<int>(held)));
                r.SetCount(count);
                r.SetName(count == 0 ? def.Name() : ElementName(def.Name(), r.Index()));
                r.SetGroup(def.Group());
                r.SetFileName(def.FileName());
                r.SetTypeName(def.TypeName());
                out.Add(std::move(r));
            }
        }
        ++done;
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(done);
    }
    out.Reserve(out.GetSize() + expanded.GetSize());
    for (auto& element : expanded) out.Add(std::move(element));
    items = std::move(out);
    return m_jobs.PostJobCompleted();
}
