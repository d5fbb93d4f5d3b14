#pragma once
#include "doc/doc_records.h"

#include <cstddef>
#include <string>
#include <vector>

// The document's undo and redo. A step keeps only the other version of what its edit
// changed (one record, the entry lists, or all records for merges, copies and sorts), and
// undoing or redoing it swaps that version with the document's.
class CEditHistory {
public:
    enum class EPart { Value, Entries, Records };
    struct SStep {
        std::string name;
        EPart part = EPart::Records;
        int index = -1;       // Value: the record's position
        SDocRecords other;    // Value: the record alone in other.items
        bool otherModified = false;
    };

    // A new step after the current one; steps that were undone are gone.
    void Push(SStep step);
    void Clear();
    // After a whole save: every version but the document's own now differs from the file.
    void MarkOthersModified();
    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    // The names of the steps Undo and Redo would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    // The position of the record the step changed (-1 when it changed more), or -2 when
    // there was nothing to undo or redo.
    int Undo(SDocRecords& records, bool& modified);
    int Redo(SDocRecords& records, bool& modified);

    static constexpr size_t kLimit = 100;

private:
    static int Swap(SStep& step, SDocRecords& records, bool& modified);

    std::vector<SStep> m_steps;
    size_t m_done = 0;
};
