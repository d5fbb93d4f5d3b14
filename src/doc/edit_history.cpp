#include "doc/edit_history.h"

#include <utility>

void CEditHistory::Push(SStep step) {
    m_steps.resize(m_done);
    if (m_steps.size() >= kLimit) m_steps.erase(m_steps.begin());
    m_steps.push_back(std::move(step));
    m_done = m_steps.size();
}

void CEditHistory::Clear() {
    m_steps.clear();
    m_done = 0;
}

void CEditHistory::MarkOthersModified() {
    for (SStep& step : m_steps) step.otherModified = true;
}

std::string CEditHistory::UndoName() const { return CanUndo() ? m_steps[m_done - 1].name : std::string(); }

std::string CEditHistory::RedoName() const { return CanRedo() ? m_steps[m_done].name : std::string(); }

int CEditHistory::Undo(SDocRecords& records, bool& modified) {
    if (!CanUndo()) return -2;
    return Swap(m_steps[--m_done], records, modified);
}

int CEditHistory::Redo(SDocRecords& records, bool& modified) {
    if (!CanRedo()) return -2;
    return Swap(m_steps[m_done++], records, modified);
}

int CEditHistory::Swap(SStep& step, SDocRecords& records, bool& modified) {
    std::swap(step.otherModified, modified);
    switch (step.part) {
    case EPart::Value:
        if (step.index < 0 || step.index >= records.items.GetSize() || step.other.items.GetSize() != 1) return -1;
        std::swap(records.items[step.index], step.other.items[0]);
        return step.index;
    case EPart::Entries:
        std::swap(records.all, step.other.all);
        std::swap(records.selected, step.other.selected);
        return -1;
    case EPart::Records:
        std::swap(records, step.other);
        return -1;
    }
    return -1;
}
