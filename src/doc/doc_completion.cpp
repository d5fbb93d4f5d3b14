// Completion of loaded records from the definitions: array elements and the fill-up job.
#include "brt_file.h"
#include "doc_files.h"
#include "job_control.h"
#include "tessiva_doc.h"

#include <algorithm>
#include <unordered_map>

void CTessivaDoc::CompleteArrayElements() {
    struct SArrayState {
        const CNVItem* def;
        std::vector<char> present;
    };
    CNVItemArray out;
    out.Reserve(m_items.GetSize());
    std::unordered_map<int, SArrayState> arrays;
    std::vector<int> arrayOrder;  // IDs in the order they were first met
    for (auto& r : m_items) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0) {
            Messages().ShowMessage(NotDefinedMessage(r.Id()), EMessageIcon::Error);
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
            arrayOrder.push_back(r.Id());
        }
        const std::string label = "NV Item ID = " + std::to_string(r.Id());
        if (r.Value().empty()) {
            Messages().ShowMessage(label + ": an element record without its index byte was left out.",
                                   EMessageIcon::Error);
            continue;
        }
        // Each stored element goes to the index it carries, so a gap never shifts the others.
        const int index = r.Value()[0];
        if (index >= count) {
            Messages().ShowMessage(label + ": element " + std::to_string(index) + " lies outside the " +
                                       std::to_string(count) + " elements of its definition and was left out.",
                                   EMessageIcon::Error);
            continue;
        }
        if (it->second.present[static_cast<size_t>(index)]) {
            Messages().ShowMessage(label + " holds element " + std::to_string(index) +
                                       " more than once; the first one was kept.",
                                   EMessageIcon::Error);
            continue;
        }
        it->second.present[static_cast<size_t>(index)] = 1;
        const size_t size = def.Size() > 0 ? static_cast<size_t>(def.Size()) : 0;
        std::vector<uint8_t> value(size, 0);
        std::copy_n(r.Value().begin() + 1, std::min(size, r.Value().size() - 1), value.begin());
        r.SetIndex(index);
        r.SetValue(value);
        r.SetActive(CNVItem::kActive);
        out.Add(std::move(r));
    }
    for (int id : arrayOrder) {
        const SArrayState& state = arrays[id];
        const CNVItem& def = *state.def;
        for (int k = 0; k < def.Count(); ++k) {
            if (state.present[static_cast<size_t>(k)]) continue;
            CNVItem missing;
            missing.SetId(def.Id());
            missing.SetCount(def.Count());
            missing.SetIndex(k);
            missing.Resize(std::max(def.Size(), 0));
            missing.SetActive(CNVItem::kNotActive);
            missing.SetGroup(def.Group());
            missing.SetFileName(def.FileName());
            missing.SetTypeName(def.TypeName());
            out.Add(std::move(missing));
        }
    }
    m_items = std::move(out);
}

int CTessivaDoc::StartFillUp(int expand) {
    m_jobMode = static_cast<uint8_t>(expand);
    return m_jobs.Run("Filling up information about NV Items", [this] { FillUpItems(); });
}

int CTessivaDoc::FillUpItems() {
    static const char* const kFirstQuestion =
        "Are you sure you want to stop filling up information about NV Items./n All NV Items will be removed from "
        "memory on PC side!";
    static const char* const kQuestion =
        "Are you sure you want to stop filling up information about NV Items.\n All NV Items will be removed from "
        "memory on PC side!";
    constexpr int kSlot = CBrtFile::kSlotSize;
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(kFirstQuestion)) return m_jobs.PostJobStopped();
    m_jobs.SetRange(m_items.GetSize());
    // Completed records go to a new list: removing expanded records in place would be quadratic.
    CNVItemArray out, expanded;
    out.Reserve(m_items.GetSize());
    int done = 0;
    for (auto& r : m_items) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0) {
            m_jobs.ShowMessage(NotDefinedMessage(r.Id()), EMessageIcon::Error);
        } else {
            const CNVItem& def = m_itemDefs[d];
            const int s = def.Size() > 0 ? def.Size() : 1;
            const int count = def.Count();
            if (count > 0 && m_jobMode == 1) {
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
                            const size_t take = std::min({static_cast<size_t>(s), slotBytes, source.size() - start});
                            std::copy_n(source.begin() + static_cast<ptrdiff_t>(start), take, element.ValueData());
                        }
                        element.SetActive(CNVItem::kActive);
                    }
                    expanded.Add(std::move(element));
                }
            } else {
                r.Resize(s);
                r.SetCount(count);
                r.SetName(count == 0 ? def.Name() : ElementName(def.Name(), r.Index()));
                r.SetGroup(def.Group());
                r.SetFileName(def.FileName());
                r.SetTypeName(def.TypeName());
                out.Add(std::move(r));
            }
        }
        ++done;
        if (m_jobs.ConfirmStop(kQuestion)) return m_jobs.PostJobStopped();
        m_jobs.SetPosition(done);
    }
    out.Reserve(out.GetSize() + expanded.GetSize());
    for (auto& element : expanded) out.Add(std::move(element));
    m_items = std::move(out);
    return m_jobs.PostJobCompleted();
}
